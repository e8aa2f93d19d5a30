#include "connections/i_protocol.h"
#include "connections/protocol.h"
#include "connections/protocol_data_unit.h"
#include "devices_fixture.h"

#include <QtTest>

#include <functional>

namespace {

/// A plug-in built into the test: the rules decide what it takes, and it
/// remembers which devices it was asked about.
class FakeProtocol : public QObject, public IProtocol
{
public:
    FakeProtocol()
    {
        object = this;
        name = QStringLiteral("fake");
    }

    void init() override { ++inits; }
    IProtocol* createInstance(QObject*) override { return nullptr; }
    bool selectDeviceQuery(QVector<SelectedDeviceItem*>&) override { return false; }
    void reserved() override { }
    void parse(const char*, int) override { }
    void getWorkUpResult(ResultList&) override { }
    bool isReadyForRead(Device* device) override
    {
        askedForRead.append(device);
        return !notReady.contains(device);
    }
    bool isParamForRead(Device*, Param* param) override
    {
        return !rejected.contains(param->DbEntity::name);
    }
    bool isReadyForWrite(Device* device) override { return !notReady.contains(device); }
    bool isParamForWrite(Device*, Param* param) override
    {
        return !rejected.contains(param->DbEntity::name);
    }

    int inits = 0;
    QList<Device*> askedForRead;
    QSet<Device*> notReady;
    QSet<QString> rejected;
};

QString nameOf(const Param* param)
{
    return param->DbEntity::name;
}
QString nameOf(const WriteItem* item)
{
    return nameOf(item->targetParameter);
}
/// The names of the parameters in @p list, in order; none for no list.
template<typename List> QStringList names(const List* list)
{
    QStringList names;
    for (int i = 0; list && i < list->size(); ++i)
        names << nameOf(list->at(i));
    return names;
}

struct WorkUpFixture : DevicesFixture
{
    WorkUpFixture()
    {
        fake = new FakeProtocol;
        protocol.setPlugin(fake);
        protocol.assignDeviceDb(db.get());
        e1 = boundE1(1, 4);
        e2 = boundE1(2, 5);
    }

    void queueRead(Device* device, const char* name, int mark = 1)
    {
        QVERIFY(db->readQuery(device->name, QLatin1String(name), mark, true));
    }

    QStringList readsOf(Device* device) const
    {
        return names(protocol.unit.readQueryMap.value(device));
    }
    QStringList writesOf(Device* device) const
    {
        return names(protocol.unit.writeQueryMap.value(device));
    }

    Protocol protocol;
    FakeProtocol* fake = nullptr;
    Device* e1 = nullptr;
    Device* e2 = nullptr;
};

} // namespace

class TstProtocolWorkUp : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsTakeWhatThePlugInAcceptsAndKeepTheRest();
    void marksKeepAParameterQueuedForMoreRequests();
    void deviceNotReadyStaysQueuedUntouched();
    void heldSchedulerReadsOnlyTheHeldParameterThenBlocks();
    void blockedSchedulerStillReadsButNeverWrites();
    void writesTakeALeadingRunOfOneValueClass_data();
    void writesTakeALeadingRunOfOneValueClass();
    void writeValueClassHoldsAcrossDevices();
    void serviceWritesGoToTheMessageParserNotThePlugIn();
    void withoutAPlugInNothingMoves();
    void initForgetsTheMapsAndResetsThePlugIn();
};

void TstProtocolWorkUp::readsTakeWhatThePlugInAcceptsAndKeepTheRest()
{
    WorkUpFixture fx;
    fx.queueRead(fx.e1, "level");
    fx.queueRead(fx.e1, "gain");
    fx.queueRead(fx.e1, "label");
    fx.queueRead(fx.e2, "level");
    fx.fake->rejected = {QStringLiteral("gain")};

    fx.protocol.workUpReadQueries(fx.db->readDeviceList);
    QCOMPARE(fx.readsOf(fx.e1), QStringList({"level", "label"}));
    QCOMPARE(fx.readsOf(fx.e2), QStringList {"level"});
    QCOMPARE(fx.db->readDeviceList.current().size(), 1);
    QCOMPARE(fx.db->readDeviceList.current().at(0), fx.e1);
    QVERIFY(fx.e1->inReadDeviceList);
    QVERIFY(!fx.e2->inReadDeviceList);
    QCOMPARE(names(&fx.e1->readList.current()), QStringList {"gain"});

    // Once the plug-in takes it, the device leaves the list; the map gathers
    // each parameter once.
    fx.fake->rejected.clear();
    fx.queueRead(fx.e1, "level");
    fx.protocol.workUpReadQueries(fx.db->readDeviceList);
    QCOMPARE(fx.readsOf(fx.e1), QStringList({"level", "label", "gain"}));
    QVERIFY(fx.db->readDeviceList.current().isEmpty());
    QVERIFY(!fx.e1->inReadDeviceList);
    fx.protocol.unit.clearReadQueryMap();
    QVERIFY(fx.protocol.unit.readQueryMap.isEmpty());
}

void TstProtocolWorkUp::marksKeepAParameterQueuedForMoreRequests()
{
    WorkUpFixture fx;
    fx.queueRead(fx.e1, "level", 3);
    for (int round = 1; round <= 3; ++round) {
        fx.protocol.workUpReadQueries(fx.db->readDeviceList);
        QCOMPARE(fx.readsOf(fx.e1), QStringList {"level"});
        fx.protocol.unit.clearReadQueryMap();
        QCOMPARE(fx.e1->inReadDeviceList, round < 3);
    }
    fx.protocol.workUpReadQueries(fx.db->readDeviceList);
    QVERIFY(fx.protocol.unit.readQueryMap.isEmpty());
}

void TstProtocolWorkUp::deviceNotReadyStaysQueuedUntouched()
{
    WorkUpFixture fx;
    fx.queueRead(fx.e1, "level");
    fx.queueRead(fx.e2, "level");
    fx.fake->notReady = {fx.e1};
    fx.protocol.workUpReadQueries(fx.db->readDeviceList);
    QCOMPARE(fx.readsOf(fx.e1), QStringList());
    QCOMPARE(fx.readsOf(fx.e2), QStringList {"level"});
    QCOMPARE(fx.e1->readList.current().size(), 1);
    QCOMPARE(fx.e1->readList.current().at(0)->readQueueMark, 1);

    fx.fake->notReady.clear();
    fx.fake->askedForRead.clear();
    fx.protocol.workUpReadQueries(fx.db->readDeviceList);
    QCOMPARE(fx.fake->askedForRead, QList<Device*> {fx.e1});
    QCOMPARE(fx.readsOf(fx.e1), QStringList {"level"});
}

void TstProtocolWorkUp::heldSchedulerReadsOnlyTheHeldParameterThenBlocks()
{
    WorkUpFixture fx;
    fx.queueRead(fx.e1, "level");
    fx.db->blockByLastReadQuery(1, 60);
    QCOMPARE(fx.db->getSchedulerMode(), 1);
    fx.queueRead(fx.e1, "gain");
    fx.queueRead(fx.e2, "level");

    fx.protocol.workUpReadQueries(fx.db->readDeviceList);
    QCOMPARE(fx.readsOf(fx.e1), QStringList {"level"});
    QCOMPARE(fx.readsOf(fx.e2), QStringList());
    // The held read is out: nothing else goes until its answer releases the
    // scheduler.
    QCOMPARE(fx.db->getSchedulerMode(), 2);
    QCOMPARE(names(&fx.e1->readList.current()), QStringList {"gain"});
    QCOMPARE(names(&fx.e2->readList.current()), QStringList {"level"});
}

void TstProtocolWorkUp::blockedSchedulerStillReadsButNeverWrites()
{
    WorkUpFixture fx;
    fx.queueRead(fx.e1, "level");
    QVERIFY(fx.db->writeQuery(fx.e1->name, "level", 5ul, true));
    fx.db->setSchedulerEnabled(false, "test");

    fx.protocol.workUpWriteQueries(fx.db->writeDeviceList);
    fx.protocol.workUpReadQueries(fx.db->readDeviceList);
    QVERIFY(fx.protocol.unit.writeQueryMap.isEmpty());
    QCOMPARE(names(fx.e1->writeList), QStringList {"level"});
    QCOMPARE(fx.readsOf(fx.e1), QStringList {"level"});
}

void TstProtocolWorkUp::writesTakeALeadingRunOfOneValueClass_data()
{
    // Parameters: level, gain numeric; label text. "-" marks a rejected one.
    QTest::addColumn<QStringList>("queued");
    QTest::addColumn<QStringList>("rejected");
    QTest::addColumn<QStringList>("taken");
    QTest::addColumn<QStringList>("left");
    QTest::newRow("numeric-run-stops-at-text")
        << QStringList({"level", "gain", "label", "level"}) << QStringList()
        << QStringList({"level", "gain"}) << QStringList({"label", "level"});
    QTest::newRow("text-first-takes-text-only") << QStringList({"label", "level"}) << QStringList()
                                                << QStringList {"label"} << QStringList {"level"};
    QTest::newRow("rejected-stops-the-run")
        << QStringList({"level", "gain", "level"}) << QStringList {"gain"} << QStringList {"level"}
        << QStringList({"gain", "level"});
    QTest::newRow("rejected-first-takes-nothing")
        << QStringList({"gain", "level"}) << QStringList {"gain"} << QStringList()
        << QStringList({"gain", "level"});
    QTest::newRow("all-taken") << QStringList({"level", "gain"}) << QStringList()
                               << QStringList({"level", "gain"}) << QStringList();
}

void TstProtocolWorkUp::writesTakeALeadingRunOfOneValueClass()
{
    QFETCH(QStringList, queued);
    QFETCH(QStringList, rejected);
    QFETCH(QStringList, taken);
    QFETCH(QStringList, left);
    WorkUpFixture fx;
    for (const QString& name : qAsConst(queued)) {
        const bool ok = name == QLatin1String("label")
            ? fx.db->writeQuery(fx.e1->name, name, QStringLiteral("x"), true)
            : fx.db->writeQuery(fx.e1->name, name, 7ul, true);
        QVERIFY(ok);
    }
    fx.fake->rejected = QSet<QString>(rejected.cbegin(), rejected.cend());

    fx.protocol.workUpWriteQueries(fx.db->writeDeviceList);
    QCOMPARE(fx.writesOf(fx.e1), taken);
    QCOMPARE(names(fx.e1->writeList), left);
    QCOMPARE(fx.db->writeDeviceList.current().size(), left.isEmpty() ? 0 : 1);
    fx.protocol.unit.clearWriteQueryMap();
}

void TstProtocolWorkUp::writeValueClassHoldsAcrossDevices()
{
    WorkUpFixture fx;
    QVERIFY(fx.db->writeQuery(fx.e1->name, "label", QStringLiteral("x"), true));
    QVERIFY(fx.db->writeQuery(fx.e2->name, "level", 1ul, true));
    QVERIFY(fx.db->writeQuery(fx.e2->name, "label", QStringLiteral("y"), true));

    fx.protocol.workUpWriteQueries(fx.db->writeDeviceList);
    QCOMPARE(fx.writesOf(fx.e1), QStringList {"label"});
    QCOMPARE(fx.writesOf(fx.e2), QStringList());
    QCOMPARE(names(fx.e2->writeList), QStringList({"level", "label"}));

    // The next request starts undecided again.
    fx.protocol.unit.clearWriteQueryMap();
    fx.protocol.workUpWriteQueries(fx.db->writeDeviceList);
    QCOMPARE(fx.writesOf(fx.e2), QStringList {"level"});
    QCOMPARE(names(fx.e2->writeList), QStringList {"label"});
    fx.protocol.unit.clearWriteQueryMap();
}

void TstProtocolWorkUp::serviceWritesGoToTheMessageParserNotThePlugIn()
{
    WorkUpFixture fx;
    Device* service = fx.db->devices.value(0);
    QVERIFY(service && service->service);
    QSignalSpy appended(fx.db.get(), &DeviceDb::signalDeviceAppended);
    QVERIFY(fx.db->writeQuery(service->name, "root", QByteArray("E1+09"), QString(), true));

    fx.protocol.workUpWriteQueries(fx.db->writeDeviceList);
    QVERIFY(fx.protocol.unit.writeQueryMap.isEmpty());
    QVERIFY(!service->writeList);
    QCOMPARE(appended.count(), 1);
    QVERIFY(fx.db->findDevice("E1_0009"));
}

void TstProtocolWorkUp::withoutAPlugInNothingMoves()
{
    WorkUpFixture fx;
    fx.queueRead(fx.e1, "level");
    QVERIFY(fx.db->writeQuery(fx.e1->name, "level", 5ul, true));
    fx.protocol.setPlugin(nullptr);
    fx.protocol.workUpReadQueries(fx.db->readDeviceList);
    fx.protocol.workUpWriteQueries(fx.db->writeDeviceList);
    QVERIFY(fx.protocol.unit.readQueryMap.isEmpty());
    QVERIFY(fx.protocol.unit.writeQueryMap.isEmpty());
    QCOMPARE(fx.e1->readList.current().size(), 1);
    QCOMPARE(names(fx.e1->writeList), QStringList {"level"});

    QVector<SelectedDeviceItem*> none;
    QVERIFY(!fx.protocol.selectDeviceQuery(none));
    fx.protocol.parse("x", 1);
    ResultList results;
    fx.protocol.getWorkUpResult(results);
    QVERIFY(results.isEmpty());
}

void TstProtocolWorkUp::initForgetsTheMapsAndResetsThePlugIn()
{
    WorkUpFixture fx;
    fx.queueRead(fx.e1, "level");
    fx.protocol.workUpReadQueries(fx.db->readDeviceList);
    LsParams* inFlight = fx.protocol.unit.readQueryMap.value(fx.e1);
    QVERIFY(inFlight);
    fx.protocol.init();
    QVERIFY(fx.protocol.unit.readQueryMap.isEmpty());
    QCOMPARE(fx.fake->inits, 1);
    // The list belongs to whoever still holds the request.
    QCOMPARE(inFlight->size(), 1);
    delete inFlight;
}

QTEST_GUILESS_MAIN(TstProtocolWorkUp)
#include "tst_protocol_workup.moc"
