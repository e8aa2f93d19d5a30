// tavo-nesim against peers that ask for far more than they read: a TCP client
// that floods requests and reads nothing, a UDP peer that packs many requests
// into one datagram. The simulator's memory stays bounded, no request is lost
// and it answers again once the client reads.

#include <QFile>
#include <QNetworkDatagram>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QtTest>

#include <memory>

namespace {

constexpr int kDevices = 40;

/// The resident memory of a process, in KiB; -1 when unknown.
qint64 residentKiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).simplified().split(' ').value(0).toLongLong();
    }
    return -1;
}

} // namespace

class TstSimulatorBacklog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void clientThatStopsReadingIsHeldBack();
    void answersToOneDatagramAreCapped();
    void overlongLineIsDroppedWhole();

private:
    QByteArray listAnswer();

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QProcess> m_simulator;
    QString m_out;
    quint16 m_tcp = 0;
    quint16 m_udp = 0;
};

void TstSimulatorBacklog::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    // Many devices and nothing that changes unasked: every LIST answer is
    // large and the same.
    QByteArray scenario = "seed 1\n";
    for (int d = 1; d <= kDevices; ++d)
        scenario += "device E1 " + QByteArray::number(d) + ' ' + QByteArray::number(d) + '\n';
    QFile file(m_dir->filePath(QStringLiteral("scenario.txt")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(scenario), qint64(scenario.size()));
    file.close();

    const QString portFile = m_dir->filePath(QStringLiteral("ports"));
    m_out.clear();
    m_simulator = std::make_unique<QProcess>();
    m_simulator->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // Built with AddressSanitizer, the simulator would keep its freed memory
    // in quarantine, which would count as growth here.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QString asan = environment.value(QStringLiteral("ASAN_OPTIONS"));
    environment.insert(QStringLiteral("ASAN_OPTIONS"),
                       (asan.isEmpty() ? QString() : asan + QLatin1Char(':')) +
                           QStringLiteral("quarantine_size_mb=0"));
    m_simulator->setProcessEnvironment(environment);
    connect(m_simulator.get(), &QProcess::readyReadStandardOutput, this,
            [this] { m_out += QString::fromUtf8(m_simulator->readAllStandardOutput()); });
    m_simulator->start(QStringLiteral(TAVO_NESIM_BIN),
                       {QStringLiteral("--classes=" TAVO_DEMO_DIR "/xml_classes"),
                        QStringLiteral("--scenario=%1").arg(file.fileName()),
                        QStringLiteral("--port=0"), QStringLiteral("--udp-port=0"),
                        QStringLiteral("--port-file=%1").arg(portFile)});
    QVERIFY2(QTest::qWaitFor([&] { return QFileInfo(portFile).size() > 0; }, 10000),
             qPrintable(QStringLiteral("%1, exit code %2, stdout:\n%3")
                            .arg(m_simulator->errorString())
                            .arg(m_simulator->exitCode())
                            .arg(m_out)));
    QFile ports(portFile);
    QVERIFY(ports.open(QIODevice::ReadOnly));
    const QList<QByteArray> words = ports.readAll().trimmed().split(' ');
    m_tcp = quint16(words.value(0).toUInt());
    m_udp = quint16(words.value(1).toUInt());
    QVERIFY(m_tcp && m_udp);
}

void TstSimulatorBacklog::cleanup()
{
    if (m_simulator && m_simulator->state() != QProcess::NotRunning) {
        m_simulator->kill();
        m_simulator->waitForFinished(5000);
    }
    m_simulator.reset();
}

/// The answer to one LIST, from a client that reads everything.
QByteArray TstSimulatorBacklog::listAnswer()
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, m_tcp);
    if (!socket.waitForConnected(5000))
        return QByteArray();
    socket.write("LIST\nPING\n");
    QByteArray received;
    while (!received.endsWith("PONG\n") && socket.waitForReadyRead(5000))
        received += socket.readAll();
    received.chop(5);
    return received;
}

void TstSimulatorBacklog::clientThatStopsReadingIsHeldBack()
{
    const QByteArray answer = listAnswer();
    QVERIFY(answer.startsWith("DEV "));
    const qint64 pid = m_simulator->processId();
    const qint64 before = residentKiB(pid);
    QVERIFY(before > 0);

    // Asks for 64 MiB of answers and reads almost nothing: the sockets'
    // kernel buffers take a few MiB of it, the simulator must not take the
    // rest.
    const int lists = int(64 * 1024 * 1024 / answer.size());
    QTcpSocket flooder;
    flooder.setReadBufferSize(4096);
    flooder.connectToHost(QHostAddress::LocalHost, m_tcp);
    QVERIFY(flooder.waitForConnected(5000));
    flooder.write(QByteArray("LIST\n").repeated(lists));
    const bool stopped = QTest::qWaitFor(
        [&] { return m_out.contains(QLatin1String("tcp client stopped reading")); }, 15000);
    // Its own bound is 1 MiB of answers; the rest is allocator slack.
    const qint64 grown = residentKiB(pid) - before;
    QVERIFY2(stopped, qPrintable(QStringLiteral("grown by %1 KiB").arg(grown)));
    QVERIFY2(grown < 32 * 1024, qPrintable(QStringLiteral("grown by %1 KiB").arg(grown)));

    // Once the client reads, every request is answered, in order.
    qint64 received = 0;
    QByteArray tail;
    auto take = [&] {
        const QByteArray bytes = flooder.readAll();
        received += bytes.size();
        tail = (tail + bytes).right(5);
    };
    connect(&flooder, &QTcpSocket::readyRead, this, take);
    flooder.setReadBufferSize(0);
    take();
    flooder.write("PING\n");
    QTRY_VERIFY_WITH_TIMEOUT(tail == "PONG\n", 60000);
    QCOMPARE(received, qint64(lists) * answer.size() + 5);
    QTRY_VERIFY(m_out.contains(QLatin1String("tcp client reads again")));
    QCOMPARE(m_out.count(QLatin1String("tcp client stopped reading")),
             m_out.count(QLatin1String("tcp client reads again")));
}

void TstSimulatorBacklog::answersToOneDatagramAreCapped()
{
    const QByteArray answer = listAnswer();
    QVERIFY(answer.startsWith("DEV "));
    QUdpSocket peer;
    QVERIFY(peer.bind(QHostAddress(QHostAddress::LocalHost), 0));
    qint64 received = 0;
    bool pong = false;
    connect(&peer, &QUdpSocket::readyRead, this, [&] {
        while (peer.hasPendingDatagrams()) {
            const QByteArray datagram = peer.receiveDatagram().data();
            if (datagram == "PONG\n")
                pong = true;
            else
                received += datagram.size();
        }
    });
    // A thousand requests in one datagram would be answered with tens of
    // MiB; the answer to the first one at least comes whole.
    peer.writeDatagram(QByteArray("LIST\n").repeated(1000), QHostAddress::LocalHost, m_udp);
    peer.writeDatagram("PING\n", QHostAddress::LocalHost, m_udp);
    QTRY_VERIFY_WITH_TIMEOUT(pong, 10000);
    QVERIFY2(received >= answer.size(), qPrintable(QString::number(received)));
    QVERIFY2(received <= 128 * 1024 + answer.size(), qPrintable(QString::number(received)));
}

void TstSimulatorBacklog::overlongLineIsDroppedWhole()
{
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, m_tcp);
    QVERIFY(client.waitForConnected(5000));
    QByteArray received;
    connect(&client, &QTcpSocket::readyRead, this, [&] { received += client.readAll(); });
    // Far more than the simulator buffers of one line; no part of it is
    // taken for a request.
    client.write(QByteArray(200 * 1024, 'x') + "\nPING\n");
    QTRY_VERIFY_WITH_TIMEOUT(received.endsWith("PONG\n"), 10000);
    QCOMPARE(received, QByteArray("PONG\n"));
}

QTEST_GUILESS_MAIN(TstSimulatorBacklog)
#include "tst_simulator_backlog.moc"
