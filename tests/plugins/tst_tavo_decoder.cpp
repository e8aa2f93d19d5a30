// The receiving half of the tavo protocol against a real device database.

#include "tavo_decoder.h"

#include "devices/device_db.h"
#include "devices/paramlist.h"
#include "foundation/app_shared.h"
#include "kernel_fixture.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

QByteArray dev(const char* message)
{
    return "DEV " + QByteArray(message).toHex() + '\n';
}

// E1 with tag 1 on device code 1, its parameters bound to 0, 1, 2.
const QByteArray announce = dev("tavo:E1+0001,01") + "PRM 1 level 0\nPRM 1 gain 1\nPRM 1 label 2\n";

struct DecoderFixture : KernelFixture
{
    DecoderFixture()
    {
        writeClassFile(QStringLiteral("e1.xml"), R"(
<class name="E1" interface="e1"><param name="level"/><param name="gain" type="INT"/>
<param name="label" type="ASCIIZ"/></class>)");
        loadClasses();
        db = std::make_unique<DeviceDb>(nullptr, nullptr);
        log.clear();
    }
    Param* param(const char* name) const
    {
        Device* device = db->findDevice("E1_0001");
        return device ? device->parametersByName.value(QLatin1String(name)) : nullptr;
    }
    void feed(const QByteArray& bytes, bool datagram = false)
    {
        decoder.feed(db.get(), bytes.constData(), bytes.size(), datagram);
    }

    std::unique_ptr<DeviceDb> db;
    TavoDecoder decoder;
};

} // namespace

class TstTavoDecoder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void recordsReachTheDatabaseWhateverTheSplit_data();
    void recordsReachTheDatabaseWhateverTheSplit();
    void malformedLinesAreDroppedAndLogged_data();
    void malformedLinesAreDroppedAndLogged();
    void unfinishableLinesAreDroppedWhole();
    void hostRecordsStopBeingLoggedAfterTwenty_data();
    void hostRecordsStopBeingLoggedAfterTwenty();
};

void TstTavoDecoder::recordsReachTheDatabaseWhateverTheSplit_data()
{
    QTest::addColumn<int>("step");
    for (int step : {1, 2, 3, 7, 64, 4096})
        QTest::addRow("blocks_of_%d", step) << step;
}

void TstTavoDecoder::recordsReachTheDatabaseWhateverTheSplit()
{
    QFETCH(int, step);
    DecoderFixture fx;

    const QByteArray stream = announce + "VAL 1 0 4294967295\r\n\nVAL 1 1 " +
        QByteArray::number(Tavo::intToWord(-5)) + "\nSTR 1 2 " + QByteArray("Port A").toHex() +
        "\nSTAT 1 0 7 30 200 5 1 9\nPONG\n";
    for (int at = 0; at < stream.size(); at += step)
        fx.feed(stream.mid(at, step));
    QVERIFY(fx.param("level"));
    QCOMPARE(fx.param("level")->readValue, 7u); // the statistic came last
    QCOMPARE(fx.param("level")->statisticCount, 5);
    QCOMPARE(Tavo::wordToInt(fx.param("gain")->readValue), -5);
    QCOMPARE(fx.param("label")->readBytes.left(6), QByteArray("Port A"));
    QCOMPARE(fx.log.warnings(), QStringList());

    QSignalSpy removed(fx.db.get(), &DeviceDb::signalDeviceDelete);
    fx.feed(dev("tavo:E1-0001"));
    QCOMPARE(removed.count(), 1);
    QVERIFY(!fx.db->findDevice("E1_0001"));
    fx.feed("VAL 1 0 1\n"); // a value for the gone device is dropped quietly
    QCOMPARE(fx.decoder.malformedLines(), 0);
}

void TstTavoDecoder::malformedLinesAreDroppedAndLogged_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("unknown_record") << QByteArray("HELLO 1 -");
    QTest::newRow("missing_value") << QByteArray("VAL 1 0");
    QTest::newRow("signed_value") << QByteArray("VAL 1 0 -1");
    QTest::newRow("value_beyond_32_bits") << QByteArray("VAL 1 0 4294967296");
    QTest::newRow("code_beyond_16_bits") << QByteArray("VAL 65536 0 1");
    QTest::newRow("odd_hex") << QByteArray("STR 1 2 abc");
    QTest::newRow("not_hex") << QByteArray("STR 1 2 zz");
    QTest::newRow("too_many_words") << QByteArray("VAL 1 2 3 4 5 6 7 8 9 10 11");
    QTest::newRow("empty_device_message") << QByteArray("DEV");
}

void TstTavoDecoder::malformedLinesAreDroppedAndLogged()
{
    QFETCH(QByteArray, line);
    DecoderFixture fx;
    fx.feed(announce);
    fx.feed(line + "\nVAL 1 0 12\n");
    QCOMPARE(fx.decoder.malformedLines(), 1);
    QCOMPARE(fx.log.warnings(),
             QStringList(QStringLiteral("[tavo] Malformed line dropped (%1 bytes): '%2'")
                             .arg(line.size())
                             .arg(QString::fromLatin1(line))));
    QCOMPARE(fx.param("level")->readValue, 12u); // the next line still counts
}

void TstTavoDecoder::unfinishableLinesAreDroppedWhole()
{
    DecoderFixture fx;
    fx.feed(announce);
    // Too long: the rest up to its end goes with it, over any number of blocks.
    fx.feed("VAL 1 0 " + QByteArray(TavoDecoder::MaxLine, '7'));
    fx.feed(QByteArray(10000, '7') + "\nVAL 1 0 3\n");
    QCOMPARE(fx.decoder.malformedLines(), 1);
    QCOMPARE(fx.param("level")->readValue, 3u);
    // A datagram's unfinished line is not joined with the next datagram's.
    fx.feed("VAL 1 0 5\nVAL 1 0 ", true);
    fx.feed("9\n", true);
    QCOMPARE(fx.param("level")->readValue, 5u);
    QCOMPARE(fx.decoder.malformedLines(), 3);
}

void TstTavoDecoder::hostRecordsStopBeingLoggedAfterTwenty_data()
{
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<QString>("firstWarning");
    QTest::addColumn<QString>("lastWarning");
    QTest::newRow("malformed") << QByteArray("\x01garbage\xff\n")
                               << "[tavo] Malformed line dropped (9 bytes): '.garbage.'"
                               << "[tavo] More malformed lines follow; they are dropped unlogged";
    // A refusal's text must not forge log lines or steer the terminal.
    const QByteArray forged = "busy\n12:00:00.000 alarm   \x1b[31mCRIT power lost\x1b[0m\xc2\x9b"
                              "2J";
    QTest::newRow("refused")
        << "ERR 1 0 " + forged.toHex() + '\n'
        << "[tavo] The host refused parameter 0 of device 1: busy\\n12:00:00.000 "
           "alarm   \\x1b[31mCRIT power lost\\x1b[0m\\x9b2J"
        << "[tavo] More refusals from the host follow; they are not logged";
}

void TstTavoDecoder::hostRecordsStopBeingLoggedAfterTwenty()
{
    QFETCH(QByteArray, record);
    QFETCH(QString, firstWarning);
    QFETCH(QString, lastWarning);
    DecoderFixture fx;
    fx.feed(announce);
    for (int i = 0; i < 50; ++i)
        fx.feed(record);
    QCOMPARE(fx.decoder.malformedLines() + fx.decoder.refusals(), 50);
    QCOMPARE(fx.log.warnings().size(), 21);
    QCOMPARE(fx.log.warnings().first(), firstWarning);
    QCOMPARE(fx.log.warnings().last(), lastWarning);
}

QTEST_GUILESS_MAIN(TstTavoDecoder)
#include "tst_tavo_decoder.moc"
