#include "trend_recorder.h"

#include "client_settings.h"

#include "connections/engine.h"
#include "connections/engine_box.h"
#include "devices/device_db.h"
#include "devices/paramlist.h"
#include "foundation/tavo_global_namespace.h"
#include "history/history_recorder.h"
#include "hostgraph/host_graph.h"

#include <QDateTime>

namespace {

constexpr int ResolveMs = 2000;

QString settingsKey(const QString& user)
{
    return QStringLiteral("trends/%1").arg(user.isEmpty() ? QStringLiteral("-") : user);
}

} // namespace

QString TrendSource::toString() const
{
    return QStringLiteral("%1|%2|%3").arg(hostKey).arg(device, param);
}

TrendSource TrendSource::fromString(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char('|'));
    TrendSource source;
    if (parts.size() != 3)
        return source;
    bool ok = false;
    source.hostKey = parts.at(0).toInt(&ok);
    if (!ok)
        source.hostKey = -1;
    source.device = parts.at(1);
    source.param = parts.at(2);
    return source;
}

TrendSource TrendSource::of(const Param* param)
{
    const Device* device = param ? param->getDevice() : nullptr;
    const auto* db = device ? qobject_cast<const DeviceDb*>(device->parent()) : nullptr;
    const auto* engine = db ? qobject_cast<const Engine*>(db->parent()) : nullptr;
    const NodeAttr* node = engine ? engine->nodeAttr() : nullptr;
    if (!node)
        return TrendSource();
    return TrendSource {node->key(), device->DbEntity::name, param->DbEntity::name};
}

uint qHash(const TrendSource& source, uint seed) noexcept
{
    return qHash(source.hostKey, seed) ^ qHash(source.device, seed) ^ qHash(source.param, seed);
}

TrendRecorder::TrendRecorder(EngineBox* engines, HistoryRecorder* recorder, QObject* parent)
    : QObject(parent)
    , m_engines(engines)
    , m_recorder(recorder)
{
    qRegisterMetaType<TrendSource>();
    m_resolve.setInterval(ResolveMs);
    connect(&m_resolve, &QTimer::timeout, this, &TrendRecorder::resolve);
}

TrendRecorder::~TrendRecorder()
{
    for (auto it = m_watches.begin(); it != m_watches.end(); ++it)
        detach(it.value(), it.key());
}

void TrendRecorder::setTrended(const TrendSource& source, bool on)
{
    if (on == isTrended(source) || source.hostKey < 0)
        return;
    if (on) {
        m_order.append(source);
        Watch& watch = m_watches[source];
        if (!attach(source, watch))
            m_resolve.start();
    } else {
        auto it = m_watches.find(source);
        detach(it.value(), source);
        m_watches.erase(it);
        m_order.removeAll(source);
    }
    saveMarks();
    Q_EMIT trendedChanged();
}

bool TrendRecorder::isTrended(const TrendSource& source) const
{
    return m_watches.contains(source);
}

QVector<TrendSource> TrendRecorder::trended() const
{
    return m_order;
}

void TrendRecorder::setPeriod(int seconds)
{
    m_period = qMax(1, seconds);
    // The same ticket again changes its period.
    for (auto it = m_watches.begin(); it != m_watches.end(); ++it) {
        Watch& watch = it.value();
        if (watch.db && watch.ticketId >= 0)
            watch.db->setTicket(it.key().device, it.key().param, watch.ticketId, m_period);
    }
}

void TrendRecorder::loadMarks(const QString& user)
{
    for (auto it = m_watches.begin(); it != m_watches.end(); ++it)
        detach(it.value(), it.key());
    m_watches.clear();
    m_order.clear();
    m_user = user;
    const QStringList marks = clientSettings().value(settingsKey(user)).toStringList();
    for (const QString& mark : marks) {
        const TrendSource source = TrendSource::fromString(mark);
        if (source.hostKey < 0 || m_watches.contains(source))
            continue;
        m_order.append(source);
        Watch& watch = m_watches[source];
        if (!attach(source, watch))
            m_resolve.start();
    }
    Q_EMIT trendedChanged();
}

void TrendRecorder::saveMarks() const
{
    QStringList marks;
    for (const TrendSource& source : m_order)
        marks << source.toString();
    clientSettings().setValue(settingsKey(m_user), marks);
}

bool TrendRecorder::numericValue(const Param* param, double* value)
{
    if (!param || !param->readValid)
        return false;
    switch (param->type) {
    case Tavo::UINT:
        *value = double(param->readValue);
        return true;
    case Tavo::INT:
        *value = double(Tavo::wordToInt(param->readValue));
        return true;
    case Tavo::FLOAT:
        *value = double(Tavo::wordToFloat(param->readValue));
        return true;
    default:
        return false;
    }
}

void TrendRecorder::resolve()
{
    bool missing = false;
    for (auto it = m_watches.begin(); it != m_watches.end(); ++it) {
        if (!it.value().device && !attach(it.key(), it.value()))
            missing = true;
    }
    if (!missing)
        m_resolve.stop();
}

bool TrendRecorder::attach(const TrendSource& source, Watch& watch)
{
    Engine* engine = m_engines ? m_engines->getEngine(source.hostKey) : nullptr;
    DeviceDb* db = engine ? engine->deviceDb() : nullptr;
    Device* device = db ? db->findDevice(source.device) : nullptr;
    if (!device)
        return false;
    if (!device->populated)
        device->populateDevice();
    const Param* param = nullptr;
    for (const Param* p : qAsConst(device->parameters)) {
        if (p && p->DbEntity::name == source.param) {
            param = p;
            break;
        }
    }
    if (!param)
        return false;
    watch.device = device;
    watch.db = db;
    watch.read = connect(device, &Device::signalParamHasRead, this,
                         [this, source, param](int, int, int, const ParamCore* read) {
                             if (read == param)
                                 paramRead(source, param);
                         });
    // A device that goes (its host disconnected) is looked for again.
    connect(
        device, &QObject::destroyed, this, [this] { m_resolve.start(); }, Qt::UniqueConnection);
    watch.ticketId = db->getTicketId(source.device);
    if (watch.ticketId >= 0)
        db->setTicket(source.device, source.param, watch.ticketId, m_period);
    return true;
}

void TrendRecorder::detach(Watch& watch, const TrendSource& source)
{
    QObject::disconnect(watch.read);
    if (watch.db && watch.device && watch.ticketId >= 0)
        watch.db->deleteTicket(source.device, source.param, watch.ticketId);
    watch = Watch();
}

void TrendRecorder::paramRead(const TrendSource& source, const Param* param)
{
    double value = 0;
    if (!numericValue(param, &value))
        return;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (m_recorder)
        m_recorder->recordValue(param, now, value);
    Q_EMIT valueRecorded(source, now, value);
}
