#include "pg_server.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QStandardPaths>
#include <QTcpServer>
#include <QVersionNumber>

#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

const char serverUserName[] = "postgres";
const int initdbTimeoutMs = 60000;
const int readyTimeoutMs = 15000;
const int toolTimeoutMs = 10000;
const int stopTimeoutMs = 15000;
const int killTimeoutMs = 5000;
const int startAttempts = 3;

bool isRoot()
{
    return ::geteuid() == 0;
}

QString runuserPath()
{
    // /usr/sbin is not on every PATH.
    const QString found = QStandardPaths::findExecutable(QStringLiteral("runuser"));
    if (!found.isEmpty())
        return found;
    return QStandardPaths::findExecutable(QStringLiteral("runuser"),
                                          {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
}

bool hasServerPrograms(const QDir& dir)
{
    for (const char* tool : {"initdb", "postgres", "pg_ctl", "pg_isready", "createdb"}) {
        if (!QFileInfo(dir.filePath(QLatin1String(tool))).isExecutable())
            return false;
    }
    return true;
}

quint16 freeTcpPort()
{
    QTcpServer server;
    if (!server.listen(QHostAddress(QHostAddress::LocalHost), 0))
        return 0;
    return server.serverPort();
}

bool giveToServerUser(const QString& path, mode_t mode)
{
    if (!isRoot())
        return true;
    const passwd* user = ::getpwnam(serverUserName);
    if (!user)
        return false;
    const QByteArray native = QFile::encodeName(path);
    return ::chown(native.constData(), user->pw_uid, user->pw_gid) == 0 &&
        ::chmod(native.constData(), mode) == 0;
}

} // namespace

PgServer::PgServer()
    : m_dir(QDir::tempPath() + QStringLiteral("/tavo-pg-XXXXXX"))
    , m_binDir(binDir())
{
    // The server user must reach its folders inside this root-owned one.
    QFile::setPermissions(m_dir.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                              QFileDevice::ExeGroup | QFileDevice::ExeOther);
}

PgServer::~PgServer()
{
    stop();
}

QString PgServer::binDir()
{
    QVersionNumber newest;
    QString found;
    const QDir versions(QStringLiteral("/usr/lib/postgresql"));
    const QStringList names = versions.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        const QVersionNumber version = QVersionNumber::fromString(name);
        const QDir bin(versions.filePath(name + QStringLiteral("/bin")));
        if (!version.isNull() && version > newest && hasServerPrograms(bin)) {
            newest = version;
            found = bin.path();
        }
    }
    if (!found.isEmpty())
        return found;
    const QString initdb = QStandardPaths::findExecutable(QStringLiteral("initdb"));
    if (!initdb.isEmpty() && hasServerPrograms(QFileInfo(initdb).dir()))
        return QFileInfo(initdb).path();
    return QString();
}

bool PgServer::available()
{
    if (binDir().isEmpty())
        return false;
    return !isRoot() || (::getpwnam(serverUserName) && !runuserPath().isEmpty());
}

QString PgServer::url(const QString& database) const
{
    return QStringLiteral("postgresql://%1@%2:%3/%4").arg(user(), host()).arg(m_port).arg(database);
}

QString PgServer::dataDir() const
{
    return m_dir.filePath(QStringLiteral("data"));
}

QString PgServer::socketDir() const
{
    // Short: a socket path may not exceed about 100 bytes.
    return m_dir.filePath(QStringLiteral("s"));
}

bool PgServer::isRunning() const
{
    return m_server.state() != QProcess::NotRunning;
}

void PgServer::note(const QString& text)
{
    m_notes += QStringLiteral("[PgServer] ") + text + QLatin1Char('\n');
}

QString PgServer::log() const
{
    QFile serverLog(m_dir.filePath(QStringLiteral("server.log")));
    QString text = m_notes;
    if (serverLog.open(QIODevice::ReadOnly))
        text += QString::fromLocal8Bit(serverLog.readAll());
    return text;
}

void PgServer::serverUserCommand(const QString& tool, const QStringList& arguments,
                                 QString* program, QStringList* commandLine) const
{
    const QString path = QDir(m_binDir).filePath(tool);
    if (isRoot()) {
        *program = runuserPath();
        *commandLine = QStringList {QStringLiteral("-u"), QLatin1String(serverUserName),
                                    QStringLiteral("--"), path} +
            arguments;
    } else {
        *program = path;
        *commandLine = arguments;
    }
}

bool PgServer::run(const QString& program, const QStringList& arguments, int timeoutMs)
{
    QProcess process;
    // The server user may not be allowed into our working directory.
    process.setWorkingDirectory(m_dir.path());
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const QString shown = program + QLatin1Char(' ') + arguments.join(QLatin1Char(' '));
    if (!process.waitForFinished(timeoutMs)) {
        note(QStringLiteral("%1: %2").arg(shown, process.errorString()));
        process.kill();
        process.waitForFinished(killTimeoutMs);
        return false;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        note(QStringLiteral("%1: exit code %2\n%3")
                 .arg(shown)
                 .arg(process.exitCode())
                 .arg(QString::fromLocal8Bit(process.readAll())));
        return false;
    }
    return true;
}

bool PgServer::runAsServerUser(const QString& tool, const QStringList& arguments, int timeoutMs)
{
    QString program;
    QStringList commandLine;
    serverUserCommand(tool, arguments, &program, &commandLine);
    return run(program, commandLine, timeoutMs);
}

bool PgServer::runClient(const QString& tool, const QStringList& arguments, int timeoutMs)
{
    return run(QDir(m_binDir).filePath(tool), arguments, timeoutMs);
}

bool PgServer::prepareCluster()
{
    if (m_clusterMade)
        return true;
    if (!QDir().mkpath(dataDir()) || !QDir().mkpath(socketDir()) ||
        !giveToServerUser(dataDir(), 0700) ||
        // Clients of any user may reach the socket.
        !giveToServerUser(socketDir(), 0711)) {
        note(QStringLiteral("cannot prepare the folders in %1 for the user %2")
                 .arg(m_dir.path(), QLatin1String(serverUserName)));
        return false;
    }
    // No locale: initdb fails on one the system has not generated, and the C
    // order is the same everywhere. No sync: the cluster dies with the test.
    m_clusterMade = runAsServerUser(QStringLiteral("initdb"),
                                    {QStringLiteral("-D"), dataDir(), QStringLiteral("-A"),
                                     QStringLiteral("trust"), QStringLiteral("-U"), user(),
                                     QStringLiteral("-E"), QStringLiteral("UTF8"),
                                     QStringLiteral("--no-locale"), QStringLiteral("--no-sync")},
                                    initdbTimeoutMs);
    return m_clusterMade;
}

bool PgServer::start()
{
    if (isRunning())
        return true;
    if (m_binDir.isEmpty() || !available()) {
        note(QStringLiteral("the PostgreSQL server programs are not installed"));
        return false;
    }
    if (!m_dir.isValid()) {
        note(QStringLiteral("no temporary directory: %1").arg(m_dir.errorString()));
        return false;
    }
    const bool fresh = !m_clusterMade;
    if (!prepareCluster())
        return false;
    bool started = false;
    // The free port found may be taken by someone else before the server
    // binds it; another one is tried then.
    for (int attempt = 0; attempt < startAttempts && !started; ++attempt)
        started = launch();
    if (!started)
        return false;
    if (fresh &&
        !runClient(QStringLiteral("createdb"),
                   {QStringLiteral("-h"), host(), QStringLiteral("-p"), QString::number(m_port),
                    QStringLiteral("-U"), user(), database()},
                   toolTimeoutMs)) {
        stop();
        return false;
    }
    return true;
}

bool PgServer::launch()
{
    const quint16 port = freeTcpPort();
    if (port == 0) {
        note(QStringLiteral("no free TCP port on 127.0.0.1"));
        return false;
    }
    QString program;
    QStringList commandLine;
    // -F: no fsync, the cluster dies with the test.
    serverUserCommand(QStringLiteral("postgres"),
                      {QStringLiteral("-D"), dataDir(), QStringLiteral("-k"), socketDir(),
                       QStringLiteral("-h"), host(), QStringLiteral("-p"), QString::number(port),
                       QStringLiteral("-F")},
                      &program, &commandLine);
    m_server.setWorkingDirectory(m_dir.path());
    m_server.setProcessChannelMode(QProcess::MergedChannels);
    m_server.setStandardOutputFile(m_dir.filePath(QStringLiteral("server.log")), QIODevice::Append);
    m_server.start(program, commandLine);
    if (!m_server.waitForStarted(toolTimeoutMs)) {
        note(QStringLiteral("%1 did not start: %2").arg(program, m_server.errorString()));
        return false;
    }
    m_port = port;
    if (!waitUntilReady()) {
        stop();
        return false;
    }
    return true;
}

qint64 PgServer::postmasterPid() const
{
    QFile pidFile(QDir(dataDir()).filePath(QStringLiteral("postmaster.pid")));
    if (!pidFile.open(QIODevice::ReadOnly))
        return 0;
    return pidFile.readLine().trimmed().toLongLong();
}

bool PgServer::waitUntilReady()
{
    const QDeadlineTimer deadline(readyTimeoutMs);
    while (!deadline.hasExpired()) {
        if (m_server.state() == QProcess::NotRunning) {
            note(QStringLiteral("the server on port %1 exited with code %2")
                     .arg(m_port)
                     .arg(m_server.exitCode()));
            return false;
        }
        // Through the socket in our own folder: on the TCP port, another
        // server that took it meanwhile could answer instead.
        QProcess probe;
        probe.start(QDir(m_binDir).filePath(QStringLiteral("pg_isready")),
                    {QStringLiteral("-q"), QStringLiteral("-h"), socketDir(), QStringLiteral("-p"),
                     QString::number(m_port), QStringLiteral("-U"), user(), QStringLiteral("-d"),
                     QStringLiteral("postgres")});
        if (probe.waitForFinished(toolTimeoutMs) && probe.exitStatus() == QProcess::NormalExit &&
            probe.exitCode() == 0)
            return true;
        probe.kill();
        probe.waitForFinished(killTimeoutMs);
        // A pause between probes that ends at once when the server exits.
        m_server.waitForFinished(100);
    }
    note(QStringLiteral("the server on port %1 took no connections within %2 ms")
             .arg(m_port)
             .arg(readyTimeoutMs));
    return false;
}

void PgServer::stop()
{
    if (!isRunning())
        return;
    // As root the child is runuser, which passes no SIGKILL on; the
    // postmaster's own pid is in its lock file, gone once it has stopped.
    const qint64 pid = postmasterPid();
    // pg_ctl signals the postmaster by its lock file: runuser in between
    // would not pass every signal on.
    runAsServerUser(QStringLiteral("pg_ctl"),
                    {QStringLiteral("stop"), QStringLiteral("-D"), dataDir(), QStringLiteral("-m"),
                     QStringLiteral("fast"), QStringLiteral("-w"), QStringLiteral("-t"),
                     QString::number(stopTimeoutMs / 1000)},
                    stopTimeoutMs + toolTimeoutMs);
    if (!m_server.waitForFinished(killTimeoutMs)) {
        note(QStringLiteral("the server did not stop; killed"));
        if (pid > 0)
            ::kill(pid_t(pid), SIGKILL);
        m_server.kill();
        m_server.waitForFinished(killTimeoutMs);
    }
}
