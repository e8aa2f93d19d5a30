// tavo-console against tavo-nesim, each in its own process, over TCP and UDP
// on the loopback: what an operator sees on the client's stdout.

#include "child_program.h"

#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include <csignal>

namespace {

using Program = std::unique_ptr<ChildProgram>;

/// A port that was free a moment ago, for a simulator that must come back
/// on the same one.
quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

std::unique_ptr<Simulator> startSimulator(quint16 tcpPort = 0)
{
    auto simulator =
        std::make_unique<Simulator>(QStringLiteral(TAVO_NESIM_BIN), QStringLiteral(TAVO_DEMO_DIR),
                                    QStringLiteral(TAVO_E2E_DIR "/scenario.txt"), tcpPort);
    return simulator->isUp() ? std::move(simulator) : nullptr;
}

} // namespace

class TstEndToEnd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void operatorSeesTheWholeRoadAndItsHistory_data();
    void operatorSeesTheWholeRoadAndItsHistory();
    void silentOrVanishedHostIsShownAndFollowed();
    void unreachableHostEndsTheClientWithAnError();
    void templateAndProfileRunOnEveryHostOfTheGraph();
    void boardReportsAndUserRightsAreHonoured();
    void hostGraphChangesAreSavedOrTheOperatorIsTold_data();
    void hostGraphChangesAreSavedOrTheOperatorIsTold();

private:
    /// tavo-console with the demo resources, its per-user folders below
    /// @p config (the test's own when empty).
    Program console(const QStringList& arguments, QString config = QString()) const;
    /// tavo-console on one host, reading every second.
    Program client(quint16 port, const QStringList& extra,
                   const QString& type = QStringLiteral("tavo-ne")) const;

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TstEndToEnd::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    const QString settings = m_dir->filePath(QStringLiteral("config/tavo-client"));
    QDir().mkpath(settings);
    QFile::copy(QStringLiteral(TAVO_E2E_DIR "/actions.xml"),
                settings + QStringLiteral("/tavo_action_list.xml.ini"));
}

Program TstEndToEnd::console(const QStringList& arguments, QString config) const
{
    if (config.isEmpty())
        config = m_dir->filePath(QStringLiteral("config"));
    return std::make_unique<ChildProgram>(
        QStringLiteral(TAVO_CONSOLE_BIN),
        QStringList {QStringLiteral("--resdir=" TAVO_DEMO_DIR),
                     QStringLiteral("--plugdir=" TAVO_PLUGINS_DIR)} +
            arguments,
        userEnvironment(config));
}

Program TstEndToEnd::client(quint16 port, const QStringList& extra, const QString& type) const
{
    return console(QStringList {QStringLiteral("-s"), QStringLiteral("127.0.0.1"),
                                QStringLiteral("-pt"), QString::number(port),
                                QStringLiteral("-type"), type, QStringLiteral("--period=1")} +
                   extra);
}

void TstEndToEnd::operatorSeesTheWholeRoadAndItsHistory_data()
{
    QTest::addColumn<QString>("type");
    QTest::newRow("tcp") << QStringLiteral("tavo-ne");
    QTest::newRow("udp") << QStringLiteral("tavo-ne-udp");
}

void TstEndToEnd::operatorSeesTheWholeRoadAndItsHistory()
{
    QFETCH(QString, type);
    auto simulator = startSimulator();
    QVERIFY(simulator);
    const Program client = this->client(
        type.endsWith(QLatin1String("udp")) ? simulator->udp : simulator->tcp,
        {QStringLiteral("--duration=30"), QStringLiteral("--set=E1_0001.label=written"),
         QStringLiteral("--set=E1_0001.loopback=remote")},
        type);
    const ChildProgram& c = *client;

    // Discovery.
    QTRY_VERIFY_WITH_TIMEOUT(c.has(QStringLiteral("CONNECTED 127\\.0\\.0\\.1$")), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(c.has(QStringLiteral("DEVICE \\S+ E1_0001 appeared")), 5000);
    QVERIFY(c.has(QStringLiteral("DEVICE \\S+ PSU_0001 appeared")));
    // Writes read back.
    QTRY_VERIFY_WITH_TIMEOUT(c.has(QStringLiteral("VALUE \\S+ E1_0001 label = written$")), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(c.has(QStringLiteral("VALUE \\S+ E1_0001 loopback = remote$")), 5000);
    // Reads at the subscribed period of one second: the counter keeps moving.
    QTRY_VERIFY_WITH_TIMEOUT(c.count(QStringLiteral("VALUE \\S+ E1_0001 crc_errors = ")) >= 3,
                             6000);
    // An alarm raised and cleared, with its reaction.
    QTRY_VERIFY_WITH_TIMEOUT(c.has(QStringLiteral("STATE \\S+ E1_0002 los CRIT")), 8000);
    QTRY_VERIFY_WITH_TIMEOUT(c.has(QStringLiteral("STATE \\S+ E1_0002 los NORM \\(was CRIT\\)")),
                             8000);
    QVERIFY(c.has(QStringLiteral("REACTION sms to \\+100: los")));
    QTRY_VERIFY_WITH_TIMEOUT(c.has(QStringLiteral("STATE \\S+ PSU_0001 temp CRIT")), 8000);
    // A device that disappears and comes back.
    QTRY_VERIFY_WITH_TIMEOUT(c.has(QStringLiteral("DEVICE \\S+ E1_0002 removed")), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(c.count(QStringLiteral("DEVICE \\S+ E1_0002 appeared")) >= 2, 10000);
    QVERIFY2(!c.err.contains(QLatin1String("Malformed")), qPrintable(c.err));

    // Later, with the same per-user folders: what happened, oldest first.
    client->stop();
    const Program history = console({QStringLiteral("--history")});
    QVERIFY(history->finish(20000));
    QCOMPARE(history->exitCode(), 0);
    const QString& out = history->out;
    QVERIFY2(history->has(QStringLiteral("^\\S+ #\\d+ 127\\.0\\.0\\.1 CONNECTED$")),
             qPrintable(out));
    QVERIFY(history->has(QStringLiteral(" STATE E1_0002\\.los CRIT \\(was NORM\\)$")));
    QVERIFY(history->has(QStringLiteral(" REACTION E1_0002\\.los sms: \\+100: los$")));
    QVERIFY(out.indexOf(QLatin1String(" CONNECTED")) < out.indexOf(QLatin1String(" STATE ")));
}

void TstEndToEnd::unreachableHostEndsTheClientWithAnError()
{
    const Program c = client(freePort(), {QStringLiteral("--connect-timeout=2")});
    QVERIFY(c->finish(15000));
    QCOMPARE(c->exitCode(), 3);
    QVERIFY(c->has(QStringLiteral("FAILED no host could be connected")));
    QVERIFY(c->err.contains(QLatin1String("refused")));
}

void TstEndToEnd::templateAndProfileRunOnEveryHostOfTheGraph()
{
    // Two network elements, each a host of the user's graph. E1_0002 of the
    // scenario blinks: it is destroyed before it can come back.
    auto one = startSimulator();
    auto two = startSimulator();
    QVERIFY(one && two);
    QFile graph(m_dir->filePath(QStringLiteral("config/tavo-client/host_graph.xml.ini")));
    QVERIFY(graph.open(QIODevice::WriteOnly));
    auto host = [](int key, quint16 port) {
        return QStringLiteral("<host key=\"%1\"><link parent_key=\"0\" alias=\"ne%1\"/>"
                              "<url autoconnect=\"1\">127.0.0.1</url><port>%2</port>"
                              "<type>tavo-ne</type><protocol>tavo</protocol></host>\n")
            .arg(key)
            .arg(port)
            .toUtf8();
    };
    graph.write("<?xml version=\"1.0\"?>\n<hostgraph>\n" + host(1, one->tcp) + host(2, two->tcp) +
                "</hostgraph>\n");
    graph.close();

    const Program client = console({QStringLiteral("--period=1"), QStringLiteral("--duration=20"),
                                    QStringLiteral("--template=" TAVO_E2E_DIR "/template.xml"),
                                    QStringLiteral("--device=E1_0001"),
                                    QStringLiteral("--profile=" TAVO_E2E_DIR "/profile.xml")});
    const ChildProgram& c = *client;
    QTRY_VERIFY_WITH_TIMEOUT(c.has(QStringLiteral("PROFILE finished")), 15000);
    for (const char* name : {"ne1", "ne2"}) {
        const QString h = QLatin1String(name);
        QVERIFY2(c.has(QStringLiteral("TEMPLATE %1 E1_0001 written").arg(h)), qPrintable(c.out));
        QVERIFY(c.has(QStringLiteral("PROFILE %1 done").arg(h)));
        QVERIFY(c.has(QStringLiteral("DEVICE %1 E1_0002 removed").arg(h)));
        QVERIFY(c.has(QStringLiteral("DEVICE %1 E1_0005 appeared").arg(h)));
        QTRY_VERIFY_WITH_TIMEOUT(c.has(QStringLiteral("VALUE %1 E1_0005 label = made$").arg(h)),
                                 5000);
        // Chosen by its value, "start": the scenario's label of E1_0001.
        QTRY_VERIFY_WITH_TIMEOUT(
            c.has(QStringLiteral("VALUE %1 E1_0001 loopback = remote$").arg(h)), 5000);
    }
    QVERIFY(c.has(QStringLiteral("PROFILE ne1 done[\\s\\S]*PROFILE ne2 done")));
}

void TstEndToEnd::boardReportsAndUserRightsAreHonoured()
{
    auto simulator = startSimulator();
    QVERIFY(simulator);
    // A viewer may watch but not write; an unknown user may not even watch.
    const Program refused = client(
        simulator->tcp, {QStringLiteral("--user=viewer"), QStringLiteral("--set=E1_0001.label=x")});
    const Program unknown = client(simulator->tcp, {QStringLiteral("--user=nobody")});
    for (ChildProgram* p : {refused.get(), unknown.get()}) {
        QVERIFY(p->finish(10000));
        QCOMPARE(p->exitCode(), 4);
    }
    QVERIFY(refused->err.contains(QLatin1String("needs the capability 'write'")));

    // The demo's board expects E1_0001, E1_0002 and PSU_0001 on 127.0.0.1;
    // the test scenario has them all, so each is reported present 2 s after
    // the connection.
    const Program watcher = client(simulator->tcp,
                                   {QStringLiteral("--user=viewer"), QStringLiteral("--board"),
                                    QStringLiteral("--duration=10")});
    QTRY_VERIFY_WITH_TIMEOUT(watcher->has(QStringLiteral("BOARD 127\\.0\\.0\\.1 PSU_0001 present")),
                             8000);
    QVERIFY(watcher->has(QStringLiteral("BOARD 127\\.0\\.0\\.1 E1_0001 present")));
    // E1_0002 blinks: its disappearance is reported as missing.
    QTRY_VERIFY_WITH_TIMEOUT(watcher->has(QStringLiteral("BOARD 127\\.0\\.0\\.1 E1_0002 MISSING")),
                             8000);
}

void TstEndToEnd::silentOrVanishedHostIsShownAndFollowed()
{
    const quint16 port = freePort();
    auto simulator = startSimulator(port);
    QVERIFY(simulator);
    const Program c =
        client(port, {QStringLiteral("--duration=60"), QStringLiteral("--reconnect")});
    QTRY_VERIFY_WITH_TIMEOUT(c->has(QStringLiteral("VALUE \\S+ E1_0001 ")), 10000);

    // A hung agent: the connection stays, nothing answers.
    const auto pid = simulator->process.processId();
    ::kill(pid, SIGSTOP);
    QTRY_VERIFY_WITH_TIMEOUT(
        c->has(QStringLiteral("SILENT 127\\.0\\.0\\.1 answered nothing for [3-9] s$")), 10000);
    ::kill(pid, SIGCONT);
    QTRY_VERIFY_WITH_TIMEOUT(
        c->has(QStringLiteral("ANSWERING 127\\.0\\.0\\.1 again after [3-9] s$")), 10000);
    QVERIFY(!c->has(QStringLiteral("DISCONNECTED")));

    // A restarted one: the client connects again and values flow again.
    simulator.reset();
    QTRY_VERIFY_WITH_TIMEOUT(c->has(QStringLiteral("DISCONNECTED 127\\.0\\.0\\.1")), 10000);
    QVERIFY(c->err.contains(QLatin1String("Disonnect from server")));
    simulator = startSimulator(port);
    QVERIFY(simulator);
    QTRY_VERIFY_WITH_TIMEOUT(c->count(QStringLiteral("CONNECTED 127\\.0\\.0\\.1$")) >= 2, 15000);
    const int before = c->count(QStringLiteral("VALUE \\S+ E1_0001 crc_errors = "));
    QTRY_VERIFY_WITH_TIMEOUT(c->count(QStringLiteral("VALUE \\S+ E1_0001 crc_errors = ")) > before,
                             8000);
}

void TstEndToEnd::hostGraphChangesAreSavedOrTheOperatorIsTold_data()
{
    QTest::addColumn<bool>("writable");
    QTest::newRow("saved") << true;
    QTest::newRow("cannot be written") << false;
}

void TstEndToEnd::hostGraphChangesAreSavedOrTheOperatorIsTold()
{
    QFETCH(bool, writable);
    auto simulator = startSimulator();
    QVERIFY(simulator);

    // Root may write anywhere: a file where the settings folder should be
    // is what stops even root.
    const QString config = m_dir->filePath(QStringLiteral("graph-config"));
    QDir().mkpath(config);
    if (!writable)
        QVERIFY(QFile(config + QStringLiteral("/tavo-client")).open(QIODevice::WriteOnly));
    const QString addHost = QStringLiteral("--add-host=127.0.0.1:%1:tavo-ne").arg(simulator->tcp);
    const QString notSaved =
        QStringLiteral("the changes to the host graph were not saved to %1/tavo-client/")
            .arg(config);
    // The second run has only the saved graph to bring the host back.
    for (const QStringList& extra : {QStringList {addHost}, QStringList {}}) {
        const Program c = console(QStringList {QStringLiteral("--duration=3")} + extra, config);
        QVERIFY(c->finish(20000));
        QVERIFY(c->has(QStringLiteral("CONNECTED 127\\.0\\.0\\.1$")));
        QCOMPARE(c->err.contains(writable ? QStringLiteral("not saved") : notSaved), !writable);
        if (!writable)
            return;
    }
}

QTEST_GUILESS_MAIN(TstEndToEnd)
#include "tst_end_to_end.moc"
