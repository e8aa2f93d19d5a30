#pragma once

#include "connections/engine.h"
#include "connections/engine_box.h"
#include "devices/device_db.h"
#include "devices/paramlist.h"
#include "foundation/app_shared.h"
#include "hostgraph/host_graph.h"
#include "kernel_fixture.h"

#include <memory>
#include <vector>

/**
 * A kernel with hosts outside any graph, each with an engine in a registry
 * published as share::engineBox. Without a protocol an engine sends nothing,
 * so tests drive its device database by hand.
 */
class HostsFixture : public KernelFixture
{
public:
    HostsFixture() { share::engineBox = &box; }
    ~HostsFixture() { share::engineBox = nullptr; }

    /// Host @p key (0: the next number) named "host<key>", at @p url
    /// ("10.0.0.<key>" when empty), with @p protocol (none when empty); the
    /// log is cleared after its creation.
    Engine* addEngine(const QString& url = QString(), int key = 0, quint16 port = 7000,
                      const QString& type = QStringLiteral("none"),
                      const QString& protocol = QString())
    {
        key = key ? key : int(nodes.size()) + 1;
        nodes.emplace_back(std::make_unique<NodeAttr>(
            key, 0, QStringLiteral("host%1").arg(key), type,
            url.isEmpty() ? QStringLiteral("10.0.0.%1").arg(key) : url, protocol, port, nullptr));
        Engine* engine = box.createEngine(nodes.back().get());
        log.clear();
        return engine;
    }

    /// A device on code @p code with every parameter bound to its index.
    static Device* addDevice(DeviceDb* db, const QString& className, int tag, int code)
    {
        Device* device = db->addDevice(className, tag, 0, code, Tavo::NativeProtocol, QString());
        if (!device || !device->populateDevice())
            return nullptr;
        for (Param* param : qAsConst(device->parameters))
            db->setParamCode(code, param->DbEntity::name, param->indexInDevice);
        return device;
    }
    static Device* addDevice(Engine* engine, const QString& className, int tag, int code)
    {
        return addDevice(engine->deviceDb(), className, tag, code);
    }

    static Param* param(Device* device, const char* name)
    {
        return device->parametersByName.value(QLatin1String(name));
    }
    static int codeOf(Device* device, const char* name) { return param(device, name)->code; }

    // The hosts outlive their engines.
    std::vector<std::unique_ptr<NodeAttr>> nodes;
    EngineBox box;
};
