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
#include <QTcpServer>
#include <QTcpSocket>
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

    Engine* createEngine(const QString& protocol, quint16 port,
                         const QString& url = QStringLiteral("127.0.0.1"))
    {
        nodes.emplace_back(
            std::make_unique<NodeAttr>(int(nodes.size()) + 1, -1, QStringLiteral("host"),
                                       QStringLiteral("none"), url, protocol, port, nullptr));
        engines.emplace_back(std::make_unique<Engine>(nodes.back().get(), nullptr));
        return engines.back().get();
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
