#pragma once

#include "connections/engine.h"
#include "connections/i_protocol.h"
#include "connections/protocol.h"
#include "connections/protocol_manager.h"
#include "devices/device_db.h"
#include "devices/paramlist.h"
#include "foundation/app_shared.h"
#include "hostgraph/host_graph.h"
#include "kernel_fixture.h"
#include "test_protocol_control.h"

#include <QPointer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QUdpSocket>

#include <memory>

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
    void send(const QByteArray& bytes)
    {
        if (client)
            client->write(bytes);
    }
    void dropClient()
    {
        if (client)
            client->disconnectFromHost();
    }

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
        for (IProtocol* prototype : qAsConst(manager.prototypes))
            control(prototype)->settings() = TestProtocolControl::Settings();
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

    static TestProtocolControl* control(IProtocol* protocol)
    {
        return protocol ? qobject_cast<TestProtocolControl*>(protocol->asQObject()) : nullptr;
    }
    static TestProtocolControl* control(Engine* engine)
    {
        return engine->protocol() ? control(engine->protocol()->plugin()) : nullptr;
    }

    ProtocolManager manager;
    std::vector<std::unique_ptr<NodeAttr>> nodes;
    std::vector<std::unique_ptr<Engine>> engines;
};
