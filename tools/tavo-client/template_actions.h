#pragma once

#include <QList>
#include <QObject>

class Device;
class MainWindow;
class QAction;
class StepDialog;
class UserCapabilities;

/**
 * The Tools menu of the window: a template applied to the selected device,
 * a profile applied to the selected hosts (and the hosts of selected
 * folders), the selected device's values written as a template. Each shows
 * its steps in a window of its own; the last folder used is kept in the
 * user's settings.
 */
class TemplateActions : public QObject
{
    Q_OBJECT

public:
    /// @p users: who may write; null allows all.
    TemplateActions(MainWindow* window, const UserCapabilities* users);
    ~TemplateActions() override;

    QList<QAction*> actions() const;

    // What the actions do once a file is chosen. The window showing the
    // steps goes when closed.
    StepDialog* applyTemplate(const QString& path);
    StepDialog* applyProfile(const QString& path);
    StepDialog* writeTemplate(const QString& path);

private:
    void updateActions();
    const Device* selectedDevice() const;
    QList<int> selectedHostKeys() const;
    bool mayWrite() const;
    QString chooseFile(const QString& title, bool save, const QString& suggestedName);

    MainWindow* m_window;
    const UserCapabilities* m_users;
    QAction* m_applyTemplate;
    QAction* m_applyProfile;
    QAction* m_writeTemplate;
};
