#include "connections/protocol.h"

#include "connections/i_protocol.h"
#include "devices/device_db.h"

Protocol::Protocol(QObject* parent)
    : QObject(parent)
{
}

Protocol::~Protocol()
{
    // The instance may still reach for the data unit while it goes down, so
    // it must go before the unit does.
    delete instance;
}

void Protocol::setPlugin(IProtocol* plugin)
{
    delete instance;
    instance = plugin;
    if (!instance)
        return;
    if (QObject* object = instance->asQObject())
        object->setParent(this);
    instance->assignPdu(&unit);
}

void Protocol::init()
{
    unit.init();
    if (instance)
        instance->init();
}

void Protocol::parse(const char* data, int size)
{
    if (instance)
        instance->parse(data, size);
}

bool Protocol::selectDeviceQuery(QVector<SelectedDeviceItem*>& selection)
{
    return instance ? instance->selectDeviceQuery(selection) : false;
}

void Protocol::getWorkUpResult(ResultList& results)
{
    if (instance)
        instance->getWorkUpResult(results);
}

int Protocol::getSocketType() const
{
    Q_ASSERT(instance);
    return instance->getSocketType();
}

void Protocol::assignCustomVars(const QMap<QString, QString>& vars)
{
    Q_ASSERT(instance);
    instance->assignCustomVars(vars);
}

void Protocol::workUpReadQueries(ArraysHandler<Device>& devices)
{
    if (!instance || !unit.deviceDb)
        return;
    // In mode 1 a terminal waits for the answer to its last read query: only
    // the held parameters go out, and the first of them blocks the rest.
    const bool heldOnly = unit.deviceDb->getSchedulerMode() == 1;

    ArraysHandler<Device>::Array* current = nullptr;
    ArraysHandler<Device>::Array* next = nullptr;
    devices.getArrays(current, next);

    // Index loops throughout: the plug-in's answers and the database calls
    // may append to the arrays, which moves their storage.
    for (int i = 0; i < current->size(); ++i) {
        Device* device = (*current)[i];
        if (!device)
            continue;
        if (!instance->isReadyForRead(device)) {
            next->append(device);
            continue;
        }
        ArraysHandler<Param>::Array* params = nullptr;
        ArraysHandler<Param>::Array* keep = nullptr;
        device->readList.getArrays(params, keep);
        for (int j = 0; j < params->size(); ++j) {
            Param* param = (*params)[j];
            if (!param)
                continue;
            const bool eligible = !heldOnly || param->schedulerHold;
            if (eligible && instance->isParamForRead(device, param)) {
                unit.prepareReadData(device, param);
                if (heldOnly)
                    unit.deviceDb->setSchedulerEnabled(false, QStringLiteral("Tavo"));
                if (--param->readQueueMark > 0)
                    keep->append(param);
            } else {
                keep->append(param);
            }
        }
        params->clear();
        if (keep->isEmpty()) {
            device->inReadDeviceList = false;
        } else {
            next->append(device);
            device->readList.swapArrays();
        }
    }
    current->clear();
    devices.swapArrays();
}

void Protocol::workUpWriteQueries(ArraysHandler<Device>& devices)
{
    if (!instance || !unit.deviceDb || unit.deviceDb->getSchedulerMode() != 0)
        return;

    // One request never mixes numeric and non-numeric values; the first
    // write taken in this call decides which it carries.
    enum class ValueClass { Undecided, Numeric, NonNumeric };
    ValueClass valueClass = ValueClass::Undecided;

    ArraysHandler<Device>::Array* current = nullptr;
    ArraysHandler<Device>::Array* next = nullptr;
    devices.getArrays(current, next);

    for (int i = 0; i < current->size(); ++i) {
        Device* device = (*current)[i];
        if (!device)
            continue;
        if (!instance->isReadyForWrite(device)) {
            next->append(device);
            continue;
        }
        QList<WriteItem*>* writes = device->writeList;
        if (!writes)
            continue;

        // The list stays the device's while it is walked, so that a write
        // queued meanwhile (by the system message parser) lands at its end
        // and is offered in this same pass.
        QList<WriteItem*>* remaining = nullptr;
        bool taking = true;
        for (int j = 0; j < writes->size(); ++j) {
            WriteItem* item = writes->at(j);
            Param* param = item->targetParameter;
            bool take = false;
            if (!instance->isParamForWrite(device, param)) {
                taking = false;
            } else if (taking) {
                const ValueClass itemClass =
                    param->isNumericType() ? ValueClass::Numeric : ValueClass::NonNumeric;
                if (valueClass == ValueClass::Undecided)
                    valueClass = itemClass;
                take = itemClass == valueClass;
                taking = take;
            }
            if (take)
                unit.prepareWriteData(device, item);
            else
                ProtocolDataUnit::addToWriteList(&remaining, item);
        }
        delete writes;
        device->writeList = remaining;
        if (remaining)
            next->append(device);
    }
    current->clear();
    devices.swapArrays();
}
