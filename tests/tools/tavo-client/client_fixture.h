#pragma once

#include "child_program.h"
#include "kernel_startup.h"
#include "resource_dir.h"
#include "share_restorer.h"
#include "testlog.h"

#include <QModelIndex>

#include <memory>

class NodeAttr;
class QAbstractItemModel;

/**
 * What a desktop client test stands on: tavo-nesim running the demo
 * equipment, and the kernel as the client starts it (the shipped demo
 * resources, the built protocol plug-ins, the per-user settings in a
 * temporary folder), logging into a recording log. Start the monitors once
 * the hosts exist, as the client does.
 */
class ClientFixture
{
public:
    /// @p scenario: a scenario file for the simulator; empty: the demo's.
    explicit ClientFixture(const QString& scenario = QString());
    ~ClientFixture();
    ClientFixture(const ClientFixture&) = delete;
    ClientFixture& operator=(const ClientFixture&) = delete;

    bool simulatorRunning() const { return simulator.isUp(); }
    quint16 simulatorPort() const { return simulator.tcp; }
    /// What the simulator printed so far (it says what it was asked to write).
    const QString& simulatorOutput() const { return simulator.out; }
    /// A host of type tavo-ne on the simulator, at the top of the graph,
    /// named after its address.
    NodeAttr* addSimulatorHost();

    ResourceDir dir;
    ShareRestorer restorer;
    TestLog log;
    Simulator simulator;
    std::unique_ptr<KernelStartup> kernel;
};

/// Each row of @p model, depth first, as "<column>|<column>|..." of the
/// @p columns given in @p role; a child row is indented by two spaces.
QStringList rowsOf(const QAbstractItemModel& model, const QList<int>& columns,
                   int role = Qt::DisplayRole, const QModelIndex& parent = {});

/// "<outcome>: <text>" per step of a step list.
template<class Steps> QStringList stepsOf(const Steps& steps)
{
    QStringList texts;
    for (const auto& step : steps)
        texts << QStringLiteral("%1: %2").arg(int(step.outcome)).arg(step.text);
    return texts;
}
