#pragma once

#include <QAbstractItemModel>
#include <QMap>
#include <QString>

class AlarmModel;
class EngineBox;
class FolderItem;
class GraphItem;
class HostGraph;
class NodeAttr;

/// What it takes to reach a host, as the host dialog edits it.
struct HostSettings
{
    QString alias;
    QString url;
    quint16 port = 0; // 0: the protocol's default
    QString hostType;
    QString protocol; // empty: the host type's
    QMap<QString, QString> vars;
    QString description;
};

/**
 * The host graph as a tree of folders and hosts: the graph's own items, no
 * copies. Each host shows whether it is connected, and every row the most
 * severe alarm state active below it. Folders and hosts are added, changed,
 * moved and removed through this model, which keeps their keys; the graph
 * is saved to the user's file after each change, and a save that fails is
 * announced with saveFailed(). Hosts that others create or delete in the
 * graph come and go with their engines; folders change only through here.
 * Rows: a folder's subfolders, then its hosts, each in key order.
 */
class HostTreeModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    enum Column { NameColumn, AddressColumn, StateColumn, ColumnCount };
    enum Role {
        KeyRole = Qt::UserRole + 1, ///< int: the item's key
        IsHostRole, ///< bool
        SeverityRole, ///< int: Tavo::AlarmType, -1 (NORM) when none
        ConnectedRole, ///< bool, hosts only
    };

    /// @p alarms may be null (no severity colours).
    HostTreeModel(HostGraph* graph, EngineBox* engines, AlarmModel* alarms,
                  QObject* parent = nullptr);
    ~HostTreeModel() override;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    NodeAttr* hostAt(const QModelIndex& index) const;
    FolderItem* folderAt(const QModelIndex& index) const;
    QModelIndex indexOfKey(int key, int column = 0) const;

    /// The new folder; null when @p alias is empty.
    FolderItem* addFolder(int parentKey, const QString& alias);
    /// The new host, not yet connected; null with the reason in @p error.
    NodeAttr* addHost(int parentKey, const HostSettings& settings, QString* error);
    /// Changes a host in place: same key, a new connection when it had one.
    bool editHost(int key, const HostSettings& settings, QString* error);
    bool renameFolder(int key, const QString& alias);
    /// Puts an item into the folder @p newParentKey (0: the top level); a
    /// folder cannot go below itself.
    bool moveItem(int key, int newParentKey);
    /// The item, with everything below a folder.
    bool removeItem(int key);
    static HostSettings settingsOf(const NodeAttr* host);

Q_SIGNALS:
    void saveFailed(const QString& path);

private:
    class Private;
    Private* const d;
};
