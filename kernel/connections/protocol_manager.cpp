#include "connections/protocol_manager.h"

#include "connections/i_protocol.h"
#include "connections/protocol.h"
#include "foundation/log_p.h"

#include <QDir>
#include <QLibrary>
#include <QPluginLoader>

ProtocolManager::ProtocolManager(QObject* parent)
    : QObject(parent)
{
}

// The prototypes belong to their plug-in loaders and stay until the process ends.
ProtocolManager::~ProtocolManager() = default;

int ProtocolManager::loadPlugins(const QString& dir)
{
    tavolog::message(
        tr("[ProtocolManager::loadPlugins()] Check directory '%1' for the protocols list")
            .arg(dir));

    const QDir directory(dir);
    const QStringList entries = directory.entryList(QDir::Files | QDir::NoSymLinks, QDir::Unsorted);
    int loaded = 0;
    for (const QString& entry : entries) {
        if (!QLibrary::isLibrary(entry))
            continue;
        const QString path = directory.absoluteFilePath(entry);
        QPluginLoader loader(path);
        QObject* root = loader.instance();
        if (!root) {
            tavolog::warning(tr("Can't resolve instance: %1").arg(loader.errorString()));
            continue;
        }
        auto* protocol = qobject_cast<IProtocol*>(root);
        if (!protocol) {
            tavolog::error(
                tr("The plug-in '%1' is not a protocol: its object can't be cast to IProtocol")
                    .arg(path));
            continue;
        }
        protocol->setAbsolutePath(directory.absolutePath());
        const QString name = protocol->getName();
        protocolNames.append(name);
        defaultPorts.insert(name, protocol->getPort());
        prototypes.insert(name, protocol);
        customVarTemplates.insert(name, protocol->getCustomVars());
        ++loaded;
    }

    tavolog::message(tr("Loaded %1 protocols").arg(loaded));
    return 0;
}

Protocol* ProtocolManager::createProtocol(const QString& name)
{
    IProtocol* prototype = prototypes.value(name);
    if (!prototype)
        return nullptr;
    auto* protocol = new Protocol(this);
    IProtocol* instance = prototype->createInstance(protocol);
    if (!instance) {
        delete protocol;
        return nullptr;
    }
    protocol->setPlugin(instance);
    return protocol;
}

int ProtocolManager::getDefaultProtocolPort(const QString& name) const
{
    return defaultPorts.value(name, 0);
}

QMap<QString, QString> ProtocolManager::getCustomVars(const QString& name) const
{
    return customVarTemplates.value(name);
}
