// tavo-nesim serving a fleet: every host on its own port with its own copy of
// the scenario, the host graph it writes as the kernel reads it, and
// tavo-console connecting every host of that graph.

#include "child_program.h"
#include "connections/engine_box.h"
#include "connections/protocol_manager.h"
#include "foundation/app_shared.h"
#include "hostgraph/host_graph.h"
#include "kernel_fixture.h"

#include <QNetworkDatagram>
#include <QSet>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QtTest>

#include <memory>

namespace {

// A random value that differs from seed to seed, and a writable one.
const char* const Scenario = "seed 5\n"
                             "device E1 1 1\n  random crc_errors 0 1000000\n"
                             "device PSU 1 2\n  set load 30\n";

} // namespace

class TstFleetSimulator : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void everyHostHasItsOwnPortValuesAndWrites();
    void consoleConnectsTheFleetOfItsGraph();

private:
    /// The simulator serving @p hosts, with @p extra arguments; its first
    /// port is 0 when it did not start.
    std::unique_ptr<Simulator> startFleet(int hosts, const QStringList& extra = QStringList())
    {
        return std::make_unique<Simulator>(
            QStringLiteral(TAVO_NESIM_BIN), QStringLiteral(TAVO_DEMO_DIR),
            m_dir->filePath(QStringLiteral("scenario.txt")), 0, userEnvironment(m_dir->path()),
            QStringList {QStringLiteral("--hosts=%1").arg(hosts)} + extra);
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TstFleetSimulator::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QFile file(m_dir->filePath(QStringLiteral("scenario.txt")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(Scenario);
}

void TstFleetSimulator::everyHostHasItsOwnPortValuesAndWrites()
{
    const auto fleet = startFleet(3);
    const quint16 first = fleet->tcp;
    QVERIFY(first);
    QCOMPARE(fleet->udp, first);
    QCOMPARE(ask(first, "WRITE 2 4 u 77\n"), QByteArray("VAL 2 4 77\n"));
    QSet<QByteArray> values;
    for (int i = 0; i < 3; ++i) {
        const QByteArray value = ask(quint16(first + i), "READ 1 2\n");
        QVERIFY2(value.startsWith("VAL 1 2 "), value.constData());
        values.insert(value);
    }
    QCOMPARE(values.size(), 3);

    // UDP on the same number as TCP; the write stayed with its host.
    QUdpSocket udp;
    QVERIFY(udp.bind(QHostAddress(QHostAddress::LocalHost), 0));
    udp.writeDatagram("READ 2 4\n", QHostAddress::LocalHost, quint16(first + 2));
    QVERIFY(udp.waitForReadyRead(5000));
    QCOMPARE(udp.receiveDatagram().data(), QByteArray("VAL 2 4 30\n"));
    QCOMPARE(ask(first, "READ 2 4\n"), QByteArray("VAL 2 4 77\n"));
}

void TstFleetSimulator::consoleConnectsTheFleetOfItsGraph()
{
    // More than one folder of 50.
    const auto fleet = startFleet(60, {QStringLiteral("--host-graph=user")});
    const quint16 first = fleet->tcp;
    QVERIFY(first);

    // The graph as the kernel reads it, host by host and folder by folder.
    KernelFixture fx;
    ProtocolManager protocols;
    protocols.loadPlugins(QStringLiteral(TAVO_PLUGINS_DIR "/protocols"));
    share::protocolManager = &protocols;
    EngineBox box;
    share::engineBox = &box;
    share::isSingleMode = true; // nothing of the user's is read
    HostGraph graph(nullptr);
    QVERIFY(graph.loadFromFile(m_dir->filePath(QStringLiteral("tavo-client/host_graph.xml.ini"))));
    QCOMPARE(box.engines.size(), 60);
    QCOMPARE(graph.folderList.size(), 2);
    QStringList hosts, expected;
    for (const NodeAttr* node : qAsConst(graph.hostList))
        hosts << QStringLiteral("%1:%2 %3 in %4")
                     .arg(node->url())
                     .arg(node->port())
                     .arg(node->protocolName())
                     .arg(graph.folderList.indexOf(graph.foldersByKey.value(node->parentKey())));
    for (int i = 0; i < 60; ++i)
        expected << QStringLiteral("127.0.0.1:%1 tavo in %2").arg(first + i).arg(i / 50);
    QCOMPARE(hosts, expected);

    // The console connects every host of that graph and writes its figures.
    const QString stats = m_dir->filePath(QStringLiteral("stats"));
    ChildProgram console(
        QStringLiteral(TAVO_CONSOLE_BIN),
        {QStringLiteral("--resdir=" TAVO_DEMO_DIR), QStringLiteral("--plugdir=" TAVO_PLUGINS_DIR),
         QStringLiteral("--period=1"), QStringLiteral("--duration=6"),
         QStringLiteral("--stats=%1").arg(stats), QStringLiteral("--stats-after=0")},
        userEnvironment(m_dir->path()));
    QVERIFY(console.finish(60000));
    QCOMPARE(console.exitCode(), 0);
    for (int i = 0; i < 60; ++i)
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
    QCOMPARE(figures.value("hosts"), 60);
    QCOMPARE(figures.value("connected"), 60);
    QVERIFY(figures.value("connect_all_ms") >= 0);
    // Two devices a host, every parameter subscribed and heard from.
    QVERIFY(figures.value("subscribed") >= 60 * 2);
    QVERIFY(figures.value("values_in_window") >= figures.value("subscribed"));
}

QTEST_GUILESS_MAIN(TstFleetSimulator)
#include "tst_fleet_simulator.moc"
