#pragma once

#include <QObject>
#include <QString>

class MainWindow;

/**
 * Walks the window through what an operator does and saves a picture at
 * each step: the hosts with a device's live parameters, an active alarm
 * with its help, the log. Then quits. For the README and the docs
 * (make screenshots).
 */
class ScreenshotTour : public QObject
{
    Q_OBJECT

public:
    ScreenshotTour(MainWindow* window, const QString& folder, QObject* parent = nullptr);
    void start();

private:
    void step();
    bool save(const QString& name);

    MainWindow* m_window;
    QString m_folder;
    int m_step = 0;
    int m_waited = 0;
};
