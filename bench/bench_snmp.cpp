// Values per second from a local snmpd to signalParamHasRead with the "snmp"
// plug-in, every parameter asked again as its value arrives; and, in the same
// run, net-snmp's own snmpget fetching the same objects with as many
// varbinds per request, for the CPU each value costs there.

#include "classes/class_db.h"
#include "connections/engine.h"
#include "connections/protocol_manager.h"
#include "devices/device_db.h"
#include "devices/paramlist.h"
#include "foundation/app_shared.h"
#include "hostgraph/host_graph.h"
#include "hosttypes/host_type_db.h"
#include "snmp_agent.h"

#include "read_loop.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QScriptEngine>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

namespace {

constexpr int VarbindsPerRequest = 32; // the plug-in's default max_varbinds

double childrenCpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
        double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void runEventsFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

SnmpAgent* g_agent = nullptr;
QStringList g_oids; // what the kernel read, for snmpget

void BM_KernelValuesPerSecond(benchmark::State& state)
{
    NodeAttr node(1, 0, QStringLiteral("agent"), QStringLiteral("snmp-device"),
                  QStringLiteral("127.0.0.1"), QStringLiteral("snmp"), g_agent->port(), nullptr);
    Engine engine(&node, nullptr);
    DeviceDb* db = engine.deviceDb();
    long delivered = 0;
    askAgainOnEveryValue(db, delivered);
    engine.connectToHost();
    QElapsedTimer wait;
    wait.start();
    while (db->devices.size() < 3 && wait.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    g_oids.clear();
    for (Device* device : db->devices) {
        if (device->protocol != Tavo::SnmpProtocol)
            continue;
        for (const Param* param : qAsConst(device->parameters)) {
            if (param->isVirtual || param->oid.isEmpty())
                continue;
            g_oids << param->oid;
            db->readQuery(device->DbEntity::name, param->DbEntity::name, 1, false);
        }
    }
    runEventsFor(1000); // objects the agent lacks are told and left out

    double cpu = 0, wall = 0;
    long values = 0;
    for (auto _ : state) {
        const long before = delivered;
        const double cpuStart = processCpuSeconds();
        QElapsedTimer elapsed;
        elapsed.start();
        runEventsFor(3000);
        cpu += processCpuSeconds() - cpuStart;
        wall += double(elapsed.nsecsElapsed()) / 1e9;
        values += delivered - before;
    }
    if (values == 0)
        state.SkipWithError("no value arrived");
    state.counters["objects"] = double(g_oids.size());
    state.counters["values_per_second"] = double(values) / wall;
    state.counters["client_cpu_percent"] = 100.0 * cpu / wall;
    state.counters["client_us_per_value"] = values ? 1e6 * cpu / double(values) : 0;
}
BENCHMARK(BM_KernelValuesPerSecond)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same objects through snmpget, VarbindsPerRequest to a process: its
// CPU is the start-up and the encoding of one request and its answer.
void BM_SnmpgetCpuPerValue(benchmark::State& state)
{
    if (g_oids.isEmpty()) {
        state.SkipWithError("the kernel benchmark found no objects");
        return;
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("MIBS"), QString()); // no MIB parsing, numbers only
    long values = 0;
    double cpu = 0;
    for (auto _ : state) {
        const double before = childrenCpuSeconds();
        for (int at = 0; at < g_oids.size(); at += VarbindsPerRequest) {
            QProcess snmpget;
            snmpget.setProcessEnvironment(environment);
            snmpget.start(QStringLiteral("snmpget"),
                          QStringList {QStringLiteral("-v2c"), QStringLiteral("-c"),
                                       SnmpAgent::readCommunity(), QStringLiteral("-On"),
                                       QStringLiteral("-Oq"), g_agent->address()} +
                              g_oids.mid(at, VarbindsPerRequest));
            snmpget.waitForFinished(10000);
            values += qMin(VarbindsPerRequest, int(g_oids.size()) - at);
        }
        cpu += childrenCpuSeconds() - before;
    }
    state.counters["snmpget_us_per_value"] = values ? 1e6 * cpu / double(values) : 0;
}
BENCHMARK(BM_SnmpgetCpuPerValue)->Iterations(20)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qRegisterMetaType<const ParamCore*>();
    SnmpAgent agent;
    if (!agent.start()) {
        std::fprintf(stderr, "bench_snmp: snmpd did not start\n%s", agent.log().constData());
        return 1;
    }
    g_agent = &agent;
    QScriptEngine engine;
    share::isSingleMode = true;
    share::scriptEngine = &engine;
    share::xmlClassesPath = QStringLiteral(TAVO_DEMO_DIR "/xml_classes");
    share::xmlNodeTypesPath = QStringLiteral(TAVO_DEMO_DIR "/xml_nodetypes");
    ClassDb classDb(nullptr);
    share::classDb = &classDb;
    HostTypeDb hostTypes(nullptr);
    share::hostTypeDb = &hostTypes;
    ProtocolManager protocols;
    protocols.loadPlugins(QStringLiteral(TAVO_PLUGINS_DIR "/protocols"));
    share::protocolManager = &protocols;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    share::protocolManager = nullptr;
    share::hostTypeDb = nullptr;
    share::classDb = nullptr;
    share::scriptEngine = nullptr;
    return 0;
}
