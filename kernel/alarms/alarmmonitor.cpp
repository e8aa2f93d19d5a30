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
        DeviceDb* db = engine->deviceDb();
        connect(db, SIGNAL(signalDeviceAppended(QString, int, int)), this,
                SLOT(deviceAppended(QString, int, int)));
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
    auto* db = qobject_cast<DeviceDb*>(sender());
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
    connect(device, SIGNAL(signalParamHasRead(int, int, int, const ParamCore*)), this,
            SLOT(slotParamHasRead(int, int, int, const ParamCore*)), Qt::UniqueConnection);
}

void AlarmMonitor::deviceDeleted(QString sDevName)
{
    delete adapters.take(sDevName);
}

void AlarmMonitor::slotParamHasRead(int, int, int, const ParamCore* pcore)
{
    if (!pcore || !pcore->isAlarmType())
        return;
    auto* device = qobject_cast<Device*>(sender());
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
