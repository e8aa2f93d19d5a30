#include "param_model.h"

#include "classes/class_db.h"
#include "classes/device_class.h"
#include "devices/device_db.h"
#include "devices/paramlist.h"
#include "foundation/app_shared.h"
#include "foundation/safe_text.h"
#include "users/user_capabilities.h"

#include <QDateTime>
#include <QFont>
#include <QPointer>
#include <QTimer>
#include <QVector>

#include <algorithm>
#include <limits>

namespace {

// Often enough to look live, seldom enough that a busy host cannot keep the
// views repainting.
constexpr int flushIntervalMs = 100;

const QModelIndex noParent;

} // namespace

class ParamModel::Private
{
public:
    explicit Private(ParamModel* q)
        : q(q)
    {
        flushTimer.setInterval(flushIntervalMs);
    }

    int paramCount() const { return parentOf.size(); }

    Param* param(int i) const
    {
        if (!device || i < 0 || i >= paramCount() || i >= device->parameters.size())
            return nullptr;
        return device->parameters.at(i);
    }

    Param* paramOf(const QModelIndex& index) const
    {
        if (!index.isValid() || index.model() != q)
            return nullptr;
        return param(int(index.internalId()));
    }

    QModelIndex indexOfParam(int i, int column) const
    {
        return q->createIndex(rowInParent.at(i), column, quintptr(i));
    }

    const QVector<int>& rowsUnder(const QModelIndex& parent) const
    {
        if (!parent.isValid())
            return topRows;
        return childrenOf.at(int(parent.internalId()));
    }

    bool mayWrite() const { return !users || users->checkForCapability(QStringLiteral("write")); }

    bool editable(const Param* p) const
    {
        return (p->access & 2) && p->type != Tavo::FILE && mayWrite();
    }

    /// The row structure of the device: built once, since a device's
    /// parameters never change after population.
    void build()
    {
        const int count = device ? device->parameters.size() : 0;
        parentOf.fill(-1, count);
        rowInParent.fill(0, count);
        childrenOf = QVector<QVector<int>>(count);
        lastRead.fill(0, count);
        dirty.fill(0, count);
        topRows.clear();
        anyDirty = false;
        for (int i = 0; i < count; ++i) {
            const Param* p = device->parameters.at(i);
            if (!p)
                continue;
            int parent = -1;
            if (p->baseParameter && p->baseParameter != p &&
                p->baseParameter->getDevice() == device)
                parent = p->baseParameter->indexInDevice;
            else if (p->arraySize == 0 && p->arrayIndex > 0 && i - p->arrayIndex >= 0)
                parent = i - p->arrayIndex;
            // A parent is always listed before its children, which keeps the
            // tree free of loops whatever the class file says.
            if (parent >= i || parent < 0)
                parent = -1;
            parentOf[i] = parent;
            QVector<int>& siblings = parent < 0 ? topRows : childrenOf[parent];
            rowInParent[i] = siblings.size();
            siblings.append(i);
        }
    }

    void clear()
    {
        parentOf.clear();
        rowInParent.clear();
        childrenOf.clear();
        lastRead.clear();
        dirty.clear();
        topRows.clear();
        anyDirty = false;
        flushTimer.stop();
    }

    void markDirty(int i)
    {
        if (i < 0 || i >= dirty.size())
            return;
        dirty[i] = 1;
        anyDirty = true;
        // The timer keeps running while values stream in, so that an update
        // never has to register a timer anew.
        if (!flushTimer.isActive())
            flushTimer.start();
    }

    void markAllDirty()
    {
        std::fill(dirty.begin(), dirty.end(), quint8(1));
        anyDirty = !dirty.isEmpty();
    }

    bool writeQueued(Param* p) const
    {
        const QList<WriteItem*>* queued = device ? device->writeList : nullptr;
        if (!queued)
            return false;
        const Param* target = p->correctForBaseParam();
        for (const WriteItem* item : *queued) {
            if (item && item->targetParameter == target)
                return true;
        }
        return false;
    }

    void paramRead(int i)
    {
        Param* p = param(i);
        if (!p)
            return;
        lastRead[i] = QDateTime::currentMSecsSinceEpoch();
        // The value that comes once the write has gone out is the host's
        // answer to it; one read while it still waits in the queue is not.
        if (p->writePending && !writeQueued(p))
            p->writePending = false;
        markDirty(i);
    }

    void flush()
    {
        if (!anyDirty) {
            flushTimer.stop();
            return;
        }
        anyDirty = false;
        emitDirtyRuns(noParent, topRows);
        std::fill(dirty.begin(), dirty.end(), quint8(0));
    }

    // One dataChanged per run of neighbouring dirty rows under one parent.
    void emitDirtyRuns(const QModelIndex& parent, const QVector<int>& rows)
    {
        int first = -1;
        for (int row = 0; row <= rows.size(); ++row) {
            const bool isDirty = row < rows.size() && dirty.at(rows.at(row));
            if (isDirty && first < 0)
                first = row;
            if (!isDirty && first >= 0) {
                Q_EMIT q->dataChanged(q->index(first, ValueColumn, parent),
                                      q->index(row - 1, LastReadColumn, parent));
                first = -1;
            }
        }
        for (int row = 0; row < rows.size(); ++row) {
            const QVector<int>& children = childrenOf.at(rows.at(row));
            if (!children.isEmpty())
                emitDirtyRuns(indexOfParam(rows.at(row), NameColumn), children);
        }
    }

    void giveBackTickets()
    {
        if (ticketId < 0)
            return;
        if (db && device) {
            for (const Param* p : qAsConst(device->parameters)) {
                if (p)
                    db->deleteTicket(device->name, p->DbEntity::name, ticketId);
            }
        }
        ticketId = -1;
    }

    void takeTickets()
    {
        if (!active || !db || !device)
            return;
        if (ticketId < 0)
            ticketId = db->getTicketId(device->name);
        if (ticketId < 0)
            return;
        for (const Param* p : qAsConst(device->parameters)) {
            if (p)
                db->setTicket(device->name, p->DbEntity::name, ticketId, period);
        }
    }

    void disconnectAll()
    {
        for (const QMetaObject::Connection& connection : qAsConst(connections))
            QObject::disconnect(connection);
        connections.clear();
    }

    /// The device is gone with its tickets: only forget it.
    void dropDevice()
    {
        q->beginResetModel();
        disconnectAll();
        ticketId = -1;
        device = nullptr;
        db = nullptr;
        clear();
        q->endResetModel();
    }

    QString valueText(const Param* p) const
    {
        if (!p->readValid)
            return QString();
        QString text;
        p->getReadValuePresentation(const_cast<PresentationInfo*>(&presentation), &text, nullptr);
        // Text values come from the host as they are.
        return utils::escapeControlCharacters(text);
    }

    /// The value as the form parsing takes it back: plain decimal, an
    /// alias, the text itself or hexadecimal pairs.
    QString editText(const Param* p) const
    {
        if (!p->readValid)
            return QString();
        if (p->isNumericType()) {
            const QString alias = p->getReadValueAlias();
            if (!alias.isEmpty())
                return alias;
        }
        QString text;
        switch (p->type) {
        case Tavo::UINT:
            return QString::number(p->readValue);
        case Tavo::INT:
            return QString::number(Tavo::wordToInt(p->readValue));
        case Tavo::FLOAT:
            return QString::number(double(Tavo::wordToFloat(p->readValue)), 'g', 7);
        case Tavo::ASCIIZ:
            p->presentAsAsciiz(text);
            return text;
        case Tavo::BYTE_ARRAY:
            p->presentAsByteArray(text);
            return text;
        default:
            return QString();
        }
    }

    QVariant limit(const Param* p, bool has, quint32 word) const
    {
        if (!has || !p->isNumericType())
            return {};
        switch (p->type) {
        case Tavo::INT:
            return Tavo::wordToInt(word);
        case Tavo::FLOAT:
            return double(Tavo::wordToFloat(word));
        default:
            return word;
        }
    }

    QVariant step(const Param* p) const
    {
        if (!p->isNumericType())
            return {};
        quint32 word = 1;
        const DeviceClass* deviceClass = share::classDb && device
            ? share::classDb->deviceClasses.value(device->className)
            : nullptr;
        if (deviceClass) {
            for (const ParamClass* paramClass : deviceClass->paramClassList) {
                if (paramClass && paramClass->name == p->DbEntity::className) {
                    word = paramClass->step;
                    break;
                }
            }
        }
        if (p->type == Tavo::FLOAT) {
            // The class default of 1 is an integer word; as a float it would
            // be a step far too small to use.
            const float value = Tavo::wordToFloat(word);
            return word != 1 && value > 0 && value < std::numeric_limits<float>::infinity()
                ? double(value)
                : 0.1;
        }
        if (p->type == Tavo::INT)
            return std::max(1, Tavo::wordToInt(word));
        return std::max(1u, word);
    }

    QStringList variants(const Param* p) const
    {
        if (!p->valueTexts.isEmpty())
            return p->valueTexts;
        QStringList texts;
        for (const QString& alias : p->aliases) {
            if (!alias.isEmpty())
                texts.append(alias);
        }
        return texts;
    }

    /// The word for @p text, or false with the reason in @p reason.
    bool parseNumber(Param* p, const QString& text, unsigned long& word, QString& reason) const
    {
        const QString name = p->DbEntity::name;
        const QString shown = utils::escapeControlCharacters(text);
        bool ok = !text.isEmpty() && p->findAlias(text, word);
        if (!ok) {
            const QString trimmed = text.trimmed();
            switch (p->type) {
            case Tavo::UINT:
                ok = db->presentationStringToUIntInsideForm(trimmed, word);
                break;
            case Tavo::INT:
                ok = db->presentationStringToIntInsideForm(trimmed, word);
                break;
            case Tavo::FLOAT:
                ok = db->presentationStringToFloatInsideForm(trimmed, word);
                break;
            default:
                break;
            }
        }
        if (ok && !p->fixedValues.isEmpty() && !p->fixedValues.contains(quint32(word)))
            ok = false;
        if (!ok) {
            reason = ParamModel::tr("'%1' is not a valid value for %2").arg(shown, name);
            return false;
        }
        const quint32 value = quint32(word);
        auto below = [p](quint32 a, quint32 b) {
            switch (p->type) {
            case Tavo::INT:
                return Tavo::wordToInt(a) < Tavo::wordToInt(b);
            case Tavo::FLOAT:
                return Tavo::wordToFloat(a) < Tavo::wordToFloat(b);
            default:
                return a < b;
            }
        };
        QString bound;
        if (p->hasMinimum && below(value, p->minimum)) {
            p->getWritePresentationString(bound, p->minimum, nullptr);
            reason = ParamModel::tr("'%1' is below the minimum %2 of %3").arg(shown, bound, name);
            return false;
        }
        if (p->hasMaximum && below(p->maximum, value)) {
            p->getWritePresentationString(bound, p->maximum, nullptr);
            reason = ParamModel::tr("'%1' is above the maximum %2 of %3").arg(shown, bound, name);
            return false;
        }
        return true;
    }

    ParamModel* const q;
    QPointer<DeviceDb> db;
    QPointer<Device> device;
    QPointer<const UserCapabilities> users;
    QMetaObject::Connection usersConnection;
    QList<QMetaObject::Connection> connections;
    PresentationInfo presentation;
    int period = 5;
    bool active = false;
    int ticketId = -1;

    // Indexed by the parameter's index in device.
    QVector<int> parentOf;
    QVector<int> rowInParent;
    QVector<QVector<int>> childrenOf;
    QVector<int> topRows;
    QVector<qint64> lastRead;
    QVector<quint8> dirty;
    bool anyDirty = false;
    QTimer flushTimer;
};

ParamModel::ParamModel(QObject* parent)
    : QAbstractItemModel(parent)
    , d(new Private(this))
{
    connect(&d->flushTimer, &QTimer::timeout, this, [this] { d->flush(); });
}

ParamModel::~ParamModel()
{
    d->giveBackTickets();
    d->disconnectAll();
    delete d;
}

void ParamModel::setDevice(DeviceDb* db, Device* device)
{
    if (!db || (device && device->parent() != db))
        device = nullptr;
    if (!device)
        db = nullptr;
    if (db == d->db && device == d->device)
        return;
    d->giveBackTickets();
    beginResetModel();
    d->disconnectAll();
    d->clear();
    d->db = db;
    d->device = device;
    if (device) {
        if (!device->populated)
            device->populateDevice();
        d->build();
        d->connections << connect(device, &Device::signalParamHasRead, this,
                                  [this](int i, int, int, const ParamCore*) { d->paramRead(i); });
        d->connections << connect(device, &Device::signalAboutToParamWrite, this,
                                  [this](int i, int, int, const ParamCore*) { d->markDirty(i); });
        d->connections << connect(device, &QObject::destroyed, this, [this] { d->dropDevice(); });
        d->connections << connect(db, &DeviceDb::signalAboutToDeviceDelete, this,
                                  [this](const QString& name) {
                                      if (d->device && d->device->name == name)
                                          setDevice(nullptr, nullptr);
                                  });
    }
    endResetModel();
    d->takeTickets();
}

Device* ParamModel::device() const
{
    return d->device;
}

void ParamModel::setPeriod(int seconds)
{
    seconds = std::max(1, seconds);
    if (seconds == d->period)
        return;
    d->period = seconds;
    // The same ticket again changes its period.
    if (d->ticketId >= 0)
        d->takeTickets();
}

int ParamModel::period() const
{
    return d->period;
}

void ParamModel::setActive(bool active)
{
    if (active == d->active)
        return;
    d->active = active;
    if (active)
        d->takeTickets();
    else
        d->giveBackTickets();
}

bool ParamModel::isActive() const
{
    return d->active;
}

void ParamModel::setPresentation(int radix, bool scaled)
{
    if (radix == d->presentation.radix && scaled == d->presentation.scaled)
        return;
    d->presentation.radix = radix;
    d->presentation.scaled = scaled;
    d->markAllDirty();
    d->flush();
}

void ParamModel::setUsers(const UserCapabilities* users)
{
    if (users == d->users)
        return;
    disconnect(d->usersConnection);
    d->users = users;
    // Who may edit changes the flags of every value.
    auto refresh = [this] {
        d->markAllDirty();
        d->flush();
    };
    if (users)
        d->usersConnection =
            connect(users, &UserCapabilities::signalChangeCurrentUser, this, refresh);
    refresh();
}

void ParamModel::paramStateChanged(const Param* param, int newState, int oldState)
{
    Q_UNUSED(newState)
    Q_UNUSED(oldState)
    if (param && d->device && param->parent() == d->device)
        d->markDirty(param->indexInDevice);
}

const Param* ParamModel::paramAt(const QModelIndex& index) const
{
    return d->paramOf(index);
}

QModelIndex ParamModel::indexOf(const QString& paramName, int column) const
{
    if (!d->device || column < 0 || column >= ColumnCount)
        return {};
    const Param* p = d->device->parametersByName.value(paramName);
    if (!p || p->indexInDevice < 0 || p->indexInDevice >= d->paramCount())
        return {};
    return d->indexOfParam(p->indexInDevice, column);
}

QModelIndex ParamModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column < 0 || column >= ColumnCount || row < 0)
        return {};
    if (parent.isValid() && (parent.column() != NameColumn || !d->paramOf(parent)))
        return {};
    const QVector<int>& rows = d->rowsUnder(parent);
    if (row >= rows.size())
        return {};
    return createIndex(row, column, quintptr(rows.at(row)));
}

QModelIndex ParamModel::parent(const QModelIndex& child) const
{
    if (!d->paramOf(child))
        return {};
    const int parent = d->parentOf.at(int(child.internalId()));
    if (parent < 0)
        return {};
    return d->indexOfParam(parent, NameColumn);
}

int ParamModel::rowCount(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return d->topRows.size();
    if (parent.column() != NameColumn || !d->paramOf(parent))
        return 0;
    return d->childrenOf.at(int(parent.internalId())).size();
}

int ParamModel::columnCount(const QModelIndex& parent) const
{
    Q_UNUSED(parent)
    return ColumnCount;
}

QVariant ParamModel::data(const QModelIndex& index, int role) const
{
    const Param* p = d->paramOf(index);
    if (!p)
        return {};
    const int i = int(index.internalId());
    switch (role) {
    case ParamRole:
        return QVariant::fromValue(static_cast<void*>(const_cast<Param*>(p)));
    case SeverityRole:
        return p->alarmCache;
    case WritePendingRole:
        return p->writePending;
    case VariantsRole:
        return d->variants(p);
    case MinimumRole:
        return d->limit(p, p->hasMinimum, p->minimum);
    case MaximumRole:
        return d->limit(p, p->hasMaximum, p->maximum);
    case StepRole:
        return d->step(p);
    default:
        break;
    }

    switch (index.column()) {
    case NameColumn:
        if (role == Qt::DisplayRole)
            return utils::escapeControlCharacters(p->DbEntity::name);
        if (role == Qt::ToolTipRole)
            return p->info.isEmpty() ? tr("Type %1").arg(p->typeToString()) : p->info;
        break;
    case HumanNameColumn:
        if (role == Qt::DisplayRole)
            return utils::escapeControlCharacters(p->humanName);
        break;
    case ValueColumn:
        switch (role) {
        case Qt::DisplayRole:
            return d->valueText(p);
        case Qt::EditRole:
            return d->editText(p);
        case Qt::FontRole:
            if (p->writePending) {
                QFont font;
                font.setItalic(true);
                return font;
            }
            break;
        case Qt::ToolTipRole:
            if (p->writePending)
                return tr("Written; waiting for the host to read the value back");
            break;
        default:
            break;
        }
        break;
    case StateColumn:
        if (p->alarmCache < Tavo::NORM)
            break;
        if (role == Qt::DisplayRole)
            return share::alarmStateToStr(Tavo::AlarmType(p->alarmCache));
        if (role == Qt::DecorationRole && p->alarmCache != Tavo::NORM)
            return share::colorForAlarmType(Tavo::AlarmType(p->alarmCache));
        break;
    case LastReadColumn:
        if (role == Qt::DisplayRole && d->lastRead.at(i) > 0)
            return QDateTime::fromMSecsSinceEpoch(d->lastRead.at(i))
                .time()
                .toString(QStringLiteral("HH:mm:ss"));
        break;
    case AccessColumn:
        if (role == Qt::DisplayRole) {
            switch (p->access & 3) {
            case 1:
                return tr("R");
            case 2:
                return tr("W");
            case 3:
                return tr("RW");
            default:
                return QString();
            }
        }
        break;
    default:
        break;
    }
    return {};
}

QVariant ParamModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractItemModel::headerData(section, orientation, role);
    switch (section) {
    case NameColumn:
        return tr("Name");
    case HumanNameColumn:
        return tr("Description");
    case ValueColumn:
        return tr("Value");
    case StateColumn:
        return tr("State");
    case LastReadColumn:
        return tr("Last read");
    case AccessColumn:
        return tr("Access");
    default:
        return {};
    }
}

Qt::ItemFlags ParamModel::flags(const QModelIndex& index) const
{
    const Param* p = d->paramOf(index);
    if (!p)
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (d->childrenOf.at(int(index.internalId())).isEmpty())
        flags |= Qt::ItemNeverHasChildren;
    if (index.column() == ValueColumn && d->editable(p))
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool ParamModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || index.column() != ValueColumn)
        return false;
    Param* p = d->paramOf(index);
    if (!p || !d->db || !d->device)
        return false;
    const QString name = p->DbEntity::name;
    if (!d->mayWrite()) {
        Q_EMIT writeRefused(name, tr("The current user may not write parameters"));
        return false;
    }
    if (!(p->access & 2) || p->type == Tavo::FILE) {
        Q_EMIT writeRefused(name, tr("%1 cannot be written").arg(name));
        return false;
    }

    const QString text = value.toString();
    const QString deviceName = d->device->name;
    QString reason;
    bool queued = false;
    if (p->isNumericType()) {
        unsigned long word = 0;
        if (!d->parseNumber(p, text, word, reason)) {
            Q_EMIT writeRefused(name, reason);
            return false;
        }
        Param* base = p->baseParameter;
        // A bit is written as its whole base word: unless a write of the
        // base is already waiting, the other bits keep what was read.
        if (base && !base->writePending && base->readValid)
            base->writeValue = base->readValue;
        unsigned long wireWord = word;
        Param* target = p->correctWriteValueForBaseParam(wireWord);
        queued = d->db->writeQuery(deviceName, name, word, false);
        if (queued)
            target->setWriteValue(wireWord);
    } else {
        QByteArray bytes;
        bool ok = false;
        if (p->type == Tavo::ASCIIZ) {
            // Latin-1 has no room for the rest; a '?' in its place would be
            // written silently.
            ok = std::all_of(text.cbegin(), text.cend(),
                             [](QChar c) { return c.unicode() <= 0xff; }) &&
                d->db->presentationStringToAsciizInsideForm(text, bytes);
        } else {
            ok = d->db->presentationStringToByteArrayInsideForm(text, bytes);
        }
        if (!ok) {
            Q_EMIT writeRefused(name,
                                tr("'%1' is not a valid value for %2")
                                    .arg(utils::escapeControlCharacters(text), name));
            return false;
        }
        queued = d->db->writeQuery(deviceName, name, bytes, QString(), false);
        if (queued)
            p->setWriteValue(bytes, QString());
    }
    if (!queued) {
        Q_EMIT writeRefused(
            name, tr("%1 cannot be written now: the host does not take writes").arg(name));
        return false;
    }
    Param* target = p->correctForBaseParam();
    d->markDirty(p->indexInDevice);
    d->markDirty(target->indexInDevice);
    for (const Param* bit : qAsConst(target->bitParameters)) {
        if (bit)
            d->markDirty(bit->indexInDevice);
    }
    d->flush();
    return true;
}
