// Arbitrary datagrams into the SNMP message decoder: nothing may crash, hang
// or read out of bounds, and whatever decodes must encode and decode again
// to the same message. Built as a libFuzzer target (make fuzz-snmp) and as
// a short smoke run in CTest.

#include "snmp_codec.h"

#include <QList>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

snmp::Varbind varbind(const char* oid, int type, qint64 integer = 0, quint64 number = 0,
                      const QByteArray& bytes = QByteArray())
{
    snmp::Varbind v;
    v.oid = oid;
    v.type = type;
    v.integer = integer;
    v.number = number;
    v.bytes = bytes;
    return v;
}

QByteArray encoded(int pdu, int version, const QVector<snmp::Varbind>& varbinds,
                   int errorStatus = 0, int errorIndex = 0)
{
    snmp::Message message;
    message.version = version;
    message.community = "public";
    message.pdu = pdu;
    message.requestId = 4711;
    message.errorStatus = errorStatus;
    message.errorIndex = errorIndex;
    message.varbinds = varbinds;
    QByteArray datagram;
    snmp::encode(message, datagram);
    return datagram;
}

bool sameVarbinds(const snmp::Message& a, const snmp::Message& b)
{
    if (a.varbinds.size() != b.varbinds.size())
        return false;
    for (int i = 0; i < a.varbinds.size(); ++i) {
        const snmp::Varbind& x = a.varbinds.at(i);
        const snmp::Varbind& y = b.varbinds.at(i);
        if (x.oid != y.oid || x.type != y.type || x.integer != y.integer || x.number != y.number ||
            x.bytes != y.bytes)
            return false;
    }
    return true;
}

} // namespace

QList<QByteArray> fuzzRecords()
{
    return {
        encoded(snmp::Response, snmp::V2c,
                {varbind("1.3.6.1.2.1.1.1.0", snmp::OctetString, 0, 0, "Linux agent"),
                 varbind("1.3.6.1.2.1.1.2.0", snmp::ObjectId, 0, 0, "1.3.6.1.4.1.8072.3.2.10"),
                 varbind("1.3.6.1.2.1.1.3.0", snmp::TimeTicks, 0, 123456)}),
        encoded(snmp::Response, snmp::V2c,
                {varbind("1.3.6.1.2.1.2.2.1.8.1", snmp::Integer, 1),
                 varbind("1.3.6.1.2.1.2.2.1.10.1", snmp::Counter32, 0, 4000000000u),
                 varbind("1.3.6.1.2.1.31.1.1.1.6.1", snmp::Counter64, 0, 0x123456789abcdefull),
                 varbind("1.3.6.1.2.1.4.20.1.1.127.0.0.1", snmp::IpAddress, 0, 0,
                         QByteArray("\x7f\x00\x00\x01", 4))}),
        encoded(snmp::Response, snmp::V2c,
                {varbind("1.3.6.1.2.1.1.7.0", snmp::NoSuchInstance),
                 varbind("1.3.6.1.9", snmp::NoSuchObject),
                 varbind("1.3.6.1.2.1.2.2.1.2.9", snmp::EndOfMibView)}),
        encoded(snmp::Response, snmp::V1, {varbind("1.3.6.1.2.1.1.1.0", snmp::Null)}, 2, 1),
        encoded(snmp::GetBulkRequest, snmp::V2c, {varbind("1.3.6.1.2.1.2.2.1.1", snmp::Null)}, 0,
                16),
    };
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    snmp::Message message;
    if (!snmp::decode(reinterpret_cast<const char*>(data), int(qMin<size_t>(size, 65536)), message))
        return 0;
    QByteArray again;
    if (!snmp::encode(message, again))
        return 0; // names or values the encoder refuses, such as one-part OIDs
    snmp::Message back;
    if (!snmp::decode(again.constData(), again.size(), back) || !sameVarbinds(message, back) ||
        back.requestId != message.requestId || back.pdu != message.pdu)
        abort();
    return 0;
}
