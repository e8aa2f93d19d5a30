#include "hostgraph/host_graph.h"

#include "connections/engine_box.h"
#include "connections/protocol_manager.h"
#include "foundation/app_shared.h"
#include "foundation/log_p.h"
#include "hosttypes/host_type_db.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include <vector>

namespace {

QMap<QString, QString> protocolTemplate(const QString& protocolName)
{
    return share::protocolManager ? share::protocolManager->getCustomVars(protocolName)
                                  : QMap<QString, QString>();
}

} // namespace

// ---------------------------------------------------------------------------
// Items

GraphItem::GraphItem(int key, int parentKey, const QString& alias, QObject* parent)
    : QObject(parent)
    , m_key(key)
    , m_parentKey(parentKey)
    , m_alias(alias)
{
}

GraphItem::~GraphItem() = default;

FolderItem::FolderItem(int key, int parentKey, const QString& alias, QObject* parent)
    : GraphItem(key, parentKey, alias, parent)
{
}

FolderItem::~FolderItem() = default;

BoxDeviceItem::BoxDeviceItem(int key, int parentKey, const QString& alias, QObject* parent,
                             const QString& configFile)
    : FolderItem(key, parentKey, alias, parent)
    , configFile(configFile)
{
}

BoxDeviceItem::~BoxDeviceItem() = default;

NodeAttr::NodeAttr(int key, int parentKey, const QString& alias, const QString& hostTypeName,
                   const QString& url, const QString& protocolName, unsigned short port,
                   QObject* parent)
    : GraphItem(key, parentKey, alias, parent)
    , m_url(url)
    , m_port(port)
    , m_protocolName(protocolName)
    , m_hostTypeName(hostTypeName)
    , m_customVars(protocolTemplate(protocolName))
{
}

NodeAttr::~NodeAttr() = default;

QString NodeAttr::getConnectString() const
{
    return QStringLiteral("%1#%2").arg(m_url).arg(m_port);
}

void NodeAttr::setProtocolName(const QString& name)
{
    if (name == m_protocolName)
        return;
    m_protocolName = name;
    m_customVars = protocolTemplate(name);
    Q_EMIT signalProtocolNameChanged(name);
}

bool NodeAttr::setCustomVarValue(const QString& name, const QString& value)
{
    auto it = m_customVars.find(name);
    if (it == m_customVars.end())
        return false;
    *it = value;
    return true;
}

// ---------------------------------------------------------------------------
// The graph

HostGraph::HostGraph(QObject* parent)
    : QObject(parent)
{
    if (share::isSingleMode)
        return;
    fileName = userFilePath();
    modified = false;
    loadFromFile(fileName);
}

HostGraph::~HostGraph() = default;

QString HostGraph::userFilePath()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("tavo-client"),
                     share::xmlHostGraphFile)
        .fileName();
}

int HostGraph::createKey() const
{
    // Both maps are sorted: walk them together for the first gap.
    int key = 1;
    auto folder = foldersByKey.lowerBound(key);
    auto host = hostsByKey.lowerBound(key);
    for (;;) {
        while (folder != foldersByKey.cend() && folder.key() < key)
            ++folder;
        while (host != hostsByKey.cend() && host.key() < key)
            ++host;
        const bool taken = (folder != foldersByKey.cend() && folder.key() == key) ||
            (host != hostsByKey.cend() && host.key() == key);
        if (!taken)
            return key;
        ++key;
    }
}

FolderItem* HostGraph::enterFolder(FolderItem* folder)
{
    foldersByKey.insert(folder->key(), folder);
    folderList.append(folder);
    modified = true;
    return folder;
}

FolderItem* HostGraph::createFolder(int key, int parentKey, const QString& alias)
{
    if (key < 0)
        key = createKey();
    else if (foldersByKey.contains(key))
        return nullptr;
    return enterFolder(new FolderItem(key, parentKey, alias, this));
}

FolderItem* HostGraph::createBoxFolder(int key, int parentKey, const QString& alias,
                                       const QString& configFile)
{
    if (key < 0)
        key = createKey();
    else if (foldersByKey.contains(key))
        return nullptr;
    return enterFolder(new BoxDeviceItem(key, parentKey, alias, this, configFile));
}

NodeAttr* HostGraph::createNodeAttr(int key, const QString& hostTypeName,
                                    const QString& protocolName, const QString& url,
                                    unsigned short port, int parentKey, const QString& alias)
{
    if (key < 0) {
        key = createKey();
    } else if (hostsByKey.contains(key)) {
        tavolog::error(tr("[HostGraph::createHost()] Key %1 already exists.").arg(key));
        return nullptr;
    }
    if (!share::protocolManager ||
        share::protocolManager->getDefaultProtocolPort(protocolName) == 0) {
        tavolog::error(
            tr("[HostGraph::createHost()] Protocol '%1' does not exists.").arg(protocolName));
        return nullptr;
    }
    const QString type = share::hostTypeDb && share::hostTypeDb->checkTypeName(hostTypeName)
        ? hostTypeName
        : NULL_HOST_TYPE;
    auto* node = new NodeAttr(key, parentKey, alias, type, url, protocolName, port, this);
    hostsByKey.insert(key, node);
    hostList.append(node);
    if (share::engineBox)
        share::engineBox->createEngine(node);
    modified = true;
    return node;
}

bool HostGraph::deleteHost(int key)
{
    NodeAttr* node = hostsByKey.value(key);
    if (!node)
        return false;
    if (share::engineBox)
        share::engineBox->deleteEngine(key);
    hostsByKey.remove(key);
    hostList.removeOne(node);
    delete node;
    modified = true;
    return true;
}

bool HostGraph::deleteFolder(int key)
{
    FolderItem* top = foldersByKey.value(key);
    if (!top)
        return false;
    const int folders = folderList.size();
    const int hosts = hostList.size();
    std::vector<FolderItem*> stack {top};
    while (!stack.empty()) {
        FolderItem* folder = stack.back();
        stack.pop_back();
        const int folderKey = folder->key();
        // Collected first: deleteHost() changes the list under the loop.
        QList<int> hostKeys;
        for (const NodeAttr* node : qAsConst(hostList)) {
            if (node->parentKey() == folderKey)
                hostKeys.append(node->key());
        }
        for (int hostKey : qAsConst(hostKeys))
            deleteHost(hostKey);
        for (FolderItem* child : qAsConst(folderList)) {
            // A folder that names itself as its parent must not come back.
            if (child->parentKey() == folderKey && child != folder)
                stack.push_back(child);
        }
        foldersByKey.remove(folderKey);
        folderList.removeOne(folder);
        delete folder;
    }
    if (folders != folderList.size() || hosts != hostList.size())
        modified = true;
    return true;
}

void HostGraph::checkSave()
{
    if (share::isSingleMode || !modified)
        return;
    const QString path = userFilePath();
    const QString dir = QFileInfo(path).absolutePath();
    if (!QDir(dir).exists())
        QDir().mkpath(dir);
    saveToFile(path);
}
