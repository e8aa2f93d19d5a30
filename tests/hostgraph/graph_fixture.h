#pragma once

#include "connections/engine_box.h"
#include "connections/protocol_manager.h"
#include "foundation/app_shared.h"
#include "hostgraph/host_graph.h"
#include "hosttypes/host_type_db.h"
#include "kernel_fixture.h"

#include <QSettings>

#include <memory>

/**
 * What a host graph needs around it: the test protocols (test-tcp with the
 * variables "password" and "request_limit", test-udp), host types "mux" and
 * "radio", and an engine registry. Per-user settings go to a temporary
 * directory, and the graph starts in single-host mode unless a test says
 * otherwise, so no test reads or writes the real user's files. One graph is
 * ready as @c graph.
 */
class GraphFixture : public KernelFixture
{
public:
    GraphFixture()
    {
        loadClasses();
        share::xmlNodeTypesPath = dir.makeDir(QStringLiteral("xml_nodetypes"));
        dir.writeFile(QStringLiteral("xml_nodetypes/types.xml"), R"(<?xml version="1.0"?>
<nodetypelist>
  <nodetype name="mux" protocol="test-tcp"><device>E1</device></nodetype>
  <nodetype name="radio" protocol="test-udp"/>
</nodetypelist>
)");
        hostTypes = std::make_unique<HostTypeDb>(nullptr);
        share::hostTypeDb = hostTypes.get();
        protocols.loadPlugins(QStringLiteral(TAVO_TEST_PROTOCOLS_DIR "/good"));
        share::protocolManager = &protocols;
        share::engineBox = box.get();
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                           dir.makeDir(QStringLiteral("settings")));
        share::isSingleMode = true;
        graph = freshGraph();
        log.clear();
    }

    ~GraphFixture()
    {
        // The engines first: they refer to the hosts of the graph.
        box.reset();
    }

    /// A graph published as share::hostGraph, with the engines of a fresh
    /// registry, as a second client would have it.
    std::unique_ptr<HostGraph> freshGraph()
    {
        box = std::make_unique<EngineBox>();
        share::engineBox = box.get();
        auto graph = std::make_unique<HostGraph>(nullptr);
        share::hostGraph = graph.get();
        return graph;
    }

    /// Host @p key (-1: the next free one) of type mux on @p protocol, at
    /// "h<key>" in folder @p parent of @c graph.
    NodeAttr* addHost(int key, int parent = 0, const QString& protocol = QStringLiteral("test-tcp"))
    {
        const QString name = QStringLiteral("h%1").arg(key);
        return graph->createNodeAttr(key, QStringLiteral("mux"), protocol, name, 7001, parent,
                                     name);
    }

    ProtocolManager protocols;
    std::unique_ptr<HostTypeDb> hostTypes;
    std::unique_ptr<EngineBox> box = std::make_unique<EngineBox>();
    std::unique_ptr<HostGraph> graph;
};
