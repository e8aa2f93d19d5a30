// Values per second from the simulator to signalParamHasRead over loopback
// TCP, one engine with the "tavo" plug-in: every parameter is asked for
// again as soon as its value arrives, so the only limits are the engine's
// per-tick request budget and the two processes' work.

#include "classes/class_db.h"
#include "connections/engine.h"
#include "connections/protocol_manager.h"
#include "devices/device_db.h"
#include "devices/paramlist.h"
#include "foundation/app_shared.h"
#include "hostgraph/host_graph.h"
#include "hosttypes/host_type_db.h"

#include "read_loop.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QScriptEngine>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int deviceCount = 40;

void BM_ValuesPerSecondOverTcp(benchmark::State& state)
{
    QTemporaryDir dir;
    QByteArray scenario = "seed 1\n";
    for (int d = 1; d <= deviceCount; ++d)
        scenario += "device E1 " + QByteArray::number(d) + ' ' + QByteArray::number(d) +
            "\n  counter crc_errors 0 7\n  random slips_0 0 100\n";
    QFile file(dir.filePath(QStringLiteral("scenario.txt")));
    if (!file.open(QIODevice::WriteOnly) || file.write(scenario) != scenario.size())
        qFatal("cannot write the scenario");
    file.close();

    QProcess simulator;
    const QString portFile = dir.filePath(QStringLiteral("ports"));
    simulator.start(QStringLiteral(TAVO_NESIM_BIN),
                    {QStringLiteral("--classes=" TAVO_DEMO_DIR "/xml_classes"),
                     QStringLiteral("--scenario=%1").arg(file.fileName()),
                     QStringLiteral("--port=0"), QStringLiteral("--udp-port=0"),
                     QStringLiteral("--port-file=%1").arg(portFile)});
    QElapsedTimer wait;
    wait.start();
    while (QFileInfo(portFile).size() == 0 && wait.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    QFile ports(portFile);
    if (!ports.open(QIODevice::ReadOnly)) {
        state.SkipWithError("the simulator did not start");
        return;
    }
    const quint16 port = quint16(ports.readAll().split(' ').value(0).toUInt());

    NodeAttr node(1, 0, QStringLiteral("sim"), QStringLiteral("none"), QStringLiteral("127.0.0.1"),
                  QStringLiteral("tavo"), port, nullptr);
    Engine engine(&node, nullptr);
    DeviceDb* db = engine.deviceDb();
    long delivered = 0;
    askAgainOnEveryValue(db, delivered);
    engine.connectToHost();
    wait.restart();
    while (db->devices.size() < deviceCount + 1 && wait.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    // The first round of reads; every answer asks again.
    for (Device* device : db->devices) {
        if (device->service)
            continue;
        for (const Param* param : qAsConst(device->parameters)) {
            if (!param->isVirtual && param->code >= 0)
                db->readQuery(device->DbEntity::name, param->DbEntity::name, 1, false);
        }
    }

    double cpu = 0, wall = 0;
    long values = 0;
    for (auto _ : state) {
        const long before = delivered;
        const double cpuStart = processCpuSeconds();
        QElapsedTimer elapsed;
        elapsed.start();
        QEventLoop loop;
        QTimer::singleShot(3000, &loop, &QEventLoop::quit);
        loop.exec();
        cpu += processCpuSeconds() - cpuStart;
        wall += double(elapsed.nsecsElapsed()) / 1e9;
        values += delivered - before;
    }
    simulator.kill();
    simulator.waitForFinished(3000);
    if (values == 0)
        state.SkipWithError("no value arrived");
    state.counters["values_per_second"] = double(values) / wall;
    state.counters["client_cpu_percent"] = 100.0 * cpu / wall;
    state.counters["client_us_per_value"] = values ? 1e6 * cpu / double(values) : 0;
}
BENCHMARK(BM_ValuesPerSecondOverTcp)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qRegisterMetaType<const ParamCore*>();
    QScriptEngine engine;
    share::scriptEngine = &engine;
    share::xmlClassesPath = QStringLiteral(TAVO_DEMO_DIR "/xml_classes");
    ClassDb classDb(nullptr);
    share::classDb = &classDb;
    ProtocolManager protocols;
    protocols.loadPlugins(QStringLiteral(TAVO_PLUGINS_DIR "/protocols"));
    share::protocolManager = &protocols;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    share::protocolManager = nullptr;
    share::classDb = nullptr;
    share::scriptEngine = nullptr;
    return 0;
}
