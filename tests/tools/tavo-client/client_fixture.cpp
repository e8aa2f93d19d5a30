#include "client_fixture.h"

#include "foundation/app_shared.h"

#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QSettings>
#include <QStandardPaths>

ClientFixture::ClientFixture(const QString& scenario)
    : simulator(QStringLiteral(TAVO_NESIM_BIN), QStringLiteral(TAVO_DEMO_DIR),
                scenario.isEmpty() ? QStringLiteral(TAVO_DEMO_DIR "/scenario.txt") : scenario)
{
    QStandardPaths::setTestModeEnabled(true);
    // The client's own settings (native format) and the kernel's ini files,
    // both in this test's folder, so that no run sees another's.
    for (const QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
        QSettings::setPath(format, QSettings::UserScope, dir.filePath(QStringLiteral("settings")));
    // No reactions configured unless a test writes its own action list.
    dir.writeFile(QStringLiteral("settings/tavo-client/tavo_action_list.xml.ini"),
                  "<?xml version=\"1.0\"?>\n<actionlist/>\n");

    share::resourcesPath = QStringLiteral(TAVO_DEMO_DIR);
    share::pluginsPath = QStringLiteral(TAVO_PLUGINS_DIR);
    share::global_init();
    share::isSingleMode = false;
    kernel = std::make_unique<KernelStartup>(&log);
}

ClientFixture::~ClientFixture()
{
    kernel.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

NodeAttr* ClientFixture::addSimulatorHost()
{
    return kernel->createHost(QStringLiteral("127.0.0.1"), simulator.tcp,
                              QStringLiteral("tavo-ne"));
}

QStringList rowsOf(const QAbstractItemModel& model, const QList<int>& columns, int role,
                   const QModelIndex& parent)
{
    const QString indent(parent.isValid() ? 2 : 0, QLatin1Char(' '));
    QStringList rows;
    for (int row = 0; row < model.rowCount(parent); ++row) {
        QStringList cells;
        for (int column : columns)
            cells << model.index(row, column, parent).data(role).toString();
        rows << indent + cells.join(QLatin1Char('|'));
        for (const QString& child : rowsOf(model, columns, role, model.index(row, 0, parent)))
            rows << indent + child;
    }
    return rows;
}
