#pragma once

#include <QObject>

class KernelStartup;
class QAction;
class QWidget;
class StepDialog;

/**
 * Export and import of the user's configuration set as a zip archive, for
 * the File menu. The outcome of each file shows in a window of its own; an
 * import takes effect at the next start, when the kernel reads the files.
 */
class ConfigActions : public QObject
{
    Q_OBJECT

public:
    ConfigActions(QWidget* window, KernelStartup* kernel);
    ~ConfigActions() override;

    QAction* exportAction() const { return m_export; }
    QAction* importAction() const { return m_import; }

    // What the actions do once the archive is chosen; the window showing
    // the steps goes when closed.
    StepDialog* exportTo(const QString& zipPath);
    StepDialog* importFrom(const QString& zipPath);

private:
    QWidget* m_window;
    KernelStartup* m_kernel;
    QAction* m_export;
    QAction* m_import;
};
