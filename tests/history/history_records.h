#pragma once

// Records as the history tests write them, and what they read back.

#include "history/history_record.h"

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

inline QStringList textsOf(const QList<HistoryRecord>& records)
{
    QStringList texts;
    for (const HistoryRecord& r : records)
        texts << r.text;
    return texts;
}
