// What lets one client hold many hosts: the open-files limit raised and
// reported, and connection attempts started a batch at a time.

#include "staggered_connector.h"

#include "connections/open_files_limit.h"
#include "connections/protocol_manager.h"
#include "hosts_fixture.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QtTest>

#include <limits>

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
struct Fleet : HostsFixture
{
    Fleet()
    {
        protocols.loadPlugins(QStringLiteral(TAVO_PLUGINS_DIR "/protocols"));
        share::protocolManager = &protocols;
        server.listen(QHostAddress::LocalHost);
    }
    // The engines use the protocols, which go first.
    ~Fleet() { qDeleteAll(box.engines); }

    QList<Engine*> addEngines(int count)
    {
        QList<Engine*> engines;
        for (int i = 0; i < count; ++i)
            engines.append(addEngine(QStringLiteral("127.0.0.1"), 0, server.serverPort(),
                                     QStringLiteral("none"), QStringLiteral("tavo")));
        return engines;
    }

    static int connectedOf(const QList<Engine*>& engines)
    {
        return int(std::count_if(engines.begin(), engines.end(),
                                 [](const Engine* engine) { return engine->isConnected(); }));
    }

    ProtocolManager protocols;
    QTcpServer server;
};

} // namespace

class TstFleetClient : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void softLimitIsRaisedToTheHardOne();
    void hostsBeyondTheLimitAreReported_data();
    void hostsBeyondTheLimitAreReported();
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
    QTest::newRow("as many as fit") << 0;
    QTest::newRow("one more") << 1;
}

void TstFleetClient::hostsBeyondTheLimitAreReported()
{
    QFETCH(int, beyond);
    KernelFixture fx;
    SoftLimit lowered(200);
    QVERIFY(lowered.ok);
    const qint64 fit = OpenFilesLimit::hostsThatFit(OpenFilesLimit::current());
    QCOMPARE(fit, qint64(200) - OpenFilesLimit::Reserve);
    const int hosts = int(fit) + beyond;
    QCOMPARE(OpenFilesLimit::checkHosts(hosts), beyond == 0);
    const qint64 hard = lowered.hard() == RLIM_INFINITY ? std::numeric_limits<qint64>::max()
                                                        : qint64(lowered.hard());
    const QString warning =
        QStringLiteral("The process may open 200 files (the system allows at most %1): about %2 "
                       "of the %3 hosts can be connected at once. Raise the hard limit of open "
                       "files (ulimit -Hn, limits.conf) to watch them all.")
            .arg(hard)
            .arg(fit)
            .arg(hosts);
    QCOMPARE(fx.log.warnings(), beyond ? QStringList {warning} : QStringList());
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
    QSignalSpy started(&connector, &StaggeredConnector::allStarted);
    connector.connectAll(engines);
    QCOMPARE(connector.waiting(), 5);
    fleet.box.engines.removeOne(engines.at(3));
    delete engines.takeAt(3);
    QVERIFY(started.wait(10000));
    QCOMPARE(connector.waiting(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(Fleet::connectedOf(engines), 4, 10000);
    QCOMPARE(started.size(), 1);
}

QTEST_GUILESS_MAIN(TstFleetClient)
#include "tst_fleet_client.moc"
