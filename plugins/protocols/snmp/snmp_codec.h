#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

/**
 * SNMP v1 and v2c messages to and from datagrams, with net-snmp's BER code
 * doing the encoding; nothing here touches a socket. Object identifiers are
 * dotted decimal text, the form the device database keys parameters by.
 */
namespace snmp {

/// BER tags of the values and PDUs this plug-in uses.
enum Tag : int {
    Integer = 0x02,
    OctetString = 0x04,
    Null = 0x05,
    ObjectId = 0x06,
    IpAddress = 0x40,
    Counter32 = 0x41,
    Gauge32 = 0x42,
    TimeTicks = 0x43,
    Opaque = 0x44,
    Counter64 = 0x46,
    Unsigned32 = 0x47, // as the class files name it; the wire says Gauge32
    NoSuchObject = 0x80,
    NoSuchInstance = 0x81,
    EndOfMibView = 0x82,
};

enum PduType : int {
    GetRequest = 0xa0,
    GetNextRequest = 0xa1,
    Response = 0xa2,
    SetRequest = 0xa3,
    GetBulkRequest = 0xa5,
};

enum Version : int { V1 = 0, V2c = 1 };

/// One variable binding: a name and, in a set request or a response, a value.
struct Varbind
{
    QByteArray oid;
    int type = Null;
    qint64 integer = 0; // Integer
    quint64 number = 0; // Counter32, Gauge32, TimeTicks, Counter64
    QByteArray bytes; // OctetString, Opaque, IpAddress; ObjectId as dotted text

    bool isException() const { return type >= NoSuchObject && type <= EndOfMibView; }
};

struct Message
{
    int version = V2c;
    QByteArray community;
    int pdu = GetRequest;
    qint32 requestId = 0;
    // GetBulkRequest puts non-repeaters and max-repetitions where the
    // other PDUs carry the error status and index.
    int errorStatus = 0;
    int errorIndex = 0;
    QVector<Varbind> varbinds;
};

/// Appends the encoded @p message to @p datagram; false (with nothing
/// appended) for a name that is no object identifier or a value net-snmp
/// refuses.
bool encode(const Message& message, QByteArray& datagram);
/// Decodes one datagram; false for anything that is not a whole v1 or v2c
/// message.
bool decode(const char* data, int size, Message& message);

/// Whether @p text is dotted decimal with at least two components.
bool isOid(const QByteArray& text);
/// The agent's error status in words ("notWritable", "noSuchName", ...).
QString errorStatusName(int status);

} // namespace snmp
