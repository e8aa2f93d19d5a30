// Arbitrary datagrams into the SNMP message decoder: nothing may crash, hang
// or read out of bounds, and whatever decodes must encode and decode again
// to the same message. Built as a libFuzzer target (make fuzz-snmp) and as
// a short smoke run in CTest.

#include "snmp_codec.h"

#include <QList>
#include <QVector>

#include <net-snmp/net-snmp-config.h>

#include <net-snmp/net-snmp-includes.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

QByteArray encoded(int pdu, int version, const QVector<snmp::Varbind>& varbinds,
                   int errorStatus = 0, int errorIndex = 0)
{
    QByteArray datagram;
    snmp::encode({version, "public", pdu, 4711, errorStatus, errorIndex, varbinds}, datagram);
    return datagram;
}

} // namespace

QList<QByteArray> fuzzRecords()
{
    using V = snmp::Varbind;
    return {
        encoded(snmp::Response, snmp::V2c,
                {V {"1.3.6.1.2.1.1.1.0", snmp::OctetString, 0, 0, "Linux agent"},
                 V {"1.3.6.1.2.1.1.2.0", snmp::ObjectId, 0, 0, "1.3.6.1.4.1.8072.3.2.10"},
                 V {"1.3.6.1.2.1.1.3.0", snmp::TimeTicks, 0, 123456, {}}}),
        encoded(snmp::Response, snmp::V2c,
                {V {"1.3.6.1.2.1.2.2.1.8.1", snmp::Integer, 1, 0, {}},
                 V {"1.3.6.1.2.1.2.2.1.10.1", snmp::Counter32, 0, 4000000000u, {}},
                 V {"1.3.6.1.2.1.31.1.1.1.6.1", snmp::Counter64, 0, 0x123456789abcdefull, {}},
                 V {"1.3.6.1.2.1.4.20.1.1.127.0.0.1", snmp::IpAddress, 0, 0,
                    QByteArray("\x7f\x00\x00\x01", 4)}}),
        encoded(snmp::Response, snmp::V2c,
                {V {"1.3.6.1.2.1.1.7.0", snmp::NoSuchInstance, 0, 0, {}},
                 V {"1.3.6.1.9", snmp::NoSuchObject, 0, 0, {}},
                 V {"1.3.6.1.2.1.2.2.1.2.9", snmp::EndOfMibView, 0, 0, {}}}),
        encoded(snmp::Response, snmp::V1, {V {"1.3.6.1.2.1.1.1.0", snmp::Null, 0, 0, {}}}, 2, 1),
        encoded(snmp::GetBulkRequest, snmp::V2c, {V {"1.3.6.1.2.1.2.2.1.1", snmp::Null, 0, 0, {}}},
                0, 16),
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
    // What the decoder read must survive another round unchanged: a field it
    // lost or misread would encode differently.
    snmp::Message back;
    QByteArray third;
    if (!snmp::decode(again.constData(), again.size(), back) || !snmp::encode(back, third) ||
        third != again)
        abort();
    return 0;
}
