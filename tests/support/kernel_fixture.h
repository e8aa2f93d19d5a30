#pragma once

#include "resource_dir.h"
#include "share_restorer.h"
#include "testlog.h"

#include <QScriptEngine>

#include <memory>

class ClassDb;

/**
 * What every kernel test needs before it can load a class: the share globals
 * saved and restored, a recording log and a script engine published, and a
 * temporary resource directory to write class files into.
 */
class KernelFixture
{
public:
    KernelFixture();
    ~KernelFixture();
    KernelFixture(const KernelFixture&) = delete;
    KernelFixture& operator=(const KernelFixture&) = delete;

    /// Writes @p body, wrapped in a classlist document, below xml_classes/.
    QString writeClassFile(const QString& relative, const QByteArray& body) const;
    /// Writes @p content as it stands below xml_classes/.
    QString writeRawClassFile(const QString& relative, const QByteArray& content) const
    {
        return dir.writeFile(QStringLiteral("xml_classes/") + relative, content);
    }
    QString classesDir() const { return dir.filePath(QStringLiteral("xml_classes")); }

    /// A class database over xml_classes/, published as share::classDb for
    /// the life of the fixture.
    ClassDb* loadClasses();

    ShareRestorer restorer;
    TestLog log;
    LogInstaller logInstaller {&log};
    QScriptEngine engine;
    ResourceDir dir;

private:
    std::unique_ptr<ClassDb> m_classDb;
};

class DeviceDb;

/// Every parameter of each device that @p db gains from now on is read each
/// second, as by a client subscribed to everything.
void readEveryParamOfNewDevices(DeviceDb* db);
