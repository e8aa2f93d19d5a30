#include "history/history_store.h"

#include "foundation/log_p.h"

#include <QAtomicInt>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>
#include <QVariant>
#include <QVector>
#include <QWaitCondition>

namespace {

QAtomicInt connectionSerial;

// Everything that differs between the two back ends lives here; the SQL
// elsewhere is written once for both.
struct Dialect
{
    QLatin1String driver;
    /// AUTOINCREMENT keeps ids rising even after retention empties the table.
    QLatin1String idColumn;
    /// PRAGMAs, the quick check and setting a broken file aside.
    bool isFile;
};

const Dialect sqliteDialect {QLatin1String("QSQLITE"),
                             QLatin1String("INTEGER PRIMARY KEY AUTOINCREMENT"), true};
const Dialect postgresDialect {QLatin1String("QPSQL"), QLatin1String("BIGSERIAL PRIMARY KEY"),
                               false};

// Records are kept in memory while the database cannot take them; beyond
// this many the newest are dropped rather than exhaust the memory.
constexpr int MaxQueue = 1000000;
constexpr int RetentionIdleMs = 60000;
constexpr int RetentionBusyMs = 50;
constexpr int RetentionFirstMs = 1000;
// The commit writes every page the batch changed, in one go; at 5,000
// state changes that is about 650 pages and 5 ms, twice that for 10,000.
constexpr int MaxBatchRows = 5000;
// Only a safety net for when the checkpoint thread cannot open the file:
// the writer then checkpoints inside a commit, but the log stays bounded.
constexpr int AutoCheckpointPages = 20000;
constexpr qint64 DayMs = 24 * 60 * 60 * 1000;

// Text columns are NOT NULL: NULLs would never meet in the unique key of
// the active alarms.
QVariant text(const QString& value)
{
    return value.isNull() ? QVariant(QStringLiteral("")) : QVariant(value);
}

bool isPostgresUrl(const QString& location)
{
    return location.startsWith(QLatin1String("postgresql://")) ||
        location.startsWith(QLatin1String("postgres://"));
}

const char historyColumns[] = "id, time_ms, kind, host_key, host_address, host_name, device, "
                              "param, state, old_state, detail, old_detail, user_name";

HistoryRecord recordFrom(const QSqlQuery& q)
{
    HistoryRecord r;
    r.id = q.value(0).toLongLong();
    r.timeMs = q.value(1).toLongLong();
    r.kind = HistoryRecord::Kind(q.value(2).toInt());
    r.hostKey = q.value(3).toInt();
    r.hostAddress = q.value(4).toString();
    r.hostName = q.value(5).toString();
    r.device = q.value(6).toString();
    r.param = q.value(7).toString();
    r.state = q.value(8).toInt();
    r.oldState = q.value(9).toInt();
    r.text = q.value(10).toString();
    r.oldText = q.value(11).toString();
    r.user = q.value(12).toString();
    return r;
}

const char alarmColumns[] = "id, host_key, host_address, host_name, device, param, state, "
                            "since_ms, changed_ms, ack_user, ack_time_ms, ack_comment, ack_state";

ActiveAlarm alarmFrom(const QSqlQuery& q)
{
    ActiveAlarm a;
    a.id = q.value(0).toLongLong();
    a.hostKey = q.value(1).toInt();
    a.hostAddress = q.value(2).toString();
    a.hostName = q.value(3).toString();
    a.device = q.value(4).toString();
    a.param = q.value(5).toString();
    a.state = q.value(6).toInt();
    a.sinceMs = q.value(7).toLongLong();
    a.changedMs = q.value(8).toLongLong();
    a.acknowledged = !q.value(10).isNull();
    a.ackUser = q.value(9).toString();
    a.ackTimeMs = q.value(10).toLongLong();
    a.ackComment = q.value(11).toString();
    a.ackState = q.value(12).isNull() ? -1 : q.value(12).toInt();
    return a;
}

// Copies the write-ahead log into the database file on a connection of its
// own. In the writer's commit, SQLite's automatic checkpoint held the event
// loop for 10-25 ms (1,000 pages copied and two fsyncs); here it runs beside
// it, and a PASSIVE checkpoint never blocks the writer.
class Checkpointer : public QThread
{
public:
    explicit Checkpointer(const QString& path)
        : path(path)
    {
    }
    ~Checkpointer() override { stop(); }

    void request()
    {
        QMutexLocker lock(&mutex);
        requested = true;
        wake.wakeOne();
    }

    void stop()
    {
        {
            QMutexLocker lock(&mutex);
            stopping = true;
            wake.wakeOne();
        }
        wait();
    }

protected:
    void run() override
    {
        const QString name = QStringLiteral("tavo-history-checkpoint-%1")
                                 .arg(connectionSerial.fetchAndAddRelaxed(1));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(sqliteDialect.driver, name);
            db.setDatabaseName(path);
            if (db.open()) {
                QSqlQuery checkpoint(db);
                QMutexLocker lock(&mutex);
                for (;;) {
                    while (!requested && !stopping)
                        wake.wait(&mutex);
                    if (stopping)
                        break;
                    requested = false;
                    lock.unlock();
                    // A failure (a reader in the way, a full disk) leaves the
                    // pages in the log; the next request copies them.
                    checkpoint.exec(QStringLiteral("PRAGMA wal_checkpoint(PASSIVE)"));
                    checkpoint.finish();
                    lock.relock();
                }
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
    }

private:
    const QString path;
    QMutex mutex;
    QWaitCondition wake;
    bool requested = false;
    bool stopping = false;
};

} // namespace

class HistoryStorePrivate
{
public:
    explicit HistoryStorePrivate(HistoryStore* store)
        : q(store)
    {
        flushTimer.setSingleShot(true);
        retentionTimer.setSingleShot(true);
    }

    // Opening.
    bool openSqlite(const QString& path, QString* error);
    bool openPostgres(const QString& url, QString* error);
    bool connect(const QString& path, QString* reason);
    bool configure(QString* reason);
    /// 0 for an empty database, -1 when it cannot be read.
    int readSchemaVersion(QString* reason);
    bool migrate(int from, QString* reason);
    bool createVersion1(QString* reason);
    bool prepareStatements(QString* reason);
    bool setAside(const QString& path, const QString& suffix, QString* movedTo);
    void disconnect();
    void started();

    // Writing.
    bool exec(const QString& sql, QString* reason);
    bool writeSlice(qint64 budgetNs);
    void endBatch();
    void scheduleFlush();
    bool insert(const HistoryRecord& r, QString* reason);
    bool applyStateChange(const HistoryRecord& r, QString* reason);
    void onFlushTimer();
    void onRetentionTimer();
    void onRefreshTimer();
    QByteArray alarmSignature();

    QString fail(const QString& text, QString* error) const
    {
        tavolog::error(text);
        if (error)
            *error = text;
        return text;
    }

    HistoryStore* q;
    const Dialect* dialect = &sqliteDialect;
    QString connectionName;
    QSqlDatabase db;
    QString location;
    /// The location without a password, for messages.
    QString shownLocation;
    QString setAsidePath;
    bool open = false;

    QVector<HistoryRecord> queue;
    /// The open transaction holds queue[0, batchWritten) of queue[0, batchEnd);
    /// batchEnd is 0 when no transaction is open.
    int batchEnd = 0;
    int batchWritten = 0;
    bool batchTouchedAlarms = false;
    /// Since the first record that no open batch holds was queued.
    QElapsedTimer waiting;
    bool writeFailing = false;
    bool dropping = false;
    QTimer flushTimer;
    int flushIntervalMs = 200;
    int sliceBudgetMs = 4;

    QTimer retentionTimer;
    int retentionDays = 90;
    int retentionStepRows = 5000;

    QTimer refreshTimer;
    int refreshIntervalMs = -1; // -1: by the back end
    QByteArray lastSignature;

    std::unique_ptr<QSqlQuery> insertHistory;
    std::unique_ptr<QSqlQuery> upsertAlarm;
    std::unique_ptr<QSqlQuery> deleteAlarm;
    std::unique_ptr<Checkpointer> checkpointer;
};

// ---------------------------------------------------------------------------
// Opening

bool HistoryStorePrivate::exec(const QString& sql, QString* reason)
{
    QSqlQuery query(db);
    if (query.exec(sql))
        return true;
    if (reason)
        *reason = query.lastError().text();
    return false;
}

bool HistoryStorePrivate::connect(const QString& path, QString* reason)
{
    connectionName = QStringLiteral("tavo-history-%1").arg(connectionSerial.fetchAndAddRelaxed(1));
    db = QSqlDatabase::addDatabase(dialect->driver, connectionName);
    db.setDatabaseName(path);
    // A busy file must not hold the event loop: the slice fails and the
    // next timer tick tries again.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=250"));
    if (!db.open()) {
        *reason = db.lastError().text();
        return false;
    }
    QSqlQuery check(db);
    if (!check.exec(QStringLiteral("PRAGMA quick_check"))) {
        *reason = check.lastError().text();
        return false;
    }
    const QString verdict = check.next() ? check.value(0).toString() : QString();
    if (verdict != QLatin1String("ok")) {
        *reason = HistoryStore::tr("the quick check answered '%1'").arg(verdict);
        return false;
    }
    return true;
}

bool HistoryStorePrivate::configure(QString* reason)
{
    QSqlQuery wal(db);
    if (!wal.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !wal.next() ||
        wal.value(0).toString() != QLatin1String("wal")) {
        *reason = HistoryStore::tr("the write-ahead log cannot be enabled: %1")
                      .arg(wal.lastError().text());
        return false;
    }
    wal.finish();
    return exec(QStringLiteral("PRAGMA synchronous=NORMAL"), reason) &&
        exec(QStringLiteral("PRAGMA wal_autocheckpoint=%1").arg(AutoCheckpointPages), reason);
}

int HistoryStorePrivate::readSchemaVersion(QString* reason)
{
    if (!db.tables().contains(QStringLiteral("meta")))
        return 0;
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT value FROM meta WHERE name = 'schema_version'"))) {
        *reason = query.lastError().text();
        return -1;
    }
    if (!query.next())
        return 0;
    bool ok = false;
    const int version = query.value(0).toString().toInt(&ok);
    if (!ok || version < 1) {
        *reason = HistoryStore::tr("the schema version '%1' is not a number")
                      .arg(query.value(0).toString());
        return -1;
    }
    return version;
}

bool HistoryStorePrivate::createVersion1(QString* reason)
{
    const QString id = dialect->idColumn;
    const QString statements[] = {
        QStringLiteral("CREATE TABLE meta (name VARCHAR(64) PRIMARY KEY, value TEXT NOT NULL)"),
        QStringLiteral("CREATE TABLE history (id %1, time_ms BIGINT NOT NULL, "
                       "kind INTEGER NOT NULL, host_key INTEGER NOT NULL, "
                       "host_address TEXT NOT NULL, host_name TEXT NOT NULL, "
                       "device TEXT NOT NULL, param TEXT NOT NULL, state INTEGER NOT NULL, "
                       "old_state INTEGER NOT NULL, detail TEXT NOT NULL, "
                       "old_detail TEXT NOT NULL, user_name TEXT NOT NULL)")
            .arg(id),
        QStringLiteral("CREATE INDEX history_time ON history (time_ms, id)"),
        QStringLiteral("CREATE INDEX history_source ON history (host_key, device, param, time_ms)"),
        QStringLiteral("CREATE TABLE active_alarms (id %1, host_key INTEGER NOT NULL, "
                       "host_address TEXT NOT NULL, host_name TEXT NOT NULL, "
                       "device TEXT NOT NULL, param TEXT NOT NULL, state INTEGER NOT NULL, "
                       "since_ms BIGINT NOT NULL, changed_ms BIGINT NOT NULL, "
                       "ack_user TEXT, ack_time_ms BIGINT, ack_comment TEXT, ack_state INTEGER, "
                       "UNIQUE (host_key, device, param))")
            .arg(id),
    };
    for (const QString& sql : statements) {
        if (!exec(sql, reason))
            return false;
    }
    return true;
}

bool HistoryStorePrivate::migrate(int from, QString* reason)
{
    // Step n turns schema n - 1 into schema n; a version 2 is one more case.
    auto step = [this](int version, QString* why) {
        switch (version) {
        case 1:
            return createVersion1(why);
        default:
            return false;
        }
    };
    static_assert(HistoryStore::SchemaVersion == 1, "one migration step per schema version");
    for (int version = from + 1; version <= HistoryStore::SchemaVersion; ++version) {
        if (!db.transaction()) {
            *reason = db.lastError().text();
            return false;
        }
        // Clients of a shared database may open an empty one at the same
        // moment: one migrates, the others wait for it and find it done.
        if (dialect == &postgresDialect) {
            if (!exec(QStringLiteral("SELECT pg_advisory_xact_lock(7461)"), reason)) {
                db.rollback();
                return false;
            }
            const int now = readSchemaVersion(reason);
            if (now < 0) {
                db.rollback();
                return false;
            }
            if (now >= version) {
                if (!db.commit()) {
                    *reason = db.lastError().text();
                    return false;
                }
                continue;
            }
        }
        const QString value = QString::number(version);
        if (!step(version, reason) ||
            !exec(QStringLiteral("DELETE FROM meta WHERE name = 'schema_version'"), reason) ||
            !exec(QStringLiteral("INSERT INTO meta (name, value) VALUES ('schema_version', '%1')")
                      .arg(value),
                  reason) ||
            !db.commit()) {
            if (reason->isEmpty())
                *reason = db.lastError().text();
            db.rollback();
            return false;
        }
    }
    return true;
}

bool HistoryStorePrivate::prepareStatements(QString* reason)
{
    insertHistory = std::make_unique<QSqlQuery>(db);
    upsertAlarm = std::make_unique<QSqlQuery>(db);
    deleteAlarm = std::make_unique<QSqlQuery>(db);
    // A state more severe (a lower number) than the one acknowledged clears
    // the acknowledgement; an equal or milder one keeps it, as the operator
    // has seen it that bad already. Unacknowledged, ack_state is NULL and the
    // comparison is never true.
    const QString keepOrClear =
        QStringLiteral("%1 = CASE WHEN excluded.state < active_alarms.ack_state THEN NULL "
                       "ELSE active_alarms.%1 END");
    const bool ok =
        insertHistory->prepare(QStringLiteral(
            "INSERT INTO history (time_ms, kind, host_key, host_address, host_name, device, "
            "param, state, old_state, detail, old_detail, user_name) "
            "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")) &&
        upsertAlarm->prepare(
            QStringLiteral(
                "INSERT INTO active_alarms (host_key, host_address, host_name, device, param, "
                "state, since_ms, changed_ms) VALUES (?, ?, ?, ?, ?, ?, ?, ?) "
                "ON CONFLICT (host_key, device, param) DO UPDATE SET "
                "host_address = excluded.host_address, host_name = excluded.host_name, "
                "state = excluded.state, changed_ms = excluded.changed_ms, ") +
            keepOrClear.arg(QLatin1String("ack_user")) + QStringLiteral(", ") +
            keepOrClear.arg(QLatin1String("ack_time_ms")) + QStringLiteral(", ") +
            keepOrClear.arg(QLatin1String("ack_comment")) + QStringLiteral(", ") +
            keepOrClear.arg(QLatin1String("ack_state"))) &&
        deleteAlarm->prepare(QStringLiteral(
            "DELETE FROM active_alarms WHERE host_key = ? AND device = ? AND param = ?"));
    if (!ok) {
        for (const auto* query : {insertHistory.get(), upsertAlarm.get(), deleteAlarm.get()}) {
            if (query->lastError().isValid()) {
                *reason = query->lastError().text();
                break;
            }
        }
    }
    return ok;
}

void HistoryStorePrivate::disconnect()
{
    // Stopped first: the last connection to close checkpoints what is left
    // and removes the log.
    checkpointer.reset();
    insertHistory.reset();
    upsertAlarm.reset();
    deleteAlarm.reset();
    if (db.isValid())
        db.close();
    db = QSqlDatabase();
    if (!connectionName.isEmpty())
        QSqlDatabase::removeDatabase(connectionName);
    connectionName.clear();
    open = false;
}

bool HistoryStorePrivate::setAside(const QString& path, const QString& suffix, QString* movedTo)
{
    const QString stamp =
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    const QString target = path + QLatin1Char('.') + suffix + QLatin1Char('-') + stamp;
    if (!QFile::rename(path, target))
        return false;
    // The journal belongs to the file it was written for.
    for (const QLatin1String companion : {QLatin1String("-wal"), QLatin1String("-shm")}) {
        if (QFile::exists(path + companion))
            QFile::rename(path + companion, target + companion);
    }
    *movedTo = target;
    return true;
}

bool HistoryStorePrivate::openSqlite(const QString& path, QString* error)
{
    dialect = &sqliteDialect;
    shownLocation = path;
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath())) {
        fail(HistoryStore::tr(
                 "[HistoryStore::open()] Cannot create the directory of the history database "
                 "'%1'.")
                 .arg(path),
             error);
        return false;
    }

    QString reason;
    int version = -1;
    if (connect(path, &reason))
        version = readSchemaVersion(&reason);
    // The version is read before anything is changed: a newer file is left
    // exactly as its writer left it.
    if (version >= 0 && version <= HistoryStore::SchemaVersion && configure(&reason) &&
        migrate(version, &reason) && prepareStatements(&reason))
        return true;
    disconnect();

    // What cannot be used is kept for inspection, never overwritten.
    const bool newer = version > HistoryStore::SchemaVersion;
    QString movedTo;
    if (QFile::exists(path)) {
        if (!setAside(path, newer ? QStringLiteral("newer") : QStringLiteral("broken"), &movedTo)) {
            fail(HistoryStore::tr(
                     "[HistoryStore::open()] Cannot move the history database '%1' aside.")
                     .arg(path),
                 error);
            return false;
        }
        setAsidePath = movedTo;
        if (newer)
            tavolog::error(
                HistoryStore::tr("[HistoryStore::open()] The history database '%1' has schema "
                                 "version %2, newer than version %3 that this program knows; it "
                                 "was moved to '%4' and a new one is created.")
                    .arg(path)
                    .arg(version)
                    .arg(HistoryStore::SchemaVersion)
                    .arg(movedTo));
        else
            tavolog::error(
                HistoryStore::tr("[HistoryStore::open()] The history database '%1' cannot be used "
                                 "(%2); it was moved to '%3' and a new one is created.")
                    .arg(path, reason, movedTo));
    }

    reason.clear();
    if (connect(path, &reason) && configure(&reason) && migrate(0, &reason) &&
        prepareStatements(&reason))
        return true;
    disconnect();
    fail(HistoryStore::tr("[HistoryStore::open()] Cannot open the history database '%1': %2")
             .arg(path, reason),
         error);
    return false;
}

bool HistoryStorePrivate::openPostgres(const QString& location, QString* error)
{
    dialect = &postgresDialect;
    const QUrl url(location, QUrl::StrictMode);
    shownLocation = url.toString(QUrl::RemovePassword);
    const QString database = url.path().mid(1);
    if (!url.isValid() || url.host().isEmpty() || database.isEmpty() ||
        database.contains(QLatin1Char('/'))) {
        fail(HistoryStore::tr("[HistoryStore::open()] '%1' is not a PostgreSQL address of the form "
                              "postgresql://user@host:port/database.")
                 .arg(shownLocation),
             error);
        return false;
    }
    if (!QSqlDatabase::isDriverAvailable(dialect->driver)) {
        fail(HistoryStore::tr("[HistoryStore::open()] The SQL driver %1 is not available.")
                 .arg(dialect->driver),
             error);
        return false;
    }
    connectionName = QStringLiteral("tavo-history-%1").arg(connectionSerial.fetchAndAddRelaxed(1));
    db = QSqlDatabase::addDatabase(dialect->driver, connectionName);
    db.setHostName(url.host());
    db.setPort(url.port(5432));
    db.setUserName(url.userName());
    db.setPassword(url.password());
    db.setDatabaseName(database);
    QStringList options;
    const auto items = QUrlQuery(url).queryItems(QUrl::FullyDecoded);
    for (const auto& item : items)
        options << QString(item.first + QLatin1Char('=') + item.second);
    db.setConnectOptions(options.join(QLatin1Char(';')));

    QString reason;
    int version = -1;
    if (!db.open()) {
        reason = db.lastError().text();
    } else {
        version = readSchemaVersion(&reason);
        // A shared database is never moved aside: other clients use it.
        if (version > HistoryStore::SchemaVersion) {
            reason = HistoryStore::tr(
                         "its schema version %1 is newer than version %2 that this program knows")
                         .arg(version)
                         .arg(HistoryStore::SchemaVersion);
            version = -1;
        }
    }
    if (version >= 0 && migrate(version, &reason) && prepareStatements(&reason))
        return true;
    disconnect();
    fail(HistoryStore::tr("[HistoryStore::open()] Cannot open the history database '%1': %2")
             .arg(shownLocation, reason),
         error);
    return false;
}

void HistoryStorePrivate::started()
{
    open = true;
    writeFailing = false;
    lastSignature = alarmSignature();
    if (dialect->isFile) {
        checkpointer = std::make_unique<Checkpointer>(db.databaseName());
        checkpointer->start();
    }
    retentionTimer.start(RetentionFirstMs);
    const int refresh = refreshIntervalMs >= 0 ? refreshIntervalMs : (dialect->isFile ? 0 : 2000);
    if (refresh > 0)
        refreshTimer.start(refresh);
    else
        refreshTimer.stop();
}

// ---------------------------------------------------------------------------
// Writing

bool HistoryStorePrivate::insert(const HistoryRecord& r, QString* reason)
{
    QSqlQuery& s = *insertHistory;
    s.bindValue(0, r.timeMs);
    s.bindValue(1, int(r.kind));
    s.bindValue(2, r.hostKey);
    s.bindValue(3, text(r.hostAddress));
    s.bindValue(4, text(r.hostName));
    s.bindValue(5, text(r.device));
    s.bindValue(6, text(r.param));
    s.bindValue(7, r.state);
    s.bindValue(8, r.oldState);
    s.bindValue(9, text(r.text));
    s.bindValue(10, text(r.oldText));
    s.bindValue(11, text(r.user));
    if (s.exec())
        return true;
    *reason = s.lastError().text();
    return false;
}

bool HistoryStorePrivate::applyStateChange(const HistoryRecord& r, QString* reason)
{
    QSqlQuery* s = nullptr;
    if (r.state < 0) {
        s = deleteAlarm.get();
        s->bindValue(0, r.hostKey);
        s->bindValue(1, text(r.device));
        s->bindValue(2, text(r.param));
    } else {
        s = upsertAlarm.get();
        s->bindValue(0, r.hostKey);
        s->bindValue(1, text(r.hostAddress));
        s->bindValue(2, text(r.hostName));
        s->bindValue(3, text(r.device));
        s->bindValue(4, text(r.param));
        s->bindValue(5, r.state);
        s->bindValue(6, r.timeMs);
        s->bindValue(7, r.timeMs);
    }
    if (s->exec())
        return true;
    *reason = s->lastError().text();
    return false;
}

void HistoryStorePrivate::endBatch()
{
    batchEnd = 0;
    batchWritten = 0;
    batchTouchedAlarms = false;
}

bool HistoryStorePrivate::writeSlice(qint64 budgetNs)
{
    if (!open || queue.isEmpty())
        return true;
    QElapsedTimer clock;
    clock.start();
    QString reason;
    if (batchEnd == 0 && !db.transaction()) {
        reason = db.lastError().text();
    } else {
        // One transaction per batch, left open between slices: a commit
        // writes every page the transaction touched, and every parameter
        // adds at its own place in the history_source index, so a commit
        // per slice of a few hundred rows wrote ten times the pages to the
        // log (and gave the checkpoint ten times the work). The batch is
        // what was queued when it began, so that a steady stream cannot
        // keep the transaction open; flush() takes everything.
        if (batchEnd == 0 || budgetNs == 0) {
            batchEnd = budgetNs == 0 ? queue.size() : qMin(queue.size(), MaxBatchRows);
            // A backlog beyond the batch keeps its age and follows at once.
            if (queue.size() == batchEnd)
                waiting.invalidate();
        }
        int sliceRows = 0;
        while (batchWritten < batchEnd) {
            const HistoryRecord& r = queue.at(batchWritten);
            if (!insert(r, &reason))
                break;
            if (r.kind == HistoryRecord::StateChange) {
                if (!applyStateChange(r, &reason))
                    break;
                batchTouchedAlarms = true;
            }
            ++batchWritten;
            ++sliceRows;
            if (budgetNs > 0 && sliceRows % 16 == 0 && clock.nsecsElapsed() >= budgetNs)
                return true;
        }
        // The commit takes a few milliseconds of its own.
        if (reason.isEmpty() && budgetNs > 0 && sliceRows > 0)
            return true;
        if (reason.isEmpty() && !db.commit())
            reason = db.lastError().text();
        if (reason.isEmpty()) {
            const int written = batchWritten;
            const bool alarmsTouched = batchTouchedAlarms;
            endBatch();
            queue.erase(queue.begin(), queue.begin() + written);
            if (checkpointer)
                checkpointer->request();
            if (writeFailing)
                tavolog::message(
                    HistoryStore::tr("[HistoryStore] The history is written to '%1' again.")
                        .arg(shownLocation));
            writeFailing = false;
            dropping = false;
            Q_EMIT q->recordsWritten(written);
            if (alarmsTouched)
                Q_EMIT q->activeAlarmsChanged();
            return true;
        }
        db.rollback();
        endBatch();
    }
    // The retry is an interval away, not on the next turn of the loop.
    waiting.start();
    // Said once per failing spell, not once per tick.
    if (!writeFailing)
        tavolog::error(HistoryStore::tr("[HistoryStore] Cannot write the history to '%1': %2")
                           .arg(shownLocation, reason));
    writeFailing = true;
    return false;
}

void HistoryStorePrivate::scheduleFlush()
{
    if (batchEnd > 0) {
        flushTimer.start(0);
    } else if (!queue.isEmpty()) {
        // An interval after the oldest waiting record was queued, as when
        // it started the timer itself: a batch per interval, not one for
        // every few records that arrived while the last one was written.
        const qint64 left = flushIntervalMs - (waiting.isValid() ? waiting.elapsed() : 0);
        flushTimer.start(int(qBound<qint64>(0, left, flushIntervalMs)));
    }
}

void HistoryStorePrivate::onFlushTimer()
{
    writeSlice(qint64(sliceBudgetMs) * 1000000);
    scheduleFlush();
}

void HistoryStorePrivate::onRetentionTimer()
{
    const int removed = q->removeExpiredStep();
    retentionTimer.start(removed >= retentionStepRows ? RetentionBusyMs : RetentionIdleMs);
}

QByteArray HistoryStorePrivate::alarmSignature()
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT id, state, ack_time_ms, ack_user FROM active_alarms "
                                   "ORDER BY id")))
        return lastSignature;
    QCryptographicHash hash(QCryptographicHash::Sha1);
    while (query.next()) {
        for (int i = 0; i < 4; ++i) {
            hash.addData(query.value(i).toString().toUtf8());
            hash.addData("|", 1);
        }
    }
    return hash.result();
}

void HistoryStorePrivate::onRefreshTimer()
{
    if (!open)
        return;
    const QByteArray signature = alarmSignature();
    if (signature != lastSignature) {
        lastSignature = signature;
        Q_EMIT q->activeAlarmsChanged();
    }
}

// ---------------------------------------------------------------------------
// HistoryStore

HistoryStore::HistoryStore(QObject* parent)
    : QObject(parent)
    , d(std::make_unique<HistoryStorePrivate>(this))
{
    connect(&d->flushTimer, &QTimer::timeout, this, [this] { d->onFlushTimer(); });
    connect(&d->retentionTimer, &QTimer::timeout, this, [this] { d->onRetentionTimer(); });
    connect(&d->refreshTimer, &QTimer::timeout, this, [this] { d->onRefreshTimer(); });
}

HistoryStore::~HistoryStore()
{
    close();
}

QString HistoryStore::defaultSqlitePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
        QStringLiteral("/tavo-client/history.sqlite");
}

bool HistoryStore::open(const QString& location, QString* error)
{
    close();
    d->location = location;
    d->setAsidePath.clear();
    const bool ok =
        isPostgresUrl(location) ? d->openPostgres(location, error) : d->openSqlite(location, error);
    if (ok)
        d->started();
    return ok;
}

void HistoryStore::close()
{
    if (d->open)
        flush();
    d->flushTimer.stop();
    d->retentionTimer.stop();
    d->refreshTimer.stop();
    d->queue.clear();
    d->endBatch();
    d->disconnect();
}

bool HistoryStore::isOpen() const
{
    return d->open;
}

bool HistoryStore::isShared() const
{
    return d->open && !d->dialect->isFile;
}

QString HistoryStore::location() const
{
    return d->location;
}

QString HistoryStore::setAsidePath() const
{
    return d->setAsidePath;
}

void HistoryStore::record(const HistoryRecord& record)
{
    if (!d->open)
        return;
    if (d->queue.size() >= MaxQueue) {
        if (!d->dropping)
            tavolog::warning(
                HistoryStore::tr("[HistoryStore] The history queue is full (%1 records); new "
                                 "records are dropped until it is written.")
                    .arg(MaxQueue));
        d->dropping = true;
        return;
    }
    if (d->queue.size() == d->batchEnd)
        d->waiting.start();
    d->queue.append(record);
    if (!d->flushTimer.isActive())
        d->flushTimer.start(d->flushIntervalMs);
}

bool HistoryStore::flush()
{
    if (!d->open)
        return false;
    d->flushTimer.stop();
    const bool ok = d->writeSlice(0);
    d->scheduleFlush();
    return ok;
}

int HistoryStore::pendingCount() const
{
    return d->queue.size();
}

void HistoryStore::setFlushInterval(int ms)
{
    d->flushIntervalMs = qMax(0, ms);
}

int HistoryStore::flushInterval() const
{
    return d->flushIntervalMs;
}

void HistoryStore::setSliceBudget(int ms)
{
    d->sliceBudgetMs = qMax(0, ms);
}

int HistoryStore::sliceBudget() const
{
    return d->sliceBudgetMs;
}

QList<HistoryRecord> HistoryStore::query(const HistoryFilter& filter)
{
    QList<HistoryRecord> records;
    if (!d->open)
        return records;
    flush();
    QString sql =
        QStringLiteral("SELECT %1 FROM history WHERE 1 = 1").arg(QLatin1String(historyColumns));
    QVariantList values;
    if (filter.hostKey >= 0) {
        sql += QStringLiteral(" AND host_key = ?");
        values << filter.hostKey;
    }
    if (!filter.device.isEmpty()) {
        sql += QStringLiteral(" AND device = ?");
        values << filter.device;
    }
    if (!filter.param.isEmpty()) {
        sql += QStringLiteral(" AND param = ?");
        values << filter.param;
    }
    if (filter.state != HistoryFilter::AnyState) {
        sql += QStringLiteral(" AND state = ?");
        values << filter.state;
    }
    if (!filter.kinds.isEmpty()) {
        QStringList marks;
        for (HistoryRecord::Kind kind : filter.kinds) {
            marks << QStringLiteral("?");
            values << int(kind);
        }
        sql += QStringLiteral(" AND kind IN (%1)").arg(marks.join(QStringLiteral(", ")));
    }
    if (filter.fromMs >= 0) {
        sql += QStringLiteral(" AND time_ms >= ?");
        values << filter.fromMs;
    }
    if (filter.toMs >= 0) {
        sql += QStringLiteral(" AND time_ms <= ?");
        values << filter.toMs;
    }
    sql += QStringLiteral(" ORDER BY time_ms DESC, id DESC LIMIT ? OFFSET ?");
    values << qMax(0, filter.limit) << qMax(0, filter.offset);

    QSqlQuery query(d->db);
    query.setForwardOnly(true);
    bool ok = query.prepare(sql);
    for (int i = 0; ok && i < values.size(); ++i)
        query.bindValue(i, values.at(i));
    if (!ok || !query.exec()) {
        tavolog::error(
            HistoryStore::tr("[HistoryStore::query()] Cannot read the history from '%1': %2")
                .arg(d->shownLocation, query.lastError().text()));
        return records;
    }
    records.reserve(qBound(0, filter.limit, 10000));
    while (query.next())
        records.append(recordFrom(query));
    return records;
}

qint64 HistoryStore::recordCount()
{
    if (!d->open)
        return 0;
    flush();
    QSqlQuery query(d->db);
    if (!query.exec(QStringLiteral("SELECT COUNT(*) FROM history")) || !query.next()) {
        tavolog::error(
            HistoryStore::tr("[HistoryStore::query()] Cannot read the history from '%1': %2")
                .arg(d->shownLocation, query.lastError().text()));
        return 0;
    }
    return query.value(0).toLongLong();
}

QList<ActiveAlarm> HistoryStore::activeAlarms()
{
    QList<ActiveAlarm> alarms;
    if (!d->open)
        return alarms;
    flush();
    QSqlQuery query(d->db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT %1 FROM active_alarms ORDER BY changed_ms DESC, id DESC")
                        .arg(QLatin1String(alarmColumns)))) {
        tavolog::error(
            HistoryStore::tr("[HistoryStore::query()] Cannot read the history from '%1': %2")
                .arg(d->shownLocation, query.lastError().text()));
        return alarms;
    }
    while (query.next())
        alarms.append(alarmFrom(query));
    return alarms;
}

bool HistoryStore::acknowledge(qint64 activeAlarmId, const QString& user, const QString& comment,
                               QString* error)
{
    if (!d->open) {
        d->fail(HistoryStore::tr("[HistoryStore::acknowledge()] The history database is not open."),
                error);
        return false;
    }
    flush();
    QSqlDatabase& db = d->db;
    QString reason;
    ActiveAlarm alarm;
    bool found = false;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (db.transaction()) {
        QSqlQuery select(db);
        select.prepare(QStringLiteral("SELECT %1 FROM active_alarms WHERE id = ? AND state >= 0")
                           .arg(QLatin1String(alarmColumns)));
        select.bindValue(0, activeAlarmId);
        if (!select.exec()) {
            reason = select.lastError().text();
        } else if (select.next()) {
            found = true;
            alarm = alarmFrom(select);
        }
        select.finish();

        if (found && reason.isEmpty()) {
            QSqlQuery update(db);
            update.prepare(QStringLiteral("UPDATE active_alarms SET ack_user = ?, ack_time_ms = ?, "
                                          "ack_comment = ?, ack_state = state WHERE id = ?"));
            update.bindValue(0, text(user));
            update.bindValue(1, now);
            update.bindValue(2, text(comment));
            update.bindValue(3, activeAlarmId);
            if (!update.exec())
                reason = update.lastError().text();
        }
        if (found && reason.isEmpty()) {
            HistoryRecord r;
            r.timeMs = now;
            r.kind = HistoryRecord::Acknowledged;
            r.hostKey = alarm.hostKey;
            r.hostAddress = alarm.hostAddress;
            r.hostName = alarm.hostName;
            r.device = alarm.device;
            r.param = alarm.param;
            r.state = alarm.state;
            r.oldState = alarm.state;
            r.text = comment;
            r.user = user;
            d->insert(r, &reason);
        }
        if (found && reason.isEmpty() && !db.commit())
            reason = db.lastError().text();
        if (!found || !reason.isEmpty())
            db.rollback();
    } else {
        reason = db.lastError().text();
    }

    if (!reason.isEmpty()) {
        d->fail(
            HistoryStore::tr("[HistoryStore::acknowledge()] Cannot acknowledge the alarm %1: %2")
                .arg(activeAlarmId)
                .arg(reason),
            error);
        return false;
    }
    if (!found) {
        d->fail(HistoryStore::tr("[HistoryStore::acknowledge()] There is no active alarm %1.")
                    .arg(activeAlarmId),
                error);
        return false;
    }
    Q_EMIT recordsWritten(1);
    Q_EMIT activeAlarmsChanged();
    return true;
}

void HistoryStore::setRetentionDays(int days)
{
    d->retentionDays = qMax(0, days);
}

int HistoryStore::retentionDays() const
{
    return d->retentionDays;
}

void HistoryStore::setRetentionStepRows(int rows)
{
    d->retentionStepRows = qMax(1, rows);
}

int HistoryStore::removeExpiredStep()
{
    if (!d->open || d->retentionDays <= 0)
        return 0;
    const qint64 cutoff = QDateTime::currentMSecsSinceEpoch() - qint64(d->retentionDays) * DayMs;
    // Bounded: one huge DELETE would hold the file, and the event loop, for
    // as long as it takes.
    QSqlQuery query(d->db);
    query.prepare(QStringLiteral("DELETE FROM history WHERE id IN (SELECT id FROM history "
                                 "WHERE time_ms < ? ORDER BY time_ms LIMIT ?)"));
    query.bindValue(0, cutoff);
    query.bindValue(1, d->retentionStepRows);
    if (!query.exec()) {
        tavolog::error(
            HistoryStore::tr("[HistoryStore::removeExpiredStep()] Cannot remove expired records "
                             "from '%1': %2")
                .arg(d->shownLocation, query.lastError().text()));
        return -1;
    }
    return query.numRowsAffected();
}

void HistoryStore::setRefreshInterval(int ms)
{
    d->refreshIntervalMs = qMax(0, ms);
    if (d->open && d->refreshIntervalMs > 0)
        d->refreshTimer.start(d->refreshIntervalMs);
    else
        d->refreshTimer.stop();
}

int HistoryStore::refreshInterval() const
{
    if (d->refreshIntervalMs >= 0)
        return d->refreshIntervalMs;
    return d->open && !d->dialect->isFile ? 2000 : 0;
}
