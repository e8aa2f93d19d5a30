#include "snmp_codec.h"

// net-snmp's headers need its configuration first.
#include <net-snmp/net-snmp-config.h>

#include <net-snmp/net-snmp-includes.h>

// snmp_comstr_parse(), the v1/v2c message header on its own.
#include <net-snmp/library/snmp_impl.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

struct PduDeleter
{
    void operator()(netsnmp_pdu* pdu) const { snmp_free_pdu(pdu); }
};
using PduPtr = std::unique_ptr<netsnmp_pdu, PduDeleter>;

bool toOid(const QByteArray& text, oid* out, size_t* length)
{
    size_t count = 0;
    quint64 component = 0;
    bool digits = false;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            component = component * 10 + quint64(c - '0');
            if (component > 0xffffffffu)
                return false;
            digits = true;
        } else if (c == '.' && digits) {
            if (count == MAX_OID_LEN)
                return false;
            out[count++] = oid(component);
            component = 0;
            digits = false;
        } else {
            return false;
        }
    }
    if (!digits || count == MAX_OID_LEN)
        return false;
    out[count++] = oid(component);
    *length = count;
    return count >= 2;
}

QByteArray fromOid(const oid* name, size_t length)
{
    QByteArray text;
    text.reserve(int(length) * 4);
    for (size_t i = 0; i < length; ++i) {
        if (i)
            text += '.';
        text += QByteArray::number(quint64(name[i]));
    }
    return text;
}

// Without a log handler of its own the library writes a line to stderr for
// every malformed PDU: a peer sending garbage would fill the operator's
// terminal. A damaged datagram is dropped here and its request retried, so
// those lines tell nothing. Done once as the codec is loaded, not on every
// datagram.
[[maybe_unused]] const bool libraryQuiet =
    netsnmp_register_loghandler(NETSNMP_LOGHANDLER_NONE, LOG_EMERG);

// The library keeps its defaults in globals that snmp_sess_init() sets up
// once; no configuration file and no MIB is read.
netsnmp_session& session()
{
    static netsnmp_session prototype = [] {
        netsnmp_session s;
        snmp_sess_init(&s);
        return s;
    }();
    return prototype;
}

bool addVarbind(netsnmp_pdu* pdu, const snmp::Varbind& varbind)
{
    oid name[MAX_OID_LEN];
    size_t length = 0;
    if (!toOid(varbind.oid, name, &length))
        return false;
    switch (varbind.type) {
    case snmp::Null:
        return snmp_add_null_var(pdu, name, length) != nullptr;
    case snmp::Integer: {
        const long value = long(varbind.integer);
        return snmp_pdu_add_variable(pdu, name, length, ASN_INTEGER, &value, sizeof value);
    }
    case snmp::Counter32:
    case snmp::Gauge32:
    case snmp::Unsigned32:
    case snmp::TimeTicks: {
        const u_long value = u_long(varbind.number & 0xffffffffu);
        const u_char type =
            varbind.type == snmp::Unsigned32 ? u_char(ASN_UNSIGNED) : u_char(varbind.type);
        return snmp_pdu_add_variable(pdu, name, length, type, &value, sizeof value);
    }
    case snmp::Counter64: {
        counter64 value;
        value.high = u_long(varbind.number >> 32);
        value.low = u_long(varbind.number & 0xffffffffu);
        return snmp_pdu_add_variable(pdu, name, length, ASN_COUNTER64, &value, sizeof value);
    }
    case snmp::OctetString:
    case snmp::Opaque:
    case snmp::IpAddress:
        if (varbind.type == snmp::IpAddress && varbind.bytes.size() != 4)
            return false;
        return snmp_pdu_add_variable(pdu, name, length, u_char(varbind.type),
                                     varbind.bytes.constData(), size_t(varbind.bytes.size()));
    case snmp::ObjectId: {
        oid value[MAX_OID_LEN];
        size_t valueLength = 0;
        if (!toOid(varbind.bytes, value, &valueLength))
            return false;
        return snmp_pdu_add_variable(pdu, name, length, ASN_OBJECT_ID, value,
                                     valueLength * sizeof(oid));
    }
    case snmp::NoSuchObject:
    case snmp::NoSuchInstance:
    case snmp::EndOfMibView:
        return snmp_pdu_add_variable(pdu, name, length, u_char(varbind.type), nullptr, 0);
    default:
        return false;
    }
}

snmp::Varbind toVarbind(const netsnmp_variable_list* variable)
{
    snmp::Varbind varbind;
    varbind.oid = fromOid(variable->name, variable->name_length);
    varbind.type = variable->type;
    switch (variable->type) {
    case ASN_INTEGER:
        if (variable->val.integer)
            varbind.integer = *variable->val.integer;
        break;
    case ASN_COUNTER:
    case ASN_GAUGE:
    case ASN_TIMETICKS:
        if (variable->val.integer)
            varbind.number =
                quint64(*reinterpret_cast<const u_long*>(variable->val.integer)) & 0xffffffffu;
        break;
    case ASN_COUNTER64:
        if (variable->val.counter64)
            varbind.number = (quint64(variable->val.counter64->high & 0xffffffffu) << 32) |
                (variable->val.counter64->low & 0xffffffffu);
        break;
    case ASN_OCTET_STR:
    case ASN_OPAQUE:
    case ASN_IPADDRESS:
        if (variable->val.string)
            varbind.bytes = QByteArray(reinterpret_cast<const char*>(variable->val.string),
                                       int(variable->val_len));
        break;
    case ASN_OBJECT_ID:
        if (variable->val.objid)
            varbind.bytes = fromOid(variable->val.objid, variable->val_len / sizeof(oid));
        break;
    default:
        break; // NULL and the exceptions carry no value
    }
    return varbind;
}

} // namespace

namespace snmp {

bool isOid(const QByteArray& text)
{
    oid name[MAX_OID_LEN];
    size_t length = 0;
    return toOid(text, name, &length);
}

bool encode(const Message& message, QByteArray& datagram)
{
    PduPtr pdu(snmp_pdu_create(message.pdu));
    if (!pdu)
        return false;
    pdu->version = message.version == V1 ? SNMP_VERSION_1 : SNMP_VERSION_2c;
    pdu->reqid = message.requestId;
    if (message.pdu == GetBulkRequest) {
        pdu->non_repeaters = message.errorStatus;
        pdu->max_repetitions = message.errorIndex;
    } else {
        pdu->errstat = message.errorStatus;
        pdu->errindex = message.errorIndex;
    }
    for (const Varbind& varbind : message.varbinds) {
        if (!addVarbind(pdu.get(), varbind))
            return false;
    }
    // The PDU's own community: the session's is used for requests only.
    if (!message.community.isEmpty()) {
        pdu->community = static_cast<u_char*>(malloc(size_t(message.community.size())));
        if (!pdu->community)
            return false;
        memcpy(pdu->community, message.community.constData(), size_t(message.community.size()));
        pdu->community_len = size_t(message.community.size());
    }
    netsnmp_session s = session();
    QByteArray community = message.community;
    s.version = pdu->version;
    s.community = reinterpret_cast<u_char*>(community.data());
    s.community_len = size_t(community.size());

    // The encoder writes backwards from the end of a buffer it may grow.
    size_t capacity = 512;
    size_t used = 0;
    auto* buffer = static_cast<u_char*>(malloc(capacity));
    if (!buffer)
        return false;
    const int rc = snmp_build(&buffer, &capacity, &used, &s, pdu.get());
    if (rc == 0 && used > 0 && used <= capacity)
        datagram.append(reinterpret_cast<const char*>(buffer + capacity - used), int(used));
    free(buffer);
    return rc == 0 && used > 0;
}

bool decode(const char* data, int size, Message& message)
{
    if (!data || size <= 0)
        return false;
    u_char community[256];
    size_t communityLength = sizeof community;
    long version = -1;
    size_t length = size_t(size);
    // The parsers take a non-const pointer but only read.
    auto* bytes = reinterpret_cast<u_char*>(const_cast<char*>(data));
    u_char* pduStart = snmp_comstr_parse(bytes, &length, community, &communityLength, &version);
    if (!pduStart || (version != SNMP_VERSION_1 && version != SNMP_VERSION_2c))
        return false;
    PduPtr pdu(static_cast<netsnmp_pdu*>(calloc(1, sizeof(netsnmp_pdu))));
    if (!pdu)
        return false;
    pdu->version = version;
    if (snmp_pdu_parse(pdu.get(), pduStart, &length) != 0)
        return false;
    message.version = version == SNMP_VERSION_1 ? V1 : V2c;
    message.community = QByteArray(reinterpret_cast<const char*>(community), int(communityLength));
    message.pdu = pdu->command;
    message.requestId = qint32(pdu->reqid);
    message.errorStatus = int(pdu->errstat);
    message.errorIndex = int(pdu->errindex);
    message.varbinds.clear();
    for (const netsnmp_variable_list* v = pdu->variables; v; v = v->next_variable)
        message.varbinds.append(toVarbind(v));
    return true;
}

QString errorStatusName(int status)
{
    static const char* const names[] = {"noError",
                                        "tooBig",
                                        "noSuchName",
                                        "badValue",
                                        "readOnly",
                                        "genErr",
                                        "noAccess",
                                        "wrongType",
                                        "wrongLength",
                                        "wrongEncoding",
                                        "wrongValue",
                                        "noCreation",
                                        "inconsistentValue",
                                        "resourceUnavailable",
                                        "commitFailed",
                                        "undoFailed",
                                        "authorizationError",
                                        "notWritable",
                                        "inconsistentName"};
    if (status >= 0 && status < int(sizeof names / sizeof names[0]))
        return QString::fromLatin1(names[status]);
    return QStringLiteral("error %1").arg(status);
}

} // namespace snmp
