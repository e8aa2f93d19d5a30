// What lets one client hold many hosts: the open-files limit raised and
// reported, and connection attempts started a batch at a time.

#include "staggered_connector.h"

#include "connections/engine.h"
#include "connections/engine_box.h"
#include "connections/open_files_limit.h"
#include "connections/protocol_manager.h"
#include "foundation/app_shared.h"
#include "hostgraph/host_graph.h"
#include "kernel_fixture.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <memory>
#include <vector>

#include <sys/resource.h>

namespace {

/// The soft limit of open files for the life of the object, restored after.
class SoftLimit
{
public:
    explicit SoftLimit(rlim_t soft)
    {
        getrlimit(RLIMIT_NOFILE, &m_saved);
        rlimit lowered = m_saved;
        lowered.rlim_cur = qMin(soft, m_saved.rlim_max);
        ok = setrlimit(RLIMIT_NOFILE, &lowered) == 0;
    }
    ~SoftLimit() { setrlimit(RLIMIT_NOFILE, &m_saved); }
    SoftLimit(const SoftLimit&) = delete;
    SoftLimit& operator=(const SoftLimit&) = delete;

    rlim_t hard() const { return m_saved.rlim_max; }
    bool ok = false;

private:
    rlimit m_saved {};
};

/// Hosts with the native protocol on a local server that accepts them all.
struct Fleet
{
    Fleet()
    {
        share::engineBox = &box;
        protocols.loadPlugins(QStringLiteral(TAVO_PLUGINS_DIR "/protocols"));
        share::protocolManager = &protocols;
        server.setMaxPendingConnections(1000);
        server.listen(QHostAddress::LocalHost);
        QObject::connect(&server, &QTcpServer::newConnection, &server, [this] {
            while (QTcpSocket* next = server.nextPendingConnection())
                accepted.push_back(next);
        });
    }
    ~Fleet()
    {
        qDeleteAll(box.engines);
        box.engines.clear();
        share::protocolManager = nullptr;
        share::engineBox = nullptr;
    }

    QList<Engine*> addEngines(int count)
    {
        QList<Engine*> engines;
        for (int i = 0; i < count; ++i) {
            const int key = int(nodes.size()) + 1;
            nodes.emplace_back(std::make_unique<NodeAttr>(
                key, 0, QStringLiteral("ne%1").arg(key), QStringLiteral("none"),
                QStringLiteral("127.0.0.1"), QStringLiteral("tavo"), server.serverPort(), nullptr));
            engines.append(box.createEngine(nodes.back().get()));
        }
        return engines;
    }

    static int connectedOf(const QList<Engine*>& engines)
    {
        return int(std::count_if(engines.begin(), engines.end(),
                                 [](const Engine* engine) { return engine->isConnected(); }));
    }

    KernelFixture kernel;
    ProtocolManager protocols;
    EngineBox box;
    std::vector<std::unique_ptr<NodeAttr>> nodes;
    QTcpServer server;
    std::vector<QTcpSocket*> accepted;
};

} // namespace

class TstFleetClient : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void softLimitIsRaisedToTheHardOne();
    void hostsBeyondTheLimitAreReported_data();
    void hostsBeyondTheLimitAreReported();
    void staggeredAttemptsConnectEveryHost();
    void attemptsGoABatchAtATime();
    void engineDeletedWhileWaitingIsSkipped();
};

void TstFleetClient::softLimitIsRaisedToTheHardOne()
{
    SoftLimit lowered(64);
    QVERIFY(lowered.ok);
    QCOMPARE(OpenFilesLimit::current(), qint64(qMin<rlim_t>(64, lowered.hard())));
    const qint64 raised = OpenFilesLimit::raiseToHard();
    if (lowered.hard() == RLIM_INFINITY)
        QVERIFY(raised > 64);
    else
        QCOMPARE(raised, qint64(lowered.hard()));
    QCOMPARE(OpenFilesLimit::current(), raised);
}

void TstFleetClient::hostsBeyondTheLimitAreReported_data()
{
    QTest::addColumn<int>("beyond");
    QTest::addColumn<bool>("fits");

    QTest::newRow("no hosts") << -1 << true;
    QTest::newRow("as many as fit") << 0 << true;
    QTest::newRow("one more") << 1 << false;
}

void TstFleetClient::hostsBeyondTheLimitAreReported()
{
    QFETCH(int, beyond);
    QFETCH(bool, fits);

    KernelFixture fx;
    SoftLimit lowered(200);
    QVERIFY(lowered.ok);
    const qint64 fit = OpenFilesLimit::hostsThatFit(OpenFilesLimit::current());
    QCOMPARE(fit, qint64(200) - OpenFilesLimit::Reserve);
    const int hosts = beyond < 0 ? 0 : int(fit) + beyond;
    QCOMPARE(OpenFilesLimit::checkHosts(hosts), fits);
    QCOMPARE(fx.log.warnings().size(), fits ? 0 : 1);
    if (!fits) {
        const QString warning = fx.log.warnings().first();
        QVERIFY2(warning.contains(QStringLiteral("about %1 of the %2 hosts").arg(fit).arg(hosts)),
                 qPrintable(warning));
    }
}

void TstFleetClient::staggeredAttemptsConnectEveryHost()
{
    Fleet fleet;
    const QList<Engine*> engines = fleet.addEngines(120);
    StaggeredConnector connector;
    connector.setPace(16, 1);
    QSignalSpy started(&connector, &StaggeredConnector::allStarted);
    connector.connectAll(engines);
    QCOMPARE(connector.waiting(), 120);
    QVERIFY(started.wait(10000));
    QCOMPARE(connector.waiting(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(Fleet::connectedOf(engines), 120, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(int(fleet.accepted.size()), 120, 10000);
    QCOMPARE(started.size(), 1);
}

void TstFleetClient::attemptsGoABatchAtATime()
{
    Fleet fleet;
    const QList<Engine*> engines = fleet.addEngines(30);
    StaggeredConnector connector;
    // A pause no test machine lets pass while the first batch is checked.
    connector.setPace(7, 60000);
    connector.connectAll(engines);
    QCOMPARE(Fleet::connectedOf(engines), 0);
    QTRY_COMPARE_WITH_TIMEOUT(connector.waiting(), 23, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(Fleet::connectedOf(engines), 7, 5000);
    for (int i = 0; i < 30; ++i)
        QCOMPARE(engines.at(i)->isConnected() || engines.at(i)->connecting, i < 7);
}

void TstFleetClient::engineDeletedWhileWaitingIsSkipped()
{
    Fleet fleet;
    QList<Engine*> engines = fleet.addEngines(5);
    StaggeredConnector connector;
    connector.setPace(2, 1);
    connector.connectAll(engines);
    fleet.box.engines.removeOne(engines.at(3));
    delete engines.takeAt(3);
    QSignalSpy started(&connector, &StaggeredConnector::allStarted);
    QVERIFY(started.wait(10000));
    QTRY_COMPARE_WITH_TIMEOUT(Fleet::connectedOf(engines), 4, 10000);
}

QTEST_GUILESS_MAIN(TstFleetClient)
#include "tst_fleet_client.moc"
