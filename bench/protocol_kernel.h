#pragma once

#include "classes/class_db.h"
#include "connections/protocol_manager.h"
#include "foundation/app_shared.h"
#include "hosttypes/host_type_db.h"

#include <QDir>
#include <QFile>
#include <QScriptEngine>
#include <QTemporaryDir>

#include <memory>

/**
 * The central objects a client publishes before it makes engines: a class
 * database over @p classFile (none when empty), the host types (only the
 * built-in one) and the protocol manager over the test protocol plug-ins.
 */
struct ProtocolKernel
{
    explicit ProtocolKernel(const QByteArray& classFile = QByteArray())
    {
        if (!classFile.isEmpty()) {
            QFile file(QDir(dir.path()).filePath(QStringLiteral("classes.xml")));
            if (!file.open(QIODevice::WriteOnly) || file.write(classFile) != classFile.size())
                qFatal("cannot write the class file");
        }
        share::isSingleMode = true; // no per-user file behind the benchmark's back
        share::scriptEngine = &engine;
        share::xmlClassesPath = dir.path();
        share::xmlNodeTypesPath = dir.path();
        classDb = std::make_unique<ClassDb>(nullptr);
        share::classDb = classDb.get();
        hostTypes = std::make_unique<HostTypeDb>(nullptr);
        share::hostTypeDb = hostTypes.get();
        protocols.loadPlugins(QStringLiteral(TAVO_TEST_PROTOCOLS_DIR "/good"));
        share::protocolManager = &protocols;
        if (protocols.getDefaultProtocolPort(QStringLiteral("test-tcp")) == 0)
            qFatal("the test protocol plug-ins are not built in " TAVO_TEST_PROTOCOLS_DIR);
    }
    ~ProtocolKernel()
    {
        share::protocolManager = nullptr;
        share::hostTypeDb = nullptr;
        share::classDb = nullptr;
        share::scriptEngine = nullptr;
    }
    ProtocolKernel(const ProtocolKernel&) = delete;
    ProtocolKernel& operator=(const ProtocolKernel&) = delete;

    QTemporaryDir dir;
    QScriptEngine engine;
    std::unique_ptr<ClassDb> classDb;
    std::unique_ptr<HostTypeDb> hostTypes;
    ProtocolManager protocols;
};
