#include "history/history_recorder.h"

#include "history/flap_damper.h"

#include "alarms/alarmmonitor.h"
#include "alarms/eventmonitor.h"
#include "connections/engine.h"
#include "connections/engine_box.h"
#include "devices/device_db.h"
#include "devices/paramlist.h"
#include "history/history_store.h"
#include "hostgraph/host_graph.h"

#include <QDateTime>
#include <QTimer>

namespace {

void fillHost(HistoryRecord& r, const Engine* engine, int key)
{
    r.hostKey = key;
    const NodeAttr* node = engine ? engine->nodeAttr() : nullptr;
    if (!node)
        return;
    r.hostKey = node->key();
    r.hostAddress = node->url() + QLatin1Char(':') + QString::number(node->port());
    r.hostName = node->alias();
}

const Engine* engineOf(const Device* device)
{
    const auto* db = device ? qobject_cast<const DeviceDb*>(device->parent()) : nullptr;
    return db ? qobject_cast<const Engine*>(db->parent()) : nullptr;
}

// A parameter outside an engine (being built or torn down) has no host.
bool fillSource(HistoryRecord& r, const Param* param)
{
    const Device* device = param ? param->getDevice() : nullptr;
    const Engine* engine = engineOf(device);
    if (!engine)
        return false;
    fillHost(r, engine, -1);
    r.device = device->name;
    r.param = param->DbEntity::name;
    return true;
}

} // namespace

HistoryRecorder::HistoryRecorder(HistoryStore* store, QObject* parent)
    : QObject(parent)
    , m_store(store)
{
}

HistoryRecorder::~HistoryRecorder()
{
    recordPendingReactions();
}

void HistoryRecorder::watch(AlarmMonitor* monitor)
{
    if (!monitor)
        return;
    // Connected after the event monitor, which the alarm monitor wires first:
    // the reactions of a change are known when the change reaches us.
    connect(monitor, &AlarmMonitor::paramStateChanged, this, &HistoryRecorder::slotStateChanged,
            Qt::UniqueConnection);
    if (monitor->eventMonitor)
        connect(monitor->eventMonitor, &EventMonitor::signalOpenTerminal, this,
                &HistoryRecorder::slotOpenTerminal, Qt::UniqueConnection);
}

void HistoryRecorder::watch(FlapDamper* damper)
{
    if (!damper)
        return;
    connect(damper, &FlapDamper::changeSuppressed, this, &HistoryRecorder::slotChangeSuppressed,
            Qt::UniqueConnection);
    connect(damper, &FlapDamper::flappingStarted, this, &HistoryRecorder::slotFlappingStarted,
            Qt::UniqueConnection);
}

void HistoryRecorder::slotChangeSuppressed(const Param* param, int state, int oldState)
{
    recordParamEvent(HistoryRecord::Suppressed, param, state, oldState);
}

void HistoryRecorder::slotFlappingStarted(const Param* param)
{
    recordParamEvent(HistoryRecord::Flapping, param, -1, -1);
}

bool HistoryRecorder::recordParamEvent(HistoryRecord::Kind kind, const Param* param, int state,
                                       int oldState, HistoryRecord* recorded, qint64 timeMs,
                                       const QString& text)
{
    HistoryRecord r;
    if (!m_store || !fillSource(r, param))
        return false;
    r.timeMs = timeMs >= 0 ? timeMs : QDateTime::currentMSecsSinceEpoch();
    r.kind = kind;
    r.state = state;
    r.oldState = oldState;
    r.text = text;
    m_store->record(r);
    if (recorded)
        *recorded = r;
    return true;
}

bool HistoryRecorder::recordValue(const Param* param, qint64 timeMs, double value)
{
    return recordParamEvent(HistoryRecord::Value, param, -1, -1, nullptr, timeMs,
                            QString::number(value, 'g', 17));
}

void HistoryRecorder::watch(EngineBox* box)
{
    if (!box)
        return;
    m_box = box;
    connect(box, &EngineBox::signalEngineAppended, this, &HistoryRecorder::slotEngineAppended,
            Qt::UniqueConnection);
    for (Engine* engine : box->enginesList())
        watchEngine(engine);
}

void HistoryRecorder::watchEngine(Engine* engine)
{
    if (!engine)
        return;
    connect(engine, &Engine::signalSocketConnected, this, &HistoryRecorder::slotSocketConnected,
            Qt::UniqueConnection);
    connect(engine, &Engine::signalSocketDisconnected, this,
            &HistoryRecorder::slotSocketDisconnected, Qt::UniqueConnection);
    DeviceDb* db = engine->deviceDb();
    if (!db)
        return;
    connect(db, &DeviceDb::signalDeviceAppended, this, &HistoryRecorder::slotDeviceAppended,
            Qt::UniqueConnection);
    for (Device* device : qAsConst(db->devices))
        watchDevice(device);
}

void HistoryRecorder::watchDevice(Device* device)
{
    if (device)
        connect(device, &Device::signalAboutToParamWrite, this,
                &HistoryRecorder::slotAboutToParamWrite, Qt::UniqueConnection);
}

void HistoryRecorder::setUser(const QString& user)
{
    m_user = user;
}

void HistoryRecorder::recordReaction(const QString& kind, const QString& detail, const Param* param,
                                     int state)
{
    HistoryRecord r;
    r.timeMs = QDateTime::currentMSecsSinceEpoch();
    r.kind = HistoryRecord::Reaction;
    r.text = detail.isEmpty() ? kind : kind + QStringLiteral(": ") + detail;
    r.user = m_user;
    r.state = state;
    if (param) {
        fillSource(r, param);
        if (m_store)
            m_store->record(r);
        return;
    }
    m_pendingReactions.append(r);
    if (!m_pendingScheduled) {
        m_pendingScheduled = true;
        QTimer::singleShot(0, this, &HistoryRecorder::recordPendingReactions);
    }
}

void HistoryRecorder::recordPendingReactions()
{
    m_pendingScheduled = false;
    if (m_store) {
        for (const HistoryRecord& r : qAsConst(m_pendingReactions))
            m_store->record(r);
    }
    m_pendingReactions.clear();
}

void HistoryRecorder::slotStateChanged(const Param* param, int newState, int oldState)
{
    HistoryRecord r;
    if (!recordParamEvent(HistoryRecord::StateChange, param, newState, oldState, &r))
        return;

    // What is pending now was done by the event monitor for this change.
    for (HistoryRecord& reaction : m_pendingReactions) {
        if (reaction.hostKey >= 0 && reaction.hostKey != r.hostKey)
            continue;
        reaction.timeMs = r.timeMs;
        reaction.hostKey = r.hostKey;
        reaction.hostAddress = r.hostAddress;
        reaction.hostName = r.hostName;
        reaction.device = r.device;
        reaction.param = r.param;
        reaction.state = newState;
        reaction.oldState = oldState;
    }
    recordPendingReactions();
}

void HistoryRecorder::slotOpenTerminal(QList<int> keys)
{
    for (int key : qAsConst(keys)) {
        recordReaction(QStringLiteral("terminal"), QString());
        fillHost(m_pendingReactions.last(), m_box ? m_box->getEngine(key) : nullptr, key);
    }
}

void HistoryRecorder::slotEngineAppended(int iNodeAttrKey)
{
    if (auto* box = qobject_cast<EngineBox*>(sender()))
        watchEngine(box->getEngine(iNodeAttrKey));
}

void HistoryRecorder::recordConnection(HistoryRecord::Kind kind, int key)
{
    if (!m_store)
        return;
    HistoryRecord r;
    r.timeMs = QDateTime::currentMSecsSinceEpoch();
    r.kind = kind;
    fillHost(r, qobject_cast<Engine*>(sender()), key);
    m_store->record(r);
}

void HistoryRecorder::slotSocketConnected(int iNodeAttrKey)
{
    recordConnection(HistoryRecord::Connected, iNodeAttrKey);
}

void HistoryRecorder::slotSocketDisconnected(int iNodeAttrKey)
{
    recordConnection(HistoryRecord::Disconnected, iNodeAttrKey);
}

void HistoryRecorder::slotDeviceAppended(QString sClassName, int iTag, int iBaseTag)
{
    if (auto* db = qobject_cast<DeviceDb*>(sender()))
        watchDevice(db->findDevice(sClassName, iTag, iBaseTag));
}

void HistoryRecorder::slotAboutToParamWrite(int, int, int, const ParamCore* pcore)
{
    auto* device = qobject_cast<Device*>(sender());
    if (!m_store || !device || !pcore)
        return;
    // The item just queued is the last one for this parameter; the device
    // announces it right after appending it.
    const WriteItem* item = nullptr;
    if (device->writeList) {
        for (auto it = device->writeList->crbegin(); it != device->writeList->crend(); ++it) {
            if (*it && static_cast<const ParamCore*>((*it)->targetParameter) == pcore) {
                item = *it;
                break;
            }
        }
    }
    const Param* param = item ? item->targetParameter : nullptr;
    HistoryRecord r;
    if (!param || !fillSource(r, param))
        return;
    r.timeMs = QDateTime::currentMSecsSinceEpoch();
    r.kind = HistoryRecord::Write;
    r.user = m_user;
    if (param->readValid)
        param->getReadValuePresentation(nullptr, &r.oldText, nullptr);
    if (param->isNumericType() && item->bytes.isEmpty())
        param->getWritePresentationString(r.text, item->value, nullptr);
    else
        param->getWritePresentationString(r.text, item->bytes, item->text);
    m_store->record(r);
}
