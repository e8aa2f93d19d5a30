#include "testlog.h"

#include "foundation/app_shared.h"

#include <algorithm>

QStringList TestLog::texts(Sink sink) const
{
    QStringList result;
    for (const Entry& entry : m_entries)
        if (entry.sink == sink)
            result.append(entry.text);
    return result;
}

bool TestLog::contains(const QString& text) const
{
    return std::any_of(m_entries.begin(), m_entries.end(),
                       [&](const Entry& entry) { return entry.text == text; });
}

void TestLog::setGroupDebug(int group, bool on)
{
    if (group >= 0 && group < groups.size())
        groups[group]->debug = on;
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

LogInstaller::LogInstaller(AbstractLog* log)
    : m_previous(share::pLog)
{
    share::pLog = log;
}

LogInstaller::~LogInstaller()
{
    share::pLog = m_previous;
}
