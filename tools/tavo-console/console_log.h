#pragma once

#include "foundation/abstractlog.h"

#include <QStringList>

/// Every sink to stderr, one line each, with the time and the sink's name.
class ConsoleLog : public AbstractLog
{
    Q_OBJECT

public:
    /// @p groups: debug groups switched on by name (the global switch is
    /// the --debug option).
    ConsoleLog(bool debug, const QStringList& groups, QObject* parent = nullptr);

    void logMessage(const QString& text) override;
    void logDebug(int group, const QString& text) override;
    void logWarning(const QString& text) override;
    void logError(const QString& text) override;
    void logEvent(const QString& text, Tavo::AlarmType type) override;

private:
    void write(const char* sink, const QString& text);
};
