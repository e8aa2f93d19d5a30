#include "main_window.h"

#include "alarm_acknowledgements.h"
#include "alarm_model.h"
#include "alarm_sound_repeater.h"
#include "board_model.h"
#include "client_settings.h"
#include "config_actions.h"
#include "desktop_notifier.h"
#include "device_model.h"
#include "history_model.h"
#include "history_view.h"
#include "host_dialog.h"
#include "host_tree_model.h"
#include "kernel_startup.h"
#include "log_model.h"
#include "param_delegate.h"
#include "param_model.h"
#include "template_actions.h"
#include "trend_chart.h"
#include "trend_recorder.h"

#include "alarms/alarminfo.h"
#include "alarms/alarmmonitor.h"
#include "alarms/eventmonitor.h"
#include "connections/engine.h"
#include "connections/engine_box.h"
#include "devices/device_db.h"
#include "foundation/app_shared.h"
#include "foundation/safe_text.h"
#include "history/flap_damper.h"
#include "history/history_store.h"
#include "hostgraph/host_graph.h"
#include "users/user_capabilities.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDockWidget>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHelpEngineCore>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QMessageBox>
#include <QSettings>
#include <QSpinBox>
#include <QSplitter>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTableView>
#include <QTextBrowser>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>

class MainWindow::Private
{
public:
    KernelStartup* kernel = nullptr;
    LogModel* logModel = nullptr;
    AlarmModel* alarms = nullptr;
    HostTreeModel* hosts = nullptr;
    DeviceModel* devices = nullptr;
    ParamModel* params = nullptr;
    LogFilterModel* logFilter = nullptr;
    BoardModel* board = nullptr;

    QTreeView* hostView = nullptr;
    QListView* deviceView = nullptr;
    QTreeView* paramView = nullptr;
    QTableView* alarmView = nullptr;
    QTextBrowser* alarmHelp = nullptr;
    QTableView* logView = nullptr;
    QTreeView* boardView = nullptr;
    QSpinBox* period = nullptr;
    QComboBox* radix = nullptr;
    QCheckBox* scaled = nullptr;
    QLabel* connectedLabel = nullptr;
    QLabel* alarmLabel = nullptr;
    QDockWidget* alarmDock = nullptr;
    QDockWidget* logDock = nullptr;

    QAction* addFolder = nullptr;
    QAction* addHost = nullptr;
    QAction* editItem = nullptr;
    QAction* moveItem = nullptr;
    QAction* removeItem = nullptr;
    QAction* connectHost = nullptr;
    QAction* disconnectHost = nullptr;

    AlarmAcknowledgements* acknowledgements = nullptr;
    AlarmSoundRepeater* soundRepeater = nullptr;
    HistoryView* history = nullptr;
    TrendRecorder* trends = nullptr;
    TrendChart* trendChart = nullptr;
    QDockWidget* historyDock = nullptr;
    QDockWidget* trendDock = nullptr;
    QAction* acknowledge = nullptr;
    QAction* showHistory = nullptr;
    QAction* trendParam = nullptr;

    std::unique_ptr<QHelpEngineCore> help;
    int selectedHost = -1;
};

MainWindow::MainWindow(KernelStartup* kernel, LogModel* log, DesktopNotifier* notifier,
                       QWidget* parent)
    : QMainWindow(parent)
    , d(new Private)
{
    d->kernel = kernel;
    d->logModel = log;
    setWindowTitle(tr("tavo-client"));
    setObjectName(QStringLiteral("MainWindow"));

    // Models over the kernel's objects.
    d->alarms = new AlarmModel(kernel->alarmMonitor.get(), this);
    d->hosts = new HostTreeModel(kernel->hostGraph.get(), kernel->engineBox.get(), d->alarms, this);
    d->devices = new DeviceModel(this);
    d->params = new ParamModel(this);
    d->params->setUsers(&kernel->users);
    if (kernel->alarmMonitor) {
        connect(kernel->alarmMonitor.get(), &AlarmMonitor::paramStateChanged, d->params,
                &ParamModel::paramStateChanged);
        connect(kernel->alarmMonitor->eventMonitor, &EventMonitor::signalOpenTerminal, this,
                [this](QList<int> keys) {
                    if (!keys.isEmpty())
                        selectHost(keys.first());
                });
    }

    // Hosts on the left.
    d->hostView = new QTreeView;
    d->hostView->setObjectName(QStringLiteral("hostView"));
    d->hostView->setModel(d->hosts);
    d->hostView->setHeaderHidden(false);
    d->hostView->expandAll();
    // A profile goes to several hosts at once.
    d->hostView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    auto* hostDock = new QDockWidget(tr("Hosts"), this);
    hostDock->setObjectName(QStringLiteral("hostDock"));
    hostDock->setWidget(d->hostView);
    addDockWidget(Qt::LeftDockWidgetArea, hostDock);

    // Devices and their parameters in the middle.
    d->deviceView = new QListView;
    d->deviceView->setObjectName(QStringLiteral("deviceView"));
    d->deviceView->setModel(d->devices);
    d->paramView = new QTreeView;
    d->paramView->setObjectName(QStringLiteral("paramView"));
    d->paramView->setModel(d->params);
    d->paramView->setItemDelegate(new ParamDelegate(d->paramView));
    d->paramView->setAlternatingRowColors(true);
    d->paramView->setEditTriggers(QAbstractItemView::DoubleClicked |
                                  QAbstractItemView::EditKeyPressed);

    d->period = new QSpinBox;
    d->period->setRange(1, 3600);
    d->period->setSuffix(tr(" s"));
    d->period->setToolTip(tr("How often the shown parameters are read"));
    d->radix = new QComboBox;
    for (int radix : {10, 16, 8, 2})
        d->radix->addItem(tr("Base %1").arg(radix), radix);
    d->scaled = new QCheckBox(tr("Scaled"));
    auto* paramBar = new QHBoxLayout;
    paramBar->addWidget(new QLabel(tr("Read every")));
    paramBar->addWidget(d->period);
    paramBar->addWidget(d->radix);
    paramBar->addWidget(d->scaled);
    paramBar->addStretch();
    auto* paramPane = new QWidget;
    auto* paramLayout = new QVBoxLayout(paramPane);
    paramLayout->setContentsMargins(0, 0, 0, 0);
    paramLayout->addLayout(paramBar);
    paramLayout->addWidget(d->paramView);

    auto* centre = new QSplitter(Qt::Horizontal);
    centre->setObjectName(QStringLiteral("centreSplitter"));
    centre->addWidget(d->deviceView);
    centre->addWidget(paramPane);
    centre->setStretchFactor(1, 3);
    setCentralWidget(centre);

    // Alarms and their help at the bottom.
    d->alarmView = new QTableView;
    d->alarmView->setObjectName(QStringLiteral("alarmView"));
    d->alarmView->setModel(d->alarms); // kept most severe first by the model
    d->alarmView->setSelectionBehavior(QAbstractItemView::SelectRows);
    d->alarmView->setSelectionMode(QAbstractItemView::SingleSelection);
    d->alarmView->horizontalHeader()->setStretchLastSection(true);
    d->alarmView->verticalHeader()->hide();
    d->alarmHelp = new QTextBrowser;
    d->alarmHelp->setObjectName(QStringLiteral("alarmHelp"));
    auto* alarmSplit = new QSplitter(Qt::Horizontal);
    alarmSplit->addWidget(d->alarmView);
    alarmSplit->addWidget(d->alarmHelp);
    alarmSplit->setStretchFactor(0, 3);
    d->alarmDock = new QDockWidget(tr("Alarms"), this);
    d->alarmDock->setObjectName(QStringLiteral("alarmDock"));
    d->alarmDock->setWidget(alarmSplit);
    addDockWidget(Qt::BottomDockWidgetArea, d->alarmDock);

    // The kernel's log, tabbed with the alarms.
    d->logFilter = new LogFilterModel(this);
    d->logFilter->setSourceModel(log);
    d->logView = new QTableView;
    d->logView->setObjectName(QStringLiteral("logView"));
    d->logView->setModel(d->logFilter);
    d->logView->horizontalHeader()->setStretchLastSection(true);
    d->logView->verticalHeader()->hide();
    auto* logBar = new QHBoxLayout;
    for (LogModel::Sink sink : {LogModel::Message, LogModel::Debug, LogModel::Warning,
                                LogModel::Error, LogModel::Event}) {
        auto* box = new QCheckBox(LogModel::sinkName(sink));
        box->setChecked(true);
        connect(box, &QCheckBox::toggled, d->logFilter,
                [this, sink](bool on) { d->logFilter->setSinkShown(sink, on); });
        logBar->addWidget(box);
    }
    // A debug group is traced while it is chosen here; the others stay quiet.
    auto* group = new QComboBox;
    group->setToolTip(tr("Debug output of one group of the kernel"));
    auto refillGroups = [this, group] {
        auto* guiLog = qobject_cast<GuiLog*>(share::pLog);
        const QString chosen = group->currentText();
        const QSignalBlocker blocker(group);
        group->clear();
        group->addItem(tr("No debug group"), -1);
        const QStringList names = guiLog ? guiLog->groupNames() : QStringList();
        for (int i = 0; i < names.size(); ++i)
            group->addItem(names.at(i), i);
        group->setCurrentIndex(qMax(0, group->findText(chosen)));
    };
    refillGroups();
    if (auto* guiLog = qobject_cast<GuiLog*>(share::pLog))
        connect(guiLog, &AbstractLog::groupChanged, group, refillGroups);
    connect(group, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this, group] {
        auto* guiLog = qobject_cast<GuiLog*>(share::pLog);
        const int chosen = group->currentData().toInt();
        if (guiLog) {
            for (int i = 0; i < guiLog->groupNames().size(); ++i)
                guiLog->setGroupEnabled(i, i == chosen);
        }
        d->logFilter->setGroup(chosen);
    });
    logBar->addWidget(group);
    auto* search = new QLineEdit;
    search->setPlaceholderText(tr("Search the log"));
    search->setClearButtonEnabled(true);
    connect(search, &QLineEdit::textChanged, d->logFilter, &LogFilterModel::setSearchText);
    logBar->addWidget(search, 1);
    auto* logPane = new QWidget;
    auto* logLayout = new QVBoxLayout(logPane);
    logLayout->setContentsMargins(0, 0, 0, 0);
    logLayout->addLayout(logBar);
    logLayout->addWidget(d->logView);
    d->logDock = new QDockWidget(tr("Log"), this);
    d->logDock->setObjectName(QStringLiteral("logDock"));
    d->logDock->setWidget(logPane);
    addDockWidget(Qt::BottomDockWidgetArea, d->logDock);
    tabifyDockWidget(d->alarmDock, d->logDock);
    d->alarmDock->raise();

    // The observed board on the right; a double click shows the device.
    d->board = new BoardModel(kernel->boardController.get(), this);
    d->boardView = new QTreeView;
    d->boardView->setObjectName(QStringLiteral("boardView"));
    d->boardView->setModel(d->board);
    d->boardView->header()->setSectionResizeMode(BoardModel::NameColumn,
                                                 QHeaderView::ResizeToContents);
    d->boardView->expandAll();
    connect(d->board, &QAbstractItemModel::modelReset, d->boardView, &QTreeView::expandAll);
    connect(d->boardView, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& i) {
        const QList<Engine*> engines =
            d->kernel->engineBox->getEngineList(i.data(BoardModel::HostNameRole).toString(), 0, {});
        if (engines.size() != 1 || !engines.first()->nodeAttr())
            return;
        selectHost(engines.first()->nodeAttr()->key());
        selectDevice(i.data(BoardModel::DeviceNameRole).toString());
    });
    auto* boardDock = new QDockWidget(tr("Observed Board"), this);
    boardDock->setObjectName(QStringLiteral("boardDock"));
    boardDock->setWidget(d->boardView);
    addDockWidget(Qt::RightDockWidgetArea, boardDock);

    setupHistory(notifier);

    // Actions, menus and the tool bar.
    d->addFolder =
        new QAction(QIcon::fromTheme(QStringLiteral("folder-new")), tr("Add &Folder..."), this);
    d->addHost =
        new QAction(QIcon::fromTheme(QStringLiteral("list-add")), tr("Add &Host..."), this);
    d->addHost->setShortcut(QKeySequence::New);
    d->editItem =
        new QAction(QIcon::fromTheme(QStringLiteral("document-edit")), tr("&Edit..."), this);
    d->editItem->setShortcut(Qt::Key_F2);
    d->moveItem =
        new QAction(QIcon::fromTheme(QStringLiteral("go-jump")), tr("&Move to Folder..."), this);
    d->moveItem->setShortcut(Qt::CTRL | Qt::Key_M);
    d->removeItem =
        new QAction(QIcon::fromTheme(QStringLiteral("edit-delete")), tr("&Remove"), this);
    d->removeItem->setShortcut(QKeySequence::Delete);
    d->connectHost =
        new QAction(QIcon::fromTheme(QStringLiteral("network-connect")), tr("&Connect"), this);
    d->connectHost->setShortcut(Qt::CTRL | Qt::Key_K);
    d->disconnectHost = new QAction(QIcon::fromTheme(QStringLiteral("network-disconnect")),
                                    tr("&Disconnect"), this);
    d->disconnectHost->setShortcut(Qt::CTRL | Qt::SHIFT | Qt::Key_K);
    auto* quit =
        new QAction(QIcon::fromTheme(QStringLiteral("application-exit")), tr("&Quit"), this);
    quit->setShortcut(QKeySequence::Quit);
    connect(quit, &QAction::triggered, this, &QWidget::close);

    auto* config = new ConfigActions(this, kernel);
    QMenu* file = menuBar()->addMenu(tr("&File"));
    file->addAction(config->exportAction());
    file->addAction(config->importAction());
    file->addSeparator();
    file->addAction(quit);
    QMenu* hostMenu = menuBar()->addMenu(tr("&Hosts"));
    for (QAction* action : {d->addFolder, d->addHost, d->editItem, d->moveItem, d->removeItem})
        hostMenu->addAction(action);
    hostMenu->addSeparator();
    hostMenu->addAction(d->connectHost);
    hostMenu->addAction(d->disconnectHost);
    auto* templates = new TemplateActions(this, &kernel->users);
    menuBar()->addMenu(tr("&Tools"))->addActions(templates->actions());
    QMenu* alarmMenu = menuBar()->addMenu(tr("&Alarms"));
    alarmMenu->addAction(d->acknowledge);
    alarmMenu->addAction(d->showHistory);
    alarmMenu->addAction(d->trendParam);
    QMenu* view = menuBar()->addMenu(tr("&View"));
    view->addAction(hostDock->toggleViewAction());
    view->addAction(d->alarmDock->toggleViewAction());
    view->addAction(d->logDock->toggleViewAction());
    view->addAction(boardDock->toggleViewAction());
    view->addAction(d->historyDock->toggleViewAction());
    view->addAction(d->trendDock->toggleViewAction());
    QMenu* zoom = view->addMenu(tr("Trend &Zoom"));
    zoom->addAction(tr("Zoom &In"), d->trendChart, &TrendChart::zoomIn, QKeySequence::ZoomIn);
    zoom->addAction(tr("Zoom &Out"), d->trendChart, &TrendChart::zoomOut, QKeySequence::ZoomOut);
    zoom->addAction(tr("&Reset Zoom"), d->trendChart, &TrendChart::resetZoom,
                    QKeySequence(Qt::CTRL | Qt::Key_0));
    QMenu* helpMenu = menuBar()->addMenu(tr("&Help"));
    helpMenu->addAction(tr("&About tavo-client"), this, [this] {
        QMessageBox::about(this, tr("About tavo-client"),
                           tr("tavo-client %1: monitoring and configuration of networked "
                              "telecom equipment.")
                               .arg(QCoreApplication::applicationVersion()));
    });

    QToolBar* tools = addToolBar(tr("Hosts"));
    tools->setObjectName(QStringLiteral("hostToolBar"));
    for (QAction* action :
         {d->addHost, d->editItem, d->removeItem, d->connectHost, d->disconnectHost})
        tools->addAction(action);

    connect(d->addFolder, &QAction::triggered, this, [this] {
        const QString alias = QInputDialog::getText(this, tr("Add Folder"), tr("Name:"));
        if (!alias.isEmpty())
            d->hosts->addFolder(currentFolderKey(), alias);
    });
    connect(d->addHost, &QAction::triggered, this, [this] {
        HostDialog dialog(d->kernel->hostTypeDb.get(), d->kernel->protocols.get(), this);
        dialog.setWindowTitle(tr("Add Host"));
        if (dialog.exec() != QDialog::Accepted)
            return;
        QString error;
        NodeAttr* host = d->hosts->addHost(currentFolderKey(), dialog.settings(), &error);
        if (!host) {
            QMessageBox::warning(this, tr("Add Host"), error);
            return;
        }
        selectHost(host->key());
        if (Engine* engine = d->kernel->engineBox->getEngineByNodeAttr(host))
            engine->connectToHost();
    });
    connect(d->editItem, &QAction::triggered, this, [this] { editSelected(); });
    connect(d->moveItem, &QAction::triggered, this, [this] { moveSelected(); });
    connect(d->removeItem, &QAction::triggered, this, [this] {
        const QModelIndex index = d->hostView->currentIndex();
        if (!index.isValid())
            return;
        const QString name = index.sibling(index.row(), 0).data().toString();
        if (QMessageBox::question(this, tr("Remove"),
                                  tr("Remove '%1' and everything in it?").arg(name)) ==
            QMessageBox::Yes)
            d->hosts->removeItem(index.data(HostTreeModel::KeyRole).toInt());
    });
    connect(d->connectHost, &QAction::triggered, this, [this] {
        if (Engine* engine = selectedEngine())
            engine->connectToHost();
    });
    connect(d->disconnectHost, &QAction::triggered, this, [this] {
        if (Engine* engine = selectedEngine())
            engine->disconnectFromHost();
    });
    connect(d->hosts, &HostTreeModel::saveFailed, this, [this](const QString& path) {
        QMessageBox::warning(this, tr("Host graph not saved"),
                             tr("The changes to the hosts could not be saved to %1.").arg(path));
    });

    // Selections drive the views beside them.
    connect(d->hostView->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { hostChosen(current); });
    connect(d->deviceView->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                Engine* engine = selectedEngine();
                d->params->setDevice(engine ? engine->deviceDb() : nullptr,
                                     d->devices->deviceAt(current));
                d->paramView->expandAll();
            });
    connect(d->params, &ParamModel::writeRefused, this,
            [this](const QString& param, const QString& reason) {
                statusBar()->showMessage(tr("%1: %2").arg(param, reason), 8000);
            });
    connect(d->period, QOverload<int>::of(&QSpinBox::valueChanged), d->params,
            &ParamModel::setPeriod);
    auto presentation = [this] {
        d->params->setPresentation(d->radix->currentData().toInt(), d->scaled->isChecked());
    };
    connect(d->radix, QOverload<int>::of(&QComboBox::currentIndexChanged), this, presentation);
    connect(d->scaled, &QCheckBox::toggled, this, presentation);
    connect(d->alarmView->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { showAlarmHelp(current); });
    connect(d->alarmView, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& i) {
        showParam(i.data(AlarmModel::HostKeyRole).toInt(),
                  i.data(AlarmModel::DeviceNameRole).toString(),
                  i.data(AlarmModel::ParamNameRole).toString());
    });

    // The status bar: connections and alarms.
    d->connectedLabel = new QLabel;
    d->alarmLabel = new QLabel;
    statusBar()->addPermanentWidget(d->connectedLabel);
    statusBar()->addPermanentWidget(d->alarmLabel);
    connect(d->alarms, &AlarmModel::countsChanged, this, [this] { updateStatus(); });
    connect(d->hosts, &QAbstractItemModel::dataChanged, this, [this] { updateStatus(); });
    connect(d->hosts, &QAbstractItemModel::rowsInserted, this, [this] { updateStatus(); });
    connect(d->hosts, &QAbstractItemModel::rowsRemoved, this, [this] { updateStatus(); });

    openHelp();
    restoreSettings();
    updateActions();
    updateStatus();
}

MainWindow::~MainWindow()
{
    // The views let go of the models before the kernel's objects go.
    d->params->setDevice(nullptr, nullptr);
    delete d;
}

HostTreeModel* MainWindow::hostModel() const
{
    return d->hosts;
}

DeviceModel* MainWindow::deviceModel() const
{
    return d->devices;
}

ParamModel* MainWindow::paramModel() const
{
    return d->params;
}

AlarmModel* MainWindow::alarmModel() const
{
    return d->alarms;
}

QTreeView* MainWindow::hostView() const
{
    return d->hostView;
}

QListView* MainWindow::deviceView() const
{
    return d->deviceView;
}

QTreeView* MainWindow::paramView() const
{
    return d->paramView;
}

QTableView* MainWindow::alarmView() const
{
    return d->alarmView;
}

void MainWindow::selectHost(int key)
{
    const QModelIndex index = d->hosts->indexOfKey(key);
    if (!index.isValid())
        return;
    d->hostView->scrollTo(index);
    d->hostView->setCurrentIndex(index);
}

void MainWindow::selectDevice(const QString& deviceName)
{
    const QModelIndex index = d->devices->indexOf(deviceName);
    if (index.isValid())
        d->deviceView->setCurrentIndex(index);
}

void MainWindow::showParam(int hostKey, const QString& deviceName, const QString& paramName)
{
    selectHost(hostKey);
    selectDevice(deviceName);
    const QModelIndex index = d->params->indexOf(paramName);
    if (index.isValid()) {
        d->paramView->scrollTo(index);
        d->paramView->setCurrentIndex(index);
    }
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    saveSettings();
    QString triedPath;
    if (!d->kernel->saveHostGraph(&triedPath))
        QMessageBox::warning(
            this, tr("Host graph not saved"),
            tr("The changes to the hosts could not be saved to %1.").arg(triedPath));
    event->accept();
}

void MainWindow::hideEvent(QHideEvent* event)
{
    // Parameters nobody sees are not read.
    d->params->setActive(false);
    QMainWindow::hideEvent(event);
}

void MainWindow::showEvent(QShowEvent* event)
{
    d->params->setActive(true);
    QMainWindow::showEvent(event);
}

int MainWindow::currentFolderKey() const
{
    const QModelIndex index = d->hostView->currentIndex();
    if (!index.isValid())
        return 0;
    const int key = index.data(HostTreeModel::KeyRole).toInt();
    if (!index.data(HostTreeModel::IsHostRole).toBool())
        return key;
    const NodeAttr* host = d->hosts->hostAt(index);
    return host ? host->parentKey() : 0;
}

Engine* MainWindow::selectedEngine() const
{
    const NodeAttr* host = d->hosts->hostAt(d->hostView->currentIndex());
    return host ? d->kernel->engineBox->getEngineByNodeAttr(const_cast<NodeAttr*>(host)) : nullptr;
}

void MainWindow::hostChosen(const QModelIndex& current)
{
    const NodeAttr* host = d->hosts->hostAt(current);
    d->selectedHost = host ? host->key() : -1;
    Engine* engine = selectedEngine();
    d->params->setDevice(nullptr, nullptr);
    d->devices->setDeviceDb(engine ? engine->deviceDb() : nullptr);
    updateActions();
}

void MainWindow::editSelected()
{
    const QModelIndex index = d->hostView->currentIndex();
    if (!index.isValid())
        return;
    const int key = index.data(HostTreeModel::KeyRole).toInt();
    if (const NodeAttr* host = d->hosts->hostAt(index)) {
        HostDialog dialog(d->kernel->hostTypeDb.get(), d->kernel->protocols.get(), this);
        dialog.setWindowTitle(tr("Edit Host"));
        dialog.setSettings(HostTreeModel::settingsOf(host));
        if (dialog.exec() != QDialog::Accepted)
            return;
        QString error;
        if (!d->hosts->editHost(key, dialog.settings(), &error))
            QMessageBox::warning(this, tr("Edit Host"), error);
        return;
    }
    bool ok = false;
    const QString alias = QInputDialog::getText(this, tr("Rename Folder"), tr("Name:"),
                                                QLineEdit::Normal, index.data().toString(), &ok);
    if (ok && !alias.isEmpty())
        d->hosts->renameFolder(key, alias);
}

void MainWindow::moveSelected()
{
    const QModelIndex index = d->hostView->currentIndex();
    if (!index.isValid())
        return;
    const int key = index.data(HostTreeModel::KeyRole).toInt();
    QStringList names = {tr("(top level)")};
    QList<int> keys = {0};
    for (const FolderItem* folder : qAsConst(d->kernel->hostGraph->folderList)) {
        if (folder->key() == key)
            continue;
        names << utils::escapeControlCharacters(folder->alias());
        keys << folder->key();
    }
    bool ok = false;
    const QString chosen =
        QInputDialog::getItem(this, tr("Move to Folder"), tr("Folder:"), names, 0, false, &ok);
    if (!ok)
        return;
    if (!d->hosts->moveItem(key, keys.value(names.indexOf(chosen))))
        QMessageBox::warning(this, tr("Move to Folder"),
                             tr("A folder cannot go into itself or below itself."));
}

void MainWindow::setupHistory(DesktopNotifier* notifier)
{
    HistoryStore* store = d->kernel->history.get();
    d->acknowledgements = new AlarmAcknowledgements(store, &d->kernel->users, this);
    d->alarms->setAcknowledgements(d->acknowledgements);
    d->alarms->setFlapDamper(d->kernel->damper.data());
    if (notifier) {
        d->soundRepeater = new AlarmSoundRepeater(d->alarms, d->acknowledgements, notifier, this);
        d->soundRepeater->setIntervalSeconds(
            clientSettings().value(QStringLiteral("alarms/repeatSoundSeconds"), 30).toInt());
    }

    d->history = new HistoryView(store, d->kernel->hostGraph.get(), d->acknowledgements, this);
    d->history->setEnabled(store != nullptr);
    d->historyDock = new QDockWidget(tr("History"), this);
    d->historyDock->setObjectName(QStringLiteral("historyDock"));
    d->historyDock->setWidget(d->history);
    addDockWidget(Qt::BottomDockWidgetArea, d->historyDock);
    tabifyDockWidget(d->alarmDock, d->historyDock);

    d->trends = new TrendRecorder(d->kernel->engineBox.get(), d->kernel->recorder.get(), this);
    d->trendChart = new TrendChart(d->trends, store, this);
    d->trendChart->setAlarmMonitor(d->kernel->alarmMonitor.get());
    auto loadTrends = [this] {
        d->trends->loadMarks(d->kernel->users.currentUser);
        d->trendChart->clearSources();
        for (const TrendSource& source : d->trends->trended())
            d->trendChart->addSource(source);
    };
    loadTrends();
    connect(&d->kernel->users, &UserCapabilities::signalChangeCurrentUser, this, loadTrends);
    d->trendDock = new QDockWidget(tr("Trends"), this);
    d->trendDock->setObjectName(QStringLiteral("trendDock"));
    d->trendDock->setWidget(d->trendChart);
    addDockWidget(Qt::BottomDockWidgetArea, d->trendDock);
    tabifyDockWidget(d->alarmDock, d->trendDock);
    d->alarmDock->raise();

    d->acknowledge =
        new QAction(QIcon::fromTheme(QStringLiteral("dialog-ok")), tr("&Acknowledge..."), this);
    d->acknowledge->setShortcut(Qt::CTRL | Qt::SHIFT | Qt::Key_A);
    d->showHistory =
        new QAction(QIcon::fromTheme(QStringLiteral("view-history")), tr("Show in &History"), this);
    d->showHistory->setShortcut(Qt::CTRL | Qt::Key_H);
    d->trendParam = new QAction(QIcon::fromTheme(QStringLiteral("office-chart-line")),
                                tr("&Trend Parameter"), this);
    d->trendParam->setCheckable(true);
    d->trendParam->setShortcut(Qt::CTRL | Qt::Key_R);
    d->alarmView->setContextMenuPolicy(Qt::ActionsContextMenu);
    d->alarmView->addActions({d->acknowledge, d->showHistory});
    d->paramView->setContextMenuPolicy(Qt::ActionsContextMenu);
    d->paramView->addActions({d->showHistory, d->trendParam});

    connect(d->acknowledge, &QAction::triggered, this, [this] {
        const QModelIndex alarm = d->alarmView->currentIndex();
        if (alarm.isValid())
            HistoryView::acknowledgeInteractively(this, d->acknowledgements,
                                                  alarm.data(AlarmModel::HostKeyRole).toInt(),
                                                  alarm.data(AlarmModel::DeviceNameRole).toString(),
                                                  alarm.data(AlarmModel::ParamNameRole).toString());
    });
    connect(d->showHistory, &QAction::triggered, this, [this] {
        const TrendSource source = currentSource();
        if (source.hostKey < 0)
            return;
        d->history->showParam(source.hostKey, source.device, source.param);
        d->historyDock->show();
        d->historyDock->raise();
    });
    connect(d->trendParam, &QAction::triggered, this, [this](bool on) {
        const TrendSource source = currentSource();
        if (source.hostKey < 0)
            return;
        d->trends->setTrended(source, on);
        if (on) {
            d->trendChart->addSource(source);
            d->trendDock->show();
            d->trendDock->raise();
        } else {
            d->trendChart->clearSources();
            for (const TrendSource& kept : d->trends->trended())
                d->trendChart->addSource(kept);
        }
    });
    auto update = [this] {
        updateHistoryActions();
    };
    connect(d->alarmView->selectionModel(), &QItemSelectionModel::currentRowChanged, this, update);
    connect(d->paramView->selectionModel(), &QItemSelectionModel::currentRowChanged, this, update);
    connect(d->acknowledgements, &AlarmAcknowledgements::changed, this, update);
    connect(d->trends, &TrendRecorder::trendedChanged, this, update);
    updateHistoryActions();
}

TrendSource MainWindow::currentSource() const
{
    // The alarm panel when it has the focus, else the parameter shown.
    const QModelIndex alarm = d->alarmView->currentIndex();
    if (alarm.isValid() && (d->alarmView->hasFocus() || !d->paramView->currentIndex().isValid()))
        return TrendSource {alarm.data(AlarmModel::HostKeyRole).toInt(),
                            alarm.data(AlarmModel::DeviceNameRole).toString(),
                            alarm.data(AlarmModel::ParamNameRole).toString()};
    const QModelIndex current = d->paramView->currentIndex();
    const auto* param =
        static_cast<const Param*>(current.data(ParamModel::ParamRole).value<void*>());
    const Device* device = d->params->device();
    if (!param || !device || d->selectedHost < 0)
        return TrendSource();
    return TrendSource {d->selectedHost, device->DbEntity::name, param->DbEntity::name};
}

void MainWindow::updateHistoryActions()
{
    const bool hasStore = d->kernel->history != nullptr;
    const QModelIndex alarm = d->alarmView->currentIndex();
    const ActiveAlarm* active = alarm.isValid()
        ? d->acknowledgements->find(alarm.data(AlarmModel::HostKeyRole).toInt(),
                                    alarm.data(AlarmModel::DeviceNameRole).toString(),
                                    alarm.data(AlarmModel::ParamNameRole).toString())
        : nullptr;
    d->acknowledge->setEnabled(active && !active->acknowledged);
    const TrendSource source = currentSource();
    d->showHistory->setEnabled(hasStore && source.hostKey >= 0);
    const QModelIndex current = d->paramView->currentIndex();
    const auto* param =
        static_cast<const Param*>(current.data(ParamModel::ParamRole).value<void*>());
    d->trendParam->setEnabled(param && param->isNumericType());
    d->trendParam->setChecked(source.hostKey >= 0 && d->trends->isTrended(source));
}

HistoryView* MainWindow::historyView() const
{
    return d->history;
}

TrendChart* MainWindow::trendChart() const
{
    return d->trendChart;
}

TrendRecorder* MainWindow::trendRecorder() const
{
    return d->trends;
}

AlarmAcknowledgements* MainWindow::acknowledgements() const
{
    return d->acknowledgements;
}

QDockWidget* MainWindow::historyDock() const
{
    return d->historyDock;
}

QDockWidget* MainWindow::trendDock() const
{
    return d->trendDock;
}

void MainWindow::updateActions()
{
    const QModelIndex index = d->hostView->currentIndex();
    const bool isHost = index.data(HostTreeModel::IsHostRole).toBool();
    d->editItem->setEnabled(index.isValid());
    d->moveItem->setEnabled(index.isValid());
    d->removeItem->setEnabled(index.isValid());
    d->connectHost->setEnabled(isHost);
    d->disconnectHost->setEnabled(isHost);
}

void MainWindow::updateStatus()
{
    const QList<Engine*> engines = d->kernel->engineBox->enginesList();
    int connected = 0;
    for (const Engine* engine : engines) {
        if (engine->isConnected())
            ++connected;
    }
    d->connectedLabel->setText(tr("Hosts connected: %1 of %2").arg(connected).arg(engines.size()));
    const QVector<int> counts = d->alarms->countsBySeverity();
    QStringList parts;
    for (int severity = 0; severity < counts.size(); ++severity) {
        if (counts.at(severity) > 0)
            parts << QStringLiteral("%1 %2")
                         .arg(share::alarmStateToStr(Tavo::AlarmType(severity)))
                         .arg(counts.at(severity));
    }
    d->alarmLabel->setText(
        parts.isEmpty() ? tr("No alarms") : tr("Alarms: %1").arg(parts.join(QStringLiteral(", "))));
}

// The alarm help collection ships as "alarms.qch" in the resource folder
// "doc"; the help engine wants a collection file of its own, kept in the
// user's cache.
void MainWindow::openHelp()
{
    const QString qch = QDir(share::docPath).filePath(QStringLiteral("alarms.qch"));
    if (!QFileInfo::exists(qch))
        return;
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    QDir().mkpath(cache);
    d->help = std::make_unique<QHelpEngineCore>(QDir(cache).filePath(QStringLiteral("alarms.qhc")));
    if (!d->help->setupData()) {
        d->help.reset();
        return;
    }
    if (!d->help->registeredDocumentations().contains(QHelpEngineCore::namespaceName(qch)))
        d->help->registerDocumentation(qch);
}

void MainWindow::showAlarmHelp(const QModelIndex& current)
{
    if (!current.isValid()) {
        d->alarmHelp->clear();
        return;
    }
    // One alarm at a time: its help pages are those of its parameter.
    AlarmInfo info;
    const auto alarm = AlarmInfo::Alarms(1);
    const QString param = current.data(AlarmModel::ParamNameRole).toString();
    info.alarmNames.insert(alarm,
                           utils::escapeControlCharacters(
                               QStringLiteral("%1 %2")
                                   .arg(current.data(AlarmModel::DeviceNameRole).toString(), param)
                                   .toHtmlEscaped()));
    info.alarmIds.insert(alarm, {QStringLiteral("alarm.%1").arg(param)});
    info.currentAlarm = alarm;
    d->alarmHelp->setHtml(d->help ? info.getCurrentAlarmInfo(d->help.get())
                                  : tr("<h4>No help collection installed</h4>"));
}

void MainWindow::restoreSettings()
{
    QSettings settings = clientSettings();
    if (!restoreGeometry(settings.value(QStringLiteral("window/geometry")).toByteArray()))
        resize(1280, 800);
    restoreState(settings.value(QStringLiteral("window/state")).toByteArray());
    d->paramView->header()->restoreState(
        settings.value(QStringLiteral("window/paramColumns")).toByteArray());
    d->alarmView->horizontalHeader()->restoreState(
        settings.value(QStringLiteral("window/alarmColumns")).toByteArray());
    d->period->setValue(settings.value(QStringLiteral("parameters/period"), 2).toInt());
    d->params->setPeriod(d->period->value());
}

void MainWindow::saveSettings()
{
    QSettings settings = clientSettings();
    settings.setValue(QStringLiteral("window/geometry"), saveGeometry());
    settings.setValue(QStringLiteral("window/state"), saveState());
    settings.setValue(QStringLiteral("window/paramColumns"), d->paramView->header()->saveState());
    settings.setValue(QStringLiteral("window/alarmColumns"),
                      d->alarmView->horizontalHeader()->saveState());
    settings.setValue(QStringLiteral("parameters/period"), d->period->value());
}
