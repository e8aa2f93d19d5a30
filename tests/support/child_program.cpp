#include "child_program.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTest>

ChildProgram::ChildProgram(const QString& binary, const QStringList& arguments,
                           const QProcessEnvironment& environment)
{
    process.setProcessEnvironment(environment);
    QObject::connect(&process, &QProcess::readyReadStandardOutput,
                     [this] { out += QString::fromUtf8(process.readAllStandardOutput()); });
    QObject::connect(&process, &QProcess::readyReadStandardError,
                     [this] { err += QString::fromUtf8(process.readAllStandardError()); });
    process.start(binary, arguments);
}

ChildProgram::~ChildProgram()
{
    stop();
}

void ChildProgram::stop(int graceMs)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(graceMs)) {
        process.kill();
        process.waitForFinished(graceMs);
    }
}

int ChildProgram::count(const QString& pattern) const
{
    auto it = QRegularExpression(pattern, QRegularExpression::MultilineOption).globalMatch(out);
    int n = 0;
    for (; it.hasNext(); it.next())
        ++n;
    return n;
}

Simulator::Simulator(const QString& binary, const QString& demoDir, const QString& scenario,
                     quint16 tcpPort, const QProcessEnvironment& environment,
                     const QStringList& extra)
    : ChildProgram(binary,
                   QStringList {QStringLiteral("--classes=%1/xml_classes").arg(demoDir),
                                QStringLiteral("--scenario=%1").arg(scenario),
                                QStringLiteral("--port=%1").arg(tcpPort),
                                QStringLiteral("--udp-port=0"),
                                QStringLiteral("--port-file=%1").arg(portFile())} +
                       extra,
                   environment)
{
    QFile file(portFile());
    const auto written = [&] {
        return QFileInfo(file).size() > 0 || process.state() == QProcess::NotRunning;
    };
    if (!QTest::qWaitFor(written, 20000) || !file.open(QIODevice::ReadOnly))
        return;
    const QList<QByteArray> words = file.readAll().trimmed().split(' ');
    tcp = quint16(words.value(0).toUInt());
    udp = quint16(words.value(1).toUInt());
}

QProcessEnvironment userEnvironment(const QString& folder)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), folder);
    environment.insert(QStringLiteral("XDG_DATA_HOME"), folder + QStringLiteral("/data"));
    return environment;
}

QByteArray ask(quint16 port, const QByteArray& request)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    socket.write(request + "PING\n");
    QByteArray received;
    while (!received.endsWith("PONG\n") && socket.waitForReadyRead(5000))
        received += socket.readAll();
    return received.endsWith("PONG\n") ? received.chopped(5) : QByteArray();
}
