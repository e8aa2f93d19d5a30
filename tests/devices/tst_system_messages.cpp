#include "devices_fixture.h"
#include "foundation/app_shared.h"
#include "foundation/z4utils.h"

#include <QRandomGenerator>
#include <QtTest>

class TstSystemMessages : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void messagesCreateAndRemoveDevices_data();
    void messagesCreateAndRemoveDevices();
    void refusedMessagesLogWhy_data();
    void refusedMessagesLogWhy();
    void randomMessagesLeaveTheDatabaseConsistent();
};

void TstSystemMessages::messagesCreateAndRemoveDevices_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QString>("name"); // class, base tag and tag
    QTest::addColumn<int>("protocol");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("plain") << QByteArray("E1+01") << "E1_0001" << 0 << -1 << QString();
    QTest::newRow("tag-pair") << QByteArray("E1+0102") << "E1_0102" << 0 << -1 << QString();
    QTest::newRow("tavo-code") << QByteArray("tavo:E1+0102,1F") << "E1_0102" << 1 << 31
                               << QString();
    QTest::newRow("native-code") << QByteArray("native:E1+2,a") << "E1_0002" << 1 << 10
                                 << QString();
    QTest::newRow("comma-means-native")
        << QByteArray("E1+3,10") << "E1_0003" << 1 << 16 << QString();
    QTest::newRow("snmp-text") << QByteArray("snmp:IF+03,  7") << "IF_0003" << 3 << -1 << "7";
    QTest::newRow("long-tag") << QByteArray("E1+FF0102") << "E1_0102" << 0 << -1 << QString();
}

void TstSystemMessages::messagesCreateAndRemoveDevices()
{
    QFETCH(QByteArray, message);
    QFETCH(QString, name);
    QFETCH(int, protocol);
    QFETCH(int, code);
    QFETCH(QString, text);

    DevicesFixture fx;
    QSignalSpy appended(fx.db.get(), &DeviceDb::signalDeviceAppended);
    QCOMPARE(fx.db->systemDeviceMessageParsing(message), 1);
    Device* device = fx.db->findDevice(name);
    QVERIFY(device);
    QCOMPARE(device->className, name.section(QLatin1Char('_'), 0, 0));
    QCOMPARE(device->baseTag, name.right(4).left(2).toInt(nullptr, 16));
    QCOMPARE(device->tag, name.right(2).toInt(nullptr, 16));
    QCOMPARE(int(device->protocol), protocol);
    QCOMPARE(device->code, code);
    QCOMPARE(device->protocolText, text);
    QCOMPARE(appended.count(), 1);
    if (code >= 0)
        QCOMPARE(fx.db->getDeviceByCode(code), device);
    QCOMPARE(device->state() == DbEntity::Bound, code >= 0);
    QCOMPARE(fx.log.errors(), QStringList());
    QCOMPARE(fx.log.warnings(), QStringList());
    QCOMPARE(fx.log.debugs(), QStringList()); // traced only in debug mode

    // The same device again is refused by the database, which says why.
    QCOMPARE(fx.db->systemDeviceMessageParsing(message), 0);
    QCOMPARE(appended.count(), 1);
    QCOMPARE(
        fx.log.warnings(),
        QStringList {QStringLiteral("[DeviceDb::createEmptyDevice()] Device '%1' already exists.")
                         .arg(name)});
    QCOMPARE(fx.log.errors(), QStringList());

    QByteArray removal =
        message.left(message.indexOf(',') < 0 ? message.size() : message.indexOf(','));
    removal.replace('+', '-');
    QCOMPARE(fx.db->systemDeviceMessageParsing(removal), 2);
    QVERIFY(!fx.db->findDevice(name));
    fx.log.clear();
    QCOMPARE(fx.db->systemDeviceMessageParsing(removal), 0);
    QVERIFY(fx.log.entries().isEmpty());
}

void TstSystemMessages::refusedMessagesLogWhy_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QString>("error"); // empty: a debug trace only
    QTest::addColumn<QString>("debug");
    const QString unexpected =
        QStringLiteral("SystemDevice::...Parsing(): unexpected char '%1' in message '%2'.");
    QTest::newRow("redefining") << QByteArray("tavo:snmp:E1+01")
                                << "SystemDevice::...Parsing(): redefining protocol in message "
                                   "'t.a.v.o.:.s.n.m.p.:.E.1.+.0.1. (15)'."
                                << "";
    QTest::newRow("unknown-protocol") << QByteArray("foo:E1+01")
                                      << "SystemDevice::...Parsing(): Unknown protocol in message "
                                         "'f.o.o.:.E.1.+.0.1. (9)'. Use 'tavo', '"
                                      << "";
    QTest::newRow("json-unreachable")
        << QByteArray("daz-arud:E1+01")
        << unexpected.arg(QStringLiteral("r"), QStringLiteral("d.a.z.-.a.r.u.d.:.E.1.+.0.1. (14)"))
        << "";
    QTest::newRow("remove-with-code")
        << QByteArray("E1-01,5") << unexpected.arg(",", "E.1.-.0.1.,.5. (7)") << "";
    QTest::newRow("digit-first") << QByteArray("9E1+01") << unexpected.arg("9", "9.E.1.+.0.1. (6)")
                                 << "";
    QTest::newRow("blank-in-name")
        << QByteArray("E 1+01") << unexpected.arg("20", "E.20.1.+.0.1. (6)") << "";
    QTest::newRow("bad-code") << QByteArray("E1+01,1G")
                              << unexpected.arg("G", "E.1.+.0.1.,.1.G. (8)") << "";
    QTest::newRow("no-tag")
        << QByteArray("E1+") << ""
        << "SystemDevice::...Parsing(): unexpected end of message 'E.1.+. (3)'.";
    QTest::newRow("no-code")
        << QByteArray("E1+01,") << ""
        << "SystemDevice::...Parsing(): unexpected end of message 'E.1.+.0.1.,. (6)'.";
    QTest::newRow("closed-text") << QByteArray("snmp:IF+03,7 x") << ""
                                 << "SystemDevice::...Parsing(): unexpected end of message "
                                    "'s.n.m.p.:.I.F.+.0.3.,.7.20.x. (14)'.";
    QTest::newRow("blank-after-text") << QByteArray("snmp:IF+03,7 ") << ""
                                      << "SystemDevice::...Parsing(): unexpected end of message "
                                         "'s.n.m.p.:.I.F.+.0.3.,.7.20. (13)'.";
    QTest::newRow("empty") << QByteArray() << ""
                           << "SystemDevice::...Parsing(): message is empty.";
    QTest::newRow("unknown-class")
        << QByteArray("NOPE+01")
        << "SystemDevice::...Parsing(): can't create device 'NOPE_0001' of class 'NOPE' from "
           "message 'N.O.P.E.+.0.1. (7)'."
        << "SystemDevice::...Parsing(): create device sClassName = NOPE tag =1 baseTag = 0 "
           "devCode = -1";
    QTest::newRow("remove-missing") << QByteArray("E1-0102") << ""
                                    << "";
}

void TstSystemMessages::refusedMessagesLogWhy()
{
    QFETCH(QByteArray, message);
    QFETCH(QString, error);
    QFETCH(QString, debug);
    DevicesFixture fx;
    fx.log.setDebugMode(true);
    fx.log.setGroupDebug(fx.db->systemLogGroup, true);
    const int before = fx.db->devices.size();
    QSignalSpy appended(fx.db.get(), &DeviceDb::signalDeviceAppended);

    QCOMPARE(fx.db->systemDeviceMessageParsing(message), 0);
    QCOMPARE(fx.log.errors(), error.isEmpty() ? QStringList() : QStringList {error});
    QCOMPARE(fx.log.debugs(), debug.isEmpty() ? QStringList() : QStringList {debug});
    QCOMPARE(fx.log.warnings(), QStringList());
    QCOMPARE(fx.db->devices.size(), before);
    QCOMPARE(appended.count(), 0);
}

void TstSystemMessages::randomMessagesLeaveTheDatabaseConsistent()
{
    DevicesFixture fx;
    QRandomGenerator random(20261206);
    const QList<QByteArray> seeds {"E1+01", "tavo:E1+0102,1F", "snmp:IF+03, 7", "E1-01",
                                   "IF-03", "native:E1+5,2",   "E1+0205,30"};
    const QByteArray alphabet = "E1IF+-:,0123456789abcdefABCDEF tavosnmp_\xff\x00";
    int answers[3] = {0, 0, 0};
    for (int round = 0; round < 4000; ++round) {
        QByteArray message;
        if (round % 2) {
            message = seeds.at(int(random.bounded(seeds.size())));
            const int edits = int(random.bounded(3));
            for (int e = 0; e < edits && !message.isEmpty(); ++e) {
                const int at = int(random.bounded(message.size()));
                message[at] = alphabet.at(int(random.bounded(alphabet.size())));
            }
        } else {
            message.resize(int(random.bounded(24)));
            for (char& c : message)
                c = char(random.bounded(256));
        }
        const int result = round % 3 ? fx.db->systemDeviceMessageParsing(message) : 0;
        if (round % 3 == 0) {
            QByteArray hex;
            utils::byteArrayHexEncoding(message, hex, 0);
            fx.db->setParamStringValue(0, 0, hex);
        }
        QVERIFY(result >= 0 && result <= 2);
        ++answers[result];
        if (round % 500 == 0)
            QCoreApplication::processEvents(); // let deferred deletions happen
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    // The mutations must keep enough messages valid to exercise both actions.
    QVERIFY(answers[1] > 0);
    QVERIFY(answers[2] > 0);

    fx.verifyConsistent();
}

QTEST_GUILESS_MAIN(TstSystemMessages)
#include "tst_system_messages.moc"
