#include "connections/engine.h"

#include "connections/adapter.h"
#include "connections/periodic_pass_clock_p.h"
#include "connections/protocol.h"
#include "connections/protocol_manager.h"
#include "devices/device_db.h"
#include "devices/paramlist.h"
#include "foundation/log_p.h"
#include "foundation/z4utils.h"
#include "foundation/zutils.h"
#include "hostgraph/host_graph.h"

#include <QTcpSocket>
#include <QTime>
#include <QTimerEvent>
#include <QUdpSocket>

namespace {

// Output per tick: TCP stops once 768 bytes have gone out in the tick, UDP
// after one datagram, so that a slow element is never flooded.
constexpr int TcpBytesPerTick = 768;
constexpr int UdpDatagramsPerTick = 1;
constexpr int TicksPerPeriodicPass = 20;

} // namespace

Engine::Engine(NodeAttr* node, QObject* parent)
    : QObject(parent)
    , m_node(node)
{
    if (share::pLog) {
        socketLogGroup = share::pLog->getGroupIndex(tr("Engine Socket"));
        protocolLogGroup = share::pLog->getGroupIndex(tr("Engine Protocol"));
    }
    m_deviceDb = new DeviceDb(node, this);
    slotProtocolChanged(node ? node->protocolName() : QString());

    timerPeriod = 50;
    timerId = startTimer(timerPeriod);
    tickCounter = 0;
    m_passClock =
        std::make_unique<PeriodicPassClock>(TicksPerPeriodicPass * timerPeriod, timerPeriod / 2);
    m_readBuffer.reset(new char[size_t(readBufferSize) + 1]);

    if (node)
        connect(node, SIGNAL(signalProtocolNameChanged(QString)), this,
                SLOT(slotProtocolChanged(QString)));
}

Engine::~Engine()
{
    clearResultList();
    // The protocol lives under the protocol manager; without this every
    // engine ever deleted would leave its plug-in instance behind.
    delete m_protocol.data();
}

NodeAttr* Engine::nodeAttr() const
{
    return m_node.data();
}

QString Engine::getConnectString() const
{
    return m_node ? m_node->getConnectString() : QString();
}

EngineBroker* Engine::createEngineBroker(QObject* parent)
{
    return new EngineBroker(m_node, parent);
}

// ---------------------------------------------------------------------------
// Protocol

void Engine::slotProtocolChanged(QString sProtocolName)
{
    delete m_protocol.data();
    m_protocol = nullptr;
    if (!share::protocolManager)
        return;
    m_protocol = share::protocolManager->createProtocol(sProtocolName);
    if (!m_protocol)
        return;
    connect(m_protocol->pdu(), SIGNAL(signalWriteToSocket(const char*, int&)), this,
            SLOT(slotWriteToSocket(const char*, int&)));
    m_protocol->assignDeviceDb(m_deviceDb);
}

bool Engine::selectAllDevicesQuery()
{
    SelectedDeviceItem all;
    all.init();
    QVector<SelectedDeviceItem*> selection {&all};
    return selectDeviceQuery(selection);
}

bool Engine::selectDeviceQuery(QVector<SelectedDeviceItem*>& selection)
{
    return m_protocol ? m_protocol->selectDeviceQuery(selection) : false;
}

bool Engine::resetScheduleBlock(int iTerminal)
{
    return m_deviceDb ? m_deviceDb->resetScheduleBlock(iTerminal) : false;
}

// ---------------------------------------------------------------------------
// Socket

void Engine::connectToHost()
{
    if (connected || connecting || !m_protocol || !m_node)
        return;
    m_deviceDb->clearDevices();

    QString kind;
    if (!m_socket) {
        if (m_protocol->getSocketType() == 0) {
            m_tcpSocket = new QTcpSocket(this);
            m_socket = m_tcpSocket;
            kind = QStringLiteral("TCP");
        } else {
            m_udpSocket = new QUdpSocket(this);
            m_socket = m_udpSocket;
            kind = QStringLiteral("UDP");
        }
        connect(m_socket, SIGNAL(connected()), this, SLOT(slotSocketConnected()));
        connect(m_socket, SIGNAL(disconnected()), this, SLOT(slotSocketDisconnected()));
        connect(m_socket, SIGNAL(readyRead()), this, SLOT(slotSocketReadyRead()));
        connect(m_socket, SIGNAL(errorOccurred(QAbstractSocket::SocketError)), this,
                SLOT(slotSocketError(QAbstractSocket::SocketError)));
    }
    if (tavolog::wants(socketLogGroup))
        share::pLog->logDebug(socketLogGroup,
                              tr("[Engine::connectToHost()] (%1) Try connect to %2:%3")
                                  .arg(kind, m_node->url())
                                  .arg(m_node->port()));

    // An error clears the flags but may leave the socket connected (a UDP
    // datagram too large for the system): start that connection afresh, or
    // the socket would refuse the new attempt and the engine stay mute.
    if (m_socket->state() != QAbstractSocket::UnconnectedState)
        m_socket->abort();

    connecting = true;
    m_protocol->assignCustomVars(m_node->customVars());
    m_socket->connectToHost(m_node->url(), m_node->port(), QIODevice::ReadWrite);
}

void Engine::disconnectFromHost()
{
    if (!m_socket)
        return;
    if (connected && m_socket->state() == QAbstractSocket::UnconnectedState) {
        // Already closed without a word (see timerEvent): nobody else will
        // say so.
        slotSocketDisconnected();
        return;
    }
    m_socket->disconnectFromHost();
}

void Engine::slotSocketConnected()
{
    // The host may be deleted before its engine's deferred deletion runs.
    if (!m_node) {
        m_socket->abort();
        return;
    }
    connected = true;
    connecting = false;

    const QMap<QString, QString> vars = m_node->customVars();
    QString list;
    for (auto it = vars.cbegin(); it != vars.cend(); ++it) {
        if (it == vars.cbegin())
            list = QStringLiteral("%1 = %2").arg(it.key(), it.value());
        else
            list += QStringLiteral(": %1 = %2").arg(it.key(), it.value());
    }
    tavolog::message(tr("Connect to server %1:%2. Variables list: %3")
                         .arg(m_node->url())
                         .arg(m_node->port())
                         .arg(list));
    socketConnected();
}

void Engine::socketConnected()
{
    if (m_protocol)
        m_protocol->init();
    clearQueryLists();
    selectAllDevicesQuery();
    m_deviceDb->clearServerAbsentTime();
    if (m_node)
        Q_EMIT signalSocketConnected(m_node->key());
}

void Engine::slotSocketDisconnected()
{
    connected = false;
    connecting = false;
    if (!m_node)
        return;
    tavolog::message(tr("Disonnect from server %1:%2").arg(m_node->url()).arg(m_node->port()));
    socketDisconnected();
}

void Engine::socketDisconnected()
{
    if (m_protocol)
        m_protocol->init();
    clearQueryLists();
    // Packets encoded for the lost connection name codes of devices that the
    // next connection will bind afresh.
    clearResultList();
    m_deviceDb->setSchedulerEnabled(true, QStringLiteral("disconnect"));
    if (m_node)
        Q_EMIT signalSocketDisconnected(m_node->key());
}

void Engine::clearQueryLists()
{
    // Emptying the lists alone would strand the devices: their "queued"
    // flags, marks and write lists would keep them from ever being queued
    // again.
    for (Device* device : qAsConst(m_deviceDb->devices)) {
        if (!device)
            continue;
        for (int a = 0; a < 2; ++a) {
            ArraysHandler<Param>& list = a == 0 ? device->readList : device->virtualReadList;
            for (Param* param : list.current()) {
                if (param)
                    param->readQueueMark = 0;
            }
            list.clear();
        }
        if (device->writeList) {
            qDeleteAll(*device->writeList);
            delete device->writeList;
            device->writeList = nullptr;
        }
        device->inReadDeviceList = false;
        device->inVirtualReadDeviceList = false;
    }
    m_deviceDb->readDeviceList.clear();
    m_deviceDb->writeDeviceList.clear();
    m_deviceDb->virtualReadDeviceList.clear();
}

void Engine::clearResultList()
{
    for (ResultItem* item : qAsConst(resultList)) {
        delete[] item->data;
        delete item;
    }
    resultList.clear();
    m_refusedItem = nullptr;
}

QString Engine::socketErrorText(int code)
{
    switch (code) {
    case -1:
        return tr("An unidentified error occurred");
    case 0:
        return tr("The connection was refused by the peer (or timed out)");
    case 1:
        return tr("The remote host closed the connection");
    case 2:
        return tr("The host address was not found");
    case 3:
        return tr("The socket operation failed because the application lacked the required "
                  "privileges");
    case 4:
        return tr("The local system ran out of resources (e.g., too many sockets)");
    case 5:
        return tr("The socket operation timed out");
    case 6:
        return tr("The datagram was larger than the operating system's limit (which can be as "
                  "low as 8192 bytes)");
    case 7:
        return tr("An error occurred with the network (e.g., the network cable was "
                  "accidentally plugged out)");
    case 8:
        return tr("The address specified to QUdpSocket::bind() is already in use and was set "
                  "to be exclusive");
    case 9:
        return tr("The address specified to QUdpSocket::bind() does not belong to the host");
    case 10:
        return tr("The requested socket operation is not supported by the local operating "
                  "system (e.g., lack of IPv6 support)");
    case 11:
        return tr("Used by QAbstractSocketEngine only, The last operation attempted has not "
                  "finished yet (still in progress in the background)");
    case 12:
        return tr("The socket is using a proxy, and the proxy requires authentication");
    case 13:
        return tr("The SSL/TLS handshake failed, so the connection was closed (only used in "
                  "QSslSocket)");
    default:
        return tr("Undocumented error. May be was compiled under another version of Qt4x "
                  "library");
    }
}

void Engine::slotSocketError(QAbstractSocket::SocketError error)
{
    connected = false;
    connecting = false;
    // Logged whatever the group's debug setting: the log decides.
    if (share::pLog)
        share::pLog->logDebug(socketLogGroup,
                              tr("Socket error: %1").arg(socketErrorText(int(error))));
}

void Engine::slotWriteToSocket(const char* data, int& size)
{
    size = m_socket ? int(m_socket->write(data, size)) : 0;
}

void Engine::slotSocketReadyRead()
{
    if (!m_socket)
        return;
    char* buffer = m_readBuffer.get();
    for (;;) {
        const qint64 got = m_socket->read(buffer, readBufferSize);
        if (got <= 0) {
            m_deviceDb->clearServerAbsentTime();
            return;
        }
        const int size = int(got);
        buffer[size] = '\0';
        if (tavolog::wants(socketLogGroup)) {
            const std::unique_ptr<AsciiZ> dump(utils::pcharToAsciiZ(buffer, size, false, 100));
            share::pLog->logDebug(socketLogGroup,
                                  tr("slotSocketReadyRead(): received - '%1'")
                                      .arg(QString::fromLatin1(dump->data())));
        }
        if (m_protocol)
            m_protocol->parse(buffer, size);
    }
}

// ---------------------------------------------------------------------------
// Scheduler

void Engine::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != timerId) {
        QObject::timerEvent(event);
        return;
    }
    if (!m_protocol || !m_protocol->plugin())
        return;
    const bool tcp = m_protocol->getSocketType() == 0;
    if (tcp ? !connected : !m_udpSocket)
        return;
    // A UDP socket whose peer answers "port unreachable" is closed by Qt
    // with neither an error nor a disconnected() signal.
    if (connected && m_socket->state() == QAbstractSocket::UnconnectedState) {
        slotSocketDisconnected();
        return;
    }
    if (m_deviceDb->getSchedulerMode() == 2)
        return;
    // The absence count is not reset here but only where a block arrives,
    // so that a host that stays silent is eventually let go.
    tickCounter = (tickCounter + 1) % TicksPerPeriodicPass;
    queryScheduler();
    checkServerExists();
}

void Engine::checkServerExists()
{
    const int absentMs = m_deviceDb->checkLimitForServerAbsentTime(timerPeriod);
    if (absentMs == 0)
        return;
    if (share::pLog && share::pLog->isDebugMode())
        share::pLog->logDebug(socketLogGroup,
                              tr("Server is absent for %1 ms. Force disconnect.").arg(absentMs));
    m_deviceDb->clearServerAbsentTime();
    disconnectFromHost();
}

void Engine::queryScheduler()
{
    if (!connected)
        return;
    prepareReadQueries();
    m_protocol->workUpWriteQueries(m_deviceDb->writeDeviceList);
    m_protocol->workUpReadQueries(m_deviceDb->readDeviceList);
    m_protocol->getWorkUpResult(resultList);

    const bool tcp = m_protocol->getSocketType() == 0;
    const int budget = tcp ? TcpBytesPerTick : UdpDatagramsPerTick;
    int sent = 0;
    while (sent < budget && !resultList.isEmpty()) {
        ResultItem* item = resultList.first();
        const qint64 accepted = m_socket->write(item->data, item->size);
        if (accepted != item->size) {
            tavolog::error(tr("Too large data block: %1 bytes. Sent only %2 bytes.")
                               .arg(item->size)
                               .arg(qMax<qint64>(accepted, 0)));
            // A datagram beyond the system's limit is refused on every tick;
            // kept first for ever it would stop the host's every request.
            // One retry, then it goes.
            if (item == m_refusedItem &&
                m_socket->error() == QAbstractSocket::DatagramTooLargeError) {
                tavolog::error(
                    tr("Data block of %1 bytes dropped: the socket can't send it").arg(item->size));
                m_refusedItem = nullptr;
                delete[] item->data;
                delete item;
                resultList.removeFirst();
            } else {
                m_refusedItem = item;
            }
            return;
        }
        m_refusedItem = nullptr;
        sent += tcp ? item->size : 1;
        delete[] item->data;
        delete item;
        resultList.removeFirst();
    }
}

void Engine::prepareReadQueries()
{
    if (!m_deviceDb)
        return;
    if (tickCounter == 0) {
        // Periods are measured from pass to pass as scheduled, not as the
        // timer happened to fire: a pass a millisecond early must not find a
        // one-second parameter 999 ms old and read it a second late.
        QTime now = m_passClock->passTime(QTime::currentTime());
        makeUpParamAutoReadQueries(now);
    }
    makeUpVirtualParamReadQueries();
}

void Engine::makeUpParamAutoReadQueries(QTime& now)
{
    for (Device* device : qAsConst(m_deviceDb->devices)) {
        if (!device)
            continue;
        for (Param* param : qAsConst(device->parameters)) {
            if (!param || param->tickets.size() == 0)
                continue;
            const Ticket* first = param->tickets.get(0);
            if (!first)
                continue;
            const int periodMs = first->period * 1000;
            const int elapsed = param->readTime.msecsTo(now);
            // Negative: the clock passed midnight or was set back.
            if (elapsed < periodMs && elapsed >= 0)
                continue;
            param->readTime = now;
            Param* base = param->correctForBaseParam();
            if (param->isVirtual) {
                m_deviceDb->appendDeviceToReadQueryVirtualDeviceList(device);
                device->appendParamToReadQueryVirtualParamList(base, 1);
            } else {
                m_deviceDb->appendDeviceToReadQueryDeviceList(device);
                device->appendParamToReadQueryParamList(base, 1);
            }
        }
    }
}

void Engine::makeUpVirtualParamReadQueries()
{
    ArraysHandler<Device>::Array* current = nullptr;
    ArraysHandler<Device>::Array* next = nullptr;
    m_deviceDb->virtualReadDeviceList.getArrays(current, next);
    if (current->isEmpty())
        return;

    for (int i = 0; i < current->size(); ++i) {
        Device* device = (*current)[i];
        if (!device)
            continue;
        ArraysHandler<Param>::Array* params = nullptr;
        ArraysHandler<Param>::Array* keep = nullptr;
        device->virtualReadList.getArrays(params, keep);
        for (int j = 0; j < params->size(); ++j) {
            Param* virtualParam = (*params)[j];
            if (!virtualParam)
                continue;
            if (virtualParam->argumentCount > 0) {
                // The value follows once every argument has answered. A bit
                // argument is read through its base: bits carry no code of
                // their own on the wire.
                virtualParam->argumentCheck.init();
                for (Param* argument : qAsConst(virtualParam->argumentParameters)) {
                    if (!argument)
                        continue;
                    Device* owner = argument->getDevice();
                    if (!owner)
                        owner = device;
                    m_deviceDb->appendDeviceToReadQueryDeviceList(owner);
                    owner->appendParamToReadQueryParamList(argument->correctForBaseParam(), 1);
                }
            } else {
                m_deviceDb->sendVirtualParamValue(device->deviceIndex, virtualParam->indexInDevice);
            }
            if (--virtualParam->readQueueMark > 0)
                keep->append(virtualParam);
        }
        params->clear();
        if (keep->isEmpty()) {
            device->inVirtualReadDeviceList = false;
        } else {
            next->append(device);
            device->virtualReadList.swapArrays();
        }
    }
    current->clear();
    m_deviceDb->virtualReadDeviceList.swapArrays();
}
