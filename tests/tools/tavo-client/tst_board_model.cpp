// The observed board panel's model against tavo-nesim: the demo board
// watches the simulator's host; its devices are reported once the host is
// watched, and a device that comes and goes is seen to.

#include "board_model.h"
#include "client_fixture.h"

#include "connections/engine.h"
#include "connections/engine_box.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QtTest>

namespace {

const QString host = QStringLiteral("127.0.0.1");

/// The demo equipment, but its second port there for 3 s and gone for 2 s.
QString blinkingScenario(const QTemporaryDir& dir)
{
    const QString path = dir.filePath(QStringLiteral("blink.txt"));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write("seed 1\n"
                   "device E1 1 1\n  set los 0\n"
                   "device E1 2 2\n  set los 0\n  blink 3 2\n"
                   "device PSU 1 3\n  set temp 40\n");
    return path;
}

int presence(const BoardModel& model, const QString& device)
{
    return model.indexOfDevice(host, device).data(BoardModel::PresenceRole).toInt();
}

} // namespace

class TstBoardModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void watchedHostShowsItsDevicesPresence();
};

void TstBoardModel::watchedHostShowsItsDevicesPresence()
{
    QTemporaryDir scenarioDir;
    ClientFixture fx(blinkingScenario(scenarioDir));
    QVERIFY(fx.simulatorRunning());
    NodeAttr* node = fx.addSimulatorHost();
    QVERIFY(node);
    fx.startMonitors();
    BoardModel model(fx.kernel->boardController.get());
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);

    // The board's hosts and devices are there before anything is reported.
    const QModelIndex watched = model.indexOfHost(host);
    QVERIFY(watched.isValid());
    QCOMPARE(model.rowCount(watched), 3);
    QCOMPARE(watched.data(BoardModel::PresenceRole).toInt(), int(BoardModel::Unwatched));
    QCOMPARE(presence(model, QStringLiteral("PSU_0001")), int(BoardModel::Unwatched));

    Engine* engine = fx.kernel->engineBox->getEngineByNodeAttr(node);
    engine->connectToHost();
    QTRY_COMPARE_WITH_TIMEOUT(presence(model, QStringLiteral("PSU_0001")), int(BoardModel::Present),
                              10000);
    QCOMPARE(presence(model, QStringLiteral("E1_0001")), int(BoardModel::Present));
    QCOMPARE(model.indexOfDevice(host, QStringLiteral("PSU_0001"), BoardModel::StateColumn)
                 .data()
                 .toString(),
             QStringLiteral("present"));

    // The blinking port goes and comes back.
    QTRY_COMPARE_WITH_TIMEOUT(presence(model, QStringLiteral("E1_0002")), int(BoardModel::Missing),
                              10000);
    QCOMPARE(watched.data(BoardModel::PresenceRole).toInt(), int(BoardModel::Missing));
    QCOMPARE(model.index(watched.row(), BoardModel::StateColumn).data().toString(),
             QStringLiteral("2 of 3 present"));
    QTRY_COMPARE_WITH_TIMEOUT(presence(model, QStringLiteral("E1_0002")), int(BoardModel::Present),
                              10000);

    // Not connected, not watched: what was seen before is no longer shown.
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    engine->disconnectFromHost();
    QTRY_VERIFY(!changed.isEmpty());
    QCOMPARE(watched.data(BoardModel::PresenceRole).toInt(), int(BoardModel::Unwatched));
    QCOMPARE(presence(model, QStringLiteral("E1_0001")), int(BoardModel::Unwatched));
}

QTEST_MAIN(TstBoardModel)
#include "tst_board_model.moc"
