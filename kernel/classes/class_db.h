#pragma once

#include "foundation/tavo_global_namespace.h"
#include "tavo_kernel_export.h"

#include <QMap>
#include <QObject>
#include <QString>
#include <QVector>

class DeviceClass;
class QByteArray;

/**
 * The database of device classes, read once from the class description files
 * below share::xmlClassesPath and read-only afterwards. It owns every class.
 */
class TAVO_KERNEL_EXPORT ClassDb : public QObject
{
    Q_OBJECT

public:
    /// Creates the system class "SERVICE", then loads share::xmlClassesPath.
    explicit ClassDb(QObject* parent = nullptr);
    ~ClassDb() override;

    /// Adds and adopts @p deviceClass; false, with the caller keeping it, when
    /// its name is taken.
    bool appendDeviceClass(DeviceClass* deviceClass);
    void createSystemDeviceClass();
    /// Loads every "*.xml" and "*.XML" file below @p path; a bad file is
    /// reported and skipped.
    void loadDir(const QString& path);
    bool loadFromFile(const QString& path);

    QMap<QString, DeviceClass*> deviceClasses;
    QVector<DeviceClass*> deviceClassList;

private:
    Q_DISABLE_COPY(ClassDb)
};

/// Converts a value text into the stored form of @p type: the value word for
/// the numeric types, bytes for the others. A pointer may be null when the
/// caller does not expect that form; asking for it anyway is an error.
TAVO_KERNEL_EXPORT bool imageToParamType(const QString& text, Tavo::ParamType type,
                                         unsigned long* value, QByteArray* bytes);
TAVO_KERNEL_EXPORT unsigned long ulong_typecast_from_int(int value);
TAVO_KERNEL_EXPORT unsigned long ulong_typecast_from_float(float value);
