// Saving and reading the per-user host graph at its size in a large network:
// 5000 hosts in 500 folders, every host accepted through the test protocol
// plug-in and given its engine, as at the client's start-up.

#include "connections/engine_box.h"
#include "hostgraph/host_graph.h"
#include "protocol_kernel.h"

#include <QCoreApplication>
#include <QDir>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int folderCount = 500;
constexpr int hostsPerFolder = 10;

// A graph and the registry that holds its engines.
struct Graph
{
    Graph()
    {
        share::engineBox = &box;
        graph = std::make_unique<HostGraph>(nullptr);
    }
    ~Graph()
    {
        graph.reset();
        share::engineBox = nullptr;
    }

    void fill()
    {
        int key = 1;
        for (int f = 0; f < folderCount; ++f) {
            const int folderKey = key++;
            graph->createFolder(folderKey, f < 50 ? 0 : 1 + f % 50,
                                QStringLiteral("Region %1").arg(f));
            for (int h = 0; h < hostsPerFolder; ++h) {
                NodeAttr* node = graph->createNodeAttr(
                    key++, QStringLiteral("none"), QStringLiteral("test-tcp"),
                    QStringLiteral("10.%1.%2.1").arg(f / 250).arg(f % 250), quint16(7001 + h),
                    folderKey, QStringLiteral("Host %1.%2").arg(f).arg(h));
                node->setDescription(QStringLiteral("Rack %1, shelf %2").arg(f).arg(h));
                if (h % 2)
                    node->setCustomVarValue(QStringLiteral("password"),
                                            QStringLiteral("pw%1").arg(h));
            }
        }
    }

    EngineBox box;
    std::unique_ptr<HostGraph> graph;
};

ProtocolKernel* g_kernel = nullptr;

QString graphPath()
{
    return QDir(g_kernel->dir.path()).filePath(QStringLiteral("graph.xml"));
}

void BM_SaveHostGraph(benchmark::State& state)
{
    Graph graph;
    graph.fill();
    for (auto _ : state) {
        if (!graph.graph->saveToFile(graphPath()))
            state.SkipWithError("the graph was not saved");
    }
    state.counters["hosts"] = double(graph.graph->hostList.size());
}
BENCHMARK(BM_SaveHostGraph)->Unit(benchmark::kMillisecond);

void BM_LoadHostGraph(benchmark::State& state)
{
    {
        Graph source;
        source.fill();
        source.graph->saveToFile(graphPath());
    }
    for (auto _ : state) {
        state.PauseTiming();
        auto graph = std::make_unique<Graph>();
        state.ResumeTiming();
        if (!graph->graph->loadFromFile(graphPath()) ||
            graph->graph->hostList.size() != folderCount * hostsPerFolder)
            state.SkipWithError("the graph was not read whole");
        state.PauseTiming();
        graph.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LoadHostGraph)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ProtocolKernel kernel;
    g_kernel = &kernel;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
