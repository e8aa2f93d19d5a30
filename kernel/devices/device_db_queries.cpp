#include "devices/device_db.h"

#include "foundation/log_p.h"

#include <QTimerEvent>

#include <memory>

namespace {

// Names made by makeUpDeviceName end in upper-case hexadecimal tags; callers
// that typed them by hand may not have.
QString normalisedDeviceName(const QString& name)
{
    if (name.size() < 4)
        return name;
    return name.left(name.size() - 4) + name.right(4).toUpper();
}

Param* paramOf(const Device* device, const QString& name)
{
    return device ? device->parametersByName.value(name) : nullptr;
}

} // namespace

// ---------------------------------------------------------------------------
// Reads

bool DeviceDb::queueRead(Device* device, Param* param, int mark)
{
    lastReadParameter = param;
    if (param->isVirtual) {
        appendDeviceToReadQueryVirtualDeviceList(device);
        device->appendParamToReadQueryVirtualParamList(param->correctForBaseParam(), mark);
    } else {
        appendDeviceToReadQueryDeviceList(device);
        device->appendParamToReadQueryParamList(param->correctForBaseParam(), mark);
    }
    return true;
}

bool DeviceDb::readQuery(const QString& sDevName, const QString& sPrmName, int mark, bool force)
{
    if (schedulerMode != 0 && !force)
        return false;
    Device* device = findPopulated(sDevName);
    Param* param = paramOf(device, sPrmName);
    return param && queueRead(device, param, mark);
}

bool DeviceDb::readQuery(Adapter* adapter, int index, int mark, bool force)
{
    if (schedulerMode != 0 && !force)
        return false;
    Device* device = nullptr;
    Param* param = paramAt(adapter, index, &device);
    return param && queueRead(device, param, mark);
}

void DeviceDb::appendDeviceToReadQueryDeviceList(Device* device)
{
    if (!device->inReadDeviceList) {
        readDeviceList.append(device);
        device->inReadDeviceList = true;
    }
}

void DeviceDb::appendDeviceToReadQueryVirtualDeviceList(Device* device)
{
    if (!device->inVirtualReadDeviceList) {
        virtualReadDeviceList.append(device);
        device->inVirtualReadDeviceList = true;
    }
}

// ---------------------------------------------------------------------------
// Writes

bool DeviceDb::queueWrite(Device* device, Param* param, unsigned long value)
{
    Param* target = param->correctWriteValueForBaseParam(value);
    if (!device->writeList)
        writeDeviceList.append(device);
    auto item = std::make_unique<WriteItem>();
    item->targetParameter = target;
    item->value = quint32(value);
    device->appendWriteItem(item.release());
    device->sendAboutToParamWriteSignal(target);
    return true;
}

bool DeviceDb::queueWrite(Device* device, Param* param, const QByteArray& bytes,
                          const QString& text)
{
    if (!device->writeList)
        writeDeviceList.append(device);
    auto item = std::make_unique<WriteItem>();
    item->targetParameter = param;
    item->bytes = bytes;
    item->text = text;
    device->appendWriteItem(item.release());
    device->sendAboutToParamWriteSignal(param);
    return true;
}

bool DeviceDb::writeQuery(const QString& sDevName, const QString& sPrmName, unsigned long value,
                          bool force)
{
    if (schedulerMode != 0 && !force)
        return false;
    Device* device = findPopulated(normalisedDeviceName(sDevName));
    Param* param = paramOf(device, sPrmName);
    return param && queueWrite(device, param, value);
}

bool DeviceDb::writeQuery(Adapter* adapter, int index, unsigned long value, bool force)
{
    if (schedulerMode != 0 && !force)
        return false;
    Device* device = nullptr;
    Param* param = paramAt(adapter, index, &device);
    return param && queueWrite(device, param, value);
}

bool DeviceDb::writeQuery(const QString& sDevName, const QString& sPrmName, const QByteArray& bytes,
                          const QString& text, bool force)
{
    if (schedulerMode != 0 && !force)
        return false;
    Device* device = findPopulated(sDevName);
    Param* param = paramOf(device, sPrmName);
    return param && queueWrite(device, param, bytes, text);
}

bool DeviceDb::writeQuery(Adapter* adapter, int index, const QByteArray& bytes, const QString& text,
                          bool force)
{
    if (schedulerMode != 0 && !force)
        return false;
    Device* device = nullptr;
    Param* param = paramAt(adapter, index, &device);
    return param && queueWrite(device, param, bytes, text);
}

bool DeviceDb::writeQuery(const QString& sDevName, const QString& sPrmName, const QString& text,
                          bool force)
{
    return writeQuery(sDevName, sPrmName, text.toUtf8(), QString(), force);
}

bool DeviceDb::writeQuery(Adapter* adapter, int index, const QString& text, bool force)
{
    return writeQuery(adapter, index, text.toUtf8(), QString(), force);
}

// ---------------------------------------------------------------------------
// Scheduler

void DeviceDb::blockByLastReadQuery(int iTerminal, int iSeconds)
{
    if (!lastReadParameter) {
        tavolog::debug(schedulerLogGroup,
                       tr("Scheduler preblocking failed. Parameter is not defined."));
        return;
    }
    lastReadParameter->schedulerHold = true;
    blockOwner = iTerminal;
    tavolog::debug(schedulerLogGroup,
                   tr("Scheduler is preblocked by '%1' parameter for %2 sec")
                       .arg(lastReadParameter->DbEntity::name)
                       .arg(iSeconds));
    // Qt timers repeat: a hold-off that is replaced must be stopped, or it
    // would fire for ever with an id nobody knows.
    if (blockTimer != 0)
        killTimer(blockTimer);
    blockTimer = startTimer(iSeconds * 1000);
    schedulerMode = 1;
}

void DeviceDb::setSchedulerEnabled(bool enabled, const QString& reason)
{
    if (!enabled) {
        tavolog::debug(schedulerLogGroup, tr("Scheduler is blocked (%2)").arg(reason));
        schedulerMode = 2;
        return;
    }
    if (lastReadParameter) {
        lastReadParameter->schedulerHold = false;
        lastReadParameter = nullptr;
    }
    blockOwner = -1;
    tavolog::debug(schedulerLogGroup, tr("Scheduler is enabled (%1)").arg(reason));
    schedulerMode = 0;
}

bool DeviceDb::resetScheduleBlock(int iTerminal)
{
    if (iTerminal != blockOwner)
        return false;
    setSchedulerEnabled(true, tr("Terminal %1 is about to close").arg(iTerminal));
    return true;
}

void DeviceDb::timerEvent(QTimerEvent* event)
{
    if (blockTimer == 0 || event->timerId() != blockTimer) {
        QObject::timerEvent(event);
        return;
    }
    killTimer(blockTimer);
    blockTimer = 0;
    setSchedulerEnabled(true, tr("Timeout"));
}

// ---------------------------------------------------------------------------
// Server silence

int DeviceDb::checkLimitForServerAbsentTime(int periodMs)
{
    ++silenceCount;
    if (periodMs <= 0 || silenceCount < silenceLimit / periodMs)
        return 0;
    return silenceCount * periodMs;
}
