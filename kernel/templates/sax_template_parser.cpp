#include "templates/sax_template_parser.h"

#include "foundation/log_p.h"
#include "foundation/xml_stream_p.h"

#include <QFile>

Action::Action() = default;

Action::~Action()
{
    delete device;
    delete param;
    delete condition;
}

namespace {

// Reading keeps to the four types that need a number of their own: UINT and
// FILE, and anything unknown, read as 0.
qint32 paramTypeOf(const QStringRef& text)
{
    if (text == QLatin1String("INT"))
        return 1;
    if (text == QLatin1String("FLOAT"))
        return 2;
    if (text == QLatin1String("ASCIIZ"))
        return 3;
    if (text == QLatin1String("BYTE_ARRAY"))
        return 4;
    return 0;
}

bool isRootName(const QStringRef& name)
{
    return name == QLatin1String("template") || name == QLatin1String("profile");
}

} // namespace

SaxTemplateParser::SaxTemplateParser() = default;

bool SaxTemplateParser::reportErrors(const QString& path, const QFile& file)
{
    if (hasError()) {
        tavolog::error(tr("Failed to parse file %1: %2").arg(path, errorString()));
        return false;
    }
    if (file.error() != QFile::NoError) {
        tavolog::error(tr("Cannot read file %1: %2.").arg(path, file.errorString()));
        return false;
    }
    return true;
}

bool SaxTemplateParser::readFile(const QString& path, QList<Action*>& actions)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        tavolog::error(tr("Cannot read file %1: %2.").arg(path, file.errorString()));
        return false;
    }
    setDevice(&file);
    while (!atEnd()) {
        readNext();
        if (isStartElement()) {
            if (isRootName(name()))
                readRootElement(actions);
            else
                raiseError(tr("Not a template file"));
        }
    }
    file.close();
    const bool ok = reportErrors(path, file);
    setDevice(nullptr);
    return ok;
}

int SaxTemplateParser::isTemplate(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        tavolog::error(tr("Cannot read file %1: %2.").arg(path, file.errorString()));
        return 0;
    }
    SaxTemplateParser reader;
    reader.setDevice(&file);
    int kind = 0;
    while (!reader.atEnd() && !reader.isStartElement())
        reader.readNext();
    if (reader.isStartElement()) {
        if (reader.name() == QLatin1String("template"))
            kind = 1;
        else if (reader.name() == QLatin1String("profile"))
            kind = 2;
        else
            reader.raiseError(tr("Not a template file"));
    }
    file.close();
    if (!reader.reportErrors(path, file))
        return 0;
    return kind;
}

QStringList SaxTemplateParser::supportedDeviceClass(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        tavolog::error(tr("Cannot read file %1: %2.").arg(path, file.errorString()));
        return {};
    }
    SaxTemplateParser reader;
    reader.setDevice(&file);
    QStringList classes;
    bool inActions = false;
    while (!reader.atEnd()) {
        reader.readNext();
        if (!reader.isStartElement())
            continue;
        if (!inActions) {
            inActions = reader.name() == QLatin1String("action");
            continue;
        }
        const QXmlStreamAttributes attrs = reader.attributes();
        if (reader.name() == QLatin1String("device") &&
            attrs.hasAttribute(QLatin1String("class")) &&
            !attrs.hasAttribute(QLatin1String("name")))
            classes.append(attrs.value(QLatin1String("class")).toString());
    }
    file.close();
    if (!reader.reportErrors(path, file))
        return {};
    return classes;
}

void SaxTemplateParser::readRootElement(QList<Action*>& actions)
{
    tavoxml::readChildren(*this, [this, &actions](const QStringRef& name) {
        if (name == QLatin1String("action"))
            actions.append(readActionElement());
        else
            skipUnknownElement();
    });
}

Action* SaxTemplateParser::readActionElement()
{
    auto* action = new Action;
    tavoxml::readChildren(*this, [this, action](const QStringRef& name) {
        // A second element of a kind replaces the first.
        if (name == QLatin1String("device")) {
            delete action->device;
            action->device = readDeviceElement();
        } else if (name == QLatin1String("param")) {
            delete action->param;
            action->param = readParamElement();
        } else if (name == QLatin1String("condition")) {
            delete action->condition;
            action->condition = readConditionElement();
        } else {
            skipUnknownElement();
        }
    });
    return action;
}

DeviceHelper* SaxTemplateParser::readDeviceElement()
{
    auto* device = new DeviceHelper;
    device->className = attributes().value(QLatin1String("class")).toString();
    skipUnknownElement();
    return device;
}

ParamHelper* SaxTemplateParser::readParamElement()
{
    auto* param = new ParamHelper;
    const QXmlStreamAttributes attrs = attributes();
    param->name = attrs.value(QLatin1String("name")).toString();
    param->type = paramTypeOf(attrs.value(QLatin1String("type")));
    param->value = attrs.value(QLatin1String("value")).toString();
    const QStringRef execute = attrs.value(QLatin1String("execute"));
    if (execute == QLatin1String("create"))
        param->execute = ParamHelper::Create;
    else if (execute == QLatin1String("destroy"))
        param->execute = ParamHelper::Destroy;
    skipUnknownElement();
    return param;
}

ConditionHelper* SaxTemplateParser::readConditionElement()
{
    auto* condition = new ConditionHelper;
    const QXmlStreamAttributes attrs = attributes();
    const QStringRef type = attrs.value(QLatin1String("type"));
    if (type == QLatin1String("param_value"))
        condition->type = ConditionHelper::ParamValue;
    else if (type == QLatin1String("device_tag"))
        condition->type = ConditionHelper::DeviceTag;
    condition->btag = attrs.value(QLatin1String("btag")).toString();
    condition->tag = attrs.value(QLatin1String("tag")).toString();
    condition->name = attrs.value(QLatin1String("name")).toString();
    condition->value = attrs.value(QLatin1String("value")).toString();
    skipUnknownElement();
    return condition;
}

void SaxTemplateParser::skipUnknownElement()
{
    tavoxml::skipUnknownElement(*this);
}
