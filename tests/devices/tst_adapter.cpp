#include "connections/adapter.h"

#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

class TstAdapter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void deviceNameGivesClassAndTags_data();
    void deviceNameGivesClassAndTags();
    void agentsAreFoundByPosition();
    void autoreadRequestsNeedAPeriodOrATicket();
    void destructionGivesTheTicketBack();
    void brokerKeepsAdaptersByNameAndPosition();
};

void TstAdapter::deviceNameGivesClassAndTags_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    QTest::addColumn<int>("tag");
    QTest::addColumn<int>("baseTag");
    QTest::newRow("E1_0103") << "E1_0103"
                             << "E1" << 3 << 1;
    QTest::newRow("underscores") << "MUX_A_2F1A"
                                 << "MUX_A" << 0x1A << 0x2F;
    QTest::newRow("not-hex") << "E1_XY01"
                             << "E1" << -1 << -1;
    QTest::newRow("short") << "E1"
                           << "E1" << -1 << -1;
}

void TstAdapter::deviceNameGivesClassAndTags()
{
    QFETCH(QString, name);
    QFETCH(QString, className);
    QFETCH(int, tag);
    QFETCH(int, baseTag);
    Adapter adapter(name, nullptr);
    QCOMPARE(adapter.deviceName, name);
    QCOMPARE(adapter.className, className);
    QCOMPARE(adapter.tag, tag);
    QCOMPARE(adapter.baseTag, baseTag);
}

void TstAdapter::agentsAreFoundByPosition()
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

void TstAdapter::autoreadRequestsNeedAPeriodOrATicket()
{
    Adapter adapter(QStringLiteral("E1_0103"), nullptr);
    adapter.createAgent(QStringLiteral("a"), 2);
    adapter.createAgent(QStringLiteral("b"), 5);
    QList<QVector<int>> requests;
    connect(&adapter, &Adapter::signalSetAutoreadPeriod, this,
            [&](int agent, int& ticket, int period) {
                requests << QVector<int> {agent, ticket, period};
                if (ticket < 0)
                    ticket = 70;
            });
    adapter.setAutoreadPeriod(0);
    adapter.setAutoreadPeriod(1, 0);
    QVERIFY(requests.isEmpty());

    adapter.setAutoreadPeriod(1, 30);
    QCOMPARE(adapter.ticketId, 70);
    adapter.setAutoreadPeriod(0);
    QCOMPARE(requests, QList<QVector<int>>({{1, -1, 30}, {2, 70, 0}, {5, 70, 0}}));
}

void TstAdapter::destructionGivesTheTicketBack()
{
    QList<int> released;
    {
        Adapter idle(QStringLiteral("E1_0103"), nullptr);
        connect(&idle, &Adapter::signalDeleteTickets, this, [&](int& id) { released << id; });
    }
    {
        Adapter holding(QStringLiteral("E1_0103"), nullptr);
        holding.ticketId = 12;
        connect(&holding, &Adapter::signalDeleteTickets, this, [&](int& id) { released << id; });
    }
    QCOMPARE(released, QList<int> {12});
}

void TstAdapter::brokerKeepsAdaptersByNameAndPosition()
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

QTEST_GUILESS_MAIN(TstAdapter)
#include "tst_adapter.moc"
