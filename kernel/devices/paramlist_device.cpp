#include "devices/paramlist.h"

#include "classes/class_db.h"
#include "classes/device_class.h"
#include "connections/adapter.h"
#include "devices/device_db.h"
#include "foundation/app_shared.h"
#include "foundation/log_p.h"
#include "foundation/z4utils.h"

int Device::m_iTicketId = 0;

Device::Device(int deviceIndex, int listRevision, QObject* parent)
    : DbEntity(parent)
    , deviceIndex(deviceIndex)
    , listRevision(listRevision)
{
}

Device::~Device()
{
    readList.clear();
    virtualReadList.clear();
    if (writeList) {
        qDeleteAll(*writeList);
        delete writeList;
    }
}

int Device::getTicketId()
{
    const int id = m_iTicketId;
    if (++m_iTicketId > 999999)
        m_iTicketId = 0;
    return id;
}

namespace {

// The settings that every element of a parameter array takes from its class.
void copyCommonSettings(Param* param, const ParamClass* paramClass)
{
    param->className = paramClass->name;
    param->access = paramClass->access;
    param->type = paramClass->type;
    param->wireTag = paramClass->snmpType;
    param->hasDefault = paramClass->hasDefValue;
    if (paramClass->hasDefValue) {
        if (param->isNumericType())
            param->defaultValue = paramClass->defValue;
        else
            param->defaultBytes = paramClass->defBytes;
    }
    if (param->isNumericType()) {
        param->hasMinimum = paramClass->hasMinValue;
        if (paramClass->hasMinValue)
            param->minimum = paramClass->minValue;
        param->hasMaximum = paramClass->hasMaxValue;
        if (paramClass->hasMaxValue)
            param->maximum = paramClass->maxValue;
    }
}

} // namespace

Param* Device::makeParam(const QTime& created)
{
    // Owned by this device from the start; the containers only refer to it.
    return new Param(created, this);
}

bool Device::populateDevice()
{
    // Plug-ins populate the devices they add, and so does whoever reaches a
    // device first (the alarm monitor on its appearance): a second pass would
    // enter every parameter twice and orphan the queues and tickets of the
    // first set.
    if (populated)
        return true;
    const auto found = share::classDb ? share::classDb->deviceClasses.constFind(className)
                                      : QMap<QString, DeviceClass*>::const_iterator();
    if (!share::classDb || found == share::classDb->deviceClasses.cend()) {
        tavolog::error(tr("[populateDevice()] Device class '%1' is not found in class database")
                           .arg(className));
        return false;
    }
    const DeviceClass* deviceClass = found.value();
    if (!deviceClass) {
        tavolog::error(
            tr("[populateDevice()] Device class '%1' is NULL in class database").arg(className));
        return false;
    }

    interface = deviceClass->interfaceName;
    const QTime created = QTime::currentTime();
    auto enter = [this](Param* param, ParamClass* paramClass) {
        param->copyFixedValues(paramClass);
        param->indexInDevice = parameters.size();
        parameters.append(param);
        parametersByName.insert(param->DbEntity::name, param);
    };

    for (ParamClass* paramClass : deviceClass->paramClassList) {
        const int dim = paramClass->dim;
        const bool hasHumanName = !paramClass->humanName.isEmpty();

        Param* first = makeParam(created);
        copyCommonSettings(first, paramClass);
        first->oid = paramClass->oid;
        if (!paramClass->info.isEmpty())
            first->info = paramClass->info;
        if (!paramClass->basename.isEmpty()) {
            first->baseName = paramClass->basename;
            first->bit = paramClass->bit;
        }
        first->alarmScript = paramClass->alarmScript;
        if (paramClass->isVirtual) {
            first->isVirtual = true;
            first->classFlag = paramClass->isPredefined;
            if (!paramClass->script.isEmpty())
                first->script = paramClass->script;
            if (!paramClass->args.isEmpty())
                first->scriptArguments = paramClass->args;
            first->setState(Bound);
        }
        first->arraySize = dim;
        if (dim > 1) {
            first->DbEntity::name = QStringLiteral("%1_0").arg(paramClass->name);
            if (hasHumanName)
                first->humanName = QStringLiteral("%1[0]").arg(paramClass->humanName);
        } else {
            first->DbEntity::name = paramClass->name;
            first->ParamCore::name = paramClass->name;
            if (hasHumanName)
                first->humanName = paramClass->humanName;
        }
        enter(first, paramClass);
        if (dim <= 1)
            continue;

        QString oidPrefix;
        int counter = 0;
        bool withOids = false;
        if (!paramClass->oid.isEmpty()) {
            QVector<int> components;
            if (utils::dotStringToIntList(paramClass->oid, components)) {
                withOids = true;
                counter = components.last();
                components.removeLast();
                if (!components.isEmpty())
                    oidPrefix = utils::intListToOidString(components, components.size());
            } else {
                tavolog::error(tr("[DeviceDb::populateDevice()] Incorrect OID '%1' for %2:%3")
                                   .arg(paramClass->oid, DbEntity::name, paramClass->name));
            }
        }

        for (int i = 1; i < dim; ++i) {
            Param* element = makeParam(created);
            copyCommonSettings(element, paramClass);
            element->arraySize = 0;
            element->arrayIndex = i;
            element->info = paramClass->info;
            if (!paramClass->basename.isEmpty()) {
                element->baseName = paramClass->basename;
                element->bit = paramClass->bit + i;
            }
            if (withOids) {
                ++counter;
                element->oid = oidPrefix.isEmpty()
                    ? QString::number(counter)
                    : QStringLiteral("%1.%2").arg(oidPrefix).arg(counter);
            }
            element->DbEntity::name = QStringLiteral("%1_%2").arg(paramClass->name).arg(i);
            if (hasHumanName)
                element->humanName = QStringLiteral("%1[%2]").arg(paramClass->humanName).arg(i);
            enter(element, paramClass);
        }
    }

    if (protocol == Tavo::JsonProtocol) {
        protocolAddress = protocolText;
        matchNumber = 0;
    } else if (protocol == Tavo::SnmpProtocol) {
        if (auto* db = qobject_cast<DeviceDb*>(parent())) {
            db->setDeviceCode(DbEntity::name, deviceIndex);
            for (Param* param : qAsConst(parameters)) {
                if (!protocolText.isEmpty() && !param->oid.isEmpty())
                    param->oid = QStringLiteral("%1.%2").arg(param->oid, protocolText);
                if (param->arraySize > 0)
                    db->setParamCode(code, param->DbEntity::name, param->indexInDevice);
                if (!param->oid.isEmpty()) {
                    delete db->oidMap.value(param->oid);
                    db->oidMap.insert(param->oid, new DevPrm {this, param});
                }
            }
        }
    }

    populated = true;
    return devicePostProcessing();
}

bool Device::devicePostProcessing()
{
    bool result = true;
    const Param* previous = nullptr;
    for (Param* param : qAsConst(parameters)) {
        if (!param->baseName.isEmpty()) {
            Param* base = parametersByName.value(param->baseName);
            if (!base) {
                const QString text = tr("Can't find base name param: %1. ").arg(param->baseName);
                tavolog::error(tr("[devicePostProcessing()] %1").arg(text));
                result = false;
                param->scriptValid = false;
                param->scriptErrors += text;
            } else {
                param->baseParameter = base;
                base->bitParameters.append(param);
            }
        }
        if (previous && param->valueTexts.isEmpty() &&
            previous->fixedValues == param->fixedValues && previous->aliases == param->aliases) {
            // Elements of an array, and parameters with the same choices, share one list.
            param->valueTexts = previous->valueTexts;
        } else {
            for (quint32 value : qAsConst(param->fixedValues)) {
                const QString alias = param->aliases.value(value);
                param->valueTexts.append(alias.isEmpty() ? QString::number(Tavo::wordToInt(value))
                                                         : alias);
            }
        }
        if (!param->fixedValues.isEmpty())
            previous = param;
    }

    for (Param* param : qAsConst(parameters)) {
        if (!param->isVirtual)
            continue;
        int counter = 0;
        for (const QString& argumentName : qAsConst(param->scriptArguments)) {
            const auto found = parametersByName.constFind(argumentName);
            if (found == parametersByName.cend()) {
                tavolog::error(tr("Can't find script argument '%1' for virtual param '%2' in "
                                  "device '%3'")
                                   .arg(argumentName, param->DbEntity::name, DbEntity::name));
                result = false;
            } else if (!found.value()) {
                tavolog::error(tr("Null script argument '%1' for virtual param '%2' in device '%3'")
                                   .arg(argumentName, param->DbEntity::name, DbEntity::name));
                result = false;
            } else {
                Param* argument = found.value();
                param->argumentParameters.append(argument);
                auto* dependency = new VirtualDeps(this);
                dependency->virtualParameter = param;
                dependency->argumentNumber = counter++;
                argument->dependants.append(dependency);
            }
        }
        if (counter > 0)
            param->argumentCheck.resize(counter);
        param->argumentCount = param->argumentParameters.size();
    }
    return result;
}

Adapter* Device::createAdapter(QObject* parent)
{
    auto* adapter = new Adapter(DbEntity::name, parent);
    if (!populated)
        populateDevice();
    for (Param* param : qAsConst(parameters))
        adapter->createAgent(param->DbEntity::name, param->indexInDevice);
    adapter->devicePosition = deviceIndex;
    adapter->listRevision = listRevision;
    connect(adapter, &Adapter::signalSetAutoreadPeriod, this, &Device::slotSetAutoreadPeriod);
    connect(adapter, &Adapter::signalDeleteTickets, this, &Device::slotDeleteTickets);
    return adapter;
}

void Device::appendParamToReadQueryParamList(Param* param, int mark)
{
    if (param->readQueueMark < mark) {
        param->readQueueMark = mark;
        readList.append(param);
    }
}

void Device::appendParamToReadQueryVirtualParamList(Param* param, int mark)
{
    if (param->readQueueMark < mark) {
        param->readQueueMark = mark;
        virtualReadList.append(param);
    }
}

void Device::appendWriteItem(WriteItem* item)
{
    if (!writeList)
        writeList = new QList<WriteItem*>();
    writeList->append(item);
}

void Device::setExtParams(int code, Param* param)
{
    if (code < 0)
        return;
    while (parametersByCode.size() <= code)
        parametersByCode.append(nullptr);
    parametersByCode[code] = param;
}

void Device::sendParamHasReadSignal(Param* param)
{
    emit signalParamHasRead(param->indexInDevice, deviceIndex, 0, param);
    param->sendHasReadSignal();
    for (Param* bitParam : qAsConst(param->bitParameters)) {
        emit signalParamHasRead(bitParam->indexInDevice, deviceIndex, 0, bitParam);
        bitParam->sendHasReadSignal();
    }
    for (VirtualDeps* dependency : qAsConst(param->dependants)) {
        Param* virtualParam = dependency->virtualParameter;
        // Nobody subscribes to a virtual parameter without tickets: its script
        // would run for nothing.
        if (!virtualParam || virtualParam->tickets.size() == 0)
            continue;
        if (virtualParam->checkVirtualDeps(dependency->argumentNumber) &&
            virtualParam->scriptEval()) {
            virtualParam->argumentCheck.init();
            emit signalParamHasRead(virtualParam->indexInDevice, deviceIndex, 0, virtualParam);
        }
    }
}

void Device::sendAboutToParamWriteSignal(Param* param)
{
    emit signalAboutToParamWrite(param->indexInDevice, deviceIndex, 0, param);
    param->sendAboutToWriteSignal();
}

void Device::sendNotifyMessageSignal(Param* param, DbEntity::NotifyMessage msgCode)
{
    emit signalNotifyMessage(param ? param->indexInDevice : -1, deviceIndex, 0, msgCode);
}

void Device::slotSetAutoreadPeriod(int iAgentIndex, int& iTicketId, int iPeriodSec)
{
    if (iAgentIndex < 0 || iAgentIndex >= parameters.size() || !parameters.at(iAgentIndex))
        return;
    if (iTicketId < 0)
        iTicketId = getTicketId();
    parameters.at(iAgentIndex)->editTicket(iTicketId, iPeriodSec);
}

void Device::slotDeleteTickets(int& iTicketId)
{
    for (Param* param : qAsConst(parameters))
        param->deleteTicket(iTicketId);
}
