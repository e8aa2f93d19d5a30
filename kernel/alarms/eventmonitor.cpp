#include "alarms/eventmonitor.h"

#include "alarms/alarm_notifier.h"
#include "alarms/sax_action_list_parser.h"
#include "classes/class_db.h"
#include "classes/device_class.h"
#include "connections/engine.h"
#include "devices/device_db.h"
#include "devices/paramlist.h"
#include "foundation/app_shared.h"
#include "foundation/log_p.h"
#include "hostgraph/host_graph.h"

#include <QSound>

AlarmNotifier::~AlarmNotifier() = default;

EventMonitor::EventMonitor(QObject* parent)
    : QObject(parent)
{
    ActionListParser parser;
    parser.readFile();
}

EventMonitor::~EventMonitor() = default;

QString EventMonitor::soundFile(int state)
{
    const char* file = nullptr;
    switch (state) {
    case Tavo::EMERG:
    case Tavo::ALERT:
        file = "alert.wav";
        break;
    case Tavo::CRIT:
    case Tavo::ERR:
        file = "alarm.wav";
        break;
    case Tavo::WARNING:
        file = "warning.wav";
        break;
    case Tavo::NOTICE:
    case Tavo::INFO:
    case Tavo::DEBUG:
        file = "info.wav";
        break;
    default:
        return QString();
    }
    return share::soundPath + QLatin1String(file);
}

void EventMonitor::openTerminal(int key)
{
    Q_EMIT signalOpenTerminal(QList<int> {key});
}

void EventMonitor::playSound(Tavo::AlarmType state)
{
    const QString file = soundFile(state);
    if (file.isEmpty())
        return;
    if (m_notifier)
        m_notifier->playSound(file);
    else
        QSound::play(file); // a missing file or no sound output is not reported
}

void EventMonitor::sendEmail(const QString& address, const QString& text)
{
    if (m_notifier) {
        m_notifier->sendEmail(address, text);
        return;
    }
    tavolog::warning(tr("[EventMonitor] No e-mail sender is configured: the notice to %1 is not "
                        "sent")
                         .arg(address));
}

void EventMonitor::sendSms(const QString& address, const QString& text)
{
    if (m_notifier) {
        m_notifier->sendSms(address, text);
        return;
    }
    tavolog::warning(tr("[EventMonitor] No SMS sender is configured: the notice to %1 is not sent")
                         .arg(address));
}

void EventMonitor::stateChanged(const Param* param, int newState, int)
{
    const auto* device = param ? qobject_cast<const Device*>(param->parent()) : nullptr;
    const auto* db = device ? qobject_cast<const DeviceDb*>(device->parent()) : nullptr;
    const auto* engine = db ? qobject_cast<const Engine*>(db->parent()) : nullptr;
    if (!engine)
        return;

    QStringList performed;
    const DeviceClass* deviceClass =
        share::classDb ? share::classDb->deviceClasses.value(device->className) : nullptr;
    const ParamClass* paramClass =
        deviceClass ? deviceClass->paramClasses.value(param->DbEntity::name) : nullptr;
    if (paramClass) {
        // values() gives the groups newest first: a later "new" of the file
        // is performed before an earlier one.
        const QList<QList<AlarmAction>> groups =
            paramClass->alarmActions.values(Tavo::AlarmType(newState));
        for (const QList<AlarmAction>& group : groups) {
            for (const AlarmAction& action : group) {
                switch (action.type) {
                case AlarmAction::Terminal:
                    performed << QStringLiteral("terminal");
                    if (const NodeAttr* node = engine->nodeAttr())
                        openTerminal(node->key());
                    break;
                case AlarmAction::Sound:
                    performed << QStringLiteral("sound");
                    break;
                case AlarmAction::Email:
                    performed << QStringLiteral("email:%1").arg(action.address);
                    sendEmail(action.address, action.text);
                    break;
                case AlarmAction::Sms:
                    performed << QStringLiteral("sms:%1").arg(action.address);
                    sendSms(action.address, action.text);
                    break;
                }
            }
        }
    }
    if (share::pLog)
        share::pLog->logEvent(
            tr("[EventMonitor]: Device name: %1, Param name: %2, State: %3, Actions: %4")
                .arg(device->DbEntity::name, param->ParamCore::name,
                     share::alarmStateToStr(Tavo::AlarmType(newState)),
                     performed.join(QStringLiteral(", "))),
            Tavo::AlarmType(newState));
    playSound(Tavo::AlarmType(newState));
}
