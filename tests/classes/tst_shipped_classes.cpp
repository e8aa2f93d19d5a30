#include "classes/class_db.h"
#include "classes/device_class.h"
#include "devices/paramlist.h"
#include "foundation/app_shared.h"
#include "hosttypes/host_type_db.h"
#include "kernel_fixture.h"

#include <QRegularExpression>
#include <QScriptEngine>
#include <QSet>
#include <QtTest>

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

const QStringList snmpTableClasses = {
    QStringLiteral("IF"),   QStringLiteral("IFX"),  QStringLiteral("STORAGE"),
    QStringLiteral("CPU"),  QStringLiteral("LOAD"), QStringLiteral("DISK"),
    QStringLiteral("PROC"),
};
const QStringList snmpScalarClasses = {QStringLiteral("SYSTEM"), QStringLiteral("MEMORY")};

/// The first parameter the SNMP plug-in walks to discover the rows.
const ParamClass* firstWithOid(const DeviceClass* cls)
{
    for (const ParamClass* param : cls->paramClassList) {
        if (!param->oid.isEmpty())
            return param;
    }
    return nullptr;
}

} // namespace

class TstShippedClasses : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyFileLoadsWithoutComplaint();
    void everyHostTypeNamesExistingClasses();
    void snmpHostTypesSpeakSnmp();
    void tableClassesAreEntriesWithColumnParameters_data();
    void tableClassesAreEntriesWithColumnParameters();
    void scalarGroupsHaveNoOidAndNoInstanceSuffix_data();
    void scalarGroupsHaveNoOidAndNoInstanceSuffix();
    void interfaceStatusHasNamedValuesAndAlarms();
    void writableObjectsAreTheOnesTheAgentAccepts();
    void wireTypesFollowTheMibSyntax();
    void errorFlagsAndFullDisksRaiseAlarms_data();
    void errorFlagsAndFullDisksRaiseAlarms();
    void storageShareIsComputedFromSizeAndUse();
};

void TstShippedClasses::everyFileLoadsWithoutComplaint()
{
    ShippedFixture fx;
    QCOMPARE(fx.log.errors(), QStringList());
    QCOMPARE(fx.log.warnings(), QStringList());
    for (const QString& name : snmpTableClasses + snmpScalarClasses)
        QVERIFY2(fx.classDb->deviceClasses.contains(name), qPrintable(name));
}

void TstShippedClasses::everyHostTypeNamesExistingClasses()
{
    ShippedFixture fx;
    QVERIFY(fx.hostTypeDb->hostTypes.size() > 1);
    for (const HostType* type : fx.hostTypeDb->hostTypes) {
        for (const QString& className : type->deviceClassNames) {
            QVERIFY2(fx.classDb->deviceClasses.contains(className),
                     qPrintable(type->hostTypeName() + QLatin1Char(':') + className));
        }
    }
}

void TstShippedClasses::snmpHostTypesSpeakSnmp()
{
    ShippedFixture fx;
    const HostType* host = fx.hostTypeDb->findHostType(QStringLiteral("snmp-host"));
    const HostType* device = fx.hostTypeDb->findHostType(QStringLiteral("snmp-device"));
    QVERIFY(host);
    QVERIFY(device);
    QCOMPARE(host->protocolName, QStringLiteral("snmp"));
    QCOMPARE(device->protocolName, QStringLiteral("snmp"));

    const QStringList all = snmpScalarClasses + snmpTableClasses;
    QVERIFY(host->checkCompatibilityList(&all));
    const QStringList mib2 = {QStringLiteral("SYSTEM"), QStringLiteral("IF"),
                              QStringLiteral("IFX")};
    QVERIFY(device->checkCompatibilityList(&mib2));
    const QStringList storage = {QStringLiteral("STORAGE")};
    QVERIFY(!device->checkCompatibilityList(&storage));
}

void TstShippedClasses::tableClassesAreEntriesWithColumnParameters_data()
{
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("entryOid");
    QTest::addColumn<QString>("walked");

    QTest::newRow("ifEntry") << "IF"
                             << "1.3.6.1.2.1.2.2.1"
                             << "ifIndex";
    QTest::newRow("ifXEntry") << "IFX"
                              << "1.3.6.1.2.1.31.1.1.1"
                              << "ifName";
    QTest::newRow("hrStorageEntry") << "STORAGE"
                                    << "1.3.6.1.2.1.25.2.3.1"
                                    << "hrStorageIndex";
    QTest::newRow("hrProcessorEntry") << "CPU"
                                      << "1.3.6.1.2.1.25.3.3.1"
                                      << "hrProcessorFrwID";
    QTest::newRow("laEntry") << "LOAD"
                             << "1.3.6.1.4.1.2021.10.1"
                             << "laIndex";
    QTest::newRow("dskEntry") << "DISK"
                              << "1.3.6.1.4.1.2021.9.1"
                              << "dskIndex";
    QTest::newRow("prEntry") << "PROC"
                             << "1.3.6.1.4.1.2021.2.1"
                             << "prIndex";
}

void TstShippedClasses::tableClassesAreEntriesWithColumnParameters()
{
    QFETCH(QString, className);
    QFETCH(QString, entryOid);
    QFETCH(QString, walked);

    ShippedFixture fx;
    const DeviceClass* cls = fx.classDb->deviceClasses.value(className);
    QVERIFY(cls);
    QCOMPARE(cls->oid, entryOid);
    QVERIFY(!cls->interfaceName.isEmpty());

    const ParamClass* first = firstWithOid(cls);
    QVERIFY(first);
    QCOMPARE(first->name, walked);

    // A column is the entry and one more component; the row index follows.
    const QRegularExpression column(QRegularExpression::anchoredPattern(
        QRegularExpression::escape(entryOid) + QStringLiteral("\\.[1-9][0-9]*")));
    QSet<QString> seen;
    for (const ParamClass* param : cls->paramClassList) {
        if (param->isVirtual)
            continue;
        QVERIFY2(column.match(param->oid).hasMatch(),
                 qPrintable(param->name + QLatin1Char(' ') + param->oid));
        QVERIFY2(!seen.contains(param->oid), qPrintable(param->oid));
        seen.insert(param->oid);
        QVERIFY2(!param->humanName.isEmpty(), qPrintable(param->name));
    }
}

void TstShippedClasses::scalarGroupsHaveNoOidAndNoInstanceSuffix_data()
{
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("groupOid");

    QTest::newRow("system") << "SYSTEM"
                            << "1.3.6.1.2.1.1";
    QTest::newRow("memory") << "MEMORY"
                            << "1.3.6.1.4.1.2021.4";
}

void TstShippedClasses::scalarGroupsHaveNoOidAndNoInstanceSuffix()
{
    QFETCH(QString, className);
    QFETCH(QString, groupOid);

    ShippedFixture fx;
    const DeviceClass* cls = fx.classDb->deviceClasses.value(className);
    QVERIFY(cls);
    QVERIFY(cls->oid.isEmpty());

    // The plug-in appends ".0"; an object already ending in it would be asked
    // for as a non-existent "x.0.0".
    const QRegularExpression scalar(QRegularExpression::anchoredPattern(
        QRegularExpression::escape(groupOid) + QStringLiteral("\\.[1-9][0-9]*")));
    int withOid = 0;
    for (const ParamClass* param : cls->paramClassList) {
        if (param->isVirtual)
            continue;
        QVERIFY2(scalar.match(param->oid).hasMatch(),
                 qPrintable(param->name + QLatin1Char(' ') + param->oid));
        QVERIFY2(!param->humanName.isEmpty(), qPrintable(param->name));
        ++withOid;
    }
    QVERIFY(withOid > 0);

    const ParamClass* contact = fx.param(QStringLiteral("SYSTEM"), QStringLiteral("sysContact"));
    QVERIFY(contact);
    QCOMPARE(contact->oid, QStringLiteral("1.3.6.1.2.1.1.4"));
}

void TstShippedClasses::interfaceStatusHasNamedValuesAndAlarms()
{
    ShippedFixture fx;
    const ParamClass* oper = fx.param(QStringLiteral("IF"), QStringLiteral("ifOperStatus"));
    QVERIFY(oper);
    QCOMPARE(oper->oid, QStringLiteral("1.3.6.1.2.1.2.2.1.8"));
    QCOMPARE(oper->type, Tavo::UINT);
    QCOMPARE(oper->variants, (QVector<quint32> {1, 2, 3, 4, 5, 6, 7}));
    QCOMPARE(oper->variantNames.value(1), QStringLiteral("up"));
    QCOMPARE(oper->variantNames.value(2), QStringLiteral("down"));
    QCOMPARE(oper->variantNames.value(7), QStringLiteral("lowerLayerDown"));

    ParamCore core;
    QCOMPARE(core.calcAlarmState<int>(oper->alarmScript, 1), int(Tavo::NORM));
    QCOMPARE(core.calcAlarmState<int>(oper->alarmScript, 2), int(Tavo::CRIT));
    QCOMPARE(core.calcAlarmState<int>(oper->alarmScript, 5), int(Tavo::NORM));
    QCOMPARE(core.calcAlarmState<int>(oper->alarmScript, 7), int(Tavo::WARNING));

    const ParamClass* admin = fx.param(QStringLiteral("IF"), QStringLiteral("ifAdminStatus"));
    QVERIFY(admin);
    QCOMPARE(admin->variantNames.value(2), QStringLiteral("down"));
    QVERIFY(admin->alarmScript.isEmpty());
}

void TstShippedClasses::writableObjectsAreTheOnesTheAgentAccepts()
{
    ShippedFixture fx;
    const QList<QPair<QString, QString>> writable = {
        {QStringLiteral("SYSTEM"), QStringLiteral("sysContact")},
        {QStringLiteral("SYSTEM"), QStringLiteral("sysName")},
        {QStringLiteral("SYSTEM"), QStringLiteral("sysLocation")},
        {QStringLiteral("IF"), QStringLiteral("ifAdminStatus")},
        {QStringLiteral("IFX"), QStringLiteral("ifAlias")},
    };
    for (const QString& className : snmpTableClasses + snmpScalarClasses) {
        const DeviceClass* cls = fx.classDb->deviceClasses.value(className);
        QVERIFY2(cls, qPrintable(className));
        for (const ParamClass* param : cls->paramClassList) {
            const bool rw = writable.contains({className, param->name});
            QVERIFY2(param->access == (rw ? 3 : 1),
                     qPrintable(className + QLatin1Char('.') + param->name));
        }
    }
}

void TstShippedClasses::wireTypesFollowTheMibSyntax()
{
    ShippedFixture fx;
    struct Expected
    {
        const char* className;
        const char* param;
        Tavo::ParamType type;
        int snmpType;
    };
    const Expected expected[] = {
        {"SYSTEM", "sysDescr", Tavo::ASCIIZ, 4},      {"SYSTEM", "sysObjectID", Tavo::ASCIIZ, 4},
        {"SYSTEM", "sysUpTime", Tavo::UINT, 2},       {"IF", "ifSpeed", Tavo::UINT, 66},
        {"IF", "ifPhysAddress", Tavo::BYTE_ARRAY, 4}, {"IF", "ifInOctets", Tavo::UINT, 65},
        {"IFX", "ifHCInOctets", Tavo::UINT, 70},      {"IFX", "ifHCOutOctets", Tavo::UINT, 70},
        {"IFX", "ifHighSpeed", Tavo::UINT, 66},       {"STORAGE", "hrStorageType", Tavo::ASCIIZ, 4},
        {"LOAD", "laLoad", Tavo::ASCIIZ, 4},          {"LOAD", "laLoadInt", Tavo::INT, 2},
        {"MEMORY", "memAvailReal", Tavo::INT, 2},
    };
    for (const Expected& e : expected) {
        const ParamClass* param =
            fx.param(QString::fromLatin1(e.className), QString::fromLatin1(e.param));
        QVERIFY2(param, e.param);
        QCOMPARE(param->type, e.type);
        QCOMPARE(param->snmpType, e.snmpType);
    }
}

void TstShippedClasses::errorFlagsAndFullDisksRaiseAlarms_data()
{
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("paramName");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("state");

    QTest::newRow("load ok") << "LOAD"
                             << "laErrorFlag" << 0 << int(Tavo::NORM);
    QTest::newRow("load high") << "LOAD"
                               << "laErrorFlag" << 1 << int(Tavo::CRIT);
    QTest::newRow("swap ok") << "MEMORY"
                             << "memSwapError" << 0 << int(Tavo::NORM);
    QTest::newRow("swap low") << "MEMORY"
                              << "memSwapError" << 1 << int(Tavo::CRIT);
    QTest::newRow("disk flag") << "DISK"
                               << "dskErrorFlag" << 1 << int(Tavo::CRIT);
    QTest::newRow("process missing") << "PROC"
                                     << "prErrorFlag" << 1 << int(Tavo::CRIT);
    QTest::newRow("process ok") << "PROC"
                                << "prErrorFlag" << 0 << int(Tavo::NORM);
    QTest::newRow("disk 89%") << "DISK"
                              << "dskPercent" << 89 << int(Tavo::NORM);
    QTest::newRow("disk 90%") << "DISK"
                              << "dskPercent" << 90 << int(Tavo::WARNING);
    QTest::newRow("disk 97%") << "DISK"
                              << "dskPercent" << 97 << int(Tavo::WARNING);
    QTest::newRow("disk 98%") << "DISK"
                              << "dskPercent" << 98 << int(Tavo::CRIT);
}

void TstShippedClasses::errorFlagsAndFullDisksRaiseAlarms()
{
    QFETCH(QString, className);
    QFETCH(QString, paramName);
    QFETCH(int, value);
    QFETCH(int, state);

    ShippedFixture fx;
    const ParamClass* param = fx.param(className, paramName);
    QVERIFY(param);
    QVERIFY(!param->alarmScript.isEmpty());
    ParamCore core;
    QCOMPARE(core.calcAlarmState<int>(param->alarmScript, value), state);
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
