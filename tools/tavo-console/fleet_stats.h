#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QString>

class Device;
class ParamCore;

/**
 * What a run against many hosts needs to be judged by: how fast they all
 * connected, how many values arrived, how old the oldest subscribed value is
 * at the end, and when each alarm state changed, on the system's monotonic
 * clock that the simulator's trace of sent values uses too.
 */
class FleetStats
{
public:
    /// Values are counted from @p windowStartMs after construction on.
    FleetStats(int hosts, qint64 windowStartMs);

    void hostConnected();
    void hostDisconnected();
    /// Every parameter of @p device is expected to arrive from now on.
    void subscribed(const Device* device);
    void unsubscribed(const Device* device);
    void valueArrived(const ParamCore* pcore);
    void stateChanged(quint16 port, const QString& device, const QString& param, int state);

    /// Writes "<name> <value>" lines, then one "state <us> <port> <device>
    /// <param> <state>" line per state change.
    bool write(const QString& path) const;

private:
    QElapsedTimer m_clock;
    int m_hosts;
    int m_connected = 0;
    qint64 m_connectAllMs = -1;
    qint64 m_windowStartMs;
    qint64 m_values = 0;
    /// Milliseconds since construction at which each parameter last arrived
    /// or was subscribed.
    QHash<const ParamCore*, qint64> m_lastArrival;
    QByteArray m_states;
};
