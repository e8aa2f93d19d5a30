#pragma once

#include "alarms/alarm_action.h"
#include "foundation/tavo_global_namespace.h"
#include "tavo_kernel_export.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QMultiMap>
#include <QObject>
#include <QString>
#include <QVector>

/**
 * One parameter class: everything a device of a class needs to create one of
 * its parameters. Numeric values (limits, step, default, variants) are kept
 * as the 32-bit value word, INT and FLOAT as their bit patterns.
 *
 * Parameter classes are children of the device class that holds them; the
 * lists and maps below only refer to objects owned there.
 */
class TAVO_KERNEL_EXPORT ParamClass : public QObject
{
    Q_OBJECT

public:
    explicit ParamClass(QObject* parent = nullptr);
    ~ParamClass() override;

    QString name;
    QString humanName;
    /// Parameter of the same device of which this one is a bit field.
    QString basename;
    /// Description, already in display mark-up.
    QString info;
    QString oid;
    bool isVirtual = false;
    /// A built-in virtual parameter that no class file has given a script yet.
    bool isPredefined = true;
    QString script;
    /// Script argument name to the name of the parameter that supplies it.
    QMap<QString, QString> args;
    QString alarmScript;
    QMultiMap<Tavo::AlarmType, QList<AlarmAction>> alarmActions;
    qint32 dim = 1;
    /// First bit within the base parameter; element i is bit (bit + i).
    qint32 bit = -1;
    /// 1 read only, 2 write only, 3 read and write. Files that give no access
    /// element leave the read-only default, the safe choice for equipment.
    qint32 access = 1;
    Tavo::ParamType type = Tavo::UINT;
    /// BER tag of the value on SNMP hosts.
    qint32 snmpType = 2;
    bool hasMinValue = false;
    bool hasMaxValue = false;
    quint32 minValue = 0;
    quint32 maxValue = 0;
    quint32 step = 1;
    bool hasDefValue = false;
    quint32 defValue = 0;
    QByteArray defBytes;
    QVector<quint32> variants;
    QMap<quint32, QString> variantNames;
    bool isAlias = false;
    bool isReference = false;
    bool isExecutable = false;
    QString targetClass;
    QString targetParam;
    QList<ParamClass*> aliases;
    QMap<QString, ParamClass*> aliasMap;

private:
    Q_DISABLE_COPY(ParamClass)
};

/**
 * One device class: its parameter classes by key and in order of addition,
 * and its references into other classes. The built-in virtual parameter
 * "alarm" is always the first entry.
 */
class TAVO_KERNEL_EXPORT DeviceClass : public QObject
{
    Q_OBJECT

public:
    explicit DeviceClass(QObject* parent = nullptr);
    ~DeviceClass() override;

    /// Adds @p paramClass under its key ("name", or "name[]" for an array) and
    /// adopts it; false, with the caller keeping it, when the key is taken.
    bool appendParamClass(ParamClass* paramClass);
    /// Installs a virtual parameter read from a file. The caller keeps
    /// @p paramClass: its script and arguments are copied.
    bool setVirtualParamClass(ParamClass* paramClass);
    /// Adds the built-in virtual parameter "alarm".
    void createVirtualParams();

    /// The key under which a parameter class of this name and dimension is kept.
    static QString paramKey(const QString& name, qint32 dim);

    QString name;
    QString interfaceName;
    QString oid;
    QMap<QString, ParamClass*> paramClasses;
    QVector<ParamClass*> paramClassList;
    QList<ParamClass*> references;
    QMap<QString, ParamClass*> referenceMap;

private:
    Q_DISABLE_COPY(DeviceClass)
};
