#include "hostgraph/host_graph.h"

#include "connections/protocol_manager.h"
#include "foundation/app_shared.h"

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
