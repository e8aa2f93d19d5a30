#include "devices/device_db.h"
#include "devices/paramlist.h"
#include "foundation/app_shared.h"
#include "kernel_fixture.h"

#include <QFile>
#include <QPointer>
#include <QtTest>

namespace {

// The tickets of @p param in list order, as "id:period".
QString tickets(const Param& param)
{
    QStringList out;
    for (int i = 0; i < param.tickets.size(); ++i)
        out << QStringLiteral("%1:%2")
                   .arg(param.tickets.get(i)->ticketId)
                   .arg(param.tickets.get(i)->period);
    return out.join(QLatin1Char(' '));
}

// How a value is shown: scaled by 0.5 plus 1, and whether it is one of a fixed list.
constexpr int Plain = 0, Scaled = 1, Fixed = 2;

// "read text|write text" from a table's text, where one text may stand for both.
QString readAndWrite(const QString& shown)
{
    return shown.contains(QLatin1Char('|')) ? shown : shown + QLatin1Char('|') + shown;
}

// A base parameter with one bit parameter for each of @p bits.
struct BitFamily
{
    explicit BitFamily(const QVector<int>& bits)
    {
        for (int bit : bits) {
            auto* bitParam = new Param(&owner);
            bitParam->bit = bit;
            bitParam->baseParameter = base;
            base->bitParameters.append(bitParam);
        }
    }
    Param* bitParam(int i) const { return base->bitParameters.at(i); }
    /// The bit parameters' read values, each with '+' once valid.
    QString reads() const
    {
        QString out;
        for (const Param* bitParam : base->bitParameters)
            out += QString::number(bitParam->readValue) + (bitParam->readValid ? "+" : "");
        return out;
    }

    QObject owner;
    Param* base = new Param(&owner);
};

} // namespace

class TstParam : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void ticketsAreOrderedByPeriodAndIdsWrapAfter999999();
    void wordsReadOrWrittenFanOutToBitParameters();
    void statisticReadStoresEverythingOrNothing();
    void bitWritesFoldIntoTheBaseWord_data();
    void bitWritesFoldIntoTheBaseWord();
    void aliasesAreFoundByTextAndWordsCastByBitCopy();
    void checkArrayCountsEachArgumentOnce();
    void queueRemovalNullsOnlyTheArrayBeingFilled();
    void typeNamesAndNumericTypes_data();
    void typeNamesAndNumericTypes();
    void valuesFollowTypeRadixAliasFixedValuesAndScaling_data();
    void valuesFollowTypeRadixAliasFixedValuesAndScaling();
    void bytesStopAtTheTerminatorAndFilesShowTheirSizeAndTime_data();
    void bytesStopAtTheTerminatorAndFilesShowTheirSizeAndTime();
    void statisticShowsLastMeanDeviationAndRange();
    void formTextParsesOrLogs_data();
    void formTextParsesOrLogs();

private:
    TestLog m_log;
    std::unique_ptr<LogInstaller> m_installer;
};

void TstParam::initTestCase()
{
    m_installer = std::make_unique<LogInstaller>(&m_log);
}

void TstParam::ticketsAreOrderedByPeriodAndIdsWrapAfter999999()
{
    Param param;
    param.DbEntity::name = QStringLiteral("level");
    param.editTicket(7, 0);
    QCOMPARE(tickets(param), QString());
    param.createTicket(1, 10);
    param.createTicket(2, 30);
    param.editTicket(7, 10); // after the one of the same period
    QCOMPARE(tickets(param), QStringLiteral("1:10 7:10 2:30"));
    QPointer<Ticket> created = param.tickets.get(1);
    QCOMPARE(created->paramName, QStringLiteral("level"));
    QCOMPARE(created->parent(), &param);

    param.editTicket(7, 3);
    QCOMPARE(tickets(param), QStringLiteral("7:3 1:10 2:30"));
    QCOMPARE(param.tickets.get(0), created.data());
    QVERIFY(!param.deleteTicket(99));
    param.editTicket(7, 0);
    QCOMPARE(tickets(param), QStringLiteral("1:10 2:30"));
    QVERIFY(created.isNull());

    Device::m_iTicketId = 999998;
    const QVector<int> ids {Device::getTicketId(), Device::getTicketId(), Device::getTicketId(),
                            Device::getTicketId()};
    QCOMPARE(ids, QVector<int>({999998, 999999, 0, 1}));
}

void TstParam::wordsReadOrWrittenFanOutToBitParameters()
{
    BitFamily family({0, 1, 2, 31});
    family.base->statisticCount = 4;
    family.base->setReadValue(0x80000005);
    QCOMPARE(family.base->readValue, 0x80000005u);
    QVERIFY(family.base->readValid);
    QCOMPARE(family.base->statisticCount, 0);
    QCOMPARE(family.reads(), QStringLiteral("1+0+1+1+"));
    // An ordinary parameter ignores a dependant read.
    family.base->setDepParamReadValue(0);
    QCOMPARE(family.base->readValue, 0x80000005u);

    QVERIFY(family.base->setWriteValue(0x80000009ul));
    QCOMPARE(family.base->writeValue, 0x80000009u);
    QVERIFY(family.base->writePending);
    QString writes;
    for (const Param* bitParam : qAsConst(family.base->bitParameters))
        writes += QString::number(bitParam->writeValue) + (bitParam->writePending ? "*" : "");
    QCOMPARE(writes, QStringLiteral("1*0*0*1*"));

    Param bytes;
    QVERIFY(bytes.setWriteValue(QByteArray("\x01\x02", 2), QStringLiteral("note")));
    QCOMPARE(bytes.writeBytes, QByteArray("\x01\x02", 2));
    QCOMPARE(bytes.writeText, QStringLiteral("note"));
    QVERIFY(bytes.setWriteValue(QString(QChar(0xE9))));
    QCOMPARE(bytes.writeBytes, QByteArray("\xE9"));
}

void TstParam::statisticReadStoresEverythingOrNothing()
{
    BitFamily family({1});
    family.base->DbEntity::name = QStringLiteral("rate");
    m_log.clear();
    family.base->setReadStatValue(6, 10, 30, 0, 1, 4);
    QCOMPARE(m_log.errors(),
             QStringList {"[setReadStatValue()] param_count must be greater than 0 param rate"});
    QVERIFY(!family.base->readValid);
    QCOMPARE(family.base->statisticSum, 0u);

    family.base->setReadStatValue(6, 10, 30, 4, 1, 5);
    const Param* base = family.base;
    QCOMPARE(QVector<quint32>({base->readValue, base->statisticSum, base->statisticSumOfSquares,
                               quint32(base->statisticCount), base->statisticMinimum,
                               base->statisticMaximum}),
             QVector<quint32>({6, 10, 30, 4, 1, 5}));
    QCOMPARE(family.reads(), QStringLiteral("1+"));
}

void TstParam::bitWritesFoldIntoTheBaseWord_data()
{
    QTest::addColumn<int>("bit");
    QTest::addColumn<quint32>("pending");
    QTest::addColumn<quint32>("value");
    QTest::addColumn<quint32>("folded");
    QTest::newRow("clear-bit3") << 3 << 0xFFu << 0u << 0xF7u;
    QTest::newRow("set-bit8") << 8 << 0u << 1u << 0x100u;
    QTest::newRow("any-nonzero-sets") << 0 << 0x10u << 7u << 0x11u;
    QTest::newRow("bit31") << 31 << 0u << 1u << 0x80000000u;
    QTest::newRow("past-the-word") << 40 << 0x5u << 1u << 0x5u;
}

void TstParam::bitWritesFoldIntoTheBaseWord()
{
    QFETCH(int, bit);
    QFETCH(quint32, pending);
    QFETCH(quint32, value);
    QFETCH(quint32, folded);
    BitFamily family({bit});
    family.base->writeValue = pending;
    unsigned long word = value;
    QCOMPARE(family.bitParam(0)->correctWriteValueForBaseParam(word), family.base);
    QCOMPARE(quint32(word), folded);
}

void TstParam::aliasesAreFoundByTextAndWordsCastByBitCopy()
{
    Param param;
    param.aliases = {{5, QStringLiteral("same")}, {2, QStringLiteral("same")}, {9, "nine"}};
    unsigned long value = 77;
    QVERIFY(!param.findAlias(QStringLiteral("none"), value));
    QCOMPARE(value, 77ul);
    QVERIFY(param.findAlias(QStringLiteral("same"), value));
    QCOMPARE(value, 2ul);

    QCOMPARE(ParamCore::fromIntValueTypecast(-2), 0xFFFFFFFEul);
    QCOMPARE(ParamCore::fromFloatValueTypecast(-1.5f), 0xBFC00000ul);
}

void TstParam::checkArrayCountsEachArgumentOnce()
{
    ZCheckArray check;
    QVERIFY(check.add(0)); // an empty array is complete: nothing is awaited
    check.resize(3);
    // Out of range, first, again, another, the last: only the last completes.
    const QVector<bool> added {check.add(-1), check.add(3), check.add(1),
                               check.add(1),  check.add(0), check.add(2)};
    QCOMPARE(added, QVector<bool>({false, false, false, false, false, true}));
    QCOMPARE(check.count(), 3);
    check.init();
    QCOMPARE(check.count(), 0);
    QVERIFY(!check.isRaised(2));
    QCOMPARE(check.size(), 3);
}

void TstParam::queueRemovalNullsOnlyTheArrayBeingFilled()
{
    ArraysHandler<Param> list;
    Param level;
    list.append(&level);
    list.swapArrays();
    list.append(&level);
    list.resetData(&level);
    QCOMPARE(list.current().at(0), nullptr);
    QCOMPARE(list.other().at(0), &level);
}

void TstParam::typeNamesAndNumericTypes_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("numeric");
    QTest::newRow("uint") << 0 << "UINT" << true;
    QTest::newRow("int") << 1 << "INT" << true;
    QTest::newRow("float") << 2 << "FLOAT" << true;
    QTest::newRow("asciiz") << 3 << "ASCIIZ" << false;
    QTest::newRow("byte-array") << 4 << "BYTE_ARRAY" << false;
    QTest::newRow("file") << 5 << "FILE" << false;
    QTest::newRow("unknown") << 9 << "TYPE UNDEFINED" << false;
}

void TstParam::typeNamesAndNumericTypes()
{
    QFETCH(int, type);
    QFETCH(QString, text);
    QFETCH(bool, numeric);
    ParamCore core;
    core.type = Tavo::ParamType(type);
    QCOMPARE(core.typeToString(), text);
    QCOMPARE(core.isNumericType(), numeric);
}

void TstParam::valuesFollowTypeRadixAliasFixedValuesAndScaling_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<quint32>("word");
    QTest::addColumn<int>("radix");
    QTest::addColumn<int>("how"); // Scaled by 0.5 plus 1, Fixed: one of a fixed list of values
    QTest::addColumn<QString>("shown"); // "read text|write text", or one text for both

    const int U = Tavo::UINT, I = Tavo::INT, F = Tavo::FLOAT, A = Tavo::ASCIIZ;
    QTest::newRow("bin-15") << U << 15u << 2 << Plain << "0b 1111";
    QTest::newRow("bin-31") << U << 31u << 2 << Plain << "0b 1.1111";
    QTest::newRow("bin-all") << U << 0xFFFFFFFEu << 2 << Plain
                             << "0b 1111.1111.1111.1111.1111.1111.1111.1110";
    QTest::newRow("oct-255") << U << 255u << 8 << Plain << "0377";
    QTest::newRow("dec-90") << U << 90u << 10 << Plain << "90";
    QTest::newRow("dec-max") << U << 0xFFFFFFFEu << 10 << Plain << "4294967294";
    QTest::newRow("hex-255") << U << 255u << 16 << Plain << "0xff";
    QTest::newRow("radix-3") << U << 255u << 3 << Plain << "radix invalid";
    QTest::newRow("uint-scaled") << U << 3u << 16 << Scaled << "2.500000|2.5";
    // Writes show aliases only for fixed values.
    QTest::newRow("uint-alias-beats-radix") << U << 7u << 2 << Plain << "seven|0b 111";
    QTest::newRow("uint-fixed-alias") << U << 7u << 16 << (Scaled | Fixed) << "seven";
    // A fixed value without a name is written unscaled, in the form's radix.
    QTest::newRow("uint-fixed-unscaled") << U << 26u << 16 << (Scaled | Fixed) << "14.000000|0x1a";
    QTest::newRow("int-negative") << I << 0xFFFFFFFEu << 10 << Plain << "-2";
    QTest::newRow("int-empty-alias") << I << 0xFFFFFFFFu << 10 << Scaled << "0.500000|0.5";
    QTest::newRow("float") << F << 0x3FC00000u << 10 << Plain << "1.500000|1.5";
    QTest::newRow("float-scaled") << F << 0x3FC00000u << 10 << Scaled << "1.750000|1.75";
    QTest::newRow("text-fixed") << A << 2u << 10 << Fixed << "|[gwps_2] presentation error";
    QTest::newRow("text-scaled") << A << 2u << 10 << Scaled << "|[gwps_1] presentation error";
    QTest::newRow("unknown-type") << 9 << 1u << 10 << Plain
                                  << "[grvns] presentation error|[gwps_2] presentation error";
}

void TstParam::valuesFollowTypeRadixAliasFixedValuesAndScaling()
{
    QFETCH(int, type);
    QFETCH(quint32, word);
    QFETCH(int, radix);
    QFETCH(int, how);
    QFETCH(QString, shown);

    ParamCore core;
    core.type = Tavo::ParamType(type);
    core.readValue = word;
    core.aliases.insert(7u, QStringLiteral("seven"));
    core.aliases.insert(0xFFFFFFFFu, QString()); // an empty alias is none
    if (how & Fixed)
        core.fixedValues = {7, 26, 2};
    PresentationInfo info;
    info.scaled = how & Scaled;
    info.scale = 0.5f;
    info.offset = 1.0f;
    info.radix = radix;

    QString read;
    core.getReadValueNotStatisticalPresentationString(&info, read);
    QString write;
    core.getWritePresentationString(write, word, &info);
    QCOMPARE(read + '|' + write, readAndWrite(shown));
    // Without a form's settings, a value is written as the plain decimal rows show it.
    if (how == Plain && radix == 10) {
        core.getWritePresentationString(write, word, nullptr);
        QCOMPARE(read + '|' + write, readAndWrite(shown));
    }
    // Without statistics the combined operation shows the same text.
    QString combined;
    QStringList parts {QStringLiteral("kept")};
    core.getReadValuePresentation(&info, &combined, &parts);
    QCOMPARE(combined, read);
    QCOMPARE(parts, QStringList {QStringLiteral("kept")});
}

void TstParam::bytesStopAtTheTerminatorAndFilesShowTheirSizeAndTime_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("companion");
    QTest::addColumn<QString>("shown"); // "read text|write text", or one text for both

    const int B = Tavo::BYTE_ARRAY, F = Tavo::FILE;
    QTest::newRow("asciiz") << int(Tavo::ASCIIZ) << QByteArray("abc\0junk", 8) << "x"
                            << "abc";
    QTest::newRow("bytes") << B << QByteArray("\x0a\xff\x00", 3) << ""
                           << "0A.FF.00";
    QTest::newRow("companion") << B << QByteArray("\x0a\xff", 2) << "note"
                               << "0A.FF|0A.FF@note";
    QTest::newRow("file") << F << QByteArray("config.bin\0x", 12) << "ignored"
                          << "config.bin: 2048B 5.3.2010 9:7:3|config.bin";
    QTest::newRow("file-missing") << F << QByteArray("missing.bin") << ""
                                  << "missing.bin: file not found|missing.bin";
    QTest::newRow("uint") << int(Tavo::UINT) << QByteArray("1") << ""
                          << "0|[gwps_1] presentation error";
}

void TstParam::bytesStopAtTheTerminatorAndFilesShowTheirSizeAndTime()
{
    QFETCH(int, type);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, companion);
    QFETCH(QString, shown);

    KernelFixture fx;
    share::filesPath = fx.dir.makeDir(QStringLiteral("files"));
    QFile file(fx.dir.writeFile(QStringLiteral("files/config.bin"), QByteArray(2048, 'x')));
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(QDateTime(QDate(2010, 3, 5), QTime(9, 7, 3)),
                             QFileDevice::FileModificationTime));
    file.close();

    ParamCore core;
    core.type = Tavo::ParamType(type);
    core.readBytes = bytes;
    QString read;
    QString write;
    core.getReadValueNotStatisticalPresentationString(nullptr, read);
    core.getWritePresentationString(write, bytes, companion);
    QCOMPARE(read + '|' + write, readAndWrite(shown));
}

void TstParam::statisticShowsLastMeanDeviationAndRange()
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

    PresentationInfo info;
    info.scaled = true;
    info.scale = 2.0f;
    info.offset = 10.0f;
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

void TstParam::formTextParsesOrLogs_data()
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
    QTest::newRow("int") << I << "-5" << true << 0xFFFFFFFBu << QString();
    QTest::newRow("int-bad") << I << "5x" << false << 77u << "String '5x' is not integer value: ";
    QTest::newRow("float") << F << "2.5" << true << 0x40200000u << QString();
    QTest::newRow("float-bad") << F << "two" << false << 77u << "String 'two' is not float value: ";
}

void TstParam::formTextParsesOrLogs()
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

QTEST_GUILESS_MAIN(TstParam)
#include "tst_param.moc"
