#pragma once

#include <QAbstractTableModel>

class AlarmAcknowledgements;
struct ActiveAlarm;
class AlarmMonitor;
class FlapDamper;
class Param;

/**
 * Every parameter whose alarm state is not normal, as the alarm monitor
 * reports the changes: severity, host, device, parameter, value and since
 * when. The model keeps its rows sorted itself, most severe first, then
 * oldest first (a change of severity starts a new "since"), so a view needs
 * no proxy to show the order; rows move with beginMoveRows, so selections
 * follow them.
 *
 * With a monitor the model follows it and starts with the alarms already
 * active on the hosts of share::engineBox; without one it is fed through
 * paramStateChanged() alone. A row goes away with its parameter (a device
 * removed by its host, a host deleted).
 */
class AlarmModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        SeverityColumn,
        HostColumn,
        DeviceColumn,
        ParamColumn,
        ValueColumn,
        SinceColumn,
        AcknowledgedColumn,
        ColumnCount
    };
    enum Role {
        HostKeyRole = Qt::UserRole + 1, ///< int
        DeviceNameRole, ///< QString
        ParamNameRole, ///< QString
        SeverityRole, ///< int: Tavo::AlarmType
        AcknowledgedRole, ///< bool
        FlappingRole, ///< bool
    };

    explicit AlarmModel(AlarmMonitor* monitor, QObject* parent = nullptr);
    ~AlarmModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    /// Who acknowledged each alarm, from the history; none without.
    void setAcknowledgements(AlarmAcknowledgements* acknowledgements);
    /// Marks the parameters that @p damper holds as flapping; none without.
    void setFlapDamper(FlapDamper* damper);

    /// The most severe state active on the host @p key; -1 (NORM) for none.
    int severityOfHost(int key) const;
    /// How many alarms are active at each severity, 0 (EMERG) to 7 (DEBUG).
    QVector<int> countsBySeverity() const;

Q_SIGNALS:
    /// The host's most severe state may have changed.
    void hostSeverityChanged(int key);
    void countsChanged();

public Q_SLOTS:
    void paramStateChanged(const Param* param, int newState, int oldState);

private:
    /// The row's acknowledged alarm in the history; null when it is not.
    const ActiveAlarm* acknowledgementOf(int row) const;

    class Private;
    Private* const d;
};
