#pragma once

#include "history/history_record.h"

#include <QAbstractTableModel>
#include <QList>
#include <QTimer>

class HistoryStore;

/**
 * One page of the recorded history, newest first, as the store answers the
 * filter. The first page follows what is recorded (re-read at most once a
 * second); the later pages stay as they were read, so that a page being
 * read does not shift under the reader.
 */
class HistoryModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        TimeColumn,
        KindColumn,
        HostColumn,
        DeviceColumn,
        ParamColumn,
        StateColumn,
        DetailColumn,
        UserColumn,
        ColumnCount
    };
    enum Role {
        HostKeyRole = Qt::UserRole + 1, ///< int
        DeviceNameRole, ///< QString
        ParamNameRole, ///< QString
        KindRole, ///< int: HistoryRecord::Kind
        StateRole, ///< int
    };

    explicit HistoryModel(HistoryStore* store, QObject* parent = nullptr);
    ~HistoryModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    /// Back to the first page. The filter's offset and limit are the model's.
    void setFilter(const HistoryFilter& filter);
    HistoryFilter filter() const { return m_filter; }
    void setPageSize(int rows);
    int pageSize() const { return m_pageSize; }
    /// From 0.
    int page() const { return m_page; }
    bool hasNextPage() const { return m_hasNext; }
    void nextPage();
    void previousPage();
    /// Reads the page again.
    void refresh();

    static QString kindText(int kind);

Q_SIGNALS:
    void pageChanged();

private:
    HistoryStore* m_store;
    HistoryFilter m_filter;
    QList<HistoryRecord> m_records;
    int m_pageSize = 100;
    int m_page = 0;
    bool m_hasNext = false;
    QTimer m_follow;
};
