#include "connections/engine.h"
#include "connections/i_protocol.h"
#include "connections/periodic_pass_clock_p.h"
#include "connections/protocol.h"
#include "connections/protocol_manager.h"
#include "devices/device_db.h"
#include "devices/paramlist.h"
#include "foundation/app_shared.h"
#include "hostgraph/host_graph.h"
#include "kernel_fixture.h"
#include "test_protocol_control.h"

#include <QPointer>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimerEvent>
#include <QUdpSocket>
#include <QtTest>

#include <atomic>
#include <cstdlib>
#include <memory>
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

/// The far end of a TCP connection: one client at a time, everything it
/// sends kept in order.
class TcpPeer : public QObject
{
public:
    TcpPeer()
    {
        server.listen(QHostAddress::LocalHost);
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* next = server.nextPendingConnection()) {
                ++connections;
                client = next;
                connect(next, &QTcpSocket::readyRead, this,
                        [this, next] { received += next->readAll(); });
            }
        });
    }

    quint16 port() const { return server.serverPort(); }
    bool hasClient() const { return client && client->state() == QAbstractSocket::ConnectedState; }
    void send(const QByteArray& bytes) { client->write(bytes); }

    QTcpServer server;
    QPointer<QTcpSocket> client;
    QByteArray received;
    int connections = 0;
};

/// The far end of a UDP exchange: answers go back to whoever sent last.
class UdpPeer : public QObject
{
public:
    UdpPeer()
    {
        socket.bind(QHostAddress(QHostAddress::LocalHost), 0);
        connect(&socket, &QUdpSocket::readyRead, this, [this] {
            while (socket.hasPendingDatagrams()) {
                QByteArray datagram(int(socket.pendingDatagramSize()), Qt::Uninitialized);
                socket.readDatagram(datagram.data(), datagram.size(), &sender, &senderPort);
                datagrams.append(datagram);
            }
        });
    }

    quint16 port() const { return socket.localPort(); }
    void send(const QByteArray& bytes) { socket.writeDatagram(bytes, sender, senderPort); }

    QUdpSocket socket;
    QList<QByteArray> datagrams;
    QHostAddress sender;
    quint16 senderPort = 0;
};

/// Device E1_0001 on code 4 with level, gain and label on codes 0, 1, 2.
inline const QByteArray deviceLines = "DEV E1 1 0 4\nPRM 4 level 0\nPRM 4 gain 1\nPRM 4 label 2\n";

/**
 * A kernel with the test protocols loaded and one E1 class: enough for an
 * engine to talk to a peer on the loopback. E1 has level (uint), gain and
 * label (asciiz).
 */
class EngineFixture : public KernelFixture
{
public:
    EngineFixture()
    {
        qRegisterMetaType<const ParamCore*>();
        writeClassFile(QStringLiteral("e1.xml"), R"(
<class name="E1" interface="e1if">
  <param name="level"/>
  <param name="gain"/>
  <param name="label" type="asciiz"/>
</class>)");
        loadClasses();
        manager.loadPlugins(QStringLiteral(TAVO_TEST_PROTOCOLS_DIR "/good"));
        share::protocolManager = &manager;
        // The prototypes outlive the fixture: the plug-ins stay loaded.
        for (IProtocol* prototype : qAsConst(manager.prototypes))
            qobject_cast<TestProtocolControl*>(prototype->asQObject())->settings() = {};
        log.clear();
    }

    ~EngineFixture()
    {
        // Engines go before the hosts they refer to.
        engines.clear();
        nodes.clear();
    }

    Engine* createEngine(const QString& protocol, quint16 port, const QString& url = "127.0.0.1")
    {
        nodes.emplace_back(
            std::make_unique<NodeAttr>(int(nodes.size()) + 1, -1, QStringLiteral("host"),
                                       QStringLiteral("none"), url, protocol, port, nullptr));
        engines.emplace_back(std::make_unique<Engine>(nodes.back().get(), nullptr));
        return engines.back().get();
    }

    /// An engine of test-tcp connected to @p peer, which has announced
    /// E1_0001 on code 4 with level, gain and label on codes 0, 1, 2; the
    /// log is cleared. Null on failure.
    Engine* connectedEngine(TcpPeer& peer, Engine* engine = nullptr)
    {
        engine = engine ? engine : createEngine("test-tcp", peer.port());
        QSignalSpy connected(engine, &Engine::signalSocketConnected);
        engine->connectToHost();
        if (!connected.wait(5000) || !QTest::qWaitFor([&] { return peer.hasClient(); }, 5000))
            return nullptr;
        peer.send(deviceLines);
        const bool bound = QTest::qWaitFor([&] { return param(engine, "label"); }, 5000);
        log.clear();
        return bound ? engine : nullptr;
    }
    /// An engine of test-udp whose device list request reached @p peer.
    Engine* connectedEngine(UdpPeer& peer)
    {
        Engine* engine = createEngine("test-udp", peer.port());
        engine->connectToHost();
        const bool asked = QTest::qWaitFor([&] { return !peer.datagrams.isEmpty(); }, 5000);
        log.clear();
        return asked && engine->isConnected() ? engine : nullptr;
    }

    static Param* param(Engine* engine, const char* name)
    {
        Device* device = engine->deviceDb()->findDevice(QStringLiteral("E1_0001"));
        return device ? device->parametersByName.value(QLatin1String(name)) : nullptr;
    }

    static TestProtocolControl* control(Engine* engine)
    {
        return qobject_cast<TestProtocolControl*>(engine->protocol()->plugin()->asQObject());
    }

    ProtocolManager manager;
    std::vector<std::unique_ptr<NodeAttr>> nodes;
    std::vector<std::unique_ptr<Engine>> engines;
};

} // namespace

class TstEngine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
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

private:
    std::unique_ptr<EngineFixture> fx;
    std::unique_ptr<TcpPeer> peer;
};

void TstEngine::init()
{
    fx = std::make_unique<EngineFixture>();
    peer = std::make_unique<TcpPeer>();
}

void TstEngine::cleanup()
{
    peer.reset();
    fx.reset();
}

void TstEngine::connectAsksForTheDeviceListAndLearnsDevices()
{
    Engine* engine = fx->createEngine("test-tcp", peer->port());
    QVERIFY(fx->nodes.back()->setCustomVarValue("password", "pw"));
    QSignalSpy connected(engine, &Engine::signalSocketConnected);
    engine->connectToHost();
    QVERIFY(engine->connecting);
    engine->connectToHost(); // in progress: ignored
    QTRY_COMPARE(connected.count(), 1);
    QCOMPARE(connected.at(0).at(0).toInt(), 1);
    QVERIFY(engine->isConnected());
    QCOMPARE(peer->connections, 1);
    QTRY_COMPARE(peer->received, QByteArray("LIST\n"));
    QCOMPARE(fx->control(engine)->assignedVars().value("password"), QStringLiteral("pw"));
    QCOMPARE(fx->log.messages(),
             QStringList {QStringLiteral("Connect to server 127.0.0.1:%1. Variables list: "
                                         "password = pw: request_limit = 16")
                              .arg(peer->port())});

    peer->send(deviceLines + "VAL 4 0 42\n");
    QTRY_VERIFY(fx->param(engine, "level"));
    QTRY_COMPARE(fx->param(engine, "level")->readValue, 42u);
    QCOMPARE(fx->control(engine)->malformedLines(), 0);
}

void TstEngine::blocksAreParsedWhateverTheirSplit()
{
    Engine* engine = fx->connectedEngine(*peer);
    QVERIFY(engine);
    TestProtocolControl* control = fx->control(engine);
    const QByteArray before = control->received();

    // Far more than one read buffer, with a value split across writes.
    QByteArray stream;
    for (int i = 0; i < 2000; ++i)
        stream += "VAL 4 1 " + QByteArray::number(i) + '\n';
    peer->send(stream.left(5));
    peer->send(stream.mid(5));
    QTRY_COMPARE(fx->param(engine, "gain")->readValue, 1999u);
    QCOMPARE(control->received().mid(before.size()), stream);
    QVERIFY(control->parseCalls() >= stream.size() / engine->readBufferSize);
    QCOMPARE(control->malformedLines(), 0);
}

void TstEngine::periodicReadsGoOutOnTheirTickets()
{
    Engine* engine = fx->connectedEngine(*peer);
    QVERIFY(engine);
    DeviceDb* db = engine->deviceDb();
    int ticket = db->getTicketId("E1_0001");
    QVERIFY(db->setTicket("E1_0001", "level", ticket, 1));
    peer->received.clear();

    // One second after the parameter was created, on the periodic pass.
    QTRY_VERIFY_WITH_TIMEOUT(peer->received.contains("READ 4 0\n"), 4000);
    QVERIFY(!peer->received.contains("READ 4 0,1"));

    QSignalSpy read(db->findDevice("E1_0001"), &Device::signalParamHasRead);
    peer->send("VAL 4 0 17\n");
    QTRY_COMPARE(read.count(), 1);
    // And again a period later.
    peer->received.clear();
    QTRY_VERIFY_WITH_TIMEOUT(peer->received.contains("READ 4 0\n"), 4000);
}

void TstEngine::periodicPassKeepsPeriodsThroughJitter_data()
{
    // Each pass as "when it runs>the time it stands for" (ms after base; the
    // latter left out when the same), and what each pass reads: B for level
    // and gain, L for level alone.
    QTest::addColumn<QTime>("base");
    QTest::addColumn<QString>("passes");
    QTest::addColumn<QString>("reads");
    auto row = [](const char* name, QTime base, const char* passes, const char* reads) {
        QTest::newRow(name) << base << QString(passes) << QString(reads);
    };
    const QTime ten(10, 0);
    const QTime late(23, 59, 58);
    row("on-time", ten, "0 1000 2000 3000 4000", "BLBLB");
    row("jitter", ten, "0 997>1000 2002>2000 2999>3000 4025>4000 4976>5000", "BLBLBL");
    // Two seconds between passes: the rhythm starts again from the clock.
    row("stall", ten, "0 1000 3000 3998>4000 5003>5000", "BLBLB");
    row("beyond-tolerance", ten, "0 1000 2026 3026", "BLBL");
    // Everything read before is due at once when the clock goes back.
    row("clock-set-back", ten, "0 1000 2000 -7000 -6001>-6000 -4998>-5000", "BLBBLB");
    row("midnight", late, "0 1000 2001>2000 2999>3000 4000", "BLBLB");
    row("early-before-midnight", late, "0 1000 1999>2000 3001>3000", "BLBL");
}

void TstEngine::periodicPassKeepsPeriodsThroughJitter()
{
    QFETCH(QTime, base);
    QFETCH(QString, passes);
    QFETCH(QString, reads);

    // No protocol: the engine's own timer leaves its scheduler alone.
    Engine* engine = fx->createEngine("snmp", 161);
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
    QStringList got, expected;
    for (const QString& pass : passes.split(' ')) {
        const QStringList times = pass.split('>');
        QTime now = clock.passTime(base.addMSecs(times.first().toInt()));
        engine->makeUpParamAutoReadQueries(now);

        // Take the reads as the protocol would.
        QStringList names;
        for (Param* param : device->readList.current()) {
            names << param->DbEntity::name;
            param->readQueueMark = 0;
        }
        QCOMPARE(db->readDeviceList.current().contains(device), !names.isEmpty());
        device->readList.clear();
        device->inReadDeviceList = false;
        db->readDeviceList.clear();
        got << now.toString("HH:mm:ss.zzz ") + names.join(' ');
        expected << base.addMSecs(times.last().toInt()).toString("HH:mm:ss.zzz ") +
                (reads.at(expected.size()) == 'B' ? "level gain" : "level");
    }
    QCOMPARE(got, expected);
}

void TstEngine::writesGoOutBeforeReads()
{
    Engine* engine = fx->connectedEngine(*peer);
    QVERIFY(engine);
    DeviceDb* db = engine->deviceDb();
    peer->received.clear();
    QVERIFY(db->readQuery("E1_0001", "level", 1, false));
    QVERIFY(db->writeQuery("E1_0001", "gain", 5ul, false));
    QVERIFY(db->writeQuery("E1_0001", "label", QStringLiteral("abc"), false));
    // Numeric and text writes never share a request: the text goes a tick later.
    QTRY_COMPARE(peer->received, QByteArray("WRITE 4 1 u:5\nREAD 4 0\nWRITE 4 2 s:abc\n"));
}

void TstEngine::tcpSendsPacketsUntil768BytesATick()
{
    Engine* engine = fx->connectedEngine(*peer);
    QVERIFY(engine);
    peer->received.clear();
    for (int i = 0; i < 4; ++i)
        fx->control(engine)->queuePacket(packet(300));

    // Below 768 after two, so the third goes too and takes the tick past it.
    engine->queryScheduler();
    QCOMPARE(engine->resultList.size(), 1);
    QTRY_COMPARE(peer->received.size(), 900);
    engine->queryScheduler();
    QVERIFY(engine->resultList.isEmpty());
    QTRY_COMPARE(peer->received.size(), 1200);
    QVERIFY(fx->log.errors().isEmpty());
}

void TstEngine::udpSendsOneDatagramATick()
{
    UdpPeer udp;
    Engine* engine = fx->connectedEngine(udp);
    QVERIFY(engine);
    QCOMPARE(udp.datagrams, QList<QByteArray> {"LIST\n"});
    udp.send(deviceLines);
    QTRY_VERIFY(fx->param(engine, "label"));

    for (int i = 0; i < 3; ++i)
        fx->control(engine)->queuePacket(packet(10 + i));
    engine->queryScheduler();
    QCOMPARE(engine->resultList.size(), 2);
    QTRY_COMPARE(udp.datagrams.size(), 2);
    // The timer sends the rest, one a tick, in order.
    QTRY_COMPARE(udp.datagrams, QList<QByteArray>({"LIST\n", packet(10), packet(11), packet(12)}));
}

void TstEngine::datagramTooLargeIsRetriedOnceThenDropped()
{
    UdpPeer udp;
    Engine* engine = fx->connectedEngine(udp);
    QVERIFY(engine);

    const QString tooLarge =
        QStringLiteral("Too large data block: 70000 bytes. Sent only 0 bytes.");
    fx->control(engine)->queuePacket(packet(70000));
    fx->control(engine)->queuePacket(packet(20));
    engine->queryScheduler();
    QCOMPARE(fx->log.errors(), QStringList {tooLarge});
    QCOMPARE(engine->resultList.size(), 2);
    QCOMPARE(engine->resultList.first()->size, 70000);

    engine->queryScheduler();
    QCOMPARE(fx->log.errors(),
             QStringList({tooLarge, tooLarge,
                          QStringLiteral("Data block of 70000 bytes dropped: the socket can't "
                                         "send it")}));
    QCOMPARE(engine->resultList.size(), 1);
    QVERIFY(engine->isConnected());
    // What follows goes out as usual.
    QTRY_COMPARE(udp.datagrams, QList<QByteArray>({"LIST\n", packet(20)}));
}

void TstEngine::unreachableUdpHostIsLetGoAndMayBeTriedAgain()
{
    UdpPeer udp;
    const quint16 port = udp.port();
    udp.socket.close();
    Engine* engine = fx->createEngine("test-udp", port);
    QSignalSpy connected(engine, &Engine::signalSocketConnected);
    engine->connectToHost();
    QTRY_COMPARE(connected.count(), 1);
    // The system answers the device list request with "port unreachable",
    // and the socket closes without a signal.
    QSignalSpy disconnected(engine, &Engine::signalSocketDisconnected);
    QTRY_COMPARE(disconnected.count(), 1);
    QVERIFY(!engine->isConnected());
    QVERIFY(fx->log.messages().contains(
        QStringLiteral("Disonnect from server 127.0.0.1:%1").arg(port)));

    if (!udp.socket.bind(QHostAddress(QHostAddress::LocalHost), port))
        QSKIP("the port was taken meanwhile");
    engine->connectToHost();
    QTRY_COMPARE(connected.count(), 2);
    QTRY_COMPARE(udp.datagrams, QList<QByteArray> {"LIST\n"});
}

void TstEngine::peerClosingIsLoggedAndLosesOnlyTheUnfinishedLine()
{
    Engine* engine = fx->connectedEngine(*peer);
    QVERIFY(engine);
    QVERIFY(engine->deviceDb()->readQuery("E1_0001", "level", 5, false));
    QSignalSpy disconnected(engine, &Engine::signalSocketDisconnected);
    peer->send("VAL 4 0 5\nVAL 4 1 ");
    peer->client->flush();
    peer->client->disconnectFromHost();
    QTRY_COMPARE(disconnected.count(), 1);
    QVERIFY(!engine->isConnected());
    QVERIFY(fx->log.messages().contains(
        QStringLiteral("Disonnect from server 127.0.0.1:%1").arg(peer->port())));
    QVERIFY(engine->deviceDb()->readDeviceList.current().isEmpty());
    QVERIFY(engine->resultList.isEmpty());
    QCOMPARE(fx->param(engine, "level")->readValue, 5u);
    QCOMPARE(fx->param(engine, "gain")->readValue, 0u);

    // The device is learnt afresh and the half line forgotten with the connection.
    peer->received.clear();
    QVERIFY(fx->connectedEngine(*peer, engine));
    QCOMPARE(peer->connections, 2);
    QVERIFY(peer->received.startsWith("LIST\n"));
    peer->send("VAL 4 1 9\n");
    QTRY_COMPARE(fx->param(engine, "gain")->readValue, 9u);
    QCOMPARE(fx->control(engine)->malformedLines(), 0);
    QVERIFY(engine->deviceDb()->readQuery("E1_0001", "level", 1, false));
    QTRY_VERIFY(peer->received.contains("READ 4 0\n"));
}

void TstEngine::randomBytesAreRefusedByTheProtocolNotTheEngine()
{
    Engine* engine = fx->connectedEngine(*peer);
    QVERIFY(engine);
    TestProtocolControl* control = fx->control(engine);
    const int before = control->received().size();

    QRandomGenerator random(20261206);
    QByteArray noise(64 * 1024, Qt::Uninitialized);
    for (char& byte : noise)
        byte = char(random.bounded(256));
    peer->send(noise);
    peer->send("\nVAL 4 0 77\n");
    QTRY_COMPARE(fx->param(engine, "level")->readValue, 77u);
    QCOMPARE(control->received().size() - before, noise.size() + 12);
    QVERIFY(control->malformedLines() > 0);
    QVERIFY(engine->isConnected());
}

void TstEngine::failedConnectionIsLoggedAndMayBeRetried()
{
    const quint16 port = peer->port();
    peer->server.close();
    Engine* refused = fx->createEngine("test-tcp", port);
    Engine* unknown = fx->createEngine("test-tcp", 7001, "no-such-host.invalid");
    refused->connectToHost();
    unknown->connectToHost();
    for (int code : {0, 2}) {
        const QString error = QStringLiteral("Socket error: %1").arg(Engine::socketErrorText(code));
        QTRY_VERIFY_WITH_TIMEOUT(fx->log.debugs().contains(error), 15000);
    }
    for (Engine* engine : {refused, unknown})
        QVERIFY(!engine->connecting && !engine->isConnected());

    if (!peer->server.listen(QHostAddress::LocalHost, port))
        QSKIP("the port was taken meanwhile");
    QVERIFY(fx->connectedEngine(*peer, refused));
}

void TstEngine::silentHostIsDisconnected()
{
    fx->log.setDebugMode(true);
    Engine* engine = fx->createEngine("test-tcp", peer->port());
    engine->deviceDb()->silenceLimit = 300;
    QSignalSpy disconnected(engine, &Engine::signalSocketDisconnected);
    engine->connectToHost();
    QTRY_COMPARE(disconnected.count(), 1);
    QVERIFY(fx->log.debugs().contains(
        QStringLiteral("Server is absent for 300 ms. Force disconnect.")));
}

void TstEngine::protocolChangeKeepsTheSocketKind()
{
    Engine* engine = fx->connectedEngine(*peer);
    QVERIFY(engine);
    QPointer<Protocol> old = engine->protocol();
    QAbstractSocket* socket = engine->socket();

    fx->nodes.back()->setProtocolName("test-udp");
    QVERIFY(old.isNull());
    QVERIFY(engine->protocol());
    QCOMPARE(engine->protocol()->getSocketType(), 1);
    QCOMPARE(engine->socket(), socket);
    QVERIFY(qobject_cast<QTcpSocket*>(engine->socket()));

    // The new protocol's data unit writes through the engine's socket.
    int size = 5;
    engine->protocol()->pdu()->sendWriteToSocketSignal("PING\n", size);
    QCOMPARE(size, 5);
    QTRY_VERIFY(peer->received.endsWith("PING\n"));

    QSignalSpy disconnected(engine, &Engine::signalSocketDisconnected);
    peer->client->disconnectFromHost();
    QTRY_COMPARE(disconnected.count(), 1);
}

void TstEngine::unknownProtocolLeavesAMuteEngine()
{
    Engine* engine = fx->createEngine("snmp", 161);
    QVERIFY(!engine->protocol());
    engine->connectToHost();
    QVERIFY(!engine->connecting);
    QVERIFY(!engine->socket());
    QVERIFY(!engine->selectAllDevicesQuery());
}

void TstEngine::tickWithNothingToSendAllocatesNothing()
{
    Engine* engine = fx->connectedEngine(*peer);
    QVERIFY(engine);
    // The counting itself counts.
    countingAllocations = true;
    ::operator delete(::operator new(8));
    countingAllocations = false;
    QCOMPARE(allocations.exchange(0), 1L);
    // A second's worth of ticks, so the periodic pass runs too.
    QTimerEvent tick(engine->timerId);
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
