// The "snmp" protocol plug-in: SNMP v1 and v2c over UDP (docs/snmp.md).
// Devices are discovered by walking the tables their classes name, values
// are read with GET, written with SET and read back.

#include "snmp_codec.h"

#include "classes/class_db.h"
#include "classes/device_class.h"
#include "connections/i_protocol.h"
#include "connections/protocol_data_unit.h"
#include "devices/device_db.h"
#include "devices/paramlist.h"
#include "foundation/abstractlog.h"
#include "foundation/app_shared.h"
#include "foundation/safe_text.h"
#include "hostgraph/host_graph.h"
#include "hosttypes/host_type_db.h"

#include <QCoreApplication>
#include <QHash>
#include <QSet>
#include <QtPlugin>

#include <cstring>

namespace {

constexpr int TickMs = 50; // the engine's scheduler tick
// Requests in flight at once; the engine sends one datagram per tick.
constexpr int Window = 4;
// Stay below what every network passes unfragmented.
constexpr int MaxDatagram = 1400;
// A discovery the host did not answer is tried again this soon.
constexpr int DiscoveryRetryTicks = 10000 / TickMs;

int boundedInt(const QString& text, int fallback, int low, int high)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value >= low && value <= high ? value : fallback;
}

void logWarning(const QString& text)
{
    if (share::pLog)
        share::pLog->logWarning(text);
}

QByteArray dottedAddress(const QByteArray& bytes)
{
    QByteArray text;
    for (int i = 0; i < bytes.size(); ++i) {
        if (i)
            text += '.';
        text += QByteArray::number(quint8(bytes.at(i)));
    }
    return text;
}

// The value word holds a FLOAT as its bit pattern.
quint32 floatBits(float value)
{
    quint32 bits;
    memcpy(&bits, &value, sizeof bits);
    return bits;
}

void logMessage(const QString& text)
{
    if (share::pLog)
        share::pLog->logMessage(text);
}

} // namespace

class SnmpProtocol : public QObject, public IProtocol
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID IProtocol_iid)
    Q_INTERFACES(IProtocol)

public:
    explicit SnmpProtocol(QObject* parent = nullptr)
        : QObject(parent)
    {
        object = this;
        name = QStringLiteral("snmp");
        port = 161;
        socketType = 1;
        customVars.insert(QStringLiteral("community"), QStringLiteral("public"));
        customVars.insert(QStringLiteral("write_community"), QString());
        customVars.insert(QStringLiteral("version"), QStringLiteral("2c"));
        customVars.insert(QStringLiteral("timeout_ms"), QStringLiteral("1000"));
        customVars.insert(QStringLiteral("retries"), QStringLiteral("2"));
        customVars.insert(QStringLiteral("max_varbinds"), QStringLiteral("32"));
        customVars.insert(QStringLiteral("max_repetitions"), QStringLiteral("16"));
        customVars.insert(QStringLiteral("rediscover_s"), QStringLiteral("300"));
    }

    void assignCustomVars(const QMap<QString, QString>& vars) override
    {
        auto value = [&](const char* key) {
            const QString text = vars.value(QLatin1String(key));
            return text.isEmpty() ? customVars.value(QLatin1String(key)) : text;
        };
        m_community = value("community").toUtf8();
        m_writeCommunity = vars.value(QStringLiteral("write_community")).toUtf8();
        if (m_writeCommunity.isEmpty())
            m_writeCommunity = m_community;
        m_version = value("version") == QLatin1String("1") ? snmp::V1 : snmp::V2c;
        m_timeoutTicks = qMax(1, boundedInt(value("timeout_ms"), 1000, 50, 600000) / TickMs);
        m_retries = boundedInt(value("retries"), 2, 0, 20);
        m_maxVarbinds = boundedInt(value("max_varbinds"), 32, 1, 128);
        m_maxRepetitions = boundedInt(value("max_repetitions"), 16, 1, 256);
        m_rediscoverTicks = boundedInt(value("rediscover_s"), 300, 0, 86400) * (1000 / TickMs);
    }

    void init() override
    {
        m_inFlight.clear();
        m_sets.clear();
        m_walks.clear();
        m_walkIndex = -1;
        m_reads.clear();
        m_queued.clear();
        m_absent.clear();
        m_silent = false;
        m_ticksToRediscover = 0;
        m_discoveryRetryTick = -1;
    }

    IProtocol* createInstance(QObject* owner) override { return new SnmpProtocol(owner); }

    bool selectDeviceQuery(QVector<SelectedDeviceItem*>&) override
    {
        startDiscovery();
        return true;
    }

    void reserved() override { }

    void parse(const char* data, int size) override
    {
        snmp::Message message;
        if (!snmp::decode(data, size, message) || message.pdu != snmp::Response)
            return;
        auto pending = m_inFlight.find(message.requestId);
        if (pending == m_inFlight.end())
            return; // late, duplicated or not ours
        const Request request = pending.value();
        m_inFlight.erase(pending);
        if (m_silent) {
            m_silent = false;
            logMessage(tr("[snmp] %1 answers again").arg(hostText()));
        }
        switch (request.kind) {
        case Request::Get:
            readAnswered(request, message);
            break;
        case Request::Set:
            writeAnswered(request, message);
            break;
        case Request::Walk:
            walkAnswered(request, message);
            break;
        }
    }

    void getWorkUpResult(ResultList& results) override
    {
        takeWrites();
        takeReads();
        if (m_walkIndex < 0) {
            const bool retry = m_discoveryRetryTick >= 0 && m_tick >= m_discoveryRetryTick;
            if (retry || (m_rediscoverTicks > 0 && ++m_ticksToRediscover >= m_rediscoverTicks))
                startDiscovery();
        }
        expireRequests(results);
        // One datagram per tick goes out: what the engine still holds from
        // an earlier tick comes first.
        if (!results.isEmpty() || m_inFlight.size() >= Window)
            return;
        if (!m_sets.isEmpty()) {
            Request request = m_sets.takeFirst();
            send(request, results);
        } else if (m_walkIndex >= 0) {
            sendWalk(results);
        } else if (!m_reads.isEmpty()) {
            sendRead(results);
        }
    }

    bool isReadyForRead(Device* device) override { return device->protocol == Tavo::SnmpProtocol; }
    bool isParamForRead(Device*, Param* param) override
    {
        return !param->isVirtual && !param->oid.isEmpty();
    }
    bool isReadyForWrite(Device* device) override { return device->protocol == Tavo::SnmpProtocol; }
    bool isParamForWrite(Device*, Param* param) override
    {
        return !param->isVirtual && !param->oid.isEmpty();
    }

private:
    struct Request
    {
        enum Kind { Get, Set, Walk } kind = Get;
        qint32 id = 0;
        QByteArray datagram;
        int sentTick = 0;
        int tries = 0;
        QVector<QByteArray> oids; // what a GET or SET asked for
    };

    struct TableWalk
    {
        QString className;
        QByteArray column; // the column whose rows name the devices
        QByteArray next;
        QStringList indexes;
        bool scalars = false;
    };

    QString hostText() const
    {
        const NodeAttr* host = pdu && pdu->deviceDb ? pdu->deviceDb->host : nullptr;
        return host ? QStringLiteral("%1:%2").arg(host->url()).arg(host->port())
                    : QStringLiteral("?");
    }

    // --- requests ----------------------------------------------------------

    qint32 nextId()
    {
        m_lastId = m_lastId >= 0x7fffffff ? 1 : m_lastId + 1;
        return m_lastId;
    }

    bool build(Request& request, int pduType, const QByteArray& community,
               const QVector<snmp::Varbind>& varbinds, int errorStatus = 0, int errorIndex = 0)
    {
        snmp::Message message;
        message.version = m_version;
        message.community = community;
        message.pdu = pduType;
        message.requestId = request.id = nextId();
        message.errorStatus = errorStatus;
        message.errorIndex = errorIndex;
        message.varbinds = varbinds;
        request.datagram.clear();
        return snmp::encode(message, request.datagram);
    }

    void send(Request& request, ResultList& results)
    {
        request.sentTick = m_tick;
        ++request.tries;
        auto* item = new ResultItem;
        item->size = request.datagram.size();
        item->data = new char[size_t(item->size)];
        memcpy(item->data, request.datagram.constData(), size_t(item->size));
        results.append(item);
        m_inFlight.insert(request.id, request);
    }

    void expireRequests(ResultList& results)
    {
        ++m_tick;
        for (auto it = m_inFlight.begin(); it != m_inFlight.end();) {
            if (m_tick - it->sentTick < m_timeoutTicks) {
                ++it;
                continue;
            }
            Request request = it.value();
            it = m_inFlight.erase(it);
            if (request.tries <= m_retries) {
                // The same request id again: a late answer to the first try
                // still counts.
                if (results.isEmpty())
                    send(request, results);
                else
                    m_sets.prepend(request); // goes on a later tick
                continue;
            }
            gaveUp(request);
        }
    }

    void gaveUp(const Request& request)
    {
        if (!m_silent) {
            m_silent = true;
            logWarning(tr("[snmp] %1 does not answer (no reply after %2 tries)")
                           .arg(hostText())
                           .arg(request.tries));
        }
        if (request.kind == Request::Walk) {
            // A host that was away at connect must not wait for the next
            // periodic discovery to show its devices.
            m_walkIndex = -1;
            m_discoveryRetryTick = m_tick + DiscoveryRetryTicks;
        }
        for (const QByteArray& oid : request.oids)
            m_queued.remove(oid);
    }

    // --- reads -------------------------------------------------------------

    void takeReads()
    {
        for (auto it = pdu->readQueryMap.cbegin(); it != pdu->readQueryMap.cend(); ++it) {
            for (const Param* param : qAsConst(*it.value())) {
                const QByteArray oid = param->oid.toLatin1();
                if (m_absent.contains(oid) || m_queued.contains(oid))
                    continue;
                m_queued.insert(oid);
                m_reads.append(oid);
            }
        }
        pdu->clearReadQueryMap();
    }

    void sendRead(ResultList& results)
    {
        Request request;
        request.kind = Request::Get;
        QVector<snmp::Varbind> varbinds;
        int bytes = 0;
        while (!m_reads.isEmpty() && varbinds.size() < m_maxVarbinds &&
               bytes + m_reads.first().size() < MaxDatagram - 200) {
            snmp::Varbind varbind;
            varbind.oid = m_reads.takeFirst();
            bytes += varbind.oid.size() / 2 + 8; // about its BER size
            request.oids.append(varbind.oid);
            varbinds.append(varbind);
        }
        if (varbinds.isEmpty())
            return;
        if (!build(request, snmp::GetRequest, m_community, varbinds)) {
            for (const QByteArray& oid : qAsConst(request.oids)) {
                m_queued.remove(oid);
                m_absent.insert(oid);
            }
            return;
        }
        send(request, results);
    }

    void readAnswered(const Request& request, const snmp::Message& message)
    {
        for (const QByteArray& oid : request.oids)
            m_queued.remove(oid);
        DeviceDb* db = pdu->deviceDb;
        if (message.errorStatus != 0) {
            // v1 agents refuse the whole request for one unknown name: that
            // one is left out from now on, the others are asked again.
            const int bad = message.errorIndex - 1;
            if (bad >= 0 && bad < request.oids.size()) {
                markAbsent(request.oids.at(bad), snmp::errorStatusName(message.errorStatus));
                for (int i = 0; i < request.oids.size(); ++i) {
                    if (i != bad && !m_queued.contains(request.oids.at(i))) {
                        m_queued.insert(request.oids.at(i));
                        m_reads.append(request.oids.at(i));
                    }
                }
            }
            return;
        }
        for (const snmp::Varbind& varbind : message.varbinds)
            store(db, varbind);
    }

    void markAbsent(const QByteArray& oid, const QString& reason)
    {
        if (m_absent.contains(oid))
            return;
        m_absent.insert(oid);
        const DevPrm* found = pdu->deviceDb->oidMap.value(QString::fromLatin1(oid));
        const QString what = found && found->device && found->param
            ? QStringLiteral("%1.%2").arg(found->device->DbEntity::name,
                                          found->param->DbEntity::name)
            : QString::fromLatin1(oid);
        logWarning(tr("[snmp] %1 has no value for %2 (%3): %4")
                       .arg(hostText(), what, QString::fromLatin1(oid), reason));
    }

    void store(DeviceDb* db, const snmp::Varbind& varbind)
    {
        const DevPrm* found = db->oidMap.value(QString::fromLatin1(varbind.oid));
        if (!found || !found->device || !found->param)
            return;
        if (varbind.isException()) {
            markAbsent(varbind.oid,
                       varbind.type == snmp::NoSuchObject         ? QStringLiteral("noSuchObject")
                           : varbind.type == snmp::NoSuchInstance ? QStringLiteral("noSuchInstance")
                                                                  : QStringLiteral("endOfMibView"));
            return;
        }
        const int device = found->device->code;
        const int param = found->param->code;
        if (found->param->isNumericType()) {
            unsigned long word = 0;
            switch (varbind.type) {
            case snmp::Integer:
                word = static_cast<quint32>(static_cast<qint32>(varbind.integer));
                break;
            case snmp::Counter32:
            case snmp::Gauge32:
            case snmp::TimeTicks:
            case snmp::Counter64:
                word = static_cast<quint32>(varbind.number); // the low 32 bits
                break;
            default: {
                // A number an agent sends as text (UCD's "0.12" load).
                bool ok = false;
                const double number = varbind.bytes.trimmed().toDouble(&ok);
                if (!ok)
                    return;
                word = found->param->type == Tavo::FLOAT
                    ? floatBits(float(number))
                    : static_cast<quint32>(static_cast<qint32>(number));
            }
            }
            db->setParamValue(device, param, word);
            return;
        }
        QByteArray bytes;
        switch (varbind.type) {
        case snmp::Integer:
            bytes = QByteArray::number(varbind.integer);
            break;
        case snmp::Counter32:
        case snmp::Gauge32:
        case snmp::TimeTicks:
        case snmp::Counter64:
            bytes = QByteArray::number(varbind.number); // Counter64 whole
            break;
        case snmp::IpAddress:
            bytes = found->param->type == Tavo::BYTE_ARRAY ? varbind.bytes
                                                           : dottedAddress(varbind.bytes);
            break;
        default:
            bytes = varbind.bytes;
        }
        // The database takes text as hex pairs, as hosts send it.
        db->setParamStringValue(device, param, bytes.toHex());
    }

    // --- writes ------------------------------------------------------------

    // One SET per write: an agent refuses a SET whole, and one refused
    // value must not take the others with it.
    void takeWrites()
    {
        for (auto it = pdu->writeQueryMap.cbegin(); it != pdu->writeQueryMap.cend(); ++it) {
            for (const WriteItem* item : qAsConst(*it.value())) {
                const Param* param = item->targetParameter;
                snmp::Varbind varbind;
                varbind.oid = param->oid.toLatin1();
                varbind.type = param->wireTag;
                if (param->isNumericType()) {
                    varbind.integer = static_cast<qint32>(static_cast<quint32>(item->value));
                    varbind.number = static_cast<quint32>(item->value);
                } else {
                    varbind.type =
                        param->wireTag == snmp::IpAddress ? snmp::IpAddress : snmp::OctetString;
                    varbind.bytes = item->bytes;
                }
                Request request;
                request.kind = Request::Set;
                request.oids.append(varbind.oid);
                if (!build(request, snmp::SetRequest, m_writeCommunity, {varbind})) {
                    logWarning(
                        tr("[snmp] %1: the write to %2.%3 cannot be encoded")
                            .arg(hostText(), it.key()->DbEntity::name, param->DbEntity::name));
                    continue;
                }
                m_sets.append(request);
            }
        }
        pdu->clearWriteQueryMap();
    }

    void writeAnswered(const Request& request, const snmp::Message& message)
    {
        DeviceDb* db = pdu->deviceDb;
        if (message.errorStatus != 0) {
            const int bad = qBound(0, message.errorIndex - 1, request.oids.size() - 1);
            const QByteArray oid = request.oids.value(bad);
            const DevPrm* found = db->oidMap.value(QString::fromLatin1(oid));
            QString what = QString::fromLatin1(oid);
            if (found && found->device && found->param) {
                what = QStringLiteral("%1.%2").arg(found->device->DbEntity::name,
                                                   found->param->DbEntity::name);
                db->notifyParam(found->device->code, found->param->code, DbEntity::WriteFailed);
            }
            logWarning(tr("[snmp] %1 refused the write to %2 (%3): %4")
                           .arg(hostText(), what, QString::fromLatin1(oid),
                                snmp::errorStatusName(message.errorStatus)));
        }
        // What the agent holds now, also after a refusal.
        for (const QByteArray& oid : request.oids) {
            if (!m_queued.contains(oid)) {
                m_queued.insert(oid);
                m_reads.prepend(oid);
            }
        }
    }

    // --- discovery ---------------------------------------------------------

    void startDiscovery()
    {
        m_ticksToRediscover = 0;
        m_discoveryRetryTick = -1;
        m_absent.clear();
        m_walks.clear();
        m_walkIndex = -1;
        const DeviceDb* db = pdu ? pdu->deviceDb : nullptr;
        if (!db || !db->host || !share::hostTypeDb || !share::classDb)
            return;
        const HostType* type = share::hostTypeDb->findHostType(db->host->hostTypeName());
        if (!type) {
            logWarning(tr("[snmp] %1: unknown host type '%2', no devices to look for")
                           .arg(hostText(), db->host->hostTypeName()));
            return;
        }
        for (const QString& className : type->deviceClassNames) {
            const DeviceClass* deviceClass = share::classDb->deviceClasses.value(className);
            if (!deviceClass)
                continue;
            TableWalk walk;
            walk.className = className;
            if (deviceClass->oid.isEmpty()) {
                walk.scalars = true;
            } else {
                for (const ParamClass* paramClass : deviceClass->paramClassList) {
                    if (!paramClass->oid.isEmpty() && !paramClass->isVirtual) {
                        walk.column = paramClass->oid.toLatin1();
                        break;
                    }
                }
                if (walk.column.isEmpty() || !snmp::isOid(walk.column))
                    continue;
                walk.next = walk.column;
            }
            m_walks.append(walk);
        }
        m_walkIndex = 0;
        skipScalarWalks();
    }

    // Scalar groups need no walk: they are one device whatever the agent.
    void skipScalarWalks()
    {
        while (m_walkIndex >= 0 && m_walkIndex < m_walks.size() && m_walks.at(m_walkIndex).scalars)
            ++m_walkIndex;
        if (m_walkIndex >= m_walks.size())
            finishDiscovery();
    }

    void sendWalk(ResultList& results)
    {
        const TableWalk& walk = m_walks.at(m_walkIndex);
        snmp::Varbind varbind;
        varbind.oid = walk.next;
        Request request;
        request.kind = Request::Walk;
        const bool bulk = m_version == snmp::V2c;
        if (!build(request, bulk ? snmp::GetBulkRequest : snmp::GetNextRequest, m_community,
                   {varbind}, 0, bulk ? m_maxRepetitions : 0))
            return;
        send(request, results);
    }

    void walkAnswered(const Request&, const snmp::Message& message)
    {
        if (m_walkIndex < 0 || m_walkIndex >= m_walks.size())
            return;
        TableWalk& walk = m_walks[m_walkIndex];
        const QByteArray prefix = walk.column + '.';
        bool done = message.errorStatus != 0 || message.varbinds.isEmpty();
        for (const snmp::Varbind& varbind : message.varbinds) {
            if (varbind.isException() || !varbind.oid.startsWith(prefix) ||
                varbind.oid == walk.next) {
                done = true;
                break;
            }
            walk.indexes.append(QString::fromLatin1(varbind.oid.mid(prefix.size())));
            walk.next = varbind.oid;
        }
        if (!done)
            return;
        ++m_walkIndex;
        skipScalarWalks();
    }

    void finishDiscovery()
    {
        DeviceDb* db = pdu->deviceDb;
        for (const TableWalk& walk : qAsConst(m_walks))
            reconcile(db, walk);
        m_walks.clear();
        m_walkIndex = -1;
    }

    // Creates a device for every row found and removes the devices of rows
    // that are gone, with the messages a host would send.
    void reconcile(DeviceDb* db, const TableWalk& walk)
    {
        const QStringList indexes = walk.scalars ? QStringList(QStringLiteral("0")) : walk.indexes;
        QHash<QString, Device*> existing;
        QSet<int> tags;
        for (Device* device : qAsConst(db->devices)) {
            if (device && device->protocol == Tavo::SnmpProtocol &&
                device->className == walk.className) {
                existing.insert(device->protocolText, device);
                tags.insert(device->baseTag * 256 + device->tag);
            }
        }
        const QSet<QString> wanted(indexes.cbegin(), indexes.cend());
        for (auto it = existing.cbegin(); it != existing.cend(); ++it) {
            if (wanted.contains(it.key()))
                continue;
            const int tag = it.value()->baseTag * 256 + it.value()->tag;
            db->systemDeviceMessageParsing(QStringLiteral("snmp:%1-%2")
                                               .arg(walk.className)
                                               .arg(tag, 4, 16, QLatin1Char('0'))
                                               .toLatin1());
        }
        int spare = 1;
        for (const QString& index : indexes) {
            if (existing.contains(index))
                continue;
            // A small single index names the device after the row; anything
            // else takes the next free number.
            bool ok = false;
            int tag = index.toInt(&ok);
            if (walk.scalars)
                tag = 0;
            else if (!ok || tag < 0 || tag > 0xffff || tags.contains(tag)) {
                while (tags.contains(spare) && spare <= 0xffff)
                    ++spare;
                if (spare > 0xffff)
                    break; // more rows than names
                tag = spare;
            }
            tags.insert(tag);
            db->systemDeviceMessageParsing(QStringLiteral("snmp:%1+%2,%3")
                                               .arg(walk.className)
                                               .arg(tag, 4, 16, QLatin1Char('0'))
                                               .arg(index)
                                               .toLatin1());
            QString name;
            if (DeviceDb::makeUpDeviceName(name, walk.className, tag & 0xff, tag >> 8)) {
                if (Device* device = db->findDevice(name))
                    device->populateDevice(); // its OIDs must be known before values come
            }
        }
    }

    // Settings.
    QByteArray m_community = "public";
    QByteArray m_writeCommunity = "public";
    int m_version = snmp::V2c;
    int m_timeoutTicks = 1000 / TickMs;
    int m_retries = 2;
    int m_maxVarbinds = 32;
    int m_maxRepetitions = 16;
    int m_rediscoverTicks = 300 * (1000 / TickMs);

    // State.
    int m_tick = 0;
    qint32 m_lastId = 0;
    QHash<qint32, Request> m_inFlight;
    QList<Request> m_sets; // and retries that could not go at once
    QList<QByteArray> m_reads;
    QSet<QByteArray> m_queued;
    QSet<QByteArray> m_absent;
    QList<TableWalk> m_walks;
    int m_walkIndex = -1;
    int m_ticksToRediscover = 0;
    int m_discoveryRetryTick = -1;
    bool m_silent = false;
};

#include "snmp_protocol.moc"
