#pragma once

#include <QMainWindow>

class AlarmAcknowledgements;
class AlarmModel;
class DesktopNotifier;
class DeviceModel;
class Engine;
class HistoryView;
class HostTreeModel;
class KernelStartup;
class LogModel;
class ParamModel;
class QDockWidget;
class QListView;
class QTableView;
class QTreeView;
class TrendChart;
class TrendRecorder;
struct TrendSource;

/**
 * The operator's window: the host tree, the devices of the selected host,
 * the parameters of the selected device, the active alarms with their help
 * and acknowledgements, the kernel's log, the recorded history, the trends
 * and the observed board, with a status bar of connections and alarms.
 * Layout, columns and the read period are kept in the user's settings.
 */
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    MainWindow(KernelStartup* kernel, LogModel* log, DesktopNotifier* notifier,
               QWidget* parent = nullptr);
    ~MainWindow() override;

    HostTreeModel* hostModel() const;
    DeviceModel* deviceModel() const;
    ParamModel* paramModel() const;
    AlarmModel* alarmModel() const;
    QTreeView* hostView() const;
    QListView* deviceView() const;
    QTreeView* paramView() const;
    QTableView* alarmView() const;
    HistoryView* historyView() const;
    TrendChart* trendChart() const;
    TrendRecorder* trendRecorder() const;
    AlarmAcknowledgements* acknowledgements() const;
    QDockWidget* historyDock() const;
    QDockWidget* trendDock() const;

    /// Shows the host, its device and the parameter, as a double click on an
    /// alarm does.
    void showParam(int hostKey, const QString& deviceName, const QString& paramName);
    void selectHost(int key);
    void selectDevice(const QString& deviceName);

protected:
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void setupHistory(DesktopNotifier* notifier);
    /// The parameter that the alarm and history actions act on; a host key
    /// of -1 for none.
    TrendSource currentSource() const;
    void updateHistoryActions();
    int currentFolderKey() const;
    Engine* selectedEngine() const;
    void hostChosen(const QModelIndex& current);
    void editSelected();
    void moveSelected();
    void updateActions();
    void updateStatus();
    void openHelp();
    void showAlarmHelp(const QModelIndex& current);
    void restoreSettings();
    void saveSettings();

    class Private;
    Private* const d;
};
