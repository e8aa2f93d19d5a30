#include "alarms/sax_action_list_parser.h"

#include "classes/class_db.h"
#include "classes/device_class.h"
#include "foundation/app_shared.h"
#include "foundation/log_p.h"
#include "foundation/xml_stream_p.h"

#include <QFile>
#include <QSettings>

ActionListParser::ActionListParser() = default;

QString ActionListParser::actionListPath()
{
    const QSettings settings(QSettings::IniFormat, QSettings::UserScope,
                             QStringLiteral("tavo-client"), QStringLiteral("tavo_action_list.xml"));
    return settings.fileName();
}

void ActionListParser::readFile()
{
    readFile(actionListPath());
}

void ActionListParser::readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        tavolog::error(tr("Cannot read file %1: %2.").arg(path, file.errorString()));
        return;
    }
    setDevice(&file);
    while (!atEnd()) {
        readNext();
        if (isStartElement()) {
            if (name() == QLatin1String("actionlist"))
                readRootElement();
            else
                raiseError(tr("Not a actionlist file"));
        }
    }
    file.close();
    if (hasError())
        tavolog::error(tr("Failed to parse file %1: %2").arg(path, errorString()));
    else if (file.error() != QFile::NoError)
        tavolog::error(tr("Cannot read file %1: %2.").arg(path, file.errorString()));
    setDevice(nullptr);
}

void ActionListParser::readRootElement()
{
    tavoxml::readChildren(*this, [this](const QStringRef& name) {
        if (name != QLatin1String("new")) {
            skipUnknownElement();
            return;
        }
        events.clear();
        actions.clear();
        readNewElement();
        // A group cut short by a damaged file is not a group the user wrote.
        if (!hasError())
            storeGroup();
    });
}

void ActionListParser::storeGroup()
{
    if (!share::classDb)
        return;
    for (const Event& event : qAsConst(events)) {
        DeviceClass* deviceClass = share::classDb->deviceClasses.value(event.deviceClass);
        if (!deviceClass)
            continue;
        ParamClass* paramClass = deviceClass->paramClasses.value(event.paramClass);
        if (paramClass)
            paramClass->alarmActions.insert(event.state, actions);
    }
}

void ActionListParser::readNewElement()
{
    tavoxml::readChildren(*this, [this](const QStringRef& name) {
        if (name == QLatin1String("events_or"))
            readEventsOrElement();
        else if (name == QLatin1String("actions_and"))
            readActionsAndElement();
        else
            skipUnknownElement();
    });
}

void ActionListParser::readEventsOrElement()
{
    tavoxml::readChildren(*this, [this](const QStringRef& name) {
        if (name == QLatin1String("event"))
            readEventElement();
        else
            skipUnknownElement();
    });
}

void ActionListParser::readActionsAndElement()
{
    tavoxml::readChildren(*this, [this](const QStringRef& name) {
        if (name == QLatin1String("action"))
            readActionElement();
        else
            skipUnknownElement();
    });
}

void ActionListParser::readEventElement()
{
    const QXmlStreamAttributes attrs = attributes();
    const bool hasState = attrs.hasAttribute(QLatin1String("to"));
    const int state = attrs.value(QLatin1String("to")).toInt(); // not a number: 0
    const QString device = attrs.value(QLatin1String("device")).toString();
    const QString param = attrs.value(QLatin1String("param")).toString();
    skipUnknownElement(); // an event is empty; anything inside it is ignored

    // An event without a state, or with one no parameter can enter, could
    // never happen: it is dropped.
    if (hasState && state >= Tavo::NORM && state <= Tavo::DEBUG)
        events.append({Tavo::AlarmType(state), device, param});
}

void ActionListParser::readActionElement()
{
    const QXmlStreamAttributes attrs = attributes();
    const QStringRef type = attrs.value(QLatin1String("type"));
    const QString address = attrs.value(QLatin1String("address")).toString();
    const QString text = attrs.value(QLatin1String("text")).toString();
    skipUnknownElement();

    // An action of no known kind cannot be carried out: it is dropped.
    if (type == QLatin1String("terminal"))
        actions.append(AlarmAction(AlarmAction::Terminal, address, text));
    else if (type == QLatin1String("sound"))
        actions.append(AlarmAction(AlarmAction::Sound, address, text));
    else if (type == QLatin1String("email"))
        actions.append(AlarmAction(AlarmAction::Email, address, text));
    else if (type == QLatin1String("sms"))
        actions.append(AlarmAction(AlarmAction::Sms, address, text));
}

void ActionListParser::skipUnknownElement()
{
    tavoxml::skipUnknownElement(*this);
}
