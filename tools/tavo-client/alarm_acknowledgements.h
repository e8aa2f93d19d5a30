#pragma once

#include "history/history_record.h"

#include <QHash>
#include <QObject>
#include <QTimer>

class HistoryStore;
class UserCapabilities;

/**
 * The acknowledgements of the active alarms, as the history keeps them, for
 * the views that show them and the sound that repeats until one is made.
 * Re-read when the store says they changed (also when another client of a
 * shared store acknowledged), at most twice a second.
 */
class AlarmAcknowledgements : public QObject
{
    Q_OBJECT

public:
    /// Without a store nothing is acknowledged and acknowledge() refuses.
    AlarmAcknowledgements(HistoryStore* store, const UserCapabilities* users,
                          QObject* parent = nullptr);
    ~AlarmAcknowledgements() override;

    bool isAvailable() const { return m_store != nullptr; }
    /// The active alarm of that parameter in the history; null for none.
    const ActiveAlarm* find(int hostKey, const QString& device, const QString& param) const;
    bool isAcknowledged(int hostKey, const QString& device, const QString& param) const;

    /// Acknowledges the parameter's active alarm as the current user; false
    /// with a reason for the operator in @p error.
    bool acknowledge(int hostKey, const QString& device, const QString& param,
                     const QString& comment, QString* error);
    /// Re-reads at once.
    void reload();

Q_SIGNALS:
    void changed();

private:
    struct Key
    {
        int hostKey;
        QString device;
        QString param;
        bool operator==(const Key& other) const
        {
            return hostKey == other.hostKey && device == other.device && param == other.param;
        }
    };
    friend uint qHash(const Key& key, uint seed) noexcept
    {
        return qHash(key.hostKey, seed) ^ qHash(key.device, seed) ^ qHash(key.param, seed);
    }

    HistoryStore* m_store;
    const UserCapabilities* m_users;
    QHash<Key, ActiveAlarm> m_alarms;
    QTimer m_reload;
};
