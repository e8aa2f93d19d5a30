#pragma once

#include "trend_recorder.h"

#include "history/history_record.h"

#include <QtCharts/QChartView>

#include <QPointer>
#include <QTimer>
#include <QVector>

class AlarmMonitor;
class HistoryStore;
class Param;

namespace QtCharts {
class QAreaSeries;
class QDateTimeAxis;
class QLineSeries;
class QValueAxis;
} // namespace QtCharts

/**
 * Numeric parameters over time: what the history kept of them before the
 * chart was opened, then each value as the trend recorder reads it. The
 * alarm states of the first parameter are shown as bands of their colours
 * over the time they lasted. The wheel and the rubber band zoom, the arrow
 * keys and the middle button pan; while not zoomed the chart follows the
 * present.
 */
class TrendChart : public QtCharts::QChartView
{
    Q_OBJECT

public:
    TrendChart(TrendRecorder* recorder, HistoryStore* store, QWidget* parent = nullptr);
    ~TrendChart() override;

    /// Follows the parameters' state changes for the bands.
    void setAlarmMonitor(AlarmMonitor* monitor);

    /// Adds a line for @p source, filled from the history of the span.
    void addSource(const TrendSource& source);
    void clearSources();
    QVector<TrendSource> sources() const { return m_sources; }
    QtCharts::QLineSeries* series(const TrendSource& source) const;
    /// The bands shown, one per non-normal state spell.
    int bandCount() const { return m_bands.size(); }

    /// How far back the chart starts, in minutes; default 60.
    void setSpanMinutes(int minutes);
    int spanMinutes() const { return m_spanMinutes; }

public Q_SLOTS:
    void zoomIn();
    void zoomOut();
    void resetZoom();

protected:
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    struct Spell
    {
        qint64 fromMs;
        qint64 toMs; ///< -1 while it lasts
        int state;
    };

    /// The records of @p kind of @p source over the span.
    HistoryFilter spanFilter(const TrendSource& source, int kind) const;
    void loadHistory(const TrendSource& source, QtCharts::QLineSeries* line);
    void loadSpells(const TrendSource& source);
    void valueRecorded(const TrendSource& source, qint64 timeMs, double value);
    void paramStateChanged(const Param* param, int newState, int oldState);
    void fit();
    void scheduleBands();
    void rebuildBands();
    void leaveFollowing();

    QPointer<TrendRecorder> m_recorder;
    HistoryStore* m_store;
    QtCharts::QDateTimeAxis* m_timeAxis;
    QtCharts::QValueAxis* m_valueAxis;
    QVector<TrendSource> m_sources;
    QVector<QtCharts::QLineSeries*> m_lines;
    QVector<QtCharts::QAreaSeries*> m_bands;
    QVector<Spell> m_spells;
    double m_min = 0;
    double m_max = 0;
    bool m_hasValues = false;
    bool m_following = true;
    int m_spanMinutes = 60;
    QTimer m_bandTimer;
    QPoint m_panFrom;
    bool m_panning = false;
};
