#include "alarm_fixture.h"
#include "alarms/alarmmonitor.h"
#include "connections/adapter.h"

#include <QPointer>
#include <QScriptEngine>
#include <QSignalSpy>
#include <QtTest>

#include <algorithm>

namespace {

struct Change
{
    const Param* param;
    int newState;
    int oldState;
};

QList<Change> changesOf(const QSignalSpy& spy)
{
    QList<Change> changes;
    for (const QList<QVariant>& arguments : spy)
        changes.append({arguments.at(0).value<const Param*>(), arguments.at(1).toInt(),
                        arguments.at(2).toInt()});
    return changes;
}

} // namespace

Q_DECLARE_METATYPE(const Param*)
Q_DECLARE_METATYPE(QList<Tavo::AlarmType>)

class TstAlarmMonitor : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void listedStatesAreTheReturnedDigits_data();
    void listedStatesAreTheReturnedDigits();
    void scriptResultBecomesTheState_data();
    void scriptResultBecomesTheState();
    void compiledScriptStillDefinesTheGlobalFunction();
    void brokenScriptIsEmergAndLoggedOncePerParameter();
    void firstReadIsAnnouncedThenOnlyChanges();
    void stateFollowsTheParameterType();
    void throwingScriptDoesNotStopTheOthers();
    void alarmParametersArePolledAtRandomPeriods();
    void deviceWithoutAlarmParametersIsNotWatched();
    void deletedDeviceIsForgotten();
    void onlyEnginesExistingAtConstructionAreWatched();
};

void TstAlarmMonitor::initTestCase()
{
    qRegisterMetaType<const Param*>();
    qRegisterMetaType<const ParamCore*>();
}

void TstAlarmMonitor::listedStatesAreTheReturnedDigits_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QList<Tavo::AlarmType>>("states");
    using L = QList<Tavo::AlarmType>;
    QTest::newRow("two_states_sorted")
        << "if (value) return 2; return 0;" << L {Tavo::EMERG, Tavo::CRIT};
    QTest::newRow("norm_only") << "return -1;" << L {};
    QTest::newRow("two_blanks") << "return  3;" << L {};
    QTest::newRow("repeated") << "if (value) return 7; return 7;" << L {Tavo::DEBUG};
    QTest::newRow("empty") << "" << L {};
    QTest::newRow("case_sensitive") << "RETURN 1; Return 2;" << L {};
    QTest::newRow("digits_beyond_seven") << "return 8; return 12;" << L {Tavo::ALERT};
}

void TstAlarmMonitor::listedStatesAreTheReturnedDigits()
{
    QFETCH(QString, script);
    QFETCH(QList<Tavo::AlarmType>, states);
    ParamCore param;
    param.alarmScript = script;
    QCOMPARE(param.listAlarmState(), states);
}

void TstAlarmMonitor::scriptResultBecomesTheState_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<int>("state");
    QTest::newRow("threshold_above") << "if (value > 10) return 4; return -1;" << QVariant(11) << 4;
    QTest::newRow("threshold_below") << "if (value > 10) return 4; return -1;" << QVariant(3) << -1;
    QTest::newRow("digit_as_string") << "return '5';" << QVariant(0) << 5;
    QTest::newRow("not_a_number") << "return 'high';" << QVariant(0) << 0;
    QTest::newRow("fraction") << "return 2.9;" << QVariant(0) << 2;
    QTest::newRow("string_stays_string")
        << "return typeof value == 'string' ? 1 : 2;" << QVariant(QStringLiteral("12")) << 1;
    QTest::newRow("number_stays_number")
        << "return typeof value == 'number' ? 1 : 2;" << QVariant(12) << 1;
    QTest::newRow("string_concatenates")
        << "return value + '1';" << QVariant(QStringLiteral("3")) << 31;
}

void TstAlarmMonitor::scriptResultBecomesTheState()
{
    QFETCH(QString, script);
    QFETCH(QVariant, value);
    QFETCH(int, state);
    KernelFixture fx;
    ParamCore param;
    param.name = QStringLiteral("p");
    const int computed = value.type() == QVariant::String
        ? param.calcAlarmState<QString>(script, value.toString())
        : param.calcAlarmState<int>(script, value.toInt());
    QCOMPARE(computed, state);
    QVERIFY(fx.log.errors().isEmpty());
}

void TstAlarmMonitor::compiledScriptStillDefinesTheGlobalFunction()
{
    KernelFixture fx;
    ParamCore param;
    param.name = QStringLiteral("p");
    const QString first = QStringLiteral("return value * 2;");
    const QString second = QStringLiteral("return value + 1;");
    QCOMPARE(param.calcAlarmState<int>(first, 3), 6);
    QCOMPARE(param.calcAlarmState<int>(second, 3), 4);
    QCOMPARE(param.calcAlarmState<int>(first, 4), 8); // from the cache
    QScriptValue global = fx.engine.globalObject().property(QStringLiteral("myFunc"));
    QVERIFY(global.isFunction());
    QCOMPARE(global.call(QScriptValue(), QScriptValueList {QScriptValue(10)}).toInt32(), 20);

    // An empty result is EMERG, with a warning on the platform's stream.
    QTest::ignoreMessage(QtWarningMsg,
                         "Alarm script of parameter 'p' returns nothing: its state is EMERG");
    QCOMPARE(param.calcAlarmState<int>(QStringLiteral("return '';"), 1), 0);
}

void TstAlarmMonitor::brokenScriptIsEmergAndLoggedOncePerParameter()
{
    KernelFixture fx;
    ParamCore first;
    first.name = QStringLiteral("first");
    ParamCore second;
    second.name = QStringLiteral("second");
    const QString broken = QStringLiteral("return (;");
    QCOMPARE(first.calcAlarmState<int>(broken, 1), 0);
    QCOMPARE(first.calcAlarmState<int>(broken, 2), 0);
    QCOMPARE(second.calcAlarmState<int>(broken, 1), 0);
    const QString thrower = QStringLiteral("throw new Error('no sensor');");
    QCOMPARE(first.calcAlarmState<int>(thrower, 1), 0);
    QCOMPARE(first.calcAlarmState<int>(thrower, 1), 0);
    QCOMPARE(fx.log.errors(),
             QStringList({QStringLiteral("Alarm script of parameter 'first' fails (SyntaxError: "
                                         "Parse error): its state is EMERG until it works"),
                          QStringLiteral("Alarm script of parameter 'second' fails (SyntaxError: "
                                         "Parse error): its state is EMERG until it works"),
                          QStringLiteral("Alarm script of parameter 'first' fails (Error: no "
                                         "sensor): its state is EMERG until it works")}));
    QVERIFY(!fx.engine.hasUncaughtException());
    QCOMPARE(first.calcAlarmState<int>(QStringLiteral("return 3;"), 1), 3);
}

void TstAlarmMonitor::firstReadIsAnnouncedThenOnlyChanges()
{
    AlarmFixture fx;
    Engine* engine = fx.addEngine();
    AlarmMonitor monitor(nullptr);
    fx.silence(monitor);
    QSignalSpy changed(&monitor, &AlarmMonitor::paramStateChanged);
    Device* device = AlarmFixture::addDevice(engine, QStringLiteral("PSU"), 1, 5);
    QVERIFY(device);
    Param* temp = device->parametersByName.value(QStringLiteral("temp"));
    QCOMPARE(temp->alarmCache, -2);
    DeviceDb* db = engine->deviceDb();
    const int code = AlarmFixture::codeOf(device, "temp");

    db->setParamValue(5, code, 11);
    db->setParamValue(5, code, 11);
    db->setParamValue(5, code, 3);
    const QList<Change> changes = changesOf(changed);
    QCOMPARE(changes.size(), 2);
    QCOMPARE(changes.at(0).param, temp);
    QCOMPARE(changes.at(0).newState, 4);
    QCOMPARE(changes.at(0).oldState, -2);
    QCOMPARE(changes.at(1).newState, -1);
    QCOMPARE(changes.at(1).oldState, 4);
    QCOMPARE(temp->alarmCache, -1);

    // A negative INT reaches the script as a negative number.
    db->setParamValue(5, code, Tavo::intToWord(-50));
    QCOMPARE(changed.count(), 2);
}

void TstAlarmMonitor::stateFollowsTheParameterType()
{
    AlarmFixture fx;
    Engine* engine = fx.addEngine();
    AlarmMonitor monitor(nullptr);
    fx.silence(monitor);
    QSignalSpy changed(&monitor, &AlarmMonitor::paramStateChanged);
    Device* device = AlarmFixture::addDevice(engine, QStringLiteral("PSU"), 1, 5);
    DeviceDb* db = engine->deviceDb();

    db->setParamValue(5, AlarmFixture::codeOf(device, "count"), 5);
    // Text values arrive as hex pairs; the script sees them up to the zero.
    db->setParamStringValue(5, AlarmFixture::codeOf(device, "label"),
                            QByteArray("123\0tail", 8).toHex());
    db->setParamValue(5, AlarmFixture::codeOf(device, "volts"), Tavo::floatToWord(99.5f));
    db->setParamValue(5, AlarmFixture::codeOf(device, "volts"), Tavo::floatToWord(1.5f));
    db->setParamValue(5, AlarmFixture::codeOf(device, "plain"), 1);
    const QList<Change> changes = changesOf(changed);
    QCOMPARE(changes.size(), 3);
    QCOMPARE(changes.at(0).param->DbEntity::name, QStringLiteral("count"));
    QCOMPARE(changes.at(0).newState, 2);
    QCOMPARE(changes.at(1).param->DbEntity::name, QStringLiteral("label"));
    QCOMPARE(changes.at(1).newState, 6); // digits, yet a string
    // A FLOAT script is never run: NORM, announced once.
    QCOMPARE(changes.at(2).param->DbEntity::name, QStringLiteral("volts"));
    QCOMPARE(changes.at(2).newState, -1);
    QCOMPARE(changes.at(2).oldState, -2);
}

void TstAlarmMonitor::throwingScriptDoesNotStopTheOthers()
{
    AlarmFixture fx;
    Engine* engine = fx.addEngine();
    AlarmMonitor monitor(nullptr);
    fx.silence(monitor);
    QSignalSpy changed(&monitor, &AlarmMonitor::paramStateChanged);
    Device* device = AlarmFixture::addDevice(engine, QStringLiteral("PSU"), 1, 5);
    DeviceDb* db = engine->deviceDb();
    const int temp = AlarmFixture::codeOf(device, "temp");
    fx.log.clear();
    db->setParamValue(5, temp, Tavo::intToWord(-500));
    db->setParamValue(5, temp, Tavo::intToWord(-600));
    db->setParamValue(5, AlarmFixture::codeOf(device, "count"), 5);
    db->setParamValue(5, temp, 20);
    const QList<Change> changes = changesOf(changed);
    QCOMPARE(changes.size(), 3);
    QCOMPARE(changes.at(0).newState, 0);
    QCOMPARE(changes.at(1).newState, 2);
    QCOMPARE(changes.at(2).newState, 4);
    QCOMPARE(fx.log.errors(),
             QStringList {QStringLiteral("Alarm script of parameter 'temp' fails (Error: sensor "
                                         "lost): its state is EMERG until it works")});
}

void TstAlarmMonitor::alarmParametersArePolledAtRandomPeriods()
{
    AlarmFixture fx;
    Engine* engine = fx.addEngine();
    AlarmMonitor monitor(nullptr);
    fx.silence(monitor);
    Device* device = AlarmFixture::addDevice(engine, QStringLiteral("PSU"), 3, 6);
    QCOMPARE(monitor.adapters.keys(), QStringList {device->DbEntity::name});
    Adapter* adapter = monitor.adapters.value(device->DbEntity::name);
    QCOMPARE(adapter->parent(), &monitor);
    QCOMPARE(adapter->combinedTag, 3);
    QVERIFY(device->inReadDeviceList);
    for (const char* name : {"temp", "count", "label", "volts"}) {
        const Param* param = device->parametersByName.value(QLatin1String(name));
        QCOMPARE(param->tickets.size(), 1);
        const int period = param->tickets.get(0)->period;
        QVERIFY2(period >= 31 && period <= 60, name);
        const auto& queued = device->readList.current();
        QVERIFY(std::find(queued.begin(), queued.end(), param) != queued.end());
    }
    QCOMPARE(device->parametersByName.value(QStringLiteral("plain"))->tickets.size(), 0);
}

void TstAlarmMonitor::deviceWithoutAlarmParametersIsNotWatched()
{
    AlarmFixture fx;
    Engine* engine = fx.addEngine();
    AlarmMonitor monitor(nullptr);
    fx.silence(monitor);
    Device* device = AlarmFixture::addDevice(engine, QStringLiteral("PLAIN"), 1, 7);
    QVERIFY(device);
    QVERIFY(monitor.adapters.isEmpty());
    QVERIFY(!device->inReadDeviceList);
}

void TstAlarmMonitor::deletedDeviceIsForgotten()
{
    AlarmFixture fx;
    Engine* engine = fx.addEngine();
    AlarmMonitor monitor(nullptr);
    fx.silence(monitor);
    Device* device = AlarmFixture::addDevice(engine, QStringLiteral("PSU"), 1, 5);
    const QString name = device->DbEntity::name;
    QPointer<Adapter> adapter = monitor.adapters.value(name);
    monitor.deviceDeleted(QStringLiteral("never_watched"));
    QCOMPARE(monitor.adapters.size(), 1);
    engine->deviceDb()->removeDevice(name);
    QVERIFY(monitor.adapters.isEmpty());
    QVERIFY(adapter.isNull());
}

void TstAlarmMonitor::onlyEnginesExistingAtConstructionAreWatched()
{
    AlarmFixture fx;
    Engine* before = fx.addEngine();
    AlarmMonitor monitor(nullptr);
    fx.silence(monitor);
    Engine* after = fx.addEngine();
    AlarmFixture::addDevice(after, QStringLiteral("PSU"), 1, 5);
    QVERIFY(monitor.adapters.isEmpty());
    AlarmFixture::addDevice(before, QStringLiteral("PSU"), 1, 5);
    QCOMPARE(monitor.adapters.size(), 1);
}

QTEST_GUILESS_MAIN(TstAlarmMonitor)
#include "tst_alarm_monitor.moc"
