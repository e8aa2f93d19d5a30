#pragma once

#include "foundation/abstractlog.h"

#include <QList>
#include <QString>
#include <QStringList>

/**
 * A log that keeps every line it is given, in order and with its sink, so that
 * tests can assert the exact texts the library wrote. It also opens the
 * protected switches and filter of AbstractLog to the test.
 */
class TestLog : public AbstractLog
{
    Q_OBJECT

public:
    enum class Sink { Message, Debug, Warning, Error, Event };

    struct Entry
    {
        Sink sink;
        QString text;
        int group = -1;
        Tavo::AlarmType alarm = Tavo::NORM;
    };

    using AbstractLog::AbstractLog;

    void logMessage(const QString& text) override { m_entries.append({Sink::Message, text}); }
    void logDebug(int group, const QString& text) override
    {
        m_entries.append({Sink::Debug, text, group});
    }
    void logWarning(const QString& text) override { m_entries.append({Sink::Warning, text}); }
    void logError(const QString& text) override { m_entries.append({Sink::Error, text}); }
    void logEvent(const QString& text, Tavo::AlarmType type) override
    {
        m_entries.append({Sink::Event, text, -1, type});
    }

    const QList<Entry>& entries() const { return m_entries; }
    QStringList texts(Sink sink) const;
    QStringList messages() const { return texts(Sink::Message); }
    QStringList debugs() const { return texts(Sink::Debug); }
    QStringList warnings() const { return texts(Sink::Warning); }
    QStringList errors() const { return texts(Sink::Error); }
    QStringList events() const { return texts(Sink::Event); }
    /// Whether any sink received exactly @p text.
    bool contains(const QString& text) const;
    void clear() { m_entries.clear(); }

    // Switches that a real client sets from its user interface.
    void setGroupDebug(int group, bool on);
    void setPlainFilter(const QString& text);
    void setRegExpFilter(const QRegExp& regExp);
    void setFilterOn(bool on) { filterOn = on; }
    int groupCount() const { return groups.size(); }
    QString groupName(int group) const
    {
        return group >= 0 && group < groups.size() ? groups.at(group)->name : QString();
    }

private:
    QList<Entry> m_entries;
};

/// Publishes a log as share::pLog for the life of the guard.
class LogInstaller
{
public:
    explicit LogInstaller(AbstractLog* log);
    ~LogInstaller();
    LogInstaller(const LogInstaller&) = delete;
    LogInstaller& operator=(const LogInstaller&) = delete;

private:
    AbstractLog* m_previous;
};
