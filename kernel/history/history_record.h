#pragma once

#include <QList>
#include <QMetaType>
#include <QString>
#include <QtGlobal>

/**
 * One entry of the alarm and operation history. The kinds are stored as
 * their numbers, so new kinds are appended and existing numbers never change.
 */
struct HistoryRecord
{
    enum Kind {
        StateChange = 0,
        Write = 1,
        Connected = 2,
        Disconnected = 3,
        Reaction = 4,
        Acknowledged = 5,
        Flapping = 6,
        Suppressed = 7,
        /// A value of a parameter kept for its trend: `text` is the number
        /// in the C locale.
        Value = 8,
    };

    /// Given by the store when the record is written; 0 before.
    qint64 id = 0;
    /// UTC, milliseconds since the epoch.
    qint64 timeMs = 0;
    Kind kind = StateChange;
    qint32 hostKey = -1;
    /// "url:port".
    QString hostAddress;
    /// The host's alias.
    QString hostName;
    QString device;
    QString param;
    /// Tavo::AlarmType numbers; -2 for "never computed", as the alarm monitor has it.
    qint32 state = -1;
    qint32 oldState = -1;
    /// By kind: the value written, the reaction performed, a comment.
    QString text;
    /// For a write, the value read before it.
    QString oldText;
    QString user;
};

/// What HistoryStore::query() selects; empty fields select everything.
struct HistoryFilter
{
    /// Stands for "any state".
    static constexpr qint32 AnyState = -100;

    qint32 hostKey = -1;
    QString device;
    QString param;
    qint32 state = AnyState;
    /// Empty: every kind but Value, which is only selected by name, so
    /// that the values kept for trends do not bury the events.
    QList<HistoryRecord::Kind> kinds;
    /// Inclusive bounds in UTC milliseconds; a negative bound is open.
    qint64 fromMs = -1;
    qint64 toMs = -1;
    /// Newest first: offset 0 is the newest record that matches.
    qint32 offset = 0;
    qint32 limit = 100;
};

/**
 * The current non-normal state of one parameter, kept until the parameter
 * returns to NORM. An acknowledgement stays while the state is as severe as
 * the state acknowledged, or milder, and is cleared by a more severe one.
 */
struct ActiveAlarm
{
    qint64 id = 0;
    qint32 hostKey = -1;
    QString hostAddress;
    QString hostName;
    QString device;
    QString param;
    qint32 state = -1;
    /// When the parameter left NORM.
    qint64 sinceMs = 0;
    /// When the state last changed.
    qint64 changedMs = 0;
    bool acknowledged = false;
    QString ackUser;
    qint64 ackTimeMs = 0;
    QString ackComment;
    /// The state that was acknowledged; -1 when not acknowledged.
    qint32 ackState = -1;
};

// Queues of records grow by moving, not copying, the records.
Q_DECLARE_TYPEINFO(HistoryRecord, Q_MOVABLE_TYPE);
Q_DECLARE_METATYPE(HistoryRecord)
Q_DECLARE_METATYPE(HistoryRecord::Kind)
