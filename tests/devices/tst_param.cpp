#include "devices/paramlist.h"
#include "testlog.h"

#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

class TstParam : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void ticketsAreOrderedByPeriodAndEqualPeriodsKeepTheirOrder_data();
    void ticketsAreOrderedByPeriodAndEqualPeriodsKeepTheirOrder();
    void editTicketCreatesChangesAndDeletes();
    void ticketIdsWrapAfter999999();
    void readsFanOutToBitParameters();
    void statisticReadStoresEverythingOrNothing();
    void bitWritesFoldIntoTheBaseWord_data();
    void bitWritesFoldIntoTheBaseWord();
    void baseWritesFanOutToBitWriteValues();
    void valueWordIsReinterpretedByBitCopy();
    void aliasesAreFoundByTextAndByValue();
    void stringReadsDecodeHexOrKeepTheOldValue();
    void checkArrayCountsEachArgumentOnce();
    void typeNamesAndNumericTypes_data();
    void typeNamesAndNumericTypes();
    void signalsCarryIndexAndValueRecord();

private:
    TestLog m_log;
    std::unique_ptr<LogInstaller> m_installer;
};

void TstParam::initTestCase()
{
    qRegisterMetaType<const ParamCore*>();
    qRegisterMetaType<ParamCore*>();
    m_installer = std::make_unique<LogInstaller>(&m_log);
}

void TstParam::ticketsAreOrderedByPeriodAndEqualPeriodsKeepTheirOrder_data()
{
    QTest::addColumn<QVector<int>>("periods"); // ticket i gets id i
    QTest::addColumn<QVector<int>>("ids");
    QTest::newRow("30-5-10") << QVector<int> {30, 5, 10} << QVector<int> {1, 2, 0};
    QTest::newRow("equal-periods") << QVector<int> {10, 5, 10, 10} << QVector<int> {1, 0, 2, 3};
    QTest::newRow("descending") << QVector<int> {4, 3, 2, 1} << QVector<int> {3, 2, 1, 0};
}

void TstParam::ticketsAreOrderedByPeriodAndEqualPeriodsKeepTheirOrder()
{
    QFETCH(QVector<int>, periods);
    QFETCH(QVector<int>, ids);
    Param param;
    for (int i = 0; i < periods.size(); ++i)
        param.createTicket(i, periods.at(i));
    QVector<int> order;
    for (int i = 0; i < param.tickets.size(); ++i)
        order << param.tickets.get(i)->ticketId;
    QCOMPARE(order, ids);
}

void TstParam::editTicketCreatesChangesAndDeletes()
{
    Param param;
    param.DbEntity::name = QStringLiteral("level");
    param.editTicket(7, 0);
    QCOMPARE(param.tickets.size(), 0);

    param.createTicket(1, 10);
    param.editTicket(7, 20);
    QCOMPARE(param.tickets.size(), 2);
    QPointer<Ticket> created = param.tickets.get(1);
    QCOMPARE(created->ticketId, 7);
    QCOMPARE(created->paramName, QStringLiteral("level"));
    QCOMPARE(created->parent(), &param);

    param.editTicket(7, 3);
    QCOMPARE(param.tickets.get(0), created.data());
    QCOMPARE(created->period, 3);

    QVERIFY(!param.deleteTicket(99));
    param.editTicket(7, 0);
    QCOMPARE(param.tickets.size(), 1);
    QVERIFY(created.isNull());
}

void TstParam::ticketIdsWrapAfter999999()
{
    Device::m_iTicketId = 999998;
    QCOMPARE(Device::getTicketId(), 999998);
    QCOMPARE(Device::getTicketId(), 999999);
    QCOMPARE(Device::getTicketId(), 0);
    QCOMPARE(Device::getTicketId(), 1);
}

namespace {

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

    QObject owner;
    Param* base = new Param(&owner);
};

} // namespace

void TstParam::readsFanOutToBitParameters()
{
    BitFamily family({0, 1, 2, 31});
    family.base->statisticCount = 4;
    family.base->setReadValue(0x80000005);
    QCOMPARE(family.base->readValue, 0x80000005u);
    QVERIFY(family.base->readValid);
    QCOMPARE(family.base->statisticCount, 0);
    const QVector<quint32> expected {1, 0, 1, 1};
    for (int i = 0; i < expected.size(); ++i) {
        QCOMPARE(family.bitParam(i)->readValue, expected.at(i));
        QVERIFY(family.bitParam(i)->readValid);
    }
    // An ordinary parameter ignores a dependant read.
    family.base->setDepParamReadValue(0);
    QCOMPARE(family.base->readValue, 0x80000005u);
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
    QCOMPARE(family.base->readValue, 6u);
    QCOMPARE(family.base->statisticSum, 10u);
    QCOMPARE(family.base->statisticSumOfSquares, 30u);
    QCOMPARE(family.base->statisticCount, 4);
    QCOMPARE(family.base->statisticMinimum, 1u);
    QCOMPARE(family.base->statisticMaximum, 5u);
    QCOMPARE(family.bitParam(0)->readValue, 1u);
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
    QCOMPARE(family.bitParam(0)->correctForBaseParam(), family.base);

    unsigned long untouched = value;
    QCOMPARE(family.base->correctWriteValueForBaseParam(untouched), family.base);
    QCOMPARE(quint32(untouched), value);
}

void TstParam::baseWritesFanOutToBitWriteValues()
{
    BitFamily family({0, 1, 3});
    QVERIFY(family.base->setWriteValue(0x9ul));
    QCOMPARE(family.base->writeValue, 0x9u);
    QVERIFY(family.base->writePending);
    QCOMPARE(family.bitParam(0)->writeValue, 1u);
    QCOMPARE(family.bitParam(1)->writeValue, 0u);
    QCOMPARE(family.bitParam(2)->writeValue, 1u);
    QVERIFY(family.bitParam(2)->writePending);

    Param bytes;
    QVERIFY(bytes.setWriteValue(QByteArray("\x01\x02", 2), QStringLiteral("note")));
    QCOMPARE(bytes.writeBytes, QByteArray("\x01\x02", 2));
    QCOMPARE(bytes.writeText, QStringLiteral("note"));
    QVERIFY(bytes.setWriteValue(QString(QChar(0xE9))));
    QCOMPARE(bytes.writeBytes, QByteArray("\xE9"));
}

void TstParam::valueWordIsReinterpretedByBitCopy()
{
    QCOMPARE(ParamCore::getValueAsFloat(0x3F800000), 1.0f);
    QCOMPARE(ParamCore::getValueAsInt(0xFFFFFFFF), -1);
    QCOMPARE(ParamCore::fromIntValueTypecast(-2), 0xFFFFFFFEul);
    QCOMPARE(ParamCore::fromFloatValueTypecast(-1.5f), 0xBFC00000ul);
    TypeChanger word(quint32(0x3F800000));
    QCOMPARE(word.ieeeSingle, 1.0f);
    QCOMPARE(TypeChanger(qint32(-1)).unsignedWord, 0xFFFFFFFFu);
}

void TstParam::aliasesAreFoundByTextAndByValue()
{
    Param param;
    param.aliases = {{5, QStringLiteral("same")}, {2, QStringLiteral("same")}, {9, "nine"}};
    unsigned long value = 77;
    QVERIFY(!param.findAlias(QStringLiteral("none"), value));
    QCOMPARE(value, 77ul);
    QVERIFY(param.findAlias(QStringLiteral("same"), value));
    QCOMPARE(value, 2ul);

    param.readValue = 9;
    QCOMPARE(param.getReadValueAlias(), QStringLiteral("nine"));
    param.readValue = 4;
    QCOMPARE(param.getReadValueAlias(), QString());
}

void TstParam::stringReadsDecodeHexOrKeepTheOldValue()
{
    Param param;
    QVERIFY(param.setReadStringValue("41420043"));
    QCOMPARE(param.readBytes, QByteArray("AB\0C", 4));
    QVERIFY(param.readValid);

    m_log.clear();
    for (const QByteArray& bad : {QByteArray("414"), QByteArray("4G"), QByteArray("41.42")}) {
        QVERIFY(!param.setReadStringValue(bad));
        QCOMPARE(param.readBytes, QByteArray("AB\0C", 4));
    }
    QCOMPARE(
        m_log.errors(),
        QVector<QString>(3, "[setReadStringValue()] invalid input data - string decoding error")
            .toList());
}

void TstParam::checkArrayCountsEachArgumentOnce()
{
    ZCheckArray check;
    QVERIFY(check.add(0)); // an empty array is complete: nothing is awaited
    check.resize(3);
    QVERIFY(!check.add(-1));
    QVERIFY(!check.add(3));
    QVERIFY(!check.add(1));
    QVERIFY(!check.add(1));
    QCOMPARE(check.count(), 1);
    QVERIFY(!check.add(0));
    QVERIFY(check.add(2));
    check.init();
    QCOMPARE(check.count(), 0);
    QVERIFY(!check.isRaised(2));
    QCOMPARE(check.size(), 3);
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
    QVERIFY(!core.isAlarmType());
    core.alarmScript = QStringLiteral("return 1;");
    QVERIFY(core.isAlarmType());
}

void TstParam::signalsCarryIndexAndValueRecord()
{
    Param param;
    param.indexInDevice = 4;
    QSignalSpy read(&param, &Param::signalHasRead);
    QSignalSpy write(&param, &Param::signalAboutToWrite);
    param.sendHasReadSignal();
    param.sendAboutToWriteSignal();
    QCOMPARE(read.size(), 1);
    QCOMPARE(read.at(0).at(0).toInt(), 4);
    QCOMPARE(read.at(0).at(1).value<ParamCore*>(), static_cast<ParamCore*>(&param));
    QCOMPARE(write.at(0).at(1).value<const ParamCore*>(), static_cast<const ParamCore*>(&param));
}

QTEST_GUILESS_MAIN(TstParam)
#include "tst_param.moc"
