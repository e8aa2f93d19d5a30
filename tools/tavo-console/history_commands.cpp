#include "history_commands.h"

#include "acknowledging.h"

#include "foundation/app_shared.h"
#include "foundation/safe_text.h"
#include "history/history_store.h"
#include "users/user_capabilities.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QStringList>

#include <cstdio>

namespace {

QString timeText(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(Qt::ISODateWithMs);
}

QString stateText(int state)
{
    return state == -2 ? QStringLiteral("unknown") : share::alarmStateToStr(Tavo::AlarmType(state));
}

// Since when, in UTC milliseconds; -1 for a text that is neither an age nor
// a time.
qint64 sinceMs(const QString& text)
{
    static const QRegularExpression age(QStringLiteral("^(\\d+)([smhd])$"));
    const QRegularExpressionMatch match = age.match(text);
    if (match.hasMatch()) {
        const qint64 count = match.captured(1).toLongLong();
        const QChar unit = match.captured(2).at(0);
        const qint64 seconds = unit == QLatin1Char('s') ? 1
            : unit == QLatin1Char('m')                  ? 60
            : unit == QLatin1Char('h')                  ? 3600
                                                        : 86400;
        return QDateTime::currentMSecsSinceEpoch() - count * seconds * 1000;
    }
    QDateTime time = QDateTime::fromString(text, Qt::ISODate);
    if (!time.isValid())
        return -1;
    if (time.timeSpec() == Qt::LocalTime)
        time.setTimeSpec(Qt::UTC);
    return time.toMSecsSinceEpoch();
}

QString recordLine(const HistoryRecord& record)
{
    QString what;
    switch (record.kind) {
    case HistoryRecord::StateChange:
        what = QStringLiteral("STATE %1.%2 %3 (was %4)")
                   .arg(record.device, record.param, stateText(record.state),
                        stateText(record.oldState));
        break;
    case HistoryRecord::Write:
        what = QStringLiteral("WRITE %1.%2 = %3 (was %4) by %5")
                   .arg(record.device, record.param, record.text, record.oldText,
                        record.user.isEmpty() ? QStringLiteral("-") : record.user);
        break;
    case HistoryRecord::Connected:
        what = QStringLiteral("CONNECTED");
        break;
    case HistoryRecord::Disconnected:
        what = QStringLiteral("DISCONNECTED");
        break;
    case HistoryRecord::Reaction:
        what = QStringLiteral("REACTION %1.%2 %3").arg(record.device, record.param, record.text);
        break;
    case HistoryRecord::Acknowledged:
        what = QStringLiteral("ACK %1.%2 %3 by %4: %5")
                   .arg(record.device, record.param, stateText(record.state), record.user,
                        record.text);
        break;
    case HistoryRecord::Flapping:
        what = QStringLiteral("FLAPPING %1.%2 %3")
                   .arg(record.device, record.param, stateText(record.state));
        break;
    case HistoryRecord::Suppressed:
        what = QStringLiteral("SUPPRESSED %1.%2 %3 (was %4)")
                   .arg(record.device, record.param, stateText(record.state),
                        stateText(record.oldState));
        break;
    case HistoryRecord::Value:
        what = QStringLiteral("VALUE %1.%2 = %3").arg(record.device, record.param, record.text);
        break;
    }
    const QString host = record.hostName.isEmpty() ? record.hostAddress : record.hostName;
    return QStringLiteral("%1 #%2 %3 %4")
        .arg(timeText(record.timeMs))
        .arg(record.id)
        .arg(host, what);
}

void print(const QString& line)
{
    std::printf("%s\n", qPrintable(utils::escapeControlCharacters(line.trimmed())));
}

} // namespace

bool HistoryCommands::parse(const QStringList& arguments, QString* error)
{
    for (const QString& argument : arguments) {
        bool ok = true;
        if (argument == QLatin1String("--history")) {
            history = true;
        } else if (argument.startsWith(QLatin1String("--history="))) {
            history = true;
            since = argument.mid(10);
            ok = sinceMs(since) >= 0;
        } else if (argument.startsWith(QLatin1String("--history-db="))) {
            location = argument.mid(13);
            ok = !location.isEmpty();
        } else if (argument.startsWith(QLatin1String("--history-limit="))) {
            limit = argument.mid(16).toInt(&ok);
            ok = ok && limit > 0;
        } else if (argument.startsWith(QLatin1String("--history-days="))) {
            retentionDays = argument.mid(15).toInt(&ok);
            ok = ok && retentionDays > 0;
        } else if (argument == QLatin1String("--alarms")) {
            alarms = true;
        } else if (argument.startsWith(QLatin1String("--ack="))) {
            ackId = argument.mid(6).toLongLong(&ok);
            ok = ok && ackId > 0;
        } else if (argument.startsWith(QLatin1String("--comment="))) {
            comment = argument.mid(10);
        }
        if (!ok) {
            *error = QStringLiteral("bad option '%1'").arg(argument);
            return false;
        }
    }
    if (location.isEmpty())
        location = HistoryStore::defaultSqlitePath();
    return true;
}

int HistoryCommands::run(const QString& user, const UserCapabilities& users) const
{
    HistoryStore store;
    QString error;
    if (!store.open(location, &error)) {
        std::fprintf(stderr, "tavo-console: the history cannot be opened: %s\n", qPrintable(error));
        return 5;
    }
    if (ackId > 0) {
        if (!Acknowledging::mayAcknowledge(users)) {
            std::fprintf(stderr,
                         "tavo-console: user '%s' may not acknowledge (needs the "
                         "capability 'write')\n",
                         qPrintable(user));
            return 4;
        }
        const QString who = Acknowledging::operatorName(users);
        if (!store.acknowledge(ackId, who, comment, &error)) {
            std::fprintf(stderr, "tavo-console: %s\n", qPrintable(error));
            return 6;
        }
        store.flush();
        print(QStringLiteral("ACKNOWLEDGED #%1 by %2").arg(ackId).arg(who));
        return 0;
    }
    if (alarms) {
        for (const ActiveAlarm& alarm : store.activeAlarms()) {
            const QString host = alarm.hostName.isEmpty() ? alarm.hostAddress : alarm.hostName;
            QString line = QStringLiteral("ALARM #%1 %2 %3 %4.%5 since %6")
                               .arg(alarm.id)
                               .arg(stateText(alarm.state), host, alarm.device, alarm.param,
                                    timeText(alarm.sinceMs));
            if (alarm.acknowledged)
                line += QStringLiteral(" acknowledged by %1 at %2: %3")
                            .arg(alarm.ackUser, timeText(alarm.ackTimeMs), alarm.ackComment);
            print(line);
        }
    }
    if (history) {
        HistoryFilter filter;
        filter.fromMs = since.isEmpty() ? -1 : sinceMs(since);
        filter.limit = limit;
        // Newest first from the store; an operator reads a log from the top.
        const QList<HistoryRecord> records = store.query(filter);
        for (auto it = records.crbegin(); it != records.crend(); ++it)
            print(recordLine(*it));
    }
    return 0;
}
