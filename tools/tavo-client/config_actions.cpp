#include "config_actions.h"

#include "client_settings.h"

#include "config_archive.h"
#include "kernel_startup.h"
#include "step_dialog.h"

#include "foundation/safe_text.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QSettings>
#include <QStandardPaths>

namespace {

const QString folderKey = QStringLiteral("configuration/folder");
QString shown(const QString& path)
{
    return utils::escapeControlCharacters(QDir::toNativeSeparators(path));
}

} // namespace

ConfigActions::ConfigActions(QWidget* window, KernelStartup* kernel)
    : QObject(window)
    , m_window(window)
    , m_kernel(kernel)
    , m_export(new QAction(QIcon::fromTheme(QStringLiteral("document-export")),
                           tr("&Export Configuration..."), this))
    , m_import(new QAction(QIcon::fromTheme(QStringLiteral("document-import")),
                           tr("&Import Configuration..."), this))
{
    m_export->setShortcut(Qt::CTRL | Qt::SHIFT | Qt::Key_E);
    m_export->setStatusTip(
        tr("Save the hosts, the reactions, flap damping and the observed board in a zip archive"));
    m_import->setShortcut(Qt::CTRL | Qt::SHIFT | Qt::Key_I);
    m_import->setStatusTip(tr("Take the configuration from a zip archive"));
    auto folder = [] {
        return clientSettings()
            .value(folderKey, QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
            .toString();
    };
    auto remember = [](const QString& path) {
        clientSettings().setValue(folderKey, QFileInfo(path).absolutePath());
    };
    const QString filter = tr("Zip archives (*.zip);;All files (*)");

    connect(m_export, &QAction::triggered, this, [this, folder, remember, filter] {
        const QString path = QFileDialog::getSaveFileName(
            m_window, tr("Export Configuration"),
            QDir(folder()).filePath(QStringLiteral("tavo-configuration.zip")), filter);
        if (path.isEmpty())
            return;
        remember(path);
        exportTo(path);
    });
    connect(m_import, &QAction::triggered, this, [this, folder, remember, filter] {
        const QString path =
            QFileDialog::getOpenFileName(m_window, tr("Import Configuration"), folder(), filter);
        if (path.isEmpty())
            return;
        remember(path);
        if (QMessageBox::question(
                m_window, tr("Import Configuration"),
                tr("The files in %1 replace the ones of the same name here. Import?")
                    .arg(shown(path))) != QMessageBox::Yes)
            return;
        importFrom(path);
    });
}

ConfigActions::~ConfigActions() = default;

StepDialog* ConfigActions::exportTo(const QString& zipPath)
{
    // The graph as the window shows it, not as it was last saved.
    if (m_kernel)
        m_kernel->saveHostGraph(nullptr);
    ConfigArchive archive;
    archive.exportTo(zipPath);
    StepDialog* dialog = StepDialog::showNew(tr("Export to %1").arg(shown(zipPath)), m_window);
    dialog->addSteps(archive.steps());
    dialog->finish();
    return dialog;
}

StepDialog* ConfigActions::importFrom(const QString& zipPath)
{
    ConfigArchive archive;
    // The kernel reads these files as it starts.
    archive.importFrom(zipPath);
    StepDialog* dialog = StepDialog::showNew(
        tr("Import from %1; what is imported is used from the next start of the client")
            .arg(shown(zipPath)),
        m_window);
    dialog->addSteps(archive.steps());
    dialog->finish();
    return dialog;
}
