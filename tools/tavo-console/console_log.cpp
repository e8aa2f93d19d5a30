#include "console_log.h"

#include "foundation/safe_text.h"

#include <QDateTime>

#include <cstdio>

ConsoleLog::ConsoleLog(bool debug, const QStringList& wanted, QObject* parent)
    : AbstractLog(parent)
{
    setDebugMode(true); // what is wanted is decided per group
    // A group is switched on by registering its name before the library
    // does; the library then finds it under the same number.
    for (const QString& name : wanted)
        groups.at(getGroupIndex(name))->debug = true;
    // --debug alone wants every group, also those the library registers
    // later.
    if (debug) {
        connect(this, &AbstractLog::groupChanged, this, [this] {
            for (LogGroupItem* group : qAsConst(groups))
                group->debug = true;
        });
    }
}

// Log texts carry what hosts and files said: one entry stays one line and
// cannot steer the terminal.
void ConsoleLog::write(const char* sink, const QString& text)
{
    std::fprintf(stderr, "%s %-7s %s\n",
                 qPrintable(QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz"))), sink,
                 qPrintable(utils::escapeControlCharacters(text)));
    std::fflush(stderr);
}

void ConsoleLog::logMessage(const QString& text)
{
    if (testFilter(text))
        write("info", text);
}

void ConsoleLog::logDebug(int group, const QString& text)
{
    if (isDebugMode(group) && testFilter(text))
        write("debug", text);
}

void ConsoleLog::logWarning(const QString& text)
{
    write("warning", text);
}

void ConsoleLog::logError(const QString& text)
{
    write("error", text);
}

void ConsoleLog::logEvent(const QString& text, Tavo::AlarmType)
{
    write("alarm", text);
}
