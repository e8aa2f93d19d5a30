#pragma once

#include <QMainWindow>

class AlarmModel;
class DesktopNotifier;
class DeviceModel;
class Engine;
class HostTreeModel;
class KernelStartup;
class LogModel;
class ParamModel;
class QListView;
class QTableView;
class QTreeView;

/**
 * The operator's window: the host tree, the devices of the selected host,
 * the parameters of the selected device, the active alarms with their help
 * and the kernel's log, with a status bar of connections and alarms.
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
