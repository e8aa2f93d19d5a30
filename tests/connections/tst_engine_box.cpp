#include "connections/adapter.h"
#include "hosts_fixture.h"

#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

namespace {

QList<int> keysOf(const QList<Engine*>& engines)
{
    QList<int> keys;
    for (const Engine* engine : engines)
        keys << engine->nodeAttr()->key();
    return keys;
}

} // namespace

class TstEngineBox : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void createdEnginesAreFiledByPositionUrlAndKey();
    void deletionRenumbersAdvancesTheStampAndDefersTheDelete();
    void deletingAnUnknownKeyIsLogged();
    void stampWrapsAfterItsLimit();
    void engineListsMatchEveryCriterionInKeyOrder();
    void brokersFoundByPositionFollowDeletions();
    void brokersFoundByKeyCorrectTheirPosition();
    void brokerBoxLeavesHolesForDeletedBrokers();
    void closingTerminalReleasesItsBlocks();
    void urlMapFollowsAnEditedUrl();
};

void TstEngineBox::createdEnginesAreFiledByPositionUrlAndKey()
{
    HostsFixture fx;
    QSignalSpy appended(&fx.box, &EngineBox::signalEngineAppended);
    QVERIFY(!fx.box.createEngine(nullptr));
    fx.nodes.emplace_back(
        std::make_unique<NodeAttr>(10, 0, "a", "none", "10.0.0.1", QString(), 7001, nullptr));
    Engine* a = fx.box.createEngine(fx.nodes.back().get());
    QCOMPARE(fx.log.messages().first(), QStringLiteral("Engine has created. Protocol '' used."));
    Engine* b = fx.addEngine("10.0.0.2", 20);
    QCOMPARE(fx.box.enginesList(), QList<Engine*>({a, b}));
    QCOMPARE(fx.nodes[0]->engineIndex, 0);
    QCOMPARE(fx.nodes[1]->engineIndex, 1);
    QCOMPARE(fx.box.getEngine(20), b);
    QCOMPARE(fx.box.getNodeAttr(10), fx.nodes[0].get());
    QCOMPARE(fx.box.getEngineByNodeAttr(fx.nodes[1].get()), b);
    QCOMPARE(fx.box.enginesByUrl.value("10.0.0.1"), a);
    QCOMPARE(a->parent(), &fx.box);
    QCOMPARE(appended.count(), 2);
    QCOMPARE(appended.at(1).at(0).toInt(), 20);
}

void TstEngineBox::deletionRenumbersAdvancesTheStampAndDefersTheDelete()
{
    HostsFixture fx;
    fx.addEngine("a", 1);
    QPointer<Engine> b = fx.addEngine("b", 2);
    Engine* c = fx.addEngine("c", 3);
    Engine* d = fx.addEngine("d", 4);
    QSignalSpy aboutToDelete(&fx.box, &EngineBox::signalAboutToEngineDelete);

    fx.box.deleteEngine(2);
    QCOMPARE(aboutToDelete.count(), 1);
    QCOMPARE(aboutToDelete.at(0).at(0).toInt(), 2);
    QCOMPARE(fx.box.deletionStamp(), 1);
    QCOMPARE(fx.box.engines.size(), 3);
    QCOMPARE(fx.nodes[2]->engineIndex, 1);
    QCOMPARE(fx.nodes[3]->engineIndex, 2);
    QCOMPARE(fx.box.engines.at(1), c);
    QCOMPARE(fx.box.engines.at(2), d);
    QVERIFY(!fx.box.getEngine(2));
    QVERIFY(!fx.box.enginesByUrl.contains("b"));
    // Still there for whoever is in the middle of a call on it.
    QVERIFY(!b.isNull());
    QTRY_VERIFY(b.isNull());
}

void TstEngineBox::deletingAnUnknownKeyIsLogged()
{
    HostsFixture fx;
    fx.addEngine("a", 1);
    fx.box.deleteEngine(99);
    QCOMPARE(fx.log.errors(), QStringList {"[EngineBox::deleteEngine] Engine by key '99' is NULL"});
    QCOMPARE(fx.box.deletionStamp(), 0);
    QCOMPARE(fx.box.engines.size(), 1);
}

void TstEngineBox::stampWrapsAfterItsLimit()
{
    HostsFixture fx;
    fx.addEngine("a", 1);
    fx.addEngine("b", 2);
    fx.box.stamp = EngineBox::MaxDeletionStamp - 1;
    fx.box.deleteEngine(1);
    QCOMPARE(fx.box.deletionStamp(), EngineBox::MaxDeletionStamp);
    fx.box.deleteEngine(2);
    QCOMPARE(fx.box.deletionStamp(), 0);
}

void TstEngineBox::engineListsMatchEveryCriterionInKeyOrder()
{
    HostsFixture fx;
    // Created out of key order on purpose.
    fx.addEngine("x", 30, 7001, "mux");
    fx.addEngine("x", 10, 7002, "mux");
    fx.addEngine("y", 20, 7001, "none");
    const QMap<QString, QString> none;
    QCOMPARE(keysOf(fx.box.getEngineList(QString(), quint16(0), none)), QList<int>({10, 20, 30}));
    QCOMPARE(keysOf(fx.box.getEngineList("x", quint16(0), none)), QList<int>({10, 30}));
    QCOMPARE(keysOf(fx.box.getEngineList(QString(), quint16(7001), none)), QList<int>({20, 30}));
    QCOMPARE(keysOf(fx.box.getEngineList("x", quint16(7001), none)), QList<int>({30}));
    QCOMPARE(keysOf(fx.box.getEngineList(QString(), "mux", none)), QList<int>({10, 30}));
    QCOMPARE(keysOf(fx.box.getEngineList("y", "mux", none)), QList<int>());
    // Hosts without the variable are not told apart by it.
    const QMap<QString, QString> vars {{"password", "x"}};
    QCOMPARE(keysOf(fx.box.getEngineList(QString(), quint16(0), vars)), QList<int>({10, 20, 30}));
}

void TstEngineBox::brokersFoundByPositionFollowDeletions()
{
    HostsFixture fx;
    fx.addEngine("a", 1);
    Engine* b = fx.addEngine("b", 2);
    BrokerBox brokers;
    EngineBroker* brokerB = b->createEngineBroker(&brokers);
    brokers.addEngineBroker(brokerB, -1);

    QCOMPARE(fx.box.findBrokerByReliableEngineIndex(&brokers, 1), brokerB);
    QCOMPARE(brokerB->cachedEnginePosition, 1);
    QCOMPARE(brokerB->cachedDeletionStamp, 0);
    QCOMPARE(brokers.getBrokerInList(1), brokerB);

    fx.box.deleteEngine(1);
    // The cached position is stale: b is now at 0.
    QCOMPARE(fx.box.findBrokerByReliableEngineIndex(&brokers, 0), brokerB);
    QCOMPARE(brokerB->cachedEnginePosition, 0);
    QCOMPARE(brokerB->cachedDeletionStamp, 1);
    QVERIFY(!fx.box.findBrokerByReliableEngineIndex(&brokers, 5));
    QVERIFY(!fx.box.findBrokerByReliableEngineIndex(nullptr, 0));
}

void TstEngineBox::brokersFoundByKeyCorrectTheirPosition()
{
    HostsFixture fx;
    fx.addEngine("a", 1);
    fx.addEngine("b", 2);
    Engine* c = fx.addEngine("c", 3);
    BrokerBox brokers;
    EngineBroker* brokerC = c->createEngineBroker(&brokers);
    brokers.addEngineBroker(brokerC, 2);
    fx.box.deleteEngine(1);
    fx.box.deleteEngine(2);

    int position = 2;
    QCOMPARE(fx.box.findBrokerByUnreliableBrokerIndex(&brokers, position, 3), brokerC);
    QCOMPARE(position, 0);
    QCOMPARE(brokers.getBrokerInList(0), brokerC);
    // Now current: found at the cached position without a lookup.
    QCOMPARE(fx.box.findBrokerByUnreliableBrokerIndex(&brokers, position, 3), brokerC);

    int lost = 7;
    QVERIFY(!fx.box.findBrokerByUnreliableBrokerIndex(&brokers, lost, 42));
    QCOMPARE(fx.log.errors().last(),
             QStringLiteral("[EngineBox::findBrokerByUnreliableBrokerIndex] Engine by key '42' "
                            "is NULL"));
}

void TstEngineBox::brokerBoxLeavesHolesForDeletedBrokers()
{
    HostsFixture fx;
    Engine* a = fx.addEngine("a", 1);
    Engine* b = fx.addEngine("b", 2);
    auto brokers = std::make_unique<BrokerBox>();
    QPointer<EngineBroker> brokerA = a->createEngineBroker(brokers.get());
    EngineBroker* brokerB = b->createEngineBroker(brokers.get());
    brokers->addEngineBroker(brokerA, 0);
    brokers->addEngineBroker(brokerB, 3);
    QCOMPARE(brokers->brokerList.size(), 4);

    brokers->deleteEngineBroker(brokerA);
    QCOMPARE(brokers->brokerList.size(), 4);
    QVERIFY(!brokers->getBrokerInList(0));
    QCOMPARE(brokers->getBrokerInList(3), brokerB);
    QVERIFY(!brokers->brokersByKey.contains(1));
    QVERIFY(!brokerA->parent());
    QTRY_VERIFY(brokerA.isNull());
    QCOMPARE(brokers->getBrokerInMap(2, 1), brokerB);
    QCOMPARE(brokers->getBrokerInList(1), brokerB);
}

void TstEngineBox::closingTerminalReleasesItsBlocks()
{
    HostsFixture fx;
    Engine* a = fx.addEngine("a", 1);
    Engine* b = fx.addEngine("b", 2);
    for (Engine* engine : {a, b}) {
        engine->deviceDb()->blockOwner = 5;
        engine->deviceDb()->schedulerMode = 2;
    }
    fx.box.slotTerminalIsAboutToClose(1, 4); // not the owner
    QCOMPARE(a->deviceDb()->getSchedulerMode(), 2);
    fx.box.slotTerminalIsAboutToClose(1, 5);
    QCOMPARE(a->deviceDb()->getSchedulerMode(), 0);
    QCOMPARE(b->deviceDb()->getSchedulerMode(), 2);

    a->deviceDb()->blockOwner = 5;
    a->deviceDb()->schedulerMode = 2;
    fx.box.slotTerminalIsAboutToClose(-1, 5);
    QCOMPARE(a->deviceDb()->getSchedulerMode(), 0);
    QCOMPARE(b->deviceDb()->getSchedulerMode(), 0);

    fx.log.clear();
    fx.box.slotTerminalIsAboutToClose(9, 5);
    QCOMPARE(fx.log.errors().size(), 1);
}

void TstEngineBox::urlMapFollowsAnEditedUrl()
{
    HostsFixture fx;
    Engine* a = fx.addEngine("old", 1);
    Engine* b = fx.addEngine("other", 2);
    fx.box.editEngineMap("old", "new", a);
    QVERIFY(!fx.box.enginesByUrl.contains("old"));
    QCOMPARE(fx.box.enginesByUrl.value("new"), a);
    // An entry that belongs to another engine stays.
    fx.box.editEngineMap("other", "again", a);
    QCOMPARE(fx.box.enginesByUrl.value("other"), b);
}

QTEST_GUILESS_MAIN(TstEngineBox)
#include "tst_engine_box.moc"
