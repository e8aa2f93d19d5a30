// The hot paths of a device database: value deliveries as a protocol makes
// them, population of many devices, and virtual parameters computed by their
// scripts. Heap use is watched by counting calls into the allocator.

#include "classes/class_db.h"
#include "devices/device_db.h"
#include "devices/paramlist.h"
#include "foundation/app_shared.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QScriptEngine>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstddef>

#include "allocation_counter.h"

namespace {

constexpr int deviceCount = 1000;
constexpr int paramCount = 50;

void writeClasses(const QString& dir)
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<classlist>\n"
                     "<class name=\"H\" interface=\"hot\">\n"
                     "  <param name=\"value\"/>\n"
                     "  <param name=\"word\"/>\n"
                     "  <param name=\"bit\" basename=\"word\" bit=\"0\" dim=\"8\"/>\n"
                     "  <param name=\"a\" type=\"INT\"/>\n"
                     "  <param name=\"b\" type=\"INT\"/>\n"
                     "  <vparam name=\"sum\"><arg id=\"a\" param=\"a\"/><arg id=\"b\" "
                     "param=\"b\"/><script>return a + b;</script></vparam>\n"
                     "</class>\n<class name=\"P\" interface=\"pop\">\n";
    for (int p = 0; p < paramCount - 1; ++p) {
        const QByteArray name = "p" + QByteArray::number(p);
        xml += "  <param name=\"" + name + "\" type=\"" + (p % 3 ? "UINT" : "INT") +
            "\"><human_name>Parameter " + name +
            "</human_name><variants>0:Off,1:On,2:Test</variants><defvalue>0</defvalue></param>\n";
    }
    xml += "</class>\n</classlist>\n";
    QFile file(QDir(dir).filePath(QStringLiteral("classes.xml")));
    if (!file.open(QIODevice::WriteOnly) || file.write(xml) != xml.size())
        qFatal("cannot write the class file");
}

// The central objects a client publishes before it makes device databases.
struct Kernel
{
    Kernel()
    {
        writeClasses(dir.path());
        share::scriptEngine = &engine;
        share::xmlClassesPath = dir.path();
        classDb = std::make_unique<ClassDb>(nullptr);
        share::classDb = classDb.get();
    }
    ~Kernel()
    {
        share::classDb = nullptr;
        share::scriptEngine = nullptr;
    }

    QTemporaryDir dir;
    QScriptEngine engine;
    std::unique_ptr<ClassDb> classDb;
};

// A database with one bound device of class H, every parameter bound to its
// index in device.
struct HotDevice
{
    HotDevice()
    {
        device = db.createEmptyDevice(QStringLiteral("H"), 1, 0, 5);
        device->populateDevice();
        for (Param* param : qAsConst(device->parameters)) {
            if (param->arraySize > 0)
                db.setParamCode(5, param->DbEntity::name, param->indexInDevice);
        }
    }
    int code(const char* name) const
    {
        return device->parametersByName.value(QLatin1String(name))->code;
    }

    DeviceDb db {nullptr, nullptr};
    Device* device = nullptr;
};

Kernel* g_kernel = nullptr;

void deliver(benchmark::State& state, const char* paramName, int signalsPerCall)
{
    HotDevice hot;
    long received = 0;
    QObject::connect(hot.device, &Device::signalParamHasRead, hot.device,
                     [&received](int, int, int, const ParamCore*) { ++received; });
    const int code = hot.code(paramName);
    unsigned long value = 0;
    hot.db.setParamValue(5, code, value); // warm-up
    const std::size_t before = g_allocations;
    for (auto _ : state)
        benchmark::DoNotOptimize(hot.db.setParamValue(5, code, ++value));
    const std::size_t allocations = g_allocations - before;
    if (received != long(state.iterations() + 1) * signalsPerCall)
        state.SkipWithError("a delivery lost its signal");
    state.SetItemsProcessed(state.iterations());
    state.counters["allocs_per_call"] =
        benchmark::Counter(double(allocations) / double(state.iterations()));
}

void BM_SetParamValueUint(benchmark::State& state)
{
    deliver(state, "value", 1);
}
BENCHMARK(BM_SetParamValueUint);

void BM_SetParamValueWith8Bits(benchmark::State& state)
{
    deliver(state, "word", 9);
}
BENCHMARK(BM_SetParamValueWith8Bits);

void BM_Populate1000Devices(benchmark::State& state)
{
    double bytesPerParam = 0;
    double bytesPerParamWithDevice = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::size_t empty = mallinfo2().uordblks;
        auto db = std::make_unique<DeviceDb>(nullptr, nullptr);
        QList<Device*> created;
        for (int i = 0; i < deviceCount; ++i)
            created << db->createEmptyDevice(QStringLiteral("P"), i % 256, i / 256, -1);
        const std::size_t devices = mallinfo2().uordblks;
        state.ResumeTiming();

        for (Device* device : qAsConst(created))
            device->populateDevice();

        state.PauseTiming();
        const std::size_t populated = mallinfo2().uordblks;
        const double params = double(deviceCount) * paramCount;
        bytesPerParam = double(populated - devices) / params;
        bytesPerParamWithDevice = double(populated - empty) / params;
        db.reset();
        // The next round starts from a tidy heap, as a fresh client does,
        // instead of paying for sorting the chunks this round freed.
        malloc_trim(0);
        state.ResumeTiming();
    }
    state.counters["heap_bytes_per_param"] = bytesPerParam;
    state.counters["heap_bytes_per_param_incl_device"] = bytesPerParamWithDevice;
}
BENCHMARK(BM_Populate1000Devices)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_VirtualParamScript(benchmark::State& state)
{
    HotDevice hot;
    Param* sum = hot.device->parametersByName.value(QStringLiteral("sum"));
    sum->createTicket(1, 10);
    const int a = hot.code("a");
    const int b = hot.code("b");
    unsigned long value = 0;
    for (auto _ : state) {
        hot.db.setParamValue(5, a, ++value);
        hot.db.setParamValue(5, b, value);
    }
    if (sum->readValue != quint32(2 * value))
        state.SkipWithError("the script did not run");
    state.SetItemsProcessed(state.iterations()); // one evaluation per iteration
}
BENCHMARK(BM_VirtualParamScript);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Kernel kernel;
    g_kernel = &kernel;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
