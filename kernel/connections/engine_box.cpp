#include "connections/engine_box.h"

#include "connections/adapter.h"
#include "connections/engine.h"
#include "foundation/log_p.h"
#include "hostgraph/host_graph.h"

#include <algorithm>

// ---------------------------------------------------------------------------
// BrokerBox

BrokerBox::BrokerBox(QObject* parent)
    : QObject(parent)
{
}

BrokerBox::~BrokerBox() = default;

void BrokerBox::addEngineBroker(EngineBroker* broker, int position)
{
    if (!broker || !broker->nodeAttr())
        return;
    brokersByKey.insert(broker->nodeAttr()->key(), broker);
    addEngineBrokerInList(broker, position);
}

void BrokerBox::deleteEngineBroker(EngineBroker* broker)
{
    if (!broker || !broker->nodeAttr())
        return;
    auto it = brokersByKey.find(broker->nodeAttr()->key());
    if (it == brokersByKey.end())
        return;
    brokersByKey.erase(it);
    // Holes, not removal: the positions of the other brokers are cached by
    // terminals and must not move.
    std::replace(brokerList.begin(), brokerList.end(), broker, static_cast<EngineBroker*>(nullptr));
    broker->setParent(nullptr);
    broker->deleteLater();
}

void BrokerBox::addEngineBrokerInList(EngineBroker* broker, int position)
{
    if (position < 0)
        return;
    while (brokerList.size() <= position)
        brokerList.append(nullptr);
    brokerList[position] = broker;
}

EngineBroker* BrokerBox::getBrokerInList(int position) const
{
    return position >= 0 && position < brokerList.size() ? brokerList.at(position) : nullptr;
}

EngineBroker* BrokerBox::getBrokerInMap(int key, int position)
{
    EngineBroker* broker = brokersByKey.value(key);
    if (broker && position >= 0)
        addEngineBrokerInList(broker, position);
    return broker;
}

// ---------------------------------------------------------------------------
// EngineBox

EngineBox::EngineBox(QObject* parent)
    : QObject(parent)
{
}

EngineBox::~EngineBox() = default;

Engine* EngineBox::createEngine(NodeAttr* node)
{
    if (!node)
        return nullptr;
    auto* engine = new Engine(node, this);
    tavolog::message(tr("Engine has created. Protocol '%1' used.").arg(node->protocolName()));
    node->engineIndex = engines.size();
    engines.append(engine);
    enginesByUrl.insert(node->url(), engine);
    enginesByKey.insert(node->key(), engine);
    Q_EMIT signalEngineAppended(node->key());
    return engine;
}

void EngineBox::deleteEngine(int key)
{
    Engine* engine = enginesByKey.value(key);
    if (!engine) {
        tavolog::error(tr("[EngineBox::deleteEngine] Engine by key '%1' is NULL").arg(key));
        return;
    }
    deleteEngine(engine);
}

void EngineBox::deleteEngine(Engine* engine)
{
    if (!engine)
        return;
    NodeAttr* node = engine->nodeAttr();
    const int key = node ? node->key() : -1;
    Q_EMIT signalAboutToEngineDelete(key);

    if (node) {
        auto byUrl = enginesByUrl.find(node->url());
        // Another host with the same url may have taken the entry since.
        if (byUrl != enginesByUrl.end() && byUrl.value() == engine)
            enginesByUrl.erase(byUrl);
        enginesByKey.remove(key);
    }
    const int position = engines.indexOf(engine);
    if (position >= 0) {
        for (int i = position + 1; i < engines.size(); ++i) {
            if (NodeAttr* later = engines.at(i)->nodeAttr())
                later->engineIndex = i - 1;
        }
        engines.removeAt(position);
    }
    stamp = stamp >= MaxDeletionStamp ? 0 : stamp + 1;
    engine->deleteLater();
}

Engine* EngineBox::getEngine(int key) const
{
    return enginesByKey.value(key);
}

NodeAttr* EngineBox::getNodeAttr(int key) const
{
    Engine* engine = getEngine(key);
    return engine ? engine->nodeAttr() : nullptr;
}

Engine* EngineBox::getEngineByNodeAttr(NodeAttr* node) const
{
    for (Engine* engine : engines) {
        if (engine->nodeAttr() == node)
            return engine;
    }
    return nullptr;
}

namespace {

bool varsMatch(const NodeAttr* node, const QMap<QString, QString>& vars)
{
    const QMap<QString, QString> own = node->customVars();
    for (auto it = vars.cbegin(); it != vars.cend(); ++it) {
        auto found = own.constFind(it.key());
        if (found != own.cend() && found.value() != it.value())
            return false;
    }
    return true;
}

} // namespace

QList<Engine*> EngineBox::getEngineList(const QString& url, unsigned short port,
                                        const QMap<QString, QString>& vars) const
{
    QList<Engine*> found;
    for (Engine* engine : enginesByKey) {
        const NodeAttr* node = engine->nodeAttr();
        if (!url.isEmpty() && node->url() != url)
            continue;
        if (port != 0 && node->port() != port)
            continue;
        if (varsMatch(node, vars))
            found.append(engine);
    }
    return found;
}

QList<Engine*> EngineBox::getEngineList(const QString& url, const QString& hostTypeName,
                                        const QMap<QString, QString>& vars) const
{
    QList<Engine*> found;
    for (Engine* engine : enginesByKey) {
        const NodeAttr* node = engine->nodeAttr();
        if (!url.isEmpty() && node->url() != url)
            continue;
        if (!hostTypeName.isEmpty() && node->hostTypeName() != hostTypeName)
            continue;
        if (varsMatch(node, vars))
            found.append(engine);
    }
    return found;
}

bool EngineBox::isCurrent(const EngineBroker* broker) const
{
    return broker && broker->cachedDeletionStamp == stamp;
}

EngineBroker* EngineBox::findBrokerByReliableEngineIndex(BrokerBox* box, int position)
{
    if (!box)
        return nullptr;
    EngineBroker* broker = box->getBrokerInList(position);
    if (isCurrent(broker))
        return broker;
    if (position < 0 || position >= engines.size())
        return nullptr;
    const NodeAttr* node = engines.at(position)->nodeAttr();
    broker = node ? box->getBrokerInMap(node->key(), position) : nullptr;
    if (broker) {
        broker->cachedEnginePosition = position;
        broker->cachedDeletionStamp = stamp;
    }
    return broker;
}

EngineBroker* EngineBox::findBrokerByUnreliableBrokerIndex(BrokerBox* box, int& position, int key)
{
    if (!box)
        return nullptr;
    EngineBroker* broker = box->getBrokerInList(position);
    if (isCurrent(broker))
        return broker;
    Engine* engine = getEngine(key);
    if (!engine) {
        tavolog::error(
            tr("[EngineBox::findBrokerByUnreliableBrokerIndex] Engine by key '%1' is NULL")
                .arg(key));
        return nullptr;
    }
    position = engine->nodeAttr()->engineIndex;
    broker = box->getBrokerInMap(key, position);
    if (broker) {
        broker->cachedEnginePosition = position;
        broker->cachedDeletionStamp = stamp;
    }
    return broker;
}

void EngineBox::editEngineMap(const QString& oldUrl, const QString& newUrl, Engine* engine)
{
    auto it = enginesByUrl.find(oldUrl);
    if (it != enginesByUrl.end() && it.value() == engine)
        enginesByUrl.erase(it);
    enginesByUrl.insert(newUrl, engine);
}

void EngineBox::slotTerminalIsAboutToClose(int iDestNodeAttrKey, int iSrcTerminalIndex)
{
    if (iDestNodeAttrKey < 0) {
        for (Engine* engine : qAsConst(engines))
            engine->resetScheduleBlock(iSrcTerminalIndex);
        return;
    }
    Engine* engine = getEngine(iDestNodeAttrKey);
    if (!engine) {
        tavolog::error(tr("[EngineBox::slotTerminalIsAboutToClose] No engine for the host key "
                          "'%1': the blocks of terminal %2 stay")
                           .arg(iDestNodeAttrKey)
                           .arg(iSrcTerminalIndex));
        return;
    }
    engine->resetScheduleBlock(iSrcTerminalIndex);
}
