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

QString alarmLine(const Device* device, const char* param, const char* state,
                  const QString& actions)
{
    return QStringLiteral("[EventMonitor]: Device name: %1, Param name: %2, State: %3, Actions: %4")
        .arg(device->DbEntity::name, QLatin1String(param), QLatin1String(state), actions);
}

} // namespace

class TstEventMonitor : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void statesAreLoggedAndSoundedAndTheirGroupsPerformedNewestFirst();
    void soundFollowsTheSeverity();
    void noticesWithoutASenderAreOnlyLoggedAndLooseParamsIgnored();
};

void TstEventMonitor::initTestCase()
{
    qRegisterMetaType<const ParamCore*>();
}

void TstEventMonitor::statesAreLoggedAndSoundedAndTheirGroupsPerformedNewestFirst()
{
    PsuFixture fx(twoGroups);
    QSignalSpy terminals(fx.monitor.eventMonitor, &EventMonitor::signalOpenTerminal);
    fx.set("temp", 50);
    QCOMPARE(fx.log.events(),
             QStringList {alarmLine(fx.device, "temp", "WARNING",
                                    "sms:+7000, terminal, email:noc@example.net, sound")});
    QCOMPARE(fx.log.entries().last().alarm, Tavo::WARNING);
    QCOMPARE(fx.notifier.sent, QStringList({"sms +7000: call", "email noc@example.net: hot"}));
    QCOMPARE(terminals.count(), 1);
    QCOMPARE(terminals.at(0).at(0).value<QList<int>>(), QList<int> {fx.nodes.back()->key()});
    QCOMPARE(fx.notifier.sounds, QStringList {"/sounds/warning.wav"});

    // The second event of the first group triggers the same actions.
    fx.notifier.sent.clear();
    fx.set("count", 5);
    QCOMPARE(fx.log.events().last(),
             alarmLine(fx.device, "count", "CRIT", "terminal, email:noc@example.net, sound"));
    QCOMPARE(fx.notifier.sent, QStringList {"email noc@example.net: hot"});
    QCOMPARE(fx.notifier.sounds.last(), QStringLiteral("/sounds/alarm.wav"));

    // States without groups are still logged, and sounded but NORM.
    fx.log.clear();
    fx.notifier.sent.clear();
    fx.notifier.sounds.clear();
    fx.set("temp", 1);
    QVERIFY(fx.notifier.sounds.isEmpty());
    fx.engine->deviceDb()->setParamStringValue(5, fx.codeOf(fx.device, "label"),
                                               QByteArray("x").toHex()); // INFO
    QCOMPARE(fx.log.events(),
             QStringList({alarmLine(fx.device, "temp", "NORM", QString()),
                          alarmLine(fx.device, "label", "INFO", QString())}));
    QCOMPARE(fx.notifier.sounds, QStringList {"/sounds/info.wav"});
    QVERIFY(fx.notifier.sent.isEmpty());
}

void TstEventMonitor::soundFollowsTheSeverity()
{
    AlarmFixture fx; // for the sound path
    QStringList files;
    for (int state = -2; state <= 8; ++state)
        files << EventMonitor::soundFile(state).remove(share::soundPath);
    // Never computed, NORM, EMERG up to DEBUG, and beyond.
    QCOMPARE(files,
             QStringList({"", "", "alert.wav", "alert.wav", "alarm.wav", "alarm.wav", "warning.wav",
                          "info.wav", "info.wav", "info.wav", ""}));
}

void TstEventMonitor::noticesWithoutASenderAreOnlyLoggedAndLooseParamsIgnored()
{
    AlarmFixture fx;
    EventMonitor monitor(nullptr);
    monitor.sendEmail("noc@example.net", "hot");
    monitor.sendSms("+7000", "call");
    QCOMPARE(fx.log.warnings(),
             QStringList({QStringLiteral("[EventMonitor] No e-mail sender is configured: the "
                                         "notice to noc@example.net is not sent"),
                          QStringLiteral("[EventMonitor] No SMS sender is configured: the notice "
                                         "to +7000 is not sent")}));

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
