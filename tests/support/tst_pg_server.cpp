// The PostgreSQL test server and Qt's QPSQL driver against it: what the
// history tests on PostgreSQL rely on.

#include "pg_server.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

namespace {

/// A named QPSQL connection, removed again when it goes out of scope.
class Connection
{
public:
    Connection(const PgServer& server, const QString& name, const QString& host = PgServer::host())
        : m_name(name)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(host);
        db.setPort(server.port());
        db.setUserName(PgServer::user());
        db.setDatabaseName(PgServer::database());
    }
    ~Connection()
    {
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    QSqlDatabase db() const { return QSqlDatabase::database(m_name, false); }
    bool open() { return db().open(); }
    QString error() const { return db().lastError().text(); }

    /// The one value of @p sql, invalid on failure.
    QVariant scalar(const QString& sql) const
    {
        QSqlQuery query(db());
        if (!query.exec(sql) || !query.next())
            return QVariant();
        return query.value(0);
    }

private:
    QString m_name;
};

bool exec(const QSqlDatabase& db, const QString& sql, QString* error)
{
    QSqlQuery query(db);
    if (query.exec(sql))
        return true;
    *error = sql + QStringLiteral(": ") + query.lastError().text();
    return false;
}

} // namespace

class TestPgServer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void urlNamesThePort();
    void tableRoundTrip();
    void committedRowsAreSharedBetweenConnections();
    void unixSocketTakesConnections();
    void restartKeepsTheData();
    void destructorStopsTheServer();
    void cleanupTestCase();

private:
    std::unique_ptr<PgServer> m_server;
};

void TestPgServer::initTestCase()
{
    if (!PgServer::available())
        QSKIP("The PostgreSQL server is not installed (scripts/install-deps installs postgresql).");
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        QSKIP(
            "Qt's QPSQL driver is not installed (scripts/install-deps installs libqt5sql5-psql).");
    m_server = std::make_unique<PgServer>();
    QVERIFY2(m_server->start(), qPrintable(m_server->log()));
    QVERIFY(m_server->isRunning());
}

void TestPgServer::urlNamesThePort()
{
    QVERIFY(m_server->port() != 0);
    QCOMPARE(m_server->url(),
             QStringLiteral("postgresql://tavo@127.0.0.1:%1/tavo").arg(m_server->port()));
}

void TestPgServer::tableRoundTrip()
{
    Connection connection(*m_server, QStringLiteral("roundtrip"));
    QVERIFY2(connection.open(), qPrintable(connection.error()));
    QString error;
    QVERIFY2(exec(connection.db(),
                  QStringLiteral("CREATE TABLE roundtrip (id BIGSERIAL PRIMARY KEY, "
                                 "at BIGINT NOT NULL, label TEXT NOT NULL)"),
                  &error),
             qPrintable(error));

    // Cyrillic, to see that the UTF-8 cluster and the driver agree.
    const QString label = QStringLiteral("Насос 3: авария");
    const qint64 at = Q_INT64_C(1767225600123);
    QSqlQuery insert(connection.db());
    QVERIFY(insert.prepare(QStringLiteral("INSERT INTO roundtrip (at, label) VALUES (?, ?)")));
    insert.addBindValue(at);
    insert.addBindValue(label);
    QVERIFY2(insert.exec(), qPrintable(insert.lastError().text()));

    QSqlQuery select(connection.db());
    QVERIFY2(select.exec(QStringLiteral("SELECT id, at, label FROM roundtrip")),
             qPrintable(select.lastError().text()));
    QVERIFY(select.next());
    QCOMPARE(select.value(0).toLongLong(), Q_INT64_C(1));
    QCOMPARE(select.value(1).toLongLong(), at);
    QCOMPARE(select.value(2).toString(), label);
    QVERIFY(!select.next());
}

void TestPgServer::committedRowsAreSharedBetweenConnections()
{
    Connection a(*m_server, QStringLiteral("a"));
    Connection b(*m_server, QStringLiteral("b"));
    QVERIFY2(a.open(), qPrintable(a.error()));
    QVERIFY2(b.open(), qPrintable(b.error()));
    QString error;
    QVERIFY2(exec(a.db(), QStringLiteral("CREATE TABLE shared (value INTEGER NOT NULL)"), &error),
             qPrintable(error));

    QVERIFY(a.db().transaction());
    QVERIFY2(exec(a.db(), QStringLiteral("INSERT INTO shared VALUES (1)"), &error),
             qPrintable(error));
    QCOMPARE(b.scalar(QStringLiteral("SELECT count(*) FROM shared")).toInt(), 0);
    QVERIFY2(a.db().commit(), qPrintable(a.error()));
    QCOMPARE(b.scalar(QStringLiteral("SELECT count(*) FROM shared")).toInt(), 1);

    QVERIFY2(exec(b.db(), QStringLiteral("INSERT INTO shared VALUES (2)"), &error),
             qPrintable(error));
    QCOMPARE(a.scalar(QStringLiteral("SELECT sum(value) FROM shared")).toInt(), 3);
}

void TestPgServer::unixSocketTakesConnections()
{
    // libpq takes a host that starts with "/" as the folder of the socket.
    Connection connection(*m_server, QStringLiteral("socket"), m_server->socketDir());
    QVERIFY2(connection.open(), qPrintable(connection.error()));
    QCOMPARE(connection.scalar(QStringLiteral("SELECT current_user")).toString(), PgServer::user());
    QCOMPARE(connection.scalar(QStringLiteral("SELECT current_database()")).toString(),
             PgServer::database());
}

void TestPgServer::restartKeepsTheData()
{
    {
        Connection connection(*m_server, QStringLiteral("before"));
        QVERIFY2(connection.open(), qPrintable(connection.error()));
        QString error;
        QVERIFY2(exec(connection.db(), QStringLiteral("CREATE TABLE kept (value TEXT)"), &error),
                 qPrintable(error));
        QVERIFY2(
            exec(connection.db(), QStringLiteral("INSERT INTO kept VALUES ('still here')"), &error),
            qPrintable(error));
    }
    m_server->stop();
    QVERIFY(!m_server->isRunning());
    {
        Connection refused(*m_server, QStringLiteral("stopped"));
        QVERIFY(!refused.open());
    }

    QVERIFY2(m_server->start(), qPrintable(m_server->log()));
    Connection connection(*m_server, QStringLiteral("after"));
    QVERIFY2(connection.open(), qPrintable(connection.error()));
    QCOMPARE(connection.scalar(QStringLiteral("SELECT value FROM kept")).toString(),
             QStringLiteral("still here"));
}

void TestPgServer::destructorStopsTheServer()
{
    quint16 port = 0;
    {
        PgServer server;
        QVERIFY2(server.start(), qPrintable(server.log()));
        port = server.port();
        QVERIFY(port != m_server->port());
    }
    QTcpSocket socket;
    socket.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
    QVERIFY(!socket.waitForConnected(5000));
    QCOMPARE(socket.error(), QAbstractSocket::ConnectionRefusedError);
}

void TestPgServer::cleanupTestCase()
{
    if (!m_server)
        return;
    m_server->stop();
    QVERIFY(!m_server->isRunning());
}

QTEST_GUILESS_MAIN(TestPgServer)
#include "tst_pg_server.moc"
