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
        log.clear();
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

    static Param* param(Engine* engine, const char* name)
    {
        Device* device = engine->deviceDb()->findDevice(QStringLiteral("E1_0001"));
        return device ? device->parametersByName.value(QLatin1String(name)) : nullptr;
    }

    static TestProtocolControl* control(Engine* engine)
    {
        return qobject_cast<TestProtocolControl*>(engine->protocol()->plugin()->asQObject());
    }

    // In this order, so that engines go before the hosts they refer to and
    // the manager that owns their protocols.
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
    void connectAsksForTheDeviceListAndSilentHostIsLetGo();
    void blocksReachTheProtocolWholeWhateverTheirSplitAndBytes();
    void periodicPassKeepsPeriodsThroughJitter_data();
    void periodicPassKeepsPeriodsThroughJitter();
    void tcpSendsUntil768BytesATickAndIdleTicksAllocateNothing();
    void udpSendsOneDatagramATickAndLetsAnUnreachableHostGo();
    void peerClosingIsLoggedAndLosesOnlyTheUnfinishedLine();
    void failedConnectionIsLoggedAndMayBeRetried();
    void protocolChangeKeepsTheSocketKind();
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

void TstEngine::connectAsksForTheDeviceListAndSilentHostIsLetGo()
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

    // The peer never answers the list request.
    fx->log.setDebugMode(true);
    engine->deviceDb()->silenceLimit = 300;
    engine->deviceDb()->clearServerAbsentTime();
    QTRY_VERIFY(fx->log.debugs().contains(
        QStringLiteral("Server is absent for 300 ms. Force disconnect.")));
    QVERIFY(!engine->isConnected());
}

void TstEngine::blocksReachTheProtocolWholeWhateverTheirSplitAndBytes()
{
    Engine* engine = fx->connectedEngine(*peer);
    QVERIFY(engine);
    TestProtocolControl* control = fx->control(engine);
    const QByteArray before = control->received();

    // Far more than one read buffer: random bytes, NULs among them, which
    // only the protocol may refuse, then values, the last split across writes.
    QRandomGenerator random(20261206);
    QByteArray stream(64 * 1024, Qt::Uninitialized);
    for (char& byte : stream)
        byte = char(random.bounded(256));
    stream += '\n';
    for (int i = 0; i < 2000; ++i)
        stream += "VAL 4 1 " + QByteArray::number(i) + '\n';
    peer->send(stream.left(stream.size() - 5));
    peer->send(stream.right(5));
    QTRY_COMPARE(fx->param(engine, "gain")->readValue, 1999u);
    QCOMPARE(control->received().mid(before.size()), stream);
    QVERIFY(engine->isConnected());
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

    // A protocol not loaded: the engine stays mute, and its own timer
    // leaves its scheduler alone.
    Engine* engine = fx->createEngine("snmp", 161);
    engine->connectToHost();
    QVERIFY(!engine->protocol() && !engine->connecting && !engine->socket() &&
            !engine->selectAllDevicesQuery());
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

void TstEngine::tcpSendsUntil768BytesATickAndIdleTicksAllocateNothing()
{
    Engine* engine = fx->connectedEngine(*peer);
    QVERIFY(engine);
    peer->received.clear();
    for (int i = 0; i < 4; ++i)
        fx->control(engine)->queuePacket(packet(300));

    // Below 768 after two, so the third goes too and takes the tick past it.
    engine->queryScheduler();
    QCOMPARE(engine->resultList.size(), 1);
    QTRY_COMPARE(peer->received, packet(300).repeated(4));
    QVERIFY(fx->log.errors().isEmpty());

    // The counting itself counts.
    countingAllocations = true;
    ::operator delete(::operator new(8));
    countingAllocations = false;
    QCOMPARE(allocations.exchange(0), 1L);
    // Nothing left to send: a second's worth of ticks, so that the periodic
    // pass runs too.
    QTimerEvent tick(engine->timerId);
    countingAllocations = true;
    for (int i = 0; i < 40; ++i)
        QCoreApplication::sendEvent(engine, &tick);
    countingAllocations = false;
    QCOMPARE(allocations.load(), 0L);
    QVERIFY(engine->isConnected());
}

void TstEngine::udpSendsOneDatagramATickAndLetsAnUnreachableHostGo()
{
    UdpPeer udp;
    Engine* engine = fx->createEngine("test-udp", udp.port());
    engine->connectToHost();
    QTRY_COMPARE(udp.datagrams, QList<QByteArray> {"LIST\n"});
    udp.send(deviceLines);
    QTRY_VERIFY(fx->param(engine, "label"));

    fx->control(engine)->queuePacket(packet(70000));
    for (int i = 0; i < 3; ++i)
        fx->control(engine)->queuePacket(packet(10 + i));
    engine->queryScheduler();
    engine->queryScheduler();
    const QString tooLarge =
        QStringLiteral("Too large data block: 70000 bytes. Sent only 0 bytes.");
    QCOMPARE(fx->log.errors(),
             QStringList({tooLarge, tooLarge,
                          QStringLiteral("Data block of 70000 bytes dropped: the socket can't "
                                         "send it")}));
    QCOMPARE(engine->resultList.size(), 3);
    engine->queryScheduler();
    QCOMPARE(engine->resultList.size(), 2);
    QVERIFY(engine->isConnected());
    // The timer sends the rest, one a tick, in order.
    QTRY_COMPARE(udp.datagrams, QList<QByteArray>({"LIST\n", packet(10), packet(11), packet(12)}));

    // With the peer gone the system answers "port unreachable", and the
    // socket closes without a signal.
    const quint16 port = udp.port();
    udp.socket.close();
    QSignalSpy disconnected(engine, &Engine::signalSocketDisconnected);
    fx->control(engine)->queuePacket(packet(13));
    QTRY_COMPARE(disconnected.count(), 1);
    QVERIFY(!engine->isConnected());
    QVERIFY(fx->log.messages().contains(
        QStringLiteral("Disonnect from server 127.0.0.1:%1").arg(port)));

    if (!udp.socket.bind(QHostAddress(QHostAddress::LocalHost), port))
        QSKIP("the port was taken meanwhile");
    engine->connectToHost();
    QTRY_COMPARE(udp.datagrams.last(), QByteArray("LIST\n"));
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
    peer->send("VAL 4 1 9\n");
    QTRY_COMPARE(fx->param(engine, "gain")->readValue, 9u);
    QCOMPARE(fx->control(engine)->malformedLines(), 0);
    // Reads go out again, here on the periodic pass a second after the
    // parameter was learnt.
    DeviceDb* db = engine->deviceDb();
    int ticket = db->getTicketId("E1_0001");
    QVERIFY(db->setTicket("E1_0001", "level", ticket, 1));
    QTRY_VERIFY_WITH_TIMEOUT(peer->received.contains("READ 4 0\n"), 4000);
    QVERIFY(!peer->received.contains("READ 4 0,1"));
}

void TstEngine::failedConnectionIsLoggedAndMayBeRetried()
{
    const quint16 port = peer->port();
    peer->server.close();
    Engine* refused = fx->createEngine("test-tcp", port);
    Engine* unknown = fx->createEngine("test-tcp", 7001, "no-such-host.invalid");
    refused->connectToHost();
    unknown->connectToHost();
    for (const char* error : {"Socket error: The connection was refused by the peer (or timed out)",
                              "Socket error: The host address was not found"})
        QTRY_VERIFY_WITH_TIMEOUT(fx->log.debugs().contains(QLatin1String(error)), 15000);
    for (Engine* engine : {refused, unknown})
        QVERIFY(!engine->connecting && !engine->isConnected());

    if (!peer->server.listen(QHostAddress::LocalHost, port))
        QSKIP("the port was taken meanwhile");
    QVERIFY(fx->connectedEngine(*peer, refused));
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

    // The new protocol's data unit writes through the engine's socket.
    int size = 5;
    engine->protocol()->pdu()->sendWriteToSocketSignal("PING\n", size);
    QCOMPARE(size, 5);
    QTRY_VERIFY(peer->received.endsWith("PING\n"));
}

void TstEngine::socketErrorTextsCoverTheTable()
{
    // Before, at the end of and beyond the table.
    QCOMPARE(QStringList({Engine::socketErrorText(-1), Engine::socketErrorText(13),
                          Engine::socketErrorText(14)}),
             QStringList({"An unidentified error occurred",
                          "The SSL/TLS handshake failed, so the connection was closed (only used "
                          "in QSslSocket)",
                          "Undocumented error. May be was compiled under another version of Qt4x "
                          "library"}));
}

QTEST_GUILESS_MAIN(TstEngine)
#include "tst_engine.moc"
