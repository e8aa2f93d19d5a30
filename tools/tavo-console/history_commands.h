#pragma once

#include <QString>

class UserCapabilities;

/**
 * tavo-console's history modes, which read the history and end the program
 * instead of watching hosts: --history[=<since>], --alarms and
 * --ack=<id> [--comment=<text>].
 */
struct HistoryCommands
{
    /// The history's location: --history-db=, else the per-user SQLite file.
    QString location;
    bool history = false;
    /// --history=<since>: an ISO date and time (UTC) or an age such as "90m",
    /// "2h", "7d"; empty: everything.
    QString since;
    int limit = 1000;
    /// --history-days=<n>: how long records are kept.
    int retentionDays = 90;
    bool alarms = false;
    qint64 ackId = 0;
    QString comment;

    /// Takes its options from @p arguments; false with @p error for a bad one.
    bool parse(const QStringList& arguments, QString* error);
    bool wanted() const { return history || alarms || ackId > 0; }
    /// Runs the mode and returns the program's exit code. @p user acknowledges;
    /// @p users (may hold no users) decides whether @p user may.
    int run(const QString& user, const UserCapabilities& users) const;
};
