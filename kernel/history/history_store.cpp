#include "history/history_store.h"

#include "foundation/log_p.h"

#include <QAtomicInt>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
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

#include <functional>

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
// A backlog is committed in steps of this many rows, so that readers see it
// arrive and a failure repeats a bounded transaction, not the whole backlog.
constexpr int MaxBatchRows = 5000;
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

bool execOn(QSqlDatabase& db, const QString& sql, QString* reason)
{
    QSqlQuery query(db);
    if (query.exec(sql))
        return true;
    if (reason)
        *reason = query.lastError().text();
    return false;
}

// Removes up to @p rows records older than @p cutoffMs; the number removed,
// -1 with @p reason set on failure. Bounded: one huge DELETE would hold the
// file for as long as it takes.
int removeExpired(QSqlDatabase& db, qint64 cutoffMs, int rows, QString* reason)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("DELETE FROM history WHERE id IN (SELECT id FROM history "
                                 "WHERE time_ms < ? ORDER BY time_ms LIMIT ?)"));
    query.bindValue(0, cutoffMs);
    query.bindValue(1, rows);
    if (!query.exec()) {
        *reason = query.lastError().text();
        return -1;
    }
    return query.numRowsAffected();
}

// The statements that write records, prepared once on one connection.
class RecordStatements
{
public:
    bool prepare(const QSqlDatabase& db, QString* reason);
    void clear()
    {
        insertHistory.reset();
        upsertAlarm.reset();
        deleteAlarm.reset();
    }
    bool insert(const HistoryRecord& r, QString* reason);
    /// Keeps the active alarm of @p r's parameter in step with its state.
    bool applyStateChange(const HistoryRecord& r, QString* reason);

private:
    std::unique_ptr<QSqlQuery> insertHistory;
    std::unique_ptr<QSqlQuery> upsertAlarm;
    std::unique_ptr<QSqlQuery> deleteAlarm;
};

bool RecordStatements::prepare(const QSqlDatabase& db, QString* reason)
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

bool RecordStatements::insert(const HistoryRecord& r, QString* reason)
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

bool RecordStatements::applyStateChange(const HistoryRecord& r, QString* reason)
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

// Writes the records on a connection of its own in a thread of its own. On
// the event loop, a batch of 5,000 state changes held it for 5-6 ms in the
// commit alone (every page the batch changed goes to the log), SQLite's
// automatic checkpoint for 10-25 ms, and a PostgreSQL server for a round
// trip per row; here they run beside it, and the loop only hands over its
// queue. Retention steps run here too, so that they never wait for a
// batch's lock on the loop.
class Writer : public QThread
{
public:
    /// What happened since the event loop last looked.
    struct Outcome
    {
        /// The size of each committed batch, in order.
        QVector<int> batches;
        bool alarmsTouched = false;
        /// The first failure, and whether the latest attempt succeeded.
        QString failure;
        bool lastOk = true;
        /// Rows a retention step removed; NoExpiry when none ran.
        int expired = NoExpiry;
        QString expiryFailure;
    };
    static constexpr int NoExpiry = -2;

    Writer(const QString& sourceConnection, bool isFile, std::function<void()> notify)
        : source(sourceConnection)
        , isFile(isFile)
        , notify(std::move(notify))
    {
    }
    ~Writer() override { stop(); }

    /// Starts the thread and waits for its connection.
    bool connectAndStart(QString* reason)
    {
        start();
        QMutexLocker lock(&mutex);
        while (!connected)
            changed.wait(&mutex);
        *reason = connectFailure;
        return connectFailure.isEmpty();
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

    void setRetryInterval(int ms) { retryMs.storeRelaxed(qMax(1, ms)); }

    /// Takes @p records, leaving @p records empty. The queues go round
    /// between the two threads with their capacity, so that neither the
    /// hand-over nor the next interval's records allocate or copy.
    void hand(QVector<HistoryRecord>& records)
    {
        if (records.isEmpty())
            return;
        QMutexLocker lock(&mutex);
        backlogCount.fetchAndAddRelaxed(records.size());
        pending.append(QVector<HistoryRecord>());
        pending.last().swap(records);
        if (!spare.isEmpty()) {
            records.swap(spare.last());
            spare.removeLast();
        }
        wake.wakeOne();
    }

    /// Records handed over and not yet committed.
    int backlog() const { return backlogCount.loadRelaxed(); }

    /// Waits until everything handed over before is committed or has
    /// failed once; false when it failed.
    bool drain()
    {
        QMutexLocker lock(&mutex);
        const quint64 ticket = ++drainTicket;
        wake.wakeOne();
        while (drainServed < ticket)
            changed.wait(&mutex);
        return drainOk;
    }

    void requestExpiry(qint64 cutoffMs, int rows)
    {
        QMutexLocker lock(&mutex);
        expiryCutoffMs = cutoffMs;
        expiryRows = rows;
        wake.wakeOne();
    }

    Outcome takeOutcome()
    {
        QMutexLocker lock(&mutex);
        notifyPosted = false;
        Outcome taken = std::move(outcome);
        outcome = Outcome();
        return taken;
    }

protected:
    void run() override
    {
        const QString name =
            QStringLiteral("tavo-history-writer-%1").arg(connectionSerial.fetchAndAddRelaxed(1));
        {
            QSqlDatabase db = QSqlDatabase::cloneDatabase(source, name);
            QString reason;
            if (isFile)
                db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
            bool ok = db.open();
            if (!ok)
                reason = db.lastError().text();
            // Per connection, unlike the log mode: without it every commit
            // would wait for the disk.
            if (ok && isFile)
                ok = execOn(db, QStringLiteral("PRAGMA synchronous=NORMAL"), &reason);
            RecordStatements statements;
            if (ok)
                ok = statements.prepare(db, &reason);
            {
                QMutexLocker lock(&mutex);
                connected = true;
                connectFailure = ok ? QString() : (reason.isEmpty() ? QStringLiteral("?") : reason);
                changed.wakeAll();
            }
            if (ok)
                loop(db, statements);
            statements.clear();
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
    }

private:
    void loop(QSqlDatabase& db, RecordStatements& statements);
    /// Writes up to MaxBatchRows of the work from `done` on in one
    /// transaction; the number committed, ending before row @p endRow of
    /// queue @p endQueue, 0 on failure.
    int writeBatch(QSqlDatabase& db, RecordStatements& statements, bool* alarmsTouched,
                   int* endQueue, int* endRow, QString* reason);
    void postNotify()
    {
        if (!notifyPosted) {
            notifyPosted = true;
            notify();
        }
    }

    const QString source;
    const bool isFile;
    const std::function<void()> notify;
    QAtomicInt retryMs {200};
    QAtomicInt backlogCount {0};

    QMutex mutex;
    QWaitCondition wake;
    QWaitCondition changed;
    bool connected = false;
    QString connectFailure;
    bool stopping = false;
    /// Queues handed over, oldest first.
    QVector<QVector<HistoryRecord>> pending;
    /// Written queues, emptied, for hand() to give back.
    QVector<QVector<HistoryRecord>> spare;
    /// The writer's own: the queues it took from pending, the first
    /// committed up to row `done`.
    QVector<QVector<HistoryRecord>> work;
    int done = 0;
    quint64 drainTicket = 0;
    quint64 drainServed = 0;
    bool drainOk = true;
    qint64 expiryCutoffMs = 0;
    int expiryRows = 0;
    Outcome outcome;
    bool notifyPosted = false;
};

void Writer::loop(QSqlDatabase& db, RecordStatements& statements)
{
    QDeadlineTimer retry; // expired while nothing failed
    QMutexLocker lock(&mutex);
    for (;;) {
        for (;;) {
            if (stopping)
                return;
            const bool drainWanted = drainTicket > drainServed;
            const bool haveRecords = !pending.isEmpty() || !work.isEmpty();
            if (drainWanted && !haveRecords) {
                drainServed = drainTicket;
                drainOk = true;
                changed.wakeAll();
                continue;
            }
            // After a failure the records wait for the retry, unless someone
            // waits for them.
            if ((haveRecords && drainWanted) ||
                ((haveRecords || expiryRows > 0) && retry.hasExpired()))
                break;
            wake.wait(&mutex, haveRecords ? retry : QDeadlineTimer(QDeadlineTimer::Forever));
        }
        const quint64 ticket = drainTicket;
        for (auto& queue : pending) {
            work.append(QVector<HistoryRecord>());
            work.last().swap(queue);
        }
        pending.clear();
        const int expiryRowsNow = expiryRows;
        const qint64 cutoffMs = expiryCutoffMs;
        expiryRows = 0;
        lock.unlock();

        QString reason;
        while (!work.isEmpty()) {
            bool touched = false;
            int endQueue = 0;
            int endRow = 0;
            const int count = writeBatch(db, statements, &touched, &endQueue, &endRow, &reason);
            if (count == 0)
                break;
            backlogCount.fetchAndAddRelaxed(-count);
            done = endRow;
            // Emptied here, so that the records' strings are freed on this
            // thread rather than in the next hand-over.
            for (int i = 0; i < endQueue; ++i)
                work[i].clear();
            if (endQueue < work.size() && done == work.at(endQueue).size()) {
                work[endQueue].clear();
                ++endQueue;
                done = 0;
            }
            QMutexLocker report(&mutex);
            // A few kept are enough to go round; a backlog's worth would
            // only hold memory.
            for (int i = 0; i < endQueue && spare.size() < 4; ++i) {
                spare.append(QVector<HistoryRecord>());
                spare.last().swap(work[i]);
            }
            work.remove(0, endQueue);
            outcome.batches.append(count);
            outcome.alarmsTouched = outcome.alarmsTouched || touched;
            outcome.lastOk = true;
            postNotify();
        }
        QString expiryReason;
        const int expired = expiryRowsNow > 0 && reason.isEmpty()
            ? removeExpired(db, cutoffMs, expiryRowsNow, &expiryReason)
            : NoExpiry;

        lock.relock();
        if (!reason.isEmpty()) {
            if (outcome.failure.isEmpty())
                outcome.failure = reason;
            outcome.lastOk = false;
            retry = QDeadlineTimer(retryMs.loadRelaxed());
        } else {
            retry = QDeadlineTimer();
        }
        if (expiryRowsNow > 0) {
            // A failed batch leaves the step for its retry.
            if (expired == NoExpiry) {
                expiryRows = expiryRowsNow;
            } else {
                outcome.expired = expired;
                outcome.expiryFailure = expiryReason;
            }
        }
        if (ticket > drainServed) {
            drainServed = ticket;
            drainOk = reason.isEmpty();
            changed.wakeAll();
        }
        if (!reason.isEmpty() || outcome.expired != NoExpiry)
            postNotify();
    }
}

int Writer::writeBatch(QSqlDatabase& db, RecordStatements& statements, bool* alarmsTouched,
                       int* endQueue, int* endRow, QString* reason)
{
    if (!db.transaction()) {
        *reason = db.lastError().text();
        return 0;
    }
    int queue = 0;
    int row = done;
    int count = 0;
    while (count < MaxBatchRows && queue < work.size() && reason->isEmpty()) {
        if (row == work.at(queue).size()) {
            ++queue;
            row = 0;
            continue;
        }
        const HistoryRecord& r = work.at(queue).at(row);
        if (!statements.insert(r, reason))
            break;
        if (r.kind == HistoryRecord::StateChange) {
            if (!statements.applyStateChange(r, reason))
                break;
            *alarmsTouched = true;
        }
        ++row;
        ++count;
    }
    if (reason->isEmpty() && !db.commit())
        *reason = db.lastError().text();
    if (!reason->isEmpty()) {
        db.rollback();
        *alarmsTouched = false;
        return 0;
    }
    *endQueue = queue;
    *endRow = row;
    return count;
}

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
    bool started(QString* error);

    // Writing.
    bool exec(const QString& sql, QString* reason) { return execOn(db, sql, reason); }
    void deliver();
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

    /// Recorded since the last hand-over to the writer.
    QVector<HistoryRecord> queue;
    std::unique_ptr<Writer> writer;
    bool writeFailing = false;
    bool dropping = false;
    QTimer flushTimer;
    int flushIntervalMs = 200;

    QTimer retentionTimer;
    int retentionDays = 90;
    int retentionStepRows = 5000;

    QTimer refreshTimer;
    int refreshIntervalMs = -1; // -1: by the back end
    QByteArray lastSignature;

    /// The acknowledgement's record is written on this connection.
    RecordStatements statements;
};

// ---------------------------------------------------------------------------
// Opening

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
        // The writer's commits checkpoint, off the event loop; SQLite's
        // automatic checkpoint on this connection would run in an
        // acknowledgement's commit, on the loop.
        exec(QStringLiteral("PRAGMA wal_autocheckpoint=0"), reason);
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
    return statements.prepare(db, reason);
}

void HistoryStorePrivate::disconnect()
{
    // Stopped first: the last connection to close checkpoints what is left
    // and removes the log.
    writer.reset();
    statements.clear();
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

bool HistoryStorePrivate::started(QString* error)
{
    QString reason;
    writer = std::make_unique<Writer>(connectionName, dialect->isFile, [this] {
        QMetaObject::invokeMethod(
            q, [this] { deliver(); }, Qt::QueuedConnection);
    });
    writer->setRetryInterval(flushIntervalMs);
    if (!writer->connectAndStart(&reason)) {
        fail(HistoryStore::tr("[HistoryStore::open()] Cannot open the history database '%1': %2")
                 .arg(shownLocation, reason),
             error);
        return false;
    }
    open = true;
    writeFailing = false;
    dropping = false;
    lastSignature = alarmSignature();
    retentionTimer.start(RetentionFirstMs);
    const int refresh = refreshIntervalMs >= 0 ? refreshIntervalMs : (dialect->isFile ? 0 : 2000);
    if (refresh > 0)
        refreshTimer.start(refresh);
    else
        refreshTimer.stop();
    return true;
}

// ---------------------------------------------------------------------------
// Writing

void HistoryStorePrivate::deliver()
{
    if (!writer)
        return;
    const Writer::Outcome outcome = writer->takeOutcome();
    if (!outcome.failure.isEmpty() && !writeFailing) {
        // Said once per failing spell, not once per retry.
        tavolog::error(HistoryStore::tr("[HistoryStore] Cannot write the history to '%1': %2")
                           .arg(shownLocation, outcome.failure));
        writeFailing = true;
    }
    if (outcome.lastOk && !outcome.batches.isEmpty()) {
        if (writeFailing)
            tavolog::message(
                HistoryStore::tr("[HistoryStore] The history is written to '%1' again.")
                    .arg(shownLocation));
        writeFailing = false;
        dropping = false;
    }
    for (int count : outcome.batches)
        Q_EMIT q->recordsWritten(count);
    if (outcome.alarmsTouched)
        Q_EMIT q->activeAlarmsChanged();
    if (outcome.expired != Writer::NoExpiry) {
        if (outcome.expired < 0)
            tavolog::error(
                HistoryStore::tr("[HistoryStore::removeExpiredStep()] Cannot remove expired "
                                 "records from '%1': %2")
                    .arg(shownLocation, outcome.expiryFailure));
        retentionTimer.start(outcome.expired >= retentionStepRows ? RetentionBusyMs
                                                                  : RetentionIdleMs);
    }
}

void HistoryStorePrivate::onFlushTimer()
{
    writer->hand(queue);
}

void HistoryStorePrivate::onRetentionTimer()
{
    if (retentionDays <= 0) {
        retentionTimer.start(RetentionIdleMs);
        return;
    }
    writer->requestExpiry(QDateTime::currentMSecsSinceEpoch() - qint64(retentionDays) * DayMs,
                          retentionStepRows);
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
    if (ok && !d->started(error)) {
        d->disconnect();
        return false;
    }
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
    if (d->queue.size() + d->writer->backlog() >= MaxQueue) {
        if (!d->dropping)
            tavolog::warning(
                HistoryStore::tr("[HistoryStore] The history queue is full (%1 records); new "
                                 "records are dropped until it is written.")
                    .arg(MaxQueue));
        d->dropping = true;
        return;
    }
    d->queue.append(record);
    if (!d->flushTimer.isActive())
        d->flushTimer.start(d->flushIntervalMs);
}

bool HistoryStore::flush()
{
    if (!d->open)
        return false;
    d->flushTimer.stop();
    d->writer->hand(d->queue);
    const bool ok = d->writer->drain();
    d->deliver();
    return ok;
}

int HistoryStore::pendingCount() const
{
    return d->queue.size() + (d->writer ? d->writer->backlog() : 0);
}

void HistoryStore::setFlushInterval(int ms)
{
    d->flushIntervalMs = qMax(0, ms);
    if (d->writer)
        d->writer->setRetryInterval(d->flushIntervalMs);
}

int HistoryStore::flushInterval() const
{
    return d->flushIntervalMs;
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
    } else {
        sql += QStringLiteral(" AND kind <> ?");
        values << int(HistoryRecord::Value);
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
            d->statements.insert(r, &reason);
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
    // The writer is idle once the queue is written, so this never waits
    // for its lock.
    flush();
    const qint64 cutoff = QDateTime::currentMSecsSinceEpoch() - qint64(d->retentionDays) * DayMs;
    QString reason;
    const int removed = removeExpired(d->db, cutoff, d->retentionStepRows, &reason);
    if (removed < 0)
        tavolog::error(
            HistoryStore::tr("[HistoryStore::removeExpiredStep()] Cannot remove expired records "
                             "from '%1': %2")
                .arg(d->shownLocation, reason));
    return removed;
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
