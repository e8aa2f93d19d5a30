#pragma once

// Records as the history tests write them, and what they read back.

#include "history/history_record.h"
#include "history/history_store.h"

#include <QStringList>

inline HistoryRecord rec(HistoryRecord::Kind kind, qint64 timeMs, int hostKey,
                         const QString& device, const QString& param, int state,
                         const QString& text)
{
    HistoryRecord r;
    r.kind = kind;
    r.timeMs = timeMs;
    r.hostKey = hostKey;
    r.hostAddress = QStringLiteral("10.0.0.%1:7000").arg(hostKey);
    r.hostName = QStringLiteral("host%1").arg(hostKey);
    r.device = device;
    r.param = param;
    r.state = state;
    r.oldState = -2;
    r.text = text;
    return r;
}

/// A record of the power supply, the device most tests use.
inline HistoryRecord rec(HistoryRecord::Kind kind, qint64 timeMs, int hostKey, const QString& param,
                         int state, const QString& text)
{
    return rec(kind, timeMs, hostKey, QStringLiteral("PSU_0001"), param, state, text);
}

/// The power supply's temperature changing to @p state.
inline HistoryRecord tempState(qint64 timeMs, int hostKey, int state)
{
    return rec(HistoryRecord::StateChange, timeMs, hostKey, QStringLiteral("temp"), state,
               QString());
}

inline HistoryFilter kinds(const QList<HistoryRecord::Kind>& wanted)
{
    HistoryFilter filter;
    filter.kinds = wanted;
    return filter;
}

inline QStringList textsOf(const QList<HistoryRecord>& records)
{
    QStringList texts;
    for (const HistoryRecord& r : records)
        texts << r.text;
    return texts;
}

/// A record but its id and time, as "kind|host|address|name|device|param|state|old|text|old|user".
inline QStringList rowsOf(const QList<HistoryRecord>& records)
{
    QStringList rows;
    for (const HistoryRecord& r : records) {
        QStringList fields;
        fields << QString::number(r.kind) << QString::number(r.hostKey) << r.hostAddress
               << r.hostName << r.device << r.param << QString::number(r.state)
               << QString::number(r.oldState) << r.text << r.oldText << r.user;
        rows << fields.join(QLatin1Char('|'));
    }
    return rows;
}

/// An active alarm but its id and times, as
/// "host|address|name|device|param|state|acknowledged|by|state acknowledged|comment".
inline QStringList alarmsOf(const QList<ActiveAlarm>& alarms)
{
    QStringList rows;
    for (const ActiveAlarm& a : alarms) {
        QStringList fields;
        fields << QString::number(a.hostKey) << a.hostAddress << a.hostName << a.device << a.param
               << QString::number(a.state) << QString::number(a.acknowledged) << a.ackUser
               << QString::number(a.ackState) << a.ackComment;
        rows << fields.join(QLatin1Char('|'));
    }
    return rows;
}
