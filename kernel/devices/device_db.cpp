#include "devices/device_db.h"

#include "classes/class_db.h"
#include "connections/adapter.h"
#include "foundation/app_shared.h"
#include "foundation/log_p.h"
#include "foundation/z4utils.h"
#include "foundation/zutils.h"

#include <algorithm>

namespace {

constexpr int kResetHoldOffMs = 60000;

bool inCodeRange(int code)
{
    return code >= 0 && code <= 0xFFFF;
}

} // namespace

DeviceDb::DeviceDb(NodeAttr* host, QObject* parent)
    : QObject(parent)
    , host(host)
{
    if (share::pLog) {
        schedulerLogGroup = share::pLog->getGroupIndex(QStringLiteral("Scheduler Blocking"));
        systemLogGroup = share::pLog->getGroupIndex(QStringLiteral("System Device"));
    }
    createServiceDevice();
}

DeviceDb::~DeviceDb()
{
    // The adapter gives its tickets back to the service device, which still
    // lives: children go only after this destructor.
    delete serviceAdapter;
    serviceAdapter = nullptr;
    qDeleteAll(selectedDevices);
    qDeleteAll(oidMap);
}

// ---------------------------------------------------------------------------
// Creating devices

bool DeviceDb::makeUpDeviceName(QString& name, const QString& sClassName, int iTag, int iBaseTag)
{
    const QString tags = QStringLiteral("%1%2")
                             .arg(iBaseTag, 2, 16, QLatin1Char('0'))
                             .arg(iTag, 2, 16, QLatin1Char('0'))
                             .toUpper();
    name = QStringLiteral("%1_%2").arg(sClassName, tags);
    return true;
}

Device* DeviceDb::createEmptyDevice(const QString& sClassName, int iTag, int iBaseTag, int iCode)
{
    if (sClassName.isEmpty()) {
        tavolog::error(tr("[DeviceDb::createEmptyDevice()] Device class name is empty."));
        return nullptr;
    }
    if (!share::classDb || !share::classDb->deviceClasses.contains(sClassName)) {
        tavolog::error(
            tr("[DeviceDb::createEmptyDevice()] Device class '%1' not found.").arg(sClassName));
        return nullptr;
    }
    if (Device* existing = findDevice(sClassName, iTag, iBaseTag)) {
        tavolog::warning(
            tr("[DeviceDb::createEmptyDevice()] Device '%1' already exists.").arg(existing->name));
        return nullptr;
    }

    auto* device = new Device(devices.size(), listRevision, this);
    makeUpDeviceName(device->name, sClassName, iTag, iBaseTag);
    device->className = sClassName;
    device->tag = iTag;
    device->baseTag = iBaseTag;
    devicesByName.insert(device->name, device);
    devices.append(device);
    if (iCode >= 0)
        setDeviceCode(device->name, iCode);
    return device;
}

Device* DeviceDb::addDevice(const QString& sClassName, int iTag, int iBaseTag, int iCode,
                            Tavo::ProtocolType protocol, const QString& sProtocolText)
{
    if (!share::classDb || !share::classDb->deviceClasses.contains(sClassName))
        return nullptr;
    Device* device = createEmptyDevice(sClassName, iTag, iBaseTag, iCode);
    if (!device)
        return nullptr;
    device->protocol = protocol;
    device->protocolText = sProtocolText;
    device->populated = false;
    emit signalDeviceAppended(sClassName, iTag, iBaseTag);
    return device;
}

void DeviceDb::createServiceDevice()
{
    Device* device = createEmptyDevice(QStringLiteral("SERVICE"), 0, 0, 0);
    if (!device) {
        tavolog::error(tr("Can't create 'SERVICE' device!!!"));
        return;
    }
    device->service = true;
    device->protocol = Tavo::NoProtocol;
    device->protocolText.clear();
    device->populateDevice();

    Param* root = setParamCode(0, QStringLiteral("root"), 0);
    if (!root) {
        tavolog::error(tr("[DeviceDb::createServiceDevice()] Can't find param 'root'"));
        return;
    }
    root->service = true;
    serviceAdapter = device->createAdapter(this);
    serviceAgentIndex = completeAgent(serviceAdapter, QStringLiteral("root"), 0, nullptr);
}

// ---------------------------------------------------------------------------
// Finding

Device* DeviceDb::findDevice(const QString& sName) const
{
    return devicesByName.value(sName);
}

Device* DeviceDb::findDevice(const QString& sClassName, int iTag, int iBaseTag) const
{
    QString name;
    makeUpDeviceName(name, sClassName, iTag, iBaseTag);
    return findDevice(name);
}

int DeviceDb::findDevices(const QString& sClassName, int iTag, int iBaseTag,
                          QList<Device*>& found) const
{
    for (Device* device : devices) {
        if ((sClassName.isEmpty() || device->className == sClassName) &&
            (iTag < 0 || device->tag == iTag) && (iBaseTag < 0 || device->baseTag == iBaseTag))
            found.append(device);
    }
    return found.size();
}

Device* DeviceDb::findPopulated(const QString& sDevName)
{
    Device* device = findDevice(sDevName);
    if (device && !device->populated)
        device->populateDevice();
    return device;
}

Device* DeviceDb::getDevice(Adapter* adapter)
{
    if (!adapter)
        return nullptr;
    Device* device = nullptr;
    const int position = adapter->devicePosition;
    if (adapter->listRevision == listRevision && position >= 0 && position < devices.size()) {
        device = devices.at(position);
    } else {
        device = findDevice(adapter->deviceName);
        if (!device)
            return nullptr;
        device->listRevision = listRevision;
        adapter->devicePosition = device->deviceIndex;
        adapter->listRevision = listRevision;
    }
    if (device && !device->populated)
        device->populateDevice();
    return device;
}

Adapter* DeviceDb::findAdapterByReliableDeviceIndex(EngineBroker* broker, int index)
{
    if (Adapter* cached = broker->getAdapterInList(index)) {
        if (cached->listRevision == listRevision)
            return cached;
        broker->clearAdapterInList(cached);
    }
    if (index < 0 || index >= devices.size())
        return nullptr;
    Device* device = devices.at(index);
    if (!device->populated)
        device->populateDevice();
    Adapter* adapter = broker->getAdapterInMapAndCorrectList(device->name, index);
    if (adapter) {
        adapter->devicePosition = index;
        adapter->listRevision = listRevision;
    }
    return adapter;
}

Adapter* DeviceDb::findAdapterByUnreliableAdapterIndex(EngineBroker* broker, int& index,
                                                       const QString& sName)
{
    if (Adapter* cached = broker->getAdapterInList(index)) {
        if (cached->listRevision == listRevision)
            return cached;
        broker->clearAdapterInList(cached);
    }
    Device* device = findPopulated(sName);
    if (!device)
        return nullptr;
    index = device->deviceIndex;
    Adapter* adapter = broker->getAdapterInMapAndCorrectList(sName, index);
    if (adapter) {
        adapter->devicePosition = index;
        adapter->listRevision = listRevision;
    }
    return adapter;
}

int DeviceDb::completeAgent(Adapter* adapter, const QString& sAgentName, int iTag, void* customData)
{
    if (!getDevice(adapter))
        return -1;
    Agent* agent = adapter->agentsByName.value(sAgentName);
    if (!agent)
        return -1;
    agent->tag = iTag;
    agent->customData = customData;
    return adapter->agents.indexOf(agent);
}

Param* DeviceDb::getParam(const QString& sDevName, const QString& sPrmName)
{
    Device* device = findPopulated(sDevName);
    return device ? device->parametersByName.value(sPrmName) : nullptr;
}

ParamCore* DeviceDb::getParamCore(const QString& sDevName, const QString& sPrmName)
{
    return getParam(sDevName, sPrmName);
}

Param* DeviceDb::paramAt(Adapter* adapter, int index, Device** device)
{
    Device* found = getDevice(adapter);
    if (device)
        *device = found;
    if (!found || index < 0 || index >= found->parameters.size())
        return nullptr;
    return found->parameters.at(index);
}

Param* DeviceDb::getParam(Adapter* adapter, int index)
{
    return paramAt(adapter, index, nullptr);
}

ParamCore* DeviceDb::getParamCore(Adapter* adapter, int index)
{
    return paramAt(adapter, index, nullptr);
}

Param* DeviceDb::getParam(const QString& sClassName, int iTag, int iBaseTag,
                          const QString& sMatchText, int iMatchNumber, const QString& sPrmName,
                          const QString& sInterface)
{
    for (Device* device : qAsConst(devices)) {
        if ((sClassName.isEmpty() || device->className == sClassName) &&
            (iTag < 0 || device->tag == iTag) && (iBaseTag < 0 || device->baseTag == iBaseTag) &&
            (sInterface.isEmpty() || device->interface == sInterface) &&
            (sMatchText.isEmpty() || device->matchText == sMatchText) &&
            (iMatchNumber < 0 || device->matchNumber == iMatchNumber)) {
            if (!device->populated)
                device->populateDevice();
            return device->parametersByName.value(sPrmName);
        }
    }
    return nullptr;
}

// ---------------------------------------------------------------------------
// Codes given by the host

Device* DeviceDb::setDeviceCode(const QString& sName, int iCode)
{
    Device* device = findDevice(sName);
    if (!device)
        return nullptr;
    device->setState(DbEntity::Bound);
    device->code = iCode;
    if (inCodeRange(iCode)) {
        std::unique_ptr<Device*[]>& page = deviceCodeTable[iCode & 0xFF];
        if (!page)
            page = std::make_unique<Device*[]>(256);
        page[(iCode >> 8) & 0xFF] = device;
    }
    return device;
}

Device* DeviceDb::getDeviceByCode(int iCode)
{
    if (!inCodeRange(iCode))
        return nullptr;
    const int pageNumber = iCode & 0xFF;
    const std::unique_ptr<Device*[]>& page = deviceCodeTable[pageNumber];
    if (!page) {
        tavolog::error(
            tr("[DeviceDb::getDevice()] Can't resolve Code0-class by code %1 (device code = %2)")
                .arg(pageNumber)
                .arg(iCode));
        return nullptr;
    }
    const int slot = (iCode >> 8) & 0xFF;
    Device* device = page[slot];
    if (!device) {
        tavolog::error(
            tr("[DeviceDb::getDevice()] Can't resolve Device-class by code %1 (device code = %2)")
                .arg(slot)
                .arg(iCode));
    }
    return device;
}

Param* DeviceDb::setParamCode(int iDevCode, const QString& sPrmName, int iPrmCode)
{
    Device* device = getDeviceByCode(iDevCode);
    if (!device)
        return nullptr;
    Param* param = device->parametersByName.value(sPrmName);
    if (!param) {
        tavolog::error(
            tr("[DeviceDb::setParamCode()] Can't find prmName:%1 in param map").arg(sPrmName));
        return nullptr;
    }
    if (iPrmCode >= PARAM_MAX_COUNT) {
        tavolog::error(tr("[DeviceDb::setParamCode()] prmCode == %1. must be less then %2. Need "
                          "to increase PARAM_MAX_COUNT const in paramlist")
                           .arg(iPrmCode)
                           .arg(PARAM_MAX_COUNT));
        return nullptr;
    }
    // A negative code cannot index the table: the host has sent garbage.
    if (iPrmCode < 0)
        return nullptr;

    device->setExtParams(iPrmCode, param);
    param->setState(DbEntity::Bound);
    param->code = iPrmCode;
    param->arrayBaseCode = iPrmCode;

    const int size = param->arraySize;
    if (size > 1) {
        const int last = iPrmCode + size - 1;
        if (last >= PARAM_MAX_COUNT) {
            tavolog::error(tr("[DeviceDb::setParamCode()] prmCode+arraySize-1 == %1. must be less "
                              "then %2. Need to increase PARAM_MAX_COUNT const in paramlist")
                               .arg(last)
                               .arg(PARAM_MAX_COUNT));
            return nullptr;
        }
        for (int i = 1; i < size; ++i) {
            const int position = param->indexInDevice + i;
            if (position >= device->parameters.size())
                break;
            Param* element = device->parameters.at(position);
            device->setExtParams(iPrmCode + i, element);
            element->setState(DbEntity::Bound);
            element->code = iPrmCode + i;
            element->arrayBaseCode = iPrmCode;
        }
    }
    return param;
}

DevPrm DeviceDb::getParamByCode(int iDevCode, int iPrmCode)
{
    Device* device = getDeviceByCode(iDevCode);
    if (!device)
        return {};
    if (!device->populated)
        device->populateDevice();
    if (iPrmCode < 0 || iPrmCode >= PARAM_MAX_COUNT ||
        iPrmCode >= device->parametersByCode.size()) {
        tavolog::error(tr("[getParam()] param code must be less than %1 (need change "
                          "PARAM_MAX_COUNT constant in paramlist)")
                           .arg(PARAM_MAX_COUNT));
        return {};
    }
    Param* param = device->parametersByCode.at(iPrmCode);
    if (!param) {
        tavolog::error(tr("[getParam()] Can't resolve Param-class by code %1").arg(iPrmCode));
        return {};
    }
    return {device, param};
}

// ---------------------------------------------------------------------------
// Values from the protocol

DevPrm DeviceDb::takeValue(int iDevCode, int iPrmCode)
{
    const DevPrm found = getParamByCode(iDevCode, iPrmCode);
    if (found.param && found.param->schedulerHold) {
        found.param->schedulerHold = false;
        setSchedulerEnabled(true, tr("parametr '%1' is read").arg(found.param->DbEntity::name));
    }
    return found;
}

Param* DeviceDb::setParamValue(int iDevCode, int iPrmCode, unsigned long value)
{
    const DevPrm found = takeValue(iDevCode, iPrmCode);
    if (!found.param)
        return nullptr;
    found.param->setReadValue(value);
    found.device->sendParamHasReadSignal(found.param);
    return found.param;
}

Param* DeviceDb::setParamStringValue(int iDevCode, int iPrmCode, const QByteArray& text)
{
    const DevPrm found = takeValue(iDevCode, iPrmCode);
    if (!found.param)
        return nullptr;
    if (found.param->service) {
        QByteArray message;
        if (utils::byteArrayHexDecoding(text, message, 0)) {
            systemDeviceMessageParsing(message);
        } else {
            tavolog::error(tr("Unrecognizing encoding string was received: '%1'")
                               .arg(utils::byteArrayToString(text, true, 0)));
        }
    }
    // The message may have removed devices; this parameter is deleted only
    // later on the event loop, so it is still safe to update.
    if (!found.param->setReadStringValue(text))
        return nullptr;
    found.device->sendParamHasReadSignal(found.param);
    return found.param;
}

Param* DeviceDb::setParamStatValue(int iDevCode, int iPrmCode, unsigned long value,
                                   unsigned long sum, unsigned long sumOfSquares, int count,
                                   unsigned long minimum, unsigned long maximum)
{
    const DevPrm found = takeValue(iDevCode, iPrmCode);
    if (!found.param)
        return nullptr;
    found.param->setReadStatValue(value, sum, sumOfSquares, count, minimum, maximum);
    found.device->sendParamHasReadSignal(found.param);
    return found.param;
}

Param* DeviceDb::sendVirtualParamValue(int iDeviceIndex, int iParamIndex)
{
    if (iDeviceIndex < 0 || iDeviceIndex >= devices.size())
        return nullptr;
    Device* device = devices.at(iDeviceIndex);
    if (!device)
        return nullptr;
    if (!device->populated)
        device->populateDevice();
    if (iParamIndex < 0 || iParamIndex >= device->parameters.size())
        return nullptr;
    Param* param = device->parameters.at(iParamIndex);
    if (!param || !param->isVirtual)
        return nullptr;
    device->sendParamHasReadSignal(param);
    return param;
}

// ---------------------------------------------------------------------------
// Notifications and states

void DeviceDb::notifyParam(int iDevCode, int iPrmCode, DbEntity::NotifyMessage msgCode)
{
    emit signalError(iDevCode, iPrmCode, msgCode);
    if (Param* param = getParamByCode(iDevCode, iPrmCode).param)
        param->notify(msgCode);
}

void DeviceDb::notifyDevice(int iDevCode, DbEntity::NotifyMessage msgCode)
{
    emit signalError(iDevCode, -1, msgCode);
    if (Device* device = getDeviceByCode(iDevCode))
        device->notify(msgCode);
}

void DeviceDb::notifyFileTransfer(const QString& sFileName, qint64 iFileSize)
{
    emit signalNotifyFileTransfer(sFileName, iFileSize);
}

bool DeviceDb::setDeviceStateByName(const QString& sName, DbEntity::State state)
{
    Device* device = findDevice(sName);
    if (!device)
        return false;
    device->setState(state);
    return true;
}

bool DeviceDb::resetDevice(int iCode)
{
    Device* device = getDeviceByCode(iCode);
    if (!device)
        return false;
    device->setState(DbEntity::NotBound);
    return true;
}

bool DeviceDb::resetDevicesByInterface(const QString& sInterface)
{
    bool any = false;
    for (Device* device : qAsConst(devices)) {
        if (device->interface == sInterface) {
            device->reset(kResetHoldOffMs);
            any = true;
        }
    }
    return any;
}

void DeviceDb::resetAllDevices()
{
    for (Device* device : qAsConst(devices))
        device->reset(kResetHoldOffMs);
}

// ---------------------------------------------------------------------------
// Tickets by name

int DeviceDb::getTicketId(const QString& sDevName)
{
    if (!findPopulated(sDevName))
        return -1;
    return Device::getTicketId();
}

bool DeviceDb::setTicket(const QString& sDevName, const QString& sPrmName, int& iTicketId,
                         int iPeriodSec)
{
    Param* param = getParam(sDevName, sPrmName);
    if (!param)
        return false;
    param->editTicket(iTicketId, iPeriodSec);
    return iTicketId >= 0;
}

bool DeviceDb::deleteTicket(const QString& sDevName, const QString& sPrmName, int& iTicketId)
{
    Param* param = getParam(sDevName, sPrmName);
    return param && param->deleteTicket(iTicketId);
}

// ---------------------------------------------------------------------------
// Removing

void DeviceDb::removeDevice(const QString& sName)
{
    if (sName.isEmpty())
        return;
    if (Device* device = findDevice(sName))
        removeOneDevice(device);
}

void DeviceDb::removeOneDevice(Device* device)
{
    const QString name = device->name;
    emit signalAboutToDeviceDelete(name);
    removeDevPrmReference(device);
    removeDeviceFromContainers(device);
    emit signalDeviceDelete(name);
    device->deleteLater();
    ++listRevision;
}

void DeviceDb::clearDevices()
{
    // The service flag protects the service device as well: after
    // resetAllDevices() its code is -1, no longer 0.
    QList<Device*> doomed;
    for (Device* device : qAsConst(devicesByName)) {
        if (device->code != 0 && !device->service)
            doomed.append(device);
    }
    for (Device* device : qAsConst(doomed))
        removeOneDevice(device);
}

void DeviceDb::removeDevPrmReference(Device* device)
{
    for (auto it = oidMap.begin(); it != oidMap.end();) {
        if (it.value()->device == device) {
            delete it.value();
            it = oidMap.erase(it);
        } else {
            ++it;
        }
    }
}

void DeviceDb::removeDeviceFromContainers(Device* device)
{
    devicesByName.remove(device->name);
    const int position = devices.indexOf(device);
    for (int i = position + 1; position >= 0 && i < devices.size(); ++i)
        devices.at(i)->deviceIndex = i - 1;
    if (position >= 0)
        devices.removeAt(position);

    // Every slot is searched, not only the one of the current code: a reset
    // leaves the slot in place with the code forgotten, and a device bound
    // twice sits under both codes. None may outlive the device.
    for (std::unique_ptr<Device*[]>& page : deviceCodeTable) {
        if (page)
            std::replace(page.get(), page.get() + 256, device, static_cast<Device*>(nullptr));
    }

    readDeviceList.resetData(device);
    virtualReadDeviceList.resetData(device);
    writeDeviceList.resetData(device);

    if (lastReadParameter && lastReadParameter->parent() == device)
        lastReadParameter = nullptr;
}

// ---------------------------------------------------------------------------
// Selection from a host inventory

void DeviceDb::clearSelectedDeviceList()
{
    qDeleteAll(selectedDevices);
    selectedDevices.clear();
    selectionActive = 0;
}

void DeviceDb::addSelectedDevice(const AsciiZ& name, int iCode)
{
    const QString text = QString::fromLatin1(name.data(), name.length());
    if (text.size() < 6)
        return;
    bool isHex = false;
    const int tags = text.right(4).toInt(&isHex, 16);
    if (!isHex)
        return;
    auto item = std::make_unique<SelectedDeviceItem>();
    item->className = text.left(text.size() - 5);
    item->tag = tags % 256;
    item->baseTag = tags / 256;
    item->deviceCode = iCode;
    selectedDevices.append(item.release());
}

void DeviceDb::selectFromHostDb(SelectedDeviceItem* pattern)
{
    clearSelectedDeviceList();
    selectionActive = 1;
    for (Device* device : qAsConst(devices)) {
        if (pattern &&
            !((pattern->className == QLatin1String("*") ||
               pattern->className == device->className) &&
              (pattern->tag < 0 || pattern->tag == device->tag) &&
              (pattern->baseTag < 0 || pattern->baseTag == device->baseTag)))
            continue;
        const QByteArray name = device->name.toLatin1();
        AsciiZ text;
        text.append(name.constData(), name.size());
        addSelectedDevice(text, device->code);
    }
}

void DeviceDb::workUpSelectedDeviceList(Tavo::ProtocolType protocol, const QString& sProtocolText)
{
    for (const SelectedDeviceItem* item : qAsConst(selectedDevices)) {
        if (!findDevice(item->className, item->tag, item->baseTag))
            addDevice(item->className, item->tag, item->baseTag, item->deviceCode, protocol,
                      sProtocolText);
    }
    emit signalSelectedDeviceListUpdated();
}
