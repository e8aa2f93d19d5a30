#include "template_actions.h"

#include "device_model.h"
#include "host_tree_model.h"
#include "main_window.h"
#include "profile_run.h"
#include "step_dialog.h"
#include "template_steps.h"

#include "connections/engine.h"
#include "devices/device_db.h"
#include "devices/paramlist.h"
#include "foundation/app_shared.h"
#include "foundation/safe_text.h"
#include "hostgraph/host_graph.h"
#include "users/user_capabilities.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QListView>
#include <QRegularExpression>
#include <QSettings>
#include <QTreeView>

namespace {

const QString folderKey = QStringLiteral("templates/folder");

QSettings clientSettings()
{
    return QSettings(QStringLiteral("tavo-client"), QStringLiteral("tavo-client"));
}

QString safe(const QString& text)
{
    return utils::escapeControlCharacters(text);
}

/// The hosts at and below @p index, in the model's order.
void collectHosts(const QAbstractItemModel* model, const QModelIndex& index, QList<int>& keys)
{
    if (index.data(HostTreeModel::IsHostRole).toBool()) {
        const int key = index.data(HostTreeModel::KeyRole).toInt();
        if (!keys.contains(key))
            keys.append(key);
        return;
    }
    for (int row = 0; row < model->rowCount(index); ++row)
        collectHosts(model, model->index(row, 0, index), keys);
}

} // namespace

TemplateActions::TemplateActions(MainWindow* window, const UserCapabilities* users)
    : QObject(window)
    , m_window(window)
    , m_users(users)
    , m_applyTemplate(new QAction(QIcon::fromTheme(QStringLiteral("document-import")),
                                  tr("Apply &Template to Device..."), this))
    , m_applyProfile(new QAction(QIcon::fromTheme(QStringLiteral("run-build")),
                                 tr("Apply &Profile to Hosts..."), this))
    , m_writeTemplate(new QAction(QIcon::fromTheme(QStringLiteral("document-export")),
                                  tr("&Save Device as Template..."), this))
{
    m_applyTemplate->setShortcut(Qt::CTRL | Qt::Key_T);
    m_applyTemplate->setStatusTip(tr("Write the values of a template file to the selected device"));
    m_applyProfile->setShortcut(Qt::CTRL | Qt::SHIFT | Qt::Key_P);
    m_applyProfile->setStatusTip(
        tr("Run a profile over the selected hosts and the hosts of the selected folders"));
    m_writeTemplate->setShortcut(Qt::CTRL | Qt::SHIFT | Qt::Key_T);
    m_writeTemplate->setStatusTip(tr("Write the selected device's values into a template file"));

    connect(m_applyTemplate, &QAction::triggered, this, [this] {
        const QString path = chooseFile(tr("Apply Template"), false, QString());
        if (!path.isEmpty())
            applyTemplate(path);
    });
    connect(m_applyProfile, &QAction::triggered, this, [this] {
        const QString path = chooseFile(tr("Apply Profile"), false, QString());
        if (!path.isEmpty())
            applyProfile(path);
    });
    connect(m_writeTemplate, &QAction::triggered, this, [this] {
        const Device* device = selectedDevice();
        // Device names come from the host: only plain characters make the
        // suggested file name.
        QString name = device ? device->name : QString();
        name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_.-]")), QStringLiteral("_"));
        const QString path =
            chooseFile(tr("Save Device as Template"), true, name + QStringLiteral(".xml"));
        if (!path.isEmpty())
            writeTemplate(path);
    });

    connect(m_window->deviceView()->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &TemplateActions::updateActions);
    connect(m_window->hostView()->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TemplateActions::updateActions);
    connect(m_window->deviceModel(), &QAbstractItemModel::modelReset, this,
            &TemplateActions::updateActions);
    connect(m_window->deviceModel(), &QAbstractItemModel::rowsRemoved, this,
            &TemplateActions::updateActions);
    updateActions();
}

TemplateActions::~TemplateActions() = default;

QList<QAction*> TemplateActions::actions() const
{
    return {m_applyTemplate, m_applyProfile, m_writeTemplate};
}

StepDialog* TemplateActions::applyTemplate(const QString& path)
{
    const Device* device = selectedDevice();
    const DeviceDb* db = m_window->deviceModel()->deviceDb();
    const auto* engine = db ? qobject_cast<const Engine*>(db->parent()) : nullptr;
    const NodeAttr* host = engine ? engine->nodeAttr() : nullptr;
    const QString deviceName = device ? device->name : QString();
    StepDialog* dialog =
        StepDialog::showNew(tr("Template %1 on %2 of %3")
                                .arg(safe(QFileInfo(path).fileName()), safe(deviceName),
                                     host ? safe(host->url()) : tr("no host")),
                            m_window);
    if (mayWrite())
        dialog->addSteps(TemplateSteps::apply(path, host ? host->key() : -1, deviceName));
    else
        dialog->addStep({tr("The current user may not write parameters"), Step::Failed});
    dialog->finish();
    return dialog;
}

StepDialog* TemplateActions::applyProfile(const QString& path)
{
    const QList<int> keys = selectedHostKeys();
    StepDialog* dialog = StepDialog::showNew(
        tr("Profile %1 on %2 hosts").arg(safe(QFileInfo(path).fileName())).arg(keys.size()),
        m_window);
    if (!mayWrite()) {
        dialog->addStep({tr("The current user may not write parameters"), Step::Failed});
        dialog->finish();
        return dialog;
    }
    // The run goes with its window: closing the window stops it.
    auto* run = new ProfileRun(dialog);
    connect(run, &ProfileRun::stepDone, dialog, &StepDialog::addStep);
    connect(run, &ProfileRun::progress, dialog, &StepDialog::setProgress);
    connect(run, &ProfileRun::finished, dialog, &StepDialog::finish);
    connect(dialog, &StepDialog::cancelRequested, run, &ProfileRun::cancel);
    run->start(path, keys);
    return dialog;
}

StepDialog* TemplateActions::writeTemplate(const QString& path)
{
    const Device* device = selectedDevice();
    StepDialog* dialog = StepDialog::showNew(
        tr("Template of %1").arg(device ? safe(device->name) : tr("no device")), m_window);
    dialog->addSteps(TemplateSteps::write(path, device));
    dialog->finish();
    return dialog;
}

void TemplateActions::updateActions()
{
    const bool hasDevice = selectedDevice() != nullptr;
    m_applyTemplate->setEnabled(hasDevice);
    m_writeTemplate->setEnabled(hasDevice);
    m_applyProfile->setEnabled(!selectedHostKeys().isEmpty());
}

const Device* TemplateActions::selectedDevice() const
{
    const QModelIndex current = m_window->deviceView()->currentIndex();
    return current.isValid() ? m_window->deviceModel()->deviceAt(current) : nullptr;
}

QList<int> TemplateActions::selectedHostKeys() const
{
    const QTreeView* view = m_window->hostView();
    QModelIndexList rows = view->selectionModel()->selectedRows();
    if (rows.isEmpty() && view->currentIndex().isValid())
        rows.append(view->currentIndex().sibling(view->currentIndex().row(), 0));
    QList<int> keys;
    for (const QModelIndex& row : qAsConst(rows))
        collectHosts(view->model(), row, keys);
    return keys;
}

bool TemplateActions::mayWrite() const
{
    return !m_users || m_users->checkForCapability(QStringLiteral("write"));
}

QString TemplateActions::chooseFile(const QString& title, bool save, const QString& suggestedName)
{
    QSettings settings = clientSettings();
    const QString folder = settings.value(folderKey, share::resourcesPath).toString();
    const QString filter = tr("Templates and profiles (*.xml *.XML);;All files (*)");
    const QString path = save ? QFileDialog::getSaveFileName(
                                    m_window, title, QDir(folder).filePath(suggestedName), filter)
                              : QFileDialog::getOpenFileName(m_window, title, folder, filter);
    if (!path.isEmpty())
        settings.setValue(folderKey, QFileInfo(path).absolutePath());
    return path;
}
