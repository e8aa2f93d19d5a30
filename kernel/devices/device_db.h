#pragma once

#include "devices/db_entity.h"
#include "devices/paramlist.h"
#include "foundation/tavo_global_namespace.h"
#include "tavo_kernel_export.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QVector>

#include <memory>

class Adapter;
class AsciiZ;
class EngineBroker;
class NodeAttr;
class QTimerEvent;

/// A device and one of its parameters.
struct DevPrm
{
    Device* device = nullptr;
    Param* param = nullptr;
};

/// One device chosen for creation from a host inventory.
struct SelectedDeviceItem
{
    void init()
    {
        className.clear();
        tag = -1;
        baseTag = -1;
        deviceCode = -1;
    }

    QString className;
    qint32 tag = -1;
    qint32 baseTag = -1;
    qint32 deviceCode = -1;
};

/// Parameters of one device to read.
struct LsParams : public QList<Param*>
{
};

/**
 * The devices of one host as far as the client knows them: it creates, finds,
 * binds and removes them, takes the values the protocol delivers, queues the
 * reads and writes asked for, and holds the read scheduler back on request.
 * It owns its devices.
 */
class TAVO_KERNEL_EXPORT DeviceDb : public QObject
{
    Q_OBJECT

public:
    DeviceDb(NodeAttr* host, QObject* parent);
    ~DeviceDb() override;

    // Creating devices.
    /// "<class>_<base tag><tag>", the tags as two upper-case hexadecimal digits.
    static bool makeUpDeviceName(QString& name, const QString& sClassName, int iTag, int iBaseTag);
    Device* createEmptyDevice(const QString& sClassName, int iTag, int iBaseTag, int iCode);
    Device* addDevice(const QString& sClassName, int iTag, int iBaseTag, int iCode,
                      Tavo::ProtocolType protocol, const QString& sProtocolText);
    void createServiceDevice();

    // Finding devices and parameters.
    Device* findDevice(const QString& sName) const;
    Device* findDevice(const QString& sClassName, int iTag, int iBaseTag) const;
    /// A class name that is empty or a tag that is negative matches any.
    int findDevices(const QString& sClassName, int iTag, int iBaseTag, QList<Device*>& found) const;
    Device* getDevice(Adapter* adapter);
    Adapter* findAdapterByReliableDeviceIndex(EngineBroker* broker, int index);
    Adapter* findAdapterByUnreliableAdapterIndex(EngineBroker* broker, int& index,
                                                 const QString& sName);
    int completeAgent(Adapter* adapter, const QString& sAgentName, int iTag, void* customData);
    Param* getParam(const QString& sDevName, const QString& sPrmName);
    ParamCore* getParamCore(const QString& sDevName, const QString& sPrmName);
    Param* getParam(Adapter* adapter, int index);
    ParamCore* getParamCore(Adapter* adapter, int index);
    Param* getParam(const QString& sClassName, int iTag, int iBaseTag, const QString& sMatchText,
                    int iMatchNumber, const QString& sPrmName, const QString& sInterface);

    // Codes given by the host.
    Device* setDeviceCode(const QString& sName, int iCode);
    Device* getDeviceByCode(int iCode);
    Param* setParamCode(int iDevCode, const QString& sPrmName, int iPrmCode);
    DevPrm getParamByCode(int iDevCode, int iPrmCode);

    // Values from the protocol.
    Param* setParamValue(int iDevCode, int iPrmCode, unsigned long value);
    Param* setParamStringValue(int iDevCode, int iPrmCode, const QByteArray& text);
    Param* setParamStatValue(int iDevCode, int iPrmCode, unsigned long value, unsigned long sum,
                             unsigned long sumOfSquares, int count, unsigned long minimum,
                             unsigned long maximum);
    /// By list positions, not codes.
    Param* sendVirtualParamValue(int iDeviceIndex, int iParamIndex);

    // Notifications.
    void notifyParam(int iDevCode, int iPrmCode, DbEntity::NotifyMessage msgCode);
    void notifyDevice(int iDevCode, DbEntity::NotifyMessage msgCode);
    void notifyFileTransfer(const QString& sFileName, qint64 iFileSize);

    // States.
    bool setDeviceStateByName(const QString& sName, DbEntity::State state);
    bool resetDevice(int iCode);
    bool resetDevicesByInterface(const QString& sInterface);
    void resetAllDevices();

    // Tickets by name.
    int getTicketId(const QString& sDevName);
    bool setTicket(const QString& sDevName, const QString& sPrmName, int& iTicketId,
                   int iPeriodSec);
    bool deleteTicket(const QString& sDevName, const QString& sPrmName, int& iTicketId);

    // Removing devices; the objects are deleted later on the event loop.
    void removeDevice(const QString& sName);
    void clearDevices();
    void removeDevPrmReference(Device* device);
    void removeDeviceFromContainers(Device* device);

    // Selection from a host inventory.
    void clearSelectedDeviceList();
    void addSelectedDevice(const AsciiZ& name, int iCode);
    void selectFromHostDb(SelectedDeviceItem* pattern);
    void workUpSelectedDeviceList(Tavo::ProtocolType protocol, const QString& sProtocolText);

    // Read and write queries.
    bool readQuery(const QString& sDevName, const QString& sPrmName, int mark, bool force);
    bool readQuery(Adapter* adapter, int index, int mark, bool force);
    void appendDeviceToReadQueryDeviceList(Device* device);
    void appendDeviceToReadQueryVirtualDeviceList(Device* device);
    bool writeQuery(const QString& sDevName, const QString& sPrmName, unsigned long value,
                    bool force);
    bool writeQuery(Adapter* adapter, int index, unsigned long value, bool force);
    bool writeQuery(const QString& sDevName, const QString& sPrmName, const QByteArray& bytes,
                    const QString& text, bool force);
    bool writeQuery(Adapter* adapter, int index, const QByteArray& bytes, const QString& text,
                    bool force);
    bool writeQuery(const QString& sDevName, const QString& sPrmName, const QString& text,
                    bool force);
    bool writeQuery(Adapter* adapter, int index, const QString& text, bool force);

    // The read scheduler: 0 enabled, 1 held by a parameter, 2 blocked.
    int getSchedulerMode() const { return schedulerMode; }
    void blockByLastReadQuery(int iTerminal, int iSeconds);
    void setSchedulerEnabled(bool enabled, const QString& reason);
    bool resetScheduleBlock(int iTerminal);

    // Server silence.
    void clearServerAbsentTime() { silenceCount = 0; }
    /// Milliseconds of silence once they reach the limit, 0 before; @p periodMs > 0.
    int checkLimitForServerAbsentTime(int periodMs);

    // Form texts to values.
    bool presentationStringToAsciizInsideForm(const QString& text, QByteArray& bytes);
    bool presentationStringToByteArrayInsideForm(const QString& text, QByteArray& bytes);
    bool presentationStringToUIntInsideForm(const QString& text, unsigned long& value);
    bool presentationStringToIntInsideForm(const QString& text, unsigned long& value);
    bool presentationStringToFloatInsideForm(const QString& text, unsigned long& value);

    /// One message of the host's system device: 0 refused or nothing done,
    /// 1 a device created, 2 a device removed.
    int systemDeviceMessageParsing(const QByteArray& message);

    ArraysHandler<Device> readDeviceList;
    ArraysHandler<Device> virtualReadDeviceList;
    ArraysHandler<Device> writeDeviceList;
    QMap<QString, Device*> devicesByName;
    /// Position = device index.
    QList<Device*> devices;
    qint32 selectionActive = 0;
    /// Owned.
    QVector<SelectedDeviceItem*> selectedDevices;
    /// Owned records, under each full parameter OID of SNMP devices.
    QMap<QString, DevPrm*> oidMap;
    QList<const Param*> list;
    NodeAttr* host;
    /// Raised by every removal; cached device positions are valid only with it.
    qint32 listRevision = 0;

    Param* lastReadParameter = nullptr;
    qint32 schedulerLogGroup = -1;
    qint32 blockOwner = -1;
    qint32 blockTimer = 0;
    qint32 schedulerMode = 0;
    qint32 silenceCount = 0;
    /// Milliseconds.
    qint32 silenceLimit = 180000;

    /// Devices by host code: page = code mod 256, slot = (code div 256) mod 256.
    std::unique_ptr<Device*[]> deviceCodeTable[256];
    QString text;
    bool flag = false;
    qint32 systemLogGroup = -1;
    /// Owned.
    Adapter* serviceAdapter = nullptr;
    qint32 serviceAgentIndex = -1;

Q_SIGNALS:
    void signalDeviceAppended(QString sClassName, int iTag, int iBaseTag);
    void signalAboutToDeviceDelete(QString sDevName);
    void signalDeviceDelete(QString sDevName);
    void signalSelectedDeviceListUpdated();
    void signalNotifyFileTransfer(QString sFileName, qint64 iFileSize);
    void signalError(int iDevCode, int iPrmCode, DbEntity::NotifyMessage msgCode);

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    Device* findPopulated(const QString& sDevName);
    Param* paramAt(Adapter* adapter, int index, Device** device);
    DevPrm takeValue(int iDevCode, int iPrmCode);
    void removeOneDevice(Device* device);
    bool queueRead(Device* device, Param* param, int mark);
    bool queueWrite(Device* device, Param* param, unsigned long value);
    bool queueWrite(Device* device, Param* param, const QByteArray& bytes, const QString& text);
    /// The protocol named by a message prefix, or -1.
    static int protocolByKeyword(const QByteArray& keyword);

    Q_DISABLE_COPY(DeviceDb)
};
