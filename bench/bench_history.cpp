// The alarm history in SQLite: sustained recording with the event loop's
// longest stall, the cost of one large transaction, and the query for the
// newest page among millions of rows.

#include "history/history_store.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>
#include <QVector>
#include <QVariant>

#include <cstdlib>
#include <ctime>

namespace {

HistoryRecord stateChange(qint64 i, qint64 timeMs)
{
    HistoryRecord r;
    r.kind = HistoryRecord::StateChange;
    r.timeMs = timeMs;
    r.hostKey = int(i % 20) + 1;
    r.hostAddress = QStringLiteral("10.0.0.1:7000");
    r.hostName = QStringLiteral("host");
    r.device = QStringLiteral("PSU_0001");
    r.param = QStringLiteral("temp%1").arg(i % 200);
    r.state = int(i % 9) - 1;
    r.oldState = -1;
    return r;
}

double threadCpuMs()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Records at the given rate from a 10 ms timer for three seconds, with a 1 ms
// timer beside it. Between two of its ticks, the wall time less the 1 ms is
// how long the event loop was late (the machine's scheduling included: on
// this 2-core VM a loop doing nothing is late by up to 2 ms, and by 3-5 ms
// while another process keeps one core busy); the loop thread's CPU time is
// how long it was busy, which is what the store may cost it.
void BM_SustainedStateChanges(benchmark::State& state)
{
    const int rate = int(state.range(0));
    const int seconds = 3;
    double worstStallMs = 0;
    double worstBusyMs = 0;
    double backlogAtEnd = 0;
    double writtenPerSecond = 0;
    for (auto _ : state) {
        QTemporaryDir dir;
        HistoryStore store;
        store.open(dir.filePath(QStringLiteral("h.sqlite")));
        QElapsedTimer clock;
        // The steady rate: from the first commit on, as records wait a flush
        // interval by design.
        qint64 written = 0;
        qint64 firstBatch = 0;
        qint64 firstCommitNs = 0;
        QObject::connect(&store, &HistoryStore::recordsWritten, [&](int n) {
            if (firstCommitNs == 0) {
                firstCommitNs = clock.nsecsElapsed();
                firstBatch = n;
            }
            written += n;
        });

        // Made beforehand: the loop's busy time is the store's, not the
        // cost of formatting the bench's own names.
        QVector<HistoryRecord> made;
        for (int i = 0; i < 1800; ++i)
            made.append(stateChange(i, 0));
        qint64 next = 0;
        QTimer producer;
        producer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&producer, &QTimer::timeout, [&] {
            const qint64 now = QDateTime::currentMSecsSinceEpoch();
            for (int i = 0; i < rate / 100; ++i) {
                HistoryRecord& r = made[int(next++ % made.size())];
                r.timeMs = now;
                store.record(r);
            }
        });

        QElapsedTimer sinceTick;
        double cpuAtTick = 0;
        qint64 longestGapNs = 0;
        double longestBusyMs = 0;
        QTimer probe;
        probe.setTimerType(Qt::PreciseTimer);
        QObject::connect(&probe, &QTimer::timeout, [&] {
            const double cpu = threadCpuMs();
            if (sinceTick.isValid()) {
                longestGapNs = qMax(longestGapNs, sinceTick.nsecsElapsed());
                longestBusyMs = qMax(longestBusyMs, cpu - cpuAtTick);
            }
            sinceTick.restart();
            cpuAtTick = cpu;
        });

        QEventLoop loop;
        clock.start();
        producer.start(10);
        probe.start(1);
        QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
        loop.exec();
        const qint64 endNs = clock.nsecsElapsed();
        producer.stop();
        probe.stop();

        worstStallMs = qMax(worstStallMs, longestGapNs / 1e6 - 1.0);
        worstBusyMs = qMax(worstBusyMs, longestBusyMs);
        backlogAtEnd = store.pendingCount();
        writtenPerSecond =
            endNs > firstCommitNs ? (written - firstBatch) / ((endNs - firstCommitNs) / 1e9) : 0;
        store.flush();
    }
    state.counters["offered_per_s"] = rate;
    state.counters["written_per_s"] = writtenPerSecond;
    state.counters["max_stall_ms"] = worstStallMs;
    state.counters["max_busy_ms"] = worstBusyMs;
    state.counters["backlog_at_end"] = backlogAtEnd;
}
// Argument: records a second.
BENCHMARK(BM_SustainedStateChanges)
    ->Arg(1000)
    ->Arg(50000)
    ->Arg(100000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// What a flush() of n rows waits for: the writer's transactions.
void BM_OneTransaction(benchmark::State& state)
{
    const int rows = int(state.range(0));
    QTemporaryDir dir;
    HistoryStore store;
    store.open(dir.filePath(QStringLiteral("h.sqlite")));
    qint64 next = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        for (int i = 0; i < rows; ++i)
            store.record(stateChange(next++, now));
        state.ResumeTiming();
        store.flush();
    }
    state.SetItemsProcessed(state.iterations() * rows);
}
BENCHMARK(BM_OneTransaction)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// The newest page among many rows. The rows are made with one prepared
// INSERT in one transaction, behind the store's back, into a file the store
// created.
void BM_QueryNewest1000(benchmark::State& state)
{
    const qint64 rows = state.range(0);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.sqlite"));
    {
        HistoryStore schema;
        schema.open(path);
    }
    QElapsedTimer fill;
    fill.start();
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
        db.setDatabaseName(path);
        db.open();
        QSqlQuery(db).exec(QStringLiteral("PRAGMA synchronous=OFF"));
        db.transaction();
        QSqlQuery insert(db);
        insert.prepare(QStringLiteral(
            "INSERT INTO history (time_ms, kind, host_key, host_address, host_name, device, "
            "param, state, old_state, detail, old_detail, user_name) "
            "VALUES (?, 0, ?, '10.0.0.1:7000', 'host', 'PSU_0001', ?, ?, -1, '', '', '')"));
        const qint64 start = QDateTime::currentMSecsSinceEpoch() - rows;
        const QString params[4] = {QStringLiteral("temp"), QStringLiteral("volts"),
                                   QStringLiteral("fan"), QStringLiteral("door")};
        for (qint64 i = 0; i < rows; ++i) {
            insert.bindValue(0, start + i);
            insert.bindValue(1, int(i % 50));
            insert.bindValue(2, params[i % 4]);
            insert.bindValue(3, int(i % 9) - 1);
            insert.exec();
        }
        insert.finish();
        db.commit();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fill"));
    const double fillSeconds = fill.nsecsElapsed() / 1e9;

    HistoryStore store;
    store.open(path);
    HistoryFilter newest;
    newest.limit = 1000;
    HistoryFilter oneParam = newest;
    oneParam.hostKey = 7;
    oneParam.device = QStringLiteral("PSU_0001");
    oneParam.param = QStringLiteral("volts");
    const bool filtered = state.range(1) != 0;
    int found = 0;
    for (auto _ : state)
        found = store.query(filtered ? oneParam : newest).size();
    state.counters["rows"] = double(rows);
    state.counters["found"] = found;
    state.counters["fill_s"] = fillSeconds;
}

qint64 bigRows()
{
    const char* rows = std::getenv("TAVO_BENCH_HISTORY_ROWS");
    return rows ? std::atoll(rows) : 10000000;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::RegisterBenchmark("BM_QueryNewest1000/all", BM_QueryNewest1000)
        ->Args({bigRows(), 0})
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_QueryNewest1000/one_param", BM_QueryNewest1000)
        ->Args({bigRows() / 10, 1})
        ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
