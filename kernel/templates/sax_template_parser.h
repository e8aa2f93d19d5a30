#pragma once

#include "tavo_kernel_export.h"

#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QStringList>
#include <QXmlStreamReader>

class QFile;

/// The device class an action applies to.
class TAVO_KERNEL_EXPORT DeviceHelper
{
public:
    QString className;
};

/// What an action does with a parameter, or with devices.
class TAVO_KERNEL_EXPORT ParamHelper
{
public:
    enum Execute { Write = 0, Create = 1, Destroy = 2 };

    qint32 execute = Write;
    /// A Tavo::ParamType.
    qint32 type = 0;
    QString name;
    QString value;
};

/// The guard of an action: a parameter's value or the device's tags.
class TAVO_KERNEL_EXPORT ConditionHelper
{
public:
    enum Type { None = 0, ParamValue = 1, DeviceTag = 2 };

    qint32 type = None;
    QString btag;
    QString tag;
    QString name;
    QString value;
};

/**
 * One entry of a template or profile. Owns its parts; a part the file does
 * not give is null.
 */
class TAVO_KERNEL_EXPORT Action
{
public:
    Action();
    ~Action();
    Action(const Action&) = delete;
    Action& operator=(const Action&) = delete;

    DeviceHelper* device = nullptr;
    ParamHelper* param = nullptr;
    ConditionHelper* condition = nullptr;
};

/**
 * Reads template and profile files into action lists, and probes a file for
 * its kind and for the device classes its actions name. One reader per file.
 */
class TAVO_KERNEL_EXPORT SaxTemplateParser : public QXmlStreamReader
{
    Q_DECLARE_TR_FUNCTIONS(SaxTemplateParser)

public:
    SaxTemplateParser();

    /// Appends the file's actions to @p actions (the caller owns them); true
    /// when the whole file was read. Actions read before an error stay.
    bool readFile(const QString& path, QList<Action*>& actions);
    /// 1 for a template, 2 for a profile, 0 on any error.
    int isTemplate(const QString& path);
    /// The device classes the file's actions name, in file order.
    QStringList supportedDeviceClass(const QString& path);

    void readRootElement(QList<Action*>& actions);
    Action* readActionElement();
    DeviceHelper* readDeviceElement();
    ParamHelper* readParamElement();
    ConditionHelper* readConditionElement();
    void skipUnknownElement();

private:
    /// Logs what went wrong with @p file, if anything; true when nothing did.
    bool reportErrors(const QString& path, const QFile& file);
};
