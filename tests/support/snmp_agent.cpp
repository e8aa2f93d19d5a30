#include "snmp_agent.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QProcessEnvironment>
#include <QUdpSocket>

namespace {

const QString snmpd = QStringLiteral("/usr/sbin/snmpd");
const QString sysUpTime = QStringLiteral("1.3.6.1.2.1.1.3.0");
const int startTimeoutMs = 10000;
const int toolTimeoutMs = 10000;
const int startAttempts = 5;

quint16 freeUdpPort()
{
    QUdpSocket socket;
    return socket.bind(QHostAddress(QHostAddress::LocalHost), 0) ? socket.localPort() : 0;
}

QProcessEnvironment netSnmpEnvironment(const QTemporaryDir& dir)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // Numeric OIDs only: loading MIBs would just print warnings about the
    // modules Debian does not ship.
    env.insert(QStringLiteral("MIBS"), QString());
    env.insert(QStringLiteral("SNMPCONFPATH"), dir.filePath(QStringLiteral("conf")));
    env.insert(QStringLiteral("SNMP_PERSISTENT_DIR"), dir.filePath(QStringLiteral("persist")));
    return env;
}

} // namespace

SnmpAgent::SnmpAgent()
{
    QDir(m_dir.path()).mkpath(QStringLiteral("persist"));
    // An empty search path keeps /etc/snmp and ~/.snmp out of the tools.
    QDir(m_dir.path()).mkpath(QStringLiteral("conf"));
}

bool SnmpAgent::writeConfig() const
{
    QStringList lines = {
        QStringLiteral("rocommunity %1 127.0.0.1").arg(readCommunity()),
        QStringLiteral("rwcommunity %1 127.0.0.1").arg(writeCommunity()),
        // Objects given here become read-only, so sysContact stays out to
        // remain writable.
        QStringLiteral("sysLocation %1").arg(location()),
        // Without it snmpd has no sysServices.0 at all.
        QStringLiteral("sysServices 72"),
        QStringLiteral("proc tavo-no-such-process"),
        // A threshold of 0 switches the check off; any negative one is
        // always exceeded.
        QStringLiteral("load -1 -1 -1"),
        QStringLiteral("disk /"),
        // Otherwise every request is logged.
        QStringLiteral("dontLogTCPWrappersConnects yes"),
    };

    QFile file(configPath());
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
        file.write(lines.join(QLatin1Char('\n')).toUtf8() + '\n') > 0;
}

bool SnmpAgent::launch()
{
    if (!m_dir.isValid() || !writeConfig())
        return false;
    m_process = std::make_unique<QProcess>();
    m_process->setProcessEnvironment(netSnmpEnvironment(m_dir));
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->setStandardOutputFile(m_dir.filePath(QStringLiteral("snmpd.log")),
                                     QIODevice::Append);
    // -C: no system configuration; -I -smux: the SMUX port 199 may be held
    // by another agent on this host, which would only add noise.
    m_process->start(snmpd,
                     {QStringLiteral("-f"), QStringLiteral("-Lo"), QStringLiteral("-C"),
                      QStringLiteral("-I"), QStringLiteral("-smux"), QStringLiteral("-c"),
                      configPath(), QStringLiteral("-p"),
                      m_dir.filePath(QStringLiteral("snmpd.pid")),
                      QStringLiteral("udp:127.0.0.1:%1").arg(m_port)});
    return m_process->waitForStarted(startTimeoutMs);
}

bool SnmpAgent::waitUntilAnswering()
{
    QElapsedTimer timer;
    timer.start();
    const QByteArray ownPid = QByteArray::number(m_process->processId());
    QFile pidFile(m_dir.filePath(QStringLiteral("snmpd.pid")));
    while (timer.elapsed() < startTimeoutMs) {
        // snmpd exits when the port is taken, but until it has, another
        // agent holding the port could answer; snmpd writes its pid file
        // only once its own port is open.
        if (m_process->waitForFinished(0) || m_process->state() == QProcess::NotRunning)
            return false;
        bool own = false;
        if (pidFile.open(QIODevice::ReadOnly)) {
            own = pidFile.readAll().trimmed() == ownPid;
            pidFile.close();
        }
        QByteArray out;
        if (own &&
            runTool(QStringLiteral("snmpget"),
                    {QStringLiteral("-t"), QStringLiteral("0.3"), QStringLiteral("-r"),
                     QStringLiteral("0"), QStringLiteral("-Oqvt")},
                    sysUpTime, out))
            return true;
        m_process->waitForFinished(100);
    }
    return false;
}

bool SnmpAgent::start()
{
    stop();
    for (int attempt = 0; attempt < startAttempts; ++attempt) {
        m_port = freeUdpPort();
        if (m_port != 0 && launch() && waitUntilAnswering())
            return true;
        kill();
    }
    m_port = 0;
    return false;
}

bool SnmpAgent::restart()
{
    if (m_port == 0)
        return false;
    stop();
    if (launch() && waitUntilAnswering())
        return true;
    kill();
    return false;
}

void SnmpAgent::stop()
{
    if (isRunning()) {
        m_process->terminate();
        m_process->waitForFinished(5000);
    }
    kill();
}

void SnmpAgent::kill()
{
    if (isRunning()) {
        m_process->kill();
        m_process->waitForFinished(5000);
    }
    m_process.reset();
}

QByteArray SnmpAgent::log() const
{
    QFile file(m_dir.filePath(QStringLiteral("snmpd.log")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool SnmpAgent::runTool(const QString& program, const QStringList& options, const QString& oid,
                        QByteArray& out) const
{
    QProcess tool;
    tool.setProcessEnvironment(netSnmpEnvironment(m_dir));
    tool.start(program,
               QStringList {QStringLiteral("-v2c"), QStringLiteral("-c"), readCommunity(),
                            QStringLiteral("-On")} +
                   options + QStringList {address(), oid});
    if (!tool.waitForFinished(toolTimeoutMs)) {
        tool.kill();
        tool.waitForFinished(toolTimeoutMs);
        return false;
    }
    out = tool.readAllStandardOutput();
    return tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
}

QString SnmpAgent::getText(const QString& oid) const
{
    QByteArray out;
    if (!runTool(QStringLiteral("snmpget"), {QStringLiteral("-Oqvt")}, oid, out))
        return QString();
    const QString value = QString::fromUtf8(out).trimmed();
    if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
        return value.mid(1, value.size() - 2);
    return value;
}

QStringList SnmpAgent::walk(const QString& oid) const
{
    QByteArray out;
    QStringList lines;
    if (!runTool(QStringLiteral("snmpwalk"), {QStringLiteral("-Oqt")}, oid, out))
        return lines;
    for (const QByteArray& line : out.split('\n')) {
        const QString text = QString::fromUtf8(line).trimmed();
        if (!text.isEmpty())
            lines.append(text);
    }
    return lines;
}
