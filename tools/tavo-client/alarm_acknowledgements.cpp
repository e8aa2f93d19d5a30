#include "alarm_acknowledgements.h"

#include "acknowledging.h"

#include "history/history_store.h"

AlarmAcknowledgements::AlarmAcknowledgements(HistoryStore* store, const UserCapabilities* users,
                                             QObject* parent)
    : QObject(parent)
    , m_store(store)
    , m_users(users)
{
    // Reading the active alarms waits for the writer: a burst of changes
    // is read once.
    m_reload.setSingleShot(true);
    m_reload.setInterval(500);
    connect(&m_reload, &QTimer::timeout, this, &AlarmAcknowledgements::reload);
    if (m_store) {
        connect(m_store, &HistoryStore::activeAlarmsChanged, this, [this] {
            if (!m_reload.isActive())
                m_reload.start();
        });
        reload();
    }
}

AlarmAcknowledgements::~AlarmAcknowledgements() = default;

const ActiveAlarm* AlarmAcknowledgements::find(int hostKey, const QString& device,
                                               const QString& param) const
{
    const auto it = m_alarms.constFind(Key {hostKey, device, param});
    return it == m_alarms.constEnd() ? nullptr : &it.value();
}

bool AlarmAcknowledgements::isAcknowledged(int hostKey, const QString& device,
                                           const QString& param) const
{
    const ActiveAlarm* alarm = find(hostKey, device, param);
    return alarm && alarm->acknowledged;
}

bool AlarmAcknowledgements::acknowledge(int hostKey, const QString& device, const QString& param,
                                        const QString& comment, QString* error)
{
    if (!m_store) {
        *error = tr("There is no alarm history to acknowledge in.");
        return false;
    }
    if (m_users && !Acknowledging::mayAcknowledge(*m_users)) {
        *error = tr("User '%1' may not acknowledge alarms (the right \"write\" is needed).")
                     .arg(Acknowledging::operatorName(*m_users));
        return false;
    }
    // The record of the alarm may still be on its way to the database.
    reload();
    const ActiveAlarm* alarm = find(hostKey, device, param);
    if (!alarm) {
        *error = tr("The alarm of %1.%2 is no longer active.").arg(device, param);
        return false;
    }
    const QString who = m_users ? Acknowledging::operatorName(*m_users) : QString();
    if (!m_store->acknowledge(alarm->id, who, comment, error))
        return false;
    reload();
    return true;
}

void AlarmAcknowledgements::reload()
{
    m_reload.stop();
    if (!m_store)
        return;
    m_alarms.clear();
    const QList<ActiveAlarm> alarms = m_store->activeAlarms();
    for (const ActiveAlarm& alarm : alarms)
        m_alarms.insert(Key {alarm.hostKey, alarm.device, alarm.param}, alarm);
    Q_EMIT changed();
}
