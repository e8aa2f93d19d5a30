#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class MainWindow;
class QWidget;
class StepDialog;

/**
 * Walks the window through what an operator does and saves a picture at
 * each step: the hosts with a device's live parameters, an active alarm
 * with its help, the log, the observed board, a template's outcome, the
 * history with an acknowledged alarm and a trend. Then quits. For the README and the docs (make
 * screenshots).
 */
class ScreenshotTour : public QObject
{
    Q_OBJECT

public:
    ScreenshotTour(MainWindow* window, const QString& folder, QObject* parent = nullptr);
    void start();

private:
    void step();
    /// The window, or @p widget alone.
    bool save(const QString& name, QWidget* widget = nullptr);

    MainWindow* m_window;
    QString m_folder;
    int m_step = 0;
    int m_waited = 0;
    int m_hostKey = -1;
    QPointer<StepDialog> m_dialog;
};
