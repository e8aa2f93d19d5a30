// SNMP messages through net-snmp's encoder and decoder. What the real tools
// of the field put on the wire is tst_snmp_agent's.

#include "snmp_codec.h"

#include <QtTest>

Q_DECLARE_METATYPE(snmp::Varbind)

namespace {

/// A message in one line: community, version, PDU, request id, error status
/// and index, then every field of every varbind.
QByteArray text(const snmp::Message& m)
{
    QByteArray out = m.community;
    for (int field : {m.version, m.pdu, m.requestId, m.errorStatus, m.errorIndex})
        out += ' ' + QByteArray::number(field);
    for (const snmp::Varbind& v : m.varbinds)
        out += " | " + v.oid + ' ' + QByteArray::number(v.type) + ' ' +
            QByteArray::number(v.integer) + ' ' + QByteArray::number(v.number) + ' ' +
            v.bytes.toHex();
    return out;
}

} // namespace

class TstSnmpCodec : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyValueTypeSurvivesARoundTrip_data();
    void everyValueTypeSurvivesARoundTrip();
    void damagedDatagramsAreRefused_data();
    void damagedDatagramsAreRefused();
};

void TstSnmpCodec::everyValueTypeSurvivesARoundTrip_data()
{
    QTest::addColumn<snmp::Varbind>("varbind");
    QTest::addColumn<int>("version");
    auto row = [](const char* name, int type, qint64 integer, quint64 number,
                  const QByteArray& bytes, int version = snmp::V2c) {
        QTest::newRow(name) << snmp::Varbind {"1.3.6.1.4.1.2021.10.1.3.1", type, integer, number,
                                              bytes}
                            << version;
    };
    row("integer, negative", snmp::Integer, -2147483647 - 1, 0, {});
    row("integer, v1", snmp::Integer, 42, 0, {}, snmp::V1);
    row("octet string with NUL", snmp::OctetString, 0, 0, QByteArray("a\0b\xff", 4));
    row("empty octet string", snmp::OctetString, 0, 0, QByteArray());
    row("null", snmp::Null, 0, 0, {});
    row("object identifier", snmp::ObjectId, 0, 0, "1.3.6.1.4.1.8072.3.2.10");
    row("ip address", snmp::IpAddress, 0, 0, QByteArray("\xc0\x00\x02\x01", 4));
    row("counter32 at its top", snmp::Counter32, 0, 0xffffffffu, {});
    row("counter64 above 32 bits", snmp::Counter64, 0, 0xfedcba9876543210ull, {});
    row("no such instance", snmp::NoSuchInstance, 0, 0, {});
}

void TstSnmpCodec::everyValueTypeSurvivesARoundTrip()
{
    QFETCH(snmp::Varbind, varbind);
    QFETCH(int, version);
    const snmp::Message message {version, "private", snmp::Response, 0x7fffffff, 0, 0, {varbind}};
    QByteArray datagram;
    QVERIFY(snmp::encode(message, datagram));
    snmp::Message back;
    QVERIFY(snmp::decode(datagram.constData(), datagram.size(), back));
    QCOMPARE(text(back), text(message));
}

void TstSnmpCodec::damagedDatagramsAreRefused_data()
{
    const snmp::Varbind descr {"1.3.6.1.2.1.1.1.0", snmp::OctetString, 0, 0, "agent"};
    const snmp::Message message {snmp::V2c, "public", snmp::Response, 0, 0, 0, {descr}};
    QByteArray good;
    QVERIFY(snmp::encode(message, good));

    QTest::addColumn<QByteArray>("datagram");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("one byte short") << good.left(good.size() - 1);
    QTest::newRow("version 3") << QByteArray(good).replace(4, 1, "\x03");
    // The header is sound; the PDU type after the community is not.
    QTest::newRow("unknown PDU") << QByteArray(good).replace(13, 1, "\xff");
}

void TstSnmpCodec::damagedDatagramsAreRefused()
{
    QFETCH(QByteArray, datagram);
    snmp::Message message;
    QVERIFY(!snmp::decode(datagram.constData(), datagram.size(), message));
}

QTEST_GUILESS_MAIN(TstSnmpCodec)
#include "tst_snmp_codec.moc"
