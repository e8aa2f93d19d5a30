#pragma once

#include "client_fixture.h"
#include "desktop_notifier.h"
#include "device_model.h"
#include "log_model.h"
#include "main_window.h"
#include "param_model.h"

#include "connections/engine.h"
#include "connections/engine_box.h"
#include "hostgraph/host_graph.h"

#include <QtTest>

#include <memory>

/// The window over a kernel with one host on the simulator, connected.
struct WindowFixture : ClientFixture
{
    explicit WindowFixture(const QString& scenario = QString())
        : ClientFixture(scenario)
    {
        host = addSimulatorHost();
        notifier.setSoundEnabled(false);
        kernel->startMonitors(&notifier);
        window = std::make_unique<MainWindow>(kernel.get(), &logModel, &notifier);
        window->show();
        if (host)
            kernel->engineBox->getEngineByNodeAttr(host)->connectToHost();
    }
    ~WindowFixture() { window.reset(); }

    /// The host's device shown, as an operator picks it; false when it
    /// never appears.
    bool showDevice(const QString& device)
    {
        window->selectHost(host->key());
        if (!QTest::qWaitFor([&] { return window->deviceModel()->indexOf(device).isValid(); },
                             10000))
            return false;
        window->selectDevice(device);
        return window->paramModel()->device() != nullptr;
    }

    QString valueText(const QString& param) const
    {
        const QModelIndex index = window->paramModel()->indexOf(param, ParamModel::ValueColumn);
        return index.isValid() ? index.data().toString() : QString();
    }

    NodeAttr* host = nullptr;
    LogModel logModel;
    DesktopNotifier notifier;
    std::unique_ptr<MainWindow> window;
};
