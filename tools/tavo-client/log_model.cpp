#include "log_model.h"

#include "foundation/app_shared.h"
#include "foundation/safe_text.h"

#include <QColor>
#include <QDateTime>
#include <QTimer>
#include <QVector>

namespace {

// Long enough for a flood to arrive in a few batches, short enough to look
// immediate.
constexpr int CoalesceMs = 50;

} // namespace

class LogModel::Private
{
public:
    struct Entry
    {
        qint64 msecs = 0;
        LogModel::Sink sink = LogModel::Message;
        int group = -1;
        int state = Tavo::NORM;
        QString text;
    };

    Private(LogModel* model, int ringCapacity)
        : q(model)
        , capacity(qMax(1, ringCapacity))
    {
        flushTimer.setSingleShot(true);
        flushTimer.setInterval(CoalesceMs);
        QObject::connect(&flushTimer, &QTimer::timeout, q, [this] { flush(); });
    }

    const Entry& at(int row) const { return ring[(head + row) % capacity]; }
    void queue(Entry entry);
    void flush();

    LogModel* const q;
    const int capacity;
    // Grows to capacity, then wraps: the oldest entry is at head.
    QVector<Entry> ring;
    int head = 0;
    int count = 0;
    QVector<Entry> pending;
    QTimer flushTimer;
    QStringList groupNames;
};

void LogModel::Private::queue(Entry entry)
{
    entry.msecs = QDateTime::currentMSecsSinceEpoch();
    // Escaped once here rather than at every paint and every filter pass.
    entry.text = utils::escapeControlCharacters(entry.text);
    pending.append(std::move(entry));
    if (!flushTimer.isActive())
        flushTimer.start();
}

void LogModel::Private::flush()
{
    if (pending.isEmpty())
        return;
    // Of a batch larger than the ring only its newest part can be kept.
    const int skipped = qMax(0, pending.size() - capacity);
    const int incoming = pending.size() - skipped;

    const int overflow = count + incoming - capacity;
    if (overflow > 0) {
        q->beginRemoveRows(QModelIndex(), 0, overflow - 1);
        for (int i = 0; i < overflow; ++i)
            ring[(head + i) % capacity] = Entry();
        head = (head + overflow) % capacity;
        count -= overflow;
        q->endRemoveRows();
    }

    q->beginInsertRows(QModelIndex(), count, count + incoming - 1);
    for (int i = skipped; i < pending.size(); ++i) {
        const int slot = (head + count) % capacity;
        if (slot < ring.size())
            ring[slot] = std::move(pending[i]);
        else
            ring.append(std::move(pending[i]));
        ++count;
    }
    pending.clear();
    q->endInsertRows();
}

LogModel::LogModel(QObject* parent, int capacity)
    : QAbstractTableModel(parent)
    , d(new Private(this, capacity))
{
}

LogModel::~LogModel()
{
    delete d;
}

void LogModel::append(Sink sink, int group, const QString& text)
{
    Private::Entry entry;
    entry.sink = sink;
    entry.group = sink == Debug ? group : -1;
    entry.text = text;
    d->queue(std::move(entry));
}

void LogModel::appendEvent(const QString& text, Tavo::AlarmType state)
{
    Private::Entry entry;
    entry.sink = Event;
    entry.state = state;
    entry.text = text;
    d->queue(std::move(entry));
}

void LogModel::setGroupNames(const QStringList& names)
{
    d->groupNames = names;
    if (d->count > 0)
        Q_EMIT dataChanged(index(0, GroupColumn), index(d->count - 1, GroupColumn));
}

int LogModel::capacity() const
{
    return d->capacity;
}

int LogModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : d->count;
}

int LogModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant LogModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Private::Entry& entry = d->at(index.row());
    switch (role) {
    case SinkRole:
        return int(entry.sink);
    case GroupRole:
        return entry.group;
    case Qt::ForegroundRole:
        switch (entry.sink) {
        case Debug:
            return share::colorForAlarmType(Tavo::DEBUG);
        case Warning:
            return share::colorForAlarmType(Tavo::WARNING);
        case Error:
            return share::colorForAlarmType(Tavo::ERR);
        case Event:
            return share::colorForAlarmType(Tavo::AlarmType(entry.state));
        default:
            return {};
        }
    case Qt::DisplayRole:
        break;
    default:
        return {};
    }

    switch (index.column()) {
    case TimeColumn:
        return QDateTime::fromMSecsSinceEpoch(entry.msecs).toString(QStringLiteral("HH:mm:ss.zzz"));
    case SinkColumn:
        return sinkName(entry.sink);
    case GroupColumn:
        // An event has no debug group; its state says more there.
        if (entry.sink == Event)
            return share::alarmStateToStr(Tavo::AlarmType(entry.state));
        if (entry.group >= 0 && entry.group < d->groupNames.size())
            return utils::escapeControlCharacters(d->groupNames.at(entry.group));
        return entry.group >= 0 ? QString::number(entry.group) : QString();
    case TextColumn:
        return entry.text;
    default:
        return {};
    }
}

QVariant LogModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case TimeColumn:
        return tr("Time");
    case SinkColumn:
        return tr("Kind");
    case GroupColumn:
        return tr("Group");
    case TextColumn:
        return tr("Text");
    default:
        return {};
    }
}

QString LogModel::sinkName(Sink sink)
{
    switch (sink) {
    case Message:
        return tr("Info");
    case Debug:
        return tr("Debug");
    case Warning:
        return tr("Warning");
    case Error:
        return tr("Error");
    case Event:
        return tr("Alarm");
    }
    return {};
}

GuiLog::GuiLog(LogModel* model, QObject* parent)
    : AbstractLog(parent)
    , m_model(model)
{
    setDebugMode(true);
    connect(this, &AbstractLog::groupChanged, this, [this] {
        if (m_model)
            m_model->setGroupNames(groupNames());
    });
}

void GuiLog::logMessage(const QString& text)
{
    if (m_model && testFilter(text))
        m_model->append(LogModel::Message, -1, text);
}

void GuiLog::logDebug(int group, const QString& text)
{
    if (m_model && isDebugMode(group) && testFilter(text))
        m_model->append(LogModel::Debug, group, text);
}

void GuiLog::logWarning(const QString& text)
{
    if (m_model)
        m_model->append(LogModel::Warning, -1, text);
}

void GuiLog::logError(const QString& text)
{
    if (m_model)
        m_model->append(LogModel::Error, -1, text);
}

void GuiLog::logEvent(const QString& text, Tavo::AlarmType type)
{
    if (m_model)
        m_model->appendEvent(text, type);
}

void GuiLog::setGroupEnabled(int group, bool on)
{
    if (group >= 0 && group < groups.size())
        groups.at(group)->debug = on;
}

QStringList GuiLog::groupNames() const
{
    QStringList names;
    names.reserve(groups.size());
    for (const LogGroupItem* group : groups)
        names.append(group->name);
    return names;
}

LogFilterModel::LogFilterModel(QObject* parent)
    : QSortFilterProxyModel(parent)
{
}

void LogFilterModel::setSinkShown(LogModel::Sink sink, bool shown)
{
    const quint32 bit = 1u << int(sink);
    const quint32 sinks = shown ? (m_sinks | bit) : (m_sinks & ~bit);
    if (sinks == m_sinks)
        return;
    m_sinks = sinks;
    invalidateFilter();
}

void LogFilterModel::setGroup(int group)
{
    if (group < 0)
        group = -1;
    if (group == m_group)
        return;
    m_group = group;
    invalidateFilter();
}

void LogFilterModel::setSearchText(const QString& text)
{
    if (text == m_search)
        return;
    m_search = text;
    invalidateFilter();
}

bool LogFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    const QAbstractItemModel* source = sourceModel();
    const QModelIndex text = source->index(sourceRow, LogModel::TextColumn, sourceParent);
    const int sink = text.data(LogModel::SinkRole).toInt();
    if (!(m_sinks & (1u << sink)))
        return false;
    if (m_group >= 0 && sink == LogModel::Debug &&
        text.data(LogModel::GroupRole).toInt() != m_group)
        return false;
    return m_search.isEmpty() ||
        text.data(Qt::DisplayRole).toString().contains(m_search, Qt::CaseInsensitive);
}
