#pragma once

#include "connections/protocol_data_unit.h"
#include "devices/paramlist.h"
#include "tavo_kernel_export.h"

#include <QMap>
#include <QObject>
#include <QString>
#include <QVector>

class DeviceDb;
class IProtocol;
struct SelectedDeviceItem;

/**
 * One connection's protocol: a working instance of a plug-in, which it owns,
 * and the connection's data unit. The engine drives it; the plug-in decides
 * what fits into each request.
 */
class TAVO_KERNEL_EXPORT Protocol : public QObject
{
    Q_OBJECT

public:
    explicit Protocol(QObject* parent = nullptr);
    ~Protocol() override;

    void init();
    /// Moves what the plug-in accepts from the read device list into the
    /// data unit; the rest stays queued.
    void workUpReadQueries(ArraysHandler<Device>& devices);
    /// Takes from every ready device a leading run of accepted writes of one
    /// value class (numeric or not), leaving the rest queued in order.
    void workUpWriteQueries(ArraysHandler<Device>& devices);
    void parse(const char* data, int size);
    bool selectDeviceQuery(QVector<SelectedDeviceItem*>& selection);
    void getWorkUpResult(ResultList& results);

    int getSocketType() const;
    void assignDeviceDb(DeviceDb* db) { unit.deviceDb = db; }
    void assignCustomVars(const QMap<QString, QString>& vars);
    ProtocolDataUnit* pdu() { return &unit; }
    IProtocol* plugin() const { return instance; }
    /// Takes @p plugin, deleting the previous instance.
    void setPlugin(IProtocol* plugin);

    ProtocolDataUnit unit;
    IProtocol* instance = nullptr;

private:
    Q_DISABLE_COPY(Protocol)
};
