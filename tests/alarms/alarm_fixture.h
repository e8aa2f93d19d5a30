#pragma once

#include "alarms/alarm_notifier.h"
#include "alarms/alarmmonitor.h"
#include "alarms/eventmonitor.h"
#include "alarms/sax_action_list_parser.h"
#include "hosts_fixture.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QSignalSpy>

#include <functional>

/// Everything the event monitor hands out, in order; each notice is also
/// passed on, by its kind and its address or file, to forward when set.
class RecordingNotifier : public AlarmNotifier
{
public:
    void sendEmail(const QString& address, const QString& text) override
    {
        sent << QStringLiteral("email %1: %2").arg(address, text);
        if (forward)
            forward(QStringLiteral("email"), address);
    }
    void sendSms(const QString& address, const QString& text) override
    {
        sent << QStringLiteral("sms %1: %2").arg(address, text);
        if (forward)
            forward(QStringLiteral("sms"), address);
    }
    void playSound(const QString& fileName) override
    {
        sounds << fileName;
        if (forward)
            forward(QStringLiteral("sound"), fileName);
    }

    QStringList sent;
    QStringList sounds;
    std::function<void(const QString& kind, const QString& to)> forward;
};

/**
 * Hosts as in HostsFixture, and a class PSU whose parameters carry alarm
 * scripts:
 *   temp (INT)     4 above 10, else -1; throws below -100
 *   count (UINT)   2 at 5, else -1
 *   label (ASCIIZ) 6 when the value reaches the script as a string
 *   volts (FLOAT)  always 0, never run
 *   plain          no script
 * and a class PLAIN without alarm parameters. Per-user settings, and so the
 * action list, live in a temporary directory.
 */
class AlarmFixture : public HostsFixture
{
public:
    AlarmFixture()
    {
        writeClassFile(QStringLiteral("psu.xml"), R"(
<class name="PSU" interface="psu">
  <param name="temp" type="INT"><alarm>if (value &lt; -100) throw new Error("sensor lost"); if (value &gt; 10) return 4; return -1;</alarm></param>
  <param name="count"><alarm>return value == 5 ? 2 : -1;</alarm></param>
  <param name="label" type="ASCIIZ"><alarm>return typeof value == "string" ? 6 : 0;</alarm></param>
  <param name="volts" type="FLOAT"><alarm>return 0;</alarm></param>
  <param name="plain"/>
</class>
<class name="PLAIN" interface="plain"><param name="x"/></class>)");
        loadClasses();
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                           dir.makeDir(QStringLiteral("settings")));
        share::soundPath = QStringLiteral("/sounds/");
        log.clear();
    }

    void writeActionList(const QByteArray& body) const
    {
        const QString path = ActionListParser::actionListPath();
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write("<?xml version=\"1.0\"?>\n<actionlist>\n" + body + "\n</actionlist>\n");
    }

    /// Points the monitor's reactions at the recording notifier: no test
    /// sends to the speaker.
    void silence(AlarmMonitor& monitor) { monitor.eventMonitor->setNotifier(&notifier); }

    RecordingNotifier notifier;
};

/// One host with a PSU on code 5, watched by a silenced monitor that read
/// @p actions as its action list.
class PsuFixture : public AlarmFixture
{
public:
    explicit PsuFixture(const QByteArray& actions = QByteArray())
        : listed(actions.isEmpty() || (writeActionList(actions), true))
    {
        silence(monitor);
        log.clear();
    }

    /// Hands @p value to parameter @p name as the host's answer would.
    void set(const char* name, quint32 value)
    {
        engine->deviceDb()->setParamValue(5, codeOf(device, name), value);
    }

    const bool listed; // before the monitor, which reads the list when made
    Engine* engine = addEngine();
    AlarmMonitor monitor {nullptr};
    QSignalSpy changed {&monitor, &AlarmMonitor::paramStateChanged};
    Device* device = addDevice(engine, QStringLiteral("PSU"), 1, 5);
};
