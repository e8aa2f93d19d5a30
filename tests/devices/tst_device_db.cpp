#include "connections/adapter.h"
#include "devices_fixture.h"
#include "foundation/z4utils.h"
#include "foundation/zutils.h"

#include <QPointer>
#include <QRandomGenerator>
#include <QtTest>

class TstDeviceDb : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void createEmptyDeviceRefusesWithItsMessage_data();
    void createEmptyDeviceRefusesWithItsMessage();
    void addDeviceAnnouncesOnlyWhatItCreates();
    void serviceDeviceIsBoundWithItsRootParameter();
    void codeTableUsesLowByteForPageAndHighByteForSlot();
    void paramCodesRespectTheMaximumAndBadCodesAreReported();
    void valueDeliveriesUpdateAndSignalBaseThenBits();
    void stringAndStatisticDeliveries();
    void notificationsAreRelayedUnchanged();
    void statesResetByCodeInterfaceOrAll();
    void ticketsByName();
    void removingADeviceRenumbersAndDeletesItLater();
    void staleAdaptersAreResolvedAgainByName();
    void clearDevicesKeepsTheServiceDevice();
    void selectionFromHostDbCreatesWhatIsMissing();
    void findersMatchClassTagsAndDeviceFields();
    void randomHostStringsLeaveTheDatabaseConsistent();
};

void TstDeviceDb::createEmptyDeviceRefusesWithItsMessage_data()
{
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty") << ""
                           << "[DeviceDb::createEmptyDevice()] Device class name is empty.";
    QTest::newRow("unknown") << "X9"
                             << "[DeviceDb::createEmptyDevice()] Device class 'X9' not found.";
    QTest::newRow("duplicate") << "E1"
                               << "[DeviceDb::createEmptyDevice()] Device 'E1_0201' already "
                                  "exists.";
}

void TstDeviceDb::createEmptyDeviceRefusesWithItsMessage()
{
    QFETCH(QString, className);
    QFETCH(QString, message);
    DevicesFixture fx;
    QVERIFY(fx.db->createEmptyDevice(QStringLiteral("E1"), 1, 2, -1));
    fx.log.clear();
    QCOMPARE(fx.db->createEmptyDevice(className, 1, 2, -1), nullptr);
    QCOMPARE(fx.log.texts(TestLog::Sink::Error) + fx.log.warnings(), QStringList {message});
    QCOMPARE(fx.db->devices.size(), 2);
}

void TstDeviceDb::addDeviceAnnouncesOnlyWhatItCreates()
{
    DevicesFixture fx;
    QSignalSpy spy(fx.db.get(), &DeviceDb::signalDeviceAppended);
    Device* device = fx.db->addDevice(QStringLiteral("E1"), 2, 1, 0x21, Tavo::NativeProtocol,
                                      QStringLiteral("x"));
    QVERIFY(device);
    QCOMPARE(device->parent(), fx.db.get());
    QCOMPARE(device->deviceIndex, 1);
    QCOMPARE(device->protocol, Tavo::NativeProtocol);
    QCOMPARE(device->protocolText, QStringLiteral("x"));
    QVERIFY(!device->populated);
    QCOMPARE(fx.db->getDeviceByCode(0x21), device);
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy.at(0), QVariantList({"E1", 2, 1}));

    QCOMPARE(fx.db->addDevice(QStringLiteral("X9"), 2, 1, -1, Tavo::NoProtocol, QString()),
             nullptr);
    QCOMPARE(fx.db->addDevice(QStringLiteral("E1"), 2, 1, -1, Tavo::NoProtocol, QString()),
             nullptr);
    QCOMPARE(spy.size(), 1);
}

void TstDeviceDb::serviceDeviceIsBoundWithItsRootParameter()
{
    DevicesFixture fx;
    Device* service = fx.db->findDevice(QStringLiteral("SERVICE_0000"));
    QVERIFY(service);
    QVERIFY(service->service);
    QVERIFY(service->populated);
    QCOMPARE(service->state(), DbEntity::Bound);
    QCOMPARE(fx.db->getDeviceByCode(0), service);
    Param* root = fx.db->getParamByCode(0, 0).param;
    QCOMPARE(root, DevicesFixture::param(service, "root"));
    QVERIFY(root->service);
    QVERIFY(fx.db->serviceAdapter);
    QCOMPARE(fx.db->serviceAdapter->parent(), fx.db.get());
    QCOMPARE(fx.db->serviceAgentIndex, root->indexInDevice);
    QCOMPARE(fx.db->serviceAdapter->getAgentTag(fx.db->serviceAgentIndex, nullptr), 0);
}

void TstDeviceDb::codeTableUsesLowByteForPageAndHighByteForSlot()
{
    DevicesFixture fx;
    Device* device = fx.db->createEmptyDevice(QStringLiteral("E1"), 1, 0, 0x0102);
    QVERIFY(fx.db->deviceCodeTable[2]);
    QCOMPARE(fx.db->deviceCodeTable[2][1], device);
    Device* sharing = fx.db->createEmptyDevice(QStringLiteral("E1"), 2, 0, 2);
    QCOMPARE(fx.db->deviceCodeTable[2][0], sharing);
    QCOMPARE(fx.db->getDeviceByCode(0x0102), device);
    QCOMPARE(fx.log.errors(), QStringList());

    QCOMPARE(fx.db->getDeviceByCode(0x0202), nullptr);
    QCOMPARE(fx.db->getDeviceByCode(3), nullptr);
    QCOMPARE(fx.db->getDeviceByCode(-1), nullptr);
    QCOMPARE(fx.db->getDeviceByCode(0x10000), nullptr);
    QCOMPARE(fx.log.errors(),
             QStringList({"[DeviceDb::getDevice()] Can't resolve Device-class by code 2 (device "
                          "code = 514)",
                          "[DeviceDb::getDevice()] Can't resolve Code0-class by code 3 (device "
                          "code = 3)"}));
    QCOMPARE(fx.db->setDeviceCode(QStringLiteral("E1_0009"), 4), nullptr);
}

void TstDeviceDb::paramCodesRespectTheMaximumAndBadCodesAreReported()
{
    DevicesFixture fx;
    Device* device = fx.db->createEmptyDevice(QStringLiteral("E1"), 1, 0, 7);
    device->populateDevice();
    fx.log.clear();

    QCOMPARE(fx.db->setParamCode(7, QStringLiteral("level"), PARAM_MAX_COUNT), nullptr);
    QCOMPARE(fx.db->setParamCode(7, QStringLiteral("nope"), 1), nullptr);
    QCOMPARE(fx.db->setParamCode(8, QStringLiteral("level"), 1), nullptr);
    QCOMPARE(fx.db->setParamCode(7, QStringLiteral("port_0"), 40958), nullptr);
    QCOMPARE(fx.log.errors(),
             QStringList({"[DeviceDb::setParamCode()] prmCode == 40960. must be less then 40960. "
                          "Need to increase PARAM_MAX_COUNT const in paramlist",
                          "[DeviceDb::setParamCode()] Can't find prmName:nope in param map",
                          "[DeviceDb::getDevice()] Can't resolve Code0-class by code 8 (device "
                          "code = 8)",
                          "[DeviceDb::setParamCode()] prmCode+arraySize-1 == 40960. must be less "
                          "then 40960. Need to increase PARAM_MAX_COUNT const in paramlist"}));
    Param* head = DevicesFixture::param(device, "port_0");
    QCOMPARE(head->state(), DbEntity::Bound); // the head stays bound
    QCOMPARE(head->code, 40958);
    QCOMPARE(DevicesFixture::param(device, "port_1")->state(), DbEntity::NotBound);

    QCOMPARE(fx.db->setParamCode(7, QStringLiteral("port_0"), 20), head);
    for (int i = 0; i < 3; ++i) {
        Param* port = DevicesFixture::param(device, QByteArray("port_") + QByteArray::number(i));
        QCOMPARE(port->code, 20 + i);
        QCOMPARE(port->arrayBaseCode, 20);
        QCOMPARE(fx.db->getParamByCode(7, 20 + i).param, port);
    }

    fx.log.clear();
    const DevPrm above = fx.db->getParamByCode(7, PARAM_MAX_COUNT);
    QVERIFY(!above.device && !above.param && !fx.db->getParamByCode(7, -1).param);
    device->parametersByCode[3] = nullptr;
    QCOMPARE(fx.db->getParamByCode(7, 3).param, nullptr);
    const QString limit = QStringLiteral("[getParam()] param code must be less than 40960 (need "
                                         "change PARAM_MAX_COUNT constant in paramlist)");
    QCOMPARE(fx.log.errors(),
             QStringList({limit, limit, "[getParam()] Can't resolve Param-class by code 3"}));
}

void TstDeviceDb::valueDeliveriesUpdateAndSignalBaseThenBits()
{
    DevicesFixture fx;
    Device* device = fx.boundE1(1, 4);
    Param* status = DevicesFixture::param(device, "status");
    QSignalSpy deviceSpy(device, &Device::signalParamHasRead);
    QSignalSpy paramSpy(status, &Param::signalHasRead);

    QCOMPARE(fx.db->setParamValue(4, status->code, 0x5), status);
    QCOMPARE(status->readValue, 5u);
    QCOMPARE(deviceSpy.size(), 4);
    QCOMPARE(deviceSpy.at(0),
             QVariantList({status->indexInDevice, device->deviceIndex, 0,
                           QVariant::fromValue(static_cast<const ParamCore*>(status))}));
    for (int i = 0; i < 3; ++i) {
        Param* flag = status->bitParameters.at(i);
        QCOMPARE(deviceSpy.at(1 + i).at(0).toInt(), flag->indexInDevice);
        QCOMPARE(flag->readValue, i == 1 ? 0u : 1u);
    }
    QCOMPARE(paramSpy.size(), 1);
    QCOMPARE(paramSpy.at(0).at(0).toInt(), status->indexInDevice);

    QCOMPARE(fx.db->setParamValue(4, 999, 1), nullptr);
    QCOMPARE(fx.db->setParamValue(77, 0, 1), nullptr);
    QCOMPARE(deviceSpy.size(), 4);
}

void TstDeviceDb::stringAndStatisticDeliveries()
{
    DevicesFixture fx;
    Device* device = fx.boundE1(1, 4);
    Param* label = DevicesFixture::param(device, "label");
    Param* level = DevicesFixture::param(device, "level");
    QSignalSpy spy(device, &Device::signalParamHasRead);

    QCOMPARE(fx.db->setParamStringValue(4, label->code, "6869"), label);
    QCOMPARE(label->readBytes, QByteArray("hi"));
    QCOMPARE(fx.db->setParamStringValue(4, label->code, "6Z"), nullptr);
    QCOMPARE(label->readBytes, QByteArray("hi"));
    QCOMPARE(spy.size(), 1);

    QCOMPARE(fx.db->setParamStatValue(4, level->code, 4, 10, 30, 4, 1, 4), level);
    QCOMPARE(level->statisticCount, 4);
    QCOMPARE(spy.size(), 2);

    // The service parameter logs a text it cannot decode, and still refuses it.
    fx.log.clear();
    QCOMPARE(fx.db->setParamStringValue(0, 0, "zz"), nullptr);
    QCOMPARE(fx.log.errors(),
             QStringList({"Unrecognizing encoding string was received: 'z.z. (2)'",
                          "[setReadStringValue()] invalid input data - string decoding error"}));

    Param* sum = DevicesFixture::param(device, "sum");
    QCOMPARE(fx.db->sendVirtualParamValue(device->deviceIndex, sum->indexInDevice), sum);
    QCOMPARE(spy.size(), 3);
    QCOMPARE(fx.db->sendVirtualParamValue(device->deviceIndex, level->indexInDevice), nullptr);
    QCOMPARE(fx.db->sendVirtualParamValue(9, 0), nullptr);
    QCOMPARE(fx.db->sendVirtualParamValue(device->deviceIndex, 99), nullptr);
}

void TstDeviceDb::notificationsAreRelayedUnchanged()
{
    DevicesFixture fx;
    Device* device = fx.boundE1(1, 4);
    QSignalSpy errors(fx.db.get(), &DeviceDb::signalError);
    QSignalSpy files(fx.db.get(), &DeviceDb::signalNotifyFileTransfer);
    fx.db->notifyParam(4, DevicesFixture::param(device, "gain")->code, DbEntity::WriteFailed);
    fx.db->notifyDevice(4, DbEntity::NotifyMessage(4242));
    fx.db->notifyFileTransfer(QStringLiteral("fw.bin"), 2048);
    QCOMPARE(errors.size(), 2);
    QCOMPARE(errors.at(0), QVariantList({4, 6, QVariant::fromValue(DbEntity::WriteFailed)}));
    QCOMPARE(errors.at(1).at(1).toInt(), -1);
    QCOMPARE(int(errors.at(1).at(2).value<DbEntity::NotifyMessage>()), 4242);
    QCOMPARE(files.at(0), QVariantList({"fw.bin", qint64(2048)}));
}

void TstDeviceDb::statesResetByCodeInterfaceOrAll()
{
    DevicesFixture fx;
    Device* e1 = fx.boundE1(1, 4);
    Device* other = fx.boundE1(2, 5);
    QVERIFY(fx.db->resetDevice(4));
    QCOMPARE(e1->state(), DbEntity::NotBound);
    QCOMPARE(e1->code, 4);
    QCOMPARE(fx.db->getDeviceByCode(4), e1);
    QVERIFY(!fx.db->resetDevice(6));

    QVERIFY(fx.db->setDeviceStateByName(e1->name, DbEntity::Bound));
    QVERIFY(!fx.db->setDeviceStateByName(QStringLiteral("E1_0099"), DbEntity::Bound));
    QVERIFY(!fx.db->resetDevicesByInterface(QStringLiteral("none")));
    QVERIFY(fx.db->resetDevicesByInterface(QStringLiteral("e1if")));
    QCOMPARE(e1->code, -1);
    QCOMPARE(other->code, -1);
    QVERIFY(QTime::currentTime().msecsTo(e1->resetTime) > 50000 ||
            e1->resetTime < QTime::currentTime());
    Device* service = fx.db->findDevice(QStringLiteral("SERVICE_0000"));
    QCOMPARE(service->code, 0);
    fx.db->resetAllDevices();
    QCOMPARE(service->code, -1);
    QCOMPARE(service->state(), DbEntity::NotBound);
}

void TstDeviceDb::ticketsByName()
{
    DevicesFixture fx;
    Device* device = fx.db->createEmptyDevice(QStringLiteral("E1"), 1, 0, -1);
    Device::m_iTicketId = 7;
    QCOMPARE(fx.db->getTicketId(QStringLiteral("nobody")), -1);
    int id = fx.db->getTicketId(device->name);
    QCOMPARE(id, 7);
    QVERIFY(device->populated);
    QVERIFY(fx.db->setTicket(device->name, QStringLiteral("level"), id, 15));
    QCOMPARE(DevicesFixture::param(device, "level")->tickets.get(0)->period, 15);
    int unset = -1;
    QVERIFY(!fx.db->setTicket(device->name, QStringLiteral("gain"), unset, 15));
    QVERIFY(!fx.db->setTicket(device->name, QStringLiteral("ghost"), id, 15));
    QVERIFY(fx.db->deleteTicket(device->name, QStringLiteral("level"), id));
    QVERIFY(!fx.db->deleteTicket(device->name, QStringLiteral("level"), id));
    QVERIFY(!fx.db->deleteTicket(QStringLiteral("nobody"), QStringLiteral("level"), id));
}

void TstDeviceDb::removingADeviceRenumbersAndDeletesItLater()
{
    DevicesFixture fx;
    Device* first = fx.boundE1(1, 4);
    QPointer<Device> middle = fx.boundE1(2, 5);
    Device* last = fx.boundE1(3, 0x105);
    fx.db->readDeviceList.append(middle);
    fx.db->writeDeviceList.append(middle);
    fx.db->readQuery(middle->name, QStringLiteral("level"), 1, false);
    QCOMPARE(fx.db->lastReadParameter, DevicesFixture::param(middle, "level"));

    QStringList order;
    connect(fx.db.get(), &DeviceDb::signalAboutToDeviceDelete, this, [&](const QString& name) {
        order << QStringLiteral("about:") + name;
        QVERIFY(fx.db->findDevice(name)); // still there for the receivers
    });
    connect(fx.db.get(), &DeviceDb::signalDeviceDelete, this, [&](const QString& name) {
        order << QStringLiteral("deleted:") + name;
        QVERIFY(!fx.db->findDevice(name));
    });
    fx.db->removeDevice(QString());
    fx.db->removeDevice(QStringLiteral("E1_0077"));
    QCOMPARE(fx.db->listRevision, 0);

    fx.db->removeDevice(QStringLiteral("E1_0002"));
    QCOMPARE(order, QStringList({"about:E1_0002", "deleted:E1_0002"}));
    QCOMPARE(fx.db->listRevision, 1);
    QCOMPARE(first->deviceIndex, 1);
    QCOMPARE(last->deviceIndex, 2);
    QCOMPARE(fx.db->devices, QList<Device*>({fx.db->devices.at(0), first, last}));
    QCOMPARE(fx.db->deviceCodeTable[5][0], nullptr);
    QCOMPARE(fx.db->readDeviceList.current().at(0), nullptr);
    QCOMPARE(fx.db->writeDeviceList.current().at(0), nullptr);
    QCOMPARE(fx.db->lastReadParameter, nullptr);
    fx.verifyConsistent();

    QVERIFY(!middle.isNull()); // deletion waits for the event loop
    QTRY_VERIFY(middle.isNull());
}

void TstDeviceDb::staleAdaptersAreResolvedAgainByName()
{
    DevicesFixture fx;
    fx.db->createEmptyDevice(QStringLiteral("E1"), 1, 0, -1);
    Device* second = fx.db->createEmptyDevice(QStringLiteral("E1"), 2, 0, -1);
    EngineBroker broker(nullptr, nullptr);
    auto* adapter = second->createAdapter(&broker);
    broker.addAdapter(adapter);
    QCOMPARE(fx.db->getDevice(adapter), second);
    QCOMPARE(fx.db->getParam(adapter, 5), DevicesFixture::param(second, "level"));
    QCOMPARE(fx.db->getParam(adapter, 99), nullptr);
    QCOMPARE(fx.db->findAdapterByReliableDeviceIndex(&broker, 2), adapter);

    fx.db->removeDevice(QStringLiteral("E1_0001"));
    QCOMPARE(fx.db->findAdapterByReliableDeviceIndex(&broker, 2), nullptr);
    QCOMPARE(broker.adapterList.at(2), nullptr);
    QCOMPARE(fx.db->findAdapterByReliableDeviceIndex(&broker, 1), adapter);
    QCOMPARE(adapter->devicePosition, 1);
    QCOMPARE(adapter->listRevision, 1);
    QCOMPARE(broker.adapterList.at(1), adapter);

    fx.db->removeDevice(fx.db->devices.at(0)->name); // the service device goes too
    int index = 1;
    QCOMPARE(fx.db->findAdapterByUnreliableAdapterIndex(&broker, index, second->name), adapter);
    QCOMPARE(index, 0);
    QCOMPARE(fx.db->getDevice(adapter), second);
    int missing = 5;
    QCOMPARE(fx.db->findAdapterByUnreliableAdapterIndex(&broker, missing, "E1_0009"), nullptr);
    QCOMPARE(fx.db->completeAgent(adapter, QStringLiteral("gain"), 3, &index), 6);
    QCOMPARE(adapter->getAgentTag(6, nullptr), 3);
    QCOMPARE(fx.db->completeAgent(adapter, QStringLiteral("ghost"), 3, nullptr), -1);

    fx.db->removeDevice(second->name);
    QCOMPARE(fx.db->getDevice(adapter), nullptr);
    QCOMPARE(fx.db->completeAgent(adapter, QStringLiteral("gain"), 3, nullptr), -1);
}

void TstDeviceDb::clearDevicesKeepsTheServiceDevice()
{
    DevicesFixture fx;
    fx.boundE1(2, 4);
    fx.db->createEmptyDevice(QStringLiteral("E1"), 1, 0, -1);
    QSignalSpy deleted(fx.db.get(), &DeviceDb::signalDeviceDelete);
    fx.db->clearDevices();
    QCOMPARE(deleted.size(), 2);
    QCOMPARE(deleted.at(0).at(0).toString(), QStringLiteral("E1_0001")); // name order
    QCOMPARE(fx.db->devicesByName.keys(), QStringList {"SERVICE_0000"});
    QCOMPARE(fx.db->listRevision, 2);

    fx.db->resetAllDevices(); // its code is then -1, no longer 0
    fx.db->clearDevices();
    QCOMPARE(fx.db->devices.size(), 1);
    fx.verifyConsistent();
}

void TstDeviceDb::selectionFromHostDbCreatesWhatIsMissing()
{
    DevicesFixture fx;
    AsciiZ name;
    name.append("E1_0201", -1);
    fx.db->addSelectedDevice(name, 9);
    QCOMPARE(fx.db->selectedDevices.size(), 1);
    const SelectedDeviceItem* item = fx.db->selectedDevices.at(0);
    QCOMPARE(item->className, QStringLiteral("E1"));
    QCOMPARE(item->tag, 1);
    QCOMPARE(item->baseTag, 2);
    QCOMPARE(item->deviceCode, 9);

    QSignalSpy updated(fx.db.get(), &DeviceDb::signalSelectedDeviceListUpdated);
    QSignalSpy appended(fx.db.get(), &DeviceDb::signalDeviceAppended);
    fx.db->workUpSelectedDeviceList(Tavo::NativeProtocol, QString());
    fx.db->workUpSelectedDeviceList(Tavo::NativeProtocol, QString());
    QCOMPARE(updated.size(), 2);
    QCOMPARE(appended.size(), 1);
    QCOMPARE(fx.db->getDeviceByCode(9)->name, QStringLiteral("E1_0201"));

    SelectedDeviceItem all;
    all.className = QStringLiteral("*");
    fx.db->selectFromHostDb(&all);
    QCOMPARE(fx.db->selectionActive, 1);
    QCOMPARE(fx.db->selectedDevices.size(), 2);
    SelectedDeviceItem byTag;
    byTag.className = QStringLiteral("E1");
    byTag.tag = 1;
    fx.db->selectFromHostDb(&byTag);
    QCOMPARE(fx.db->selectedDevices.size(), 1);
    QCOMPARE(fx.db->selectedDevices.at(0)->deviceCode, 9);
    byTag.init();
    QCOMPARE(byTag.tag, -1);
    fx.db->clearSelectedDeviceList();
    QCOMPARE(fx.db->selectionActive, 0);
    QVERIFY(fx.db->selectedDevices.isEmpty());
}

void TstDeviceDb::findersMatchClassTagsAndDeviceFields()
{
    DevicesFixture fx;
    Device* a = fx.db->createEmptyDevice(QStringLiteral("E1"), 1, 0, -1);
    Device* b = fx.db->createEmptyDevice(QStringLiteral("E1"), 2, 0, -1);
    Device* c = fx.db->createEmptyDevice(QStringLiteral("IF"), 1, 3, -1);
    QList<Device*> found;
    QCOMPARE(fx.db->findDevices(QStringLiteral("E1"), -1, -1, found), 2);
    found.clear();
    QCOMPARE(fx.db->findDevices(QString(), 1, -1, found), 2);
    QCOMPARE(found, QList<Device*>({a, c}));
    QCOMPARE(fx.db->findDevice(QStringLiteral("IF"), 1, 3), c);

    b->matchText = QStringLiteral("m");
    Param* matched = fx.db->getParam(QStringLiteral("E1"), -1, -1, QStringLiteral("m"), -1,
                                     QStringLiteral("gain"), QString());
    QVERIFY(b->populated);
    QCOMPARE(matched, DevicesFixture::param(b, "gain"));
    a->populateDevice();
    c->populateDevice();
    QCOMPARE(fx.db->getParam(QString(), -1, 3, QString(), -1, QStringLiteral("speed"),
                             QStringLiteral("ifif")),
             DevicesFixture::param(c, "speed"));
    QCOMPARE(fx.db->getParam(QString(), -1, -1, QString(), 5, QStringLiteral("gain"), QString()),
             nullptr);
    QCOMPARE(fx.db->getParamCore(a->name, QStringLiteral("gain")),
             static_cast<ParamCore*>(DevicesFixture::param(a, "gain")));
    QCOMPARE(fx.db->getParam(QStringLiteral("E1_0077"), QStringLiteral("gain")), nullptr);
}

void TstDeviceDb::randomHostStringsLeaveTheDatabaseConsistent()
{
    DevicesFixture fx;
    fx.boundE1(1, 4);
    fx.boundE1(2, 0x204);
    QRandomGenerator random(20240607);
    for (int round = 0; round < 3000; ++round) {
        QByteArray bytes(int(random.bounded(40)), Qt::Uninitialized);
        for (char& byte : bytes)
            byte = char(random.bounded(256));
        // Half of the strings are valid hex, so that they reach the parser.
        if (round % 2 == 0) {
            QByteArray hex;
            utils::byteArrayHexEncoding(bytes, hex, 0);
            bytes = hex;
        }
        fx.db->setParamStringValue(0, 0, bytes);
        fx.db->setParamStringValue(int(random.bounded(0x300)), int(random.bounded(64)) - 4, bytes);
        fx.db->setParamValue(int(random.bounded(0x300)), int(random.bounded(64)) - 4,
                             random.generate());
    }
    fx.verifyConsistent();
}

QTEST_GUILESS_MAIN(TstDeviceDb)
#include "tst_device_db.moc"
