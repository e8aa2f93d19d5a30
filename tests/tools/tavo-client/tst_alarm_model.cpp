#include "alarm_model.h"
#include "client_fixture.h"
#include "desktop_notifier.h"

#include "alarms/alarmmonitor.h"
#include "connections/engine.h"
#include "connections/engine_box.h"
#include "devices/device_db.h"
#include "devices/paramlist.h"
#include "foundation/app_shared.h"
#include "hostgraph/host_graph.h"

#include <QAbstractItemModelTester>
#include <QColor>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

// "<param> <SEVERITY>" per row, in the model's order.
QStringList rowsOf(const AlarmModel& model)
{
    QStringList rows;
    for (int row = 0; row < model.rowCount(); ++row)
        rows << QStringLiteral("%1 %2").arg(
            model.index(row, AlarmModel::ParamColumn).data().toString(),
            model.index(row, AlarmModel::SeverityColumn).data().toString());
    return rows;
}

QVector<int> countsOf(const AlarmModel& model)
{
    QVector<int> counts(8, 0);
    for (int row = 0; row < model.rowCount(); ++row)
        ++counts[model.index(row, 0).data(AlarmModel::SeverityRole).toInt()];
    return counts;
}

} // namespace

class TstAlarmModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();

    void rowsFollowStateChanges_data();
    void rowsFollowStateChanges();
    void rowShowsTheAlarm();
    void valueFollowsReads();
    void hostSeverityAndCounts();
    void rowGoesWithItsDevice();
    void rowsGoWithTheirHost();
    void startsWithTheActiveAlarms();
    void alarmFromTheSimulator();

private:
    Device* addDevice(const QString& className, int tag);
    Param* param(Device* device, const char* name) const
    {
        return device->parametersByName.value(QLatin1String(name));
    }

    std::unique_ptr<ClientFixture> m_fx;
    DesktopNotifier m_notifier;
    // Never connected: devices are made here and states are given by hand.
    NodeAttr* m_bench = nullptr;
    NodeAttr* m_sim = nullptr;
    int m_code = 1;
};

void TstAlarmModel::initTestCase()
{
    m_fx = std::make_unique<ClientFixture>();
    QVERIFY(m_fx->simulatorRunning());
    m_bench = m_fx->kernel->createHost(QStringLiteral("127.0.0.2"), 1, QStringLiteral("tavo-ne"));
    QVERIFY(m_bench);
    m_sim = m_fx->addSimulatorHost();
    QVERIFY(m_sim);
    m_notifier.setSoundEnabled(false);
    m_fx->kernel->startMonitors(&m_notifier);
    QVERIFY(m_fx->kernel->alarmMonitor);
}

void TstAlarmModel::cleanupTestCase()
{
    m_fx.reset();
}

void TstAlarmModel::cleanup()
{
    if (Engine* engine = share::engineBox->getEngineByNodeAttr(m_bench))
        engine->deviceDb()->clearDevices();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

Device* TstAlarmModel::addDevice(const QString& className, int tag)
{
    Engine* engine = share::engineBox->getEngineByNodeAttr(m_bench);
    Device* device = engine ? engine->deviceDb()->addDevice(className, tag, 0, m_code++,
                                                            Tavo::NativeProtocol, QString())
                            : nullptr;
    if (device && !device->populateDevice())
        return nullptr;
    return device;
}

void TstAlarmModel::rowsFollowStateChanges_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("insert") << texts({"temp=2"}) << texts({"temp CRIT"});
    QTest::newRow("first-normal-read-adds-nothing") << texts({"temp=-1"}) << QStringList();
    QTest::newRow("most-severe-first")
        << texts({"load=4", "temp=2", "v_in=3", "v_out=0"})
        << texts({"v_out EMERG", "temp CRIT", "v_in ERR", "load WARNING"});
    QTest::newRow("oldest-first") << texts({"load=2", "temp=2", "v_in=2"})
                                  << texts({"load CRIT", "temp CRIT", "v_in CRIT"});
    QTest::newRow("worse-moves-up") << texts({"temp=4", "load=4", "v_in=3", "load=1"})
                                    << texts({"load ALERT", "v_in ERR", "temp WARNING"});
    QTest::newRow("better-moves-down") << texts({"temp=1", "load=2", "v_in=4", "temp=4"})
                                       << texts({"load CRIT", "v_in WARNING", "temp WARNING"});
    // A change of severity starts a new "since": the row comes after the
    // older ones of its new severity, even when it changes back.
    QTest::newRow("change-restarts-since")
        << texts({"load=2", "temp=2", "load=3", "load=2"}) << texts({"temp CRIT", "load CRIT"});
    QTest::newRow("same-state-again")
        << texts({"load=2", "temp=2", "load=2"}) << texts({"load CRIT", "temp CRIT"});
    QTest::newRow("normal-removes")
        << texts({"temp=2", "load=4", "temp=-1"}) << texts({"load WARNING"});
    QTest::newRow("all-normal-again")
        << texts({"temp=2", "load=4", "load=-1", "temp=-1"}) << QStringList();
    QTest::newRow("outside-the-states-is-normal")
        << texts({"temp=2", "load=3", "temp=8", "v_in=-2", "load=-5"}) << QStringList();
    QTest::newRow("debug-is-an-alarm") << texts({"temp=7"}) << texts({"temp DEBUG"});
}

void TstAlarmModel::rowsFollowStateChanges()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, expected);

    Device* device = addDevice(QStringLiteral("PSU"), 1);
    QVERIFY(device);
    AlarmModel model(nullptr);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy counts(&model, &AlarmModel::countsChanged);
    QHash<QString, int> previous;
    for (const QString& step : qAsConst(steps)) {
        const QString name = step.section(QLatin1Char('='), 0, 0);
        const int state = step.section(QLatin1Char('='), 1).toInt();
        const Param* p = device->parametersByName.value(name);
        QVERIFY2(p, qPrintable(name));
        model.paramStateChanged(p, state, previous.value(name, -2));
        previous[name] = state;
    }
    QCOMPARE(rowsOf(model), expected);
    QCOMPARE(model.rowCount(), expected.size());
    QCOMPARE(model.countsBySeverity(), countsOf(model));
    if (!expected.isEmpty())
        QVERIFY(counts.count() > 0);
}

void TstAlarmModel::rowShowsTheAlarm()
{
    Device* device = addDevice(QStringLiteral("PSU"), 2);
    QVERIFY(device);
    Param* temp = param(device, "temp");
    temp->setReadValue(73);
    AlarmModel model(nullptr);
    model.paramStateChanged(temp, Tavo::CRIT, -2);
    QCOMPARE(model.rowCount(), 1);

    auto cell = [&](int column, int role = Qt::DisplayRole) {
        return model.index(0, column).data(role);
    };
    QCOMPARE(cell(AlarmModel::SeverityColumn).toString(), QStringLiteral("CRIT"));
    QCOMPARE(cell(AlarmModel::SeverityColumn, Qt::BackgroundRole).value<QColor>(),
             QColor(0xc0, 0x00, 0x00));
    QCOMPARE(cell(AlarmModel::HostColumn).toString(), m_bench->alias());
    QCOMPARE(cell(AlarmModel::DeviceColumn).toString(), device->DbEntity::name);
    QCOMPARE(cell(AlarmModel::ParamColumn).toString(), QStringLiteral("temp"));
    QCOMPARE(cell(AlarmModel::ParamColumn, Qt::ToolTipRole).toString(),
             QStringLiteral("Temperature"));
    QCOMPARE(cell(AlarmModel::ValueColumn).toString(), QStringLiteral("73"));
    QVERIFY(!cell(AlarmModel::SinceColumn).toString().isEmpty());
    QCOMPARE(cell(AlarmModel::HostColumn, AlarmModel::HostKeyRole).toInt(), m_bench->key());
    QCOMPARE(cell(AlarmModel::ValueColumn, AlarmModel::DeviceNameRole).toString(),
             device->DbEntity::name);
    QCOMPARE(cell(AlarmModel::ValueColumn, AlarmModel::ParamNameRole).toString(),
             QStringLiteral("temp"));
    QCOMPARE(cell(AlarmModel::ValueColumn, AlarmModel::SeverityRole).toInt(), int(Tavo::CRIT));
    QCOMPARE(model.headerData(AlarmModel::SeverityColumn, Qt::Horizontal).toString(),
             QStringLiteral("Severity"));

    // What a host sent is shown, never obeyed.
    Device* e1 = addDevice(QStringLiteral("E1"), 3);
    QVERIFY(e1);
    Param* label = param(e1, "label");
    label->readBytes = QByteArrayLiteral("Port\nA\x1b[2J");
    label->readValid = true;
    model.paramStateChanged(label, Tavo::WARNING, -2);
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.index(1, AlarmModel::ValueColumn).data().toString(),
             QStringLiteral("Port\\nA\\x1b[2J"));
}

void TstAlarmModel::valueFollowsReads()
{
    Device* device = addDevice(QStringLiteral("PSU"), 4);
    QVERIFY(device);
    Param* temp = param(device, "temp");
    Param* load = param(device, "load");
    temp->setReadValue(65);
    AlarmModel model(nullptr);
    model.paramStateChanged(load, Tavo::ERR, -2);
    model.paramStateChanged(temp, Tavo::WARNING, -2);
    QCOMPARE(model.index(1, AlarmModel::ValueColumn).data().toString(), QStringLiteral("65"));

    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    temp->setReadValue(68);
    device->sendParamHasReadSignal(temp);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toModelIndex(), model.index(1, AlarmModel::ValueColumn));
    QCOMPARE(model.index(1, AlarmModel::ValueColumn).data().toString(), QStringLiteral("68"));

    // A parameter without an alarm row changes no row.
    param(device, "v_in")->setReadValue(1);
    device->sendParamHasReadSignal(param(device, "v_in"));
    QCOMPARE(changed.count(), 1);

    // Nor does one whose alarm has ended.
    model.paramStateChanged(temp, Tavo::NORM, Tavo::WARNING);
    device->sendParamHasReadSignal(temp);
    QCOMPARE(changed.count(), 1);
}

void TstAlarmModel::hostSeverityAndCounts()
{
    Device* psu = addDevice(QStringLiteral("PSU"), 5);
    Device* e1 = addDevice(QStringLiteral("E1"), 6);
    QVERIFY(psu && e1);
    const int bench = m_bench->key();
    AlarmModel model(nullptr);
    QSignalSpy hostChanged(&model, &AlarmModel::hostSeverityChanged);
    QSignalSpy counts(&model, &AlarmModel::countsChanged);
    QCOMPARE(model.severityOfHost(bench), -1);
    QCOMPARE(model.countsBySeverity(), QVector<int>(8, 0));

    struct Step
    {
        Param* param;
        int state;
        int hostSeverity;
        bool hostChanges;
    };
    const QList<Step> steps {
        {param(psu, "temp"), Tavo::WARNING, Tavo::WARNING, true},
        {param(e1, "los"), Tavo::CRIT, Tavo::CRIT, true},
        {param(psu, "load"), Tavo::ERR, Tavo::CRIT, false},
        {param(e1, "los"), Tavo::NORM, Tavo::ERR, true},
        {param(psu, "temp"), Tavo::ALERT, Tavo::ALERT, true},
        {param(psu, "load"), Tavo::WARNING, Tavo::ALERT, false},
        {param(psu, "temp"), Tavo::NORM, Tavo::WARNING, true},
        {param(psu, "load"), Tavo::NORM, Tavo::NORM, true},
    };
    int expectedHostSignals = 0;
    for (int i = 0; i < steps.size(); ++i) {
        const Step& step = steps.at(i);
        const int countsBefore = counts.count();
        model.paramStateChanged(step.param, step.state, -2);
        QVERIFY2(model.severityOfHost(bench) == step.hostSeverity, qPrintable(QString::number(i)));
        expectedHostSignals += step.hostChanges ? 1 : 0;
        QCOMPARE(hostChanged.count(), expectedHostSignals);
        if (step.hostChanges)
            QCOMPARE(hostChanged.last().at(0).toInt(), bench);
        QCOMPARE(counts.count(), countsBefore + 1);
        QCOMPARE(model.countsBySeverity(), countsOf(model));
    }
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.severityOfHost(m_sim->key()), -1);
}

void TstAlarmModel::rowGoesWithItsDevice()
{
    Device* gone = addDevice(QStringLiteral("PSU"), 7);
    Device* stays = addDevice(QStringLiteral("E1"), 8);
    QVERIFY(gone && stays);
    AlarmModel model(nullptr);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.paramStateChanged(param(gone, "temp"), Tavo::ALERT, -2);
    model.paramStateChanged(param(gone, "load"), Tavo::ERR, -2);
    model.paramStateChanged(param(stays, "los"), Tavo::CRIT, -2);
    QCOMPARE(model.severityOfHost(m_bench->key()), int(Tavo::ALERT));
    QSignalSpy hostChanged(&model, &AlarmModel::hostSeverityChanged);

    share::engineBox->getEngineByNodeAttr(m_bench)->deviceDb()->removeDevice(gone->DbEntity::name);
    QTRY_COMPARE(model.rowCount(), 1);
    QCOMPARE(rowsOf(model), texts({"los CRIT"}));
    QCOMPARE(model.index(0, AlarmModel::DeviceColumn).data().toString(), stays->DbEntity::name);
    QCOMPARE(model.severityOfHost(m_bench->key()), int(Tavo::CRIT));
    QCOMPARE(hostChanged.count(), 1);
    QVector<int> expected(8, 0);
    expected[Tavo::CRIT] = 1;
    QCOMPARE(model.countsBySeverity(), expected);
}

void TstAlarmModel::rowsGoWithTheirHost()
{
    NodeAttr* doomed =
        m_fx->kernel->createHost(QStringLiteral("127.0.0.3"), 1, QStringLiteral("tavo-ne"));
    QVERIFY(doomed);
    const int key = doomed->key();
    Engine* engine = share::engineBox->getEngineByNodeAttr(doomed);
    QVERIFY(engine);
    Device* device = engine->deviceDb()->addDevice(QStringLiteral("PSU"), 1, 0, 1,
                                                   Tavo::NativeProtocol, QString());
    QVERIFY(device && device->populateDevice());
    Device* other = addDevice(QStringLiteral("PSU"), 9);
    QVERIFY(other);

    AlarmModel model(nullptr);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.paramStateChanged(param(device, "temp"), Tavo::CRIT, -2);
    model.paramStateChanged(param(device, "load"), Tavo::ERR, -2);
    model.paramStateChanged(param(other, "temp"), Tavo::WARNING, -2);
    QCOMPARE(model.severityOfHost(key), int(Tavo::CRIT));
    QSignalSpy hostChanged(&model, &AlarmModel::hostSeverityChanged);

    share::engineBox->deleteEngine(engine);
    QTRY_COMPARE(model.rowCount(), 1);
    QCOMPARE(model.index(0, 0).data(AlarmModel::HostKeyRole).toInt(), m_bench->key());
    QCOMPARE(model.severityOfHost(key), -1);
    QVERIFY(hostChanged.count() >= 1);
    QCOMPARE(hostChanged.last().at(0).toInt(), key);
}

void TstAlarmModel::startsWithTheActiveAlarms()
{
    Device* device = addDevice(QStringLiteral("PSU"), 10);
    QVERIFY(device);
    // As the monitor leaves them after earlier reads.
    param(device, "temp")->alarmCache = Tavo::WARNING;
    param(device, "load")->alarmCache = Tavo::NORM;
    param(device, "v_in")->alarmCache = -2;

    AlarmMonitor* monitor = m_fx->kernel->alarmMonitor.get();
    AlarmModel model(monitor);
    QCOMPARE(rowsOf(model), texts({"temp WARNING"}));

    // And follows the monitor from then on.
    Q_EMIT monitor->paramStateChanged(param(device, "load"), Tavo::ERR, Tavo::NORM);
    QCOMPARE(rowsOf(model), texts({"load ERR", "temp WARNING"}));
    Q_EMIT monitor->paramStateChanged(param(device, "temp"), Tavo::NORM, Tavo::WARNING);
    QCOMPARE(rowsOf(model), texts({"load ERR"}));
}

void TstAlarmModel::alarmFromTheSimulator()
{
    Engine* engine = share::engineBox->getEngineByNodeAttr(m_sim);
    QVERIFY(engine);
    AlarmModel model(m_fx->kernel->alarmMonitor.get());
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy hostChanged(&model, &AlarmModel::hostSeverityChanged);

    m_fx->connectReadingAll(m_sim);

    // The demo's temperature passes 60 and 70 every 20 s; its second E1
    // port loses its signal for 4 s of every 12.
    auto demoAlarm = [&model] {
        for (int row = 0; row < model.rowCount(); ++row) {
            const QString device = model.index(row, 0).data(AlarmModel::DeviceNameRole).toString();
            const QString param = model.index(row, 0).data(AlarmModel::ParamNameRole).toString();
            if ((device == QLatin1String("PSU_0001") && param == QLatin1String("temp")) ||
                (device == QLatin1String("E1_0002") && param == QLatin1String("los")))
                return row;
        }
        return -1;
    };
    QTRY_VERIFY_WITH_TIMEOUT(demoAlarm() >= 0, 25000);

    const int row = demoAlarm();
    const int state = model.index(row, 0).data(AlarmModel::SeverityRole).toInt();
    QVERIFY2(state == Tavo::CRIT || state == Tavo::WARNING, qPrintable(QString::number(state)));
    QCOMPARE(model.index(row, AlarmModel::SeverityColumn).data().toString(),
             share::alarmStateToStr(Tavo::AlarmType(state)));
    QCOMPARE(model.index(row, AlarmModel::HostColumn).data().toString(), m_sim->alias());
    QCOMPARE(model.index(row, 0).data(AlarmModel::HostKeyRole).toInt(), m_sim->key());

    // The host's severity is that of its worst row, and was announced.
    int worst = 8;
    for (int i = 0; i < model.rowCount(); ++i) {
        if (model.index(i, 0).data(AlarmModel::HostKeyRole).toInt() == m_sim->key())
            worst = qMin(worst, model.index(i, 0).data(AlarmModel::SeverityRole).toInt());
    }
    QCOMPARE(model.severityOfHost(m_sim->key()), worst);
    QVERIFY(!hostChanged.isEmpty());
    QCOMPARE(model.countsBySeverity(), countsOf(model));

    // Every row agrees with the state the monitor keeps in the parameter.
    DeviceDb* simDb = engine->deviceDb();
    for (int i = 0; i < model.rowCount(); ++i) {
        const Param* p =
            simDb->getParam(model.index(i, 0).data(AlarmModel::DeviceNameRole).toString(),
                            model.index(i, 0).data(AlarmModel::ParamNameRole).toString());
        QVERIFY(p);
        QCOMPARE(model.index(i, 0).data(AlarmModel::SeverityRole).toInt(), int(p->alarmCache));
    }
}

QTEST_MAIN(TstAlarmModel)
#include "tst_alarm_model.moc"
