#include "template_steps.h"

#include "connections/engine.h"
#include "connections/engine_box.h"
#include "devices/device_db.h"
#include "devices/paramlist.h"
#include "foundation/app_shared.h"
#include "foundation/safe_text.h"
#include "templates/action_box.h"
#include "templates/sax_template_parser.h"

#include <QDir>

namespace {

QString safe(const QString& text)
{
    return utils::escapeControlCharacters(text);
}

/// "E1: label = Port A", as the file says it.
QString describe(const Action* action)
{
    const QString what = action->param
        ? QStringLiteral("%1 = %2").arg(action->param->name, action->param->value)
        : TemplateSteps::tr("(no parameter)");
    return safe(action->device ? QStringLiteral("%1: %2").arg(action->device->className, what)
                               : what);
}

/// The value a template carries for @p param, or the reason it carries none.
bool templateValue(const Param* param, QString* value, QString* reason)
{
    if (!(param->access & 1)) {
        *reason = TemplateSteps::tr("write only, its value is unknown");
        return false;
    }
    if (!param->readValid) {
        *reason = TemplateSteps::tr("not read yet");
        return false;
    }
    switch (param->type) {
    case Tavo::UINT:
        *value = QString::number(param->readValue);
        return true;
    case Tavo::INT:
        *value = QString::number(ParamCore::getValueAsInt(param->readValue));
        return true;
    case Tavo::ASCIIZ: {
        // Templates carry texts as Latin-1, up to the terminating zero.
        const int end = param->readBytes.indexOf('\0');
        *value = QString::fromLatin1(end < 0 ? param->readBytes : param->readBytes.left(end));
        return true;
    }
    default:
        *reason = TemplateSteps::tr("a template cannot carry values of type %1")
                      .arg(param->typeToString());
        return false;
    }
}

} // namespace

QVector<Step> TemplateSteps::apply(const QString& path, int hostKey, const QString& deviceName)
{
    QVector<Step> steps;
    Engine* engine = share::engineBox ? share::engineBox->getEngine(hostKey) : nullptr;
    const Device* device =
        engine && engine->isConnected() ? engine->deviceDb()->findDevice(deviceName) : nullptr;
    if (!device) {
        steps.append(
            {tr("%1 is not a device of a connected host: nothing written").arg(safe(deviceName)),
             Step::Failed});
        return steps;
    }
    QList<Action*> actions;
    SaxTemplateParser parser;
    if (!parser.readFile(path, actions)) {
        // Half a template is not applied: its first writes may rely on the
        // later ones.
        qDeleteAll(actions);
        steps.append({tr("%1 is not a readable template (the log tells why): nothing written")
                          .arg(safe(QDir::toNativeSeparators(path))),
                      Step::Failed});
        return steps;
    }
    if (actions.isEmpty())
        steps.append({tr("The template has no actions"), Step::Skipped});

    // One action at a time, so that each write's outcome can be told.
    ActionBox box(nullptr);
    for (Action* action : qAsConst(actions)) {
        if (!action->condition &&
            (!action->device || action->device->className != device->className)) {
            steps.append(
                {tr("%1 (for another device class)").arg(describe(action)), Step::Skipped});
            continue;
        }
        QList<Action*> one {action};
        const bool written = box.evaluateTemplate(one, hostKey, deviceName);
        steps.append({written ? describe(action) : tr("%1 (not accepted)").arg(describe(action)),
                      written ? Step::Done : Step::Failed});
    }
    qDeleteAll(actions);
    return steps;
}

QVector<Step> TemplateSteps::write(const QString& path, const Device* device)
{
    QVector<Step> steps;
    if (!device)
        return steps;
    QList<Action*> actions;
    for (const Param* param : device->parameters) {
        // Bits go with their base; computed values are not the device's to
        // be told.
        if (!(param->access & 2) || param->isVirtual || param->baseParameter)
            continue;
        QString value;
        QString reason;
        if (!templateValue(param, &value, &reason)) {
            steps.append({tr("%1 (%2)").arg(safe(param->ParamCore::name), reason), Step::Skipped});
            continue;
        }
        auto* action = new Action;
        action->device = new DeviceHelper;
        action->device->className = device->className;
        action->param = new ParamHelper;
        action->param->type = param->type;
        action->param->name = param->ParamCore::name;
        action->param->value = value;
        actions.append(action);
        steps.append({describe(action), Step::Done});
    }

    const QString shownPath = safe(QDir::toNativeSeparators(path));
    if (actions.isEmpty()) {
        steps.append(
            {tr("Nothing to write: the device has no writable values read yet"), Step::Failed});
        return steps;
    }
    ActionBox::createTemplate(path, actions);
    // The kernel does not tell whether the file could be written: reading it
    // back does.
    QList<Action*> written;
    SaxTemplateParser parser;
    const bool ok = parser.readFile(path, written) && written.size() == actions.size();
    qDeleteAll(written);
    steps.append({ok ? tr("%1 values written to %2").arg(actions.size()).arg(shownPath)
                     : tr("%1 could not be written").arg(shownPath),
                  ok ? Step::Done : Step::Failed});
    qDeleteAll(actions);
    return steps;
}
