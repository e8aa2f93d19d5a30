#pragma once

#include "tavo_kernel_export.h"

#include <QList>
#include <QMap>
#include <QObject>

class Device;
class DeviceDb;
class Param;
struct LsParams;
struct WriteItem;

/// The writes of one device selected for a request.
struct LsParamsToWrite : public QList<WriteItem*>
{
};

/// One encoded packet; data is allocated with new[] and freed once sent.
struct ResultItem
{
    char* data = nullptr;
    int size = 0;
};

/// Encoded packets in send order.
struct ResultList : public QList<ResultItem*>
{
};

/**
 * What one connection's scheduler has selected for the next request: per
 * device, the parameters to read and the writes to send. The plug-in encodes
 * it and empties it.
 */
class TAVO_KERNEL_EXPORT ProtocolDataUnit : public QObject
{
    Q_OBJECT

public:
    explicit ProtocolDataUnit(QObject* parent = nullptr);
    ~ProtocolDataUnit() override;

    /// Forgets both maps without destroying their lists; a plug-in that keeps
    /// a request in flight across a reset still refers to them.
    void init();
    void clearReadQueryMap();
    void clearWriteQueryMap();
    void prepareReadData(Device* device, Param* param);
    /// Takes @p item: a write to the service device goes to the host's
    /// system message parser and is destroyed, every other one is queued.
    void prepareWriteData(Device* device, WriteItem* item);
    static void addToWriteList(QList<WriteItem*>** list, WriteItem* item);
    void sendWriteToSocketSignal(const char* data, int& size);

    DeviceDb* deviceDb = nullptr;
    QMap<Device*, LsParams*> readQueryMap;
    QMap<Device*, LsParamsToWrite*> writeQueryMap;

Q_SIGNALS:
    /// On return @p size holds the bytes the socket took, 0 without a socket.
    void signalWriteToSocket(const char* data, int& size);

private:
    Q_DISABLE_COPY(ProtocolDataUnit)
};
