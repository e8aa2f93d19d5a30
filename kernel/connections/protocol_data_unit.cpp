#include "connections/protocol_data_unit.h"

#include "devices/device_db.h"
#include "devices/paramlist.h"

ProtocolDataUnit::ProtocolDataUnit(QObject* parent)
    : QObject(parent)
{
}

ProtocolDataUnit::~ProtocolDataUnit()
{
    clearReadQueryMap();
    clearWriteQueryMap();
}

void ProtocolDataUnit::init()
{
    readQueryMap.clear();
    writeQueryMap.clear();
}

void ProtocolDataUnit::clearReadQueryMap()
{
    qDeleteAll(readQueryMap);
    readQueryMap.clear();
}

void ProtocolDataUnit::clearWriteQueryMap()
{
    for (LsParamsToWrite* writes : qAsConst(writeQueryMap)) {
        qDeleteAll(*writes);
        delete writes;
    }
    writeQueryMap.clear();
}

void ProtocolDataUnit::prepareReadData(Device* device, Param* param)
{
    auto it = readQueryMap.find(device);
    if (it == readQueryMap.end()) {
        auto* params = new LsParams;
        params->append(param);
        readQueryMap.insert(device, params);
        return;
    }
    if (!(*it)->contains(param))
        (*it)->append(param);
}

void ProtocolDataUnit::prepareWriteData(Device* device, WriteItem* item)
{
    // The service device stands for the host's system device: what is
    // written to it is a command for this client, not for the wire.
    if (item->targetParameter && item->targetParameter->service) {
        if (deviceDb)
            deviceDb->systemDeviceMessageParsing(item->bytes);
        delete item;
        return;
    }
    auto it = writeQueryMap.find(device);
    if (it == writeQueryMap.end())
        it = writeQueryMap.insert(device, new LsParamsToWrite);
    (*it)->append(item);
}

void ProtocolDataUnit::addToWriteList(QList<WriteItem*>** list, WriteItem* item)
{
    if (!*list)
        *list = new QList<WriteItem*>;
    (*list)->append(item);
}

void ProtocolDataUnit::sendWriteToSocketSignal(const char* data, int& size)
{
    Q_EMIT signalWriteToSocket(data, size);
}
