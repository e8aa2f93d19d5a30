#include "udp_relay.h"

#include <QNetworkDatagram>

UdpRelay::UdpRelay(quint16 targetPort, int dropEvery, QObject* parent)
    : QObject(parent)
    , m_targetPort(targetPort)
    , m_dropEvery(dropEvery)
{
    connect(&m_front, &QUdpSocket::readyRead, this, [this] {
        while (m_front.hasPendingDatagrams()) {
            const QNetworkDatagram datagram = m_front.receiveDatagram();
            if (!datagram.isValid())
                continue;
            m_clientAddress = datagram.senderAddress();
            m_clientPort = quint16(datagram.senderPort());
            if (!dropNext(ToServer))
                m_back.writeDatagram(datagram.data(), QHostAddress::LocalHost, m_targetPort);
        }
    });
    connect(&m_back, &QUdpSocket::readyRead, this, [this] {
        while (m_back.hasPendingDatagrams()) {
            const QNetworkDatagram datagram = m_back.receiveDatagram();
            if (datagram.isValid() && m_clientPort != 0 && !dropNext(ToClient))
                m_front.writeDatagram(datagram.data(), m_clientAddress, m_clientPort);
        }
    });
}

bool UdpRelay::start()
{
    // The server sees the relay as one client, from the back socket's port.
    const QHostAddress loopback(QHostAddress::LocalHost);
    return m_front.bind(loopback, 0) && m_back.bind(loopback, 0);
}

bool UdpRelay::dropNext(Direction direction)
{
    ++m_seen[direction];
    const bool drop = m_blocked || (m_dropEvery > 0 && m_seen[direction] % m_dropEvery == 0);
    m_dropped[direction] += drop ? 1 : 0;
    return drop;
}
