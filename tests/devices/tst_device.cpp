#include "connections/adapter.h"
#include "devices_fixture.h"
#include "foundation/app_shared.h"

#include <QPointer>
#include <QtTest>

class TstDevice : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void populationNamesArrayElementsAndNumbersTheirOids();
    void bitArraysTakeConsecutiveBitsOfTheirBase();
    void postProcessingReportsEveryMissingLink();
    void populationWithoutClassFailsAndLeavesTheDeviceEmpty();
    void snmpDevicesAreBoundByIndexAndEnterTheOidMap();
    void jsonDevicesKeepTheirAddress();
    void scriptResultsBecomeTheValue_data();
    void scriptResultsBecomeTheValue();
    void argumentsReachTheScriptAsIntegersOrText();
    void virtualParamIsEvaluatedOnceAllArgumentsReportedUnderATicket();
    void adapterSubscribesThroughTheDeviceSlots();
    void readListSwapsItsArraysAndResetsOnlyTheCurrent();
    void notifyMessagesCarryTheParamIndex();
};

void TstDevice::populationNamesArrayElementsAndNumbersTheirOids()
{
    DevicesFixture fx;
    Device* device = fx.db->createEmptyDevice(QStringLiteral("E1"), 3, 1, -1);
    QCOMPARE(device->name, QStringLiteral("E1_0103"));
    QVERIFY(!device->populated);
    QVERIFY(device->populateDevice());
    QVERIFY(device->populated);
    QCOMPARE(device->interface, QStringLiteral("e1if"));
    QCOMPARE(fx.log.errors(), QStringList());
    // A second population keeps the parameters it made the first time.
    const QVector<Param*> first(device->parameters.begin(), device->parameters.end());
    QVERIFY(device->populateDevice());
    QCOMPARE(QVector<Param*>(device->parameters.begin(), device->parameters.end()), first);

    QStringList names;
    for (int i = 0; i < device->parameters.size(); ++i) {
        QCOMPARE(device->parameters.at(i)->indexInDevice, i);
        QCOMPARE(device->parameters.at(i)->parentEntity(), device);
        names << device->parameters.at(i)->DbEntity::name;
    }
    QCOMPARE(names,
             QStringList({"alarm", "status", "flag_0", "flag_1", "flag_2", "level", "gain", "label",
                          "port_0", "port_1", "port_2", "sum"}));
    QCOMPARE(device->parametersByName.size(), names.size());

    const QStringList oids {"1.3.6.1.2.5", "1.3.6.1.2.6", "1.3.6.1.2.7"};
    for (int i = 0; i < 3; ++i) {
        Param* port = device->parameters.at(8 + i);
        QCOMPARE(port->oid, oids.at(i));
        QCOMPARE(port->humanName, QStringLiteral("Port[%1]").arg(i));
        QCOMPARE(port->arrayIndex, i);
        QCOMPARE(port->arraySize, i == 0 ? 3 : 0);
        QCOMPARE(port->className, QStringLiteral("port"));
        QCOMPARE(port->ParamCore::name, QString()); // shown by its readable name
    }
    Param* status = DevicesFixture::param(device, "status");
    QCOMPARE(status->ParamCore::name, QStringLiteral("status"));
    QCOMPARE(status->humanName, QStringLiteral("Status"));
    QCOMPARE(status->fixedValues, QVector<quint32>({0, 1, 2}));
    QCOMPARE(status->valueTexts, QStringList({"Off", "On", "2"}));
    QCOMPARE(status->state(), DbEntity::NotBound);
    Param* sum = DevicesFixture::param(device, "sum");
    QVERIFY(sum->isVirtual);
    QCOMPARE(sum->state(), DbEntity::Bound);
    QCOMPARE(sum->argumentParameters,
             QList<Param*>(
                 {DevicesFixture::param(device, "level"), DevicesFixture::param(device, "gain")}));
    QCOMPARE(sum->argumentCount, 2);
    QCOMPARE(sum->argumentCheck.size(), 2);
    QCOMPARE(DevicesFixture::param(device, "gain")->dependants.at(0)->argumentNumber, 1);
}

void TstDevice::bitArraysTakeConsecutiveBitsOfTheirBase()
{
    DevicesFixture fx;
    fx.writeClassFile(QStringLiteral("b.xml"),
                      R"(<class name="B" interface="bi"><param name="status"/>
<param name="los" basename="status" bit="4" dim="3"/></class>)");
    fx.loadClasses();
    DeviceDb db(nullptr, nullptr);
    Device* device = db.createEmptyDevice(QStringLiteral("B"), 0, 1, -1);
    QVERIFY(device->populateDevice());
    Param* status = DevicesFixture::param(device, "status");
    QCOMPARE(status->bitParameters.size(), 3);
    for (int i = 0; i < 3; ++i) {
        Param* los = status->bitParameters.at(i);
        QCOMPARE(los->bit, 4 + i);
        QCOMPARE(los->baseParameter, status);
        QCOMPARE(los->DbEntity::name, QStringLiteral("los_%1").arg(i));
    }
    status->setReadValue(0x50); // bits 4 and 6
    QCOMPARE(status->bitParameters.at(0)->readValue, 1u);
    QCOMPARE(status->bitParameters.at(1)->readValue, 0u);
    QCOMPARE(status->bitParameters.at(2)->readValue, 1u);
}

void TstDevice::postProcessingReportsEveryMissingLink()
{
    DevicesFixture fx;
    Device* device = fx.db->createEmptyDevice(QStringLiteral("E1"), 1, 0, -1);
    QVERIFY(device->populateDevice());
    Param* flag = DevicesFixture::param(device, "flag_1");
    Param* sum = DevicesFixture::param(device, "sum");
    flag->baseName = QStringLiteral("nothing");
    sum->scriptArguments.insert(QStringLiteral("c"), QStringLiteral("ghost"));
    device->parametersByName.insert(QStringLiteral("hole"), nullptr);
    sum->scriptArguments.insert(QStringLiteral("d"), QStringLiteral("hole"));
    sum->argumentParameters.clear();
    fx.log.clear();

    QVERIFY(!device->devicePostProcessing());
    QCOMPARE(fx.log.errors(),
             QStringList({"[devicePostProcessing()] Can't find base name param: nothing. ",
                          "Can't find script argument 'ghost' for virtual param 'sum' in device "
                          "'E1_0001'",
                          "Null script argument 'hole' for virtual param 'sum' in device "
                          "'E1_0001'"}));
    QVERIFY(!flag->scriptValid);
    QCOMPARE(flag->scriptErrors, QStringLiteral("Can't find base name param: nothing. "));
    // The arguments found still count, so the script can run without the others.
    QCOMPARE(sum->argumentCount, 2);
    QCOMPARE(sum->argumentCheck.size(), 2);
}

void TstDevice::populationWithoutClassFailsAndLeavesTheDeviceEmpty()
{
    DevicesFixture fx;
    Device device(0, 0, nullptr);
    device.className = QStringLiteral("Gone");
    QVERIFY(!device.populateDevice());
    QCOMPARE(fx.log.errors(),
             QStringList {"[populateDevice()] Device class 'Gone' is not found in class database"});
    QVERIFY(!device.populated);
    QVERIFY(device.parameters.isEmpty());

    share::classDb->deviceClasses.insert(QStringLiteral("Null"), nullptr);
    device.className = QStringLiteral("Null");
    fx.log.clear();
    QVERIFY(!device.populateDevice());
    QCOMPARE(fx.log.errors(),
             QStringList {"[populateDevice()] Device class 'Null' is NULL in class database"});
    share::classDb->deviceClasses.remove(QStringLiteral("Null"));
}

void TstDevice::snmpDevicesAreBoundByIndexAndEnterTheOidMap()
{
    DevicesFixture fx;
    Device* device =
        fx.db->addDevice(QStringLiteral("IF"), 3, 0, -1, Tavo::SnmpProtocol, QStringLiteral("7"));
    QVERIFY(device->populateDevice());
    QCOMPARE(device->state(), DbEntity::Bound);
    QCOMPARE(device->code, device->deviceIndex);
    QCOMPARE(fx.db->getDeviceByCode(device->code), device);

    const QStringList names {"speed", "ports_0", "ports_1"};
    const QStringList oids {"1.3.6.1.2.5.7", "1.3.6.1.2.9.7", "1.3.6.1.2.10.7"};
    for (int i = 0; i < names.size(); ++i) {
        Param* param = DevicesFixture::param(device, names.at(i).toLatin1());
        QCOMPARE(param->oid, oids.at(i));
        QCOMPARE(param->state(), DbEntity::Bound);
        QCOMPARE(param->code, param->indexInDevice);
        DevPrm* entry = fx.db->oidMap.value(oids.at(i));
        QVERIFY(entry);
        QCOMPARE(entry->device, device);
        QCOMPARE(entry->param, param);
    }
    QCOMPARE(fx.db->oidMap.size(), 3);
    fx.db->removeDevice(device->name);
    QVERIFY(fx.db->oidMap.isEmpty());
}

void TstDevice::jsonDevicesKeepTheirAddress()
{
    DevicesFixture fx;
    Device* device = fx.db->addDevice(QStringLiteral("E1"), 1, 0, -1, Tavo::JsonProtocol,
                                      QStringLiteral("/rack/1"));
    QCOMPARE(device->matchNumber, -1);
    QVERIFY(device->populateDevice());
    QCOMPARE(device->protocolAddress, QStringLiteral("/rack/1"));
    QCOMPARE(device->matchNumber, 0);
    QCOMPARE(device->state(), DbEntity::NotBound);
}

void TstDevice::scriptResultsBecomeTheValue_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<quint32>("value");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("error"); // %s stands for the source

    QTest::newRow("integer") << "return 12;" << true << 12u << true << QString();
    QTest::newRow("negative") << "return -1;" << true << 0xFFFFFFFFu << true << QString();
    QTest::newRow("true") << "return true;" << true << 1u << true << QString();
    QTest::newRow("false") << "return false;" << true << 0u << false << QString();
    QTest::newRow("text") << "return 'abc';" << false << 0u << false
                          << "Script for param 'sum' returns not integer value string (abc): "
                             "'%s'";
    QTest::newRow("fraction") << "return 2.5;" << false << 0u << false
                              << "Script for param 'sum' returns not integer value string "
                                 "(2.5): '%s'";
    QTest::newRow("empty") << "return '';" << false << 0u << false
                           << "Script for param 'sum' returns NULL value string: %s";
    QTest::newRow("syntax") << "return (;" << false << 0u << false
                            << "Script for param 'sum' error: 'SyntaxError: Parse error' for "
                               "'%s'";
}

void TstDevice::scriptResultsBecomeTheValue()
{
    QFETCH(QString, body);
    QFETCH(bool, ok);
    QFETCH(quint32, value);
    QFETCH(bool, valid);
    QFETCH(QString, error);
    DevicesFixture fx;
    Device* device = fx.db->createEmptyDevice(QStringLiteral("E1"), 1, 0, -1);
    device->populateDevice();
    Param* sum = DevicesFixture::param(device, "sum");
    sum->script = body;
    QCOMPARE(sum->scriptEval(), ok);
    QCOMPARE(sum->readValue, value);
    QCOMPARE(sum->readValid, valid);
    const QString source = QStringLiteral("function vparam(a, b) { %1 }").arg(body);
    QCOMPARE(fx.log.errors(),
             error.isEmpty() ? QStringList() : QStringList {QString(error).replace("%s", source)});
}

void TstDevice::argumentsReachTheScriptAsIntegersOrText()
{
    DevicesFixture fx;
    Device* device = fx.db->createEmptyDevice(QStringLiteral("E1"), 1, 0, -1);
    device->populateDevice();
    Param* sum = DevicesFixture::param(device, "sum");
    Param* label = DevicesFixture::param(device, "label");
    DevicesFixture::param(device, "gain")->readValue = 0x3F800000; // 1.0
    sum->script = QStringLiteral("return b;");
    QVERIFY(sum->scriptEval());
    QCOMPARE(sum->readValue, 1065353216u);

    // A text argument stops at its first zero byte.
    label->readBytes = QByteArray("12\0"
                                  "9",
                                  4);
    sum->argumentParameters[1] = label;
    sum->script = QStringLiteral("return b.length == 2 ? b * 2 : -7;");
    QVERIFY(sum->scriptEval());
    QCOMPARE(sum->readValue, 24u);
}

void TstDevice::virtualParamIsEvaluatedOnceAllArgumentsReportedUnderATicket()
{
    DevicesFixture fx;
    Device* device = fx.boundE1(1, 5);
    Param* sum = DevicesFixture::param(device, "sum");
    const int level = DevicesFixture::param(device, "level")->code;
    const int gain = DevicesFixture::param(device, "gain")->code;
    QSignalSpy spy(device, &Device::signalParamHasRead);
    for (int i = 0; i < 2; ++i) {
        fx.db->setParamValue(5, level, 1);
        fx.db->setParamValue(5, gain, 1);
    }
    QCOMPARE(spy.size(), 4); // without a ticket, never evaluated
    QVERIFY(!sum->readValid);
    QCOMPARE(sum->argumentCheck.count(), 0);

    sum->createTicket(1, 10);
    spy.clear();
    fx.db->setParamValue(5, level, 2);
    fx.db->setParamValue(5, level, 3);
    QCOMPARE(spy.size(), 2);
    fx.db->setParamValue(5, gain, 4);
    QCOMPARE(spy.size(), 4);
    QCOMPARE(spy.at(3).at(0).toInt(), sum->indexInDevice);
    QCOMPARE(spy.at(3).at(3).value<const ParamCore*>(), static_cast<const ParamCore*>(sum));
    QCOMPARE(sum->readValue, 7u);
    QCOMPARE(sum->argumentCheck.count(), 0);

    fx.db->setParamValue(5, gain, 5);
    QCOMPARE(spy.size(), 5); // b alone does not complete a new round
}

void TstDevice::adapterSubscribesThroughTheDeviceSlots()
{
    DevicesFixture fx;
    Device* device = fx.db->createEmptyDevice(QStringLiteral("E1"), 3, 1, -1);
    QObject terminal;
    QPointer<Adapter> adapter = device->createAdapter(&terminal);
    QVERIFY(device->populated);
    QCOMPARE(adapter->parent(), &terminal);
    QCOMPARE(adapter->deviceName, device->name);
    QCOMPARE(adapter->agents.size(), device->parameters.size());
    QCOMPARE(adapter->agents.at(5)->parameterName, QStringLiteral("level"));
    QCOMPARE(adapter->agents.at(5)->parameterIndex, 5);
    QCOMPARE(adapter->devicePosition, device->deviceIndex);
    QCOMPARE(adapter->listRevision, fx.db->listRevision);

    Device::m_iTicketId = 40;
    adapter->setAutoreadPeriod(5, 30);
    QCOMPARE(adapter->ticketId, 40);
    Param* level = DevicesFixture::param(device, "level");
    QCOMPARE(level->tickets.size(), 1);
    QCOMPARE(level->tickets.get(0)->period, 30);
    adapter->setAutoreadPeriod(10);
    QCOMPARE(level->tickets.get(0)->period, 10);
    QCOMPARE(DevicesFixture::param(device, "status")->tickets.get(0)->ticketId, 40);

    // A bad agent index changes nothing.
    int id = -1;
    device->slotSetAutoreadPeriod(99, id, 5);
    QCOMPARE(id, -1);

    delete adapter;
    for (const Param* param : qAsConst(device->parameters))
        QCOMPARE(param->tickets.size(), 0);
}

void TstDevice::readListSwapsItsArraysAndResetsOnlyTheCurrent()
{
    DevicesFixture fx;
    Device* device = fx.db->createEmptyDevice(QStringLiteral("E1"), 3, 1, -1);
    device->populateDevice();
    Param* level = DevicesFixture::param(device, "level");
    device->appendParamToReadQueryParamList(level, 1);
    ArraysHandler<Param>::Array* current = nullptr;
    ArraysHandler<Param>::Array* other = nullptr;
    device->readList.getArrays(current, other);
    QCOMPARE(current, &device->readList.current());
    device->readList.swapArrays();
    QCOMPARE(device->readList.index(), 1);
    QCOMPARE(&device->readList.other(), current);
    device->readList.append(level);
    device->readList.swapArrays();
    device->readList.resetData(level);
    QCOMPARE(device->readList.current().at(0), nullptr);
    QCOMPARE(device->readList.other().at(0), level);
    device->readList.clear();
    QCOMPARE(device->readList.other().size(), 0);
}

void TstDevice::notifyMessagesCarryTheParamIndex()
{
    DevicesFixture fx;
    Device* device = fx.boundE1(2, 9);
    QSignalSpy spy(device, &Device::signalNotifyMessage);
    device->sendNotifyMessageSignal(DevicesFixture::param(device, "gain"), DbEntity::Timeout);
    device->sendNotifyMessageSignal(nullptr, DbEntity::NotifyMessage(1234));
    QCOMPARE(spy.size(), 2);
    QCOMPARE(spy.at(0),
             QVariantList({6, device->deviceIndex, 0, QVariant::fromValue(DbEntity::Timeout)}));
    QCOMPARE(spy.at(1).at(0).toInt(), -1);
    QCOMPARE(int(spy.at(1).at(3).value<DbEntity::NotifyMessage>()), 1234);
}

QTEST_GUILESS_MAIN(TstDevice)
#include "tst_device.moc"
