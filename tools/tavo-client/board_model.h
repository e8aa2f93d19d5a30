#pragma once

#include <QAbstractItemModel>

class BoardController;

/**
 * The observed board: the watched hosts, each with the devices expected on
 * it. Hosts and devices are the controller's own board; only what its
 * reports carry, whether each device was last seen present, is kept here.
 * A host that is not watched (not connected, or just connected) shows its
 * devices as unknown. Reports are gathered and told to the views at most
 * once per repaint interval.
 */
class BoardModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    enum Column { NameColumn, StateColumn, ColumnCount };
    enum Presence {
        Unwatched, ///< the host is not watched
        Unknown, ///< watched, but not reported yet
        Present,
        Missing,
    };
    enum Role {
        PresenceRole = Qt::UserRole + 1, ///< int: Presence; of a host, the worst of its devices
        HostNameRole, ///< QString: the host's url, as the board names it
        DeviceNameRole, ///< QString, devices only
    };

    /// @p controller may be null (an empty board).
    explicit BoardModel(BoardController* controller, QObject* parent = nullptr);
    ~BoardModel() override;

    QModelIndex indexOfHost(const QString& hostName, int column = NameColumn) const;
    QModelIndex indexOfDevice(const QString& hostName, const QString& deviceName,
                              int column = NameColumn) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    class Private;
    Private* const d;
};
