#include "host_tree_model.h"

#include "alarm_model.h"
#include "connections/engine.h"
#include "connections/engine_box.h"
#include "connections/protocol_manager.h"
#include "foundation/app_shared.h"
#include "foundation/safe_text.h"
#include "hostgraph/host_graph.h"
#include "hosttypes/host_type_db.h"

#include <QApplication>
#include <QPointer>
#include <QSet>
#include <QStyle>

#include <utility>
#include <vector>

namespace {

// The graph's items have no identity beyond their key, and the model
// recreates items with the same key to edit or move them; indexes therefore
// carry the key, with the low bit telling hosts from folders (a folder and a
// host may share a key in a hand-written file).
quintptr idOf(int key, bool host)
{
    return (quintptr(quint32(key)) << 1) | (host ? 1u : 0u);
}

int mostSevere(int a, int b)
{
    if (a < 0)
        return b;
    if (b < 0)
        return a;
    return qMin(a, b);
}

// What recreating a folder subtree needs to bring every item back unchanged.
struct FolderRecord
{
    int key;
    int parentKey;
    QString alias;
    bool box;
    QString configFile;
};

struct HostRecord
{
    int key;
    int parentKey;
    HostSettings settings;
    int autoconnect;
    bool reconnect;
};

} // namespace

class HostTreeModel::Private
{
public:
    Private(HostTreeModel* model, HostGraph* graph, EngineBox* engines, AlarmModel* alarms)
        : q(model)
        , graph(graph)
        , engines(engines)
        , alarms(alarms)
    {
    }

    // Rows: a folder's subfolders before its hosts, each in key order, so
    // that a row can be computed from the graph's sorted maps alone.
    FolderItem* parentFolder(const GraphItem* item) const;
    template<typename Fn> void forEachChild(const FolderItem* folder, Fn fn) const;
    int childCount(const FolderItem* folder) const;
    GraphItem* childAt(const FolderItem* folder, int row) const;
    int rowOf(const GraphItem* item, const FolderItem* parent) const;
    bool isBelow(const GraphItem* item, const FolderItem* folder) const;
    bool isHidden(const GraphItem* item) const;

    GraphItem* itemOf(const QModelIndex& index) const;
    QModelIndex indexOf(const GraphItem* item, int column = 0) const;
    QModelIndex parentIndexFor(int parentKey) const;
    FolderItem* folderOrTop(int key, bool* ok) const;

    int severityOf(const GraphItem* item) const;
    Engine* engineOf(NodeAttr* host) const;
    bool isConnected(NodeAttr* host) const;

    void watchEngine(int key);
    void engineAppended(int key);
    void engineAboutToBeDeleted(int key);
    void hostChanged(int key);
    void refreshRowAndAncestors(const GraphItem* item);
    void flushPending();

    void announceInserted(GraphItem* item);
    bool resolveProtocol(HostSettings* settings, QString* error) const;
    NodeAttr* createHost(int key, int parentKey, const HostSettings& settings, int autoconnect);
    HostRecord recordOf(NodeAttr* host) const;
    void recreateSubtree(FolderItem* folder, int newParentKey, const QString& newAlias);
    void reconnect(const QList<int>& keys);
    void save();

    HostTreeModel* const q;
    QPointer<HostGraph> graph;
    QPointer<EngineBox> engines;
    QPointer<AlarmModel> alarms;
    // While the model changes the graph itself it announces the rows; the
    // engine registry's signals must not announce them a second time, and
    // row data must not change in the middle of a structural change.
    int busy = 0;
    QSet<int> pendingHosts;
    // An item already in the graph whose insertion is being announced: the
    // rows before beginInsertRows() must not show it yet.
    const GraphItem* hidden = nullptr;
};

FolderItem* HostTreeModel::Private::parentFolder(const GraphItem* item) const
{
    FolderItem* folder = graph->foldersByKey.value(item->parentKey());
    // A folder naming itself as its parent is put at the top, as the graph
    // does when it deletes folders.
    return folder == item ? nullptr : folder;
}

template<typename Fn>
void HostTreeModel::Private::forEachChild(const FolderItem* folder, Fn fn) const
{
    if (!graph)
        return;
    for (FolderItem* child : qAsConst(graph->foldersByKey)) {
        if (child != hidden && parentFolder(child) == folder && !fn(child))
            return;
    }
    for (NodeAttr* child : qAsConst(graph->hostsByKey)) {
        if (child != hidden && parentFolder(child) == folder && !fn(child))
            return;
    }
}

int HostTreeModel::Private::childCount(const FolderItem* folder) const
{
    int count = 0;
    forEachChild(folder, [&count](GraphItem*) {
        ++count;
        return true;
    });
    return count;
}

GraphItem* HostTreeModel::Private::childAt(const FolderItem* folder, int row) const
{
    GraphItem* found = nullptr;
    int current = 0;
    forEachChild(folder, [&](GraphItem* child) {
        if (current++ < row)
            return true;
        found = child;
        return false;
    });
    return found;
}

int HostTreeModel::Private::rowOf(const GraphItem* item, const FolderItem* parent) const
{
    // Counted by order rather than found, so that it also gives the row an
    // item will take in a folder it is not in yet.
    const bool host = qobject_cast<const NodeAttr*>(item);
    int row = 0;
    forEachChild(parent, [&](GraphItem* child) {
        if (child == item)
            return false;
        const bool childHost = qobject_cast<NodeAttr*>(child);
        if (childHost == host && child->key() >= item->key())
            return false;
        if (childHost && !host)
            return false;
        ++row;
        return true;
    });
    return row;
}

bool HostTreeModel::Private::isBelow(const GraphItem* item, const FolderItem* folder) const
{
    // Bounded: a hand-written file may hold folders that are each other's
    // parents.
    int steps = graph->foldersByKey.size() + 1;
    for (FolderItem* up = parentFolder(item); up && steps-- > 0; up = parentFolder(up)) {
        if (up == folder)
            return true;
    }
    return false;
}

bool HostTreeModel::Private::isHidden(const GraphItem* item) const
{
    return item == hidden;
}

GraphItem* HostTreeModel::Private::itemOf(const QModelIndex& index) const
{
    if (!index.isValid() || !graph)
        return nullptr;
    const quintptr id = index.internalId();
    const int key = int(quint32(id >> 1));
    if (id & 1u)
        return graph->hostsByKey.value(key);
    return graph->foldersByKey.value(key);
}

QModelIndex HostTreeModel::Private::indexOf(const GraphItem* item, int column) const
{
    if (!item || isHidden(item))
        return {};
    const FolderItem* parent = parentFolder(item);
    return q->createIndex(rowOf(item, parent), column,
                          idOf(item->key(), qobject_cast<const NodeAttr*>(item)));
}

QModelIndex HostTreeModel::Private::parentIndexFor(int parentKey) const
{
    return indexOf(graph->foldersByKey.value(parentKey));
}

FolderItem* HostTreeModel::Private::folderOrTop(int key, bool* ok) const
{
    FolderItem* folder = graph->foldersByKey.value(key);
    *ok = folder || key == 0;
    return folder;
}

int HostTreeModel::Private::severityOf(const GraphItem* item) const
{
    if (!alarms)
        return Tavo::NORM;
    if (auto* host = qobject_cast<const NodeAttr*>(item))
        return alarms->severityOfHost(host->key());
    auto* folder = static_cast<const FolderItem*>(item);
    int severity = Tavo::NORM;
    for (const NodeAttr* host : qAsConst(graph->hostsByKey)) {
        if (isBelow(host, folder))
            severity = mostSevere(severity, alarms->severityOfHost(host->key()));
    }
    return severity;
}

Engine* HostTreeModel::Private::engineOf(NodeAttr* host) const
{
    if (!engines || !host)
        return nullptr;
    Engine* engine = engines->getEngine(host->key());
    return engine && engine->nodeAttr() == host ? engine : engines->getEngineByNodeAttr(host);
}

bool HostTreeModel::Private::isConnected(NodeAttr* host) const
{
    Engine* engine = engineOf(host);
    return engine && engine->isConnected();
}

void HostTreeModel::Private::watchEngine(int key)
{
    Engine* engine = engines ? engines->getEngine(key) : nullptr;
    if (!engine)
        return;
    // The model as context: a connection dies with either side.
    QObject::connect(
        engine, &Engine::signalSocketConnected, q, [this](int hostKey) { hostChanged(hostKey); },
        Qt::UniqueConnection);
    QObject::connect(
        engine, &Engine::signalSocketDisconnected, q, [this](int hostKey) { hostChanged(hostKey); },
        Qt::UniqueConnection);
}

void HostTreeModel::Private::engineAppended(int key)
{
    watchEngine(key);
    if (busy || !graph)
        return;
    // A host created outside the model, such as one from the command line.
    if (NodeAttr* host = graph->hostsByKey.value(key))
        announceInserted(host);
}

void HostTreeModel::Private::engineAboutToBeDeleted(int key)
{
    if (busy || !graph)
        return;
    // Outside the model only HostGraph::deleteHost() deletes engines: the
    // host leaves the graph right after this signal and is destroyed.
    NodeAttr* host = graph->hostsByKey.value(key);
    const QModelIndex index = indexOf(host);
    if (!index.isValid())
        return;
    const int parentKey = host->parentKey();
    q->beginRemoveRows(index.parent(), index.row(), index.row());
    ++busy;
    QObject::connect(host, &QObject::destroyed, q, [this, parentKey] {
        --busy;
        q->endRemoveRows();
        if (graph)
            refreshRowAndAncestors(graph->foldersByKey.value(parentKey));
        flushPending();
    });
}

void HostTreeModel::Private::hostChanged(int key)
{
    if (busy) {
        pendingHosts.insert(key);
        return;
    }
    if (graph)
        refreshRowAndAncestors(graph->hostsByKey.value(key));
}

void HostTreeModel::Private::refreshRowAndAncestors(const GraphItem* item)
{
    if (!graph)
        return;
    int steps = graph->foldersByKey.size() + 1;
    while (item && steps-- > 0) {
        const QModelIndex first = indexOf(item, NameColumn);
        if (!first.isValid())
            return;
        Q_EMIT q->dataChanged(first, first.siblingAtColumn(ColumnCount - 1));
        item = parentFolder(item);
    }
}

void HostTreeModel::Private::flushPending()
{
    if (busy)
        return;
    const QSet<int> keys = std::exchange(pendingHosts, {});
    for (int key : keys)
        hostChanged(key);
}

void HostTreeModel::Private::announceInserted(GraphItem* item)
{
    hidden = item;
    const FolderItem* parent = parentFolder(item);
    const QModelIndex parentIndex = indexOf(parent);
    const int row = rowOf(item, parent);
    q->beginInsertRows(parentIndex, row, row);
    hidden = nullptr;
    q->endInsertRows();
    refreshRowAndAncestors(parent);
}

bool HostTreeModel::Private::resolveProtocol(HostSettings* settings, QString* error) const
{
    settings->url = settings->url.trimmed();
    if (settings->url.isEmpty()) {
        if (error)
            *error = HostTreeModel::tr("The host has no address.");
        return false;
    }
    if (settings->alias.trimmed().isEmpty())
        settings->alias = settings->url;
    if (settings->protocol.isEmpty()) {
        const HostType* type =
            share::hostTypeDb ? share::hostTypeDb->findHostType(settings->hostType) : nullptr;
        settings->protocol =
            type && !type->protocolName.isEmpty() ? type->protocolName : QStringLiteral("tavo");
    }
    const int defaultPort = share::protocolManager
        ? share::protocolManager->getDefaultProtocolPort(settings->protocol)
        : 0;
    if (defaultPort == 0) {
        if (error)
            *error = HostTreeModel::tr("The protocol %1 is not loaded.")
                         .arg(utils::escapeControlCharacters(settings->protocol));
        return false;
    }
    if (settings->port == 0)
        settings->port = quint16(defaultPort);
    return true;
}

NodeAttr* HostTreeModel::Private::createHost(int key, int parentKey, const HostSettings& settings,
                                             int autoconnect)
{
    NodeAttr* host = graph->createNodeAttr(key, settings.hostType, settings.protocol, settings.url,
                                           settings.port, parentKey, settings.alias);
    if (!host)
        return nullptr;
    for (auto it = settings.vars.cbegin(); it != settings.vars.cend(); ++it)
        host->setCustomVarValue(it.key(), it.value());
    host->setDescription(settings.description);
    host->autoconnect = autoconnect;
    return host;
}

HostRecord HostTreeModel::Private::recordOf(NodeAttr* host) const
{
    Engine* engine = engineOf(host);
    return {host->key(), host->parentKey(), settingsOf(host), host->autoconnect,
            engine && (engine->isConnected() || engine->connecting)};
}

void HostTreeModel::Private::recreateSubtree(FolderItem* folder, int newParentKey,
                                             const QString& newAlias)
{
    // The graph has no setters: the folder and everything below it are
    // deleted and created again with the same keys. Each host gets a new
    // engine, reconnected when the old one was connected.
    std::vector<FolderRecord> folders;
    std::vector<HostRecord> hosts;
    std::vector<FolderItem*> stack {folder};
    while (!stack.empty()) {
        FolderItem* current = stack.back();
        stack.pop_back();
        auto* box = qobject_cast<BoxDeviceItem*>(current);
        folders.push_back({current->key(), current->parentKey(), current->alias(), box != nullptr,
                           box ? box->configFile : QString()});
        for (NodeAttr* host : qAsConst(graph->hostsByKey)) {
            if (host->parentKey() == current->key())
                hosts.push_back(recordOf(host));
        }
        for (FolderItem* child : qAsConst(graph->foldersByKey)) {
            if (child->parentKey() == current->key() && child != current)
                stack.push_back(child);
        }
    }
    folders.front().parentKey = newParentKey;
    folders.front().alias = newAlias;

    graph->deleteFolder(folder->key());
    QList<int> reconnectKeys;
    for (const FolderRecord& record : folders) {
        if (record.box)
            graph->createBoxFolder(record.key, record.parentKey, record.alias, record.configFile);
        else
            graph->createFolder(record.key, record.parentKey, record.alias);
    }
    for (const HostRecord& record : hosts) {
        if (createHost(record.key, record.parentKey, record.settings, record.autoconnect) &&
            record.reconnect)
            reconnectKeys.append(record.key);
    }
    reconnect(reconnectKeys);
}

void HostTreeModel::Private::reconnect(const QList<int>& keys)
{
    for (int key : keys) {
        if (Engine* engine = engineOf(graph->hostsByKey.value(key)))
            engine->connectToHost();
    }
}

void HostTreeModel::Private::save()
{
    graph->checkSave();
    if (!share::isSingleMode && graph->modified)
        Q_EMIT q->saveFailed(HostGraph::userFilePath());
}

// ---------------------------------------------------------------------------

HostTreeModel::HostTreeModel(HostGraph* graph, EngineBox* engines, AlarmModel* alarms,
                             QObject* parent)
    : QAbstractItemModel(parent)
    , d(new Private(this, graph, engines, alarms))
{
    if (graph) {
        // Without its graph the tree is empty; views must hear so.
        connect(graph, &QObject::destroyed, this, [this] {
            beginResetModel();
            endResetModel();
        });
    }
    if (engines) {
        connect(engines, &EngineBox::signalEngineAppended, this,
                [this](int key) { d->engineAppended(key); });
        connect(engines, &EngineBox::signalAboutToEngineDelete, this,
                [this](int key) { d->engineAboutToBeDeleted(key); });
        for (const int key : engines->enginesByKey.keys())
            d->watchEngine(key);
    }
    if (alarms) {
        connect(alarms, &AlarmModel::hostSeverityChanged, this,
                [this](int key) { d->hostChanged(key); });
    }
}

HostTreeModel::~HostTreeModel()
{
    delete d;
}

QModelIndex HostTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (!hasIndex(row, column, parent))
        return {};
    const GraphItem* parentItem = d->itemOf(parent);
    if (parent.isValid() && !qobject_cast<const FolderItem*>(parentItem))
        return {};
    const GraphItem* child = d->childAt(static_cast<const FolderItem*>(parentItem), row);
    if (!child)
        return {};
    return createIndex(row, column, idOf(child->key(), qobject_cast<const NodeAttr*>(child)));
}

QModelIndex HostTreeModel::parent(const QModelIndex& child) const
{
    const GraphItem* item = d->itemOf(child);
    return item ? d->indexOf(d->parentFolder(item)) : QModelIndex();
}

int HostTreeModel::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0)
        return 0;
    if (!parent.isValid())
        return d->childCount(nullptr);
    auto* folder = qobject_cast<const FolderItem*>(d->itemOf(parent));
    return folder ? d->childCount(folder) : 0;
}

int HostTreeModel::columnCount(const QModelIndex& parent) const
{
    Q_UNUSED(parent)
    return ColumnCount;
}

QVariant HostTreeModel::data(const QModelIndex& index, int role) const
{
    const GraphItem* item = d->itemOf(index);
    if (!item)
        return {};
    auto* host = qobject_cast<NodeAttr*>(const_cast<GraphItem*>(item));
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case NameColumn:
            return utils::escapeControlCharacters(item->alias());
        case AddressColumn:
            return host ? utils::escapeControlCharacters(
                              QStringLiteral("%1:%2").arg(host->url()).arg(host->port()))
                        : QVariant();
        case StateColumn:
            if (!host)
                return {};
            return d->isConnected(host) ? tr("connected") : tr("not connected");
        }
        return {};
    case Qt::ToolTipRole:
        return host && !host->description.isEmpty()
            ? QVariant(utils::escapeControlCharacters(host->description))
            : QVariant();
    case Qt::DecorationRole: {
        if (index.column() != NameColumn)
            return {};
        // Models outlive no application, but a console one has no style.
        auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
        if (!app)
            return {};
        return QApplication::style()->standardIcon(host ? QStyle::SP_ComputerIcon
                                                        : QStyle::SP_DirIcon);
    }
    case Qt::BackgroundRole:
    case Qt::ForegroundRole: {
        const int severity = d->severityOf(item);
        if (severity < 0)
            return {};
        const QColor colour = share::colorForAlarmType(Tavo::AlarmType(severity));
        if (role == Qt::BackgroundRole)
            return colour;
        // The severity colours run from dark red to yellow: text must stay
        // readable on all of them.
        return QColor(colour.lightness() < 128 ? Qt::white : Qt::black);
    }
    case KeyRole:
        return item->key();
    case IsHostRole:
        return host != nullptr;
    case SeverityRole:
        return d->severityOf(item);
    case ConnectedRole:
        return host ? QVariant(d->isConnected(host)) : QVariant();
    }
    return {};
}

QVariant HostTreeModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractItemModel::headerData(section, orientation, role);
    switch (section) {
    case NameColumn:
        return tr("Name");
    case AddressColumn:
        return tr("Address");
    case StateColumn:
        return tr("State");
    }
    return {};
}

Qt::ItemFlags HostTreeModel::flags(const QModelIndex& index) const
{
    const GraphItem* item = d->itemOf(index);
    if (!item)
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (qobject_cast<const NodeAttr*>(item))
        flags |= Qt::ItemNeverHasChildren;
    return flags;
}

NodeAttr* HostTreeModel::hostAt(const QModelIndex& index) const
{
    return qobject_cast<NodeAttr*>(d->itemOf(index));
}

FolderItem* HostTreeModel::folderAt(const QModelIndex& index) const
{
    return qobject_cast<FolderItem*>(d->itemOf(index));
}

QModelIndex HostTreeModel::indexOfKey(int key, int column) const
{
    if (!d->graph || column < 0 || column >= ColumnCount)
        return {};
    // Hosts first: the engines and the alarms name hosts by key.
    if (NodeAttr* host = d->graph->hostsByKey.value(key))
        return d->indexOf(host, column);
    return d->indexOf(d->graph->foldersByKey.value(key), column);
}

FolderItem* HostTreeModel::addFolder(int parentKey, const QString& alias)
{
    bool parentOk = false;
    if (!d->graph || alias.trimmed().isEmpty())
        return nullptr;
    d->folderOrTop(parentKey, &parentOk);
    if (!parentOk)
        return nullptr;
    ++d->busy;
    FolderItem* folder = d->graph->createFolder(d->graph->createKey(), parentKey, alias);
    --d->busy;
    if (folder)
        d->announceInserted(folder);
    d->flushPending();
    d->save();
    return folder;
}

NodeAttr* HostTreeModel::addHost(int parentKey, const HostSettings& settings, QString* error)
{
    bool parentOk = false;
    if (!d->graph)
        return nullptr;
    d->folderOrTop(parentKey, &parentOk);
    if (!parentOk) {
        if (error)
            *error = HostTreeModel::tr("No folder has the key %1.").arg(parentKey);
        return nullptr;
    }
    HostSettings resolved = settings;
    if (!d->resolveProtocol(&resolved, error))
        return nullptr;
    // Announced only once the variables and the description are in place.
    ++d->busy;
    NodeAttr* host = d->createHost(d->graph->createKey(), parentKey, resolved, 0);
    --d->busy;
    if (host) {
        d->announceInserted(host);
    } else if (error) {
        *error = HostTreeModel::tr("The host %1 cannot be created.")
                     .arg(utils::escapeControlCharacters(resolved.url));
    }
    d->flushPending();
    d->save();
    return host;
}

bool HostTreeModel::editHost(int key, const HostSettings& settings, QString* error)
{
    NodeAttr* host = d->graph ? d->graph->hostsByKey.value(key) : nullptr;
    if (!host) {
        if (error)
            *error = HostTreeModel::tr("No host has the key %1.").arg(key);
        return false;
    }
    HostSettings resolved = settings;
    if (!d->resolveProtocol(&resolved, error))
        return false;
    const HostRecord old = d->recordOf(host);

    // Same key and same folder: the row stays where it is, and indexes
    // carry the key, so only its data changes.
    ++d->busy;
    d->graph->deleteHost(key);
    host = d->createHost(key, old.parentKey, resolved, old.autoconnect);
    if (!host)
        host = d->createHost(key, old.parentKey, old.settings, old.autoconnect);
    --d->busy;
    if (!host) {
        // Not even the old settings are taken back: the row is gone.
        beginResetModel();
        endResetModel();
        if (error)
            *error = HostTreeModel::tr("The host %1 cannot be created.")
                         .arg(utils::escapeControlCharacters(resolved.url));
        d->save();
        return false;
    }
    if (old.reconnect)
        d->reconnect({key});
    d->refreshRowAndAncestors(host);
    d->flushPending();
    d->save();
    return true;
}

bool HostTreeModel::renameFolder(int key, const QString& alias)
{
    FolderItem* folder = d->graph ? d->graph->foldersByKey.value(key) : nullptr;
    if (!folder || alias.trimmed().isEmpty())
        return false;
    if (alias == folder->alias())
        return true;
    ++d->busy;
    d->recreateSubtree(folder, folder->parentKey(), alias);
    --d->busy;
    // Keys, parents and so rows are unchanged below the folder.
    d->refreshRowAndAncestors(d->graph->foldersByKey.value(key));
    for (NodeAttr* host : qAsConst(d->graph->hostsByKey)) {
        if (d->isBelow(host, d->graph->foldersByKey.value(key)))
            d->refreshRowAndAncestors(host);
    }
    d->flushPending();
    d->save();
    return true;
}

bool HostTreeModel::moveItem(int key, int newParentKey)
{
    if (!d->graph)
        return false;
    bool parentOk = false;
    FolderItem* newParent = d->folderOrTop(newParentKey, &parentOk);
    NodeAttr* host = d->graph->hostsByKey.value(key);
    FolderItem* folder = host ? nullptr : d->graph->foldersByKey.value(key);
    GraphItem* item = host ? static_cast<GraphItem*>(host) : folder;
    if (!parentOk || !item)
        return false;
    if (folder && newParent && (newParent == folder || d->isBelow(newParent, folder)))
        return false;
    FolderItem* oldParent = d->parentFolder(item);
    if (oldParent == newParent)
        return true;

    const QModelIndex from = d->indexOf(item);
    const QModelIndex to = d->indexOf(newParent);
    if (!beginMoveRows(from.parent(), from.row(), from.row(), to, d->rowOf(item, newParent)))
        return false;
    ++d->busy;
    if (host) {
        const HostRecord old = d->recordOf(host);
        d->graph->deleteHost(key);
        d->createHost(key, newParentKey, old.settings, old.autoconnect);
        if (old.reconnect)
            d->reconnect({key});
    } else {
        d->recreateSubtree(folder, newParentKey, folder->alias());
    }
    --d->busy;
    endMoveRows();
    // Alarms below the item now count for other folders.
    const int oldParentKey = oldParent ? oldParent->key() : 0;
    d->refreshRowAndAncestors(d->graph->foldersByKey.value(oldParentKey));
    d->refreshRowAndAncestors(host ? static_cast<GraphItem*>(d->graph->hostsByKey.value(key))
                                   : d->graph->foldersByKey.value(key));
    d->flushPending();
    d->save();
    return true;
}

bool HostTreeModel::removeItem(int key)
{
    if (!d->graph)
        return false;
    NodeAttr* host = d->graph->hostsByKey.value(key);
    GraphItem* item = host ? static_cast<GraphItem*>(host) : d->graph->foldersByKey.value(key);
    const QModelIndex index = d->indexOf(item);
    if (!index.isValid())
        return false;
    const int parentKey = item->parentKey();
    beginRemoveRows(index.parent(), index.row(), index.row());
    ++d->busy;
    if (host)
        d->graph->deleteHost(key);
    else
        d->graph->deleteFolder(key);
    --d->busy;
    endRemoveRows();
    d->refreshRowAndAncestors(d->graph->foldersByKey.value(parentKey));
    d->flushPending();
    d->save();
    return true;
}

HostSettings HostTreeModel::settingsOf(const NodeAttr* host)
{
    HostSettings settings;
    if (!host)
        return settings;
    settings.alias = host->alias();
    settings.url = host->url();
    settings.port = host->port();
    settings.hostType = host->hostTypeName();
    settings.protocol = host->protocolName();
    settings.vars = host->customVars();
    settings.description = host->description;
    return settings;
}
