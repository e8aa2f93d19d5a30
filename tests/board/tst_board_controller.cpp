#include "board/boardcontroller.h"
#include "connections/engine.h"
#include "connections/engine_box.h"
#include "devices/device_db.h"
#include "devices/paramlist.h"
#include "foundation/app_shared.h"
#include "hostgraph/host_graph.h"
#include "kernel_fixture.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

#include <memory>
#include <vector>

namespace {

QByteArray boardFile(const QByteArray& body)
{
    return "<?xml version=\"1.0\"?>\n<observer_list>\n" + body + "\n</observer_list>\n";
}

/// Engines without a protocol on hosts by url, and board files below
/// xml_observed_board/.
struct BoardFixture : KernelFixture
{
    BoardFixture()
    {
        writeClassFile(QStringLiteral("e1.xml"), "<class name=\"E1\" interface=\"e1\"/>");
        loadClasses();
        share::xmlObservedBoard = dir.makeDir(QStringLiteral("xml_observed_board"));
        share::engineBox = &box;
        log.clear();
    }
    ~BoardFixture() { share::engineBox = nullptr; }

    void writeBoard(const QString& relative, const QByteArray& body) const
    {
        dir.writeFile(QStringLiteral("xml_observed_board/") + relative, boardFile(body));
    }
    Engine* addEngine(const QString& url)
    {
        const int key = int(nodes.size()) + 1;
        nodes.emplace_back(std::make_unique<NodeAttr>(key, 0, url, QStringLiteral("none"), url,
                                                      QString(), 1, nullptr));
        Engine* engine = box.createEngine(nodes.back().get());
        log.clear();
        return engine;
    }

    EngineBox box;
    std::vector<std::unique_ptr<NodeAttr>> nodes;
};

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
    void filesOfBothExtensionsAreLoaded();
    void firstObserverOfAHostKeepsIt();
    void refusedFilesAreLogged_data();
    void refusedFilesAreLogged();
    void missingDirectoryIsLogged();
    void connectedHostIsCheckedAfterTheDelayThenOnEveryChange();
    void disconnectedHostIsSuspended();
    void hostWithTwoEnginesIsNeverChecked();
    void functorOutlivingItsControllerDoesNothing();
};

void TstBoardController::filesOfBothExtensionsAreLoaded()
{
    BoardFixture fx;
    fx.writeBoard(QStringLiteral("a.xml"),
                  "<observer><host name=\"10.0.0.1\"/><host name=\"10.0.0.2\"/><junk><device>x"
                  "</device></junk><devicelist><device>E1_0001</device><device>E1_0002</device>"
                  "</devicelist><devicelist><device>E1_0003</device></devicelist></observer>");
    fx.writeBoard(QStringLiteral("sub/b.XML"),
                  "<observer><devicelist><device>E1_0009</device></devicelist>"
                  "<host name=\"10.0.0.3\">ignored</host></observer>");
    fx.writeBoard(QStringLiteral("c.Xml"), "<observer><host name=\"10.0.0.4\"/></observer>");
    BoardController controller(nullptr);
    QCOMPARE(controller.board.keys(),
             QStringList({QStringLiteral("10.0.0.1"), QStringLiteral("10.0.0.2"),
                          QStringLiteral("10.0.0.3")}));
    const QStringList both {QStringLiteral("E1_0001"), QStringLiteral("E1_0002"),
                            QStringLiteral("E1_0003")};
    QCOMPARE(controller.board.value(QStringLiteral("10.0.0.1")).devices, both);
    QCOMPARE(controller.board.value(QStringLiteral("10.0.0.2")).devices, both);
    QCOMPARE(controller.board.value(QStringLiteral("10.0.0.3")).devices,
             QStringList {QStringLiteral("E1_0009")});
    QVERIFY(controller.board.value(QStringLiteral("10.0.0.1")).suspended);
    QCOMPARE(fx.log.messages().value(0),
             QStringLiteral("[BoardController::loadDir()] Check directory '%1' for the observed "
                            "board database.")
                 .arg(share::xmlObservedBoard));
}

void TstBoardController::firstObserverOfAHostKeepsIt()
{
    BoardFixture fx;
    fx.writeBoard(QStringLiteral("a.xml"),
                  "<observer><host name=\"h\"/><devicelist><device>first</device></devicelist>"
                  "</observer><observer><host name=\"h\"/><devicelist><device>second</device>"
                  "</devicelist></observer>");
    BoardController controller(nullptr);
    QCOMPARE(controller.board.value(QStringLiteral("h")).devices,
             QStringList {QStringLiteral("first")});
}

void TstBoardController::refusedFilesAreLogged_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("error");
    QTest::addColumn<int>("hosts");
    QTest::newRow("wrong_root") << QByteArray("<?xml version=\"1.0\"?><board/>")
                                << QStringLiteral(
                                       "Failed to parse file @: Not a observer_list file")
                                << 0;
    QTest::newRow("truncated_after_an_observer")
        << QByteArray("<observer_list><observer><host name=\"h\"/></observer><observer>")
        << QStringLiteral("Failed to parse file @: ") << 1;
}

void TstBoardController::refusedFilesAreLogged()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, error);
    QFETCH(int, hosts);
    BoardFixture fx;
    const QString path = fx.dir.writeFile(QStringLiteral("xml_observed_board/bad.xml"), content);
    BoardController controller(nullptr);
    QVERIFY(fx.log.errors().value(0).startsWith(error.replace(QLatin1Char('@'), path)));
    QCOMPARE(controller.board.size(), hosts);

    fx.log.clear();
    controller.loadFromFile(fx.dir.filePath(QStringLiteral("none.xml")));
    QCOMPARE(fx.log.errors().value(0),
             QStringLiteral("File not found: %1").arg(fx.dir.filePath(QStringLiteral("none.xml"))));
    QVERIFY(fx.log.errors().value(1).startsWith(QStringLiteral("Cannot read file ")));
}

void TstBoardController::missingDirectoryIsLogged()
{
    BoardFixture fx;
    share::xmlObservedBoard = fx.dir.filePath(QStringLiteral("nowhere"));
    BoardController controller(nullptr);
    QCOMPARE(
        fx.log.errors(),
        QStringList {QStringLiteral("Directory '%1' is not exits").arg(share::xmlObservedBoard)});
    QVERIFY(controller.board.isEmpty());
}

void TstBoardController::connectedHostIsCheckedAfterTheDelayThenOnEveryChange()
{
    BoardFixture fx;
    fx.writeBoard(QStringLiteral("a.xml"),
                  "<observer><host name=\"10.0.0.1\"/><devicelist><device>E1_0001</device>"
                  "<device>E1_0002</device></devicelist></observer>");
    Engine* before = fx.addEngine(QStringLiteral("10.0.0.1")); // followed at construction
    BoardController controller(nullptr);
    QSignalSpy changed(&controller, &BoardController::boardChaneged);
    DeviceDb* db = before->deviceDb();

    QElapsedTimer clock;
    clock.start();
    Q_EMIT before->signalSocketConnected(1);
    db->addDevice(QStringLiteral("E1"), 1, 0, 1, Tavo::NativeProtocol, QString());
    QCOMPARE(changed.count(), 0); // still settling
    QTRY_COMPARE_WITH_TIMEOUT(changed.count(), 2, 4000);
    QVERIFY(clock.elapsed() >= 1900);
    QCOMPARE(reports(changed),
             QStringList({QStringLiteral("10.0.0.1 ok E1_0001"),
                          QStringLiteral("10.0.0.1 missing E1_0002")}));
    QVERIFY(fx.log.errors().contains(QStringLiteral("Device 'E1_0002' is not exits")));
    QVERIFY(!controller.board.value(QStringLiteral("10.0.0.1")).suspended);

    changed.clear();
    db->removeDevice(QStringLiteral("E1_0001"));
    QCOMPARE(reports(changed),
             QStringList({QStringLiteral("10.0.0.1 missing E1_0001"),
                          QStringLiteral("10.0.0.1 missing E1_0002")}));
}

void TstBoardController::disconnectedHostIsSuspended()
{
    BoardFixture fx;
    fx.writeBoard(QStringLiteral("a.xml"),
                  "<observer><host name=\"10.0.0.7\"/><devicelist><device>E1_0001</device>"
                  "</devicelist></observer>");
    BoardController controller(nullptr);
    Engine* engine = fx.addEngine(QStringLiteral("10.0.0.7")); // followed on its appearance
    QSignalSpy changed(&controller, &BoardController::boardChaneged);
    controller.assignSignals(QStringLiteral("10.0.0.7"));
    QCOMPARE(reports(changed), QStringList {QStringLiteral("10.0.0.7 missing E1_0001")});

    changed.clear();
    Q_EMIT engine->signalSocketDisconnected(1);
    QCOMPARE(reports(changed), QStringList {QStringLiteral("10.0.0.7 ok ")});
    QVERIFY(controller.board.value(QStringLiteral("10.0.0.7")).suspended);
    // Suspended, and no longer connected to the database: no report.
    engine->deviceDb()->addDevice(QStringLiteral("E1"), 1, 0, 1, Tavo::NativeProtocol, QString());
    QCOMPARE(changed.count(), 1);
}

void TstBoardController::hostWithTwoEnginesIsNeverChecked()
{
    BoardFixture fx;
    fx.writeBoard(QStringLiteral("a.xml"),
                  "<observer><host name=\"10.0.0.9\"/><devicelist><device>E1_0001</device>"
                  "</devicelist></observer>");
    fx.addEngine(QStringLiteral("10.0.0.9"));
    fx.addEngine(QStringLiteral("10.0.0.9"));
    BoardController controller(nullptr);
    QSignalSpy changed(&controller, &BoardController::boardChaneged);
    controller.chechDevice(QStringLiteral("10.0.0.9"));
    controller.assignSignals(QStringLiteral("10.0.0.9"));
    QCOMPARE(changed.count(), 0);
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
