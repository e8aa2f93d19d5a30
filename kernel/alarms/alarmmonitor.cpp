#include "alarms/alarmmonitor.h"

#include "alarms/eventmonitor.h"
#include "classes/class_db.h"
#include "classes/device_class.h"
#include "connections/adapter.h"
#include "connections/engine.h"
#include "connections/engine_box.h"
#include "devices/device_db.h"
#include "devices/paramlist.h"
#include "foundation/app_shared.h"

#include <QRandomGenerator>
#include <QTime>

namespace {

// The background reads of alarm parameters are spread over this window so
// that a host's devices do not all ask at the same tick.
constexpr int MinAlarmPeriodSec = 31;
constexpr int AlarmPeriodSpreadSec = 30;

Engine* engineOf(const DeviceDb* db)
{
    return db ? qobject_cast<Engine*>(db->parent()) : nullptr;
}

} // namespace

AlarmMonitor::AlarmMonitor(QObject* parent)
    : QObject(parent)
    , eventMonitor(new EventMonitor(this))
{
    connect(this, SIGNAL(paramStateChanged(const Param*, int, int)), eventMonitor,
            SLOT(stateChanged(const Param*, int, int)));
    EngineBox* box = share::engineBox;
    if (!box)
        return;
    connect(box, SIGNAL(signalEngineAppended(int)), this, SLOT(engineAppended(int)));
    connect(box, SIGNAL(signalAboutToEngineDelete(int)), this, SLOT(engineDelete(int)));
    for (Engine* engine : box->enginesList()) {
        connect(engine, SIGNAL(signalSocketConnected(int)), this, SLOT(socketConnected(int)));
        connect(engine, SIGNAL(signalSocketDisconnected(int)), this, SLOT(socketDisconnected(int)));
        // The database rides along: sender() walks every connection made to
        // the monitor, which grows with the hosts, on every call.
        DeviceDb* db = engine->deviceDb();
        connect(db, &DeviceDb::signalDeviceAppended, this,
                [this, db](const QString& sClassName, int iTag, int iBaseTag) {
                    watchDevice(db, sClassName, iTag, iBaseTag);
                });
        connect(db, SIGNAL(signalDeviceDelete(QString)), this, SLOT(deviceDeleted(QString)));
    }
}

AlarmMonitor::~AlarmMonitor()
{
    qDeleteAll(adapters);
}

void AlarmMonitor::engineAppended(int) { }

void AlarmMonitor::engineDelete(int) { }

void AlarmMonitor::socketConnected(int) { }

void AlarmMonitor::socketDisconnected(int) { }

void AlarmMonitor::deviceAppended(QString sClassName, int iTag, int iBaseTag)
{
    watchDevice(qobject_cast<DeviceDb*>(sender()), sClassName, iTag, iBaseTag);
}

void AlarmMonitor::watchDevice(DeviceDb* db, const QString& sClassName, int iTag, int iBaseTag)
{
    if (!engineOf(db))
        return;
    QString name;
    if (!DeviceDb::makeUpDeviceName(name, sClassName, iTag, iBaseTag))
        return;
    Device* device = db->findDevice(name);
    if (!device)
        return;
    QRandomGenerator random(quint32(QTime::currentTime().msecsSinceStartOfDay()));
    const DeviceClass* deviceClass =
        share::classDb ? share::classDb->deviceClasses.value(sClassName) : nullptr;
    if (!deviceClass)
        return;

    Adapter* adapter = nullptr;
    for (const ParamClass* paramClass : deviceClass->paramClassList) {
        if (paramClass->alarmScript.isEmpty())
            continue;
        if (!adapter) {
            adapter = device->createAdapter(this);
            adapter->combinedTag = iBaseTag * 256 + iTag;
        }
        const int index = db->completeAgent(adapter, paramClass->name, -1, nullptr);
        db->readQuery(adapter, index, 1, false);
        adapter->setAutoreadPeriod(
            index, int(random.generate() % AlarmPeriodSpreadSec) + MinAlarmPeriodSec);
    }
    if (!adapter)
        return;
    // A device added again under the same name replaces the old watch.
    delete adapters.take(name);
    adapters.insert(name, adapter);
    // Every value of every watched device comes this way: the device is
    // known here, while sender() would cost a walk of all of them. Heard
    // once however often it is announced, for as long as it lives.
    if (m_heardDevices.contains(device))
        return;
    m_heardDevices.insert(device);
    connect(device, &Device::signalParamHasRead, this,
            [this, device](int, int, int, const ParamCore* pcore) { recompute(device, pcore); });
    connect(device, &QObject::destroyed, this, [this, device] { m_heardDevices.remove(device); });
}

void AlarmMonitor::deviceDeleted(QString sDevName)
{
    delete adapters.take(sDevName);
}

void AlarmMonitor::slotParamHasRead(int, int, int, const ParamCore* pcore)
{
    if (pcore && pcore->isAlarmType())
        recompute(qobject_cast<Device*>(sender()), pcore);
}

void AlarmMonitor::recompute(const Device* device, const ParamCore* pcore)
{
    if (!pcore || !pcore->isAlarmType())
        return;
    auto* db = device ? qobject_cast<DeviceDb*>(device->parent()) : nullptr;
    if (!engineOf(db))
        return;

    int state = Tavo::NORM;
    switch (pcore->type) {
    case Tavo::UINT:
    case Tavo::INT:
        state = pcore->calcAlarmState<int>(pcore->alarmScript, int(pcore->readValue));
        break;
    case Tavo::ASCIIZ: {
        const QByteArray& bytes = pcore->readBytes;
        const int end = bytes.indexOf('\0');
        state = pcore->calcAlarmState<QString>(
            pcore->alarmScript,
            QString::fromLatin1(bytes.constData(), end < 0 ? bytes.size() : end));
        break;
    }
    default:
        break;
    }

    // The parameter's own field keeps the state; the monitor is the only
    // writer of it.
    auto* core = const_cast<ParamCore*>(pcore);
    const int old = core->alarmCache;
    if (state == old)
        return;
    core->alarmCache = state;
    // Array elements share their class's name: the element itself is the
    // parameter that was read. Devices only ever deliver their own Params.
    const Param* param = device->parametersByName.value(pcore->name);
    if (!param || static_cast<const ParamCore*>(param) != pcore)
        param = static_cast<const Param*>(pcore);
    Q_EMIT paramStateChanged(param, state, old);
}
