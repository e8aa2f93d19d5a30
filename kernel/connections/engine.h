#pragma once

#include "connections/protocol.h"
#include "connections/protocol_data_unit.h"
#include "tavo_kernel_export.h"

#include <QAbstractSocket>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <QVector>

#include <memory>

class DeviceDb;
class EngineBroker;
class NodeAttr;
class PeriodicPassClock;
class QTcpSocket;
class QTime;
class QTimerEvent;
class QUdpSocket;
struct SelectedDeviceItem;

/**
 * The live side of one host: its device database, its protocol and one
 * socket. A 50 ms timer runs the read and write scheduler while the host is
 * connected; every block the socket delivers goes to the protocol.
 */
class TAVO_KERNEL_EXPORT Engine : public QObject
{
    Q_OBJECT

public:
    Engine(NodeAttr* node, QObject* parent);
    ~Engine() override;

    QString getConnectString() const;
    void connectToHost();
    void disconnectFromHost();
    bool isConnected() const { return connected; }
    DeviceDb* deviceDb() const { return m_deviceDb; }
    NodeAttr* nodeAttr() const;
    Protocol* protocol() const { return m_protocol; }
    QAbstractSocket* socket() const { return m_socket; }
    EngineBroker* createEngineBroker(QObject* parent);

    bool selectAllDevicesQuery();
    bool selectDeviceQuery(QVector<SelectedDeviceItem*>& selection);
    bool resetScheduleBlock(int iTerminal);

    void makeUpParamAutoReadQueries(QTime& now);
    void makeUpVirtualParamReadQueries();
    void prepareReadQueries();
    void queryScheduler();
    void checkServerExists();
    void socketConnected();
    void socketDisconnected();

    /// Text of a socket error code, translated.
    static QString socketErrorText(int code);

    QMap<QString, QVariant> values;
    ResultList resultList;
    qint32 socketLogGroup = -1;
    qint32 protocolLogGroup = -1;
    bool connected = false;
    bool connecting = false;
    qint32 timerPeriod = 50;
    qint32 timerId = 0;
    /// 1, 2, ..., 19, 0: the periodic read pass runs where it is 0.
    qint32 tickCounter = 0;
    qint32 readBufferSize = 4096;

Q_SIGNALS:
    void signalSocketConnected(int iNodeAttrKey);
    void signalSocketDisconnected(int iNodeAttrKey);

protected:
    void timerEvent(QTimerEvent* event) override;

private Q_SLOTS:
    void slotSocketConnected();
    void slotSocketDisconnected();
    void slotProtocolChanged(QString sProtocolName);
    void slotWriteToSocket(const char* data, int& size);
    void slotSocketReadyRead();
    void slotSocketError(QAbstractSocket::SocketError error);

private:
    void clearQueryLists();
    void clearResultList();

    // Guarded: a deleted host's engine lives on until its deferred deletion.
    QPointer<NodeAttr> m_node;
    DeviceDb* m_deviceDb = nullptr;
    /// A child of the protocol manager, which may go first at exit.
    QPointer<Protocol> m_protocol;
    QAbstractSocket* m_socket = nullptr;
    QTcpSocket* m_tcpSocket = nullptr;
    QUdpSocket* m_udpSocket = nullptr;
    /// readBufferSize + 1 bytes: a zero follows every block read.
    std::unique_ptr<char[]> m_readBuffer;
    /// The packet the socket refused on the last attempt, for the retry.
    ResultItem* m_refusedItem = nullptr;
    /// Keeps the periodic passes one interval apart whatever the timer's jitter.
    std::unique_ptr<PeriodicPassClock> m_passClock;

    Q_DISABLE_COPY(Engine)
};
