// The PostgreSQL test server's own life: what the history tests on
// PostgreSQL rely on beyond start().

#include "pg_server.h"
#include "sql_connection.h"

#include <QTcpSocket>
#include <QtTest>

namespace {

std::unique_ptr<SqlConnection> connectTo(const PgServer& server)
{
    return std::make_unique<SqlConnection>(QStringLiteral("QPSQL"), PgServer::database(),
                                           PgServer::host(), server.port(), PgServer::user());
}

} // namespace

class TestPgServer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void restartKeepsTheData();
    void destructorStopsTheServer();
};

void TestPgServer::initTestCase()
{
    if (!PgServer::available())
        QSKIP("The PostgreSQL server is not installed (scripts/install-deps installs postgresql).");
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        QSKIP(
            "Qt's QPSQL driver is not installed (scripts/install-deps installs libqt5sql5-psql).");
}

void TestPgServer::restartKeepsTheData()
{
    PgServer server;
    QVERIFY2(server.start(), qPrintable(server.log()));
    {
        auto before = connectTo(server);
        QVERIFY2(before->exec(QStringLiteral("CREATE TABLE kept (value TEXT)")),
                 qPrintable(before->error()));
        QVERIFY2(before->exec(QStringLiteral("INSERT INTO kept VALUES ('still here')")),
                 qPrintable(before->error()));
    }
    server.stop();
    QVERIFY(!server.isRunning());
    QVERIFY(!connectTo(server)->isOpen());

    QVERIFY2(server.start(), qPrintable(server.log()));
    QCOMPARE(connectTo(server)->value(QStringLiteral("SELECT value FROM kept")).toString(),
             QStringLiteral("still here"));
}

void TestPgServer::destructorStopsTheServer()
{
    quint16 port = 0;
    {
        PgServer server;
        QVERIFY2(server.start(), qPrintable(server.log()));
        port = server.port();
    }
    QTcpSocket socket;
    socket.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
    QVERIFY(!socket.waitForConnected(5000));
    QCOMPARE(socket.error(), QAbstractSocket::ConnectionRefusedError);
}

QTEST_GUILESS_MAIN(TestPgServer)
#include "tst_pg_server.moc"
