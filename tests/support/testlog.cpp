#include "testlog.h"

#include "foundation/app_shared.h"

TestLog::TestLog(QObject* parent)
    : AbstractLog(parent)
{
}

void TestLog::logMessage(const QString& text)
{
    m_entries.append({Sink::Message, text});
}

void TestLog::logDebug(int group, const QString& text)
{
    m_entries.append({Sink::Debug, text, group});
}

void TestLog::logWarning(const QString& text)
{
    m_entries.append({Sink::Warning, text});
}

void TestLog::logError(const QString& text)
{
    m_entries.append({Sink::Error, text});
}

void TestLog::logEvent(const QString& text, Tavo::AlarmType type)
{
    m_entries.append({Sink::Event, text, -1, type});
}

QStringList TestLog::texts(Sink sink) const
{
    QStringList result;
    for (const Entry& entry : m_entries) {
        if (entry.sink == sink) {
            result.append(entry.text);
        }
    }
    return result;
}

bool TestLog::contains(const QString& text) const
{
    for (const Entry& entry : m_entries) {
        if (entry.text == text) {
            return true;
        }
    }
    return false;
}

void TestLog::setGroupDebug(int group, bool on)
{
    if (group >= 0 && group < groups.size()) {
        groups[group]->debug = on;
    }
}

void TestLog::setPlainFilter(const QString& text)
{
    filterIsRegExp = false;
    filterText = text;
}

void TestLog::setRegExpFilter(const QRegExp& regExp)
{
    filterIsRegExp = true;
    filterRegExp = regExp;
}

QString TestLog::groupName(int group) const
{
    return group >= 0 && group < groups.size() ? groups.at(group)->name : QString();
}

LogInstaller::LogInstaller(AbstractLog* log)
    : m_previous(share::pLog)
{
    share::pLog = log;
}

LogInstaller::~LogInstaller()
{
    share::pLog = m_previous;
}
