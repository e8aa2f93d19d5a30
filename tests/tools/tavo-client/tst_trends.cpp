// Trends: the values of a marked parameter read from the simulator, kept in
// the history and drawn; a chart opened later draws the same points from the
// history; the alarm states as bands; the marks kept per user.

#include "client_fixture.h"
#include "trend_chart.h"
#include "trend_recorder.h"

#include "alarms/alarmmonitor.h"
#include "connections/engine.h"
#include "connections/engine_box.h"
#include "devices/device_db.h"
#include "devices/paramlist.h"
#include "history/history_store.h"
#include "hostgraph/host_graph.h"

#include <QSignalSpy>
#include <QtCharts/QLineSeries>
#include <QtTest>

#include <algorithm>

namespace {

const TrendSource temp(int hostKey)
{
    return TrendSource {hostKey, QStringLiteral("PSU_0001"), QStringLiteral("temp")};
}

QVector<QPointF> pointsOf(const QtCharts::QLineSeries* line)
{
    return line ? line->pointsVector() : QVector<QPointF>();
}

} // namespace

class TstTrends : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void chartDrawsTheValuesTheSimulatorSent();
    void marksAreKeptPerUser();
    void alarmStatesAreBands();
};

void TstTrends::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void TstTrends::chartDrawsTheValuesTheSimulatorSent()
{
    ClientFixture fx;
    QVERIFY(fx.simulatorRunning());
    NodeAttr* host = fx.addSimulatorHost();
    fx.startMonitors();
    QVERIFY(fx.kernel->startHistory(fx.dir.filePath(QStringLiteral("history.sqlite"))));
    Engine* engine = fx.kernel->engineBox->getEngineByNodeAttr(host);

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
    recorder.setTrended(temp(host->key()), true);
    chart.addSource(temp(host->key()));
    QSignalSpy recorded(&recorder, &TrendRecorder::valueRecorded);
    engine->connectToHost();
    QTRY_VERIFY_WITH_TIMEOUT(recorded.count() >= 3, 15000);

    const QVector<QPointF> live = pointsOf(chart.series(temp(host->key())));
    QCOMPARE(live.size(), recorded.count());
    QVector<double> drawn;
    for (const QPointF& point : live)
        drawn << point.y();
    // The recorder may have found the device a read or two after the test.
    QVERIFY(sent.size() >= drawn.size());
    QCOMPARE(drawn, sent.mid(sent.size() - drawn.size()));
    for (int i = 0; i < live.size(); ++i)
        QCOMPARE(qint64(live.at(i).x()), recorded.at(i).at(1).toLongLong());

    // Opened later, a chart finds the same points in the history.
    TrendChart later(&recorder, fx.kernel->history.get());
    later.addSource(temp(host->key()));
    QCOMPARE(pointsOf(later.series(temp(host->key()))), live);
    // Values are not events: the history's default view does not list them.
    HistoryFilter events;
    events.hostKey = host->key();
    const QList<HistoryRecord> listed = fx.kernel->history->query(events);
    QVERIFY(std::none_of(listed.cbegin(), listed.cend(),
                         [](const HistoryRecord& r) { return r.kind == HistoryRecord::Value; }));
}

void TstTrends::marksAreKeptPerUser()
{
    ClientFixture fx;
    TrendRecorder recorder(fx.kernel->engineBox.get(), nullptr);
    QSignalSpy changed(&recorder, &TrendRecorder::trendedChanged);
    recorder.loadMarks(QStringLiteral("ivanov"));
    recorder.setTrended(temp(3), true);
    recorder.setTrended(TrendSource {4, QStringLiteral("E1_0001"), QStringLiteral("ber")}, true);
    recorder.setTrended(temp(3), true); // again: nothing new
    recorder.setTrended(TrendSource {4, QStringLiteral("E1_0001"), QStringLiteral("ber")}, false);
    QCOMPARE(changed.count(), 4);

    TrendRecorder again(fx.kernel->engineBox.get(), nullptr);
    again.loadMarks(QStringLiteral("ivanov"));
    QCOMPARE(again.trended(), QVector<TrendSource> {temp(3)});
    again.loadMarks(QStringLiteral("petrov"));
    QVERIFY(again.trended().isEmpty());
}

void TstTrends::alarmStatesAreBands()
{
    ClientFixture fx;
    NodeAttr* host =
        fx.kernel->createHost(QStringLiteral("127.0.0.2"), 1, QStringLiteral("tavo-ne"));
    QVERIFY(host);
    fx.startMonitors();
    QVERIFY(fx.kernel->startHistory(fx.dir.filePath(QStringLiteral("history.sqlite"))));
    Engine* engine = fx.kernel->engineBox->getEngineByNodeAttr(host);
    Device* device = engine->deviceDb()->addDevice(QStringLiteral("PSU"), 1, 0, 1,
                                                   Tavo::NativeProtocol, QString());
    QVERIFY(device && device->populateDevice());
    const Param* p = device->parametersByName.value(QStringLiteral("temp"));
    QVERIFY(p);
    AlarmMonitor* monitor = fx.kernel->alarmMonitor.get();

    // Two spells before the chart opens, from the history; one after, live.
    Q_EMIT monitor->paramStateChanged(p, Tavo::WARNING, -1);
    Q_EMIT monitor->paramStateChanged(p, Tavo::CRIT, Tavo::WARNING);
    Q_EMIT monitor->paramStateChanged(p, -1, Tavo::CRIT);
    TrendChart chart(nullptr, fx.kernel->history.get());
    chart.setAlarmMonitor(monitor);
    chart.addSource(temp(host->key()));
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

QTEST_MAIN(TstTrends)
#include "tst_trends.moc"
