#include "connections/adapter.h"
#include "devices_fixture.h"
#include "foundation/app_shared.h"

#include <QPointer>
#include <QtTest>

class TstDevice : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { fx = std::make_unique<DevicesFixture>(); }
    void cleanup() { fx.reset(); }
    void populationNamesArrayElementsAndNumbersTheirOids();
    void postProcessingReportsEveryMissingLink();
    void populationWithoutClassFailsAndLeavesTheDeviceEmpty();
    void snmpDevicesAreBoundByIndexAndJsonOnesKeepTheirAddress();
    void scriptResultsBecomeTheValue_data();
    void scriptResultsBecomeTheValue();
    void virtualParamIsEvaluatedOnceAllArgumentsReportedUnderATicket();
    void adapterSubscribesThroughTheDeviceSlots();
    void notifyMessagesCarryTheParamIndex();
    void adapterNameGivesClassAndTags_data();
    void adapterNameGivesClassAndTags();
    void agentsAreFoundByPosition();
    void brokerKeepsAdaptersByNameAndPosition();

private:
    std::unique_ptr<DevicesFixture> fx;
};

void TstDevice::populationNamesArrayElementsAndNumbersTheirOids()
{
    Device* device = fx->db->createEmptyDevice(QStringLiteral("E1"), 3, 1, -1);
    QCOMPARE(device->name, QStringLiteral("E1_0103"));
    QVERIFY(device->populateDevice());
    QCOMPARE(device->interface, QStringLiteral("e1if"));
    QCOMPARE(fx->log.errors(), QStringList());
    // A second population keeps the parameters it made the first time.
    const QList<Param*> first = device->parameters;
    QVERIFY(device->populateDevice());
    QCOMPARE(device->parameters, first);

    // Name, readable name, name shown, array index and size, OID, state.
    QStringList params;
    for (const Param* param : qAsConst(device->parameters)) {
        QCOMPARE(param->indexInDevice, params.size());
        QCOMPARE(param->parentEntity(), device);
        QCOMPARE(device->parametersByName.value(param->DbEntity::name), param);
        params << QStringLiteral("%1|%2|%3|%4/%5|%6|%7")
                      .arg(param->DbEntity::name, param->humanName, param->ParamCore::name)
                      .arg(param->arrayIndex)
                      .arg(param->arraySize)
                      .arg(param->oid)
                      .arg(param->state());
    }
    QCOMPARE(params,
             QStringList({"alarm||alarm|0/1||1", "status|Status|status|0/1||0", "flag_0|||0/3||0",
                          "flag_1|||1/0||0", "flag_2|||2/0||0", "level||level|0/1||0",
                          "gain||gain|0/1||0", "label||label|0/1||0",
                          "port_0|Port[0]||0/3|1.3.6.1.2.5|0", "port_1|Port[1]||1/0|1.3.6.1.2.6|0",
                          "port_2|Port[2]||2/0|1.3.6.1.2.7|0", "sum||sum|0/1||1"}));
    QCOMPARE(device->parametersByName.size(), params.size());
    QCOMPARE(fx->param(device, "port_2")->className, QStringLiteral("port"));
    Param* status = fx->param(device, "status");
    QCOMPARE(status->fixedValues, QVector<quint32>({0, 1, 2}));
    QCOMPARE(status->valueTexts, QStringList({"Off", "On", "2"}));
    QCOMPARE(fx->param(device, "sum")->argumentParameters,
             QList<Param*>({fx->param(device, "level"), fx->param(device, "gain")}));
}

void TstDevice::postProcessingReportsEveryMissingLink()
{
    Device* device = fx->db->createEmptyDevice(QStringLiteral("E1"), 1, 0, -1);
    QVERIFY(device->populateDevice());
    Param* flag = fx->param(device, "flag_1");
    Param* sum = fx->param(device, "sum");
    flag->baseName = QStringLiteral("nothing");
    sum->scriptArguments.insert(QStringLiteral("c"), QStringLiteral("ghost"));
    device->parametersByName.insert(QStringLiteral("hole"), nullptr);
    sum->scriptArguments.insert(QStringLiteral("d"), QStringLiteral("hole"));
    sum->argumentParameters.clear();
    fx->log.clear();

    QVERIFY(!device->devicePostProcessing());
    QCOMPARE(fx->log.errors(),
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
    Device device(0, 0, nullptr);
    device.className = QStringLiteral("Gone");
    QVERIFY(!device.populateDevice());
    QVERIFY(!device.populated);
    QVERIFY(device.parameters.isEmpty());

    share::classDb->deviceClasses.insert(QStringLiteral("Null"), nullptr);
    device.className = QStringLiteral("Null");
    QVERIFY(!device.populateDevice());
    QCOMPARE(fx->log.errors(),
             QStringList({"[populateDevice()] Device class 'Gone' is not found in class database",
                          "[populateDevice()] Device class 'Null' is NULL in class database"}));
}

void TstDevice::snmpDevicesAreBoundByIndexAndJsonOnesKeepTheirAddress()
{
    Device* device =
        fx->db->addDevice(QStringLiteral("IF"), 3, 0, -1, Tavo::SnmpProtocol, QStringLiteral("7"));
    QVERIFY(device->populateDevice());
    QCOMPARE(device->state(), DbEntity::Bound);
    QCOMPARE(device->code, device->deviceIndex);
    QCOMPARE(fx->db->getDeviceByCode(device->code), device);

    // Each OID in the map, with its parameter's state and code.
    QStringList oids;
    for (auto it = fx->db->oidMap.cbegin(); it != fx->db->oidMap.cend(); ++it) {
        const Param* param = it.value()->param;
        QCOMPARE(it.value()->device, device);
        QCOMPARE(param->oid, it.key());
        QCOMPARE(param->code, param->indexInDevice);
        oids << QStringLiteral("%1=%2:%3").arg(it.key(), param->DbEntity::name).arg(param->state());
    }
    QCOMPARE(oids,
             QStringList(
                 {"1.3.6.1.2.10.7=ports_1:1", "1.3.6.1.2.5.7=speed:1", "1.3.6.1.2.9.7=ports_0:1"}));
    fx->db->removeDevice(device->name);
    QVERIFY(fx->db->oidMap.isEmpty());

    device = fx->db->addDevice(QStringLiteral("E1"), 1, 0, -1, Tavo::JsonProtocol,
                               QStringLiteral("/rack/1"));
    QCOMPARE(device->matchNumber, -1);
    QVERIFY(device->populateDevice());
    QCOMPARE(device->protocolAddress, QStringLiteral("/rack/1"));
    QCOMPARE(device->matchNumber, 0);
    QCOMPARE(device->state(), DbEntity::NotBound);
}

void TstDevice::scriptResultsBecomeTheValue_data()
{
    QTest::addColumn<QString>("body"); // a is 1.0 as a float word, b the text "12"
    QTest::addColumn<bool>("ok");
    QTest::addColumn<quint32>("value");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("error"); // %s stands for the source

    QTest::newRow("negative") << "return -1;" << true << 0xFFFFFFFFu << true << QString();
    QTest::newRow("true") << "return true;" << true << 1u << true << QString();
    QTest::newRow("false") << "return false;" << true << 0u << false << QString();
    QTest::newRow("word-argument") << "return a;" << true << 1065353216u << true << QString();
    // A text argument stops at its first zero byte.
    QTest::newRow("text-argument")
        << "return b.length == 2 ? b * 2 : -7;" << true << 24u << true << QString();
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
    Device* device = fx->db->createEmptyDevice(QStringLiteral("E1"), 1, 0, -1);
    device->populateDevice();
    Param* sum = fx->param(device, "sum");
    Param* label = fx->param(device, "label");
    fx->param(device, "level")->readValue = 0x3F800000;
    label->readBytes = QByteArray("12\0"
                                  "9",
                                  4);
    sum->argumentParameters[1] = label;
    sum->script = body;
    QCOMPARE(sum->scriptEval(), ok);
    QCOMPARE(sum->readValue, value);
    QCOMPARE(sum->readValid, valid);
    const QString source = QStringLiteral("function vparam(a, b) { %1 }").arg(body);
    QCOMPARE(fx->log.errors(),
             error.isEmpty() ? QStringList() : QStringList {QString(error).replace("%s", source)});
}

void TstDevice::virtualParamIsEvaluatedOnceAllArgumentsReportedUnderATicket()
{
    Device* device = fx->boundE1(1, 5);
    Param* sum = fx->param(device, "sum");
    const int level = fx->param(device, "level")->code;
    const int gain = fx->param(device, "gain")->code;
    QSignalSpy spy(device, &Device::signalParamHasRead);
    for (int i = 0; i < 2; ++i) {
        fx->db->setParamValue(5, level, 1);
        fx->db->setParamValue(5, gain, 1);
    }
    QCOMPARE(spy.size(), 4); // without a ticket, never evaluated
    QVERIFY(!sum->readValid);
    QCOMPARE(sum->argumentCheck.count(), 0);

    sum->createTicket(1, 10);
    spy.clear();
    fx->db->setParamValue(5, level, 2);
    fx->db->setParamValue(5, level, 3);
    fx->db->setParamValue(5, gain, 4);
    fx->db->setParamValue(5, gain, 5); // b alone does not complete a new round
    QCOMPARE(fx->emissions(spy),
             QStringList({"5|1|0|level", "5|1|0|level", "6|1|0|gain", "11|1|0|sum", "6|1|0|gain"}));
    QCOMPARE(sum->readValue, 7u);
    QCOMPARE(sum->argumentCheck.count(), 1);
}

void TstDevice::adapterSubscribesThroughTheDeviceSlots()
{
    Device* device = fx->db->createEmptyDevice(QStringLiteral("E1"), 3, 1, -1);
    QObject terminal;
    QPointer<Adapter> adapter = device->createAdapter(&terminal);
    QVERIFY(device->populated);
    QCOMPARE(adapter->parent(), &terminal);
    QCOMPARE(adapter->deviceName, device->name);
    QCOMPARE(adapter->agents.size(), device->parameters.size());
    QCOMPARE(adapter->agents.at(5)->parameterName, QStringLiteral("level"));
    QCOMPARE(adapter->agents.at(5)->parameterIndex, 5);
    QCOMPARE(adapter->devicePosition, device->deviceIndex);
    QCOMPARE(adapter->listRevision, fx->db->listRevision);

    // Without a ticket, a zero period asks for nothing.
    adapter->setAutoreadPeriod(0);
    adapter->setAutoreadPeriod(5, 0);
    QCOMPARE(adapter->ticketId, -1);

    Device::m_iTicketId = 40;
    adapter->setAutoreadPeriod(5, 30);
    QCOMPARE(adapter->ticketId, 40);
    Param* level = fx->param(device, "level");
    QCOMPARE(level->tickets.size(), 1);
    QCOMPARE(level->tickets.get(0)->period, 30);
    adapter->setAutoreadPeriod(10);
    QCOMPARE(level->tickets.get(0)->period, 10);
    QCOMPARE(fx->param(device, "status")->tickets.get(0)->ticketId, 40);

    // A bad agent index changes nothing.
    int id = -1;
    device->slotSetAutoreadPeriod(99, id, 5);
    QCOMPARE(id, -1);

    adapter->setAutoreadPeriod(5, 0);
    QCOMPARE(level->tickets.size(), 0);
    delete adapter;
    for (const Param* param : qAsConst(device->parameters))
        QCOMPARE(param->tickets.size(), 0);
}

void TstDevice::notifyMessagesCarryTheParamIndex()
{
    Device* device = fx->boundE1(2, 9);
    QSignalSpy spy(device, &Device::signalNotifyMessage);
    device->sendNotifyMessageSignal(fx->param(device, "gain"), DbEntity::Timeout);
    device->sendNotifyMessageSignal(nullptr, DbEntity::NotifyMessage(1234));
    QCOMPARE(fx->emissions(spy), QStringList({"6|1|0|7", "-1|1|0|1234"}));
}

void TstDevice::adapterNameGivesClassAndTags_data()
{
    QTest::addColumn<QString>("parsed"); // class, tag and base tag from the row's device name
    QTest::newRow("E1_0103") << QStringLiteral("E1 3 1");
    QTest::newRow("MUX_A_2F1A") << QStringLiteral("MUX_A 26 47");
    QTest::newRow("E1_XY01") << QStringLiteral("E1 -1 -1");
    QTest::newRow("E1") << QStringLiteral("E1 -1 -1");
}

void TstDevice::adapterNameGivesClassAndTags()
{
    QFETCH(QString, parsed);
    const QString name = QString::fromLatin1(QTest::currentDataTag());
    Adapter adapter(name, nullptr);
    QCOMPARE(adapter.deviceName, name);
    QCOMPARE(
        QStringLiteral("%1 %2 %3").arg(adapter.className).arg(adapter.tag).arg(adapter.baseTag),
        parsed);
}

void TstDevice::agentsAreFoundByPosition()
{
    Adapter adapter(QStringLiteral("E1_0103"), nullptr);
    Agent* level = adapter.createAgent(QStringLiteral("level"), 4);
    QCOMPARE(level->parent(), &adapter);
    QCOMPARE(adapter.agentsByName.value(QStringLiteral("level")), level);
    level->tag = 9;
    int data = 0;
    level->customData = &data;
    bool ok = false;
    QCOMPARE(adapter.getAgentTag(0, &ok), 9);
    QVERIFY(ok);
    QCOMPARE(adapter.getAgentCustomData(0, &ok), static_cast<void*>(&data));
    QCOMPARE(adapter.getAgentTag(1, &ok), -1);
    QVERIFY(!ok);
    QCOMPARE(adapter.getAgentCustomData(-1, &ok), nullptr);
    QVERIFY(!ok);
    QCOMPARE(adapter.getAgentTag(5, nullptr), -1);
}

void TstDevice::brokerKeepsAdaptersByNameAndPosition()
{
    EngineBroker broker(nullptr, nullptr);
    QCOMPARE(broker.nodeAttr(), nullptr);
    auto* unplaced = new Adapter(QStringLiteral("E1_0001"), &broker);
    auto* placed = new Adapter(QStringLiteral("E1_0002"), &broker);
    placed->devicePosition = 3;
    broker.addAdapter(unplaced);
    broker.addAdapter(placed);
    QCOMPARE(broker.adapterList, QList<Adapter*>({nullptr, nullptr, nullptr, placed}));
    QCOMPARE(broker.getAdapterInList(3), placed);
    QCOMPARE(broker.getAdapterInList(4), nullptr);
    QCOMPARE(broker.getAdapterInList(-1), nullptr);

    QCOMPARE(broker.getAdapterInMapAndCorrectList(QStringLiteral("E1_0002"), 1), placed);
    QCOMPARE(placed->devicePosition, 1);
    QCOMPARE(broker.adapterList, QList<Adapter*>({nullptr, placed, nullptr, nullptr}));
    QCOMPARE(broker.getAdapterInMapAndCorrectList(QStringLiteral("E1_0009"), 1), nullptr);

    broker.clearAdapterInList(placed);
    QCOMPARE(broker.getAdapterInList(1), nullptr);
    broker.addAdapterInList(placed, 0);
    broker.addAdapterInList(placed, 2);
    QCOMPARE(broker.findAdapterByDeviceName(QStringLiteral("E1_0001")), unplaced);
    QCOMPARE(broker.takeAdapterByDeviceName(QStringLiteral("E1_0002")), placed);
    QCOMPARE(broker.adapterList, QList<Adapter*>({nullptr, nullptr, nullptr, nullptr}));
    QCOMPARE(broker.findAdapterByDeviceName(QStringLiteral("E1_0002")), nullptr);
    QCOMPARE(broker.takeAdapterByDeviceName(QStringLiteral("E1_0002")), nullptr);
    QCOMPARE(placed->parent(), &broker); // taken, not deleted
}

QTEST_GUILESS_MAIN(TstDevice)
#include "tst_device.moc"
