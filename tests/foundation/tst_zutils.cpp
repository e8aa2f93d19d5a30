#include "foundation/zutils.h"

#include <QtTest>

#include <climits>
#include <memory>

namespace {

QByteArray bytesOf(const AsciiZ& z)
{
    return QByteArray(z.data(), z.size());
}

QByteArray takeBuffer(char* p)
{
    const std::unique_ptr<char[]> owner(p);
    return p ? QByteArray(p) : QByteArray();
}

} // namespace

class Tst_zutils : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void growthTakesShortfallOrDoublesAndKeepsContent_data();
    void growthTakesShortfallOrDoublesAndKeepsContent();
    void copiesRangesAndMovesStayIndependent();
    void appendNumberPadsSignsAndCountsDigits_data();
    void appendNumberPadsSignsAndCountsDigits();
    void toULongReportsDigitCountAndWraps_data();
    void toULongReportsDigitCountAndWraps();
    void numImageReadsRadixPrefixes_data();
    void numImageReadsRadixPrefixes();
    void digitCountsAtPowersOfTheRadix();
    void ulongToPCharPadsOrRefuses();
    void hexCodingRoundTripsAndFailsOnOddOrNonDigit();
    void hexDumpFormsShowBytesAndCutMark_data();
    void hexDumpFormsShowBytesAndCutMark();
    void subTimevalCountsMillisecondsOrMinusOne();
    void byteHelpersTakeSignAndSeparatorRight();
};

void Tst_zutils::growthTakesShortfallOrDoublesAndKeepsContent_data()
{
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<int>("second");
    QTest::addColumn<int>("capacity");
    QTest::addColumn<QByteArray>("kept");

    const QByteArray a255(255, 'a');
    QTest::newRow("fillsExactly") << a255 << 0 << 256 << a255;
    QTest::newRow("oneOverDoubles") << a255 << 1 << 512 << a255;
    QTest::newRow("largeShortfallTaken")
        << QByteArray(100, 'a') << 500 << 601 << QByteArray(100, 'a');
    QTest::newRow("zeroByteCutsAtGrowth")
        << QByteArray("ab\0cd", 5) << 300 << 512 << QByteArray("ab");
}

void Tst_zutils::growthTakesShortfallOrDoublesAndKeepsContent()
{
    QFETCH(QByteArray, first);
    QFETCH(int, second);
    QFETCH(int, capacity);
    QFETCH(QByteArray, kept);

    AsciiZ z;
    QCOMPARE(z.capacity(), 256);
    z.append(first.constData(), first.size());
    const QByteArray b(second, 'b');
    z.append(b.constData(), b.size());
    QCOMPARE(z.capacity(), capacity);
    QCOMPARE(bytesOf(z), kept + b);
    QCOMPARE(z.data()[z.size()], '\0');

    z.clear();
    QVERIFY(z.isEmpty());
    QCOMPARE(z.capacity(), capacity);
    z.resize(10);
    QCOMPARE(z.capacity(), capacity + 10);
}

void Tst_zutils::copiesRangesAndMovesStayIndependent()
{
    AsciiZ forms;
    forms.append("abc", -1);
    forms.append("xyz", 2);
    forms.append(1, 2, "-de");
    forms.append(2, 0, "--fg");
    forms.append(1, 10, "-h");
    forms.append(10, 0, "ij");
    QCOMPARE(bytesOf(forms), QByteArray("abcxydefgh"));

    AsciiZ a("--abc", 2, 0);
    a.append(static_cast<const char*>(nullptr), 3);
    a.append('d');
    a.append(int('e'));
    QVERIFY(a == "abcde");
    QVERIFY(a != "abcd");
    QCOMPARE(bytesOf(AsciiZ(a, 1, 3)), QByteArray("bcd"));
    QCOMPARE(bytesOf(AsciiZ(a, 3, 10)), QByteArray("de"));
    QVERIFY(AsciiZ(a, 1, 0).isEmpty());
    QVERIFY(AsciiZ(a, 5, 2).isEmpty());

    AsciiZ b(a);
    b.append('f');
    QCOMPARE(bytesOf(a), QByteArray("abcde"));
    a = b;
    AsciiZ c(std::move(a));
    QCOMPARE(bytesOf(c), QByteArray("abcdef"));
    QCOMPARE(a.data(), "");
    a.append("again", -1);
    QCOMPARE(bytesOf(a), QByteArray("again"));

    // Appending a string to itself must survive the reallocation it causes.
    const QByteArray big(200, 'q');
    AsciiZ self(big.constData(), 0, 0);
    self.append(self.data(), self.size());
    QCOMPARE(bytesOf(self), big + big);
}

void Tst_zutils::appendNumberPadsSignsAndCountsDigits_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("radix");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("paddedHex") << 255 << 4 << 16 << QByteArray("00FF");
    QTest::newRow("negativeDecimal") << -5 << 0 << 10 << QByteArray("-5");
    QTest::newRow("negativePadded") << -255 << 4 << 16 << QByteArray("-00FF");
    QTest::newRow("zeroPadded") << 0 << 3 << 2 << QByteArray("000");
    QTest::newRow("powerOfTen") << 1000 << 2 << 10 << QByteArray("1000");
    QTest::newRow("lastLetter") << 35 << 0 << 36 << QByteArray("Z");
    QTest::newRow("intMin") << INT_MIN << 0 << 16 << QByteArray("-80000000");
    // The float-sized tolerance of the count lifts values just below a power.
    QTest::newRow("justBelowPowerGetsLeadingZero") << 9999999 << 0 << 10 << QByteArray("09999999");
    QTest::newRow("radixOneRefused") << 5 << 0 << 1 << QByteArray();
}

void Tst_zutils::appendNumberPadsSignsAndCountsDigits()
{
    QFETCH(int, value);
    QFETCH(int, width);
    QFETCH(int, radix);
    QFETCH(QByteArray, expected);

    AsciiZ z("<", 0, 0);
    QCOMPARE(z.append(value, width, radix), expected.isEmpty() ? -1 : expected.size());
    QCOMPARE(bytesOf(z), QByteArray("<") + expected);
}

void Tst_zutils::toULongReportsDigitCountAndWraps_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("countIn");
    QTest::addColumn<int>("radix");
    QTest::addColumn<qulonglong>("value");
    QTest::addColumn<int>("countOut");

    QTest::newRow("hexAll") << QByteArray("1F9") << 0 << 0 << 16 << 505ull << 3;
    QTest::newRow("decimalStopsAtLetter") << QByteArray("1F9") << 0 << 0 << 10 << 1ull << 1;
    QTest::newRow("countLimits") << QByteArray("1F9") << 0 << 2 << 16 << 31ull << 2;
    QTest::newRow("fromMiddle") << QByteArray("ab12x") << 2 << -1 << 10 << 12ull << 2;
    QTest::newRow("lowerCaseBase36") << QByteArray("zz") << 0 << 0 << 36 << 1295ull << 2;
    QTest::newRow("wrapsAt32Bits") << QByteArray("100000001") << 0 << 0 << 16 << 1ull << 9;
    QTest::newRow("fromAtEnd") << QByteArray("12") << 2 << 0 << 10 << 0ull << 0;
    QTest::newRow("radixOne") << QByteArray("0") << 0 << 0 << 1 << 0ull << 0;
    QTest::newRow("radix37") << QByteArray("1") << 0 << 5 << 37 << 0ull << 0;
}

void Tst_zutils::toULongReportsDigitCountAndWraps()
{
    QFETCH(QByteArray, text);
    QFETCH(int, from);
    QFETCH(int, countIn);
    QFETCH(int, radix);
    QFETCH(qulonglong, value);
    QFETCH(int, countOut);

    const AsciiZ z(text.constData(), 0, 0);
    int count = countIn;
    QCOMPARE(qulonglong(z.toULong(from, count, radix)), value);
    QCOMPARE(count, countOut);
}

void Tst_zutils::numImageReadsRadixPrefixes_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<qulonglong>("value");
    QTest::addColumn<bool>("ok");

    QTest::newRow("hex") << QByteArray("0x1F") << 31ull << true;
    QTest::newRow("binary") << QByteArray("0b101") << 5ull << true;
    QTest::newRow("octal") << QByteArray("017") << 15ull << true;
    QTest::newRow("blanksAnywhere") << QByteArray(" 0 x\t1 f.") << 31ull << true;
    QTest::newRow("loneZero") << QByteArray("0") << 0ull << true;
    QTest::newRow("wrapsAt32Bits") << QByteArray("4294967297") << 1ull << true;
    QTest::newRow("letterInDecimal") << QByteArray("12a") << 0ull << false;
    QTest::newRow("upperCaseX") << QByteArray("0X1F") << 0ull << false;
    QTest::newRow("eightNotOctal") << QByteArray("08") << 0ull << false;
    QTest::newRow("prefixOnly") << QByteArray("0x") << 0ull << false;
    QTest::newRow("onlyIgnored") << QByteArray(" .\t") << 0ull << false;
    QTest::newRow("null") << QByteArray() << 0ull << false;
}

void Tst_zutils::numImageReadsRadixPrefixes()
{
    QFETCH(QByteArray, text);
    QFETCH(qulonglong, value);
    QFETCH(bool, ok);

    bool good = !ok;
    const char* p = text.isNull() ? nullptr : text.constData();
    QCOMPARE(qulonglong(numImageToULong(p, &good)), value);
    QCOMPARE(good, ok);
}

void Tst_zutils::digitCountsAtPowersOfTheRadix()
{
    const QList<int> counts {
        getDigitsCount(0ul, 10),   getDigitsCount(999ul, 10),        getDigitsCount(1000ul, 10),
        getDigitsCount(256ul, 16), getDigitsCount(4294967295ul, 10), getDigitsCount(1000, 10),
        getDigitsCount(-1000, 10), getDigitsCount(INT_MIN, 16),      getDigitsCount(5ul, 1)};
    QCOMPARE(counts, QList<int>({1, 3, 4, 3, 10, 4, 5, 9, -1}));
}

void Tst_zutils::ulongToPCharPadsOrRefuses()
{
    const QList<QByteArray> texts {
        takeBuffer(ulongToPChar(255, 4, 16)), takeBuffer(ulongToPChar(255, 2, 16)),
        takeBuffer(ulongToPChar(4096, 0, 16)), takeBuffer(ulongToPChar(0, -1, 10)),
        takeBuffer(ulongToPChar(4294967295ul, 0, 36))};
    QCOMPARE(texts, QList<QByteArray>({"00FF", "FF", "1000", "0", "1Z141Z3"}));
    QVERIFY(!ulongToPChar(255, 1, 16));
    QVERIFY(!ulongToPChar(5, 0, 1));
}

void Tst_zutils::hexCodingRoundTripsAndFailsOnOddOrNonDigit()
{
    char text[7] = "xxxxxx";
    hexEncoding("\x00\xAB\x7F", 3, text);
    QCOMPARE(QByteArray(text), QByteArray("00AB7F"));
    char bytes[4] = {'x', 'x', 'x', 'x'};
    QVERIFY(hexDecoding("0aFF", 4, bytes));
    QCOMPARE(QByteArray(bytes, 3), QByteArray("\x0A\xFF\x00", 3));
    QVERIFY(!hexDecoding("0aF", 3, bytes));
    QVERIFY(!hexDecoding("0A0G", 4, bytes));

    AsciiZ in("\x0A\xFF", 0, 0);
    AsciiZ out("keep:", 0, 0);
    hexEncoding(in, out, true);
    QCOMPARE(bytesOf(out), QByteArray("keep:0AFF"));
    hexEncoding(in, out, false);
    QCOMPARE(bytesOf(out), QByteArray("0AFF"));

    // A decoded zero byte must survive the growth that makes room for the rest.
    const QByteArray longHex = QByteArray("00") + QByteArray(600, 'A');
    AsciiZ longIn(longHex.constData(), 0, 0);
    QVERIFY(hexDecoding(longIn, out, true));
    QCOMPARE(bytesOf(out), QByteArray("0AFF") + QByteArray(1, '\0') + QByteArray(300, '\xAA'));

    AsciiZ bad("41ZZ", 0, 0);
    QVERIFY(!hexDecoding(bad, out, true));
    QVERIFY(out.isEmpty());
}

void Tst_zutils::hexDumpFormsShowBytesAndCutMark_data()
{
    QTest::addColumn<char>("separator");
    QTest::addColumn<int>("maxLength");
    QTest::addColumn<QByteArray>("asciiZ");
    QTest::addColumn<QByteArray>("stdString");

    QTest::newRow("spaced") << ' ' << 0 << QByteArray("0A FF 01") << QByteArray("A FF 1");
    QTest::newRow("spacedCut") << ' ' << 2 << QByteArray("0A FF...") << QByteArray("A FF ...");
    QTest::newRow("noSeparator") << '\0' << -1 << QByteArray("0AFF01") << QByteArray("AFF1");
    QTest::newRow("controlSeparatorIgnored")
        << '\x1F' << 1 << QByteArray("0A...") << QByteArray("A ...");
    QTest::newRow("maxEqualsLength") << '-' << 3 << QByteArray("0A-FF-01") << QByteArray("A-FF-1");
}

void Tst_zutils::hexDumpFormsShowBytesAndCutMark()
{
    QFETCH(char, separator);
    QFETCH(int, maxLength);
    QFETCH(QByteArray, asciiZ);
    QFETCH(QByteArray, stdString);

    const char bytes[] = "\x0A\xFF\x01";
    AsciiZ out(">", 0, 0);
    hexDump(bytes, 3, out, separator, maxLength);
    QCOMPARE(bytesOf(out), QByteArray(">") + asciiZ);

    AsciiZ in(bytes, 0, 0);
    hexDump(in, in, separator, maxLength);
    QCOMPARE(bytesOf(in), QByteArray(bytes) + asciiZ);

    std::string text = "old";
    hexDump(bytes, 3, text, separator, maxLength);
    QCOMPARE(QByteArray::fromStdString(text), stdString);
}

void Tst_zutils::subTimevalCountsMillisecondsOrMinusOne()
{
    QCOMPARE(subTimevalMs(timeval {5, 0}, timeval {6, 500000}), 1500);
    QCOMPARE(subTimevalMs(timeval {1, 900000}, timeval {2, 100000}), 200);
    QCOMPARE(subTimevalMs(timeval {5, 0}, timeval {5, 1999}), 1);
    QCOMPARE(subTimevalMs(timeval {5, 600000}, timeval {5, 100000}), -500);
    QCOMPARE(subTimevalMs(timeval {7, 0}, timeval {5, 0}), -1);
}

void Tst_zutils::byteHelpersTakeSignAndSeparatorRight()
{
    int sum = 10;
    QVERIFY(fixDataSum(sum, "\x01\xFF\x80", 3));
    QCOMPARE(sum, 10 + 1 - 1 - 128);
    QCOMPARE(takeBuffer(binToPChar("\x01\xAB", 2, ':')), QByteArray("01:AB:"));
    QCOMPARE(literalToInt('8', 8), -1);
    QCOMPARE(literalToInt('b', 12), 11);
    QCOMPARE(digitsToLiteral(35), 'Z');
    QCOMPARE(digitsToLiteral(36), char(0xFF));
    QVERIFY(isIdCharSet('9') && !isIdFirstCharSet('9'));
    QVERIFY(isIdFirstCharSet('_') && !isIdCharSet('-') && !isIdCharSet('`'));
}

QTEST_GUILESS_MAIN(Tst_zutils)
#include "tst_zutils.moc"
