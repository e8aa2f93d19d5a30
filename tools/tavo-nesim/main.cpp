// tavo-nesim: a network element that speaks the native "tavo" protocol over
// TCP and UDP on 127.0.0.1, with devices and values from a scenario file; or
// a fleet of them, one per port, each with its own copy of the scenario.

#include "scenario.h"

#include "kernel_startup.h"
#include "termination_signals.h"

#include "classes/class_db.h"
#include "foundation/app_shared.h"
#include "hostgraph/host_graph.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QScriptEngine>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>

#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

namespace {

// Unsent answers a TCP client may have before its further requests wait.
constexpr qint64 kBacklogLimit = 1024 * 1024;
// Unsent lines that go out unasked (devices appearing or disappearing) beyond
// which a client that never reads is disconnected.
constexpr qint64 kDropLimit = 4 * kBacklogLimit;
// Buffered input of a TCP client; a longer line is dropped.
constexpr qint64 kInputLimit = 64 * 1024;
// Answers to one UDP datagram.
constexpr int kDatagramAnswerLimit = 64 * 1024;
// A UDP peer is sent unasked lines this long after its last datagram.
constexpr qint64 kUdpPeerLifetime = 120000;

QByteArray hex(const QByteArray& bytes)
{
    return bytes.isEmpty() ? QByteArray("-") : bytes.toHex();
}

class Simulator : public QObject
{
public:
    Simulator(Scenario& scenario, const QByteArray& password)
        : m_scenario(scenario)
        , m_password(password)
    {
        m_clock.start();
        for (SimDevice& device : m_scenario.devices)
            device.present = device.presentAt(0);
        connect(&m_tcp, &QTcpServer::newConnection, this, &Simulator::accept);
        connect(&m_udp, &QUdpSocket::readyRead, this, &Simulator::readDatagrams);
    }

    bool listen(quint16 tcpPort, quint16 udpPort)
    {
        return m_tcp.listen(QHostAddress::LocalHost, tcpPort) &&
            m_udp.bind(QHostAddress::LocalHost, udpPort);
    }
    void close()
    {
        m_tcp.close();
        m_udp.close();
    }
    quint16 tcpPort() const { return m_tcp.serverPort(); }
    quint16 udpPort() const { return m_udp.localPort(); }

    /// Every value of parameters named in @p params sent over TCP goes to
    /// @p out with the moment it was handed to the system, so that a client
    /// can tell how long it took to act on it.
    void traceSends(const QStringList& params, FILE* out)
    {
        m_traceParams = params;
        m_trace = out;
    }

    void checkPresence()
    {
        const double t = now();
        for (SimDevice& device : m_scenario.devices) {
            if (device.destroyed)
                continue;
            const bool present = device.presentAt(t);
            if (present == device.present)
                continue;
            device.present = present;
            std::printf("tavo-nesim: device %s %s\n", qPrintable(device.name()),
                        present ? "appears" : "disappears");
            std::fflush(stdout);
            if (present) {
                broadcast(announce(device));
            } else {
                broadcast(removal(device));
            }
        }
    }

private:
    struct Client
    {
        bool stalled = false; // its requests wait until it reads
        bool skipping = false; // in an overlong line, dropped to its end
        bool dropped = false; // disconnected on the next turn of the event loop
    };

    struct UdpPeer
    {
        QHostAddress address;
        quint16 port;
        qint64 lastSeen;
    };

    double now() const { return double(m_clock.elapsed()) / 1000.0; }

    void accept()
    {
        while (QTcpSocket* client = m_tcp.nextPendingConnection()) {
            m_clients.insert(client, Client());
            // Unread input stays in the kernel once this much is buffered, so
            // a client that floods us is slowed down by TCP itself.
            client->setReadBufferSize(kInputLimit);
            std::printf("tavo-nesim: tcp client connected\n");
            std::fflush(stdout);
            connect(client, &QTcpSocket::readyRead, this, [this, client] { serve(client); });
            connect(client, &QTcpSocket::bytesWritten, this, [this, client] { drained(client); });
            connect(client, &QTcpSocket::disconnected, this, [this, client] {
                m_clients.remove(client);
                client->deleteLater();
            });
        }
    }

    // Answers the client's complete lines in order, as long as it reads
    // them: past kBacklogLimit of unsent answers its remaining requests wait
    // (and, once our input buffer is full, so does the client's sending)
    // until it has read half of them.
    void serve(QTcpSocket* client)
    {
        const auto it = m_clients.find(client);
        if (it == m_clients.end() || it->stalled || it->dropped)
            return;
        Client& state = *it;
        while (client->canReadLine()) {
            // What the kernel takes now is no backlog: a client that asks
            // for a lot at once but reads is not held back.
            if (client->bytesToWrite() >= kBacklogLimit) {
                client->flush();
                if (client->state() != QAbstractSocket::ConnectedState)
                    return; // a failed write closed it: state is gone
            }
            if (client->bytesToWrite() >= kBacklogLimit) {
                state.stalled = true;
                std::printf("tavo-nesim: tcp client stopped reading; its requests wait until it "
                            "has read %lld bytes\n",
                            static_cast<long long>(client->bytesToWrite() - kBacklogLimit / 2));
                std::fflush(stdout);
                return;
            }
            const QByteArray line = client->readLine();
            if (state.skipping) {
                state.skipping = false; // the end of an overlong line
                continue;
            }
            const QByteArray answer = handle(line.trimmed());
            if (!answer.isEmpty())
                client->write(answer);
            if (!m_traced.isEmpty())
                writeTrace(client);
        }
        // A line that fills the whole input buffer is no request: dropped up
        // to its end, as a reader that never finds the end would stall.
        if (client->bytesAvailable() >= kInputLimit) {
            client->readAll();
            state.skipping = true;
        }
    }

    // The answer goes to the system now, not when our event loop gets round
    // to it; the moment is taken just before, as over the loopback a client
    // may well have acted on the value before the write returns.
    void writeTrace(QTcpSocket* client)
    {
        timespec now {};
        clock_gettime(CLOCK_MONOTONIC, &now);
        client->flush();
        const long long us = now.tv_sec * 1000000LL + now.tv_nsec / 1000;
        for (const QByteArray& sent : qAsConst(m_traced))
            std::fprintf(m_trace, "%lld %u %s\n", us, unsigned(m_tcp.serverPort()),
                         sent.constData());
        std::fflush(m_trace);
        m_traced.clear();
    }

    void drained(QTcpSocket* client)
    {
        const auto it = m_clients.find(client);
        if (it == m_clients.end() || !it->stalled || client->bytesToWrite() > kBacklogLimit / 2)
            return;
        it->stalled = false;
        std::printf("tavo-nesim: tcp client reads again\n");
        std::fflush(stdout);
        serve(client);
    }

    void readDatagrams()
    {
        while (m_udp.hasPendingDatagrams()) {
            QByteArray datagram(int(m_udp.pendingDatagramSize()), Qt::Uninitialized);
            QHostAddress address;
            quint16 port = 0;
            m_udp.readDatagram(datagram.data(), datagram.size(), &address, &port);
            const QString key = QStringLiteral("%1:%2").arg(address.toString()).arg(port);
            m_peers[key] = {address, port, m_clock.elapsed()};
            // Nothing holds a UDP peer back: the answers to one datagram are
            // capped, and the requests beyond the cap are dropped like any
            // lost datagram.
            QByteArray answer;
            for (const QByteArray& line : datagram.split('\n')) {
                if (answer.size() >= kDatagramAnswerLimit)
                    break;
                if (!line.trimmed().isEmpty())
                    answer += handle(line.trimmed());
            }
            sendDatagrams(address, port, answer);
            m_traced.clear(); // only TCP answers are traced
        }
    }

    // Whole lines, in datagrams a network passes unfragmented.
    void sendDatagrams(const QHostAddress& address, quint16 port, const QByteArray& text)
    {
        int start = 0;
        while (start < text.size()) {
            int end = start;
            while (end < text.size()) {
                const int next = text.indexOf('\n', end);
                if (next < 0 || next + 1 - start > 1200) {
                    if (end == start)
                        end = next < 0 ? text.size() : next + 1;
                    break;
                }
                end = next + 1;
            }
            m_udp.writeDatagram(text.constData() + start, end - start, address, port);
            start = end;
        }
    }

    void broadcast(const QByteArray& text)
    {
        // Unasked lines are never held back, as the client's view of the
        // devices would go wrong; a client that reads nothing at all for
        // long enough is dropped instead.
        for (auto it = m_clients.begin(); it != m_clients.end(); ++it) {
            QTcpSocket* client = it.key();
            client->write(text);
            if (client->bytesToWrite() > kDropLimit && !it->dropped) {
                it->dropped = true;
                std::printf("tavo-nesim: tcp client dropped; it left %lld bytes unread\n",
                            static_cast<long long>(client->bytesToWrite()));
                std::fflush(stdout);
                // Later: this may be the answer to one of that client's own
                // requests.
                QTimer::singleShot(0, client, &QTcpSocket::abort);
            }
        }
        const qint64 now = m_clock.elapsed();
        for (auto it = m_peers.begin(); it != m_peers.end();) {
            if (now - it->lastSeen >= kUdpPeerLifetime) {
                it = m_peers.erase(it);
                continue;
            }
            sendDatagrams(it->address, it->port, text);
            ++it;
        }
    }

    QByteArray announce(const SimDevice& device) const
    {
        const QByteArray message = QStringLiteral("tavo:%1+%2,%3")
                                       .arg(device.className)
                                       .arg(device.tag, 4, 16, QLatin1Char('0'))
                                       .arg(device.code, 0, 16)
                                       .toLatin1();
        QByteArray text = "DEV " + message.toHex() + '\n';
        for (const SimParam& param : device.params)
            text += "PRM " + QByteArray::number(device.code) + ' ' + param.name.toLatin1() + ' ' +
                QByteArray::number(param.code) + '\n';
        return text;
    }

    static QByteArray removal(const SimDevice& device)
    {
        const QByteArray message = QStringLiteral("tavo:%1-%2")
                                       .arg(device.className)
                                       .arg(device.tag, 4, 16, QLatin1Char('0'))
                                       .toLatin1();
        return "DEV " + message.toHex() + '\n';
    }

    // What a controlling device does when its "create" or "destroy" is
    // written.
    void control(const QString& className, int firstCode, const QString& what, quint32 tag)
    {
        if (what == QLatin1String("create") && tag > 0 && tag < 256) {
            for (SimDevice& device : m_scenario.devices) {
                if (device.className == className && device.tag == int(tag)) {
                    if (!device.present || device.destroyed) {
                        device.present = true;
                        device.destroyed = false;
                        broadcast(announce(device));
                    }
                    return;
                }
            }
            SimDevice device;
            if (!Scenario::makeDevice(className, int(tag), firstCode + int(tag), device))
                return;
            m_scenario.devices.append(device);
            std::printf("tavo-nesim: device %s created\n", qPrintable(device.name()));
            std::fflush(stdout);
            broadcast(announce(device));
        } else if (what == QLatin1String("destroy")) {
            for (SimDevice& device : m_scenario.devices) {
                if (device.className != className || !device.present ||
                    (tag != 0 && device.tag != int(tag)))
                    continue;
                device.present = false;
                device.destroyed = true;
                std::printf("tavo-nesim: device %s destroyed\n", qPrintable(device.name()));
                std::fflush(stdout);
                broadcast(removal(device));
            }
        }
    }

    SimDevice* deviceByCode(int code)
    {
        for (SimDevice& device : m_scenario.devices) {
            if (device.code == code && device.present)
                return &device;
        }
        return nullptr;
    }

    QByteArray valueLine(const SimDevice& device, const SimParam& param)
    {
        const QByteArray prefix =
            QByteArray::number(device.code) + ' ' + QByteArray::number(param.code) + ' ';
        if (m_scenario.isText(param))
            return "STR " + prefix + hex(m_scenario.textValue(param)) + '\n';
        const QByteArray word = QByteArray::number(m_scenario.valueWord(device, param, now()));
        if (m_trace && m_traceParams.contains(param.name))
            m_traced.append(device.name().toLatin1() + ' ' + param.name.toLatin1() + ' ' + word);
        return "VAL " + prefix + word + '\n';
    }

    QByteArray refusal(int dev, int prm, const char* why) const
    {
        return "ERR " + QByteArray::number(dev) + ' ' + QByteArray::number(prm) + ' ' +
            QByteArray(why).toHex() + '\n';
    }

    QByteArray handle(const QByteArray& line)
    {
        const QList<QByteArray> w = line.simplified().split(' ');
        const QByteArray& type = w.value(0);
        if (type == "HELLO") {
            const QByteArray given =
                w.value(2) == "-" ? QByteArray() : QByteArray::fromHex(w.value(2));
            if (!m_password.isEmpty() && given != m_password)
                return refusal(0, 0, "wrong password");
            return QByteArray();
        }
        if (type == "LIST") {
            QByteArray text;
            for (const SimDevice& device : qAsConst(m_scenario.devices)) {
                if (device.present)
                    text += announce(device);
            }
            return text;
        }
        if (type == "PING")
            return "PONG\n";
        if (type == "READ" && w.size() == 3) {
            const int dev = w.at(1).toInt();
            SimDevice* device = deviceByCode(dev);
            QByteArray text;
            for (const QByteArray& code : w.at(2).split(',')) {
                const int prm = code.toInt();
                if (!device || prm < 0 || prm >= device->params.size() ||
                    device->params.at(prm).code != prm) {
                    const SimParam* found = nullptr;
                    if (device) {
                        for (const SimParam& param : device->params)
                            if (param.code == prm)
                                found = &param;
                    }
                    text += found ? valueLine(*device, *found) : refusal(dev, prm, "unknown");
                    continue;
                }
                text += valueLine(*device, device->params.at(prm));
            }
            return text;
        }
        if (type == "WRITE" && w.size() == 5) {
            const int dev = w.at(1).toInt();
            const int prm = w.at(2).toInt();
            SimDevice* device = deviceByCode(dev);
            SimParam* param = nullptr;
            if (device) {
                for (SimParam& candidate : device->params)
                    if (candidate.code == prm)
                        param = &candidate;
            }
            if (!param)
                return refusal(dev, prm, "unknown");
            param->written = true;
            if (w.at(3) == "u")
                param->writtenWord = w.at(4).toUInt();
            else
                param->writtenBytes = w.at(4) == "-" ? QByteArray() : QByteArray::fromHex(w.at(4));
            std::printf("tavo-nesim: %s.%s written\n", qPrintable(device->name()),
                        qPrintable(param->name));
            std::fflush(stdout);
            const QByteArray answer = valueLine(*device, *param);
            // Copied first: a created device may move the devices in memory.
            const QString controlled = device->controlledClass;
            if (!controlled.isEmpty())
                control(controlled, device->firstControlledCode, param->name, param->writtenWord);
            return answer;
        }
        return "ERR 0 0 " + QByteArray("not understood").toHex() + '\n';
    }

    Scenario& m_scenario;
    QByteArray m_password;
    QElapsedTimer m_clock;
    QTcpServer m_tcp;
    QUdpSocket m_udp;
    QHash<QTcpSocket*, Client> m_clients;
    QHash<QString, UdpPeer> m_peers;
    QStringList m_traceParams;
    FILE* m_trace = nullptr;
    QList<QByteArray> m_traced; // device, parameter and value of each traced line
};

// Ports for @p simulators, one each and consecutive from @p first, TCP and
// UDP alike; for 0 a free run of them is looked for.
bool listenFleet(const std::vector<std::unique_ptr<Simulator>>& simulators, quint16 first)
{
    const int count = int(simulators.size());
    auto tryFrom = [&](int base) {
        for (int i = 0; i < count; ++i) {
            if (!simulators[size_t(i)]->listen(quint16(base + i), quint16(base + i))) {
                for (int j = 0; j <= i; ++j)
                    simulators[size_t(j)]->close();
                return false;
            }
        }
        return true;
    };
    if (first != 0)
        return first + count - 1 <= 65535 && tryFrom(first);
    // Above the system's ephemeral range's usual start is taken by clients;
    // runs below it are tried from a place that differs between processes.
    constexpr int Low = 10000;
    constexpr int High = 32000;
    if (count > High - Low)
        return false;
    int base = Low + int(QCoreApplication::applicationPid() * 7919 % (High - Low - count));
    for (int attempt = 0; attempt < 64; ++attempt) {
        if (tryFrom(base))
            return true;
        base = Low + (base - Low + count + 97) % (High - Low - count);
    }
    return false;
}

// The fleet as a host graph of the user's kind, folders of 50 hosts, written
// by the kernel's own writer so that a client reads it as its own.
bool writeHostGraph(const QString& path, const QString& hostType, quint16 firstPort, int count)
{
    constexpr int HostsPerFolder = 50;
    HostGraph graph(nullptr);
    int key = 1;
    int folderKey = 0;
    for (int i = 0; i < count; ++i) {
        if (i % HostsPerFolder == 0) {
            folderKey = key++;
            graph.createFolder(
                folderKey, 0,
                QStringLiteral("fleet %1-%2").arg(i + 1).arg(qMin(count, i + HostsPerFolder)));
        }
        const quint16 port = quint16(firstPort + i);
        // Without the protocol plug-ins loaded the graph cannot make engines,
        // nor does it need any to be written.
        auto* node =
            new NodeAttr(key, folderKey, QStringLiteral("ne-%1").arg(port), hostType,
                         QStringLiteral("127.0.0.1"), QStringLiteral("tavo"), port, &graph);
        graph.hostsByKey.insert(key, node);
        graph.hostList.append(node);
        ++key;
    }
    const QFileInfo info(path);
    QDir().mkpath(info.absolutePath());
    return graph.saveToFile(info.absoluteFilePath());
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tavo-nesim"));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("A network element speaking the tavo protocol on 127.0.0.1."));
    parser.addHelpOption();
    const QCommandLineOption classes(QStringLiteral("classes"),
                                     QStringLiteral("Directory of class files."),
                                     QStringLiteral("dir"));
    const QCommandLineOption scenarioFile(
        QStringLiteral("scenario"), QStringLiteral("The scenario file."), QStringLiteral("file"));
    const QCommandLineOption tcpPort(QStringLiteral("port"),
                                     QStringLiteral("TCP port; 0 picks a free one. With --hosts "
                                                    "the first host's TCP and UDP port."),
                                     QStringLiteral("port"), QStringLiteral("7070"));
    const QCommandLineOption udpPort(QStringLiteral("udp-port"),
                                     QStringLiteral("UDP port; 0 picks a free one."),
                                     QStringLiteral("port"), QStringLiteral("7071"));
    const QCommandLineOption password(QStringLiteral("password"),
                                      QStringLiteral("Password clients must give."),
                                      QStringLiteral("text"));
    const QCommandLineOption seed(
        QStringLiteral("seed"), QStringLiteral("Seed of the random values."), QStringLiteral("n"));
    const QCommandLineOption portFile(QStringLiteral("port-file"),
                                      QStringLiteral("Write \"<tcp> <udp>\" here once listening."),
                                      QStringLiteral("file"));
    const QCommandLineOption hosts(
        QStringLiteral("hosts"),
        QStringLiteral("Serve n hosts on n consecutive ports (TCP and UDP on the same number), "
                       "each with its own copy of the scenario and the seed plus its index."),
        QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption hostGraph(
        QStringLiteral("host-graph"),
        QStringLiteral("Once listening, write a host graph of the hosts served, in folders of 50, "
                       "to this file (\"user\": the user's own host graph)."),
        QStringLiteral("file"));
    const QCommandLineOption hostType(QStringLiteral("host-type"),
                                      QStringLiteral("Host type of the hosts in the host graph."),
                                      QStringLiteral("name"), QStringLiteral("tavo-ne"));
    const QCommandLineOption traceParam(
        QStringLiteral("trace-params"),
        QStringLiteral("Parameters (comma-separated) whose every value sent over TCP is written "
                       "to --trace-file."),
        QStringLiteral("names"));
    const QCommandLineOption traceFile(
        QStringLiteral("trace-file"),
        QStringLiteral("Lines \"<monotonic us> <port> <device> <param> <value>\"."),
        QStringLiteral("file"));
    parser.addOptions({classes, scenarioFile, tcpPort, udpPort, password, seed, portFile, hosts,
                       hostGraph, hostType, traceParam, traceFile});
    parser.process(app);

    // Installed, the simulator serves the shipped demo equipment unless told
    // otherwise.
    const QString shipped = KernelStartup::installedResourceDir();
    auto valueOr = [&](const QCommandLineOption& option, const QString& installed) {
        return parser.isSet(option) || shipped.isEmpty() ? parser.value(option)
                                                         : shipped + installed;
    };

    bool countOk = false;
    const int hostCount = parser.value(hosts).toInt(&countOk);
    if (!countOk || hostCount < 1 || hostCount > 30000) {
        std::fprintf(stderr, "tavo-nesim: --hosts takes a number from 1 to 30000\n");
        return 2;
    }

    QScriptEngine engine;
    share::scriptEngine = &engine;
    share::xmlClassesPath = valueOr(classes, QStringLiteral("/xml_classes"));
    ClassDb classDb(nullptr);
    share::classDb = &classDb;

    Scenario scenario;
    QString error;
    if (!scenario.load(valueOr(scenarioFile, QStringLiteral("/scenario.txt")), &error)) {
        std::fprintf(stderr, "tavo-nesim: %s\n", qPrintable(error));
        return 2;
    }
    if (parser.isSet(seed))
        scenario.seed = parser.value(seed).toUInt();

    FILE* trace = nullptr;
    if (parser.isSet(traceFile)) {
        trace = std::fopen(QFile::encodeName(parser.value(traceFile)).constData(), "w");
        if (!trace) {
            std::fprintf(stderr, "tavo-nesim: cannot write %s\n",
                         qPrintable(parser.value(traceFile)));
            return 2;
        }
    }

    // Copies, not the loaded one shared: every host keeps its own writes and
    // devices, and its own seed makes its random values its own.
    std::vector<Scenario> scenarios(size_t(hostCount), scenario);
    std::vector<std::unique_ptr<Simulator>> simulators;
    simulators.reserve(size_t(hostCount));
    for (int i = 0; i < hostCount; ++i) {
        scenarios[size_t(i)].seed = scenario.seed + quint32(i);
        simulators.push_back(
            std::make_unique<Simulator>(scenarios[size_t(i)], parser.value(password).toUtf8()));
        if (trace)
            simulators.back()->traceSends(parser.value(traceParam).split(QLatin1Char(',')), trace);
    }
    // One clock for the whole fleet's devices that come and go.
    QTimer presence;
    QObject::connect(&presence, &QTimer::timeout, &presence, [&simulators] {
        for (const auto& simulator : simulators)
            simulator->checkPresence();
    });
    presence.start(200);

    const quint16 firstPort = quint16(parser.value(tcpPort).toUInt());
    const bool listening = hostCount == 1
        ? simulators.front()->listen(firstPort, quint16(parser.value(udpPort).toUInt()))
        : listenFleet(simulators, firstPort);
    if (!listening) {
        std::fprintf(stderr, "tavo-nesim: cannot listen on the ports asked for\n");
        return 2;
    }
    const Simulator& first = *simulators.front();
    if (hostCount == 1)
        std::printf("tavo-nesim: listening on 127.0.0.1, tcp %u, udp %u, %d devices\n",
                    first.tcpPort(), first.udpPort(), int(scenario.devices.size()));
    else
        std::printf("tavo-nesim: %d hosts listening on 127.0.0.1, tcp and udp %u to %u, %d "
                    "devices each\n",
                    hostCount, first.tcpPort(), first.tcpPort() + unsigned(hostCount) - 1,
                    int(scenario.devices.size()));
    std::fflush(stdout);

    if (parser.isSet(hostGraph)) {
        QString path = parser.value(hostGraph);
        if (path == QLatin1String("user")) {
            // Only the file's name is wanted of the paths; the classes are
            // loaded by now.
            share::global_init();
            path = HostGraph::userFilePath();
        }
        if (!writeHostGraph(path, parser.value(hostType), first.tcpPort(), hostCount)) {
            std::fprintf(stderr, "tavo-nesim: cannot write the host graph %s\n", qPrintable(path));
            return 2;
        }
        std::printf("tavo-nesim: host graph of %d hosts written to %s\n", hostCount,
                    qPrintable(path));
        std::fflush(stdout);
    }
    // Last: whoever waits for this file may rely on the host graph too.
    if (parser.isSet(portFile)) {
        QFile file(parser.value(portFile));
        if (file.open(QIODevice::WriteOnly))
            file.write(QByteArray::number(first.tcpPort()) + ' ' +
                       QByteArray::number(first.udpPort()) + '\n');
    }
    // A stopped simulator ends its loop: its clients see the sockets close,
    // and an instrumented build writes its counts.
    quitOnTerminationSignals(&app);
    const int code = app.exec();
    if (trace)
        std::fclose(trace);
    return code;
}
