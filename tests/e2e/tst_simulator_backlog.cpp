// tavo-nesim against peers that ask for far more than they read: a TCP client
// that floods requests and reads nothing, a UDP peer that packs many requests
// into one datagram. The simulator's memory stays bounded, no request is lost
// and it answers again once the client reads.

#include "child_program.h"

#include <QFile>
#include <QNetworkDatagram>
#include <QRegularExpression>
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
    status.open(QIODevice::ReadOnly);
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("^VmRSS:\\s*(\\d+)"), QRegularExpression::MultilineOption)
            .match(QString::fromLatin1(status.readAll()));
    return match.hasMatch() ? match.captured(1).toLongLong() : -1;
}

} // namespace

class TstSimulatorBacklog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup() { m_simulator.reset(); }
    void clientThatStopsReadingIsHeldBack();
    void answersToOneDatagramAreCapped();
    void overlongLineIsDroppedWhole();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Simulator> m_simulator;
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

    // Built with AddressSanitizer, the simulator would keep its freed memory
    // in quarantine, which would count as growth here.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ASAN_OPTIONS"),
                       environment.value(QStringLiteral("ASAN_OPTIONS")) +
                           QStringLiteral(":quarantine_size_mb=0"));
    m_simulator =
        std::make_unique<Simulator>(QStringLiteral(TAVO_NESIM_BIN), QStringLiteral(TAVO_DEMO_DIR),
                                    file.fileName(), 0, environment);
    QVERIFY2(m_simulator->isUp() && m_simulator->udp,
             qPrintable(m_simulator->process.errorString() + m_simulator->out + m_simulator->err));
}

void TstSimulatorBacklog::clientThatStopsReadingIsHeldBack()
{
    const QByteArray answer = ask(m_simulator->tcp, "LIST\n");
    QVERIFY(answer.startsWith("DEV "));
    const qint64 pid = m_simulator->process.processId();
    const qint64 before = residentKiB(pid);
    QVERIFY(before > 0);

    // Asks for 64 MiB of answers and reads almost nothing: the sockets'
    // kernel buffers take a few MiB of it, the simulator must not take the
    // rest.
    const int lists = int(64 * 1024 * 1024 / answer.size());
    QTcpSocket flooder;
    flooder.setReadBufferSize(4096);
    flooder.connectToHost(QHostAddress::LocalHost, m_simulator->tcp);
    QVERIFY(flooder.waitForConnected(5000));
    flooder.write(QByteArray("LIST\n").repeated(lists));
    const bool stopped = QTest::qWaitFor(
        [&] { return m_simulator->out.contains(QLatin1String("tcp client stopped reading")); },
        15000);
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
    QTRY_VERIFY(m_simulator->out.contains(QLatin1String("tcp client reads again")));
    QCOMPARE(m_simulator->out.count(QLatin1String("tcp client stopped reading")),
             m_simulator->out.count(QLatin1String("tcp client reads again")));
}

void TstSimulatorBacklog::answersToOneDatagramAreCapped()
{
    const QByteArray answer = ask(m_simulator->tcp, "LIST\n");
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
    peer.writeDatagram(QByteArray("LIST\n").repeated(1000), QHostAddress::LocalHost,
                       m_simulator->udp);
    peer.writeDatagram("PING\n", QHostAddress::LocalHost, m_simulator->udp);
    QTRY_VERIFY_WITH_TIMEOUT(pong, 10000);
    QVERIFY2(received >= answer.size(), qPrintable(QString::number(received)));
    QVERIFY2(received <= 128 * 1024 + answer.size(), qPrintable(QString::number(received)));
}

void TstSimulatorBacklog::overlongLineIsDroppedWhole()
{
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, m_simulator->tcp);
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
