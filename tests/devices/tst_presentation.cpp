#include "devices/device_db.h"
#include "devices/paramlist.h"
#include "foundation/app_shared.h"
#include "kernel_fixture.h"

#include <QFile>
#include <QtTest>

namespace {

PresentationInfo scaledInfo(float scale, float offset)
{
    PresentationInfo info;
    info.scaled = true;
    info.scale = scale;
    info.offset = offset;
    return info;
}

} // namespace

class TstPresentation : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void radixTextGroupsBinaryDigits_data();
    void radixTextGroupsBinaryDigits();
    void readValueFollowsTypeAliasAndScaling_data();
    void readValueFollowsTypeAliasAndScaling();
    void byteValuesStopAtTheTerminator();
    void fileValueNamesSizeAndTimeOrItsAbsence();
    void statisticShowsLastMeanDeviationAndRange();
    void writeValueShowsFixedValuesUnscaled();
    void writeBytesShowHexPairsAndCompanion();
    void formTextParsesOrLogs_data();
    void formTextParsesOrLogs();
};

void TstPresentation::radixTextGroupsBinaryDigits_data()
{
    QTest::addColumn<uint>("value");
    QTest::addColumn<int>("radix");
    QTest::addColumn<QString>("text");
    QTest::newRow("bin-0") << 0u << 2 << "0b 0";
    QTest::newRow("bin-15") << 15u << 2 << "0b 1111";
    QTest::newRow("bin-31") << 31u << 2 << "0b 1.1111";
    QTest::newRow("bin-90") << 90u << 2 << "0b 101.1010";
    QTest::newRow("bin-all") << 0xFFFFFFFFu << 2 << "0b 1111.1111.1111.1111.1111.1111.1111.1111";
    QTest::newRow("oct-255") << 255u << 8 << "0377";
    QTest::newRow("dec-90") << 90u << 10 << "90";
    QTest::newRow("dec-max") << 0xFFFFFFFFu << 10 << "4294967295";
    QTest::newRow("hex-255") << 255u << 16 << "0xff";
    QTest::newRow("radix-3") << 255u << 3 << "radix invalid";
}

void TstPresentation::radixTextGroupsBinaryDigits()
{
    QFETCH(uint, value);
    QFETCH(int, radix);
    QFETCH(QString, text);
    ParamCore core;
    QString out;
    core.getUintPresentationByRadix(value, radix, out);
    QCOMPARE(out, text);
}

void TstPresentation::readValueFollowsTypeAliasAndScaling_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<quint32>("word");
    QTest::addColumn<int>("radix");
    QTest::addColumn<bool>("scaled");
    QTest::addColumn<QString>("text");

    const int U = Tavo::UINT, I = Tavo::INT, F = Tavo::FLOAT;
    QTest::newRow("uint-hex") << U << 255u << 16 << false << "0xff";
    QTest::newRow("uint-scaled") << U << 3u << 16 << true << "2.500000";
    QTest::newRow("uint-alias-beats-radix") << U << 7u << 2 << false << "seven";
    QTest::newRow("uint-alias-beats-scale") << U << 7u << 10 << true << "seven";
    QTest::newRow("int-negative") << I << 0xFFFFFFFFu << 10 << false << "-1";
    QTest::newRow("int-scaled") << I << 0xFFFFFFFFu << 10 << true << "0.500000";
    QTest::newRow("float") << F << 0x3FC00000u << 10 << false << "1.500000";
    QTest::newRow("float-scaled") << F << 0x3FC00000u << 10 << true << "1.750000";
    QTest::newRow("unknown-type") << 9 << 1u << 10 << false << "[grvns] presentation error";
}

void TstPresentation::readValueFollowsTypeAliasAndScaling()
{
    QFETCH(int, type);
    QFETCH(quint32, word);
    QFETCH(int, radix);
    QFETCH(bool, scaled);
    QFETCH(QString, text);

    ParamCore core;
    core.type = Tavo::ParamType(type);
    core.readValue = word;
    core.aliases.insert(7u, QStringLiteral("seven"));
    core.aliases.insert(0xFFFFFFFFu, QString()); // an empty alias is none
    PresentationInfo info = scaledInfo(0.5f, 1.0f);
    info.scaled = scaled;
    info.radix = radix;

    QString out;
    core.getReadValueNotStatisticalPresentationString(&info, out);
    QCOMPARE(out, text);
    // Without statistics the combined operation shows the same text.
    QString combined;
    QStringList parts {QStringLiteral("kept")};
    core.getReadValuePresentation(&info, &combined, &parts);
    QCOMPARE(combined, text);
    QCOMPARE(parts, QStringList {QStringLiteral("kept")});
}

void TstPresentation::byteValuesStopAtTheTerminator()
{
    ParamCore core;
    core.type = Tavo::ASCIIZ;
    core.readBytes = QByteArray("abc\0junk", 8);
    QString out;
    core.getReadValueNotStatisticalPresentationString(nullptr, out);
    QCOMPARE(out, QStringLiteral("abc"));

    core.type = Tavo::BYTE_ARRAY;
    core.readBytes = QByteArray("\x0a\xff\x00", 3);
    core.getReadValueNotStatisticalPresentationString(nullptr, out);
    QCOMPARE(out, QStringLiteral("0A.FF.00"));
}

void TstPresentation::fileValueNamesSizeAndTimeOrItsAbsence()
{
    KernelFixture fx;
    share::filesPath = fx.dir.makeDir(QStringLiteral("files"));
    const QString path =
        fx.dir.writeFile(QStringLiteral("files/config.bin"), QByteArray(2048, 'x'));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(QDateTime(QDate(2010, 3, 5), QTime(9, 7, 3)),
                             QFileDevice::FileModificationTime));
    file.close();

    ParamCore core;
    core.type = Tavo::FILE;
    core.readBytes = "config.bin";
    QString out;
    core.getReadValueNotStatisticalPresentationString(nullptr, out);
    QCOMPARE(out, QStringLiteral("config.bin: 2048B 5.3.2010 9:7:3"));

    core.readBytes = "missing.bin";
    core.presentAsFile(out);
    QCOMPARE(out, QStringLiteral("missing.bin: file not found"));
}

void TstPresentation::statisticShowsLastMeanDeviationAndRange()
{
    ParamCore core;
    core.readValue = 4;
    core.statisticCount = 4;
    core.statisticSum = 10;
    core.statisticSumOfSquares = 30;
    core.statisticMinimum = 1;
    core.statisticMaximum = 4;
    core.aliases.insert(4u, QStringLiteral("top"));

    QString text;
    QStringList parts;
    core.getReadValuePresentation(nullptr, &text, &parts);
    // The last sample is a number; only the range shows aliases.
    QCOMPARE(text, QStringLiteral("4; 2.5 (1.12); 1 - top"));
    QCOMPARE(parts, QStringList({"4", "2.5", "1.12", "1", "top"}));

    PresentationInfo info = scaledInfo(2.0f, 10.0f);
    parts.clear();
    core.getReadValuePresentation(&info, nullptr, &parts);
    QCOMPARE(parts, QStringList({"18.0", "15.0", "2.24", "12.0", "18.0"}));

    // A constant signal has no deviation, not the square root of a rounding error.
    core.statisticCount = 3;
    core.statisticSum = 3 * 100000;
    core.statisticSumOfSquares = 3u * 100000u * 100000u;
    core.getReadValuePresentation(nullptr, &text, nullptr);
    QVERIFY2(!text.contains(QLatin1String("nan")), qPrintable(text));
}

void TstPresentation::writeValueShowsFixedValuesUnscaled()
{
    ParamCore core;
    PresentationInfo info = scaledInfo(0.5f, 1.0f);
    QString out;

    core.type = Tavo::FLOAT;
    core.getWritePresentationString(out, 0x3FC00000u, nullptr);
    QCOMPARE(out, QStringLiteral("1.5"));
    core.getWritePresentationString(out, 0x3FC00000u, &info);
    QCOMPARE(out, QStringLiteral("1.75"));

    core.type = Tavo::INT;
    core.getWritePresentationString(out, 0xFFFFFFFEu, nullptr);
    QCOMPARE(out, QStringLiteral("-2"));
    core.getWritePresentationString(out, 0xFFFFFFFEu, &info);
    QCOMPARE(out, QStringLiteral("0"));

    core.type = Tavo::UINT;
    info.radix = 16;
    core.fixedValues = {1, 26};
    core.aliases.insert(1u, QStringLiteral("On"));
    core.getWritePresentationString(out, 1, &info);
    QCOMPARE(out, QStringLiteral("On"));
    core.getWritePresentationString(out, 26, &info);
    QCOMPARE(out, QStringLiteral("0x1a")); // unscaled, in the form's radix

    core.type = Tavo::ASCIIZ;
    core.getWritePresentationString(out, 2, nullptr);
    QCOMPARE(out, QStringLiteral("[gwps_2] presentation error"));
    core.fixedValues.clear();
    core.getWritePresentationString(out, 2, &info);
    QCOMPARE(out, QStringLiteral("[gwps_1] presentation error"));
}

void TstPresentation::writeBytesShowHexPairsAndCompanion()
{
    ParamCore core;
    QString out;
    core.type = Tavo::BYTE_ARRAY;
    core.getWritePresentationString(out, QByteArray("\x0a\xff", 2), QStringLiteral("note"));
    QCOMPARE(out, QStringLiteral("0A.FF@note"));
    core.getWritePresentationString(out, QByteArray("\x0a\xff", 2), QString());
    QCOMPARE(out, QStringLiteral("0A.FF"));
    core.type = Tavo::FILE;
    core.getWritePresentationString(out, QByteArray("name\0x", 6), QStringLiteral("ignored"));
    QCOMPARE(out, QStringLiteral("name"));
    core.type = Tavo::UINT;
    core.getWritePresentationString(out, QByteArray("1"), QString());
    QCOMPARE(out, QStringLiteral("[gwps_1] presentation error"));
}

void TstPresentation::formTextParsesOrLogs_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<quint32>("word"); // the output word starts at 77
    QTest::addColumn<QString>("error");

    const int U = Tavo::UINT, I = Tavo::INT, F = Tavo::FLOAT;
    QTest::newRow("uint") << U << "4294967295" << true << 0xFFFFFFFFu << QString();
    QTest::newRow("uint-hex") << U << "0x10" << false << 0u
                              << "String '0x10' is not unsigned long value: ";
    QTest::newRow("uint-sign") << U << "+5" << false << 0u
                               << "String '+5' is not unsigned long value: ";
    QTest::newRow("uint-word") << U << "abc" << false << 0u
                               << "String 'abc' is not unsigned long value: ";
    QTest::newRow("int") << I << "-5" << true << 0xFFFFFFFBu << QString();
    QTest::newRow("int-bad") << I << "5x" << false << 77u << "String '5x' is not integer value: ";
    QTest::newRow("float") << F << "2.5" << true << 0x40200000u << QString();
    QTest::newRow("float-bad") << F << "two" << false << 77u << "String 'two' is not float value: ";
}

void TstPresentation::formTextParsesOrLogs()
{
    QFETCH(int, type);
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(quint32, word);
    QFETCH(QString, error);

    KernelFixture fx;
    fx.loadClasses();
    DeviceDb db(nullptr, nullptr);
    fx.log.clear();
    unsigned long value = 77;
    bool result = false;
    if (type == Tavo::UINT)
        result = db.presentationStringToUIntInsideForm(text, value);
    else if (type == Tavo::INT)
        result = db.presentationStringToIntInsideForm(text, value);
    else
        result = db.presentationStringToFloatInsideForm(text, value);
    QCOMPARE(result, ok);
    QCOMPARE(quint32(value), word);
    QCOMPARE(fx.log.errors(), error.isEmpty() ? QStringList() : QStringList {error});

    QByteArray bytes("old");
    QVERIFY(db.presentationStringToAsciizInsideForm(QStringLiteral("abc"), bytes));
    QCOMPARE(bytes, QByteArray("abc"));
    QVERIFY(db.presentationStringToByteArrayInsideForm(QStringLiteral("0A.ff"), bytes));
    QCOMPARE(bytes, QByteArray("\x0a\xff", 2));
    QVERIFY(!db.presentationStringToByteArrayInsideForm(QStringLiteral("0A.f"), bytes));
}

QTEST_GUILESS_MAIN(TstPresentation)
#include "tst_presentation.moc"
