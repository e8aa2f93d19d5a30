#pragma once

// What the benchmarks that drive an engine against a real peer share: the
// process's CPU clock and the loop that asks for every value again as soon
// as it arrives, so that only the engine, the plug-in and the peer limit
// the rate.

#include "devices/device_db.h"
#include "devices/paramlist.h"

#include <QObject>

#include <ctime>

inline double processCpuSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

/// Populates every device @p db announces and asks again for each of its
/// parameters whenever its value arrives, counting the values in
/// @p delivered.
inline void askAgainOnEveryValue(DeviceDb* db, long& delivered)
{
    QObject::connect(db, &DeviceDb::signalDeviceAppended, db,
                     [db, &delivered](const QString& className, int tag, int baseTag) {
                         Device* device = db->findDevice(className, tag, baseTag);
                         if (!device || !device->populateDevice())
                             return;
                         QObject::connect(
                             device, &Device::signalParamHasRead, db,
                             [db, device, &delivered](int, int, int, const ParamCore* pcore) {
                                 const auto* param = static_cast<const Param*>(pcore);
                                 if (param->isVirtual)
                                     return;
                                 ++delivered;
                                 db->readQuery(device->DbEntity::name, param->DbEntity::name, 1,
                                               false);
                             });
                     });
}
