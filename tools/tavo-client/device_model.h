#pragma once

#include <QAbstractListModel>

class Device;
class DeviceDb;

/**
 * The devices of one host, as the device database announces them appearing
 * and vanishing; its own list, no copies.
 */
class DeviceModel : public QAbstractListModel
{
    Q_OBJECT

public:
    explicit DeviceModel(QObject* parent = nullptr);
    ~DeviceModel() override;

    /// Null shows nothing.
    void setDeviceDb(DeviceDb* db);
    DeviceDb* deviceDb() const;
    Device* deviceAt(const QModelIndex& index) const;
    QModelIndex indexOf(const QString& deviceName) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    class Private;
    Private* const d;
};
