#include "trend_chart.h"

#include "alarms/alarmmonitor.h"
#include "devices/paramlist.h"
#include "foundation/app_shared.h"
#include "foundation/safe_text.h"
#include "history/history_store.h"

#include <QtCharts/QAreaSeries>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

#include <QDateTime>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

using namespace QtCharts;

namespace {

// A chart of a day at a value a second stays light; older points go.
constexpr int MaxPoints = 100000;
constexpr int HistoryLimit = MaxPoints;

bool isAlarm(int state)
{
    return state >= 0 && state < 8;
}

} // namespace

TrendChart::TrendChart(TrendRecorder* recorder, HistoryStore* store, QWidget* parent)
    : QChartView(parent)
    , m_recorder(recorder)
    , m_store(store)
    , m_timeAxis(new QDateTimeAxis)
    , m_valueAxis(new QValueAxis)
{
    setObjectName(QStringLiteral("TrendChart"));
    setRenderHint(QPainter::Antialiasing);
    setRubberBand(QChartView::RectangleRubberBand);
    setFocusPolicy(Qt::StrongFocus);
    QChart* c = chart();
    c->addAxis(m_timeAxis, Qt::AlignBottom);
    c->addAxis(m_valueAxis, Qt::AlignLeft);
    m_timeAxis->setFormat(QStringLiteral("HH:mm:ss"));
    m_timeAxis->setTickCount(6);
    c->legend()->setAlignment(Qt::AlignBottom);
    // Both axes are the chart's from here on: a zoom or a pan by the chart
    // itself leaves the present behind.
    connect(m_timeAxis, &QDateTimeAxis::rangeChanged, this, [this] { scheduleBands(); });
    connect(m_valueAxis, &QValueAxis::rangeChanged, this, [this] { scheduleBands(); });
    m_bandTimer.setSingleShot(true);
    m_bandTimer.setInterval(100);
    connect(&m_bandTimer, &QTimer::timeout, this, &TrendChart::rebuildBands);
    if (m_recorder)
        connect(m_recorder, &TrendRecorder::valueRecorded, this, &TrendChart::valueRecorded);
    fit();
}

TrendChart::~TrendChart() = default;

void TrendChart::setAlarmMonitor(AlarmMonitor* monitor)
{
    if (monitor)
        connect(monitor, &AlarmMonitor::paramStateChanged, this, &TrendChart::paramStateChanged);
}

void TrendChart::addSource(const TrendSource& source)
{
    if (m_sources.contains(source))
        return;
    auto* line = new QLineSeries;
    line->setName(QStringLiteral("%1.%2").arg(utils::escapeControlCharacters(source.device),
                                              utils::escapeControlCharacters(source.param)));
    line->setPointsVisible(true);
    chart()->addSeries(line);
    line->attachAxis(m_timeAxis);
    line->attachAxis(m_valueAxis);
    m_sources.append(source);
    m_lines.append(line);
    loadHistory(source, line);
    if (m_sources.size() == 1)
        loadSpells(source);
    fit();
}

void TrendChart::clearSources()
{
    for (QLineSeries* line : qAsConst(m_lines)) {
        chart()->removeSeries(line);
        delete line;
    }
    m_lines.clear();
    m_sources.clear();
    m_spells.clear();
    m_hasValues = false;
    rebuildBands();
    m_following = true;
    fit();
}

QLineSeries* TrendChart::series(const TrendSource& source) const
{
    const int i = m_sources.indexOf(source);
    return i < 0 ? nullptr : m_lines.at(i);
}

void TrendChart::setSpanMinutes(int minutes)
{
    m_spanMinutes = qMax(1, minutes);
    const QVector<TrendSource> sources = m_sources;
    clearSources();
    for (const TrendSource& source : sources)
        addSource(source);
}

HistoryFilter TrendChart::spanFilter(const TrendSource& source, int kind) const
{
    HistoryFilter filter;
    filter.hostKey = source.hostKey;
    filter.device = source.device;
    filter.param = source.param;
    filter.kinds = {HistoryRecord::Kind(kind)};
    filter.fromMs = QDateTime::currentMSecsSinceEpoch() - qint64(m_spanMinutes) * 60000;
    filter.limit = HistoryLimit;
    return filter;
}

void TrendChart::loadHistory(const TrendSource& source, QLineSeries* line)
{
    if (!m_store || !m_store->isOpen())
        return;
    const QList<HistoryRecord> records = m_store->query(spanFilter(source, HistoryRecord::Value));
    QVector<QPointF> points;
    points.reserve(records.size());
    // Newest first from the store.
    for (auto it = records.crbegin(); it != records.crend(); ++it) {
        bool ok = false;
        const double value = it->text.toDouble(&ok);
        if (!ok)
            continue;
        points.append(QPointF(double(it->timeMs), value));
        m_min = m_hasValues ? qMin(m_min, value) : value;
        m_max = m_hasValues ? qMax(m_max, value) : value;
        m_hasValues = true;
    }
    line->replace(points);
}

void TrendChart::loadSpells(const TrendSource& source)
{
    m_spells.clear();
    if (!m_store || !m_store->isOpen())
        return;
    const QList<HistoryRecord> records =
        m_store->query(spanFilter(source, HistoryRecord::StateChange));
    for (auto it = records.crbegin(); it != records.crend(); ++it) {
        if (!m_spells.isEmpty() && m_spells.last().toMs < 0)
            m_spells.last().toMs = it->timeMs;
        if (isAlarm(it->state))
            m_spells.append(Spell {it->timeMs, -1, it->state});
    }
    scheduleBands();
}

void TrendChart::valueRecorded(const TrendSource& source, qint64 timeMs, double value)
{
    const int i = m_sources.indexOf(source);
    if (i < 0)
        return;
    QLineSeries* line = m_lines.at(i);
    if (line->count() >= MaxPoints)
        line->removePoints(0, line->count() - MaxPoints + 1);
    line->append(double(timeMs), value);
    const bool widened = !m_hasValues || value < m_min || value > m_max;
    m_min = m_hasValues ? qMin(m_min, value) : value;
    m_max = m_hasValues ? qMax(m_max, value) : value;
    m_hasValues = true;
    if (m_following || widened)
        fit();
}

void TrendChart::paramStateChanged(const Param* param, int newState, int)
{
    if (m_sources.isEmpty() || TrendSource::of(param) != m_sources.first())
        return;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (!m_spells.isEmpty() && m_spells.last().toMs < 0)
        m_spells.last().toMs = now;
    if (isAlarm(newState))
        m_spells.append(Spell {now, -1, newState});
    scheduleBands();
}

void TrendChart::fit()
{
    if (!m_following) {
        scheduleBands();
        return;
    }
    const QDateTime now = QDateTime::currentDateTime();
    m_timeAxis->setRange(now.addSecs(-qint64(m_spanMinutes) * 60), now.addSecs(5));
    if (m_hasValues) {
        const double margin = m_max > m_min ? (m_max - m_min) * 0.1 : qMax(1.0, qAbs(m_max) * 0.1);
        m_valueAxis->setRange(m_min - margin, m_max + margin);
    } else {
        m_valueAxis->setRange(0, 1);
    }
}

void TrendChart::scheduleBands()
{
    if (!m_bandTimer.isActive())
        m_bandTimer.start();
}

void TrendChart::rebuildBands()
{
    m_bandTimer.stop();
    // A spell only ever ends or follows the last one: the bands there are
    // stay where they are and take the new bounds.
    while (m_bands.size() > m_spells.size()) {
        QAreaSeries* band = m_bands.takeLast();
        chart()->removeSeries(band);
        delete band;
    }
    const double low = m_valueAxis->min();
    const double high = m_valueAxis->max();
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    for (int i = 0; i < m_spells.size(); ++i) {
        const Spell& spell = m_spells.at(i);
        const double from = double(spell.fromMs);
        const double to = double(spell.toMs < 0 ? now : spell.toMs);
        if (i < m_bands.size()) {
            m_bands.at(i)->upperSeries()->replace(QVector<QPointF> {{from, high}, {to, high}});
            m_bands.at(i)->lowerSeries()->replace(QVector<QPointF> {{from, low}, {to, low}});
            continue;
        }
        // Owned by the area series: the bounds of the band.
        auto* upper = new QLineSeries;
        auto* lower = new QLineSeries;
        upper->append(from, high);
        upper->append(to, high);
        lower->append(from, low);
        lower->append(to, low);
        auto* band = new QAreaSeries(upper, lower);
        upper->setParent(band);
        lower->setParent(band);
        QColor colour = share::colorForAlarmType(Tavo::AlarmType(spell.state));
        colour.setAlpha(70);
        band->setColor(colour);
        band->setBorderColor(Qt::transparent);
        band->setName(share::alarmStateToStr(Tavo::AlarmType(spell.state)));
        chart()->addSeries(band);
        band->attachAxis(m_timeAxis);
        band->attachAxis(m_valueAxis);
        for (QLegendMarker* marker : chart()->legend()->markers(band))
            marker->setVisible(false);
        m_bands.append(band);
    }
}

void TrendChart::leaveFollowing()
{
    m_following = false;
}

void TrendChart::zoomIn()
{
    leaveFollowing();
    chart()->zoomIn();
}

void TrendChart::zoomOut()
{
    leaveFollowing();
    chart()->zoomOut();
}

void TrendChart::resetZoom()
{
    chart()->zoomReset();
    m_following = true;
    fit();
}

void TrendChart::wheelEvent(QWheelEvent* event)
{
    if (event->angleDelta().y() > 0)
        zoomIn();
    else if (event->angleDelta().y() < 0)
        zoomOut();
    event->accept();
}

void TrendChart::keyPressEvent(QKeyEvent* event)
{
    const int step = 20;
    switch (event->key()) {
    case Qt::Key_Left:
        leaveFollowing();
        chart()->scroll(-step, 0);
        break;
    case Qt::Key_Right:
        leaveFollowing();
        chart()->scroll(step, 0);
        break;
    case Qt::Key_Up:
        leaveFollowing();
        chart()->scroll(0, step);
        break;
    case Qt::Key_Down:
        leaveFollowing();
        chart()->scroll(0, -step);
        break;
    case Qt::Key_Home:
        resetZoom();
        break;
    default:
        QChartView::keyPressEvent(event);
        return;
    }
    event->accept();
}

void TrendChart::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::MiddleButton) {
        m_panning = true;
        m_panFrom = event->pos();
        event->accept();
        return;
    }
    if (event->button() == Qt::LeftButton)
        leaveFollowing();
    QChartView::mousePressEvent(event);
}

void TrendChart::mouseMoveEvent(QMouseEvent* event)
{
    if (m_panning) {
        const QPoint delta = event->pos() - m_panFrom;
        m_panFrom = event->pos();
        leaveFollowing();
        chart()->scroll(-delta.x(), delta.y());
        event->accept();
        return;
    }
    QChartView::mouseMoveEvent(event);
}

void TrendChart::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::MiddleButton) {
        m_panning = false;
        event->accept();
        return;
    }
    // The right button zooms out in the chart view; back to following.
    if (event->button() == Qt::RightButton) {
        resetZoom();
        event->accept();
        return;
    }
    QChartView::mouseReleaseEvent(event);
}
