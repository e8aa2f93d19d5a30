#pragma once

#include "foundation/abstractlog.h"

#include <QAbstractTableModel>
#include <QPointer>
#include <QSortFilterProxyModel>
#include <QStringList>

/**
 * The kernel's log for a window: the client's log object and the model of
 * its last entries (at most MaxEntries; the oldest go first) with the sink,
 * the debug group and the time of each.
 *
 * Entries are kept in a ring, so that a full log takes a new entry in
 * constant time, and appends are gathered and inserted together shortly
 * after (a flood of lines costs the views one insertion, not one each):
 * rowCount() grows on the event loop, not in append(). Texts are shown
 * with their control characters escaped.
 */
class LogModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Sink { Message, Debug, Warning, Error, Event };
    Q_ENUM(Sink)
    enum Column { TimeColumn, SinkColumn, GroupColumn, TextColumn, ColumnCount };
    enum Role { SinkRole = Qt::UserRole + 1, GroupRole };
    static constexpr int MaxEntries = 20000;

    /// @p capacity: how many entries are kept (MaxEntries unless a test
    /// wants a small ring).
    explicit LogModel(QObject* parent = nullptr, int capacity = MaxEntries);
    ~LogModel() override;

    /// @p group: the debug group of a Debug entry, -1 for the other sinks.
    void append(Sink sink, int group, const QString& text);
    /// An alarm event, shown in the colour of @p state.
    void appendEvent(const QString& text, Tavo::AlarmType state);
    /// The names shown for the debug groups, by group number.
    void setGroupNames(const QStringList& names);
    int capacity() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    static QString sinkName(Sink sink);

private:
    class Private;
    Private* const d;
};

/**
 * The client's log object: every sink into a LogModel. The global debug
 * switch starts on, so that what is traced is decided per group (all start
 * off); setDebugMode(false) silences every group at once. Information and
 * debug texts pass the log's filter as well, as on the console.
 */
class GuiLog : public AbstractLog
{
    Q_OBJECT

public:
    explicit GuiLog(LogModel* model, QObject* parent = nullptr);

    void logMessage(const QString& text) override;
    void logDebug(int group, const QString& text) override;
    void logWarning(const QString& text) override;
    void logError(const QString& text) override;
    void logEvent(const QString& text, Tavo::AlarmType type) override;
    /// Debug output of one group on or off (all groups start off).
    void setGroupEnabled(int group, bool on);
    QStringList groupNames() const;

private:
    // The kernel logs until its teardown, which may come after the window.
    QPointer<LogModel> m_model;
};

/**
 * The log filtered by sink, by debug group and by a search text (ignoring
 * case, in the text as shown). The group narrows the debug entries only: the
 * other sinks have no group and stay governed by their own switches, so that
 * errors remain in sight while one group is traced.
 */
class LogFilterModel : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit LogFilterModel(QObject* parent = nullptr);
    void setSinkShown(LogModel::Sink sink, bool shown);
    /// -1: every group.
    void setGroup(int group);
    void setSearchText(const QString& text);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    quint32 m_sinks = 0x1f;
    int m_group = -1;
    QString m_search;
};
