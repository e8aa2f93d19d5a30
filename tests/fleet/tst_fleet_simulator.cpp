// tavo-nesim serving a fleet: every host on its own port with its own copy of
// the scenario, the host graph it writes as the kernel reads it, and
// tavo-console connecting every host of that graph.

#include "child_program.h"
#include "connections/engine_box.h"
#include "connections/protocol_manager.h"
#include "foundation/app_shared.h"
#include "hostgraph/host_graph.h"
#include "kernel_fixture.h"

#include <QSet>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QtTest>

#include <memory>

namespace {

// A random value that differs from seed to seed, and a writable one.
const char* const Scenario = "seed 5\n"
                             "device E1 1 1\n  random crc_errors 0 1000000\n"
                             "device PSU 1 2\n  set load 30\n";

/// The answer to @p request from a host, up to the PONG that ends it.
QByteArray ask(quint16 port, const QByteArray& request)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(5000))
        return QByteArray();
    socket.write(request + "PING\n");
    QByteArray received;
    while (!received.endsWith("PONG\n") && socket.waitForReadyRead(5000))
        received += socket.readAll();
    return received;
}

/// The word of the first VAL line of @p answer.
QByteArray valueOf(const QByteArray& answer)
{
    for (const QByteArray& line : answer.split('\n')) {
        if (line.startsWith("VAL "))
            return line.split(' ').value(3);
    }
    return QByteArray();
}

} // namespace

class TstFleetSimulator : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void everyHostHasItsOwnPortAndValues();
    void writesStayWithTheirHost();
    void hostGraphHoldsTheFleetInFoldersOf50();
    void consoleConnectsTheWholeFleet();

private:
    /// The simulator serving @p hosts, with @p extra arguments; its first
    /// port is 0 when it did not start.
    std::unique_ptr<Simulator> startFleet(int hosts, const QStringList& extra = QStringList())
    {
        return std::make_unique<Simulator>(
            QStringLiteral(TAVO_NESIM_BIN), QStringLiteral(TAVO_DEMO_DIR),
            m_dir->filePath(QStringLiteral("scenario.txt")), 0, m_environment,
            QStringList {QStringLiteral("--hosts=%1").arg(hosts)} + extra);
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    QProcessEnvironment m_environment;
};

void TstFleetSimulator::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QFile file(m_dir->filePath(QStringLiteral("scenario.txt")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(Scenario);
    // The user's files of both programs in the test's own folder.
    m_environment = QProcessEnvironment::systemEnvironment();
    m_environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir->filePath(QStringLiteral("cfg")));
    m_environment.insert(QStringLiteral("XDG_DATA_HOME"), m_dir->filePath(QStringLiteral("data")));
}

void TstFleetSimulator::everyHostHasItsOwnPortAndValues()
{
    const auto fleet = startFleet(4);
    const quint16 first = fleet->tcp;
    QVERIFY(first);
    // TCP and UDP of a fleet's host share the number.
    QCOMPARE(fleet->udp, first);
    QSet<QByteArray> values;
    for (int i = 0; i < 4; ++i) {
        const QByteArray value = valueOf(ask(quint16(first + i), "READ 1 2\n"));
        QVERIFY2(!value.isEmpty(), qPrintable(QStringLiteral("host %1").arg(i)));
        values.insert(value);
    }
    QCOMPARE(values.size(), 4);

    // UDP on the same number as TCP.
    QUdpSocket udp;
    QVERIFY(udp.bind(QHostAddress(QHostAddress::LocalHost), 0));
    udp.writeDatagram("READ 2 4\n", QHostAddress::LocalHost, quint16(first + 3));
    QVERIFY(udp.waitForReadyRead(5000));
    QByteArray datagram(int(udp.pendingDatagramSize()), Qt::Uninitialized);
    udp.readDatagram(datagram.data(), datagram.size());
    QCOMPARE(datagram, QByteArray("VAL 2 4 30\n"));
}

void TstFleetSimulator::writesStayWithTheirHost()
{
    const auto fleet = startFleet(2);
    const quint16 first = fleet->tcp;
    QVERIFY(first);
    QCOMPARE(ask(first, "WRITE 2 4 u 77\n"), QByteArray("VAL 2 4 77\nPONG\n"));
    QCOMPARE(valueOf(ask(first, "READ 2 4\n")), QByteArray("77"));
    QCOMPARE(valueOf(ask(quint16(first + 1), "READ 2 4\n")), QByteArray("30"));
}

void TstFleetSimulator::hostGraphHoldsTheFleetInFoldersOf50()
{
    const QString path = m_dir->filePath(QStringLiteral("graph/hosts.xml"));
    const auto fleet = startFleet(120, {QStringLiteral("--host-graph=%1").arg(path)});
    const quint16 first = fleet->tcp;
    QVERIFY(first);

    // Read back by the kernel as a client reads its own.
    KernelFixture fx;
    ProtocolManager protocols;
    protocols.loadPlugins(QStringLiteral(TAVO_PLUGINS_DIR "/protocols"));
    share::protocolManager = &protocols;
    EngineBox box;
    share::engineBox = &box;
    share::isSingleMode = true; // nothing of the user's is read
    HostGraph graph(nullptr);
    QVERIFY(graph.loadFromFile(path));
    QCOMPARE(graph.hostList.size(), 120);
    QCOMPARE(box.engines.size(), 120);
    QCOMPARE(graph.folderList.size(), 3);
    QMap<int, int> perFolder;
    for (int i = 0; i < graph.hostList.size(); ++i) {
        const NodeAttr* node = graph.hostList.at(i);
        QCOMPARE(node->port(), quint16(first + i));
        QCOMPARE(node->url(), QStringLiteral("127.0.0.1"));
        QCOMPARE(node->protocolName(), QStringLiteral("tavo"));
        QVERIFY(graph.foldersByKey.contains(node->parentKey()));
        ++perFolder[node->parentKey()];
    }
    QCOMPARE(perFolder.values(), (QList<int> {50, 50, 20}));
    share::protocolManager = nullptr;
}

void TstFleetSimulator::consoleConnectsTheWholeFleet()
{
    const auto fleet = startFleet(40, {QStringLiteral("--host-graph=user")});
    const quint16 first = fleet->tcp;
    QVERIFY(first);
    const QString stats = m_dir->filePath(QStringLiteral("stats"));
    ChildProgram console(
        QStringLiteral(TAVO_CONSOLE_BIN),
        {QStringLiteral("--resdir=" TAVO_DEMO_DIR), QStringLiteral("--plugdir=" TAVO_PLUGINS_DIR),
         QStringLiteral("--period=1"), QStringLiteral("--duration=6"),
         QStringLiteral("--stats=%1").arg(stats), QStringLiteral("--stats-after=0")},
        m_environment);
    QVERIFY(console.finish(60000));
    QCOMPARE(console.exitCode(), 0);
    for (int i = 0; i < 40; ++i)
        QVERIFY2(console.has(QStringLiteral(" CONNECTED ne-%1$").arg(first + i)),
                 qPrintable(QStringLiteral("host %1 of\n%2").arg(i).arg(console.out.left(3000))));

    QFile file(stats);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QMap<QByteArray, qint64> figures;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QList<QByteArray> w = line.split(' ');
        if (w.size() == 2)
            figures.insert(w.at(0), w.at(1).toLongLong());
    }
    QCOMPARE(figures.value("hosts"), 40);
    QCOMPARE(figures.value("connected"), 40);
    QVERIFY(figures.value("connect_all_ms") >= 0);
    // Two devices a host, every parameter subscribed and heard from.
    QVERIFY(figures.value("subscribed") >= 40 * 2);
    QVERIFY(figures.value("values_in_window") >= figures.value("subscribed"));
}

QTEST_GUILESS_MAIN(TstFleetSimulator)
#include "tst_fleet_simulator.moc"
