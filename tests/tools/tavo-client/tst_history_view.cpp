// The alarm history and the trends in the desktop client: the history's
// pages, the acknowledgement from the alarm panel and the history, its right,
// and the repeated sound that it silences; the values of a marked parameter
// kept in the history and drawn, the alarm states as bands, the marks kept
// per user; with the simulator's values and alarms.

#include "alarm_acknowledgements.h"
#include "alarm_model.h"
#include "alarm_sound_repeater.h"
#include "client_fixture.h"
#include "desktop_notifier.h"
#include "history_model.h"
#include "history_view.h"
#include "kernel_fixture.h"
#include "trend_chart.h"
#include "trend_recorder.h"

#include "alarms/alarmmonitor.h"
#include "alarms/eventmonitor.h"
#include "connections/engine.h"
#include "connections/engine_box.h"
#include "devices/device_db.h"
#include "devices/paramlist.h"
#include "history/history_store.h"
#include "hostgraph/host_graph.h"
#include "users/user_capabilities.h"

#include <QAction>
#include <QTableView>
#include <QtCharts/QLineSeries>
#include <QtTest>

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
    return rowsOf(model, {HistoryModel::DetailColumn});
}

TrendSource temp(int hostKey)
{
    return TrendSource {hostKey, QStringLiteral("PSU_0001"), QStringLiteral("temp")};
}

QVector<QPointF> pointsOf(const QtCharts::QLineSeries* line)
{
    return line ? line->pointsVector() : QVector<QPointF>();
}

} // namespace

class TstHistoryView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void pagesGoBackInTimeAndTheFirstFollows();
    void acknowledgingNeedsTheWriteRight();
    void simulatorAlarmIsAcknowledgedAndItsSoundStops();
    void chartDrawsTheValuesTheSimulatorSent();
    void marksAreKeptPerUser();
    void alarmStatesAreBands();
};

void TstHistoryView::pagesGoBackInTimeAndTheFirstFollows()
{
    HistoryFixture fx;
    HistoryStore* store = fx.kernel->history.get();
    QVERIFY(store);
    const qint64 t0 = QDateTime::currentMSecsSinceEpoch() - 60000;
    for (int i = 1; i <= 5; ++i)
        store->record(fx.event(QString::number(i), t0 + i * 1000));

    HistoryModel model(store);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setPageSize(2);
    QCOMPARE(detailsOf(model), QStringList({"5 (was )", "4 (was )"}));
    QVERIFY(model.hasNextPage());
    model.nextPage();
    QCOMPARE(detailsOf(model), QStringList({"3 (was )", "2 (was )"}));
    model.nextPage();
    QCOMPARE(detailsOf(model), QStringList({"1 (was )"}));
    QVERIFY(!model.hasNextPage());
    // Past the last page nothing changes.
    model.nextPage();
    QCOMPARE(model.page(), 2);

    // A later page stays as it was read; the first takes new records in.
    store->record(fx.event(QStringLiteral("6"), t0 + 6000));
    store->flush();
    QCOMPARE(detailsOf(model), QStringList({"1 (was )"}));
    model.previousPage();
    model.previousPage();
    QCOMPARE(model.page(), 0);
    store->record(fx.event(QStringLiteral("7"), t0 + 7000));
    QTRY_COMPARE(detailsOf(model), QStringList({"7 (was )", "6 (was )"}));

    // The filter starts again at the first page.
    model.nextPage();
    HistoryFilter filter;
    filter.hostKey = 8;
    model.setFilter(filter);
    QCOMPARE(model.page(), 0);
    QCOMPARE(model.rowCount(), 0);
}

void TstHistoryView::acknowledgingNeedsTheWriteRight()
{
    HistoryFixture fx;
    HistoryStore* store = fx.kernel->history.get();
    QVERIFY(store);
    HistoryRecord alarm = fx.event(QString(), QDateTime::currentMSecsSinceEpoch());
    alarm.kind = HistoryRecord::StateChange;
    alarm.state = Tavo::CRIT;
    store->record(alarm);
    const QString device = QStringLiteral("PSU_0001");
    const QString param = QStringLiteral("gain");
    UserCapabilities users;
    const QString petrov = QStringLiteral("petrov");
    users.userNames.insert(petrov, petrov);
    users.capabilities.insert(petrov, {qMakePair(QStringLiteral("read"), QStringLiteral("read"))});
    QVERIFY(users.setCurrentUser(petrov));
    AlarmAcknowledgements refused(store, &users);
    QString why;
    QVERIFY(!refused.acknowledge(7, device, param, QStringLiteral("on it"), &why));
    QCOMPARE(why,
             QStringLiteral(
                 "User 'petrov' may not acknowledge alarms (the right \"write\" is needed)."));
    QVERIFY(!refused.isAcknowledged(7, device, param));

    // Without a users file anyone may, under the login's name.
    UserCapabilities none;
    AlarmAcknowledgements anyone(store, &none);
    QVERIFY2(anyone.acknowledge(7, device, param, QString(), &why), qPrintable(why));
    QVERIFY(anyone.isAcknowledged(7, device, param));
    QCOMPARE(anyone.find(7, device, param)->ackUser,
             qEnvironmentVariable("USER", QStringLiteral("operator")));
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
    Engine* engine = fx.kernel->engineBox->getEngineByNodeAttr(fx.host);
    readEveryParamOfNewDevices(engine->deviceDb());
    engine->connectToHost();

    // The demo's second E1 port loses its signal for 4 s of every 12.
    const QString device = QStringLiteral("E1_0002");
    const QString param = QStringLiteral("los");
    const auto rowOf = [&] {
        for (int row = 0; row < alarms.rowCount(); ++row) {
            const QModelIndex index = alarms.index(row, 0);
            if (index.data(AlarmModel::DeviceNameRole) == device &&
                index.data(AlarmModel::ParamNameRole) == param)
                return row;
        }
        return -1;
    };
    // Every other alarm up to @p severity taken.
    const auto acknowledgeOthers = [&](int severity) {
        QString error;
        for (int row = 0; row < alarms.rowCount(); ++row) {
            const QModelIndex index = alarms.index(row, 0);
            if (index.data(AlarmModel::SeverityRole).toInt() <= severity && row != rowOf())
                acks.acknowledge(index.data(AlarmModel::HostKeyRole).toInt(),
                                 index.data(AlarmModel::DeviceNameRole).toString(),
                                 index.data(AlarmModel::ParamNameRole).toString(), QString(),
                                 &error);
        }
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
    acknowledgeOthers(state);
    QCOMPARE(repeater.dueSound(), EventMonitor::soundFile(state));

    QString error;
    QVERIFY2(acks.acknowledge(fx.host->key(), device, param, QStringLiteral("cable <b>"), &error),
             qPrintable(error));
    const QModelIndex taken = alarms.index(rowOf(), AlarmModel::AcknowledgedColumn);
    QVERIFY(taken.data(AlarmModel::AcknowledgedRole).toBool());
    // Who took it, the current user, and the comment as written.
    QVERIFY(taken.data().toString().startsWith(UserCapabilities::administratorName() +
                                               QLatin1String(" at ")));
    QVERIFY(taken.data().toString().endsWith(QStringLiteral(": cable <b>")));
    QVERIFY(!view.acknowledgeAction()->isEnabled());
    // With every alarm taken nothing is repeated.
    acknowledgeOthers(Tavo::DEBUG);
    QCOMPARE(repeater.dueSound(), QString());
}

void TstHistoryView::chartDrawsTheValuesTheSimulatorSent()
{
    HistoryFixture fx;
    QVERIFY(fx.simulatorRunning());
    const int key = fx.host->key();
    Engine* engine = fx.kernel->engineBox->getEngineByNodeAttr(fx.host);

    // What the simulator sent, as the kernel read it, independently of the
    // recorder.
    QVector<double> sent;
    connect(engine->deviceDb(), &DeviceDb::signalDeviceAppended, this, [&] {
        Device* device = engine->deviceDb()->findDevice(QStringLiteral("PSU_0001"));
        if (!device || device->property("watched").toBool())
            return;
        device->setProperty("watched", true);
        device->populateDevice();
        const Param* p = device->parametersByName.value(QStringLiteral("temp"));
        connect(device, &Device::signalParamHasRead, this,
                [&sent, p](int, int, int, const ParamCore* read) {
                    double value = 0;
                    if (read == p && TrendRecorder::numericValue(p, &value))
                        sent << value;
                });
    });

    TrendRecorder recorder(fx.kernel->engineBox.get(), fx.kernel->recorder.get());
    recorder.setPeriod(1);
    TrendChart chart(&recorder, fx.kernel->history.get());
    recorder.setTrended(temp(key), true);
    chart.addSource(temp(key));
    QSignalSpy recorded(&recorder, &TrendRecorder::valueRecorded);
    engine->connectToHost();
    QTRY_VERIFY_WITH_TIMEOUT(recorded.count() >= 3, 15000);

    const QVector<QPointF> live = pointsOf(chart.series(temp(key)));
    QCOMPARE(live.size(), recorded.count());
    QVector<double> drawn;
    for (int i = 0; i < live.size(); ++i) {
        drawn << live.at(i).y();
        QCOMPARE(qint64(live.at(i).x()), recorded.at(i).at(1).toLongLong());
    }
    // The recorder may have found the device a read or two after the test.
    QVERIFY(sent.size() >= drawn.size());
    QCOMPARE(drawn, sent.mid(sent.size() - drawn.size()));

    // Opened later, a chart finds the same points in the history.
    TrendChart later(&recorder, fx.kernel->history.get());
    later.addSource(temp(key));
    QCOMPARE(pointsOf(later.series(temp(key))), live);
}

void TstHistoryView::marksAreKeptPerUser()
{
    ClientFixture fx;
    TrendRecorder recorder(fx.kernel->engineBox.get(), nullptr);
    QSignalSpy changed(&recorder, &TrendRecorder::trendedChanged);
    const TrendSource ber {4, QStringLiteral("E1_0001"), QStringLiteral("ber")};
    recorder.loadMarks(QStringLiteral("ivanov"));
    recorder.setTrended(temp(3), true);
    recorder.setTrended(ber, true);
    recorder.setTrended(temp(3), true); // again: nothing new
    recorder.setTrended(ber, false);
    QCOMPARE(changed.count(), 4);

    TrendRecorder again(fx.kernel->engineBox.get(), nullptr);
    again.loadMarks(QStringLiteral("ivanov"));
    QCOMPARE(again.trended(), QVector<TrendSource> {temp(3)});
    again.loadMarks(QStringLiteral("petrov"));
    QVERIFY(again.trended().isEmpty());
}

void TstHistoryView::alarmStatesAreBands()
{
    // The simulator's host, never connected: the test gives the states.
    HistoryFixture fx;
    Engine* engine = fx.kernel->engineBox->getEngineByNodeAttr(fx.host);
    Device* device = engine->deviceDb()->addDevice(QStringLiteral("PSU"), 1, 0, 1,
                                                   Tavo::NativeProtocol, QString());
    QVERIFY(device && device->populateDevice());
    const Param* p = device->parametersByName.value(QStringLiteral("temp"));
    AlarmMonitor* monitor = fx.kernel->alarmMonitor.get();

    // Two spells before the chart opens, from the history; one after, live.
    Q_EMIT monitor->paramStateChanged(p, Tavo::WARNING, -1);
    Q_EMIT monitor->paramStateChanged(p, Tavo::CRIT, Tavo::WARNING);
    Q_EMIT monitor->paramStateChanged(p, -1, Tavo::CRIT);
    TrendChart chart(nullptr, fx.kernel->history.get());
    chart.setAlarmMonitor(monitor);
    chart.addSource(temp(fx.host->key()));
    QTRY_COMPARE(chart.bandCount(), 2);
    Q_EMIT monitor->paramStateChanged(p, Tavo::ERR, -1);
    QTRY_COMPARE(chart.bandCount(), 3);
    // Another parameter's states are not this chart's.
    Q_EMIT monitor->paramStateChanged(device->parametersByName.value(QStringLiteral("load")),
                                      Tavo::ERR, -1);
    Q_EMIT monitor->paramStateChanged(p, -1, Tavo::ERR);
    Q_EMIT monitor->paramStateChanged(p, Tavo::WARNING, -1);
    // Drawn in one go with the spell before: 5 had the other one counted.
    QTRY_COMPARE(chart.bandCount(), 4);
}

QTEST_MAIN(TstHistoryView)
#include "tst_history_view.moc"
