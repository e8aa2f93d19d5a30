#pragma once

#include "alarms/alarm_notifier.h"
#include "alarms/alarmmonitor.h"
#include "alarms/eventmonitor.h"
#include "alarms/sax_action_list_parser.h"
#include "connections/engine.h"
#include "connections/engine_box.h"
#include "devices/device_db.h"
#include "devices/paramlist.h"
#include "foundation/app_shared.h"
#include "hostgraph/host_graph.h"
#include "kernel_fixture.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include <memory>
#include <vector>

/// Everything the event monitor hands out, in order.
class RecordingNotifier : public AlarmNotifier
{
public:
    void sendEmail(const QString& address, const QString& text) override
    {
        sent << QStringLiteral("email %1: %2").arg(address, text);
    }
    void sendSms(const QString& address, const QString& text) override
    {
        sent << QStringLiteral("sms %1: %2").arg(address, text);
    }
    void playSound(const QString& fileName) override { sounds << fileName; }

    QStringList sent;
    QStringList sounds;
};

/**
 * Hosts with engines that speak no protocol (nothing is sent), and a class
 * PSU whose parameters carry alarm scripts:
 *   temp (INT)     4 above 10, else -1; throws below -100
 *   count (UINT)   2 at 5, else -1
 *   label (ASCIIZ) 6 when the value reaches the script as a string
 *   volts (FLOAT)  always 0, never run
 *   plain          no script
 * and a class PLAIN without alarm parameters. Per-user settings, and so the
 * action list, live in a temporary directory.
 */
class AlarmFixture : public KernelFixture
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
        share::engineBox = &box;
        share::soundPath = QStringLiteral("/sounds/");
        log.clear();
    }

    ~AlarmFixture() { share::engineBox = nullptr; }

    Engine* addEngine()
    {
        const int key = int(nodes.size()) + 1;
        nodes.emplace_back(std::make_unique<NodeAttr>(
            key, 0, QStringLiteral("host%1").arg(key), QStringLiteral("none"),
            QStringLiteral("10.0.0.%1").arg(key), QString(), 7000, nullptr));
        Engine* engine = box.createEngine(nodes.back().get());
        log.clear();
        return engine;
    }

    /// A device on code @p code with every parameter bound to its index.
    static Device* addDevice(Engine* engine, const QString& className, int tag, int code)
    {
        DeviceDb* db = engine->deviceDb();
        Device* device = db->addDevice(className, tag, 0, code, Tavo::NativeProtocol, QString());
        if (!device || !device->populateDevice())
            return nullptr;
        for (Param* param : qAsConst(device->parameters))
            db->setParamCode(code, param->DbEntity::name, param->indexInDevice);
        return device;
    }

    static int codeOf(Device* device, const char* param)
    {
        return device->parametersByName.value(QLatin1String(param))->code;
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

    EngineBox box;
    std::vector<std::unique_ptr<NodeAttr>> nodes;
    RecordingNotifier notifier;
};
