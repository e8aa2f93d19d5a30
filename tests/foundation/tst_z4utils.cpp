#include "foundation/safe_text.h"
#include "foundation/z4utils.h"
#include "foundation/zutils.h"

#include <QtTest>

#include <memory>

class Tst_z4utils : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void dumpShowsPrintableBytesAndCutMark_data();
    void dumpShowsPrintableBytesAndCutMark();
    void hexCodingRoundTripsWithSeparators();
    void fullTrimmedJoinsWordsWithOneSpace();
    void controlCharactersAreEscaped();
    void wikiHandlingConvertsKnownTags_data();
    void wikiHandlingConvertsKnownTags();
    void dotStringAcceptsOnlyDottedDecimal();
};

void Tst_z4utils::dumpShowsPrintableBytesAndCutMark_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("printable");
    QTest::addColumn<int>("maxLength");
    QTest::addColumn<QString>("upper");
    QTest::addColumn<QString>("lower"); // pcharToString; empty: as upper

    const QByteArray aZeroB("A\0B", 3);
    QTest::newRow("printable") << aZeroB << true << 0 << "A.00.B. (3)" << QString();
    QTest::newRow("printableCut") << aZeroB << true << 2 << "A.00. ... (3)" << QString();
    QTest::newRow("hexOnly") << aZeroB << false << -1 << "41.00.42. (3)" << QString();
    QTest::newRow("maxEqualsLength") << aZeroB << false << 3 << "41.00.42. (3)" << QString();
    QTest::newRow("printableBounds")
        << QByteArray("\x20\x21\x7F\x80\x0A", 5) << true << 0 << "20.!.\x7F.80.0A. (5)"
        << "20.!.\x7F.80.0a. (5)";
    QTest::newRow("lettersHex") << QByteArray("\xAB\xCD", 2) << false << 1 << "AB. ... (2)"
                                << "ab. ... (2)";
    QTest::newRow("empty") << QByteArray() << true << 0 << " (0)" << QString();
    QTest::newRow("longerThanFreshAsciiZ") << QByteArray(300, '\x01') << true << 0
                                           << QString("01.").repeated(300) + " (300)" << QString();
}

void Tst_z4utils::dumpShowsPrintableBytesAndCutMark()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, printable);
    QFETCH(int, maxLength);
    QFETCH(QString, upper);
    QFETCH(QString, lower);

    QCOMPARE(utils::byteArrayToString(bytes, printable, maxLength), upper);
    QCOMPARE(utils::pcharToString(bytes.constData(), bytes.size(), printable, maxLength),
             lower.isEmpty() ? upper : lower);
    const std::unique_ptr<AsciiZ> z(
        utils::pcharToAsciiZ(bytes.constData(), bytes.size(), printable, maxLength));
    QCOMPARE(QString::fromLatin1(z->data(), z->size()), upper);
    QCOMPARE(utils::pcharToString(nullptr, 5, printable, maxLength), QStringLiteral(" (0)"));
}

void Tst_z4utils::hexCodingRoundTripsWithSeparators()
{
    const QByteArray three("\x0A\xFF\x00", 3);
    QByteArray out("pre:");
    utils::byteArrayHexEncoding(three, out, '\0');
    utils::byteArrayHexEncoding(three, out, '.');
    utils::byteArrayHexEncoding(QByteArray(), out, '.');
    QCOMPARE(out, QByteArray("pre:0AFF000A.FF.00"));

    std::unique_ptr<char[]> buffer(utils::byteArrayHexEncoding_ch(three, '.'));
    QCOMPARE(QByteArray(buffer.get()), QByteArray("0A.FF.00"));
    buffer.reset(utils::byteArrayHexEncoding_ch(QByteArray("\x7F"), '.'));
    QCOMPARE(QByteArray(buffer.get()), QByteArray("7F"));
    QVERIFY(!utils::byteArrayHexEncoding_ch(QByteArray(), '.'));

    // Separators are skipped wherever they stand; digits of either case pair up.
    QByteArray decoded("pre");
    QVERIFY(utils::byteArrayHexDecoding("0.a.F.f0.0", decoded, '.'));
    QVERIFY(utils::byteArrayHexDecoding(QByteArray(), decoded, '.'));
    QCOMPARE(decoded, QByteArray("pre") + three);
    QVERIFY(!utils::byteArrayHexDecoding("ABC", decoded, '\0')); // a digit left over
    QVERIFY(!utils::byteArrayHexDecoding("0A.0B", decoded, '\0')); // no separator to skip
}

void Tst_z4utils::fullTrimmedJoinsWordsWithOneSpace()
{
    QCOMPARE(utils::fullTrimmed(QStringLiteral(" \r\n a  b \t")), QStringLiteral("a b"));
    QCOMPARE(utils::fullTrimmed(QStringLiteral(" \t\r\n")), QString());
    // Only the four blanks separate words.
    QCOMPARE(utils::fullTrimmed(QStringLiteral("a\vb  c")), QStringLiteral("a\vb c"));
}

void Tst_z4utils::wikiHandlingConvertsKnownTags_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("bold") << QStringLiteral("a [b]bold[/b] c") << QStringLiteral("a <b>bold</b> c");
    QTest::newRow("allTags") << QStringLiteral("[i][u]x[/u][/i][br]")
                             << QStringLiteral("<i><u>x</u></i><br>");
    QTest::newRow("unknownKept") << QStringLiteral("[x]") << QStringLiteral("[x]");
    QTest::newRow("escapedBracket") << QStringLiteral("\\[b]") << QStringLiteral("[b]");
    QTest::newRow("escapeKeepsBackslash") << QStringLiteral("a\\nb") << QStringLiteral("a\\nb");
    QTest::newRow("openTagDropped") << QStringLiteral("end [b") << QStringLiteral("end ");
    QTest::newRow("bracketInsideTag") << QStringLiteral("[a[b]") << QStringLiteral("[a[b]");
}

void Tst_z4utils::wikiHandlingConvertsKnownTags()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);

    QCOMPARE(utils::wikiHandling(text), expected);
}

void Tst_z4utils::dotStringAcceptsOnlyDottedDecimal()
{
    QVector<int> out {7};
    QVERIFY(utils::dotStringToIntList(QStringLiteral("1.3.6.1"), out));
    QCOMPARE(out, QVector<int>({7, 1, 3, 6, 1}));
    for (const char* bad : {"1..3", ".1", "1.3.", "1.3x", ""})
        QVERIFY2(!utils::dotStringToIntList(QLatin1String(bad), out), bad);
}

void Tst_z4utils::controlCharactersAreEscaped()
{
    const QList<QPair<QString, QString>> rows {
        {QString::fromUtf8("Порт №1 \u00e9"), QString::fromUtf8("Порт №1 \u00e9")},
        {"a\nb\r\tc\x1b[0m", "a\\nb\\r\\tc\\x1b[0m"},
        {QString(QLatin1String("a\0b\x7f", 4)), "a\\x00b\\x7f"},
        {QString(QChar(0x9b)) + "2J", "\\x9b2J"},
        {"C:\\x", "C:\\x"},
    };
    for (const auto& row : rows)
        QCOMPARE(utils::escapeControlCharacters(row.first), row.second);
}

QTEST_GUILESS_MAIN(Tst_z4utils)
#include "tst_z4utils.moc"
