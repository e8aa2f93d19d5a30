#include "device_model.h"

#include "devices/device_db.h"
#include "devices/paramlist.h"
#include "foundation/safe_text.h"

#include <QPointer>
#include <QVector>

class DeviceModel::Private
{
public:
    /// Position in the database's list of the device shown in @p row.
    int listPosition(int row) const
    {
        int position = row;
        for (int skipped : serviceRows) {
            if (skipped <= position)
                ++position;
            else
                break;
        }
        return position;
    }

    /// The row of the device at list position @p position, or -1 for a
    /// device that is not shown.
    int rowOf(int position) const
    {
        int row = position;
        for (int skipped : serviceRows) {
            if (skipped == position)
                return -1;
            if (skipped < position)
                --row;
        }
        return row;
    }

    int shownInDb() const { return db ? db->devices.size() - serviceRows.size() : 0; }

    // The service device carries the host's own messages, never parameters
    // an operator reads, so it is left out; its position is remembered so
    // that rows map onto the database's list without a copy of it.
    void findServiceDevices()
    {
        serviceRows.clear();
        if (!db)
            return;
        for (int i = 0; i < db->devices.size(); ++i) {
            const Device* device = db->devices.at(i);
            if (!device || device->service)
                serviceRows.append(i);
        }
    }

    QPointer<DeviceDb> db;
    QVector<int> serviceRows;
    /// The rows announced to the views; the database may hold devices that
    /// were made without a signal, which are announced with the next one.
    int rows = 0;
    bool removing = false;
    QList<QMetaObject::Connection> connections;
};

DeviceModel::DeviceModel(QObject* parent)
    : QAbstractListModel(parent)
    , d(new Private)
{
}

DeviceModel::~DeviceModel()
{
    delete d;
}

void DeviceModel::setDeviceDb(DeviceDb* db)
{
    if (db == d->db)
        return;
    beginResetModel();
    for (const QMetaObject::Connection& connection : qAsConst(d->connections))
        disconnect(connection);
    d->connections.clear();
    d->db = db;
    d->findServiceDevices();
    d->rows = d->shownInDb();
    d->removing = false;
    if (db) {
        d->connections << connect(db, &DeviceDb::signalDeviceAppended, this, [this] {
            d->findServiceDevices();
            const int shown = d->shownInDb();
            if (shown <= d->rows)
                return;
            beginInsertRows({}, d->rows, shown - 1);
            d->rows = shown;
            endInsertRows();
        });
        d->connections << connect(db, &DeviceDb::signalAboutToDeviceDelete, this,
                                  [this](const QString& name) {
                                      Device* device = d->db->findDevice(name);
                                      if (!device)
                                          return;
                                      const int row = d->rowOf(d->db->devices.indexOf(device));
                                      if (row < 0 || row >= d->rows)
                                          return;
                                      beginRemoveRows({}, row, row);
                                      d->removing = true;
                                  });
        d->connections << connect(db, &DeviceDb::signalDeviceDelete, this, [this] {
            d->findServiceDevices();
            if (!d->removing)
                return;
            d->removing = false;
            --d->rows;
            endRemoveRows();
        });
        // The database goes with its connection; what it held is gone by then.
        d->connections << connect(db, &QObject::destroyed, this, [this] {
            beginResetModel();
            d->serviceRows.clear();
            d->rows = 0;
            d->removing = false;
            endResetModel();
        });
    }
    endResetModel();
}

DeviceDb* DeviceModel::deviceDb() const
{
    return d->db;
}

Device* DeviceModel::deviceAt(const QModelIndex& index) const
{
    if (!d->db ||
        !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return nullptr;
    const int position = d->listPosition(index.row());
    if (position < 0 || position >= d->db->devices.size())
        return nullptr;
    return d->db->devices.at(position);
}

QModelIndex DeviceModel::indexOf(const QString& deviceName) const
{
    if (!d->db)
        return {};
    Device* device = d->db->findDevice(deviceName);
    const int row = device ? d->rowOf(d->db->devices.indexOf(device)) : -1;
    if (row < 0 || row >= d->rows)
        return {};
    return index(row, 0);
}

int DeviceModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || !d->db ? 0 : d->rows;
}

QVariant DeviceModel::data(const QModelIndex& index, int role) const
{
    const Device* device = deviceAt(index);
    if (!device)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        // Devices are named by what the host reports.
        return utils::escapeControlCharacters(device->name);
    case Qt::ToolTipRole: {
        QString tip = tr("Class: %1").arg(utils::escapeControlCharacters(device->className));
        if (!device->interface.isEmpty())
            tip += QLatin1Char('\n') +
                tr("Interface: %1").arg(utils::escapeControlCharacters(device->interface));
        if (!device->text.isEmpty())
            tip += QLatin1Char('\n') + utils::escapeControlCharacters(device->text);
        return tip;
    }
    default:
        return {};
    }
}
