// How responsive the client stays while a device streams values into a shown
// parameter view: the delay of a zero-time timer posted every 10 ms, while
// 5000 values a second arrive through the device database. Beside it, the
// heap use of one value update reaching the model, counted by calls into the
// allocator.

#include "param_model.h"

#include "classes/class_db.h"
#include "devices/device_db.h"
#include "devices/paramlist.h"
#include "foundation/app_shared.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QFile>
#include <QHeaderView>
#include <QScriptEngine>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <vector>

#include "allocation_counter.h"

namespace {

constexpr int paramCount = 200;
constexpr int valuesPerTick = 5;
constexpr int feedIntervalMs = 1;
constexpr int probeIntervalMs = 10;
constexpr int runMs = 3000;
constexpr int deviceCode = 5;

void writeClasses(const QString& dir)
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<classlist>\n"
                     "<class name=\"L\" interface=\"latency\">\n"
                     "  <param name=\"word\"><human_name>Status word</human_name></param>\n"
                     "  <param name=\"bit\" basename=\"word\" bit=\"0\" dim=\"8\"/>\n";
    static const char* const types[] = {"UINT", "INT", "FLOAT"};
    for (int p = 0; p < paramCount; ++p) {
        const QByteArray name = "p" + QByteArray::number(p);
        xml += "  <param name=\"" + name + "\" type=\"" + types[p % 3] +
            "\"><human_name>Parameter " + name + "</human_name>";
        if (p % 7 == 0)
            xml += "<variants>0:Off,1:On,2:Test</variants>";
        xml += "</param>\n";
    }
    xml += "</class>\n</classlist>\n";
    QFile file(QDir(dir).filePath(QStringLiteral("classes.xml")));
    if (!file.open(QIODevice::WriteOnly) || file.write(xml) != xml.size())
        qFatal("cannot write the class file");
}

// Counts the paints of the view, to show that the values are really drawn.
class PaintCounter : public QObject
{
public:
    using QObject::QObject;
    long paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return QObject::eventFilter(watched, event);
    }
};

double percentile(std::vector<qint64>& samples, double share)
{
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    const size_t at = std::min(samples.size() - 1, size_t(share * double(samples.size())));
    return double(samples[at]);
}

void BM_EventLoopLatencyWhileValuesStream(benchmark::State& state)
{
    DeviceDb db(nullptr, nullptr);
    Device* device = db.createEmptyDevice(QStringLiteral("L"), 1, 0, deviceCode);
    if (!device || !device->populateDevice()) {
        state.SkipWithError("the device cannot be made");
        return;
    }
    std::vector<int> codes;
    for (Param* param : qAsConst(device->parameters)) {
        if (param->arraySize > 0 && !param->isVirtual) {
            db.setParamCode(deviceCode, param->DbEntity::name, param->indexInDevice);
            codes.push_back(param->code);
        }
    }

    ParamModel model;
    model.setDevice(&db, device);
    model.setActive(true);
    QTreeView view;
    view.setModel(&model);
    view.setUniformRowHeights(true);
    view.resize(1000, 900);
    view.expandAll();
    PaintCounter painted;
    view.viewport()->installEventFilter(&painted);
    view.show();
    QApplication::processEvents();

    for (auto _ : state) {
        std::vector<qint64> delaysNs;
        delaysNs.reserve(runMs / probeIntervalMs + 16);
        long values = 0;
        size_t next = 0;
        unsigned long word = 0;

        QTimer feeder;
        feeder.setTimerType(Qt::PreciseTimer);
        feeder.setInterval(feedIntervalMs);
        QElapsedTimer clock;
        // A 1 ms timer falls behind now and then; the values it owes are
        // delivered on its next tick, as a host's burst would arrive.
        QObject::connect(&feeder, &QTimer::timeout, [&] {
            const long due = long(clock.elapsed() / feedIntervalMs + 1) * valuesPerTick;
            for (long i = values; i < due; ++i) {
                db.setParamValue(deviceCode, codes[next], ++word % 200);
                next = (next + 1) % codes.size();
                ++values;
            }
        });
        const long paintsBefore = painted.paints;
        long told = 0;
        QObject::connect(&model, &QAbstractItemModel::dataChanged, &feeder, [&told] { ++told; });

        QTimer probe;
        probe.setTimerType(Qt::PreciseTimer);
        probe.setInterval(probeIntervalMs);
        QObject::connect(&probe, &QTimer::timeout, [&] {
            const qint64 posted = clock.nsecsElapsed();
            QTimer::singleShot(0, &probe,
                               [&, posted] { delaysNs.push_back(clock.nsecsElapsed() - posted); });
        });

        QEventLoop loop;
        QTimer::singleShot(runMs, &loop, &QEventLoop::quit);
        clock.start();
        feeder.start();
        probe.start();
        loop.exec();
        feeder.stop();
        probe.stop();
        const double wall = double(clock.nsecsElapsed()) / 1e9;

        if (delaysNs.empty()) {
            state.SkipWithError("no probe ran");
            return;
        }
        const double maxNs = double(*std::max_element(delaysNs.begin(), delaysNs.end()));
        state.counters["latency_max_ms"] = maxNs / 1e6;
        state.counters["latency_p99_ms"] = percentile(delaysNs, 0.99) / 1e6;
        state.counters["values_per_second"] = double(values) / wall;
        state.counters["probes"] = double(delaysNs.size());
        state.counters["updates_told_per_second"] = double(told) / wall;
        state.counters["repaints_per_second"] = double(painted.paints - paintsBefore) / wall;
    }
}
BENCHMARK(BM_EventLoopLatencyWhileValuesStream)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_ValueUpdateReachingTheModel(benchmark::State& state)
{
    DeviceDb db(nullptr, nullptr);
    Device* device = db.createEmptyDevice(QStringLiteral("L"), 1, 0, deviceCode);
    if (!device || !device->populateDevice()) {
        state.SkipWithError("the device cannot be made");
        return;
    }
    Param* word = device->parametersByName.value(QStringLiteral("word"));
    db.setParamCode(deviceCode, word->DbEntity::name, word->indexInDevice);
    ParamModel model;
    model.setDevice(&db, device);
    unsigned long value = 0;
    db.setParamValue(deviceCode, word->code, value); // starts the model's timer
    const std::size_t before = g_allocations;
    for (auto _ : state)
        benchmark::DoNotOptimize(db.setParamValue(deviceCode, word->code, ++value));
    state.SetItemsProcessed(state.iterations());
    state.counters["allocs_per_value"] =
        benchmark::Counter(double(g_allocations - before) / double(state.iterations()));
}
BENCHMARK(BM_ValueUpdateReachingTheModel);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    qRegisterMetaType<const ParamCore*>();
    QTemporaryDir dir;
    writeClasses(dir.path());
    QScriptEngine engine;
    share::scriptEngine = &engine;
    share::xmlClassesPath = dir.path();
    ClassDb classDb(nullptr);
    share::classDb = &classDb;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    share::classDb = nullptr;
    share::scriptEngine = nullptr;
    return 0;
}
