// The history shared in PostgreSQL: two stores stand for two clients on one
// database, against a real server of the test's own. CTest runs this under
// pg_virtualenv (postgresql-common), which makes a throw-away cluster on a
// free port and names it in PGPORT, PGUSER and PGPASSWORD.

#include "history/history_store.h"
#include "history_records.h"
#include "sql_connection.h"
#include "testlog.h"

#include <QDateTime>
#include <QSignalSpy>
#include <QUrl>
#include <QtTest>

#include <memory>

namespace {

const int seenElsewhereTimeoutMs = 10000;

QString serverSetting(const char* name)
{
    return QString::fromLocal8Bit(qgetenv(name));
}

} // namespace

class TstHistoryPostgres : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void schemaIsCreatedOnce();
    void recordsWrittenByOneAreQueriedByTheOther();
    void acknowledgementIsSeenByTheOther();

private:
    /// A database of the current test function's own, empty.
    QString freshDatabaseUrl();
    std::unique_ptr<SqlConnection> connectTo(const QString& database) const
    {
        // The password comes to libpq from PGPASSWORD.
        return std::make_unique<SqlConnection>(QStringLiteral("QPSQL"), database,
                                               QStringLiteral("127.0.0.1"), m_port,
                                               serverSetting("PGUSER"));
    }
    QString failureText(const QString& error) const;

    int m_port = 0;
    TestLog m_log;
    std::unique_ptr<LogInstaller> m_logInstaller;
    QString m_database;
    int m_databases = 0;
};

void TstHistoryPostgres::initTestCase()
{
    m_port = serverSetting("PGPORT").toInt();
    if (m_port <= 0)
        QSKIP("No PostgreSQL server: run this under pg_virtualenv, as ctest does.");
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        QSKIP(
            "Qt's QPSQL driver is not installed (scripts/install-deps installs libqt5sql5-psql).");
    m_logInstaller = std::make_unique<LogInstaller>(&m_log);
}

void TstHistoryPostgres::init()
{
    m_log.clear();
}

void TstHistoryPostgres::cleanup()
{
    // Writes and refreshes run on timers; their SQL errors only reach the log.
    QVERIFY2(m_log.errors().isEmpty(), qPrintable(m_log.errors().join(QLatin1Char('\n'))));
}

void TstHistoryPostgres::cleanupTestCase()
{
    m_logInstaller.reset();
}

QString TstHistoryPostgres::freshDatabaseUrl()
{
    m_database = QStringLiteral("history_%1").arg(++m_databases);
    const auto admin = connectTo(QStringLiteral("postgres"));
    if (!admin->exec(QStringLiteral("CREATE DATABASE %1").arg(m_database)))
        return QString();
    QUrl url;
    url.setScheme(QStringLiteral("postgresql"));
    url.setUserName(serverSetting("PGUSER"));
    url.setPassword(serverSetting("PGPASSWORD"));
    url.setHost(QStringLiteral("127.0.0.1"));
    url.setPort(m_port);
    url.setPath(QLatin1Char('/') + m_database);
    return url.toString();
}

QString TstHistoryPostgres::failureText(const QString& error) const
{
    return error + QLatin1Char('\n') + m_log.errors().join(QLatin1Char('\n'));
}

void TstHistoryPostgres::schemaIsCreatedOnce()
{
    const QString url = freshDatabaseUrl();
    QVERIFY(!url.isEmpty());
    QString error;
    HistoryStore first;
    QVERIFY2(first.open(url, &error), qPrintable(failureText(error)));
    QVERIFY(first.isShared());
    first.record(rec(HistoryRecord::StateChange, QDateTime::currentMSecsSinceEpoch(), 1,
                     QStringLiteral("temp"), 3, QStringLiteral("before the second open")));
    QVERIFY(first.flush());

    const auto raw = connectTo(m_database);
    QVERIFY2(raw->isOpen(), qPrintable(raw->error()));
    const QString versionSql =
        QStringLiteral("SELECT value FROM meta WHERE name = 'schema_version'");
    QCOMPARE(raw->value(versionSql).toString(), QString::number(HistoryStore::SchemaVersion));
    // A migration rewrites the version row and a re-creation makes new
    // tables: the row's transaction id and the tables' oids would change.
    const QString versionRowSql =
        QStringLiteral("SELECT xmin::text FROM meta WHERE name = 'schema_version'");
    const QString tablesSql =
        QStringLiteral("SELECT string_agg(c.oid::text || ':' || c.relname, ',' ORDER BY c.relname) "
                       "FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
                       "WHERE n.nspname = 'public' AND c.relkind = 'r'");
    const QString versionRow = raw->value(versionRowSql).toString();
    const QString tables = raw->value(tablesSql).toString();
    QVERIFY(!versionRow.isEmpty());
    QVERIFY2(tables.contains(QLatin1String(":history")) &&
                 tables.contains(QLatin1String(":meta")) &&
                 tables.contains(QLatin1String(":active_alarms")),
             qPrintable(tables));

    HistoryStore second;
    QVERIFY2(second.open(url, &error), qPrintable(failureText(error)));
    QVERIFY(second.setAsidePath().isEmpty());
    QCOMPARE(raw->value(versionRowSql).toString(), versionRow);
    QCOMPARE(raw->value(tablesSql).toString(), tables);
    QCOMPARE(raw->value(QStringLiteral("SELECT count(*) FROM meta")).toInt(), 1);
    QCOMPARE(textsOf(second.query(HistoryFilter())),
             QStringList {QStringLiteral("before the second open")});
}

void TstHistoryPostgres::recordsWrittenByOneAreQueriedByTheOther()
{
    const QString url = freshDatabaseUrl();
    QVERIFY(!url.isEmpty());
    QString error;
    HistoryStore writer;
    HistoryStore reader;
    QVERIFY2(writer.open(url, &error), qPrintable(failureText(error)));
    QVERIFY2(reader.open(url, &error), qPrintable(failureText(error)));

    const qint64 t0 = QDateTime::currentMSecsSinceEpoch() - 10000;
    HistoryRecord write =
        rec(HistoryRecord::Write, t0 + 1000, 2, QStringLiteral("gain"), 0, QStringLiteral("12"));
    write.oldText = QStringLiteral("10");
    write.user = QStringLiteral("иванов");
    writer.record(rec(HistoryRecord::StateChange, t0, 1, QStringLiteral("temp"), 3,
                      QStringLiteral("перегрев")));
    writer.record(write);
    writer.record(rec(HistoryRecord::Connected, t0 + 2000, 1, QString(), -1, QStringLiteral("up")));
    QSignalSpy written(&writer, &HistoryStore::recordsWritten);
    QVERIFY(writer.flush());
    QCOMPARE(written.count(), 1);
    QCOMPARE(written.at(0).at(0).toInt(), 3);

    QCOMPARE(reader.recordCount(), Q_INT64_C(3));
    const QList<HistoryRecord> all = reader.query(HistoryFilter());
    QCOMPARE(
        textsOf(all),
        (QStringList {QStringLiteral("up"), QStringLiteral("12"), QStringLiteral("перегрев")}));
    QVERIFY(all.at(1).id > 0);
    QCOMPARE(fieldsOf(all.at(1)), fieldsOf(write));
    QCOMPARE(textsOf(reader.query(kinds({HistoryRecord::Write}))),
             QStringList {QStringLiteral("12")});
    HistoryFilter host1;
    host1.hostKey = 1;
    host1.fromMs = t0 + 1;
    QCOMPARE(textsOf(reader.query(host1)), QStringList {QStringLiteral("up")});

    // The other way round; the ids of both clients come from one sequence.
    reader.record(
        rec(HistoryRecord::Disconnected, t0 + 3000, 1, QString(), -1, QStringLiteral("down")));
    QVERIFY(reader.flush());
    const QList<HistoryRecord> seen = writer.query(HistoryFilter());
    QCOMPARE(textsOf(seen),
             (QStringList {QStringLiteral("down"), QStringLiteral("up"), QStringLiteral("12"),
                           QStringLiteral("перегрев")}));
    QVERIFY(seen.at(0).id > seen.at(1).id);
}

void TstHistoryPostgres::acknowledgementIsSeenByTheOther()
{
    const QString url = freshDatabaseUrl();
    QVERIFY(!url.isEmpty());
    QString error;
    HistoryStore operatorA;
    HistoryStore operatorB;
    QVERIFY2(operatorA.open(url, &error), qPrintable(failureText(error)));
    QVERIFY2(operatorB.open(url, &error), qPrintable(failureText(error)));
    // Each client only learns of the other's changes by re-reading.
    QVERIFY(operatorB.refreshInterval() > 0);
    QSignalSpy changedInB(&operatorB, &HistoryStore::activeAlarmsChanged);

    operatorA.record(tempState(QDateTime::currentMSecsSinceEpoch(), 1, 3));
    QVERIFY(operatorA.flush());
    QTRY_COMPARE_WITH_TIMEOUT(changedInB.count(), 1, seenElsewhereTimeoutMs);
    QList<ActiveAlarm> alarms = operatorB.activeAlarms();
    QCOMPARE(alarms.size(), 1);
    QVERIFY(!alarms.at(0).acknowledged);
    const qint64 id = operatorA.activeAlarms().at(0).id;
    QCOMPARE(alarms.at(0).id, id);

    QVERIFY2(
        operatorA.acknowledge(id, QStringLiteral("петров"), QStringLiteral("fan replaced"), &error),
        qPrintable(failureText(error)));
    QTRY_COMPARE_WITH_TIMEOUT(changedInB.count(), 2, seenElsewhereTimeoutMs);
    alarms = operatorB.activeAlarms();
    QCOMPARE(alarms.size(), 1);
    QVERIFY(alarms.at(0).acknowledged);
    QCOMPARE(alarms.at(0).ackUser, QStringLiteral("петров"));
    QCOMPARE(alarms.at(0).ackComment, QStringLiteral("fan replaced"));
    QCOMPARE(alarms.at(0).ackState, 3);
    QVERIFY(alarms.at(0).ackTimeMs > 0);

    const QList<HistoryRecord> records = operatorB.query(kinds({HistoryRecord::Acknowledged}));
    QCOMPARE(records.size(), 1);
    QCOMPARE(records.at(0).user, QStringLiteral("петров"));
}

QTEST_GUILESS_MAIN(TstHistoryPostgres)
#include "tst_history_postgres.moc"
