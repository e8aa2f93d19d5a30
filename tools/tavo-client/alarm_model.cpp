#include "alarm_model.h"

#include "alarm_acknowledgements.h"

#include "alarms/alarmmonitor.h"
#include "connections/engine.h"
#include "connections/engine_box.h"
#include "devices/device_db.h"
#include "devices/paramlist.h"
#include "foundation/app_shared.h"
#include "foundation/safe_text.h"
#include "history/flap_damper.h"
#include "hostgraph/host_graph.h"

#include <QColor>
#include <QDateTime>
#include <QLocale>
#include <QPointer>

#include <algorithm>
#include <vector>

namespace {

constexpr int SeverityCount = 8;

// Scripts may return any number; only the members of the enumeration other
// than NORM are alarms, as everywhere else states outside are shown as NORM.
bool isAlarm(int state)
{
    return state >= 0 && state < SeverityCount;
}

const Engine* engineOf(const Param* param)
{
    const Device* device = param ? param->getDevice() : nullptr;
    const auto* db = device ? qobject_cast<const DeviceDb*>(device->parent()) : nullptr;
    return db ? qobject_cast<const Engine*>(db->parent()) : nullptr;
}

const NodeAttr* hostOf(const Param* param)
{
    const Engine* engine = engineOf(param);
    return engine ? engine->nodeAttr() : nullptr;
}

int hostKeyOf(const Param* param)
{
    const NodeAttr* host = hostOf(param);
    return host ? host->key() : -1;
}

} // namespace

class AlarmModel::Private
{
public:
    struct Row
    {
        QPointer<const Param> param;
        // Identity only, never dereferenced: when the parameter's destroyed
        // signal arrives its guard is already null.
        const Param* key = nullptr;
        int state = -1;
        // Kept because the row's host must still be known to update its
        // severity when the parameter, or its host, is already gone.
        int hostKey = -1;
        QDateTime since;
        // Orders rows of one severity by age without trusting the wall clock.
        quint64 serial = 0;
        QMetaObject::Connection destroyed;
        QMetaObject::Connection read;
    };

    explicit Private(AlarmModel* model)
        : q(model)
        , counts(SeverityCount, 0)
    {
    }

    static bool before(int stateA, quint64 serialA, const Row& b)
    {
        return stateA != b.state ? stateA < b.state : serialA < b.serial;
    }

    int indexOf(const Param* key) const
    {
        for (int i = 0; i < int(rows.size()); ++i) {
            if (rows[i].key == key)
                return i;
        }
        return -1;
    }

    // Where a row of this state and serial belongs among the rows as they are.
    int position(int state, quint64 serial) const
    {
        const auto it =
            std::upper_bound(rows.begin(), rows.end(), state, [serial](int value, const Row& row) {
                return before(value, serial, row);
            });
        return int(it - rows.begin());
    }

    void count(int hostKey, int state, int delta)
    {
        counts[state] += delta;
        QVector<int>& host = hostCounts[hostKey];
        if (host.isEmpty())
            host.fill(0, SeverityCount);
        host[state] += delta;
        if (delta < 0 && std::all_of(host.cbegin(), host.cend(), [](int n) { return n == 0; }))
            hostCounts.remove(hostKey);
    }

    void insert(const Param* param, int state);
    void changeSeverity(int row, int state);
    void remove(int row);
    void valueRead(const Param* key);
    void announce(int hostKey, int severityBefore);

    AlarmModel* const q;
    std::vector<Row> rows;
    QVector<int> counts;
    QHash<int, QVector<int>> hostCounts;
    QPointer<AlarmAcknowledgements> acknowledgements;
    QPointer<FlapDamper> damper;
    quint64 nextSerial = 0;
};

void AlarmModel::Private::insert(const Param* param, int state)
{
    Row row;
    row.param = param;
    row.key = param;
    row.state = state;
    row.hostKey = hostKeyOf(param);
    row.since = QDateTime::currentDateTime();
    row.serial = nextSerial++;
    // The model outlives no parameter: a device removed by its host or a
    // host deleted takes its rows along.
    row.destroyed = QObject::connect(param, &QObject::destroyed, q, [this, param] {
        const int i = indexOf(param);
        if (i >= 0)
            remove(i);
    });
    row.read =
        QObject::connect(param, &Param::signalHasRead, q, [this, param] { valueRead(param); });

    const int hostBefore = q->severityOfHost(row.hostKey);
    const int at = position(row.state, row.serial);
    q->beginInsertRows(QModelIndex(), at, at);
    count(row.hostKey, row.state, +1);
    rows.insert(rows.begin() + at, std::move(row));
    q->endInsertRows();
    announce(rows[at].hostKey, hostBefore);
}

void AlarmModel::Private::changeSeverity(int from, int state)
{
    const int hostKey = rows[from].hostKey;
    const int hostBefore = q->severityOfHost(hostKey);
    const quint64 serial = nextSerial++;
    const int dest = position(state, serial);
    int to = from;
    const bool moves = q->beginMoveRows(QModelIndex(), from, from, QModelIndex(), dest);
    if (moves) {
        to = dest > from ? dest - 1 : dest;
        Row moved = std::move(rows[from]);
        rows.erase(rows.begin() + from);
        rows.insert(rows.begin() + to, std::move(moved));
    }
    Row& row = rows[to];
    count(hostKey, row.state, -1);
    count(hostKey, state, +1);
    row.state = state;
    row.serial = serial;
    row.since = QDateTime::currentDateTime();
    if (moves)
        q->endMoveRows();
    Q_EMIT q->dataChanged(q->index(to, 0), q->index(to, ColumnCount - 1));
    announce(hostKey, hostBefore);
}

void AlarmModel::Private::remove(int i)
{
    const int hostKey = rows[i].hostKey;
    const int hostBefore = q->severityOfHost(hostKey);
    q->beginRemoveRows(QModelIndex(), i, i);
    QObject::disconnect(rows[i].destroyed);
    QObject::disconnect(rows[i].read);
    count(hostKey, rows[i].state, -1);
    rows.erase(rows.begin() + i);
    q->endRemoveRows();
    announce(hostKey, hostBefore);
}

void AlarmModel::Private::valueRead(const Param* key)
{
    const int i = indexOf(key);
    if (i >= 0)
        Q_EMIT q->dataChanged(q->index(i, ValueColumn), q->index(i, ValueColumn));
}

void AlarmModel::Private::announce(int hostKey, int severityBefore)
{
    Q_EMIT q->countsChanged();
    if (q->severityOfHost(hostKey) != severityBefore)
        Q_EMIT q->hostSeverityChanged(hostKey);
}

AlarmModel::AlarmModel(AlarmMonitor* monitor, QObject* parent)
    : QAbstractTableModel(parent)
    , d(new Private(this))
{
    if (!monitor)
        return;
    connect(monitor, &AlarmMonitor::paramStateChanged, this, &AlarmModel::paramStateChanged);
    // A window opened after the monitor has announced its alarms still
    // shows them; their start is unknown, so they count from now.
    if (!share::engineBox)
        return;
    for (const Engine* engine : share::engineBox->enginesList()) {
        const DeviceDb* db = engine ? engine->deviceDb() : nullptr;
        if (!db)
            continue;
        for (const Device* device : db->devices) {
            for (const Param* param : device->parameters) {
                if (isAlarm(param->alarmCache))
                    paramStateChanged(param, param->alarmCache, -2);
            }
        }
    }
}

AlarmModel::~AlarmModel()
{
    delete d;
}

int AlarmModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(d->rows.size());
}

int AlarmModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant AlarmModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Private::Row& row = d->rows[size_t(index.row())];
    const Param* param = row.param.data();
    const auto state = Tavo::AlarmType(row.state);

    switch (role) {
    case HostKeyRole:
        return row.hostKey;
    case SeverityRole:
        return row.state;
    case DeviceNameRole: {
        const Device* device = param ? param->getDevice() : nullptr;
        return device ? device->DbEntity::name : QString();
    }
    case ParamNameRole:
        return param ? param->DbEntity::name : QString();
    case AcknowledgedRole:
        return acknowledgementOf(index.row()) != nullptr;
    case FlappingRole:
        return d->damper && param && d->damper->isFlapping(param);
    default:
        break;
    }

    if (index.column() == SeverityColumn) {
        if (role == Qt::BackgroundRole)
            return share::colorForAlarmType(state);
        // The darker alarm colours would swallow dark text.
        if (role == Qt::ForegroundRole)
            return share::colorForAlarmType(state).lightness() < 128 ? QColor(Qt::white)
                                                                     : QColor(Qt::black);
    }
    if (role == Qt::ToolTipRole && index.column() == ParamColumn && param)
        return utils::escapeControlCharacters(param->humanName);
    // Taken alarms step back, so that the untaken ones stand out.
    if (role == Qt::ForegroundRole && index.column() != SeverityColumn &&
        acknowledgementOf(index.row()))
        return QColor(Qt::gray);
    if (role != Qt::DisplayRole)
        return {};

    switch (index.column()) {
    case SeverityColumn:
        if (d->damper && param && d->damper->isFlapping(param))
            return tr("%1, flapping").arg(share::alarmStateToStr(state));
        return share::alarmStateToStr(state);
    case HostColumn: {
        const NodeAttr* host = hostOf(param);
        return host ? utils::escapeControlCharacters(host->alias()) : QString();
    }
    case DeviceColumn: {
        const Device* device = param ? param->getDevice() : nullptr;
        return device ? utils::escapeControlCharacters(device->DbEntity::name) : QString();
    }
    case ParamColumn:
        return param ? utils::escapeControlCharacters(param->DbEntity::name) : QString();
    case ValueColumn: {
        if (!param)
            return {};
        QString text;
        param->getReadValuePresentation(nullptr, &text, nullptr);
        return utils::escapeControlCharacters(text);
    }
    case SinceColumn:
        return QLocale().toString(row.since, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    case AcknowledgedColumn: {
        const ActiveAlarm* alarm = acknowledgementOf(index.row());
        if (!alarm)
            return {};
        const QString when = QLocale().toString(QDateTime::fromMSecsSinceEpoch(alarm->ackTimeMs),
                                                QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        // The name and the comment may come from a colleague's client.
        const QString who = utils::escapeControlCharacters(alarm->ackUser);
        if (alarm->ackComment.isEmpty())
            return tr("%1 at %2").arg(who, when);
        return tr("%1 at %2: %3").arg(who, when, utils::escapeControlCharacters(alarm->ackComment));
    }
    default:
        return {};
    }
}

const ActiveAlarm* AlarmModel::acknowledgementOf(int row) const
{
    const Private::Row& r = d->rows[size_t(row)];
    const Param* param = r.param.data();
    const Device* device = param ? param->getDevice() : nullptr;
    if (!d->acknowledgements || !device)
        return nullptr;
    const ActiveAlarm* alarm =
        d->acknowledgements->find(r.hostKey, device->DbEntity::name, param->DbEntity::name);
    return alarm && alarm->acknowledged ? alarm : nullptr;
}

void AlarmModel::setAcknowledgements(AlarmAcknowledgements* acknowledgements)
{
    d->acknowledgements = acknowledgements;
    if (acknowledgements)
        connect(acknowledgements, &AlarmAcknowledgements::changed, this, [this] {
            if (!d->rows.empty())
                Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
        });
}

void AlarmModel::setFlapDamper(FlapDamper* damper)
{
    d->damper = damper;
    if (!damper)
        return;
    auto changed = [this](const Param* param) {
        const int row = d->indexOf(param);
        if (row >= 0)
            Q_EMIT dataChanged(index(row, SeverityColumn), index(row, SeverityColumn));
    };
    connect(damper, &FlapDamper::flappingStarted, this, changed);
    connect(damper, &FlapDamper::flappingStopped, this, changed);
}

QVariant AlarmModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case SeverityColumn:
        return tr("Severity");
    case HostColumn:
        return tr("Host");
    case DeviceColumn:
        return tr("Device");
    case ParamColumn:
        return tr("Parameter");
    case ValueColumn:
        return tr("Value");
    case SinceColumn:
        return tr("Since");
    case AcknowledgedColumn:
        return tr("Acknowledged");
    default:
        return {};
    }
}

int AlarmModel::severityOfHost(int key) const
{
    const auto host = d->hostCounts.constFind(key);
    if (host == d->hostCounts.cend())
        return -1;
    for (int state = 0; state < SeverityCount; ++state) {
        if (host->at(state) > 0)
            return state;
    }
    return -1;
}

QVector<int> AlarmModel::countsBySeverity() const
{
    return d->counts;
}

void AlarmModel::paramStateChanged(const Param* param, int newState, int oldState)
{
    // The rows, not oldState, say what is shown: a model made after the
    // monitor has not seen every earlier change.
    Q_UNUSED(oldState)
    if (!param)
        return;
    const int row = d->indexOf(param);
    if (row < 0) {
        if (isAlarm(newState))
            d->insert(param, newState);
    } else if (!isAlarm(newState)) {
        d->remove(row);
    } else if (d->rows[size_t(row)].state != newState) {
        d->changeSeverity(row, newState);
    } else {
        d->valueRead(param);
    }
}
