#include "testlog.h"

#include <QSignalSpy>
#include <QtTest>

class TstAbstractLog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void groupsAreAppendedOnceByExactNameAndAnnounced();
    void debugModeNeedsGlobalAndGroupSwitch_data();
    void debugModeNeedsGlobalAndGroupSwitch();
    void filterAcceptsText();
};

void TstAbstractLog::groupsAreAppendedOnceByExactNameAndAnnounced()
{
    TestLog log;
    QSignalSpy changed(&log, &AbstractLog::groupChanged);

    QList<int> indexes;
    for (const char* name : {"System Device", "System Device", "Scheduler Blocking",
                             "System Device", "system device", "System Device ", "", ""})
        indexes << log.getGroupIndex(QString::fromLatin1(name));
    QCOMPARE(indexes, QList<int>({0, 0, 1, 0, 2, 3, 4, 4}));
    QCOMPARE(changed.count(), 5); // once for each new group
    QCOMPARE(log.groupCount(), 5);
    QCOMPARE(log.groupName(1), QStringLiteral("Scheduler Blocking"));
    // A new group starts with its traces off, even under the global switch.
    log.setDebugMode(true);
    QVERIFY(!log.isDebugMode(0));
    QVERIFY(!log.isDebugMode(1));
}

void TstAbstractLog::debugModeNeedsGlobalAndGroupSwitch_data()
{
    QTest::addColumn<bool>("global");
    QTest::addColumn<bool>("groupOn");
    QTest::addColumn<int>("asked");
    QTest::addColumn<bool>("expected");

    // Two groups are registered; the switch is set on group 0.
    QTest::newRow("globalOff_groupOn") << false << true << 0 << false;
    QTest::newRow("globalOn_groupOn") << true << true << 0 << true;
    QTest::newRow("globalOn_groupOff") << true << false << 0 << false;
    QTest::newRow("globalOn_otherGroup") << true << true << 1 << false;
    QTest::newRow("globalOn_negative") << true << true << -1 << false;
    QTest::newRow("globalOn_groupCount") << true << true << 2 << false;
    QTest::newRow("globalOn_farOutside") << true << true << 1000 << false;
}

void TstAbstractLog::debugModeNeedsGlobalAndGroupSwitch()
{
    QFETCH(bool, global);
    QFETCH(bool, groupOn);
    QFETCH(int, asked);
    QFETCH(bool, expected);

    TestLog log;
    log.getGroupIndex(QStringLiteral("a"));
    log.getGroupIndex(QStringLiteral("b"));
    log.setGroupDebug(0, groupOn);
    log.setDebugMode(global);

    QCOMPARE(log.isDebugMode(), global);
    QCOMPARE(log.isDebugMode(asked), expected);
}

void TstAbstractLog::filterAcceptsText()
{
    const struct
    {
        bool filterOn, isRegExp;
        const char *filter, *text;
        bool accepted;
    } rows[] = {
        {false, false, "abc", "xyz", true}, // off: all pass
        {false, true, "^a$", "xyz", true},
        {true, false, "abc", "xxABCyy", true}, // plain text ignores case
        {true, false, "ERR", "an error", true},
        {true, false, "abc", "ab c", false},
        {true, false, "", "anything", true},
        {true, false, "a.c", "abc", false}, // plain text is no pattern
        {true, true, "rr", "an error here", true},
        {true, true, "^Engine.*\\d$", "Engine 12", true},
        {true, true, "^Engine.*\\d$", "My Engine 12", false},
        {true, true, "abc", "ABC", false}, // a pattern minds case
    };
    for (const auto& row : rows) {
        TestLog log;
        if (row.isRegExp)
            log.setRegExpFilter(QRegExp(QLatin1String(row.filter)));
        else
            log.setPlainFilter(QLatin1String(row.filter));
        log.setFilterOn(row.filterOn);
        QVERIFY2(log.testFilter(QLatin1String(row.text)) == row.accepted,
                 qPrintable(QStringLiteral("%1 / %2").arg(row.filter, row.text)));
    }
}

QTEST_GUILESS_MAIN(TstAbstractLog)
#include "tst_abstractlog.moc"
