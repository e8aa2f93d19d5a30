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
#include <QVariant>

#include <cstdlib>

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

// Records at the given rate from a 10 ms timer for two seconds, with a 1 ms
// timer beside it: the longest gap between two of its ticks, less the 1 ms,
// is the longest the event loop was held.
void BM_SustainedStateChanges(benchmark::State& state)
{
    const int rate = int(state.range(0));
    const int seconds = 2;
    double worstStallMs = 0;
    double backlogAtEnd = 0;
    double writtenPerSecond = 0;
    for (auto _ : state) {
        QTemporaryDir dir;
        HistoryStore store;
        store.setSliceBudget(int(state.range(1)));
        store.open(dir.filePath(QStringLiteral("h.sqlite")));
        qint64 written = 0;
        QObject::connect(&store, &HistoryStore::recordsWritten,
                         [&written](int n) { written += n; });

        qint64 next = 0;
        QTimer producer;
        producer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&producer, &QTimer::timeout, [&] {
            const qint64 now = QDateTime::currentMSecsSinceEpoch();
            for (int i = 0; i < rate / 100; ++i)
                store.record(stateChange(next++, now));
        });

        QElapsedTimer sinceTick;
        qint64 longestGapNs = 0;
        QTimer probe;
        probe.setTimerType(Qt::PreciseTimer);
        QObject::connect(&probe, &QTimer::timeout, [&] {
            if (sinceTick.isValid())
                longestGapNs = qMax(longestGapNs, sinceTick.nsecsElapsed());
            sinceTick.restart();
        });

        QEventLoop loop;
        QElapsedTimer clock;
        clock.start();
        producer.start(10);
        probe.start(1);
        QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
        loop.exec();
        const double elapsed = clock.nsecsElapsed() / 1e9;
        producer.stop();
        probe.stop();

        worstStallMs = qMax(worstStallMs, longestGapNs / 1e6 - 1.0);
        backlogAtEnd = store.pendingCount();
        writtenPerSecond = written / elapsed;
        store.flush();
    }
    state.counters["offered_per_s"] = rate;
    state.counters["written_per_s"] = writtenPerSecond;
    state.counters["max_stall_ms"] = worstStallMs;
    state.counters["backlog_at_end"] = backlogAtEnd;
}
// Arguments: records a second, slice budget in ms.
BENCHMARK(BM_SustainedStateChanges)
    ->Args({50000, 4})
    ->Args({50000, 1})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// What one transaction of n rows would hold the event loop for, without the
// slicing that the timer does.
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
