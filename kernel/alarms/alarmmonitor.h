#pragma once

#include "tavo_kernel_export.h"

#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>

class Adapter;
class Device;
class DeviceDb;
class EventMonitor;
class Param;
class ParamCore;

/**
 * Polls every alarm parameter of the devices that the engines existing at
 * construction add from then on, computes the alarm state after every read
 * and announces each change once.
 */
class TAVO_KERNEL_EXPORT AlarmMonitor : public QObject
{
    Q_OBJECT

public:
    explicit AlarmMonitor(QObject* parent);
    ~AlarmMonitor() override;

    EventMonitor* eventMonitor;
    /// By device full name; owned.
    QMap<QString, Adapter*> adapters;

Q_SIGNALS:
    void paramStateChanged(const Param* param, int newState, int oldState);

public Q_SLOTS:
    void engineAppended(int iNodeAttrKey);
    void engineDelete(int index);
    void socketConnected(int index);
    void socketDisconnected(int index);
    void deviceAppended(QString sClassName, int iTag, int iBaseTag);
    void deviceDeleted(QString sDevName);
    void slotParamHasRead(int iParamIndex, int iDeviceIndex, int iEngineIndex,
                          const ParamCore* pcore);

private:
    void watchDevice(DeviceDb* db, const QString& sClassName, int iTag, int iBaseTag);
    void recompute(const Device* device, const ParamCore* pcore);

    /// Devices whose values reach recompute().
    QSet<const QObject*> m_heardDevices;

    Q_DISABLE_COPY(AlarmMonitor)
};
