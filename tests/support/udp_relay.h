#pragma once

#include <QHostAddress>
#include <QObject>
#include <QUdpSocket>

/**
 * A lossy UDP path between a client and a server on the loopback: datagrams
 * that arrive on port() are sent on to 127.0.0.1:<target port>, and the
 * server's answers go back to the client that sent last.
 *
 * With dropEvery N above 0, the relay drops every Nth datagram of each
 * direction, counted separately: with N = 3 the 3rd, 6th, 9th, ... request
 * and the 3rd, 6th, 9th, ... answer are lost. While blocked, every datagram
 * is dropped (and counted), as if the server had gone away.
 *
 * Event-driven: it works while the event loop runs.
 */
class UdpRelay : public QObject
{
    Q_OBJECT

public:
    enum Direction { ToServer = 0, ToClient = 1 };

    explicit UdpRelay(quint16 targetPort, int dropEvery = 0, QObject* parent = nullptr);

    /// Binds a free 127.0.0.1 port for the clients; false when none was had.
    bool start();
    /// The port the clients send to; 0 before start().
    quint16 port() const { return m_front.localPort(); }
    void setBlocked(bool blocked) { m_blocked = blocked; }
    int dropped(Direction direction) const { return m_dropped[direction]; }

private:
    /// Counts the datagram in its direction; true when it is to be lost.
    bool dropNext(Direction direction);

    QUdpSocket m_front;
    QUdpSocket m_back;
    quint16 m_targetPort;
    int m_dropEvery;
    bool m_blocked = false;
    QHostAddress m_clientAddress;
    quint16 m_clientPort = 0;
    int m_seen[2] = {0, 0};
    int m_dropped[2] = {0, 0};
};
