#include "connections/periodic_pass_clock_p.h"
#include "engine_fixture.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTimerEvent>
#include <QtTest>

#include <atomic>
#include <cstdlib>
#include <new>

// Every allocation of the process is counted while counting is on, so that
// a tick can be shown to allocate nothing.
namespace {
std::atomic<bool> countingAllocations {false};
std::atomic<long> allocations {0};
} // namespace

void* operator new(std::size_t size)
{
    if (countingAllocations.load(std::memory_order_relaxed))
        allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* block = std::malloc(size ? size : 1))
        return block;
    throw std::bad_alloc();
}
void operator delete(void* block) noexcept
{
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept
{
    std::free(block);
}

namespace {

QByteArray packet(int size)
{
    return QByteArray(size - 1, 'p') + '\n';
}

} // namespace

class TstEngine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void connectAsksForTheDeviceListAndLearnsDevices();
    void blocksAreParsedWhateverTheirSplit();
    void periodicReadsGoOutOnTheirTickets();
    void periodicPassKeepsPeriodsThroughJitter_data();
    void periodicPassKeepsPeriodsThroughJitter();
    void writesGoOutBeforeReads();
    void tcpSendsPacketsUntil768BytesATick();
    void udpSendsOneDatagramATick();
    void datagramTooLargeIsRetriedOnceThenDropped();
    void unreachableUdpHostIsLetGoAndMayBeTriedAgain();
    void peerClosingIsLoggedAndLosesOnlyTheUnfinishedLine();
    void randomBytesAreRefusedByTheProtocolNotTheEngine();
    void failedConnectionIsLoggedAndMayBeRetried();
    void silentHostIsDisconnected();
    void protocolChangeKeepsTheSocketKind();
    void unknownProtocolLeavesAMuteEngine();
    void tickWithNothingToSendAllocatesNothing();
    void socketErrorTextsCoverTheTable_data();
    void socketErrorTextsCoverTheTable();
};

void TstEngine::connectAsksForTheDeviceListAndLearnsDevices()
{
    EngineFixture fx;
    TcpPeer peer;
    Engine* engine = fx.createEngine("test-tcp", peer.port());
    QVERIFY(fx.nodes.back()->setCustomVarValue("password", "pw"));
    QSignalSpy connected(engine, &Engine::signalSocketConnected);
    engine->connectToHost();
    QVERIFY(engine->connecting);
    engine->connectToHost(); // in progress: ignored
    QTRY_COMPARE(connected.count(), 1);
    QCOMPARE(connected.at(0).at(0).toInt(), 1);
    QVERIFY(engine->isConnected());
    QCOMPARE(peer.connections, 1);
    QTRY_COMPARE(peer.received, QByteArray("LIST\n"));
    QCOMPARE(fx.control(engine)->assignedVars().value("password"), QStringLiteral("pw"));
    QCOMPARE(fx.log.messages(),
             QStringList {QStringLiteral("Connect to server 127.0.0.1:%1. Variables list: "
                                         "password = pw: request_limit = 16")
                              .arg(peer.port())});

    peer.send(deviceLines + "VAL 4 0 42\n");
    QTRY_VERIFY(fx.param(engine, "level"));
    QTRY_COMPARE(fx.param(engine, "level")->readValue, 42u);
    QCOMPARE(fx.control(engine)->malformedLines(), 0);
}

void TstEngine::blocksAreParsedWhateverTheirSplit()
{
    EngineFixture fx;
    TcpPeer peer;
    Engine* engine = fx.connectedEngine(peer);
    QVERIFY(engine);
    TestProtocolControl* control = fx.control(engine);
    const QByteArray before = control->received();

    // Far more than one read buffer, with a value split across writes.
    QByteArray stream;
    for (int i = 0; i < 2000; ++i)
        stream += "VAL 4 1 " + QByteArray::number(i) + '\n';
    peer.send(stream.left(5));
    peer.send(stream.mid(5));
    QTRY_COMPARE(fx.param(engine, "gain")->readValue, 1999u);
    QCOMPARE(control->received().mid(before.size()), stream);
    QVERIFY(control->parseCalls() >= stream.size() / engine->readBufferSize);
    QCOMPARE(control->malformedLines(), 0);
}

void TstEngine::periodicReadsGoOutOnTheirTickets()
{
    EngineFixture fx;
    TcpPeer peer;
    Engine* engine = fx.connectedEngine(peer);
    QVERIFY(engine);
    DeviceDb* db = engine->deviceDb();
    int ticket = db->getTicketId("E1_0001");
    QVERIFY(db->setTicket("E1_0001", "level", ticket, 1));
    peer.received.clear();

    // One second after the parameter was created, on the periodic pass.
    QTRY_VERIFY_WITH_TIMEOUT(peer.received.contains("READ 4 0\n"), 4000);
    QVERIFY(!peer.received.contains("READ 4 0,1"));

    QSignalSpy read(db->findDevice("E1_0001"), &Device::signalParamHasRead);
    peer.send("VAL 4 0 17\n");
    QTRY_COMPARE(read.count(), 1);
    // And again a period later.
    peer.received.clear();
    QTRY_VERIFY_WITH_TIMEOUT(peer.received.contains("READ 4 0\n"), 4000);
}

void TstEngine::periodicPassKeepsPeriodsThroughJitter_data()
{
    QTest::addColumn<QTime>("base");
    QTest::addColumn<QList<int>>("real"); // when each pass runs, ms after base
    QTest::addColumn<QList<int>>("scheduled"); // the time each pass stands for
    QTest::addColumn<QStringList>("queued"); // what each pass reads

    const QTime ten(10, 0);
    const QString both = QStringLiteral("level gain");
    const QString level = QStringLiteral("level");
    QTest::newRow("on-time") << ten << QList<int> {0, 1000, 2000, 3000, 4000}
                             << QList<int> {0, 1000, 2000, 3000, 4000}
                             << QStringList {both, level, both, level, both};
    QTest::newRow("jitter") << ten << QList<int> {0, 997, 2002, 2999, 4025, 4976}
                            << QList<int> {0, 1000, 2000, 3000, 4000, 5000}
                            << QStringList {both, level, both, level, both, level};
    // Two seconds between passes: the rhythm starts again from the clock.
    QTest::newRow("stall") << ten << QList<int> {0, 1000, 3000, 3998, 5003}
                           << QList<int> {0, 1000, 3000, 4000, 5000}
                           << QStringList {both, level, both, level, both};
    QTest::newRow("beyond-tolerance")
        << ten << QList<int> {0, 1000, 2026, 3026} << QList<int> {0, 1000, 2026, 3026}
        << QStringList {both, level, both, level};
    // Everything read before is due at once when the clock goes back.
    QTest::newRow("clock-set-back") << ten << QList<int> {0, 1000, 2000, -7000, -6001, -4998}
                                    << QList<int> {0, 1000, 2000, -7000, -6000, -5000}
                                    << QStringList {both, level, both, both, level, both};
    QTest::newRow("midnight") << QTime(23, 59, 58) << QList<int> {0, 1000, 2001, 2999, 4000}
                              << QList<int> {0, 1000, 2000, 3000, 4000}
                              << QStringList {both, level, both, level, both};
    QTest::newRow("early-before-midnight")
        << QTime(23, 59, 58) << QList<int> {0, 1000, 1999, 3001} << QList<int> {0, 1000, 2000, 3000}
        << QStringList {both, level, both, level};
}

void TstEngine::periodicPassKeepsPeriodsThroughJitter()
{
    QFETCH(QTime, base);
    QFETCH(QList<int>, real);
    QFETCH(QList<int>, scheduled);
    QFETCH(QStringList, queued);

    EngineFixture fx;
    // No protocol: the engine's own timer leaves its scheduler alone.
    Engine* engine = fx.createEngine("snmp", 161);
    DeviceDb* db = engine->deviceDb();
    Device* device = db->addDevice("E1", 1, 0, 4, Tavo::NativeProtocol, QString());
    QVERIFY(device && device->populateDevice());
    const QString name = device->DbEntity::name;
    int ticket = db->getTicketId(name);
    QVERIFY(db->setTicket(name, "level", ticket, 1));
    QVERIFY(db->setTicket(name, "gain", ticket, 2));
    for (Param* param : qAsConst(device->parameters))
        param->readTime = base.addMSecs(-2000);

    PeriodicPassClock clock(20 * engine->timerPeriod, engine->timerPeriod / 2);
    QStringList reads;
    QList<QTime> passTimes, expectedTimes;
    for (int i = 0; i < real.size(); ++i) {
        QTime now = clock.passTime(base.addMSecs(real.at(i)));
        passTimes << now;
        expectedTimes << base.addMSecs(scheduled.at(i));
        engine->makeUpParamAutoReadQueries(now);

        // Take the reads as the protocol would.
        QStringList names;
        for (Param* param : device->readList.current()) {
            names << param->DbEntity::name;
            param->readQueueMark = 0;
        }
        reads << names.join(' ');
        QCOMPARE(db->readDeviceList.current().contains(device), !names.isEmpty());
        device->readList.clear();
        device->inReadDeviceList = false;
        db->readDeviceList.clear();
    }
    QCOMPARE(reads, queued);
    QCOMPARE(passTimes, expectedTimes);
}

void TstEngine::writesGoOutBeforeReads()
{
    EngineFixture fx;
    TcpPeer peer;
    Engine* engine = fx.connectedEngine(peer);
    QVERIFY(engine);
    DeviceDb* db = engine->deviceDb();
    peer.received.clear();
    QVERIFY(db->readQuery("E1_0001", "level", 1, false));
    QVERIFY(db->writeQuery("E1_0001", "gain", 5ul, false));
    QVERIFY(db->writeQuery("E1_0001", "label", QStringLiteral("abc"), false));
    QTRY_VERIFY(peer.received.contains("READ 4 0\n"));
    // Numeric and text writes never share a request: the text goes a tick later.
    QTRY_VERIFY(peer.received.contains("WRITE 4 2 s:abc\n"));
    const int numeric = peer.received.indexOf("WRITE 4 1 u:5\n");
    QVERIFY(numeric >= 0);
    QVERIFY(numeric < peer.received.indexOf("READ 4 0\n"));
}

void TstEngine::tcpSendsPacketsUntil768BytesATick()
{
    EngineFixture fx;
    TcpPeer peer;
    Engine* engine = fx.connectedEngine(peer);
    QVERIFY(engine);
    peer.received.clear();
    TestProtocolControl* control = fx.control(engine);
    for (int i = 0; i < 4; ++i)
        control->queuePacket(packet(300));

    // Below 768 after two, so the third goes too and takes the tick past it.
    engine->queryScheduler();
    QCOMPARE(engine->resultList.size(), 1);
    QTRY_COMPARE(peer.received.size(), 900);
    engine->queryScheduler();
    QVERIFY(engine->resultList.isEmpty());
    QTRY_COMPARE(peer.received.size(), 1200);
    QVERIFY(fx.log.errors().isEmpty());
}

void TstEngine::udpSendsOneDatagramATick()
{
    EngineFixture fx;
    UdpPeer peer;
    Engine* engine = fx.connectedEngine(peer);
    QVERIFY(engine);
    QCOMPARE(peer.datagrams, QList<QByteArray> {"LIST\n"});
    peer.send(deviceLines);
    QTRY_VERIFY(fx.param(engine, "label"));

    TestProtocolControl* control = fx.control(engine);
    for (int i = 0; i < 3; ++i)
        control->queuePacket(packet(10 + i));
    engine->queryScheduler();
    QCOMPARE(engine->resultList.size(), 2);
    QTRY_COMPARE(peer.datagrams.size(), 2);
    QCOMPARE(peer.datagrams.at(1), packet(10));
    // The timer sends the rest, one a tick, in order.
    QTRY_COMPARE(peer.datagrams.size(), 4);
    QCOMPARE(peer.datagrams.at(3), packet(12));
}

void TstEngine::datagramTooLargeIsRetriedOnceThenDropped()
{
    EngineFixture fx;
    UdpPeer peer;
    Engine* engine = fx.connectedEngine(peer);
    QVERIFY(engine);

    const QString tooLarge =
        QStringLiteral("Too large data block: 70000 bytes. Sent only 0 bytes.");
    fx.control(engine)->queuePacket(packet(70000));
    fx.control(engine)->queuePacket(packet(20));
    engine->queryScheduler();
    QCOMPARE(fx.log.errors(), QStringList {tooLarge});
    QCOMPARE(engine->resultList.size(), 2);
    QCOMPARE(engine->resultList.first()->size, 70000);

    engine->queryScheduler();
    QCOMPARE(fx.log.errors(),
             QStringList({tooLarge, tooLarge,
                          QStringLiteral("Data block of 70000 bytes dropped: the socket can't "
                                         "send it")}));
    QCOMPARE(engine->resultList.size(), 1);
    QVERIFY(engine->isConnected());
    // What follows goes out as usual.
    QTRY_COMPARE(peer.datagrams.size(), 2);
    QCOMPARE(peer.datagrams.at(1), packet(20));
}

void TstEngine::unreachableUdpHostIsLetGoAndMayBeTriedAgain()
{
    EngineFixture fx;
    quint16 port = 0;
    {
        UdpPeer closed;
        port = closed.port();
    }
    Engine* engine = fx.createEngine("test-udp", port);
    QSignalSpy connected(engine, &Engine::signalSocketConnected);
    engine->connectToHost();
    QTRY_COMPARE(connected.count(), 1);
    // The system answers the device list request with "port unreachable",
    // and the socket closes without a signal.
    QSignalSpy disconnected(engine, &Engine::signalSocketDisconnected);
    QTRY_COMPARE(disconnected.count(), 1);
    QVERIFY(!engine->isConnected());
    QVERIFY(
        fx.log.messages().contains(QStringLiteral("Disonnect from server 127.0.0.1:%1").arg(port)));

    UdpPeer peer;
    peer.socket.close();
    if (!peer.socket.bind(QHostAddress(QHostAddress::LocalHost), port))
        QSKIP("the port was taken meanwhile");
    engine->connectToHost();
    QTRY_COMPARE(connected.count(), 2);
    QTRY_COMPARE(peer.datagrams, QList<QByteArray> {"LIST\n"});
}

void TstEngine::peerClosingIsLoggedAndLosesOnlyTheUnfinishedLine()
{
    EngineFixture fx;
    TcpPeer peer;
    Engine* engine = fx.connectedEngine(peer);
    QVERIFY(engine);
    QVERIFY(engine->deviceDb()->readQuery("E1_0001", "level", 5, false));
    QSignalSpy disconnected(engine, &Engine::signalSocketDisconnected);
    peer.send("VAL 4 0 5\nVAL 4 1 ");
    peer.client->flush();
    peer.dropClient();
    QTRY_COMPARE(disconnected.count(), 1);
    QVERIFY(!engine->isConnected());
    QVERIFY(fx.log.messages().contains(
        QStringLiteral("Disonnect from server 127.0.0.1:%1").arg(peer.port())));
    QVERIFY(engine->deviceDb()->readDeviceList.current().isEmpty());
    QVERIFY(engine->resultList.isEmpty());
    QCOMPARE(fx.param(engine, "level")->readValue, 5u);
    QCOMPARE(fx.param(engine, "gain")->readValue, 0u);

    // The device is learnt afresh and the half line forgotten with the connection.
    peer.received.clear();
    QVERIFY(fx.connectedEngine(peer, engine));
    QCOMPARE(peer.connections, 2);
    QVERIFY(peer.received.startsWith("LIST\n"));
    peer.send("VAL 4 1 9\n");
    QTRY_COMPARE(fx.param(engine, "gain")->readValue, 9u);
    QCOMPARE(fx.control(engine)->malformedLines(), 0);
    QVERIFY(engine->deviceDb()->readQuery("E1_0001", "level", 1, false));
    QTRY_VERIFY(peer.received.contains("READ 4 0\n"));
}

void TstEngine::randomBytesAreRefusedByTheProtocolNotTheEngine()
{
    EngineFixture fx;
    TcpPeer peer;
    Engine* engine = fx.connectedEngine(peer);
    QVERIFY(engine);
    TestProtocolControl* control = fx.control(engine);
    const int before = control->received().size();

    QRandomGenerator random(20261206);
    QByteArray noise(64 * 1024, Qt::Uninitialized);
    for (char& byte : noise)
        byte = char(random.bounded(256));
    peer.send(noise);
    peer.send("\nVAL 4 0 77\n");
    QTRY_COMPARE(fx.param(engine, "level")->readValue, 77u);
    QCOMPARE(control->received().size() - before, noise.size() + 12);
    QVERIFY(control->malformedLines() > 0);
    QVERIFY(engine->isConnected());
}

void TstEngine::failedConnectionIsLoggedAndMayBeRetried()
{
    EngineFixture fx;
    quint16 port = 0;
    {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        port = closed.serverPort();
    }
    Engine* refused = fx.createEngine("test-tcp", port);
    Engine* unknown = fx.createEngine("test-tcp", 7001, "no-such-host.invalid");
    refused->connectToHost();
    unknown->connectToHost();
    for (int code : {0, 2}) {
        const QString error = QStringLiteral("Socket error: %1").arg(Engine::socketErrorText(code));
        QTRY_VERIFY_WITH_TIMEOUT(fx.log.debugs().contains(error), 15000);
    }
    for (Engine* engine : {refused, unknown})
        QVERIFY(!engine->connecting && !engine->isConnected());

    TcpPeer peer;
    peer.server.close();
    if (!peer.server.listen(QHostAddress::LocalHost, port))
        QSKIP("the port was taken meanwhile");
    QVERIFY(fx.connectedEngine(peer, refused));
}

void TstEngine::silentHostIsDisconnected()
{
    EngineFixture fx;
    fx.log.setDebugMode(true);
    TcpPeer peer;
    Engine* engine = fx.createEngine("test-tcp", peer.port());
    engine->deviceDb()->silenceLimit = 300;
    QSignalSpy disconnected(engine, &Engine::signalSocketDisconnected);
    engine->connectToHost();
    QTRY_COMPARE(disconnected.count(), 1);
    QVERIFY(
        fx.log.debugs().contains(QStringLiteral("Server is absent for 300 ms. Force disconnect.")));
}

void TstEngine::protocolChangeKeepsTheSocketKind()
{
    EngineFixture fx;
    TcpPeer peer;
    Engine* engine = fx.connectedEngine(peer);
    QVERIFY(engine);
    QPointer<Protocol> old = engine->protocol();
    QAbstractSocket* socket = engine->socket();

    fx.nodes.back()->setProtocolName("test-udp");
    QVERIFY(old.isNull());
    QVERIFY(engine->protocol());
    QCOMPARE(engine->protocol()->getSocketType(), 1);
    QCOMPARE(engine->socket(), socket);
    QVERIFY(qobject_cast<QTcpSocket*>(engine->socket()));

    // The new protocol's data unit writes through the engine's socket.
    int size = 5;
    engine->protocol()->pdu()->sendWriteToSocketSignal("PING\n", size);
    QCOMPARE(size, 5);
    QTRY_VERIFY(peer.received.endsWith("PING\n"));

    QSignalSpy disconnected(engine, &Engine::signalSocketDisconnected);
    peer.dropClient();
    QTRY_COMPARE(disconnected.count(), 1);
}

void TstEngine::unknownProtocolLeavesAMuteEngine()
{
    EngineFixture fx;
    Engine* engine = fx.createEngine("snmp", 161);
    QVERIFY(!engine->protocol());
    engine->connectToHost();
    QVERIFY(!engine->connecting);
    QVERIFY(!engine->socket());
    QVERIFY(!engine->selectAllDevicesQuery());
}

void TstEngine::tickWithNothingToSendAllocatesNothing()
{
    EngineFixture fx;
    TcpPeer peer;
    Engine* engine = fx.connectedEngine(peer);
    QVERIFY(engine);
    // A second's worth of ticks, so the periodic pass runs too.
    QTimerEvent tick(engine->timerId);
    countingAllocations = true;
    ::operator delete(::operator new(8));
    countingAllocations = false;
    QCOMPARE(allocations.load(), 1L);
    allocations = 0;
    countingAllocations = true;
    for (int i = 0; i < 40; ++i)
        QCoreApplication::sendEvent(engine, &tick);
    countingAllocations = false;
    QCOMPARE(allocations.load(), 0L);
    QVERIFY(engine->isConnected());
}

void TstEngine::socketErrorTextsCoverTheTable_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("unknown") << -1 << "An unidentified error occurred";
    QTest::newRow("refused") << 0 << "The connection was refused by the peer (or timed out)";
    QTest::newRow("datagram")
        << 6
        << "The datagram was larger than the operating system's limit (which can be as low as "
           "8192 bytes)";
    QTest::newRow("ssl") << 13
                         << "The SSL/TLS handshake failed, so the connection was closed (only used "
                            "in QSslSocket)";
    QTest::newRow("beyond") << 14
                            << "Undocumented error. May be was compiled under another version of "
                               "Qt4x library";
}

void TstEngine::socketErrorTextsCoverTheTable()
{
    QFETCH(int, code);
    QFETCH(QString, text);
    QCOMPARE(Engine::socketErrorText(code), text);
}

QTEST_GUILESS_MAIN(TstEngine)
#include "tst_engine.moc"
