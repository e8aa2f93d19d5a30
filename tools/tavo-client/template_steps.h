#pragma once

#include "step.h"

#include <QCoreApplication>
#include <QVector>

class Device;

/**
 * Templates one device at a time: a template file applied to a device of a
 * connected host, and a device's values written as a template file. Each
 * action or parameter is one step of the outcome.
 */
class TemplateSteps
{
    Q_DECLARE_TR_FUNCTIONS(TemplateSteps)

public:
    /// Writes the actions of the file @p path on the device @p deviceName of
    /// the host @p hostKey. An action for another device class is skipped,
    /// as the kernel does; a file that cannot be read writes nothing.
    static QVector<Step> apply(const QString& path, int hostKey, const QString& deviceName);
    /// Writes the current values of @p device that a template can carry back
    /// into the file @p path; the last step tells whether the file was
    /// written.
    static QVector<Step> write(const QString& path, const Device* device);
};
