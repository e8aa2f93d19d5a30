// What the engines cost: the 50 ms timers of a thousand hosts that are not
// connected, and one connected engine's tick with a thousand reads queued,
// each read worked up by the test protocol plug-in and sent in one request,
// and the answers to them parsed back into the device database.

#include "connections/engine.h"
#include "connections/i_protocol.h"
#include "connections/protocol.h"
#include "devices/device_db.h"
#include "devices/paramlist.h"
#include "hostgraph/host_graph.h"
#include "protocol_kernel.h"
#include "test_protocol_control.h"

#include "read_loop.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QTimerEvent>

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

constexpr int paramCount = 1000;
constexpr int deviceCode = 4;

QByteArray bulkClassFile()
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<classlist>\n"
                     "<class name=\"B\" interface=\"bulk\">\n";
    for (int p = 0; p < paramCount; ++p)
        xml += "  <param name=\"p" + QByteArray::number(p) + "\"/>\n";
    return xml + "</class>\n</classlist>\n";
}

NodeAttr* makeNode(std::vector<std::unique_ptr<NodeAttr>>& nodes, const QString& protocol,
                   quint16 port)
{
    nodes.emplace_back(std::make_unique<NodeAttr>(
        int(nodes.size()) + 1, -1, QStringLiteral("host"), QStringLiteral("none"),
        QStringLiteral("127.0.0.1"), protocol, port, nullptr));
    return nodes.back().get();
}

void BM_IdleEngines(benchmark::State& state)
{
    const int count = int(state.range(0));
    std::vector<std::unique_ptr<NodeAttr>> nodes;
    std::vector<std::unique_ptr<Engine>> engines;
    for (int i = 0; i < count; ++i)
        engines.emplace_back(
            std::make_unique<Engine>(makeNode(nodes, QStringLiteral("test-tcp"), 7001), nullptr));

    double cpu = 0;
    double wall = 0;
    for (auto _ : state) {
        const double cpuStart = processCpuSeconds();
        QElapsedTimer elapsed;
        elapsed.start();
        QEventLoop loop;
        QTimer::singleShot(1000, &loop, &QEventLoop::quit);
        loop.exec();
        cpu += processCpuSeconds() - cpuStart;
        wall += double(elapsed.nsecsElapsed()) / 1e9;
    }
    state.counters["cpu_percent_of_a_core"] = 100.0 * cpu / wall;
}
BENCHMARK(BM_IdleEngines)->Arg(1000)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

// An engine connected to a local server that reads and forgets what it is
// sent, with one device of a thousand bound parameters.
struct ConnectedEngine
{
    ConnectedEngine()
    {
        server.listen(QHostAddress::LocalHost);
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* client = server.nextPendingConnection())
                QObject::connect(client, &QTcpSocket::readyRead, [client] { client->readAll(); });
        });
        engine = std::make_unique<Engine>(
            makeNode(nodes, QStringLiteral("test-tcp"), server.serverPort()), nullptr);
        engine->connectToHost();
        QElapsedTimer elapsed;
        elapsed.start();
        while (!engine->isConnected() && elapsed.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        if (!engine->isConnected())
            qFatal("the engine did not connect to the local server");

        control()->settings().recording = false;
        QByteArray lines = "DEV B 1 0 " + QByteArray::number(deviceCode) + '\n';
        for (int p = 0; p < paramCount; ++p)
            lines += "PRM " + QByteArray::number(deviceCode) + " p" + QByteArray::number(p) + ' ' +
                QByteArray::number(p) + '\n';
        parse(lines);
        device = engine->deviceDb()->findDevice(QStringLiteral("B_0001"));
        if (!device || !device->parametersByCode.value(paramCount - 1))
            qFatal("the device was not bound");
        for (int p = 0; p < paramCount; ++p)
            names.append(QStringLiteral("p%1").arg(p));
        for (int p = 0; p < paramCount; ++p)
            answers += "VAL " + QByteArray::number(deviceCode) + ' ' + QByteArray::number(p) + ' ' +
                QByteArray::number(p * 7) + '\n';
    }

    TestProtocolControl* control() const
    {
        return qobject_cast<TestProtocolControl*>(engine->protocol()->plugin()->asQObject());
    }
    void parse(const QByteArray& bytes) const
    {
        engine->protocol()->plugin()->parse(bytes.constData(), bytes.size());
    }
    void queueAll() const
    {
        for (const QString& name : names)
            engine->deviceDb()->readQuery(device->DbEntity::name, name, 1, false);
    }
    void tick() const
    {
        QTimerEvent event(engine->timerId);
        QCoreApplication::sendEvent(engine.get(), &event);
    }
    // Lets the local server read what was sent and the engine send what is
    // left, so that every iteration starts from an empty result list.
    void drain() const
    {
        while (!engine->resultList.isEmpty())
            tick();
        QCoreApplication::processEvents();
    }

    QTcpServer server;
    std::vector<std::unique_ptr<NodeAttr>> nodes;
    std::unique_ptr<Engine> engine;
    Device* device = nullptr;
    QStringList names;
    QByteArray answers;
};

void BM_TickWithQueuedReads(benchmark::State& state)
{
    ConnectedEngine connected;
    for (auto _ : state) {
        state.PauseTiming();
        connected.drain();
        connected.parse(connected.answers); // nothing stays pending
        connected.queueAll();
        state.ResumeTiming();
        connected.tick();
    }
    if (connected.control()->malformedLines() != 0)
        state.SkipWithError("the answers were not understood");
    state.SetItemsProcessed(state.iterations() * paramCount);
}
BENCHMARK(BM_TickWithQueuedReads)->Unit(benchmark::kMicrosecond);

void BM_AnswersParsedIntoTheDatabase(benchmark::State& state)
{
    ConnectedEngine connected;
    for (auto _ : state)
        connected.parse(connected.answers);
    if (connected.device->parametersByCode.value(paramCount - 1)->readValue != (paramCount - 1) * 7)
        state.SkipWithError("the answers did not reach the parameters");
    state.SetItemsProcessed(state.iterations() * paramCount);
}
BENCHMARK(BM_AnswersParsedIntoTheDatabase)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qRegisterMetaType<const ParamCore*>();
    ProtocolKernel kernel(bulkClassFile());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
