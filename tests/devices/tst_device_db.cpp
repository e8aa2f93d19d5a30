#include "connections/adapter.h"
#include "devices_fixture.h"
#include "foundation/zutils.h"

#include <QPointer>
#include <QtTest>

class TstDeviceDb : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { fx = std::make_unique<DevicesFixture>(); }
    void cleanup() { fx.reset(); }
    void createAndAddRefuseWithTheirMessage_data();
    void createAndAddRefuseWithTheirMessage();
    void serviceDeviceIsBoundWithItsRootAndOutlivesClearing();
    void codeTableUsesLowByteForPageAndHighByteForSlot();
    void paramCodesRespectTheMaximumAndBadCodesAreReported();
    void valueDeliveriesUpdateAndSignalBaseThenBits();
    void stringAndStatisticDeliveries();
    void notificationsAreRelayedUnchanged();
    void statesResetByCodeInterfaceOrAll();
    void ticketsByName();
    void removingADeviceRenumbersAndDeletesItLater();
    void staleAdaptersAreResolvedAgainByName();
    void selectionFromHostDbCreatesWhatIsMissing();
    void findersMatchClassTagsAndDeviceFields();
    void messagesCreateAndRemoveDevices_data();
    void messagesCreateAndRemoveDevices();
    void refusedMessagesLogWhy_data();
    void refusedMessagesLogWhy();
    void onlyForcedRequestsPassAHeldOrBlockedScheduler_data();
    void onlyForcedRequestsPassAHeldOrBlockedScheduler();
    void readsAreQueuedOncePerMarkBitsAsTheirBaseVirtualsApart();
    void numericWritesFoldBitsAndAnnounceTheBase();
    void onlyNumericWritesByNameNormaliseTheTags();
    void adapterQueriesUseTheCachedDevice();
    void blockNeedsAReadAndIsReleasedByItsValue();
    void blockIsReleasedByItsOwnerOrByTheTimeout();

private:
    // Traces of the scheduler group are only written while they are wanted.
    void watchScheduler()
    {
        fx->log.setDebugMode(true);
        fx->log.setGroupDebug(fx->db->schedulerLogGroup, true);
        fx->log.clear();
    }

    // What is queued for @p device: "read:names virtual:names write:name=value/hex/text,...",
    // then the lengths of the database's device lists for reading, virtual reading and writing.
    QString queues(const Device* device) const
    {
        QStringList reads, virtuals, writes;
        for (const Param* param : device->readList.current())
            reads << param->DbEntity::name;
        for (const Param* param : device->virtualReadList.current())
            virtuals << param->DbEntity::name;
        for (const WriteItem* item : device->writeList ? *device->writeList : QList<WriteItem*>()) {
            writes << QStringLiteral("%1=%2/%3/%4")
                          .arg(item->targetParameter->DbEntity::name)
                          .arg(item->value)
                          .arg(QString::fromLatin1(item->bytes.toHex()), item->text);
        }
        return QStringLiteral("read:%1 virtual:%2 write:%3 lists:%4/%5/%6")
            .arg(reads.join(','), virtuals.join(','), writes.join(','))
            .arg(fx->db->readDeviceList.current().size())
            .arg(fx->db->virtualReadDeviceList.current().size())
            .arg(fx->db->writeDeviceList.current().size());
    }

    std::unique_ptr<DevicesFixture> fx;
};

void TstDeviceDb::createAndAddRefuseWithTheirMessage_data()
{
    QTest::addColumn<QString>("className");
    QTest::addColumn<bool>("addLogs"); // adding logs nothing for a class it does not know
    QTest::addColumn<QString>("message");
    const QString prefix = QStringLiteral("[DeviceDb::createEmptyDevice()] ");
    QTest::newRow("empty") << "" << false << prefix + "Device class name is empty.";
    QTest::newRow("unknown") << "X9" << false << prefix + "Device class 'X9' not found.";
    QTest::newRow("duplicate") << "E1" << true << prefix + "Device 'E1_0201' already exists.";
}

void TstDeviceDb::createAndAddRefuseWithTheirMessage()
{
    QFETCH(QString, className);
    QFETCH(bool, addLogs);
    QFETCH(QString, message);
    QVERIFY(fx->db->createEmptyDevice(QStringLiteral("E1"), 1, 2, -1));
    QSignalSpy appended(fx->db.get(), &DeviceDb::signalDeviceAppended);
    fx->log.clear();
    QCOMPARE(fx->db->createEmptyDevice(className, 1, 2, -1), nullptr);
    QCOMPARE(fx->db->addDevice(className, 1, 2, -1, Tavo::NoProtocol, QString()), nullptr);
    QCOMPARE(fx->log.texts(TestLog::Sink::Error) + fx->log.warnings(),
             addLogs ? QStringList({message, message}) : QStringList {message});
    QCOMPARE(fx->db->devices.size(), 2);
    QCOMPARE(appended.size(), 0);
}

void TstDeviceDb::serviceDeviceIsBoundWithItsRootAndOutlivesClearing()
{
    Device* service = fx->db->findDevice(QStringLiteral("SERVICE_0000"));
    QVERIFY(service->service);
    QCOMPARE(fx->describe(service),
             QStringLiteral("SERVICE_0000 SERVICE:0:0 #0 code=0 state=1 populated=1 protocol=0:"));
    QCOMPARE(fx->db->getDeviceByCode(0), service);
    Param* root = fx->db->getParamByCode(0, 0).param;
    QCOMPARE(root, fx->param(service, "root"));
    QVERIFY(root->service);
    QCOMPARE(fx->db->serviceAdapter->parent(), fx->db.get());
    QCOMPARE(fx->db->serviceAgentIndex, root->indexInDevice);
    QCOMPARE(fx->db->serviceAdapter->getAgentTag(fx->db->serviceAgentIndex, nullptr), 0);

    fx->boundE1(2, 4);
    fx->db->createEmptyDevice(QStringLiteral("E1"), 1, 0, -1);
    QSignalSpy deleted(fx->db.get(), &DeviceDb::signalDeviceDelete);
    fx->db->clearDevices();
    QCOMPARE(fx->emissions(deleted), QStringList({"E1_0001", "E1_0002"}));
    QCOMPARE(fx->db->devicesByName.keys(), QStringList {"SERVICE_0000"});
    QCOMPARE(fx->db->listRevision, 2);

    fx->db->resetAllDevices(); // its code is then -1, no longer 0
    fx->db->clearDevices();
    QCOMPARE(fx->db->devices.size(), 1);
    fx->verifyConsistent();
}

void TstDeviceDb::codeTableUsesLowByteForPageAndHighByteForSlot()
{
    Device* device = fx->db->createEmptyDevice(QStringLiteral("E1"), 1, 0, 0x0102);
    QVERIFY(fx->db->deviceCodeTable[2]);
    QCOMPARE(fx->db->deviceCodeTable[2][1], device);
    Device* sharing = fx->db->createEmptyDevice(QStringLiteral("E1"), 2, 0, 2);
    QCOMPARE(fx->db->deviceCodeTable[2][0], sharing);
    QCOMPARE(fx->db->getDeviceByCode(0x0102), device);
    QCOMPARE(fx->log.errors(), QStringList());

    for (int code : {0x0202, 3, -1, 0x10000})
        QCOMPARE(fx->db->getDeviceByCode(code), nullptr);
    QCOMPARE(fx->log.errors(),
             QStringList({"[DeviceDb::getDevice()] Can't resolve Device-class by code 2 (device "
                          "code = 514)",
                          "[DeviceDb::getDevice()] Can't resolve Code0-class by code 3 (device "
                          "code = 3)"}));
    QCOMPARE(fx->db->setDeviceCode(QStringLiteral("E1_0009"), 4), nullptr);

    // A value for a device nobody has looked at yet populates it.
    QVERIFY(!device->populated);
    QCOMPARE(fx->db->getParamByCode(0x0102, -1).param, nullptr);
    QVERIFY(device->populated);
}

void TstDeviceDb::paramCodesRespectTheMaximumAndBadCodesAreReported()
{
    Device* device = fx->db->createEmptyDevice(QStringLiteral("E1"), 1, 0, 7);
    device->populateDevice();
    fx->log.clear();

    QCOMPARE(fx->db->setParamCode(7, QStringLiteral("level"), PARAM_MAX_COUNT), nullptr);
    QCOMPARE(fx->db->setParamCode(7, QStringLiteral("nope"), 1), nullptr);
    QCOMPARE(fx->db->setParamCode(8, QStringLiteral("level"), 1), nullptr);
    QCOMPARE(fx->db->setParamCode(7, QStringLiteral("port_0"), 40958), nullptr);
    QCOMPARE(fx->log.errors(),
             QStringList({"[DeviceDb::setParamCode()] prmCode == 40960. must be less then 40960. "
                          "Need to increase PARAM_MAX_COUNT const in paramlist",
                          "[DeviceDb::setParamCode()] Can't find prmName:nope in param map",
                          "[DeviceDb::getDevice()] Can't resolve Code0-class by code 8 (device "
                          "code = 8)",
                          "[DeviceDb::setParamCode()] prmCode+arraySize-1 == 40960. must be less "
                          "then 40960. Need to increase PARAM_MAX_COUNT const in paramlist"}));
    // Code, array base code and state of each port: the head stays bound.
    auto ports = [&] {
        QStringList out;
        for (int i = 0; i < 3; ++i) {
            const Param* port = device->parameters.at(8 + i);
            out << QStringLiteral("%1/%2:%3")
                       .arg(port->code)
                       .arg(port->arrayBaseCode)
                       .arg(port->state());
        }
        return out;
    };
    QCOMPARE(ports(), QStringList({"40958/40958:1", "-1/-1:0", "-1/-1:0"}));

    Param* head = fx->param(device, "port_0");
    QCOMPARE(fx->db->setParamCode(7, QStringLiteral("port_0"), 20), head);
    QCOMPARE(ports(), QStringList({"20/20:1", "21/20:1", "22/20:1"}));
    for (int i = 0; i < 3; ++i)
        QCOMPARE(fx->db->getParamByCode(7, 20 + i).param, device->parameters.at(8 + i));

    fx->log.clear();
    const DevPrm above = fx->db->getParamByCode(7, PARAM_MAX_COUNT);
    QVERIFY(!above.device && !above.param && !fx->db->getParamByCode(7, -1).param);
    device->parametersByCode[3] = nullptr;
    QCOMPARE(fx->db->getParamByCode(7, 3).param, nullptr);
    const QString limit = QStringLiteral("[getParam()] param code must be less than 40960 (need "
                                         "change PARAM_MAX_COUNT constant in paramlist)");
    QCOMPARE(fx->log.errors(),
             QStringList({limit, limit, "[getParam()] Can't resolve Param-class by code 3"}));
}

void TstDeviceDb::valueDeliveriesUpdateAndSignalBaseThenBits()
{
    Device* device = fx->boundE1(1, 4);
    Param* status = fx->param(device, "status");
    QSignalSpy deviceSpy(device, &Device::signalParamHasRead);
    QSignalSpy paramSpy(status, &Param::signalHasRead);

    QCOMPARE(fx->db->setParamValue(4, status->code, 0x5), status);
    QCOMPARE(fx->db->setParamValue(4, 999, 1), nullptr);
    QCOMPARE(fx->db->setParamValue(77, 0, 1), nullptr);
    QCOMPARE(status->readValue, 5u);
    QCOMPARE(fx->emissions(deviceSpy),
             QStringList({"1|1|0|status", "2|1|0|flag_0", "3|1|0|flag_1", "4|1|0|flag_2"}));
    QCOMPARE(fx->emissions(paramSpy), QStringList {"1|status"});
}

void TstDeviceDb::stringAndStatisticDeliveries()
{
    Device* device = fx->boundE1(1, 4);
    Param* label = fx->param(device, "label");
    Param* level = fx->param(device, "level");
    Param* sum = fx->param(device, "sum");
    QSignalSpy spy(device, &Device::signalParamHasRead);

    QCOMPARE(fx->db->setParamStringValue(4, label->code, "6869"), label);
    QCOMPARE(fx->db->setParamStringValue(4, label->code, "6Z"), nullptr);
    QCOMPARE(fx->db->setParamStringValue(4, 999, "6869"), nullptr);
    QCOMPARE(label->readBytes, QByteArray("hi"));
    QCOMPARE(fx->db->setParamStatValue(4, level->code, 4, 10, 30, 4, 1, 4), level);
    QCOMPARE(level->statisticCount, 4);
    QCOMPARE(fx->db->sendVirtualParamValue(device->deviceIndex, sum->indexInDevice), sum);
    QCOMPARE(fx->db->sendVirtualParamValue(device->deviceIndex, level->indexInDevice), nullptr);
    QCOMPARE(fx->db->sendVirtualParamValue(9, 0), nullptr);
    QCOMPARE(fx->db->sendVirtualParamValue(device->deviceIndex, 99), nullptr);
    QCOMPARE(fx->emissions(spy), QStringList({"7|1|0|label", "5|1|0|level", "11|1|0|sum"}));

    // The service parameter logs a text it cannot decode, and still refuses it.
    fx->log.clear();
    QCOMPARE(fx->db->setParamStringValue(0, 0, "zz"), nullptr);
    QCOMPARE(fx->log.errors(),
             QStringList({"Unrecognizing encoding string was received: 'z.z. (2)'",
                          "[setReadStringValue()] invalid input data - string decoding error"}));
}

void TstDeviceDb::notificationsAreRelayedUnchanged()
{
    Device* device = fx->boundE1(1, 4);
    QSignalSpy errors(fx->db.get(), &DeviceDb::signalError);
    QSignalSpy files(fx->db.get(), &DeviceDb::signalNotifyFileTransfer);
    fx->db->notifyParam(4, fx->param(device, "gain")->code, DbEntity::WriteFailed);
    fx->db->notifyDevice(4, DbEntity::NotifyMessage(4242));
    fx->db->notifyFileTransfer(QStringLiteral("fw.bin"), 2048);
    QCOMPARE(fx->emissions(errors), QStringList({"4|6|6", "4|-1|4242"}));
    QCOMPARE(fx->emissions(files), QStringList {"fw.bin|2048"});
}

void TstDeviceDb::statesResetByCodeInterfaceOrAll()
{
    Device* e1 = fx->boundE1(1, 4);
    Device* other = fx->boundE1(2, 5);
    Device* service = fx->db->findDevice(QStringLiteral("SERVICE_0000"));
    QVERIFY(fx->db->resetDevice(4));
    QVERIFY(!fx->db->resetDevice(6));
    QCOMPARE(fx->describe(e1),
             QStringLiteral("E1_0001 E1:1:0 #1 code=4 state=0 populated=1 protocol=0:"));
    QCOMPARE(fx->db->getDeviceByCode(4), e1);

    QVERIFY(fx->db->setDeviceStateByName(e1->name, DbEntity::Bound));
    QVERIFY(!fx->db->setDeviceStateByName(QStringLiteral("E1_0099"), DbEntity::Bound));
    QVERIFY(!fx->db->resetDevicesByInterface(QStringLiteral("none")));
    QVERIFY(fx->db->resetDevicesByInterface(QStringLiteral("e1if")));
    QCOMPARE(QVector<int>({e1->code, other->code, service->code}), QVector<int>({-1, -1, 0}));
    QVERIFY(QTime::currentTime().msecsTo(e1->resetTime) > 50000 ||
            e1->resetTime < QTime::currentTime());
    fx->db->resetAllDevices();
    QCOMPARE(service->code, -1);
    QCOMPARE(service->state(), DbEntity::NotBound);
}

void TstDeviceDb::ticketsByName()
{
    Device* device = fx->db->createEmptyDevice(QStringLiteral("E1"), 1, 0, -1);
    Device::m_iTicketId = 7;
    QCOMPARE(fx->db->getTicketId(QStringLiteral("nobody")), -1);
    int id = fx->db->getTicketId(device->name);
    QCOMPARE(id, 7);
    QVERIFY(device->populated);
    QVERIFY(fx->db->setTicket(device->name, QStringLiteral("level"), id, 15));
    QCOMPARE(fx->param(device, "level")->tickets.get(0)->period, 15);
    int unset = -1;
    QVERIFY(!fx->db->setTicket(device->name, QStringLiteral("gain"), unset, 15));
    QVERIFY(!fx->db->setTicket(device->name, QStringLiteral("ghost"), id, 15));
    QVERIFY(fx->db->deleteTicket(device->name, QStringLiteral("level"), id));
    QVERIFY(!fx->db->deleteTicket(device->name, QStringLiteral("level"), id));
    QVERIFY(!fx->db->deleteTicket(QStringLiteral("nobody"), QStringLiteral("level"), id));
}

void TstDeviceDb::removingADeviceRenumbersAndDeletesItLater()
{
    Device* first = fx->boundE1(1, 4);
    QPointer<Device> middle = fx->boundE1(2, 5);
    Device* last = fx->boundE1(3, 0x105);
    fx->db->readDeviceList.append(middle);
    fx->db->writeDeviceList.append(middle);
    fx->db->readQuery(middle->name, QStringLiteral("level"), 1, false);
    QCOMPARE(fx->db->lastReadParameter, fx->param(middle, "level"));

    QStringList order;
    connect(fx->db.get(), &DeviceDb::signalAboutToDeviceDelete, this, [&](const QString& name) {
        order << QStringLiteral("about:") + name;
        QVERIFY(fx->db->findDevice(name)); // still there for the receivers
    });
    connect(fx->db.get(), &DeviceDb::signalDeviceDelete, this, [&](const QString& name) {
        order << QStringLiteral("deleted:") + name;
        QVERIFY(!fx->db->findDevice(name));
    });
    fx->db->removeDevice(QString());
    fx->db->removeDevice(QStringLiteral("E1_0077"));
    QCOMPARE(fx->db->listRevision, 0);

    fx->db->removeDevice(QStringLiteral("E1_0002"));
    QCOMPARE(order, QStringList({"about:E1_0002", "deleted:E1_0002"}));
    QCOMPARE(fx->db->listRevision, 1);
    QCOMPARE(fx->db->devices, QList<Device*>({fx->db->devices.at(0), first, last}));
    QCOMPARE(fx->db->deviceCodeTable[5][0], nullptr);
    QCOMPARE(fx->db->readDeviceList.current().at(0), nullptr);
    QCOMPARE(fx->db->writeDeviceList.current().at(0), nullptr);
    QCOMPARE(fx->db->lastReadParameter, nullptr);
    fx->verifyConsistent(); // the device indexes among them

    QVERIFY(!middle.isNull()); // deletion waits for the event loop
    QTRY_VERIFY(middle.isNull());
}

void TstDeviceDb::staleAdaptersAreResolvedAgainByName()
{
    fx->db->createEmptyDevice(QStringLiteral("E1"), 1, 0, -1);
    Device* second = fx->db->createEmptyDevice(QStringLiteral("E1"), 2, 0, -1);
    EngineBroker broker(nullptr, nullptr);
    auto* adapter = second->createAdapter(&broker);
    broker.addAdapter(adapter);
    QCOMPARE(fx->db->getDevice(adapter), second);
    QCOMPARE(fx->db->getParam(adapter, 5), fx->param(second, "level"));
    QCOMPARE(fx->db->getParam(adapter, 99), nullptr);
    QCOMPARE(fx->db->findAdapterByReliableDeviceIndex(&broker, 2), adapter);

    fx->db->removeDevice(QStringLiteral("E1_0001"));
    QCOMPARE(fx->db->findAdapterByReliableDeviceIndex(&broker, 2), nullptr);
    QCOMPARE(broker.adapterList.at(2), nullptr);
    QCOMPARE(fx->db->findAdapterByReliableDeviceIndex(&broker, 1), adapter);
    QCOMPARE(adapter->devicePosition, 1);
    QCOMPARE(adapter->listRevision, 1);
    QCOMPARE(broker.adapterList.at(1), adapter);

    fx->db->removeDevice(fx->db->devices.at(0)->name); // the service device goes too
    int index = 1;
    QCOMPARE(fx->db->findAdapterByUnreliableAdapterIndex(&broker, index, second->name), adapter);
    QCOMPARE(index, 0);
    QCOMPARE(fx->db->getDevice(adapter), second);
    int missing = 5;
    QCOMPARE(fx->db->findAdapterByUnreliableAdapterIndex(&broker, missing, "E1_0009"), nullptr);
    QCOMPARE(fx->db->completeAgent(adapter, QStringLiteral("gain"), 3, &index), 6);
    QCOMPARE(adapter->getAgentTag(6, nullptr), 3);
    QCOMPARE(fx->db->completeAgent(adapter, QStringLiteral("ghost"), 3, nullptr), -1);

    fx->db->removeDevice(second->name);
    QCOMPARE(fx->db->getDevice(adapter), nullptr);
    QCOMPARE(fx->db->completeAgent(adapter, QStringLiteral("gain"), 3, nullptr), -1);
}

void TstDeviceDb::selectionFromHostDbCreatesWhatIsMissing()
{
    AsciiZ name;
    name.append("E1_0201", -1);
    fx->db->addSelectedDevice(name, 9);
    // Class, tag, base tag and code of each selected device.
    auto selected = [&] {
        QStringList out;
        for (const SelectedDeviceItem* item : qAsConst(fx->db->selectedDevices))
            out << QStringLiteral("%1:%2:%3:%4")
                       .arg(item->className)
                       .arg(item->tag)
                       .arg(item->baseTag)
                       .arg(item->deviceCode);
        return out;
    };
    QCOMPARE(selected(), QStringList {"E1:1:2:9"});

    QSignalSpy updated(fx->db.get(), &DeviceDb::signalSelectedDeviceListUpdated);
    QSignalSpy appended(fx->db.get(), &DeviceDb::signalDeviceAppended);
    fx->db->workUpSelectedDeviceList(Tavo::NativeProtocol, QString());
    fx->db->workUpSelectedDeviceList(Tavo::NativeProtocol, QString());
    QCOMPARE(updated.size(), 2);
    QCOMPARE(appended.size(), 1);
    QCOMPARE(fx->db->getDeviceByCode(9)->name, QStringLiteral("E1_0201"));

    SelectedDeviceItem pattern;
    pattern.className = QStringLiteral("*");
    fx->db->selectFromHostDb(&pattern);
    QCOMPARE(fx->db->selectionActive, 1);
    QCOMPARE(selected(), QStringList({"SERVICE:0:0:0", "E1:1:2:9"}));
    pattern.className = QStringLiteral("E1");
    pattern.tag = 1;
    fx->db->selectFromHostDb(&pattern);
    QCOMPARE(selected(), QStringList {"E1:1:2:9"});
    fx->db->clearSelectedDeviceList();
    QCOMPARE(fx->db->selectionActive, 0);
    QVERIFY(fx->db->selectedDevices.isEmpty());
}

void TstDeviceDb::findersMatchClassTagsAndDeviceFields()
{
    Device* a = fx->db->createEmptyDevice(QStringLiteral("E1"), 1, 0, -1);
    Device* b = fx->db->createEmptyDevice(QStringLiteral("E1"), 2, 0, -1);
    Device* c = fx->db->createEmptyDevice(QStringLiteral("IF"), 1, 3, -1);
    QList<Device*> found;
    QCOMPARE(fx->db->findDevices(QStringLiteral("E1"), -1, -1, found), 2);
    found.clear();
    QCOMPARE(fx->db->findDevices(QString(), 1, -1, found), 2);
    QCOMPARE(found, QList<Device*>({a, c}));
    QCOMPARE(fx->db->findDevice(QStringLiteral("IF"), 1, 3), c);

    b->matchText = QStringLiteral("m");
    Param* matched = fx->db->getParam(QStringLiteral("E1"), -1, -1, QStringLiteral("m"), -1,
                                      QStringLiteral("gain"), QString());
    QVERIFY(b->populated);
    QCOMPARE(matched, fx->param(b, "gain"));
    a->populateDevice();
    c->populateDevice();
    QCOMPARE(fx->db->getParam(QString(), -1, 3, QString(), -1, QStringLiteral("speed"),
                              QStringLiteral("ifif")),
             fx->param(c, "speed"));
    QCOMPARE(fx->db->getParam(QString(), -1, -1, QString(), 5, QStringLiteral("gain"), QString()),
             nullptr);
    QCOMPARE(fx->db->getParamCore(a->name, QStringLiteral("gain")),
             static_cast<ParamCore*>(fx->param(a, "gain")));
    QCOMPARE(fx->db->getParam(QStringLiteral("E1_0077"), QStringLiteral("gain")), nullptr);
}

void TstDeviceDb::messagesCreateAndRemoveDevices_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QString>("device"); // as fx->describe() shows it
    const QString plain = QStringLiteral("#1 code=-1 state=0 populated=0 protocol=0:");
    QTest::newRow("plain") << QByteArray("E1+01") << "E1_0001 E1:1:0 " + plain;
    QTest::newRow("tag-pair") << QByteArray("E1+0102") << "E1_0102 E1:2:1 " + plain;
    QTest::newRow("long-tag") << QByteArray("E1+FF0102") << "E1_0102 E1:2:1 " + plain;
    QTest::newRow("tavo-code") << QByteArray("tavo:E1+0102,1F")
                               << "E1_0102 E1:2:1 #1 code=31 state=1 populated=0 protocol=1:";
    QTest::newRow("native-code") << QByteArray("native:E1+2,a")
                                 << "E1_0002 E1:2:0 #1 code=10 state=1 populated=0 protocol=1:";
    QTest::newRow("comma-means-native")
        << QByteArray("E1+3,10") << "E1_0003 E1:3:0 #1 code=16 state=1 populated=0 protocol=1:";
    QTest::newRow("snmp-text") << QByteArray("snmp:IF+03,  7")
                               << "IF_0003 IF:3:0 #1 code=-1 state=0 populated=0 protocol=3:7";
}

void TstDeviceDb::messagesCreateAndRemoveDevices()
{
    QFETCH(QByteArray, message);
    QFETCH(QString, device);
    const QString name = device.section(QLatin1Char(' '), 0, 0);

    QSignalSpy appended(fx->db.get(), &DeviceDb::signalDeviceAppended);
    QCOMPARE(fx->db->systemDeviceMessageParsing(message), 1);
    QVERIFY(fx->db->findDevice(name));
    QCOMPARE(fx->describe(fx->db->findDevice(name)), device);
    const int code = fx->db->findDevice(name)->code;
    if (code >= 0)
        QCOMPARE(fx->db->getDeviceByCode(code), fx->db->findDevice(name));
    QCOMPARE(fx->db->findDevice(name)->parent(), fx->db.get());
    // Announced as class, tag and base tag.
    QCOMPARE(fx->emissions(appended),
             QStringList {device.section(QLatin1Char(' '), 1, 1).replace(':', '|')});
    QVERIFY(fx->log.entries().isEmpty()); // traced only in debug mode

    // The same device again is refused by the database, which says why.
    QCOMPARE(fx->db->systemDeviceMessageParsing(message), 0);
    QCOMPARE(appended.count(), 1);
    QCOMPARE(
        fx->log.warnings(),
        QStringList {QStringLiteral("[DeviceDb::createEmptyDevice()] Device '%1' already exists.")
                         .arg(name)});
    QCOMPARE(fx->log.errors(), QStringList());

    QByteArray removal =
        message.left(message.indexOf(',') < 0 ? message.size() : message.indexOf(','));
    removal.replace('+', '-');
    QCOMPARE(fx->db->systemDeviceMessageParsing(removal), 2);
    QVERIFY(!fx->db->findDevice(name));
    fx->log.clear();
    QCOMPARE(fx->db->systemDeviceMessageParsing(removal), 0);
    QVERIFY(fx->log.entries().isEmpty());
}

void TstDeviceDb::refusedMessagesLogWhy_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QString>("error"); // empty: a debug trace only
    QTest::addColumn<QString>("debug");
    const QString unexpected =
        QStringLiteral("SystemDevice::...Parsing(): unexpected char '%1' in message '%2'.");
    const QString end = QStringLiteral("SystemDevice::...Parsing(): unexpected end of message "
                                       "'%1'.");
    QTest::newRow("redefining") << QByteArray("tavo:snmp:E1+01")
                                << "SystemDevice::...Parsing(): redefining protocol in message "
                                   "'t.a.v.o.:.s.n.m.p.:.E.1.+.0.1. (15)'."
                                << QString();
    QTest::newRow("unknown-protocol") << QByteArray("foo:E1+01")
                                      << "SystemDevice::...Parsing(): Unknown protocol in message "
                                         "'f.o.o.:.E.1.+.0.1. (9)'. Use 'tavo', '"
                                      << QString();
    QTest::newRow("remove-with-code")
        << QByteArray("E1-01,5") << unexpected.arg(",", "E.1.-.0.1.,.5. (7)") << QString();
    QTest::newRow("digit-first") << QByteArray("9E1+01") << unexpected.arg("9", "9.E.1.+.0.1. (6)")
                                 << QString();
    QTest::newRow("blank-in-name")
        << QByteArray("E 1+01") << unexpected.arg("20", "E.20.1.+.0.1. (6)") << QString();
    QTest::newRow("bad-tag") << QByteArray("E1+G1") << unexpected.arg("G", "E.1.+.G.1. (5)")
                             << QString();
    QTest::newRow("bad-code-start")
        << QByteArray("E1+01,G") << unexpected.arg("G", "E.1.+.0.1.,.G. (7)") << QString();
    QTest::newRow("bad-code") << QByteArray("E1+01,1G")
                              << unexpected.arg("G", "E.1.+.0.1.,.1.G. (8)") << QString();
    QTest::newRow("no-tag") << QByteArray("E1+") << QString() << end.arg("E.1.+. (3)");
    QTest::newRow("closed-text") << QByteArray("snmp:IF+03,7 x") << QString()
                                 << end.arg("s.n.m.p.:.I.F.+.0.3.,.7.20.x. (14)");
    QTest::newRow("empty") << QByteArray() << QString()
                           << "SystemDevice::...Parsing(): message is empty.";
    QTest::newRow("unknown-class")
        << QByteArray("NOPE+01")
        << "SystemDevice::...Parsing(): can't create device 'NOPE_0001' of class 'NOPE' from "
           "message 'N.O.P.E.+.0.1. (7)'."
        << "SystemDevice::...Parsing(): create device sClassName = NOPE tag =1 baseTag = 0 "
           "devCode = -1";
}

void TstDeviceDb::refusedMessagesLogWhy()
{
    QFETCH(QByteArray, message);
    QFETCH(QString, error);
    QFETCH(QString, debug);
    fx->log.setDebugMode(true);
    fx->log.setGroupDebug(fx->db->systemLogGroup, true);
    const int before = fx->db->devices.size();
    QSignalSpy appended(fx->db.get(), &DeviceDb::signalDeviceAppended);

    QCOMPARE(fx->db->systemDeviceMessageParsing(message), 0);
    QCOMPARE(fx->log.errors(), error.isEmpty() ? QStringList() : QStringList {error});
    QCOMPARE(fx->log.debugs(), debug.isEmpty() ? QStringList() : QStringList {debug});
    QCOMPARE(fx->log.warnings(), QStringList());
    QCOMPARE(fx->db->devices.size(), before);
    QCOMPARE(appended.count(), 0);
}

void TstDeviceDb::onlyForcedRequestsPassAHeldOrBlockedScheduler_data()
{
    QTest::addColumn<bool>("block");
    QTest::addColumn<bool>("force");
    QTest::addColumn<bool>("queued");
    QTest::newRow("held") << false << false << false;
    QTest::newRow("held-forced") << false << true << true;
    QTest::newRow("blocked") << true << false << false;
    QTest::newRow("blocked-forced") << true << true << true;
}

void TstDeviceDb::onlyForcedRequestsPassAHeldOrBlockedScheduler()
{
    QFETCH(bool, block);
    QFETCH(bool, force);
    QFETCH(bool, queued);
    Device* device = fx->boundE1(1, 4);
    const QString name = device->name;
    QVERIFY(fx->db->readQuery(name, QStringLiteral("level"), 1, false));
    if (block)
        fx->db->setSchedulerEnabled(false, QStringLiteral("test"));
    else
        fx->db->blockByLastReadQuery(1, 60);
    QCOMPARE(fx->db->getSchedulerMode(), block ? 2 : 1);
    QCOMPARE(fx->db->readQuery(name, QStringLiteral("gain"), 1, force), queued);
    QCOMPARE(fx->db->writeQuery(name, QStringLiteral("gain"), 1ul, force), queued);
    QCOMPARE(fx->db->writeQuery(name, QStringLiteral("label"), QByteArray("x"), "t", force),
             queued);
    // Text goes to the host as UTF-8.
    QCOMPARE(fx->db->writeQuery(name, QStringLiteral("label"), QString(QChar(0xE9)), force),
             queued);
    QCOMPARE(queues(device),
             queued
                 ? "read:level,gain virtual: write:gain=1//,label=0/78/t,label=0/c3a9/ lists:1/0/1"
                 : "read:level virtual: write: lists:1/0/0");
}

void TstDeviceDb::readsAreQueuedOncePerMarkBitsAsTheirBaseVirtualsApart()
{
    Device* device = fx->boundE1(1, 4);
    const QString name = device->name;
    for (int mark : {1, 1, 2})
        QVERIFY(fx->db->readQuery(name, QStringLiteral("level"), mark, false));
    QVERIFY(fx->db->readQuery(name, QStringLiteral("sum"), 1, false));
    QVERIFY(fx->db->readQuery(name, QStringLiteral("flag_2"), 1, false));
    QVERIFY(!fx->db->readQuery(name, QStringLiteral("ghost"), 1, false));
    QVERIFY(!fx->db->readQuery(QStringLiteral("E1_0099"), QStringLiteral("gain"), 1, false));
    QCOMPARE(queues(device), "read:level,level,status virtual:sum write: lists:1/1/0");
    QVERIFY(device->inReadDeviceList && device->inVirtualReadDeviceList);
    QCOMPARE(fx->db->lastReadParameter, fx->param(device, "flag_2")); // the bit, not its base
}

void TstDeviceDb::numericWritesFoldBitsAndAnnounceTheBase()
{
    Device* device = fx->boundE1(1, 4);
    QSignalSpy spy(device, &Device::signalAboutToParamWrite);
    QSignalSpy statusSpy(fx->param(device, "status"), &Param::signalAboutToWrite);
    QVERIFY(fx->db->writeQuery(device->name, QStringLiteral("flag_2"), 1ul, false));
    // The third flag of an array from bit 1 is bit 3.
    QCOMPARE(queues(device), QStringLiteral("read: virtual: write:status=8// lists:0/0/1"));
    QCOMPARE(fx->emissions(spy), QStringList {"1|1|0|status"});
    QCOMPARE(fx->emissions(statusSpy), QStringList {"1|status"});
}

void TstDeviceDb::onlyNumericWritesByNameNormaliseTheTags()
{
    Device* device = fx->db->createEmptyDevice(QStringLiteral("E1"), 0x0B, 0x0A, -1);
    QCOMPARE(device->name, QStringLiteral("E1_0A0B"));
    QVERIFY(fx->db->writeQuery(QStringLiteral("E1_0a0b"), QStringLiteral("level"), 1ul, false));
    QVERIFY(!fx->db->writeQuery(QStringLiteral("E1_0a0b"), QStringLiteral("label"), QByteArray("x"),
                                QString(), false));
    QVERIFY(!fx->db->readQuery(QStringLiteral("E1_0a0b"), QStringLiteral("level"), 1, false));
}

void TstDeviceDb::adapterQueriesUseTheCachedDevice()
{
    Device* device = fx->boundE1(1, 4);
    QObject terminal;
    Adapter* adapter = device->createAdapter(&terminal);
    const int flag = fx->param(device, "flag_0")->indexInDevice;
    QVERIFY(fx->db->readQuery(adapter, flag, 1, false));
    QVERIFY(fx->db->writeQuery(adapter, flag, 1ul, false));
    QVERIFY(fx->db->writeQuery(adapter, 7, QByteArray("a"), QStringLiteral("t"), false));
    QVERIFY(fx->db->writeQuery(adapter, 7, QStringLiteral("b"), false));
    QVERIFY(!fx->db->readQuery(adapter, 99, 1, false));
    QVERIFY(!fx->db->writeQuery(adapter, -1, 1ul, false));
    QVERIFY(!fx->db->readQuery(static_cast<Adapter*>(nullptr), 0, 1, false));
    QCOMPARE(queues(device),
             QStringLiteral(
                 "read:status virtual: write:status=2//,label=0/61/t,label=0/62/ lists:1/0/1"));
}

void TstDeviceDb::blockNeedsAReadAndIsReleasedByItsValue()
{
    Device* device = fx->boundE1(1, 4);
    Param* level = fx->param(device, "level");
    watchScheduler();
    fx->db->blockByLastReadQuery(3, 10); // nothing read yet
    QCOMPARE(fx->db->getSchedulerMode(), 0);
    QCOMPARE(fx->db->blockTimer, 0);
    QVERIFY(fx->db->readQuery(device->name, QStringLiteral("level"), 1, false));
    fx->db->blockByLastReadQuery(3, 10);
    QCOMPARE(fx->db->getSchedulerMode(), 1);
    QVERIFY(level->schedulerHold);
    QCOMPARE(fx->db->blockOwner, 3);
    QVERIFY(fx->db->blockTimer != 0);
    QVERIFY(!fx->db->resetScheduleBlock(4));
    QCOMPARE(fx->db->getSchedulerMode(), 1);

    fx->db->setParamValue(4, level->code, 1);
    QCOMPARE(fx->db->getSchedulerMode(), 0);
    QVERIFY(!level->schedulerHold);
    QCOMPARE(fx->db->lastReadParameter, nullptr);
    QCOMPARE(fx->db->blockOwner, -1);
    QCOMPARE(fx->log.debugs(),
             QStringList({"Scheduler preblocking failed. Parameter is not defined.",
                          "Scheduler is preblocked by 'level' parameter for 10 sec",
                          "Scheduler is enabled (parametr 'level' is read)"}));
    for (const TestLog::Entry& entry : fx->log.entries())
        QCOMPARE(entry.group, fx->db->schedulerLogGroup);
    QCOMPARE(fx->log.groupName(fx->db->schedulerLogGroup), QStringLiteral("Scheduler Blocking"));

    // Nothing is composed while the group is not wanted.
    fx->log.setGroupDebug(fx->db->schedulerLogGroup, false);
    fx->db->blockByLastReadQuery(1, 5);
    QCOMPARE(fx->log.debugs().size(), 3);
}

void TstDeviceDb::blockIsReleasedByItsOwnerOrByTheTimeout()
{
    Device* device = fx->boundE1(1, 4);
    watchScheduler();
    QVERIFY(fx->db->readQuery(device->name, QStringLiteral("level"), 1, false));
    fx->db->blockByLastReadQuery(3, 1);
    QVERIFY(fx->db->resetScheduleBlock(3));
    QCOMPARE(fx->db->getSchedulerMode(), 0);
    // The hold-off keeps running and enables the scheduler once more.
    fx->db->setSchedulerEnabled(false, QStringLiteral("Tavo"));
    QCOMPARE(fx->db->getSchedulerMode(), 2);
    QTRY_COMPARE(fx->db->getSchedulerMode(), 0);
    QCOMPARE(fx->db->blockTimer, 0);
    QCOMPARE(fx->log.debugs(),
             QStringList({"Scheduler is preblocked by 'level' parameter for 1 sec",
                          "Scheduler is enabled (Terminal 3 is about to close)",
                          "Scheduler is blocked (Tavo)", "Scheduler is enabled (Timeout)"}));
}

QTEST_GUILESS_MAIN(TstDeviceDb)
#include "tst_device_db.moc"
