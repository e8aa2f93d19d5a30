#include "connections/adapter.h"
#include "devices_fixture.h"

#include <QtTest>

class TstQueries : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void onlyForcedRequestsPassAHeldOrBlockedScheduler_data();
    void onlyForcedRequestsPassAHeldOrBlockedScheduler();
    void readsAreQueuedOncePerMarkAndDevicesOnce();
    void bitReadsQueueTheBaseAndVirtualReadsTheirOwnLists();
    void numericWritesFoldBitsAndAnnounceTheBase();
    void onlyNumericWritesByNameNormaliseTheTags();
    void textWritesAreQueuedAsUtf8();
    void adapterQueriesUseTheCachedDevice();
    void blockByAReadIsReleasedByItsValue();
    void blockIsReleasedByItsOwnerOrByTheTimeout();
    void blockWithoutAReadIsRefused();
    void serverSilenceIsReportedAtTheLimit_data();
    void serverSilenceIsReportedAtTheLimit();
};

namespace {

// Traces of the scheduler group are only written while they are wanted.
void watchScheduler(DevicesFixture& fx)
{
    fx.log.setDebugMode(true);
    fx.log.setGroupDebug(fx.db->schedulerLogGroup, true);
    fx.log.clear();
}

} // namespace

void TstQueries::onlyForcedRequestsPassAHeldOrBlockedScheduler_data()
{
    QTest::addColumn<bool>("block");
    QTest::addColumn<bool>("force");
    QTest::addColumn<bool>("queued");
    QTest::newRow("held") << false << false << false;
    QTest::newRow("held-forced") << false << true << true;
    QTest::newRow("blocked") << true << false << false;
    QTest::newRow("blocked-forced") << true << true << true;
}

void TstQueries::onlyForcedRequestsPassAHeldOrBlockedScheduler()
{
    QFETCH(bool, block);
    QFETCH(bool, force);
    QFETCH(bool, queued);
    DevicesFixture fx;
    Device* device = fx.boundE1(1, 4);
    const QString name = device->name;
    QVERIFY(fx.db->readQuery(name, QStringLiteral("level"), 1, false));
    if (block)
        fx.db->setSchedulerEnabled(false, QStringLiteral("test"));
    else
        fx.db->blockByLastReadQuery(1, 60);
    QCOMPARE(fx.db->getSchedulerMode(), block ? 2 : 1);
    QCOMPARE(fx.db->readQuery(name, QStringLiteral("gain"), 1, force), queued);
    QCOMPARE(fx.db->writeQuery(name, QStringLiteral("gain"), 1ul, force), queued);
    QCOMPARE(fx.db->writeQuery(name, QStringLiteral("label"), QByteArray("x"), QString(), force),
             queued);
    QCOMPARE(fx.db->writeQuery(name, QStringLiteral("label"), QStringLiteral("x"), force), queued);
    QCOMPARE(device->writeList ? device->writeList->size() : 0, queued ? 3 : 0);
}

void TstQueries::readsAreQueuedOncePerMarkAndDevicesOnce()
{
    DevicesFixture fx;
    Device* device = fx.boundE1(1, 4);
    const QString name = device->name;
    QVERIFY(fx.db->readQuery(name, QStringLiteral("level"), 1, false));
    QVERIFY(fx.db->readQuery(name, QStringLiteral("level"), 1, false));
    QCOMPARE(device->readList.current().size(), 1);
    QVERIFY(fx.db->readQuery(name, QStringLiteral("level"), 2, false));
    QVERIFY(fx.db->readQuery(name, QStringLiteral("gain"), 1, false));
    QCOMPARE(device->readList.current().size(), 3);
    QCOMPARE(fx.db->readDeviceList.current().size(), 1);
    QVERIFY(device->inReadDeviceList);
    QCOMPARE(fx.db->lastReadParameter, DevicesFixture::param(device, "gain"));

    QVERIFY(!fx.db->readQuery(name, QStringLiteral("ghost"), 1, false));
    QVERIFY(!fx.db->readQuery(QStringLiteral("E1_0099"), QStringLiteral("gain"), 1, false));
}

void TstQueries::bitReadsQueueTheBaseAndVirtualReadsTheirOwnLists()
{
    DevicesFixture fx;
    Device* device = fx.boundE1(1, 4);
    QVERIFY(fx.db->readQuery(device->name, QStringLiteral("flag_2"), 1, false));
    QCOMPARE(device->readList.current().at(0), DevicesFixture::param(device, "status"));
    QCOMPARE(fx.db->lastReadParameter, DevicesFixture::param(device, "flag_2"));

    QVERIFY(fx.db->readQuery(device->name, QStringLiteral("sum"), 1, false));
    QCOMPARE(device->virtualReadList.current().at(0), DevicesFixture::param(device, "sum"));
    QCOMPARE(fx.db->virtualReadDeviceList.current().at(0), device);
    QVERIFY(device->inVirtualReadDeviceList);
    QCOMPARE(device->readList.current().size(), 1);
}

void TstQueries::numericWritesFoldBitsAndAnnounceTheBase()
{
    DevicesFixture fx;
    Device* device = fx.boundE1(1, 4);
    Param* status = DevicesFixture::param(device, "status");
    QSignalSpy spy(device, &Device::signalAboutToParamWrite);
    QVERIFY(fx.db->writeQuery(device->name, QStringLiteral("flag_2"), 1ul, false));
    QCOMPARE(device->writeList->size(), 1);
    const WriteItem* item = device->writeList->at(0);
    QCOMPARE(item->targetParameter, status);
    QCOMPARE(item->value, 4u);
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy.at(0),
             QVariantList({status->indexInDevice, device->deviceIndex, 0,
                           QVariant::fromValue(static_cast<const ParamCore*>(status))}));
    QCOMPARE(fx.db->writeDeviceList.current().size(), 1);

    // A second write joins the device's list; the device is listed once.
    QVERIFY(fx.db->writeQuery(device->name, QStringLiteral("level"), 9ul, false));
    QCOMPARE(device->writeList->size(), 2);
    QCOMPARE(fx.db->writeDeviceList.current().size(), 1);
    QVERIFY(!fx.db->writeQuery(device->name, QStringLiteral("ghost"), 9ul, false));
}

void TstQueries::onlyNumericWritesByNameNormaliseTheTags()
{
    DevicesFixture fx;
    Device* device = fx.db->createEmptyDevice(QStringLiteral("E1"), 0x0B, 0x0A, -1);
    QCOMPARE(device->name, QStringLiteral("E1_0A0B"));
    QVERIFY(fx.db->writeQuery(QStringLiteral("E1_0a0b"), QStringLiteral("level"), 1ul, false));
    QVERIFY(!fx.db->writeQuery(QStringLiteral("E1_0a0b"), QStringLiteral("label"), QByteArray("x"),
                               QString(), false));
    QVERIFY(!fx.db->readQuery(QStringLiteral("E1_0a0b"), QStringLiteral("level"), 1, false));
}

void TstQueries::textWritesAreQueuedAsUtf8()
{
    DevicesFixture fx;
    Device* device = fx.boundE1(1, 4);
    Param* label = DevicesFixture::param(device, "label");
    QVERIFY(fx.db->writeQuery(device->name, QStringLiteral("label"), QByteArray("\x01", 1),
                              QStringLiteral("note"), false));
    QVERIFY(fx.db->writeQuery(device->name, QStringLiteral("label"), QString(QChar(0xE9)), false));
    QCOMPARE(device->writeList->size(), 2);
    QCOMPARE(device->writeList->at(0)->targetParameter, label);
    QCOMPARE(device->writeList->at(0)->text, QStringLiteral("note"));
    QCOMPARE(device->writeList->at(1)->bytes, QByteArray("\xC3\xA9"));
    QCOMPARE(device->writeList->at(1)->text, QString());
}

void TstQueries::adapterQueriesUseTheCachedDevice()
{
    DevicesFixture fx;
    Device* device = fx.boundE1(1, 4);
    QObject terminal;
    Adapter* adapter = device->createAdapter(&terminal);
    const int flag = DevicesFixture::param(device, "flag_0")->indexInDevice;
    QVERIFY(fx.db->readQuery(adapter, flag, 1, false));
    QCOMPARE(device->readList.current().at(0), DevicesFixture::param(device, "status"));
    QVERIFY(fx.db->writeQuery(adapter, flag, 1ul, false));
    QCOMPARE(device->writeList->at(0)->value, 1u);
    QVERIFY(fx.db->writeQuery(adapter, 7, QByteArray("a"), QStringLiteral("t"), false));
    QVERIFY(fx.db->writeQuery(adapter, 7, QStringLiteral("b"), false));
    QCOMPARE(device->writeList->size(), 3);
    QVERIFY(!fx.db->readQuery(adapter, 99, 1, false));
    QVERIFY(!fx.db->writeQuery(adapter, -1, 1ul, false));
    QVERIFY(!fx.db->readQuery(static_cast<Adapter*>(nullptr), 0, 1, false));
}

void TstQueries::blockByAReadIsReleasedByItsValue()
{
    DevicesFixture fx;
    Device* device = fx.boundE1(1, 4);
    Param* level = DevicesFixture::param(device, "level");
    watchScheduler(fx);
    QVERIFY(fx.db->readQuery(device->name, QStringLiteral("level"), 1, false));
    fx.db->blockByLastReadQuery(3, 10);
    QCOMPARE(fx.db->getSchedulerMode(), 1);
    QVERIFY(level->schedulerHold);
    QCOMPARE(fx.db->blockOwner, 3);
    QVERIFY(fx.db->blockTimer != 0);
    QVERIFY(!fx.db->resetScheduleBlock(4));
    QCOMPARE(fx.db->getSchedulerMode(), 1);

    fx.db->setParamValue(4, level->code, 1);
    QCOMPARE(fx.db->getSchedulerMode(), 0);
    QVERIFY(!level->schedulerHold);
    QCOMPARE(fx.db->lastReadParameter, nullptr);
    QCOMPARE(fx.db->blockOwner, -1);
    QCOMPARE(fx.log.debugs(),
             QStringList({"Scheduler is preblocked by 'level' parameter for 10 sec",
                          "Scheduler is enabled (parametr 'level' is read)"}));
    for (const TestLog::Entry& entry : fx.log.entries())
        QCOMPARE(entry.group, fx.db->schedulerLogGroup);
    QCOMPARE(fx.log.groupName(fx.db->schedulerLogGroup), QStringLiteral("Scheduler Blocking"));
}

void TstQueries::blockIsReleasedByItsOwnerOrByTheTimeout()
{
    DevicesFixture fx;
    Device* device = fx.boundE1(1, 4);
    watchScheduler(fx);
    QVERIFY(fx.db->readQuery(device->name, QStringLiteral("level"), 1, false));
    fx.db->blockByLastReadQuery(3, 1);
    QVERIFY(fx.db->resetScheduleBlock(3));
    QCOMPARE(fx.db->getSchedulerMode(), 0);
    // The hold-off keeps running and enables the scheduler once more.
    fx.db->setSchedulerEnabled(false, QStringLiteral("Tavo"));
    QCOMPARE(fx.db->getSchedulerMode(), 2);
    QTRY_COMPARE(fx.db->getSchedulerMode(), 0);
    QCOMPARE(fx.db->blockTimer, 0);
    QCOMPARE(fx.log.debugs(),
             QStringList({"Scheduler is preblocked by 'level' parameter for 1 sec",
                          "Scheduler is enabled (Terminal 3 is about to close)",
                          "Scheduler is blocked (Tavo)", "Scheduler is enabled (Timeout)"}));
}

void TstQueries::blockWithoutAReadIsRefused()
{
    DevicesFixture fx;
    watchScheduler(fx);
    fx.db->blockByLastReadQuery(1, 5);
    QCOMPARE(fx.db->getSchedulerMode(), 0);
    QCOMPARE(fx.db->blockTimer, 0);
    QCOMPARE(fx.log.debugs(),
             QStringList {"Scheduler preblocking failed. Parameter is not defined."});

    // Nothing is composed while the group is not wanted.
    fx.log.setGroupDebug(fx.db->schedulerLogGroup, false);
    fx.db->blockByLastReadQuery(1, 5);
    QCOMPARE(fx.log.debugs().size(), 1);
}

void TstQueries::serverSilenceIsReportedAtTheLimit_data()
{
    QTest::addColumn<int>("period");
    QTest::addColumn<int>("zeros");
    QTest::newRow("60s") << 60000 << 2;
    QTest::newRow("5s") << 5000 << 35;
    QTest::newRow("7s") << 7000 << 24;
}

void TstQueries::serverSilenceIsReportedAtTheLimit()
{
    QFETCH(int, period);
    QFETCH(int, zeros);
    DevicesFixture fx;
    fx.db->checkLimitForServerAbsentTime(period);
    fx.db->clearServerAbsentTime();
    for (int i = 0; i < zeros; ++i)
        QCOMPARE(fx.db->checkLimitForServerAbsentTime(period), 0);
    QCOMPARE(fx.db->checkLimitForServerAbsentTime(period), (zeros + 1) * period);
    QCOMPARE(fx.db->checkLimitForServerAbsentTime(period), (zeros + 2) * period);
}

QTEST_GUILESS_MAIN(TstQueries)
#include "tst_queries.moc"
