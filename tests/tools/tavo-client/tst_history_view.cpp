// The alarm history in the desktop client: the history's pages, the
// acknowledgement from the alarm panel and the history, its right, and the
// repeated sound that it silences, with alarms from the simulator.

#include "alarm_acknowledgements.h"
#include "alarm_model.h"
#include "alarm_sound_repeater.h"
#include "client_fixture.h"
#include "desktop_notifier.h"
#include "history_model.h"
#include "history_view.h"

#include "alarms/alarmmonitor.h"
#include "alarms/eventmonitor.h"
#include "connections/engine.h"
#include "connections/engine_box.h"
#include "devices/device_db.h"
#include "devices/paramlist.h"
#include "history/history_store.h"
#include "hostgraph/host_graph.h"
#include "users/user_capabilities.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QSignalSpy>
#include <QTableView>
#include <QtTest>

#include <memory>

namespace {

/// The kernel with the simulator's host, its monitors and a history file.
struct HistoryFixture : ClientFixture
{
    HistoryFixture()
    {
        host = addSimulatorHost();
        notifier.setSoundEnabled(false);
        kernel->startMonitors(&notifier);
        kernel->startHistory(dir.filePath(QStringLiteral("history.sqlite")));
        kernel->history->setFlushInterval(20);
    }

    HistoryRecord event(const QString& text, qint64 timeMs) const
    {
        HistoryRecord r;
        r.kind = HistoryRecord::Write;
        r.timeMs = timeMs;
        r.hostKey = 7;
        r.device = QStringLiteral("PSU_0001");
        r.param = QStringLiteral("gain");
        r.text = text;
        return r;
    }

    NodeAttr* host = nullptr;
    DesktopNotifier notifier;
};

QStringList detailsOf(const HistoryModel& model)
{
    QStringList texts;
    for (int row = 0; row < model.rowCount(); ++row)
        texts << model.index(row, HistoryModel::DetailColumn).data().toString();
    return texts;
}

} // namespace

class TstHistoryView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void pagesGoBackInTimeAndTheFirstFollows();
    void acknowledgingNeedsTheWriteRight_data();
    void acknowledgingNeedsTheWriteRight();
    void simulatorAlarmIsAcknowledgedAndItsSoundStops();
};

void TstHistoryView::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void TstHistoryView::pagesGoBackInTimeAndTheFirstFollows()
{
    HistoryFixture fx;
    QVERIFY(fx.kernel->history);
    HistoryStore* store = fx.kernel->history.get();
    const qint64 t0 = QDateTime::currentMSecsSinceEpoch() - 60000;
    for (int i = 1; i <= 5; ++i)
        store->record(fx.event(QString::number(i), t0 + i * 1000));

    HistoryModel model(store);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setPageSize(2);
    QCOMPARE(detailsOf(model), (QStringList {"5 (was )", "4 (was )"}));
    QVERIFY(model.hasNextPage());
    model.nextPage();
    QCOMPARE(detailsOf(model), (QStringList {"3 (was )", "2 (was )"}));
    model.nextPage();
    QCOMPARE(detailsOf(model), QStringList {"1 (was )"});
    QVERIFY(!model.hasNextPage());
    // Past the last page nothing changes.
    model.nextPage();
    QCOMPARE(model.page(), 2);

    // A later page stays as it was read; the first takes new records in.
    store->record(fx.event(QStringLiteral("6"), t0 + 6000));
    store->flush();
    QCOMPARE(detailsOf(model), QStringList {"1 (was )"});
    model.previousPage();
    model.previousPage();
    QCOMPARE(model.page(), 0);
    store->record(fx.event(QStringLiteral("7"), t0 + 7000));
    QTRY_COMPARE(detailsOf(model), (QStringList {"7 (was )", "6 (was )"}));

    // The filter starts again at the first page.
    model.nextPage();
    HistoryFilter filter;
    filter.hostKey = 8;
    model.setFilter(filter);
    QCOMPARE(model.page(), 0);
    QCOMPARE(model.rowCount(), 0);
}

void TstHistoryView::acknowledgingNeedsTheWriteRight_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("right");
    QTest::addColumn<QString>("error");

    QTest::newRow("no users file: anyone") << QString() << QString() << QString();
    QTest::newRow("with write") << "ivanov"
                                << "write" << QString();
    QTest::newRow("read only") << "petrov"
                               << "read"
                               << "User 'petrov' may not acknowledge alarms (the right "
                                  "\"write\" is needed).";
}

void TstHistoryView::acknowledgingNeedsTheWriteRight()
{
    QFETCH(QString, user);
    QFETCH(QString, right);
    QFETCH(QString, error);

    HistoryFixture fx;
    HistoryStore* store = fx.kernel->history.get();
    QVERIFY(store);
    UserCapabilities users;
    if (!user.isEmpty()) {
        users.userNames.insert(user, user);
        users.capabilities.insert(user, {qMakePair(right, right)});
        QVERIFY(users.setCurrentUser(user));
    }
    HistoryRecord alarm = fx.event(QString(), QDateTime::currentMSecsSinceEpoch());
    alarm.kind = HistoryRecord::StateChange;
    alarm.state = Tavo::CRIT;
    store->record(alarm);

    AlarmAcknowledgements acks(store, &users);
    QString why;
    const bool done = acks.acknowledge(7, QStringLiteral("PSU_0001"), QStringLiteral("gain"),
                                       QStringLiteral("on it"), &why);
    QCOMPARE(why, error);
    QCOMPARE(done, error.isEmpty());
    QCOMPARE(acks.isAcknowledged(7, QStringLiteral("PSU_0001"), QStringLiteral("gain")), done);
    if (done)
        QCOMPARE(acks.find(7, QStringLiteral("PSU_0001"), QStringLiteral("gain"))->ackUser,
                 user.isEmpty() ? qEnvironmentVariable("USER", QStringLiteral("operator")) : user);
}

void TstHistoryView::simulatorAlarmIsAcknowledgedAndItsSoundStops()
{
    HistoryFixture fx;
    QVERIFY(fx.simulatorRunning());
    QVERIFY(fx.kernel->history);
    QVERIFY(fx.kernel->setUser(UserCapabilities::administratorName(), nullptr));
    AlarmModel alarms(fx.kernel->alarmMonitor.get());
    AlarmAcknowledgements acks(fx.kernel->history.get(), &fx.kernel->users);
    alarms.setAcknowledgements(&acks);
    AlarmSoundRepeater repeater(&alarms, &acks, &fx.notifier);
    HistoryView view(fx.kernel->history.get(), fx.kernel->hostGraph.get(), &acks);
    fx.connectReadingAll(fx.host);

    // The demo's second E1 port loses its signal for 4 s of every 12.
    const QString device = QStringLiteral("E1_0002");
    const QString param = QStringLiteral("los");
    auto rowOf = [&] {
        for (int row = 0; row < alarms.rowCount(); ++row) {
            const QModelIndex index = alarms.index(row, 0);
            if (index.data(AlarmModel::DeviceNameRole) == device &&
                index.data(AlarmModel::ParamNameRole) == param)
                return row;
        }
        return -1;
    };
    QTRY_VERIFY_WITH_TIMEOUT(rowOf() >= 0, 20000);
    const int state = alarms.index(rowOf(), 0).data(AlarmModel::SeverityRole).toInt();

    // The history has the change; its alarm can be acknowledged from there.
    view.showParam(fx.host->key(), device, param);
    QTRY_VERIFY(view.model()->rowCount() > 0);
    const QModelIndex change = view.model()->index(0, HistoryModel::StateColumn);
    QCOMPARE(change.data(HistoryModel::KindRole).toInt(), int(HistoryRecord::StateChange));
    view.view()->setCurrentIndex(change);
    QTRY_VERIFY(view.acknowledgeAction()->isEnabled());

    // Until it is taken, its sound is the one repeated (the most severe first).
    QVERIFY(!repeater.dueSound().isEmpty());
    QString error;
    for (int row = 0; row < alarms.rowCount(); ++row) {
        const QModelIndex index = alarms.index(row, 0);
        if (index.data(AlarmModel::SeverityRole).toInt() <= state && row != rowOf())
            acks.acknowledge(index.data(AlarmModel::HostKeyRole).toInt(),
                             index.data(AlarmModel::DeviceNameRole).toString(),
                             index.data(AlarmModel::ParamNameRole).toString(), QString(), &error);
    }
    QCOMPARE(repeater.dueSound(), EventMonitor::soundFile(state));

    QVERIFY2(acks.acknowledge(fx.host->key(), device, param, QStringLiteral("cable <b>"), &error),
             qPrintable(error));
    const QModelIndex taken = alarms.index(rowOf(), AlarmModel::AcknowledgedColumn);
    QVERIFY(taken.data(AlarmModel::AcknowledgedRole).toBool());
    QVERIFY(taken.data().toString().endsWith(QStringLiteral(": cable <b>")));
    QVERIFY(!view.acknowledgeAction()->isEnabled());
    // With every alarm taken nothing is repeated.
    for (int row = 0; row < alarms.rowCount(); ++row) {
        const QModelIndex index = alarms.index(row, 0);
        if (row != rowOf())
            acks.acknowledge(index.data(AlarmModel::HostKeyRole).toInt(),
                             index.data(AlarmModel::DeviceNameRole).toString(),
                             index.data(AlarmModel::ParamNameRole).toString(), QString(), &error);
    }
    QCOMPARE(repeater.dueSound(), QString());

    // The acknowledgement is in the history too, with its comment.
    HistoryFilter acknowledged;
    acknowledged.device = device;
    acknowledged.param = param;
    acknowledged.kinds = {HistoryRecord::Acknowledged};
    const QList<HistoryRecord> records = fx.kernel->history->query(acknowledged);
    QVERIFY(!records.isEmpty());
    QCOMPARE(records.first().param, param);
    QCOMPARE(records.first().text, QStringLiteral("cable <b>"));
}

QTEST_MAIN(TstHistoryView)
#include "tst_history_view.moc"
