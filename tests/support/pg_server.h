#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

/**
 * A real PostgreSQL server (Debian's postgresql package) of its own: a
 * cluster made by initdb in a temporary directory, listening on a free
 * 127.0.0.1 port and on a Unix socket in that directory, with trust
 * authentication for the user "tavo" and a database "tavo".
 *
 * PostgreSQL refuses to run as root; run as root, the server programs run
 * as the "postgres" system user through runuser, and the cluster's
 * directories belong to that user.
 *
 * Every wait is bounded; the destructor stops the server. start() after
 * stop() starts the same cluster again, its data kept.
 */
class PgServer
{
public:
    PgServer();
    ~PgServer();
    PgServer(const PgServer&) = delete;
    PgServer& operator=(const PgServer&) = delete;

    /// Whether the server programs (and, as root, the user to run them as)
    /// are there.
    static bool available();
    /// The folder of initdb, postgres and pg_ctl: the newest version under
    /// /usr/lib/postgresql, else the PATH; empty when there are none.
    static QString binDir();

    /// Makes the cluster on the first call, starts the server on a free port
    /// and waits, at most about 15 s, until it takes connections.
    bool start();
    /// A fast shutdown (open sessions are ended); SIGKILL if it takes longer
    /// than about 15 s.
    void stop();
    bool isRunning() const;

    /// 0 until the first successful start().
    quint16 port() const { return m_port; }
    static QString host() { return QStringLiteral("127.0.0.1"); }
    static QString user() { return QStringLiteral("tavo"); }
    static QString database() { return QStringLiteral("tavo"); }
    /// "postgresql://tavo@127.0.0.1:<port>/<database>"
    QString url(const QString& database = PgServer::database()) const;

    /// What the harness noted and the server logged so far, for failure
    /// messages.
    QString log() const;

private:
    bool prepareCluster();
    bool launch();
    bool waitUntilReady();
    /// From the server's lock file; 0 when there is none.
    qint64 postmasterPid() const;
    /// A server program, run as the unprivileged user when we are root.
    bool runAsServerUser(const QString& tool, const QStringList& arguments, int timeoutMs);
    /// A client program, run as we are.
    bool runClient(const QString& tool, const QStringList& arguments, int timeoutMs);
    bool run(const QString& program, const QStringList& arguments, int timeoutMs);
    void serverUserCommand(const QString& tool, const QStringList& arguments, QString* program,
                           QStringList* commandLine) const;
    QString dataDir() const;
    QString socketDir() const;
    void note(const QString& text);

    QTemporaryDir m_dir;
    QProcess m_server;
    QString m_binDir;
    QString m_notes;
    quint16 m_port = 0;
    bool m_clusterMade = false;
};
