// tavo-console against tavo-nesim, each in its own process, over TCP and UDP
// on the loopback: what an operator sees on the client's stdout.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include <csignal>

namespace {

/// A process whose stdout is gathered line by line as it comes.
class Program
{
public:
    Program(const QString& binary, const QStringList& arguments, const QString& configDir)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configDir);
        // The history goes to the per-user data folder: a test's own.
        environment.insert(QStringLiteral("XDG_DATA_HOME"), configDir + QStringLiteral("/data"));
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::SeparateChannels);
        QObject::connect(&process, &QProcess::readyReadStandardOutput,
                         [this] { out += QString::fromUtf8(process.readAllStandardOutput()); });
        QObject::connect(&process, &QProcess::readyReadStandardError,
                         [this] { err += QString::fromUtf8(process.readAllStandardError()); });
        process.start(binary, arguments);
    }
    ~Program()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool has(const QString& pattern) const
    {
        return out.contains(QRegularExpression(pattern, QRegularExpression::MultilineOption));
    }
    int count(const QString& pattern) const
    {
        auto it = QRegularExpression(pattern, QRegularExpression::MultilineOption).globalMatch(out);
        int n = 0;
        while (it.hasNext()) {
            it.next();
            ++n;
        }
        return n;
    }

    QProcess process;
    QString out;
    QString err;
};

struct Ports
{
    quint16 tcp = 0;
    quint16 udp = 0;
};

/// A port that was free a moment ago, for a simulator that must come back
/// on the same one.
quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

} // namespace

class TstEndToEnd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void operatorSeesTheWholeRoad_data();
    void operatorSeesTheWholeRoad();
    void restartedSimulatorIsConnectedAgain();
    void unreachableHostEndsTheClientWithAnError();
    void templateAndProfileRunOnEveryHostOfTheGraph();
    void boardReportsAndUserRightsAreHonoured();
    void silentHostIsShownAndSoIsItsReturn();
    void historyTellsWhatHappenedAfterwards();
    void hostGraphChangesAreSavedOrTheOperatorIsTold_data();
    void hostGraphChangesAreSavedOrTheOperatorIsTold();

private:
    std::unique_ptr<Program> startSimulator(Ports& ports, quint16 tcpPort = 0);
    std::unique_ptr<Program> startClient(const QString& type, quint16 port,
                                         const QStringList& extra);

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

std::unique_ptr<Program> TstEndToEnd::startSimulator(Ports& ports, quint16 tcpPort)
{
    const QString portFile = m_dir->filePath(QStringLiteral("ports"));
    QFile::remove(portFile);
    auto simulator = std::make_unique<Program>(
        QStringLiteral(TAVO_NESIM_BIN),
        QStringList {QStringLiteral("--classes=" TAVO_DEMO_DIR "/xml_classes"),
                     QStringLiteral("--scenario=" TAVO_E2E_DIR "/scenario.txt"),
                     QStringLiteral("--port=%1").arg(tcpPort), QStringLiteral("--udp-port=0"),
                     QStringLiteral("--port-file=%1").arg(portFile)},
        m_dir->filePath(QStringLiteral("config")));
    if (!QTest::qWaitFor([&] { return QFileInfo(portFile).size() > 0; }, 10000))
        return nullptr;
    QFile file(portFile);
    file.open(QIODevice::ReadOnly);
    const QList<QByteArray> words = file.readAll().trimmed().split(' ');
    ports.tcp = quint16(words.value(0).toUInt());
    ports.udp = quint16(words.value(1).toUInt());
    return simulator;
}

std::unique_ptr<Program> TstEndToEnd::startClient(const QString& type, quint16 port,
                                                  const QStringList& extra)
{
    return std::make_unique<Program>(
        QStringLiteral(TAVO_CONSOLE_BIN),
        QStringList {QStringLiteral("--resdir=" TAVO_DEMO_DIR),
                     QStringLiteral("--plugdir=" TAVO_PLUGINS_DIR), QStringLiteral("-s"),
                     QStringLiteral("127.0.0.1"), QStringLiteral("-pt"), QString::number(port),
                     QStringLiteral("-type"), type, QStringLiteral("--period=1")} +
            extra,
        m_dir->filePath(QStringLiteral("config")));
}

void TstEndToEnd::operatorSeesTheWholeRoad_data()
{
    QTest::addColumn<QString>("type");
    QTest::newRow("tcp") << QStringLiteral("tavo-ne");
    QTest::newRow("udp") << QStringLiteral("tavo-ne-udp");
}

void TstEndToEnd::operatorSeesTheWholeRoad()
{
    QFETCH(QString, type);
    Ports ports;
    auto simulator = startSimulator(ports);
    QVERIFY(simulator);
    auto client =
        startClient(type, type.endsWith(QLatin1String("udp")) ? ports.udp : ports.tcp,
                    {QStringLiteral("--duration=30"), QStringLiteral("--set=E1_0001.label=written"),
                     QStringLiteral("--set=E1_0001.loopback=remote")});
    const auto& c = *client;

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
}

void TstEndToEnd::restartedSimulatorIsConnectedAgain()
{
    Ports ports;
    const quint16 port = freePort();
    auto simulator = startSimulator(ports, port);
    QVERIFY(simulator);
    auto client = startClient(QStringLiteral("tavo-ne"), port,
                              {QStringLiteral("--duration=40"), QStringLiteral("--reconnect")});
    QTRY_VERIFY_WITH_TIMEOUT(client->has(QStringLiteral("DEVICE \\S+ E1_0001 appeared")), 10000);

    simulator.reset(); // killed
    QTRY_VERIFY_WITH_TIMEOUT(client->has(QStringLiteral("DISCONNECTED 127\\.0\\.0\\.1")), 10000);
    QVERIFY(client->err.contains(QLatin1String("Disonnect from server")));

    simulator = startSimulator(ports, port);
    QVERIFY(simulator);
    QTRY_VERIFY_WITH_TIMEOUT(client->count(QStringLiteral("CONNECTED 127\\.0\\.0\\.1$")) >= 2,
                             15000);
    const int before = client->count(QStringLiteral("VALUE \\S+ E1_0001 crc_errors = "));
    QTRY_VERIFY_WITH_TIMEOUT(
        client->count(QStringLiteral("VALUE \\S+ E1_0001 crc_errors = ")) > before, 8000);
}

void TstEndToEnd::unreachableHostEndsTheClientWithAnError()
{
    const quint16 port = freePort(); // nobody listens there any more
    auto client =
        startClient(QStringLiteral("tavo-ne"), port, {QStringLiteral("--connect-timeout=2")});
    QVERIFY(client->process.waitForFinished(15000));
    QCOMPARE(client->process.exitCode(), 3);
    QVERIFY(client->has(QStringLiteral("FAILED no host could be connected")));
    QVERIFY(client->err.contains(QLatin1String("Connection refused")) ||
            client->err.contains(QLatin1String("refused")));
}

void TstEndToEnd::templateAndProfileRunOnEveryHostOfTheGraph()
{
    // Two network elements, each a host of the user's graph. E1_0002 of the
    // scenario blinks: it is destroyed before it can come back.
    Ports first, second;
    auto one = startSimulator(first);
    QVERIFY(one);
    auto two = startSimulator(second);
    QVERIFY(two);
    QFile graph(m_dir->filePath(QStringLiteral("config/tavo-client/host_graph.xml.ini")));
    QVERIFY(graph.open(QIODevice::WriteOnly));
    auto host = [](int key, const char* alias, quint16 port) {
        return QStringLiteral("<host key=\"%1\"><link parent_key=\"0\" alias=\"%2\"/>"
                              "<url autoconnect=\"1\">127.0.0.1</url><port>%3</port>"
                              "<type>tavo-ne</type><protocol>tavo</protocol></host>\n")
            .arg(key)
            .arg(QLatin1String(alias))
            .arg(port)
            .toUtf8();
    };
    graph.write("<?xml version=\"1.0\"?>\n<hostgraph>\n" + host(1, "ne1", first.tcp) +
                host(2, "ne2", second.tcp) + "</hostgraph>\n");
    graph.close();

    auto client = std::make_unique<Program>(
        QStringLiteral(TAVO_CONSOLE_BIN),
        QStringList {QStringLiteral("--resdir=" TAVO_DEMO_DIR),
                     QStringLiteral("--plugdir=" TAVO_PLUGINS_DIR), QStringLiteral("--period=1"),
                     QStringLiteral("--duration=20"),
                     QStringLiteral("--template=" TAVO_E2E_DIR "/template.xml"),
                     QStringLiteral("--device=E1_0001"),
                     QStringLiteral("--profile=" TAVO_E2E_DIR "/profile.xml")},
        m_dir->filePath(QStringLiteral("config")));
    const auto& c = *client;
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
    Ports ports;
    auto simulator = startSimulator(ports);
    QVERIFY(simulator);
    // A viewer may watch but not write.
    auto refused =
        startClient(QStringLiteral("tavo-ne"), ports.tcp,
                    {QStringLiteral("--user=viewer"), QStringLiteral("--set=E1_0001.label=x")});
    QVERIFY(refused->process.waitForFinished(10000));
    QCOMPARE(refused->process.exitCode(), 4);
    QVERIFY(refused->err.contains(QLatin1String("needs the capability 'write'")));

    auto unknown =
        startClient(QStringLiteral("tavo-ne"), ports.tcp, {QStringLiteral("--user=nobody")});
    QVERIFY(unknown->process.waitForFinished(10000));
    QCOMPARE(unknown->process.exitCode(), 4);

    // The demo's board expects E1_0001, E1_0002 and PSU_0001 on 127.0.0.1;
    // the test scenario has them all, so each is reported present 2 s after
    // the connection.
    auto watcher = startClient(QStringLiteral("tavo-ne"), ports.tcp,
                               {QStringLiteral("--user=viewer"), QStringLiteral("--board"),
                                QStringLiteral("--duration=10")});
    QTRY_VERIFY_WITH_TIMEOUT(watcher->has(QStringLiteral("BOARD 127\\.0\\.0\\.1 PSU_0001 present")),
                             8000);
    QVERIFY(watcher->has(QStringLiteral("BOARD 127\\.0\\.0\\.1 E1_0001 present")));
    // E1_0002 blinks: its disappearance is reported as missing.
    QTRY_VERIFY_WITH_TIMEOUT(watcher->has(QStringLiteral("BOARD 127\\.0\\.0\\.1 E1_0002 MISSING")),
                             8000);
}

void TstEndToEnd::historyTellsWhatHappenedAfterwards()
{
    Ports ports;
    auto simulator = startSimulator(ports);
    QVERIFY(simulator);
    auto watching =
        startClient(QStringLiteral("tavo-ne"), ports.tcp, {QStringLiteral("--duration=10")});
    QVERIFY(watching->process.waitForFinished(30000));
    QVERIFY(watching->has(QStringLiteral("STATE \\S+ E1_0002 los CRIT")));

    // Later, with the same per-user folders: what happened, oldest first.
    Program history(QStringLiteral(TAVO_CONSOLE_BIN),
                    {QStringLiteral("--resdir=" TAVO_DEMO_DIR), QStringLiteral("--history")},
                    m_dir->filePath(QStringLiteral("config")));
    QVERIFY(history.process.waitForFinished(20000));
    QCOMPARE(history.process.exitCode(), 0);
    QVERIFY2(history.has(QStringLiteral("^\\S+ #\\d+ 127\\.0\\.0\\.1 CONNECTED$")),
             qPrintable(history.out));
    QVERIFY(history.has(QStringLiteral(" STATE E1_0002\\.los CRIT \\(was NORM\\)$")));
    QVERIFY(history.has(QStringLiteral(" REACTION E1_0002\\.los sms: \\+100: los$")));
    QVERIFY(history.out.indexOf(QLatin1String(" CONNECTED")) <
            history.out.indexOf(QLatin1String(" STATE ")));
}

void TstEndToEnd::silentHostIsShownAndSoIsItsReturn()
{
    Ports ports;
    auto simulator = startSimulator(ports);
    QVERIFY(simulator);
    auto client =
        startClient(QStringLiteral("tavo-ne"), ports.tcp, {QStringLiteral("--duration=40")});
    QTRY_VERIFY_WITH_TIMEOUT(client->has(QStringLiteral("VALUE \\S+ E1_0001 ")), 10000);

    // A hung agent: the connection stays, nothing answers.
    const auto pid = simulator->process.processId();
    ::kill(pid, SIGSTOP);
    QTRY_VERIFY_WITH_TIMEOUT(
        client->has(QStringLiteral("SILENT 127\\.0\\.0\\.1 answered nothing for [3-9] s$")), 10000);
    ::kill(pid, SIGCONT);
    QTRY_VERIFY_WITH_TIMEOUT(
        client->has(QStringLiteral("ANSWERING 127\\.0\\.0\\.1 again after [3-9] s$")), 10000);
    QVERIFY(!client->has(QStringLiteral("DISCONNECTED")));
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
    Ports ports;
    auto simulator = startSimulator(ports);
    QVERIFY(simulator);

    // Root may write anywhere: a file where the settings folder should be
    // is what stops even root.
    const QString config = m_dir->filePath(QStringLiteral("graph-config"));
    QDir().mkpath(config);
    if (!writable) {
        QFile blocker(config + QStringLiteral("/tavo-client"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    }
    const QStringList common = {QStringLiteral("--resdir=" TAVO_DEMO_DIR),
                                QStringLiteral("--plugdir=" TAVO_PLUGINS_DIR),
                                QStringLiteral("--duration=3")};
    {
        Program client(
            QStringLiteral(TAVO_CONSOLE_BIN),
            common + QStringList(QStringLiteral("--add-host=127.0.0.1:%1:tavo-ne").arg(ports.tcp)),
            config);
        QVERIFY(client.process.waitForFinished(20000));
        QVERIFY(client.has(QStringLiteral("CONNECTED 127\\.0\\.0\\.1$")));
        const bool told = client.err.contains(
            QStringLiteral("the changes to the host graph were not saved to %1/tavo-client/")
                .arg(config));
        QCOMPARE(told, !writable);
    }
    if (!writable)
        return;
    // The saved graph alone brings the host back.
    Program again(QStringLiteral(TAVO_CONSOLE_BIN), common, config);
    QVERIFY(again.process.waitForFinished(20000));
    QVERIFY(again.has(QStringLiteral("CONNECTED 127\\.0\\.0\\.1$")));
    QVERIFY(!again.err.contains(QLatin1String("not saved")));
}

QTEST_GUILESS_MAIN(TstEndToEnd)
#include "tst_end_to_end.moc"
