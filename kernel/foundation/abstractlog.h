#pragma once

#include "foundation/tavo_global_namespace.h"
#include "tavo_kernel_export.h"

#include <QObject>
#include <QRegExp>
#include <QString>
#include <QVector>

/// One named debug group of the log; its number is its position in the log.
struct LogGroupItem
{
    QString name;
    int index = 0;
    bool debug = false;
};

/**
 * The interface of the client's log. The library composes every message and
 * hands it to one of the five sinks; where the messages go is the client's
 * business. The log also decides which debug traces are wanted: a global
 * switch, named groups registered at run time with their own switches, and a
 * text filter that the sinks may consult.
 *
 * The filter and the group switches are set by the derived class.
 */
class TAVO_KERNEL_EXPORT AbstractLog : public QObject
{
    Q_OBJECT

public:
    explicit AbstractLog(QObject* parent = nullptr);
    ~AbstractLog() override;

    /// Number of the group called @p name; an unknown name registers a new group.
    int getGroupIndex(const QString& name);

    /// Whether traces of @p group are wanted: the global switch and the group's own.
    bool isDebugMode(int group) const;
    bool isDebugMode() const;
    void setDebugMode(bool on);

    /// Whether @p text passes the filter; everything passes while it is off.
    bool testFilter(const QString& text) const;

    virtual void logMessage(const QString& text) = 0;
    virtual void logDebug(int group, const QString& text) = 0;
    virtual void logWarning(const QString& text) = 0;
    virtual void logError(const QString& text) = 0;
    virtual void logEvent(const QString& text, Tavo::AlarmType type) = 0;

Q_SIGNALS:
    void groupChanged();

protected:
    QVector<LogGroupItem*> groups;
    bool debugMode = false;
    bool filterOn = false;
    bool filterIsRegExp = false;
    QString filterText;
    QRegExp filterRegExp;

private:
    Q_DISABLE_COPY(AbstractLog)
};
