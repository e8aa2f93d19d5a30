#include "connections/adapter.h"

#include <algorithm>

// ---------------------------------------------------------------------------
// Agent

Agent::Agent(const QString& parameterName, int parameterIndex, QObject* parent)
    : QObject(parent)
    , parameterName(parameterName)
    , parameterIndex(parameterIndex)
{
}

Agent::~Agent() = default;

// ---------------------------------------------------------------------------
// Adapter

Adapter::Adapter(const QString& deviceName, QObject* parent)
    : QObject(parent)
    , deviceName(deviceName)
{
    // "<class>_<base tag><tag>": the last four characters are the tags.
    if (deviceName.size() < 5) {
        className = deviceName;
        return;
    }
    className = deviceName.left(deviceName.size() - 5);
    bool isHex = false;
    const int tags = deviceName.right(4).toInt(&isHex, 16);
    if (isHex) {
        tag = tags % 256;
        baseTag = tags / 256;
    }
}

Adapter::~Adapter()
{
    if (ticketId >= 0)
        emit signalDeleteTickets(ticketId);
}

Agent* Adapter::createAgent(const QString& name, int index)
{
    auto* agent = new Agent(name, index, this);
    agents.append(agent);
    agentsByName.insert(name, agent);
    return agent;
}

int Adapter::getAgentTag(int position, bool* ok) const
{
    const bool inside = position >= 0 && position < agents.size();
    if (ok)
        *ok = inside;
    return inside ? agents.at(position)->tag : -1;
}

void* Adapter::getAgentCustomData(int position, bool* ok) const
{
    const bool inside = position >= 0 && position < agents.size();
    if (ok)
        *ok = inside;
    return inside ? agents.at(position)->customData : nullptr;
}

void Adapter::setAutoreadPeriod(int iAgentIndex, int iPeriodSec)
{
    if (iPeriodSec == 0 && ticketId < 0)
        return;
    emit signalSetAutoreadPeriod(iAgentIndex, ticketId, iPeriodSec);
}

void Adapter::setAutoreadPeriod(int iPeriodSec)
{
    if (iPeriodSec == 0 && ticketId < 0)
        return;
    for (const Agent* agent : qAsConst(agents))
        emit signalSetAutoreadPeriod(agent->parameterIndex, ticketId, iPeriodSec);
}

// ---------------------------------------------------------------------------
// EngineBroker

EngineBroker::EngineBroker(NodeAttr* node, QObject* parent)
    : QObject(parent)
    , m_node(node)
{
}

EngineBroker::~EngineBroker() = default;

void EngineBroker::addAdapter(Adapter* adapter)
{
    adaptersByDeviceName.insert(adapter->deviceName, adapter);
    if (adapter->devicePosition >= 0)
        addAdapterInList(adapter, adapter->devicePosition);
}

Adapter* EngineBroker::getAdapterInList(int position) const
{
    return position >= 0 && position < adapterList.size() ? adapterList.at(position) : nullptr;
}

void EngineBroker::clearAdapterInList(Adapter* adapter)
{
    const int position = adapter->devicePosition;
    if (position >= 0 && position < adapterList.size())
        adapterList[position] = nullptr;
}

Adapter* EngineBroker::getAdapterInMapAndCorrectList(const QString& name, int position)
{
    Adapter* adapter = adaptersByDeviceName.value(name);
    if (!adapter)
        return nullptr;
    const int old = adapter->devicePosition;
    if (old >= 0 && old < adapterList.size() && adapterList.at(old) == adapter)
        adapterList[old] = nullptr;
    addAdapterInList(adapter, position);
    adapter->devicePosition = position;
    return adapter;
}

Adapter* EngineBroker::findAdapterByDeviceName(const QString& name) const
{
    return adaptersByDeviceName.value(name);
}

Adapter* EngineBroker::takeAdapterByDeviceName(const QString& name)
{
    Adapter* adapter = adaptersByDeviceName.take(name);
    if (!adapter)
        return nullptr;
    // Nulled, not removed: the list is indexed by device position, and
    // closing the gap would move every later adapter to a wrong position.
    std::replace(adapterList.begin(), adapterList.end(), adapter, static_cast<Adapter*>(nullptr));
    return adapter;
}

void EngineBroker::addAdapterInList(Adapter* adapter, int position)
{
    if (position < 0)
        return;
    while (adapterList.size() <= position)
        adapterList.append(nullptr);
    adapterList[position] = adapter;
}
