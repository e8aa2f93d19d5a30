#include "fleet_stats.h"

#include "devices/paramlist.h"

#include <QSaveFile>

#include <ctime>

namespace {

qint64 monotonicMicroseconds()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

} // namespace

FleetStats::FleetStats(int hosts, qint64 windowStartMs)
    : m_hosts(hosts)
    , m_windowStartMs(windowStartMs)
{
    m_clock.start();
}

void FleetStats::hostConnected()
{
    if (++m_connected == m_hosts && m_connectAllMs < 0)
        m_connectAllMs = m_clock.elapsed();
}

void FleetStats::hostDisconnected()
{
    --m_connected;
}

void FleetStats::subscribed(const Device* device)
{
    const qint64 now = m_clock.elapsed();
    for (const Param* param : qAsConst(device->parameters))
        m_lastArrival.insert(param, now);
}

void FleetStats::unsubscribed(const Device* device)
{
    for (const Param* param : qAsConst(device->parameters))
        m_lastArrival.remove(param);
}

void FleetStats::valueArrived(const ParamCore* pcore)
{
    const qint64 now = m_clock.elapsed();
    if (now >= m_windowStartMs)
        ++m_values;
    auto it = m_lastArrival.find(pcore);
    if (it != m_lastArrival.end())
        *it = now;
}

void FleetStats::stateChanged(quint16 port, const QString& device, const QString& param, int state)
{
    m_states += "state " + QByteArray::number(monotonicMicroseconds()) + ' ' +
        QByteArray::number(port) + ' ' + device.toLatin1() + ' ' + param.toLatin1() + ' ' +
        QByteArray::number(state) + '\n';
}

bool FleetStats::write(const QString& path) const
{
    const qint64 now = m_clock.elapsed();
    qint64 oldest = 0;
    for (qint64 arrival : m_lastArrival)
        oldest = qMax(oldest, now - arrival);
    QByteArray text;
    auto line = [&text](const char* name, qint64 value) {
        text += QByteArray(name) + ' ' + QByteArray::number(value) + '\n';
    };
    line("hosts", m_hosts);
    line("connected", m_connected);
    line("connect_all_ms", m_connectAllMs);
    line("values_in_window", m_values);
    line("window_ms", qMax<qint64>(0, now - m_windowStartMs));
    line("subscribed", m_lastArrival.size());
    line("max_value_age_ms", oldest);
    text += m_states;
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.commit();
}
