#include "classes/class_db.h"
#include "classes/device_class.h"
#include "devices/paramlist.h"
#include "foundation/app_shared.h"
#include "hosttypes/host_type_db.h"
#include "kernel_fixture.h"
#include "param_dump.h"

#include <QRegularExpression>
#include <QScriptEngine>
#include <QSet>
#include <QtTest>

#include <algorithm>
#include <memory>

namespace {

const char* const demoDir = TAVO_DEMO_DIR;

/// The resource set as installed: every class file and host type file that
/// ships, read by the same readers the client uses.
struct ShippedFixture : KernelFixture
{
    ShippedFixture()
    {
        share::xmlClassesPath = QString::fromUtf8(demoDir) + QStringLiteral("/xml_classes");
        share::xmlNodeTypesPath = QString::fromUtf8(demoDir) + QStringLiteral("/xml_nodetypes");
        classDb = loadClasses();
        hostTypeDb = std::make_unique<HostTypeDb>(nullptr);
        share::hostTypeDb = hostTypeDb.get();
    }

    ParamClass* param(const QString& className, const QString& paramName) const
    {
        const DeviceClass* cls = classDb->deviceClasses.value(className);
        return cls ? cls->paramClasses.value(paramName) : nullptr;
    }

    ClassDb* classDb = nullptr;
    std::unique_ptr<HostTypeDb> hostTypeDb;
};

/// Each SNMP class: the OID its objects sit below, the column the plug-in
/// walks to discover its rows (none for a scalar group), and the objects the
/// agent lets a manager write.
const struct
{
    const char *className, *oid, *walked, *writable;
} snmpGroups[] = {
    {"IF", "1.3.6.1.2.1.2.2.1", "ifIndex", "ifAdminStatus"},
    {"IFX", "1.3.6.1.2.1.31.1.1.1", "ifName", "ifAlias"},
    {"STORAGE", "1.3.6.1.2.1.25.2.3.1", "hrStorageIndex", ""},
    {"CPU", "1.3.6.1.2.1.25.3.3.1", "hrProcessorFrwID", ""},
    {"LOAD", "1.3.6.1.4.1.2021.10.1", "laIndex", ""},
    {"DISK", "1.3.6.1.4.1.2021.9.1", "dskIndex", ""},
    {"PROC", "1.3.6.1.4.1.2021.2.1", "prIndex", ""},
    {"SYSTEM", "1.3.6.1.2.1.1", nullptr, "sysContact sysName sysLocation"},
    {"MEMORY", "1.3.6.1.4.1.2021.4", nullptr, ""},
};

} // namespace

class TstShippedClasses : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyFileLoadsAndTheSnmpHostTypesSpeakSnmp();
    void objectsSitBelowTheirGroupWithTheAgentsAccess();
    void wireTypesNamedValuesAndAlarmsFollowTheMib();
    void errorFlagsAndFullDisksRaiseAlarms();
    void storageShareIsComputedFromSizeAndUse();
};

void TstShippedClasses::everyFileLoadsAndTheSnmpHostTypesSpeakSnmp()
{
    ShippedFixture fx;
    QCOMPARE(fx.log.errors(), QStringList());
    QCOMPARE(fx.log.warnings(), QStringList());
    QVERIFY(fx.hostTypeDb->hostTypes.size() > 1);
    for (const HostType* type : fx.hostTypeDb->hostTypes) {
        for (const QString& className : type->deviceClassNames) {
            QVERIFY2(fx.classDb->deviceClasses.contains(className),
                     qPrintable(type->hostTypeName() + QLatin1Char(':') + className));
        }
    }

    const HostType* host = fx.hostTypeDb->findHostType(QStringLiteral("snmp-host"));
    const HostType* device = fx.hostTypeDb->findHostType(QStringLiteral("snmp-device"));
    QVERIFY(host);
    QVERIFY(device);
    QCOMPARE(host->protocolName, QStringLiteral("snmp"));
    QCOMPARE(device->protocolName, QStringLiteral("snmp"));

    QStringList all;
    for (const auto& group : snmpGroups)
        all << QLatin1String(group.className);
    QVERIFY(host->checkCompatibilityList(&all));
    const QStringList mib2 = {QStringLiteral("SYSTEM"), QStringLiteral("IF"),
                              QStringLiteral("IFX")};
    QVERIFY(device->checkCompatibilityList(&mib2));
    const QStringList storage = {QStringLiteral("STORAGE")};
    QVERIFY(!device->checkCompatibilityList(&storage));
}

void TstShippedClasses::objectsSitBelowTheirGroupWithTheAgentsAccess()
{
    ShippedFixture fx;
    // Table classes carry the entry OID, the plug-in walks their first column
    // and appends the row index; scalar groups carry none, and the plug-in
    // appends ".0" to each object, so an object already ending in it would be
    // asked for as a non-existent "x.0.0".
    for (const auto& group : snmpGroups) {
        const QString oid = QLatin1String(group.oid);
        const DeviceClass* cls = fx.classDb->deviceClasses.value(QLatin1String(group.className));
        QVERIFY2(cls, group.className);
        QVERIFY(!cls->interfaceName.isEmpty());
        if (group.walked) {
            QCOMPARE(cls->oid, oid);
            const auto walked =
                std::find_if(cls->paramClassList.cbegin(), cls->paramClassList.cend(),
                             [](const ParamClass* p) { return !p->oid.isEmpty(); });
            QVERIFY(walked != cls->paramClassList.cend());
            QCOMPARE((*walked)->name, QLatin1String(group.walked));
        } else {
            QVERIFY(cls->oid.isEmpty());
        }
        const QRegularExpression below(QRegularExpression::anchoredPattern(
            QRegularExpression::escape(oid) + QStringLiteral("\\.[1-9][0-9]*")));
        QSet<QString> seen;
        const QStringList writable = QString::fromLatin1(group.writable).split(' ');
        for (const ParamClass* param : cls->paramClassList) {
            QVERIFY2(param->access == (writable.contains(param->name) ? 3 : 1),
                     qPrintable(param->name));
            if (param->isVirtual)
                continue;
            QVERIFY2(below.match(param->oid).hasMatch(),
                     qPrintable(param->name + QLatin1Char(' ') + param->oid));
            QVERIFY2(!seen.contains(param->oid), qPrintable(param->oid));
            seen.insert(param->oid);
            QVERIFY2(!param->humanName.isEmpty(), qPrintable(param->name));
        }
        QVERIFY(!seen.isEmpty());
    }
    QCOMPARE(fx.param(QStringLiteral("SYSTEM"), QStringLiteral("sysContact"))->oid,
             QStringLiteral("1.3.6.1.2.1.1.4"));
}

void TstShippedClasses::wireTypesNamedValuesAndAlarmsFollowTheMib()
{
    ShippedFixture fx;
    const QStringList expected = {
        "SYSTEM.sysDescr ASCIIZ/4",      "SYSTEM.sysObjectID ASCIIZ/4",
        "SYSTEM.sysUpTime UINT/2",       "IF.ifSpeed UINT/66",
        "IF.ifPhysAddress BYTE_ARRAY/4", "IF.ifInOctets UINT/65",
        "IFX.ifHCInOctets UINT/70",      "IFX.ifHCOutOctets UINT/70",
        "IFX.ifHighSpeed UINT/66",       "STORAGE.hrStorageType ASCIIZ/4",
        "LOAD.laLoad ASCIIZ/4",          "LOAD.laLoadInt INT/2",
        "MEMORY.memAvailReal INT/2",
    };
    for (const QString& row : expected) {
        const ParamClass* param =
            fx.param(row.section('.', 0, 0), row.section(QRegularExpression("[. ]"), 1, 1));
        QVERIFY2(param, qPrintable(row));
        QCOMPARE(row.section('.', 0, 0) + '.' + describe(param).section(' ', 0, 1), row);
    }
    QCOMPARE(describe(fx.param(QStringLiteral("IF"), QStringLiteral("ifOperStatus"))),
             "ifOperStatus UINT/2 access=1 human=Operational status variants=1:up,2:down,"
             "3:testing,4:unknown,5:dormant,6:notPresent,7:lowerLayerDown oid=1.3.6.1.2.1.2.2.1.8 "
             "alarm=if (value == 2) return 2;\nif (value == 7) return 4;\nreturn -1;");
    QCOMPARE(describe(fx.param(QStringLiteral("IF"), QStringLiteral("ifAdminStatus"))),
             "ifAdminStatus UINT/2 access=3 human=Administrative status "
             "variants=1:up,2:down,3:testing oid=1.3.6.1.2.1.2.2.1.7");
}

void TstShippedClasses::errorFlagsAndFullDisksRaiseAlarms()
{
    ShippedFixture fx;
    const struct
    {
        const char *className, *paramName;
        int value;
        Tavo::AlarmType state;
    } rows[] = {
        {"LOAD", "laErrorFlag", 0, Tavo::NORM},    {"LOAD", "laErrorFlag", 1, Tavo::CRIT},
        {"MEMORY", "memSwapError", 0, Tavo::NORM}, {"MEMORY", "memSwapError", 1, Tavo::CRIT},
        {"DISK", "dskErrorFlag", 1, Tavo::CRIT},   {"PROC", "prErrorFlag", 1, Tavo::CRIT},
        {"PROC", "prErrorFlag", 0, Tavo::NORM},    {"DISK", "dskPercent", 89, Tavo::NORM},
        {"DISK", "dskPercent", 90, Tavo::WARNING}, {"DISK", "dskPercent", 97, Tavo::WARNING},
        {"DISK", "dskPercent", 98, Tavo::CRIT},    {"IF", "ifOperStatus", 1, Tavo::NORM},
        {"IF", "ifOperStatus", 2, Tavo::CRIT},     {"IF", "ifOperStatus", 5, Tavo::NORM},
        {"IF", "ifOperStatus", 7, Tavo::WARNING},
    };
    ParamCore core;
    for (const auto& row : rows) {
        const ParamClass* param =
            fx.param(QLatin1String(row.className), QLatin1String(row.paramName));
        QVERIFY2(param && !param->alarmScript.isEmpty(), row.paramName);
        QVERIFY2(core.calcAlarmState<int>(param->alarmScript, row.value) == int(row.state),
                 qPrintable(QStringLiteral("%1 = %2").arg(row.paramName).arg(row.value)));
    }
}

void TstShippedClasses::storageShareIsComputedFromSizeAndUse()
{
    ShippedFixture fx;
    const ParamClass* percent = fx.param(QStringLiteral("STORAGE"), QStringLiteral("usedPercent"));
    QVERIFY(percent);
    QVERIFY(percent->isVirtual);
    QCOMPARE(percent->args.value(QStringLiteral("size")), QStringLiteral("hrStorageSize"));
    QCOMPARE(percent->args.value(QStringLiteral("used")), QStringLiteral("hrStorageUsed"));

    // The device evaluates the body as vparam(<ids in order>); the same here.
    QScriptEngine& engine = fx.engine;
    engine.evaluate(QStringLiteral("function vparam(size, used) { %1 }").arg(percent->script));
    QVERIFY(!engine.hasUncaughtException());
    QScriptValue vparam = engine.globalObject().property(QStringLiteral("vparam"));
    const auto run = [&](int size, int used) {
        return vparam.call(QScriptValue(), {QScriptValue(size), QScriptValue(used)}).toString();
    };
    QCOMPARE(run(200, 50), QStringLiteral("25"));
    QCOMPARE(run(3, 2), QStringLiteral("66"));
    QCOMPARE(run(2147483647, 2147483647), QStringLiteral("100"));
    // An unmounted area of size 0 has no share: the value is marked invalid.
    QCOMPARE(run(0, 0), QStringLiteral("false"));
}

QTEST_GUILESS_MAIN(TstShippedClasses)
#include "tst_shipped_classes.moc"
