#include "alarm_fixture.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

const QByteArray twoGroups = R"(
  <new>
    <events_or>
      <event to="4" device="PSU" param="temp"/><event to="2" device="PSU" param="count"/>
      <event to="4" device="NOPE" param="temp"/>
    </events_or>
    <actions_and>
      <action type="terminal"/><action type="email" address="noc@example.net" text="hot"/>
      <action type="sound"/>
    </actions_and>
  </new>
  <new>
    <actions_and><action type="sms" address="+7000" text="call"/></actions_and>
    <events_or><event to="4" device="PSU" param="temp"/></events_or>
  </new>
)";

QString alarmLine(const QString& device, const char* param, const char* state,
                  const QString& actions)
{
    return QStringLiteral("[EventMonitor]: Device name: %1, Param name: %2, State: %3, Actions: %4")
        .arg(device, QLatin1String(param), QLatin1String(state), actions);
}

} // namespace

class TstEventMonitor : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void groupsArePerformedNewestFirstAndLogged();
    void stateWithoutGroupsIsStillLoggedAndSounded();
    void soundFollowsTheSeverity_data();
    void soundFollowsTheSeverity();
    void noticesWithoutASenderAreOnlyLogged();
    void paramOutsideAnEngineIsIgnored();
};

void TstEventMonitor::initTestCase()
{
    qRegisterMetaType<const ParamCore*>();
}

void TstEventMonitor::groupsArePerformedNewestFirstAndLogged()
{
    AlarmFixture fx;
    fx.writeActionList(twoGroups);
    Engine* engine = fx.addEngine();
    AlarmMonitor monitor(nullptr);
    fx.silence(monitor);
    QSignalSpy terminals(monitor.eventMonitor, &EventMonitor::signalOpenTerminal);
    Device* device = AlarmFixture::addDevice(engine, QStringLiteral("PSU"), 1, 5);
    fx.log.clear();

    engine->deviceDb()->setParamValue(5, AlarmFixture::codeOf(device, "temp"), 50);
    QCOMPARE(fx.log.events(),
             QStringList {alarmLine(device->DbEntity::name, "temp", "WARNING",
                                    QStringLiteral("sms:+7000, terminal, email:noc@example.net, "
                                                   "sound"))});
    QCOMPARE(fx.log.entries().last().alarm, Tavo::WARNING);
    QCOMPARE(fx.notifier.sent,
             QStringList({QStringLiteral("sms +7000: call"),
                          QStringLiteral("email noc@example.net: hot")}));
    QCOMPARE(terminals.count(), 1);
    QCOMPARE(terminals.at(0).at(0).value<QList<int>>(), QList<int> {fx.nodes.back()->key()});
    QCOMPARE(fx.notifier.sounds, QStringList {QStringLiteral("/sounds/warning.wav")});

    // The second event of the first group triggers the same actions.
    fx.notifier.sent.clear();
    engine->deviceDb()->setParamValue(5, AlarmFixture::codeOf(device, "count"), 5);
    QCOMPARE(fx.log.events().last(),
             alarmLine(device->DbEntity::name, "count", "CRIT",
                       QStringLiteral("terminal, email:noc@example.net, sound")));
    QCOMPARE(fx.notifier.sent, QStringList {QStringLiteral("email noc@example.net: hot")});
    QCOMPARE(fx.notifier.sounds.last(), QStringLiteral("/sounds/alarm.wav"));
}

void TstEventMonitor::stateWithoutGroupsIsStillLoggedAndSounded()
{
    AlarmFixture fx;
    fx.writeActionList(twoGroups);
    Engine* engine = fx.addEngine();
    AlarmMonitor monitor(nullptr);
    fx.silence(monitor);
    Device* device = AlarmFixture::addDevice(engine, QStringLiteral("PSU"), 1, 5);
    const int temp = AlarmFixture::codeOf(device, "temp");
    fx.log.clear();

    engine->deviceDb()->setParamValue(5, temp, 1); // first read: NORM
    QVERIFY(fx.notifier.sounds.isEmpty()); // NORM has no sound
    engine->deviceDb()->setParamStringValue(5, AlarmFixture::codeOf(device, "label"),
                                            QByteArray("x").toHex()); // INFO
    QCOMPARE(fx.log.events(),
             QStringList({alarmLine(device->DbEntity::name, "temp", "NORM", QString()),
                          alarmLine(device->DbEntity::name, "label", "INFO", QString())}));
    QCOMPARE(fx.notifier.sounds, QStringList {QStringLiteral("/sounds/info.wav")});
    QVERIFY(fx.notifier.sent.isEmpty());
}

void TstEventMonitor::soundFollowsTheSeverity_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("file");
    const char* files[] = {"alert", "alert", "alarm", "alarm", "warning", "info", "info", "info"};
    for (int state = 0; state <= 7; ++state)
        QTest::addRow("state_%d", state)
            << state << QStringLiteral("/sounds/%1.wav").arg(QLatin1String(files[state]));
    QTest::newRow("norm") << -1 << QString();
    QTest::newRow("never_computed") << -2 << QString();
    QTest::newRow("beyond_debug") << 8 << QString();
}

void TstEventMonitor::soundFollowsTheSeverity()
{
    QFETCH(int, state);
    QFETCH(QString, file);
    AlarmFixture fx;
    EventMonitor monitor(nullptr);
    monitor.setNotifier(&fx.notifier);
    QCOMPARE(EventMonitor::soundFile(state), file);
    monitor.playSound(Tavo::AlarmType(state));
    QCOMPARE(fx.notifier.sounds, file.isEmpty() ? QStringList() : QStringList {file});
}

void TstEventMonitor::noticesWithoutASenderAreOnlyLogged()
{
    AlarmFixture fx;
    EventMonitor monitor(nullptr);
    fx.log.clear();
    monitor.sendEmail(QStringLiteral("noc@example.net"), QStringLiteral("hot"));
    monitor.sendSms(QStringLiteral("+7000"), QStringLiteral("call"));
    QCOMPARE(fx.log.warnings(),
             QStringList({QStringLiteral("[EventMonitor] No e-mail sender is configured: the "
                                         "notice to noc@example.net is not sent"),
                          QStringLiteral("[EventMonitor] No SMS sender is configured: the notice "
                                         "to +7000 is not sent")}));
    monitor.setNotifier(&fx.notifier);
    monitor.sendSms(QStringLiteral("+7000"), QStringLiteral("call"));
    QCOMPARE(fx.notifier.sent, QStringList {QStringLiteral("sms +7000: call")});
}

void TstEventMonitor::paramOutsideAnEngineIsIgnored()
{
    AlarmFixture fx;
    EventMonitor monitor(nullptr);
    monitor.setNotifier(&fx.notifier);
    fx.log.clear();
    Param loose(QTime::currentTime(), nullptr);
    monitor.stateChanged(&loose, 2, -2);
    monitor.stateChanged(nullptr, 2, -2);
    QVERIFY(fx.log.entries().isEmpty());
    QVERIFY(fx.notifier.sounds.isEmpty());
}

QTEST_GUILESS_MAIN(TstEventMonitor)
#include "tst_event_monitor.moc"
