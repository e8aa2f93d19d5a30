#include "alarm_fixture.h"
#include "connections/adapter.h"

#include <QPointer>
#include <QScriptEngine>
#include <QSignalSpy>
#include <QtTest>

#include <algorithm>

Q_DECLARE_METATYPE(const Param*)

namespace {

struct NamedParam : ParamCore
{
    explicit NamedParam(const char* text) { name = QLatin1String(text); }
};

QString scriptFailure(const char* param, const char* error)
{
    return QStringLiteral("Alarm script of parameter '%1' fails (%2): its state is EMERG until it "
                          "works")
        .arg(QLatin1String(param), QLatin1String(error));
}

/// The changes @p changed saw, as "device/param new old".
QStringList announced(const QSignalSpy& changed)
{
    QStringList lines;
    for (const QList<QVariant>& arguments : changed) {
        const auto* param = arguments.at(0).value<const Param*>();
        lines << QStringLiteral("%1/%2 %3 %4")
                     .arg(param->getDevice()->DbEntity::name, param->DbEntity::name)
                     .arg(arguments.at(1).toInt())
                     .arg(arguments.at(2).toInt());
    }
    return lines;
}

} // namespace

class TstAlarmMonitor : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void listedStatesAreTheReturnedDigits();
    void compiledScriptStillDefinesTheGlobalFunction();
    void brokenScriptIsEmergAndLoggedOncePerParameter();
    void onlyChangesOfStateAreAnnounced_data();
    void onlyChangesOfStateAreAnnounced();
    void alarmParametersArePolledAtRandomPeriods();
    void watchedDevicesComeFromEarlierEnginesAndGoWhenDeleted();
};

void TstAlarmMonitor::initTestCase()
{
    qRegisterMetaType<const Param*>();
    qRegisterMetaType<const ParamCore*>();
}

void TstAlarmMonitor::listedStatesAreTheReturnedDigits()
{
    // Sorted, NORM left out, and "return 12" read as "return 1".
    QList<QList<Tavo::AlarmType>> listed;
    for (const char* script :
         {"if (value) return 2; return 0;", "return -1;", "return 8; return 12;"}) {
        ParamCore param;
        param.alarmScript = QLatin1String(script);
        listed << param.listAlarmState();
    }
    QCOMPARE(listed,
             (QList<QList<Tavo::AlarmType>> {{Tavo::EMERG, Tavo::CRIT}, {}, {Tavo::ALERT}}));
}

void TstAlarmMonitor::compiledScriptStillDefinesTheGlobalFunction()
{
    KernelFixture fx;
    const NamedParam param("p");
    QCOMPARE(param.calcAlarmState<int>("return value * 2;", 3), 6);
    QCOMPARE(param.calcAlarmState<int>("return value + 1;", 3), 4);
    QCOMPARE(param.calcAlarmState<int>("return value * 2;", 4), 8); // from the cache
    QScriptValue global = fx.engine.globalObject().property(QStringLiteral("myFunc"));
    QVERIFY(global.isFunction());
    QCOMPARE(global.call(QScriptValue(), QScriptValueList {QScriptValue(10)}).toInt32(), 20);

    // An empty result is EMERG, with a warning on the platform's stream.
    QTest::ignoreMessage(QtWarningMsg,
                         "Alarm script of parameter 'p' returns nothing: its state is EMERG");
    QCOMPARE(param.calcAlarmState<int>("return '';", 1), 0);
}

void TstAlarmMonitor::brokenScriptIsEmergAndLoggedOncePerParameter()
{
    KernelFixture fx;
    const NamedParam first("first");
    const NamedParam second("second");
    for (const ParamCore* param : {&first, &first, &second})
        QCOMPARE(param->calcAlarmState<int>("return (;", 1), 0);
    for (int i = 0; i < 2; ++i)
        QCOMPARE(first.calcAlarmState<int>("throw new Error('no sensor');", 1), 0);
    QCOMPARE(fx.log.errors(),
             QStringList({scriptFailure("first", "SyntaxError: Parse error"),
                          scriptFailure("second", "SyntaxError: Parse error"),
                          scriptFailure("first", "Error: no sensor")}));
    QVERIFY(!fx.engine.hasUncaughtException());
    QCOMPARE(first.calcAlarmState<int>("return 3;", 1), 3);
}

void TstAlarmMonitor::onlyChangesOfStateAreAnnounced_data()
{
    // Values as "param=value": temp as INT, volts as FLOAT, label as text.
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QStringList>("changes");
    QTest::addColumn<QStringList>("errors");
    QTest::newRow("first_read_then_changes")
        << QStringList({"temp=11", "temp=11", "temp=3", "temp=-50"})
        << QStringList({"PSU_0001/temp 4 -2", "PSU_0001/temp -1 4"}) << QStringList();
    // Text arrives as hex pairs and reaches the script up to the zero; a
    // FLOAT script is never run, its state is NORM, announced once.
    QTest::newRow("by_type") << QStringList({"count=5", QStringLiteral("label=123\0tail"),
                                             "volts=99.5", "volts=1.5", "plain=1"})
                             << QStringList({"PSU_0001/count 2 -2", "PSU_0001/label 6 -2",
                                             "PSU_0001/volts -1 -2"})
                             << QStringList();
    QTest::newRow("throwing_script_stops_no_other")
        << QStringList({"temp=-500", "temp=-600", "count=5", "temp=20"})
        << QStringList({"PSU_0001/temp 0 -2", "PSU_0001/count 2 -2", "PSU_0001/temp 4 0"})
        << QStringList {scriptFailure("temp", "Error: sensor lost")};
}

void TstAlarmMonitor::onlyChangesOfStateAreAnnounced()
{
    QFETCH(QStringList, values);
    QFETCH(QStringList, changes);
    QFETCH(QStringList, errors);
    PsuFixture fx;
    DeviceDb* db = fx.engine->deviceDb();
    for (const QString& assignment : qAsConst(values)) {
        const QString name = assignment.section('=', 0, 0);
        const QString value = assignment.section('=', 1);
        if (name == "label")
            db->setParamStringValue(5, fx.codeOf(fx.device, "label"), value.toLatin1().toHex());
        else if (name == "volts")
            fx.set("volts", Tavo::floatToWord(value.toFloat()));
        else
            fx.set(qPrintable(name), Tavo::intToWord(value.toInt()));
    }
    QCOMPARE(announced(fx.changed), changes);
    QCOMPARE(fx.log.errors(), errors);
}

void TstAlarmMonitor::alarmParametersArePolledAtRandomPeriods()
{
    AlarmFixture fx;
    Engine* engine = fx.addEngine();
    AlarmMonitor monitor(nullptr);
    fx.silence(monitor);
    Device* device = fx.addDevice(engine, QStringLiteral("PSU"), 3, 6);
    QCOMPARE(monitor.adapters.keys(), QStringList {device->DbEntity::name});
    QCOMPARE(monitor.adapters.first()->combinedTag, 3);
    QVERIFY(device->inReadDeviceList);
    const auto& queued = device->readList.current();
    for (const char* name : {"temp", "count", "label", "volts"}) {
        const Param* param = fx.param(device, name);
        QCOMPARE(param->tickets.size(), 1);
        const int period = param->tickets.get(0)->period;
        QVERIFY2(period >= 31 && period <= 60, name);
        QVERIFY(std::find(queued.begin(), queued.end(), param) != queued.end());
    }
    QCOMPARE(fx.param(device, "plain")->tickets.size(), 0);

    QVERIFY(fx.addDevice(engine, QStringLiteral("PLAIN"), 1, 7));
    QCOMPARE(monitor.adapters.size(), 1); // a device without alarm parameters is not watched
    QVERIFY(!engine->deviceDb()->findDevice(QStringLiteral("PLAIN_0001"))->inReadDeviceList);
}

void TstAlarmMonitor::watchedDevicesComeFromEarlierEnginesAndGoWhenDeleted()
{
    PsuFixture fx;
    // An engine made after the monitor is not watched by it; a client may
    // still hand its devices' values to the slot.
    Device* other = fx.addDevice(fx.addEngine(), QStringLiteral("PSU"), 2, 6);
    // A device announced again is still heard once.
    Q_EMIT fx.engine->deviceDb()->signalDeviceAppended(QStringLiteral("PSU"), 1, 0);
    QCOMPARE(fx.monitor.adapters.keys(), QStringList {fx.device->DbEntity::name});
    connect(other, SIGNAL(signalParamHasRead(int, int, int, const ParamCore*)), &fx.monitor,
            SLOT(slotParamHasRead(int, int, int, const ParamCore*)));
    qobject_cast<DeviceDb*>(other->parent())
        ->setParamValue(6, fx.codeOf(other, "count"), Tavo::intToWord(5));
    fx.set("temp", Tavo::intToWord(11));
    QCOMPARE(announced(fx.changed), QStringList({"PSU_0002/count 2 -2", "PSU_0001/temp 4 -2"}));

    QPointer<Adapter> adapter = fx.monitor.adapters.value(fx.device->DbEntity::name);
    fx.monitor.deviceDeleted(QStringLiteral("never_watched"));
    QCOMPARE(fx.monitor.adapters.size(), 1);
    fx.engine->deviceDb()->removeDevice(fx.device->DbEntity::name);
    QVERIFY(fx.monitor.adapters.isEmpty());
    QVERIFY(adapter.isNull());
}

QTEST_GUILESS_MAIN(TstAlarmMonitor)
#include "tst_alarm_monitor.moc"
