#include "board/boardcontroller.h"
#include "hosts_fixture.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

/// Board files below xml_observed_board/.
struct BoardFixture : HostsFixture
{
    BoardFixture()
    {
        writeClassFile(QStringLiteral("e1.xml"), "<class name=\"E1\" interface=\"e1\"/>");
        loadClasses();
        share::xmlObservedBoard = dir.makeDir(QStringLiteral("xml_observed_board"));
        log.clear();
    }

    void writeBoard(const QString& relative, const QByteArray& body) const
    {
        dir.writeFile(QStringLiteral("xml_observed_board/") + relative,
                      "<?xml version=\"1.0\"?>\n<observer_list>\n" + body + "\n</observer_list>\n");
    }
};

/// Every host of the board as "host: devices (suspended)".
QStringList boardOf(const BoardController& controller)
{
    QStringList lines;
    for (auto it = controller.board.cbegin(); it != controller.board.cend(); ++it)
        lines << QStringLiteral("%1: %2%3")
                     .arg(it.key(), it->devices.join(QLatin1Char(' ')),
                          it->suspended ? QStringLiteral(" (suspended)") : QString());
    return lines;
}

QStringList reports(const QSignalSpy& spy)
{
    QStringList lines;
    for (const QList<QVariant>& arguments : spy)
        lines << QStringLiteral("%1 %2 %3")
                     .arg(arguments.at(0).toString(),
                          arguments.at(1).toBool() ? QStringLiteral("ok")
                                                   : QStringLiteral("missing"),
                          arguments.at(2).toString());
    return lines;
}

} // namespace

class TstBoardController : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void filesOfBothExtensionsAreLoadedAndTheFirstObserverOfAHostKeepsIt();
    void refusedFilesAreLogged_data();
    void refusedFilesAreLogged();
    void connectedHostIsCheckedAfterTheDelayThenOnEveryChange();
    void disconnectedHostIsSuspendedAndDoubledOneNeverChecked();
    void functorOutlivingItsControllerDoesNothing();
};

void TstBoardController::filesOfBothExtensionsAreLoadedAndTheFirstObserverOfAHostKeepsIt()
{
    BoardFixture fx;
    fx.writeBoard("a.xml",
                  "<observer><host name=\"10.0.0.1\"/><host name=\"10.0.0.2\"/><junk><device>x"
                  "</device></junk><devicelist><device>E1_0001</device><device>E1_0002</device>"
                  "</devicelist><devicelist><device>E1_0003</device></devicelist></observer>"
                  "<observer><host name=\"10.0.0.2\"/><devicelist><device>second</device>"
                  "</devicelist></observer>");
    fx.writeBoard("sub/b.XML",
                  "<observer><devicelist><device>E1_0009</device></devicelist>"
                  "<host name=\"10.0.0.3\">ignored</host></observer>");
    fx.writeBoard("c.Xml", "<observer><host name=\"10.0.0.4\"/></observer>");
    BoardController controller(nullptr);
    QCOMPARE(boardOf(controller),
             QStringList({"10.0.0.1: E1_0001 E1_0002 E1_0003 (suspended)",
                          "10.0.0.2: E1_0001 E1_0002 E1_0003 (suspended)",
                          "10.0.0.3: E1_0009 (suspended)"}));
    QCOMPARE(fx.log.messages().value(0),
             QStringLiteral("[BoardController::loadDir()] Check directory '%1' for the observed "
                            "board database.")
                 .arg(share::xmlObservedBoard));
}

void TstBoardController::refusedFilesAreLogged_data()
{
    QTest::addColumn<QByteArray>("content"); // null: no board directory
    QTest::addColumn<QString>("error"); // @ stands for the file or directory
    QTest::addColumn<int>("hosts");
    QTest::newRow("wrong_root") << QByteArray("<?xml version=\"1.0\"?><board/>")
                                << "Failed to parse file @: Not a observer_list file" << 0;
    QTest::newRow("truncated_after_an_observer")
        << QByteArray("<observer_list><observer><host name=\"h\"/></observer><observer>")
        << "Failed to parse file @: Premature end of document." << 1;
    QTest::newRow("missing_directory") << QByteArray() << "Directory '@' is not exits" << 0;
}

void TstBoardController::refusedFilesAreLogged()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, error);
    QFETCH(int, hosts);
    BoardFixture fx;
    QString path = fx.dir.filePath(QStringLiteral("nowhere"));
    if (content.isNull())
        share::xmlObservedBoard = path;
    else
        path = fx.dir.writeFile(QStringLiteral("xml_observed_board/bad.xml"), content);
    BoardController controller(nullptr);
    QCOMPARE(fx.log.errors(), QStringList {error.replace(QLatin1Char('@'), path)});
    QCOMPARE(controller.board.size(), hosts);

    fx.log.clear();
    controller.loadFromFile(fx.dir.filePath(QStringLiteral("none.xml")));
    QCOMPARE(fx.log.errors().value(0),
             QStringLiteral("File not found: %1").arg(fx.dir.filePath(QStringLiteral("none.xml"))));
    QVERIFY(fx.log.errors().value(1).startsWith(QStringLiteral("Cannot read file ")));
}

void TstBoardController::connectedHostIsCheckedAfterTheDelayThenOnEveryChange()
{
    BoardFixture fx;
    fx.writeBoard("a.xml",
                  "<observer><host name=\"10.0.0.1\"/><devicelist><device>E1_0001</device>"
                  "<device>E1_0002</device></devicelist></observer>");
    Engine* before = fx.addEngine("10.0.0.1"); // followed at construction
    BoardController controller(nullptr);
    QSignalSpy changed(&controller, &BoardController::boardChaneged);
    DeviceDb* db = before->deviceDb();

    QElapsedTimer clock;
    clock.start();
    Q_EMIT before->signalSocketConnected(1);
    db->addDevice("E1", 1, 0, 1, Tavo::NativeProtocol, QString());
    QCOMPARE(changed.count(), 0); // still settling
    QTRY_COMPARE_WITH_TIMEOUT(changed.count(), 2, 4000);
    QVERIFY(clock.elapsed() >= 1900);
    QCOMPARE(reports(changed), QStringList({"10.0.0.1 ok E1_0001", "10.0.0.1 missing E1_0002"}));
    QVERIFY(fx.log.errors().contains("Device 'E1_0002' is not exits"));
    QCOMPARE(boardOf(controller), QStringList {"10.0.0.1: E1_0001 E1_0002"});

    changed.clear();
    db->removeDevice("E1_0001");
    QCOMPARE(reports(changed),
             QStringList({"10.0.0.1 missing E1_0001", "10.0.0.1 missing E1_0002"}));
}

void TstBoardController::disconnectedHostIsSuspendedAndDoubledOneNeverChecked()
{
    BoardFixture fx;
    fx.writeBoard("a.xml",
                  "<observer><host name=\"10.0.0.7\"/><host name=\"10.0.0.9\"/><devicelist>"
                  "<device>E1_0001</device></devicelist></observer>");
    fx.addEngine("10.0.0.9");
    fx.addEngine("10.0.0.9");
    BoardController controller(nullptr);
    Engine* engine = fx.addEngine("10.0.0.7"); // followed on its appearance
    QSignalSpy changed(&controller, &BoardController::boardChaneged);
    controller.chechDevice("10.0.0.9");
    controller.assignSignals("10.0.0.9");
    controller.assignSignals("10.0.0.7");
    QCOMPARE(reports(changed), QStringList {"10.0.0.7 missing E1_0001"});

    changed.clear();
    Q_EMIT engine->signalSocketDisconnected(1);
    QCOMPARE(reports(changed), QStringList {"10.0.0.7 ok "});
    QVERIFY(controller.board.value("10.0.0.7").suspended);
    // Suspended, and no longer connected to the database: no report.
    engine->deviceDb()->addDevice("E1", 1, 0, 1, Tavo::NativeProtocol, QString());
    QCOMPARE(changed.count(), 1);
}

void TstBoardController::functorOutlivingItsControllerDoesNothing()
{
    BoardFixture fx;
    auto controller = std::make_unique<BoardController>(nullptr);
    QPointer<ObjectSlotFunctor> functor = new ObjectSlotFunctor(
        controller.get(), &BoardController::assignSignals, QStringLiteral("x"));
    controller.reset();
    functor->singleSlot();
    QTRY_VERIFY(functor.isNull());
}

QTEST_GUILESS_MAIN(TstBoardController)
#include "tst_board_controller.moc"
