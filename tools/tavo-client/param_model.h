#pragma once

#include <QAbstractItemModel>

class Device;
class DeviceDb;
class Param;
class UserCapabilities;

/**
 * The parameters of one device: name, human name, value through its
 * presentation, alarm state, time of the last read and access. Bit
 * parameters and array elements are children of their base. While active
 * the model holds a ticket on every parameter at its period, so that the
 * host reads them; inactive (hidden) it holds none. Value updates are
 * gathered and told to the views at most once per repaint interval.
 * Writable values are edited through setData(), which goes through the
 * kernel's form parsing.
 */
class ParamModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    enum Column {
        NameColumn,
        HumanNameColumn,
        ValueColumn,
        StateColumn,
        LastReadColumn,
        AccessColumn,
        ColumnCount
    };
    enum Role {
        ParamRole = Qt::UserRole + 1, ///< const Param* (as void*)
        SeverityRole, ///< int: Tavo::AlarmType, -1 NORM, -2 unknown
        WritePendingRole, ///< bool
        VariantsRole, ///< QStringList: the texts a value may take
        MinimumRole, ///< QVariant: none, or the lower bound
        MaximumRole,
        StepRole,
    };

    explicit ParamModel(QObject* parent = nullptr);
    ~ParamModel() override;

    /// Null shows nothing; the previous device's tickets are given back.
    void setDevice(DeviceDb* db, Device* device);
    Device* device() const;
    /// Seconds between reads while active.
    void setPeriod(int seconds);
    int period() const;
    /// Tickets held only while active (the view is shown).
    void setActive(bool active);
    bool isActive() const;
    /// Radix of integer values (2, 8, 10, 16) and whether scaling applies.
    void setPresentation(int radix, bool scaled);
    /// Who edits: writes need the capability "write"; null allows all.
    void setUsers(const UserCapabilities* users);

    const Param* paramAt(const QModelIndex& index) const;
    QModelIndex indexOf(const QString& paramName, int column = NameColumn) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

public Q_SLOTS:
    /// For AlarmMonitor::paramStateChanged: the state of a parameter of this
    /// device changed.
    void paramStateChanged(const Param* param, int newState, int oldState);

Q_SIGNALS:
    /// A value the kernel did not accept, with its reason.
    void writeRefused(const QString& paramName, const QString& reason);

private:
    class Private;
    Private* const d;
};
