#pragma once

#include "tavo_kernel_export.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

/// Name of the host type given to hosts whose type is unknown: "none".
TAVO_KERNEL_EXPORT extern const QString NULL_HOST_TYPE;

/**
 * One kind of host: the protocol it speaks by default and the device classes
 * it may carry.
 */
class TAVO_KERNEL_EXPORT HostType : public QObject
{
    Q_OBJECT

public:
    HostType(const QString& name, QObject* parent);
    ~HostType() override;

    QString hostTypeName() const { return name; }
    void setProtocolName(const QString& protocol) { protocolName = protocol; }
    void addDeviceClassName(const QString& className) { deviceClassNames.append(className); }
    /// Whether a host of this type may carry every class of @p names; never
    /// for an empty list or a type that lists no class.
    bool checkCompatibilityList(const QStringList* names) const;

    QString name;
    QString protocolName;
    QStringList deviceClassNames;

private:
    Q_DISABLE_COPY(HostType)
};

/**
 * The host types, read once from the files below share::xmlNodeTypesPath,
 * with the built-in type "none" added last. Owns every host type.
 */
class TAVO_KERNEL_EXPORT HostTypeDb : public QObject
{
    Q_OBJECT

public:
    explicit HostTypeDb(QObject* parent = nullptr);
    ~HostTypeDb() override;

    /// Lists and adopts @p hostType; a second type of a name replaces the
    /// first in the map but both stay listed.
    void addHostType(HostType* hostType);
    HostType* findHostType(const QString& name) const;
    bool checkTypeName(QString name) const;
    void loadDir(const QString& path);
    bool loadDb(const QString& path);

    QList<HostType*> hostTypes;
    QMap<QString, HostType*> hostTypeMap;

private:
    Q_DISABLE_COPY(HostTypeDb)
};
