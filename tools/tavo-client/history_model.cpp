#include "history_model.h"

#include "foundation/app_shared.h"
#include "foundation/safe_text.h"
#include "history/history_store.h"

#include <QColor>
#include <QDateTime>
#include <QLocale>

namespace {

QString stateText(int state)
{
    return share::alarmStateToStr(Tavo::AlarmType(state));
}

} // namespace

HistoryModel::HistoryModel(HistoryStore* store, QObject* parent)
    : QAbstractTableModel(parent)
    , m_store(store)
{
    // A query waits for the writer: a burst of records is read once.
    m_follow.setSingleShot(true);
    m_follow.setInterval(1000);
    connect(&m_follow, &QTimer::timeout, this, &HistoryModel::refresh);
    if (m_store) {
        connect(m_store, &HistoryStore::recordsWritten, this, [this] {
            if (m_page == 0 && !m_follow.isActive())
                m_follow.start();
        });
    }
    refresh();
}

HistoryModel::~HistoryModel() = default;

int HistoryModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_records.size();
}

int HistoryModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString HistoryModel::kindText(int kind)
{
    switch (kind) {
    case HistoryRecord::StateChange:
        return tr("State");
    case HistoryRecord::Write:
        return tr("Write");
    case HistoryRecord::Connected:
        return tr("Connected");
    case HistoryRecord::Disconnected:
        return tr("Disconnected");
    case HistoryRecord::Reaction:
        return tr("Reaction");
    case HistoryRecord::Acknowledged:
        return tr("Acknowledged");
    case HistoryRecord::Flapping:
        return tr("Flapping");
    case HistoryRecord::Suppressed:
        return tr("Suppressed");
    case HistoryRecord::Value:
        return tr("Value");
    default:
        return QString::number(kind);
    }
}

QVariant HistoryModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const HistoryRecord& r = m_records.at(index.row());
    const bool hasState = r.kind == HistoryRecord::StateChange ||
        r.kind == HistoryRecord::Acknowledged || r.kind == HistoryRecord::Flapping ||
        r.kind == HistoryRecord::Suppressed;
    switch (role) {
    case HostKeyRole:
        return r.hostKey;
    case DeviceNameRole:
        return r.device;
    case ParamNameRole:
        return r.param;
    case KindRole:
        return int(r.kind);
    case StateRole:
        return r.state;
    case Qt::BackgroundRole:
        if (index.column() == StateColumn && hasState && r.state >= 0)
            return share::colorForAlarmType(Tavo::AlarmType(r.state));
        return {};
    case Qt::DisplayRole:
        break;
    default:
        return {};
    }

    // Everything but the time and the kind was recorded from a host or a
    // user, possibly of another client.
    auto safe = [](const QString& text) {
        return utils::escapeControlCharacters(text);
    };
    switch (index.column()) {
    case TimeColumn:
        return QLocale().toString(QDateTime::fromMSecsSinceEpoch(r.timeMs),
                                  QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    case KindColumn:
        return kindText(r.kind);
    case HostColumn:
        return safe(r.hostName.isEmpty() ? r.hostAddress : r.hostName);
    case DeviceColumn:
        return safe(r.device);
    case ParamColumn:
        return safe(r.param);
    case StateColumn:
        return hasState ? stateText(r.state) : QString();
    case DetailColumn:
        switch (r.kind) {
        case HistoryRecord::StateChange:
        case HistoryRecord::Suppressed:
            return tr("was %1").arg(stateText(r.oldState));
        case HistoryRecord::Write:
            return tr("%1 (was %2)").arg(safe(r.text), safe(r.oldText));
        default:
            return safe(r.text);
        }
    case UserColumn:
        return safe(r.user);
    default:
        return {};
    }
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case TimeColumn:
        return tr("Time");
    case KindColumn:
        return tr("Event");
    case HostColumn:
        return tr("Host");
    case DeviceColumn:
        return tr("Device");
    case ParamColumn:
        return tr("Parameter");
    case StateColumn:
        return tr("State");
    case DetailColumn:
        return tr("Detail");
    case UserColumn:
        return tr("User");
    default:
        return {};
    }
}

void HistoryModel::setFilter(const HistoryFilter& filter)
{
    m_filter = filter;
    m_page = 0;
    refresh();
}

void HistoryModel::setPageSize(int rows)
{
    m_pageSize = qMax(1, rows);
    m_page = 0;
    refresh();
}

void HistoryModel::nextPage()
{
    if (!m_hasNext)
        return;
    ++m_page;
    refresh();
}

void HistoryModel::previousPage()
{
    if (m_page == 0)
        return;
    --m_page;
    refresh();
}

void HistoryModel::refresh()
{
    m_follow.stop();
    beginResetModel();
    m_records.clear();
    m_hasNext = false;
    if (m_store && m_store->isOpen()) {
        HistoryFilter filter = m_filter;
        filter.offset = m_page * m_pageSize;
        // One more than a page tells whether another follows.
        filter.limit = m_pageSize + 1;
        m_records = m_store->query(filter);
        m_hasNext = m_records.size() > m_pageSize;
        if (m_hasNext)
            m_records.removeLast();
    }
    endResetModel();
    Q_EMIT pageChanged();
}
