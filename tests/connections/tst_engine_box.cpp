#include "connections/adapter.h"
#include "hosts_fixture.h"

#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

namespace {

QString keysOf(const QList<Engine*>& engines)
{
    QStringList keys;
    for (const Engine* engine : engines)
        keys << QString::number(engine->nodeAttr()->key());
    return keys.join(' ');
}

/// The whole box: "key@engine index" in list order, the url map as
/// "url=key", the key map and the deletion stamp.
QString stateOf(const EngineBox& box)
{
    QStringList positions, urls;
    for (const Engine* engine : box.engines)
        positions << QStringLiteral("%1@%2")
                         .arg(engine->nodeAttr()->key())
                         .arg(engine->nodeAttr()->engineIndex);
    for (auto it = box.enginesByUrl.cbegin(); it != box.enginesByUrl.cend(); ++it)
        urls << it.key() + '=' + QString::number(it.value()->nodeAttr()->key());
    return positions.join(' ') + '|' + urls.join(' ') + '|' + keysOf(box.enginesByKey.values()) +
        '|' + QString::number(box.stamp);
}

/// A broker box as its list, "key@cached position/cached stamp" or "-" for
/// a hole, and its key map.
QString stateOf(const BrokerBox& brokers)
{
    QStringList list;
    for (const EngineBroker* broker : brokers.brokerList)
        list << (broker ? QStringLiteral("%1@%2/%3")
                              .arg(broker->nodeAttr()->key())
                              .arg(broker->cachedEnginePosition)
                              .arg(broker->cachedDeletionStamp)
                        : QStringLiteral("-"));
    QStringList keys;
    for (int key : brokers.brokersByKey.keys())
        keys << QString::number(key);
    return list.join(QLatin1Char(' ')) + QLatin1Char('|') + keys.join(QLatin1Char(' '));
}

} // namespace

class TstEngineBox : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void createdEnginesAreFiledByPositionUrlAndKey();
    void deletionRenumbersAdvancesTheStampAndDefersTheDelete_data();
    void deletionRenumbersAdvancesTheStampAndDefersTheDelete();
    void engineListsMatchEveryCriterionInKeyOrder();
    void brokersFoundByPositionOrKeyFollowDeletionsAndLeaveHoles();
    void closingTerminalReleasesItsBlocks_data();
    void closingTerminalReleasesItsBlocks();
};

void TstEngineBox::createdEnginesAreFiledByPositionUrlAndKey()
{
    HostsFixture fx;
    QSignalSpy appended(&fx.box, &EngineBox::signalEngineAppended);
    QVERIFY(!fx.box.createEngine(nullptr));
    fx.nodes.emplace_back(
        std::make_unique<NodeAttr>(10, 0, "a", "none", "old", QString(), 7001, nullptr));
    Engine* a = fx.box.createEngine(fx.nodes.back().get());
    QCOMPARE(fx.log.messages(), QStringList("Engine has created. Protocol '' used."));
    Engine* b = fx.addEngine("other", 20);
    QCOMPARE(stateOf(fx.box), "10@0 20@1|old=10 other=20|10 20|0");
    QCOMPARE(fx.box.getNodeAttr(10), fx.nodes[0].get());
    QCOMPARE(fx.box.getEngineByNodeAttr(fx.nodes[1].get()), b);
    QCOMPARE(appended.count(), 2);
    QCOMPARE(appended.at(1).at(0).toInt(), 20);

    // The url map follows an edited url; an entry of another engine stays.
    fx.box.editEngineMap("old", "new", a);
    fx.box.editEngineMap("other", "again", a);
    QCOMPARE(stateOf(fx.box), "10@0 20@1|again=10 new=10 other=20|10 20|0");
}

void TstEngineBox::deletionRenumbersAdvancesTheStampAndDefersTheDelete_data()
{
    // Hosts 1 to 4 at urls a to d, the stamp at @c stamp; then @c keys go.
    QTest::addColumn<int>("stamp");
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("error");
    const int last = EngineBox::MaxDeletionStamp;
    const QString limit = QString::number(last);
    using Keys = QList<int>;
    QTest::newRow("middle") << 0 << Keys {2} << "1@0 3@1 4@2|a=1 c=3 d=4|1 3 4|1" << QString();
    QTest::newRow("to-limit") << last - 1 << Keys {4} << "1@0 2@1 3@2|a=1 b=2 c=3|1 2 3|" + limit
                              << QString();
    QTest::newRow("wraps") << last - 1 << Keys {1, 2} << "3@0 4@1|c=3 d=4|3 4|0" << QString();
    QTest::newRow("unknown-key") << 0 << Keys {99} << "1@0 2@1 3@2 4@3|a=1 b=2 c=3 d=4|1 2 3 4|0"
                                 << "[EngineBox::deleteEngine] Engine by key '99' is NULL";
}

void TstEngineBox::deletionRenumbersAdvancesTheStampAndDefersTheDelete()
{
    QFETCH(int, stamp);
    QFETCH(QList<int>, keys);
    QFETCH(QString, state);
    QFETCH(QString, error);
    HostsFixture fx;
    for (const char* url : {"a", "b", "c", "d"})
        fx.addEngine(url);
    fx.box.stamp = stamp;
    QPointer<Engine> first = fx.box.getEngine(keys.first());
    QSignalSpy aboutToDelete(&fx.box, &EngineBox::signalAboutToEngineDelete);
    for (int key : keys)
        fx.box.deleteEngine(key);
    QCOMPARE(stateOf(fx.box), state);
    QCOMPARE(fx.log.errors(), error.isEmpty() ? QStringList() : QStringList(error));
    QCOMPARE(aboutToDelete.count(), error.isEmpty() ? keys.size() : 0);
    // Still there for whoever is in the middle of a call on it.
    QCOMPARE(first.isNull(), !error.isEmpty());
    QTRY_VERIFY(first.isNull());
}

void TstEngineBox::engineListsMatchEveryCriterionInKeyOrder()
{
    HostsFixture fx;
    // Created out of key order on purpose.
    fx.addEngine("x", 30, 7001, "mux");
    fx.addEngine("x", 10, 7002, "mux");
    fx.addEngine("y", 20, 7001, "none");
    const QMap<QString, QString> none;
    QCOMPARE(keysOf(fx.box.getEngineList(QString(), quint16(0), none)), "10 20 30");
    QCOMPARE(keysOf(fx.box.getEngineList("x", quint16(0), none)), "10 30");
    QCOMPARE(keysOf(fx.box.getEngineList(QString(), quint16(7001), none)), "20 30");
    QCOMPARE(keysOf(fx.box.getEngineList("x", quint16(7001), none)), "30");
    QCOMPARE(keysOf(fx.box.getEngineList(QString(), "mux", none)), "10 30");
    QCOMPARE(keysOf(fx.box.getEngineList("y", "mux", none)), "");
    // Hosts without the variable are not told apart by it.
    const QMap<QString, QString> vars {{"password", "x"}};
    QCOMPARE(keysOf(fx.box.getEngineList(QString(), quint16(0), vars)), "10 20 30");
}

void TstEngineBox::brokersFoundByPositionOrKeyFollowDeletionsAndLeaveHoles()
{
    HostsFixture fx;
    fx.addEngine("a", 1);
    Engine* b = fx.addEngine("b", 2);
    Engine* c = fx.addEngine("c", 3);
    BrokerBox brokers;
    EngineBroker* brokerB = b->createEngineBroker(&brokers);
    EngineBroker* brokerC = c->createEngineBroker(&brokers);
    brokers.addEngineBroker(brokerB, -1);
    brokers.addEngineBroker(brokerC, 2);
    QCOMPARE(fx.box.findBrokerByReliableEngineIndex(&brokers, 1), brokerB);
    QCOMPARE(stateOf(brokers), "- 2@1/0 3@-1/-1|2 3");

    fx.box.deleteEngine(1);
    // The cached positions are stale: b is now at 0, c at 1.
    QCOMPARE(fx.box.findBrokerByReliableEngineIndex(&brokers, 0), brokerB);
    int position = 2;
    QCOMPARE(fx.box.findBrokerByUnreliableBrokerIndex(&brokers, position, 3), brokerC);
    QCOMPARE(position, 1);
    QCOMPARE(stateOf(brokers), "2@0/1 3@1/1 3@1/1|2 3");
    // Now current: found at the cached position without a lookup.
    QCOMPARE(fx.box.findBrokerByUnreliableBrokerIndex(&brokers, position, 3), brokerC);
    QVERIFY(!fx.box.findBrokerByReliableEngineIndex(&brokers, 5));
    QVERIFY(!fx.box.findBrokerByReliableEngineIndex(nullptr, 0));
    int lost = 7;
    QVERIFY(!fx.box.findBrokerByUnreliableBrokerIndex(&brokers, lost, 42));
    QCOMPARE(
        fx.log.errors(),
        QStringList("[EngineBox::findBrokerByUnreliableBrokerIndex] Engine by key '42' is NULL"));

    // A deleted broker leaves holes: the positions terminals cached hold.
    QPointer<EngineBroker> gone = brokerB;
    brokers.deleteEngineBroker(brokerB);
    QCOMPARE(stateOf(brokers), "- 3@1/1 3@1/1|3");
    QTRY_VERIFY(gone.isNull());
    QCOMPARE(brokers.getBrokerInMap(3, 0), brokerC);
    QCOMPARE(stateOf(brokers), "3@1/1 3@1/1 3@1/1|3");
}

void TstEngineBox::closingTerminalReleasesItsBlocks_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("terminal");
    QTest::addColumn<QString>("modes"); // of hosts 1 and 2 after
    QTest::addColumn<QString>("error");
    QTest::newRow("not-the-owner") << 1 << 4 << "2 2" << QString();
    QTest::newRow("owner-on-its-host") << 1 << 5 << "0 2" << QString();
    QTest::newRow("owner-on-every-host") << -1 << 5 << "0 0" << QString();
    QTest::newRow("unknown-host") << 9 << 5 << "2 2"
                                  << "[EngineBox::slotTerminalIsAboutToClose] No engine for the "
                                     "host key '9': the blocks of terminal 5 stay";
}

void TstEngineBox::closingTerminalReleasesItsBlocks()
{
    QFETCH(int, key);
    QFETCH(int, terminal);
    QFETCH(QString, modes);
    QFETCH(QString, error);
    HostsFixture fx;
    QStringList after;
    for (Engine* engine : {fx.addEngine("a", 1), fx.addEngine("b", 2)}) {
        engine->deviceDb()->blockOwner = 5;
        engine->deviceDb()->schedulerMode = 2;
    }
    fx.box.slotTerminalIsAboutToClose(key, terminal);
    for (Engine* engine : qAsConst(fx.box.engines))
        after << QString::number(engine->deviceDb()->getSchedulerMode());
    QCOMPARE(after.join(' '), modes);
    QCOMPARE(fx.log.errors(), error.isEmpty() ? QStringList() : QStringList(error));
}

QTEST_GUILESS_MAIN(TstEngineBox)
#include "tst_engine_box.moc"
