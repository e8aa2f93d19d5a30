#include "templates/action_box.h"

#include "classes/class_db.h"
#include "classes/device_class.h"
#include "connections/engine.h"
#include "connections/engine_box.h"
#include "devices/device_db.h"
#include "devices/paramlist.h"
#include "foundation/app_shared.h"
#include "templates/sax_template_parser.h"

#include <QDebug>
#include <QDomDocument>
#include <QFile>
#include <QRegExp>
#include <QTextStream>
#include <QTimer>

namespace {

constexpr int WatchdogMs = 5000;

const char* const typeNames[] = {"UINT", "INT", "FLOAT", "ASCIIZ", "BYTE_ARRAY", "FILE"};

void warnConditionalCreation()
{
    qDebug().noquote() << QString::fromUtf8("Ограничение: действия создающие устройства не "
                                            "могут быть с условием по значению параметра");
}

bool hasDeviceTagCondition(const Action* action)
{
    return action->condition && action->condition->type == ConditionHelper::DeviceTag;
}

QString deviceClassOf(const Action* action)
{
    return action->device ? action->device->className : QString();
}

template<typename Keep> QList<Action*> filtered(const QList<Action*>& list, Keep keep)
{
    QList<Action*> result;
    for (Action* action : list) {
        if (keep(action))
            result.append(action);
    }
    return result;
}

int decimal(const QString& text)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok ? value : 0;
}

} // namespace

ActionBox::ActionBox(QObject* parent)
    : QObject(parent)
    , timer(new QTimer(this))
{
    timer->setInterval(WatchdogMs);
    connect(timer, SIGNAL(timeout()), this, SLOT(timeout()));
}

ActionBox::~ActionBox()
{
    qDeleteAll(actions);
}

// ---------------------------------------------------------------------------
// Conditions

QList<int> ActionBox::splitTagCond(const QString& text)
{
    QList<int> tags;
    for (const QString& piece : text.split(QLatin1Char(','))) {
        if (!piece.contains(QLatin1Char('-'))) {
            tags.append(decimal(piece));
            continue;
        }
        const QStringList ends = piece.split(QLatin1Char('-'));
        if (ends.size() != 2)
            return QList<int>();
        const int last = decimal(ends.at(1));
        for (int tag = decimal(ends.at(0)); tag <= last; ++tag)
            tags.append(tag);
    }
    return tags;
}

bool ActionBox::checkDevTagCond(int tag, const QString& list)
{
    return splitTagCond(list).contains(tag);
}

bool ActionBox::checkDevTagCond(int tag, int btag, const QString& tagList, const QString& btagList)
{
    return checkDevTagCond(tag, tagList) && checkDevTagCond(btag, btagList);
}

bool ActionBox::checkPrmValueCond(const QString& value, const QString& pattern)
{
    if (!pattern.contains(QLatin1Char('*')) && !pattern.contains(QLatin1Char('?')))
        return value == pattern;
    QRegExp wildcard(pattern, Qt::CaseSensitive, QRegExp::Wildcard);
    return wildcard.exactMatch(value);
}

// ---------------------------------------------------------------------------
// Writes

bool ActionBox::writeParam(DeviceDb* db, const QString& deviceName, const Action* action)
{
    if (!db || !action || !action->param)
        return false;
    const ParamHelper* param = action->param;
    switch (param->type) {
    case Tavo::UINT:
    case Tavo::INT: {
        bool ok = false;
        const qlonglong number = param->value.toLongLong(&ok, 10);
        return db->writeQuery(deviceName, param->name,
                              static_cast<unsigned long>(quint32(ok ? number : 0)), false);
    }
    case Tavo::ASCIIZ:
        return db->writeQuery(deviceName, param->name, param->value.toLatin1(), QString(), false);
    case Tavo::BYTE_ARRAY:
        return db->writeQuery(deviceName, param->name, QByteArray(), param->value, false);
    case Tavo::FILE:
        return db->writeQuery(deviceName, param->name, param->value, false);
    default:
        return false; // FLOAT values are never written from a file
    }
}

bool ActionBox::writeParam(DeviceDb* db, const Action* action)
{
    if (!db || !action || !action->param || !share::classDb)
        return false;
    const DeviceClass* deviceClass = share::classDb->deviceClasses.value(deviceClassOf(action));
    if (!deviceClass)
        return false;
    const QString& name = action->param->name;
    const ParamClass* paramClass = deviceClass->paramClasses.value(name);
    QString target = name;
    if (!paramClass) {
        for (const ParamClass* candidate : deviceClass->paramClassList) {
            if (!candidate->aliasMap.isEmpty() && candidate->aliasMap.contains(name)) {
                paramClass = candidate->aliasMap.value(name);
                break;
            }
        }
    }
    if (!paramClass) {
        paramClass = deviceClass->referenceMap.value(name);
        if (paramClass)
            target = paramClass->targetParam;
    }
    if (!paramClass)
        return false;
    const ConditionHelper* condition = action->condition;
    QString deviceName;
    if (!DeviceDb::makeUpDeviceName(deviceName, paramClass->targetClass,
                                    condition ? decimal(condition->tag) : 0,
                                    condition ? decimal(condition->btag) : 0))
        return false;
    ParamHelper redirected = *action->param;
    redirected.name = target;
    Action copy;
    copy.param = new ParamHelper(redirected);
    return writeParam(db, deviceName, &copy);
}

bool ActionBox::evaluateTemplate(QList<Action*>& actionList, int engineKey,
                                 const QString& deviceName)
{
    Engine* engine = share::engineBox ? share::engineBox->getEngine(engineKey) : nullptr;
    if (!engine || !engine->isConnected())
        return false;
    DeviceDb* db = engine->deviceDb();
    const Device* device = db->findDevice(deviceName);
    if (!device)
        return false;
    bool ok = true;
    for (const Action* action : qAsConst(actionList)) {
        if (!action->condition && deviceClassOf(action) != device->className)
            continue;
        ok = writeParam(db, deviceName, action) && ok;
    }
    return ok;
}

// ---------------------------------------------------------------------------
// Filters

QList<Action*> ActionBox::executableActionList(const QList<Action*>& list)
{
    return filtered(list, [](const Action* action) {
        return action->param && action->param->execute != ParamHelper::Write;
    });
}

QList<Action*> ActionBox::cActionList(const QList<Action*>& list)
{
    return filtered(list, [](const Action* action) {
        return action->param && action->param->execute == ParamHelper::Create;
    });
}

QList<Action*> ActionBox::dActionList(const QList<Action*>& list)
{
    return filtered(list, [](const Action* action) {
        return action->param && action->param->execute == ParamHelper::Destroy;
    });
}

QList<Action*> ActionBox::prmValueActionList(const QList<Action*>& list)
{
    return filtered(list, [](const Action* action) {
        return action->condition && action->condition->type == ConditionHelper::ParamValue;
    });
}

// ---------------------------------------------------------------------------
// Stages

void ActionBox::funcDestroyDev(QList<Action*>& list, DeviceDb* db)
{
    pendingDeletions = 0;
    pendingCreations = 0;
    for (const Action* action : qAsConst(list)) {
        if (!hasDeviceTagCondition(action)) {
            warnConditionalCreation();
            continue;
        }
        if (action->param && action->param->value == QLatin1String("clear")) {
            QList<Device*> found;
            pendingDeletions += db->findDevices(deviceClassOf(action), -1, -1, found);
        } else {
            pendingDeletions += 1;
        }
        writeParam(db, action);
    }
    connect(db, SIGNAL(signalAboutToDeviceDelete(QString)), this, SLOT(deviceDelete(QString)),
            Qt::UniqueConnection);
}

void ActionBox::funcCreateDev(QList<Action*>& list, DeviceDb* db)
{
    pendingDeletions = 0;
    pendingCreations = 0;
    for (const Action* action : qAsConst(list)) {
        if (!hasDeviceTagCondition(action)) {
            warnConditionalCreation();
            continue;
        }
        pendingCreations += 1;
        writeParam(db, action);
    }
    if (pendingCreations != 0)
        connect(db, SIGNAL(signalDeviceAppended(QString, int, int)), this,
                SLOT(deviceAppend(QString, int, int)), Qt::UniqueConnection);
}

void ActionBox::funcReadParam(QList<Action*>& list, DeviceDb* db)
{
    pendingReads = 0;
    for (const Action* action : qAsConst(list)) {
        const QString className = deviceClassOf(action);
        for (Device* device : qAsConst(db->devices)) {
            if (device->className != className)
                continue;
            db->readQuery(device->DbEntity::name, action->condition->name, 1, false);
            ++pendingReads;
            connect(device, SIGNAL(signalParamHasRead(int, int, int, const ParamCore*)), this,
                    SLOT(paramHasRead(int, int, int, const ParamCore*)));
        }
    }
}

bool ActionBox::funcMain(QList<Action*>& list, DeviceDb* db)
{
    bool ok = true;
    for (const Action* action : qAsConst(list)) {
        const ConditionHelper* condition = action->condition;
        if (!condition || !action->param || action->param->execute != ParamHelper::Write)
            continue;
        const QString className = deviceClassOf(action);
        switch (condition->type) {
        case ConditionHelper::DeviceTag:
            for (int btag : splitTagCond(condition->btag)) {
                for (int tag : splitTagCond(condition->tag)) {
                    QString name;
                    DeviceDb::makeUpDeviceName(name, className, tag, btag);
                    ok = writeParam(db, name, action) && ok;
                }
            }
            break;
        case ConditionHelper::ParamValue:
            for (const Device* device : qAsConst(db->devices)) {
                if (device->className != className)
                    continue;
                const Param* param = device->parametersByName.value(condition->name);
                if (!param)
                    continue;
                QString text;
                if (param->type == Tavo::UINT || param->type == Tavo::INT) {
                    text = QString::number(param->readValue);
                } else if (param->type == Tavo::ASCIIZ) {
                    const int end = param->readBytes.indexOf('\0');
                    text = QString::fromLatin1(param->readBytes.constData(),
                                               end < 0 ? param->readBytes.size() : end);
                } else {
                    continue;
                }
                if (checkPrmValueCond(text, condition->value))
                    ok = writeParam(db, device->DbEntity::name, action) && ok;
            }
            break;
        default:
            qDebug("incorrect condition type");
            break;
        }
    }
    return ok;
}

// ---------------------------------------------------------------------------
// The profile machine

bool ActionBox::startStage(int next, QList<Action*> list, DeviceDb* db)
{
    if (list.isEmpty())
        return false;
    timer->stop();
    switch (next) {
    case 2:
        funcDestroyDev(list, db);
        break;
    case 1:
        funcCreateDev(list, db);
        break;
    default:
        funcReadParam(list, db);
        break;
    }
    stage = next;
    timer->start();
    return true;
}

void ActionBox::finishHost(bool ok)
{
    stage = 0;
    hostKeys.removeFirst();
    Q_EMIT signalCheckProfile(hostIndex, ok);
    ++hostIndex;
}

void ActionBox::evaluateProfile()
{
    for (;;) {
        if (hostKeys.isEmpty()) {
            stage = 0;
            qDeleteAll(actions);
            actions.clear();
            Q_EMIT signalEvaluateProfileFinish();
            deleteLater();
            return;
        }
        Engine* engine = share::engineBox ? share::engineBox->getEngine(hostKeys.first()) : nullptr;
        if (!engine)
            return;
        DeviceDb* db = engine->deviceDb();

        if (stage == 4) {
            timer->stop();
            finishHost(false);
            continue;
        }
        // Each stage started waits for its confirmations; the ones before it
        // are skipped when they have nothing to do.
        if (stage == 0 && startStage(2, dActionList(actions), db))
            return;
        if ((stage == 0 || stage == 2) && startStage(1, cActionList(actions), db))
            return;
        if (stage != 3 && startStage(3, prmValueActionList(actions), db))
            return;
        timer->stop();
        finishHost(funcMain(actions, db));
    }
}

// ---------------------------------------------------------------------------
// Confirmations

void ActionBox::deviceDelete(QString)
{
    if (--pendingDeletions != 0)
        return;
    disconnect(sender(), SIGNAL(signalAboutToDeviceDelete(QString)), this,
               SLOT(deviceDelete(QString)));
    evaluateProfile();
}

void ActionBox::deviceAppend(QString, int, int)
{
    if (--pendingCreations != 0)
        return;
    disconnect(sender(), SIGNAL(signalDeviceAppended(QString, int, int)), this,
               SLOT(deviceAppend(QString, int, int)));
    evaluateProfile();
}

void ActionBox::paramHasRead(int, int, int, const ParamCore*)
{
    if (--pendingReads == 0)
        evaluateProfile();
}

void ActionBox::timeout()
{
    timer->stop();
    stage = 4;
    evaluateProfile();
}

// ---------------------------------------------------------------------------
// Writing a profile

void ActionBox::createTemplate(const QString& path, const QList<Action*>& actionList)
{
    QDomDocument document(
        QDomImplementation().createDocumentType(QStringLiteral("PROFILE"), QString(), QString()));
    document.appendChild(document.createProcessingInstruction(
        QStringLiteral("xml"), QStringLiteral("version=\"1.0\" encoding=\"CP1251\"")));
    QDomElement root = document.createElement(QStringLiteral("profile"));
    document.appendChild(root);
    for (const Action* action : actionList) {
        QDomElement element = document.createElement(QStringLiteral("action"));
        if (action->device) {
            QDomElement device = document.createElement(QStringLiteral("device"));
            device.setAttribute(QStringLiteral("class"), action->device->className);
            element.appendChild(device);
        }
        // The format names only the two kinds of condition; a condition of
        // type 0 (none) is left out rather than written as an empty element.
        const ConditionHelper* condition = action->condition;
        if (condition &&
            (condition->type == ConditionHelper::ParamValue ||
             condition->type == ConditionHelper::DeviceTag)) {
            QDomElement node = document.createElement(QStringLiteral("condition"));
            if (condition->type == ConditionHelper::ParamValue) {
                node.setAttribute(QStringLiteral("type"), QStringLiteral("param_value"));
                node.setAttribute(QStringLiteral("name"), condition->name);
                node.setAttribute(QStringLiteral("value"), condition->value);
            } else {
                node.setAttribute(QStringLiteral("type"), QStringLiteral("device_tag"));
                node.setAttribute(QStringLiteral("btag"), condition->btag);
                node.setAttribute(QStringLiteral("tag"), condition->tag);
            }
            element.appendChild(node);
        }
        if (const ParamHelper* param = action->param) {
            QDomElement node = document.createElement(QStringLiteral("param"));
            node.setAttribute(QStringLiteral("name"), param->name);
            if (param->type >= 0 && param->type < int(sizeof(typeNames) / sizeof(*typeNames)))
                node.setAttribute(QStringLiteral("type"), QLatin1String(typeNames[param->type]));
            node.setAttribute(QStringLiteral("value"), param->value);
            if (param->execute == ParamHelper::Create)
                node.setAttribute(QStringLiteral("execute"), QStringLiteral("create"));
            else if (param->execute == ParamHelper::Destroy)
                node.setAttribute(QStringLiteral("execute"), QStringLiteral("destroy"));
            element.appendChild(node);
        }
        root.appendChild(element);
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    QTextStream stream(&file);
    stream.setCodec("CP1251");
    document.save(stream, 4);
}
