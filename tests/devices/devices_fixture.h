#pragma once

#include "classes/class_db.h"
#include "devices/device_db.h"
#include "devices/paramlist.h"
#include "kernel_fixture.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>

/**
 * A kernel fixture with a class file of two device classes and a device
 * database over it, as an engine would hold one.
 *
 * E1: status (uint, aliases), flag[3] on bits 1-3 of status, level (int),
 * gain (float), label (asciiz), port[3] with OIDs, and the virtual sum(level,
 * gain). IF: speed and ports[2] with OIDs, for SNMP devices.
 */
class DevicesFixture : public KernelFixture
{
public:
    DevicesFixture()
    {
        qRegisterMetaType<const ParamCore*>();
        qRegisterMetaType<ParamCore*>();
        qRegisterMetaType<DbEntity::NotifyMessage>();
        writeClassFile(QStringLiteral("e1.xml"), R"(
<class name="E1" interface="e1if">
  <param name="status"><human_name>Status</human_name><variants>0:Off,1:On,2</variants></param>
  <param name="flag" basename="status" bit="1" dim="3"/>
  <param name="level" type="INT"/>
  <param name="gain" type="FLOAT"/>
  <param name="label" type="asciiz"/>
  <param name="port" dim="3"><human_name>Port</human_name><oid>1.3.6.1.2.5</oid></param>
  <vparam name="sum">
    <arg id="a" param="level"/>
    <arg id="b" param="gain"/>
    <script>return a + b;</script>
  </vparam>
</class>
<class name="IF" interface="ifif">
  <param name="speed"><oid>1.3.6.1.2.5</oid></param>
  <param name="ports" dim="2"><oid>1.3.6.1.2.9</oid></param>
</class>)");
        loadClasses();
        db = std::make_unique<DeviceDb>(nullptr, nullptr);
        log.clear();
    }

    /// A populated E1 device bound to @p code, with every parameter bound to
    /// its index in device.
    Device* boundE1(int tag, int code)
    {
        Device* device = db->createEmptyDevice(QStringLiteral("E1"), tag, 0, code);
        device->populateDevice();
        for (Param* param : qAsConst(device->parameters)) {
            if (param->arraySize > 0)
                db->setParamCode(code, param->DbEntity::name, param->indexInDevice);
        }
        return device;
    }

    static Param* param(Device* device, const char* name)
    {
        return device->parametersByName.value(QLatin1String(name));
    }

    /// "name class:tag:base #index code=C state=S populated=P protocol=N:text".
    static QString describe(const Device* device)
    {
        return QStringLiteral("%1 %2:%3:%4 #%5 code=%6 state=%7 populated=%8 protocol=%9:")
                   .arg(device->name, device->className)
                   .arg(device->tag)
                   .arg(device->baseTag)
                   .arg(device->deviceIndex)
                   .arg(device->code)
                   .arg(device->state())
                   .arg(device->populated)
                   .arg(device->protocol) +
            device->protocolText;
    }

    /// Each emission @p spy recorded as "arg|arg|...": a parameter by its name,
    /// a notification by its number.
    static QStringList emissions(const QSignalSpy& spy)
    {
        QStringList out;
        for (const QVariantList& args : spy) {
            QStringList texts;
            for (const QVariant& arg : args) {
                const ParamCore* core = arg.userType() == qMetaTypeId<ParamCore*>()
                    ? arg.value<ParamCore*>()
                    : arg.value<const ParamCore*>();
                if (core)
                    texts << static_cast<const Param*>(core)->DbEntity::name;
                else if (arg.userType() == qMetaTypeId<DbEntity::NotifyMessage>())
                    texts << QString::number(arg.value<DbEntity::NotifyMessage>());
                else
                    texts << arg.toString();
            }
            out << texts.join(QLatin1Char('|'));
        }
        return out;
    }

    /// Device list, name map and code table describe the same devices: every
    /// code in the table leads to a live device, and to the one that carries it.
    void verifyConsistent() const
    {
        QCOMPARE(db->devices.size(), db->devicesByName.size());
        for (int i = 0; i < db->devices.size(); ++i) {
            Device* device = db->devices.at(i);
            QCOMPARE(device->deviceIndex, i);
            QCOMPARE(db->devicesByName.value(device->name), device);
        }
        for (const auto& page : db->deviceCodeTable) {
            for (int slot = 0; page && slot < 256; ++slot) {
                Device* device = page[slot];
                QVERIFY(!device || db->devices.contains(device));
                QVERIFY(!device || device->code < 0 || db->getDeviceByCode(device->code) == device);
            }
        }
        QVERIFY(db->findDevice(QStringLiteral("SERVICE_0000")));
    }

    std::unique_ptr<DeviceDb> db;
};
