#include "screenshot_tour.h"

#include "alarm_acknowledgements.h"
#include "alarm_model.h"
#include "history_view.h"
#include "host_tree_model.h"
#include "main_window.h"
#include "step_dialog.h"
#include "template_actions.h"
#include "trend_chart.h"
#include "trend_recorder.h"

#include "foundation/app_shared.h"

#include <QCoreApplication>
#include <QDir>
#include <QDockWidget>
#include <QPointer>
#include <QTableView>
#include <QTimer>
#include <QTreeView>

#include <cstdio>

namespace {

constexpr int StepMs = 500;
constexpr int PatienceMs = 30000; // for the first alarm of the scenario
// The demo's temperature passes both thresholds every 20 s.
constexpr int TrendMs = 15000;

} // namespace

ScreenshotTour::ScreenshotTour(MainWindow* window, const QString& folder, QObject* parent)
    : QObject(parent)
    , m_window(window)
    , m_folder(folder)
{
}

void ScreenshotTour::start()
{
    QDir().mkpath(m_folder);
    QTimer::singleShot(StepMs, this, &ScreenshotTour::step);
}

bool ScreenshotTour::save(const QString& name, QWidget* widget)
{
    const QString path = QDir(m_folder).filePath(name);
    const bool saved = (widget ? widget : m_window)->grab().save(path);
    std::printf("%s %s\n", saved ? "saved" : "could not save", qPrintable(path));
    std::fflush(stdout);
    return saved;
}

void ScreenshotTour::step()
{
    auto next = [this](int ms) {
        QTimer::singleShot(ms, this, &ScreenshotTour::step);
    };
    switch (m_step) {
    case 0: { // the first host with the device that carries the most alarms
        const QModelIndex first = m_window->hostModel()->index(0, 0);
        QModelIndex host = first;
        while (host.isValid() && !host.data(HostTreeModel::IsHostRole).toBool())
            host = m_window->hostModel()->index(0, 0, host);
        if (host.isValid()) {
            m_hostKey = host.data(HostTreeModel::KeyRole).toInt();
            m_window->selectHost(m_hostKey);
        }
        ++m_step;
        next(3000);
        return;
    }
    case 1: {
        m_window->selectDevice(QStringLiteral("PSU_0001"));
        // The temperature trended from here on, read every second, so that
        // the trend has passed its thresholds by the end of the tour.
        const TrendSource temp {m_hostKey, QStringLiteral("PSU_0001"), QStringLiteral("temp")};
        m_window->trendRecorder()->setPeriod(1);
        m_window->trendRecorder()->setTrended(temp, true);
        m_window->trendChart()->setSpanMinutes(1);
        m_window->trendChart()->addSource(temp);
        ++m_step;
        next(4000); // a few periods of live values
        return;
    }
    case 2:
        save(QStringLiteral("main.png"));
        ++m_step;
        next(StepMs);
        return;
    case 3: // wait for an alarm, then show it with its help
        if (m_window->alarmModel()->rowCount() == 0 && m_waited < PatienceMs) {
            m_waited += StepMs;
            next(StepMs);
            return;
        }
        m_window->alarmView()->selectRow(0);
        ++m_step;
        next(1000);
        return;
    case 4:
        save(QStringLiteral("alarm.png"));
        if (auto* log = m_window->findChild<QDockWidget*>(QStringLiteral("logDock")))
            log->raise();
        ++m_step;
        next(1000);
        return;
    case 5:
        save(QStringLiteral("log.png"));
        save(QStringLiteral("board.png"),
             m_window->findChild<QDockWidget*>(QStringLiteral("boardDock")));
        // The demo's template on a port, with what each of its writes did.
        m_window->selectDevice(QStringLiteral("E1_0001"));
        if (auto* templates = m_window->findChild<TemplateActions*>())
            m_dialog = templates->applyTemplate(
                QDir(share::resourcesPath).filePath(QStringLiteral("template_e1.xml")));
        ++m_step;
        next(1000);
        return;
    case 6: // the first alarm taken, as the history shows it
        if (m_dialog) {
            save(QStringLiteral("template.png"), m_dialog);
            m_dialog->close();
        }
        if (m_window->alarmModel()->rowCount() > 0) {
            const QModelIndex alarm = m_window->alarmModel()->index(0, 0);
            QString error;
            m_window->acknowledgements()->acknowledge(
                alarm.data(AlarmModel::HostKeyRole).toInt(),
                alarm.data(AlarmModel::DeviceNameRole).toString(),
                alarm.data(AlarmModel::ParamNameRole).toString(), QStringLiteral("Checked on site"),
                &error);
        }
        m_window->historyDock()->raise();
        m_window->historyView()->applyFilter();
        ++m_step;
        next(1500);
        return;
    case 7:
        save(QStringLiteral("history.png"));
        m_window->trendDock()->raise();
        ++m_step;
        next(TrendMs);
        return;
    default:
        save(QStringLiteral("trend.png"));
        QCoreApplication::quit();
    }
}
