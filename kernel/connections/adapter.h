#pragma once

#include "tavo_kernel_export.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QString>

class NodeAttr;

/// A terminal's handle on one parameter of a device.
class TAVO_KERNEL_EXPORT Agent : public QObject
{
    Q_OBJECT

public:
    Agent(const QString& parameterName, int parameterIndex, QObject* parent);
    ~Agent() override;

    QString parameterName;
    /// Index in device of the parameter.
    qint32 parameterIndex = -1;
    qint32 tag = -1;
    /// Given by whoever completes the agent; never dereferenced by the kernel.
    void* customData = nullptr;

private:
    Q_DISABLE_COPY(Agent)
};

/**
 * A terminal's handle on one device: the device's name, its cached position in
 * the device database with the list revision at which it was valid, and one
 * agent per parameter. It holds at most one auto-read ticket on the device,
 * which it gives back when it is destroyed.
 */
class TAVO_KERNEL_EXPORT Adapter : public QObject
{
    Q_OBJECT

public:
    /// @p deviceName as the device database makes it: "<class>_<base tag><tag>".
    Adapter(const QString& deviceName, QObject* parent);
    ~Adapter() override;

    Agent* createAgent(const QString& name, int index);
    int getAgentTag(int position, bool* ok) const;
    void* getAgentCustomData(int position, bool* ok) const;
    void setAutoreadPeriod(int iAgentIndex, int iPeriodSec);
    /// The same period for every agent.
    void setAutoreadPeriod(int iPeriodSec);

    QString deviceName;
    qint32 listRevision = -1;
    /// Also the adapter's position in its broker's list.
    qint32 devicePosition = -1;
    QString className;
    qint32 tag = -1;
    qint32 baseTag = -1;
    qint32 combinedTag = -1;
    qint32 spare = 0;
    QList<Agent*> agents;
    QMap<QString, Agent*> agentsByName;
    /// -1 while the adapter holds no ticket.
    qint32 ticketId = -1;

Q_SIGNALS:
    void signalSetAutoreadPeriod(int iAgentIndex, int& iTicketId, int iPeriodSec);
    void signalDeleteTickets(int& iTicketId);

private:
    Q_DISABLE_COPY(Adapter)
};

/**
 * The adapters a terminal keeps for one host, by device name and by cached
 * device position (a sparse list; holes are null).
 */
class TAVO_KERNEL_EXPORT EngineBroker : public QObject
{
    Q_OBJECT

public:
    EngineBroker(NodeAttr* node, QObject* parent);
    ~EngineBroker() override;

    NodeAttr* nodeAttr() const { return m_node; }

    void addAdapter(Adapter* adapter);
    Adapter* getAdapterInList(int position) const;
    void clearAdapterInList(Adapter* adapter);
    Adapter* getAdapterInMapAndCorrectList(const QString& name, int position);
    Adapter* findAdapterByDeviceName(const QString& name) const;
    /// Forgets the adapter without deleting it.
    Adapter* takeAdapterByDeviceName(const QString& name);
    void addAdapterInList(Adapter* adapter, int position);

    QMap<QString, Adapter*> adaptersByDeviceName;
    QList<Adapter*> adapterList;
    qint32 cachedEnginePosition = -1;
    qint32 cachedDeletionStamp = -1;

private:
    NodeAttr* m_node;

    Q_DISABLE_COPY(EngineBroker)
};
