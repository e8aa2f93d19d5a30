#include "board_model.h"

#include "board/boardcontroller.h"
#include "foundation/safe_text.h"

#include <QColor>
#include <QHash>
#include <QPointer>
#include <QTimer>
#include <QVector>

#include <iterator>

namespace {

constexpr int flushIntervalMs = 100;

// What a report said of one device; a device never reported is Unreported.
enum Reported : quint8 { Unreported, ReportedPresent, ReportedMissing };

using Board = QMap<QString, BoardController::DevNameList>;

} // namespace

class BoardModel::Private
{
public:
    const Board* board() const { return controller ? &controller->board : nullptr; }

    /// The host of a row below the announced count.
    Board::const_iterator hostAt(int row) const { return std::next(board()->cbegin(), row); }

    int rowOf(const QString& hostName) const
    {
        const Board* b = board();
        if (!b)
            return -1;
        const auto it = b->constFind(hostName);
        return it == b->cend() ? -1 : int(std::distance(b->cbegin(), it));
    }

    Presence presenceOf(Board::const_iterator host, int device) const
    {
        if (host->suspended)
            return Unwatched;
        const auto reports = reported.constFind(host.key());
        if (reports == reported.cend() || device >= reports->size())
            return Unknown;
        switch (reports->at(device)) {
        case ReportedPresent:
            return Present;
        case ReportedMissing:
            return Missing;
        default:
            return Unknown;
        }
    }

    /// The worst of the host's devices, and how many are present.
    Presence presenceOf(Board::const_iterator host, int* present) const
    {
        Presence worst = Present;
        int count = 0;
        for (int i = 0; i < host->devices.size(); ++i) {
            const Presence p = presenceOf(host, i);
            if (p == Present)
                ++count;
            else if (p == Missing || (p == Unknown && worst == Present))
                worst = p;
        }
        if (present)
            *present = count;
        return host->suspended ? Unwatched : worst;
    }

    QPointer<BoardController> controller;
    /// The host rows the views know of.
    int hosts = 0;
    /// Per host, what the reports said of each expected device, in the
    /// order of the board's device list.
    QHash<QString, QVector<quint8>> reported;
    QVector<quint8> dirty;
    QTimer flushTimer;
};

BoardModel::BoardModel(BoardController* controller, QObject* parent)
    : QAbstractItemModel(parent)
    , d(new Private)
{
    d->controller = controller;
    d->hosts = controller ? controller->board.size() : 0;
    d->dirty.fill(0, d->hosts);
    d->flushTimer.setSingleShot(true);
    d->flushTimer.setInterval(flushIntervalMs);
    connect(&d->flushTimer, &QTimer::timeout, this, [this] {
        for (int row = 0; row < d->dirty.size(); ++row) {
            if (!d->dirty.at(row))
                continue;
            d->dirty[row] = 0;
            const QModelIndex host = index(row, 0);
            Q_EMIT dataChanged(host, index(row, ColumnCount - 1));
            const int devices = rowCount(host);
            if (devices > 0)
                Q_EMIT dataChanged(index(0, 0, host), index(devices - 1, ColumnCount - 1, host));
        }
    });
    if (!controller)
        return;
    connect(controller, &QObject::destroyed, this, [this] {
        beginResetModel();
        d->hosts = 0;
        d->dirty.clear();
        d->reported.clear();
        endResetModel();
    });
    connect(controller, &BoardController::boardChaneged, this,
            [this](const QString& hostName, bool ok, const QString& deviceName) {
                const Board* board = d->board();
                const auto host = board->constFind(hostName);
                if (host == board->cend())
                    return;
                // An empty device name tells that the host is no longer
                // watched, which the board itself says.
                if (!deviceName.isEmpty()) {
                    const int device = host->devices.indexOf(deviceName);
                    if (device < 0)
                        return;
                    QVector<quint8>& reports = d->reported[hostName];
                    if (reports.size() < host->devices.size())
                        reports.resize(host->devices.size());
                    reports[device] = ok ? ReportedPresent : ReportedMissing;
                }
                // The board is fixed once loaded; should it grow all the
                // same, the views start anew.
                if (board->size() != d->hosts) {
                    beginResetModel();
                    d->hosts = board->size();
                    d->dirty.fill(0, d->hosts);
                    endResetModel();
                    return;
                }
                d->dirty[int(std::distance(board->cbegin(), host))] = 1;
                if (!d->flushTimer.isActive())
                    d->flushTimer.start();
            });
}

BoardModel::~BoardModel()
{
    delete d;
}

QModelIndex BoardModel::indexOfHost(const QString& hostName, int column) const
{
    const int row = d->rowOf(hostName);
    return row < 0 || row >= d->hosts ? QModelIndex() : index(row, column);
}

QModelIndex BoardModel::indexOfDevice(const QString& hostName, const QString& deviceName,
                                      int column) const
{
    const QModelIndex host = indexOfHost(hostName);
    if (!host.isValid())
        return {};
    const int row = d->hostAt(host.row())->devices.indexOf(deviceName);
    return row < 0 ? QModelIndex() : index(row, column, host);
}

QModelIndex BoardModel::index(int row, int column, const QModelIndex& parent) const
{
    if (row < 0 || column < 0 || column >= ColumnCount)
        return {};
    if (!parent.isValid())
        return row < d->hosts ? createIndex(row, column, quintptr(0)) : QModelIndex();
    if (parent.internalId() != 0 || row >= rowCount(parent))
        return {};
    // A device carries its host's row, plus one so that hosts can be told
    // apart by a zero.
    return createIndex(row, column, quintptr(parent.row() + 1));
}

QModelIndex BoardModel::parent(const QModelIndex& child) const
{
    if (!child.isValid() || child.internalId() == 0)
        return {};
    return createIndex(int(child.internalId() - 1), 0, quintptr(0));
}

int BoardModel::rowCount(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return d->hosts;
    if (parent.internalId() != 0 || parent.column() != 0 || parent.row() >= d->hosts)
        return 0;
    return d->hostAt(parent.row())->devices.size();
}

int BoardModel::columnCount(const QModelIndex&) const
{
    return ColumnCount;
}

QVariant BoardModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const bool isHost = index.internalId() == 0;
    const int hostRow = isHost ? index.row() : int(index.internalId() - 1);
    if (hostRow >= d->hosts)
        return {};
    const auto host = d->hostAt(hostRow);
    if (!isHost && index.row() >= host->devices.size())
        return {};
    int present = 0;
    const Presence presence =
        isHost ? d->presenceOf(host, &present) : d->presenceOf(host, index.row());

    switch (role) {
    case Qt::DisplayRole:
        if (index.column() == NameColumn)
            return utils::escapeControlCharacters(isHost ? host.key()
                                                         : host->devices.at(index.row()));
        switch (presence) {
        case Unwatched:
            return tr("not watched");
        case Unknown:
            if (!isHost)
                return tr("not checked yet");
            break;
        case Present:
            if (!isHost)
                return tr("present");
            break;
        case Missing:
            if (!isHost)
                return tr("missing");
            break;
        }
        return tr("%1 of %2 present").arg(present).arg(host->devices.size());
    case Qt::DecorationRole:
        if (index.column() != StateColumn)
            return {};
        switch (presence) {
        case Present:
            return QColor(0x2e, 0x9e, 0x44);
        case Missing:
            return QColor(0xd0, 0x30, 0x30);
        default:
            return QColor(Qt::gray);
        }
    case Qt::ForegroundRole:
        if (presence == Unwatched || presence == Unknown)
            return QColor(Qt::gray);
        return {};
    case PresenceRole:
        return int(presence);
    case HostNameRole:
        return host.key();
    case DeviceNameRole:
        return isHost ? QVariant() : QVariant(host->devices.at(index.row()));
    default:
        return {};
    }
}

QVariant BoardModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case NameColumn:
        return tr("Host / device");
    case StateColumn:
        return tr("Presence");
    default:
        return {};
    }
}
