// SNMP messages through net-snmp's encoder and decoder, and against what the
// real tools of the field put on the wire.

#include "snmp_codec.h"

#include <QNetworkDatagram>
#include <QProcess>
#include <QUdpSocket>
#include <QtTest>

Q_DECLARE_METATYPE(snmp::Varbind)

namespace {

/// A message in one line: community, version, PDU, request id (0 when
/// @p withId is false), error status and index, then every field of every
/// varbind.
QByteArray text(const snmp::Message& m, bool withId = true)
{
    QByteArray out = m.community;
    for (int field : {m.version, m.pdu, withId ? m.requestId : 0, m.errorStatus, m.errorIndex})
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
    void requestOfSnmpgetIsDecoded();
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
    row("gauge32", snmp::Gauge32, 0, 1000000000u, {});
    row("timeticks", snmp::TimeTicks, 0, 8640000u, {});
    row("counter64 above 32 bits", snmp::Counter64, 0, 0xfedcba9876543210ull, {});
    row("no such instance", snmp::NoSuchInstance, 0, 0, {});
    row("end of the MIB view", snmp::EndOfMibView, 0, 0, {});
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
    QTest::newRow("cut in the middle") << good.left(good.size() / 2);
    QTest::newRow("one byte short") << good.left(good.size() - 1);
    QTest::newRow("length larger than the datagram")
        << QByteArray("\x30\x82\xff\xff\x02\x01\x01", 7);
    QTest::newRow("version 3") << QByteArray(good).replace(4, 1, "\x03");
    QTest::newRow("not BER") << QByteArray("GET sysDescr\n");
}

void TstSnmpCodec::damagedDatagramsAreRefused()
{
    QFETCH(QByteArray, datagram);
    snmp::Message message;
    QVERIFY(!snmp::decode(datagram.constData(), datagram.size(), message));
}

// What snmpget sends is what an agent expects: the codec must read it as the
// request it is.
void TstSnmpCodec::requestOfSnmpgetIsDecoded()
{
    QUdpSocket fakeAgent;
    QVERIFY(fakeAgent.bind(QHostAddress(QHostAddress::LocalHost), 0));
    QProcess snmpget;
    snmpget.start("snmpget",
                  {"-v2c", "-c", "sesame", "-r0", "-t1",
                   QStringLiteral("127.0.0.1:%1").arg(fakeAgent.localPort()), "1.3.6.1.2.1.1.5.0",
                   "1.3.6.1.2.1.2.2.1.8.3"});
    QVERIFY(snmpget.waitForStarted(5000));
    QTRY_VERIFY_WITH_TIMEOUT(fakeAgent.hasPendingDatagrams(), 5000);
    const QByteArray datagram = fakeAgent.receiveDatagram().data();
    snmpget.waitForFinished(5000);

    snmp::Message request;
    QVERIFY(snmp::decode(datagram.constData(), datagram.size(), request));
    QCOMPARE(text(request, false),
             "sesame 1 160 0 0 0 | 1.3.6.1.2.1.1.5.0 5 0 0  | 1.3.6.1.2.1.2.2.1.8.3 5 0 0 ");
}

QTEST_GUILESS_MAIN(TstSnmpCodec)
#include "tst_snmp_codec.moc"
