#include "testlog.h"

#include <QSignalSpy>
#include <QtTest>

class TstAbstractLog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void newGroupIsAppendedOnceAndAnnounced();
    void groupNamesCompareExactly();
    void debugModeNeedsGlobalAndGroupSwitch_data();
    void debugModeNeedsGlobalAndGroupSwitch();
    void filterAcceptsText_data();
    void filterAcceptsText();
};

void TstAbstractLog::newGroupIsAppendedOnceAndAnnounced()
{
    TestLog log;
    QSignalSpy changed(&log, &AbstractLog::groupChanged);

    QCOMPARE(log.getGroupIndex(QStringLiteral("System Device")), 0);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(log.getGroupIndex(QStringLiteral("System Device")), 0);
    QCOMPARE(changed.count(), 1);

    QCOMPARE(log.getGroupIndex(QStringLiteral("Scheduler Blocking")), 1);
    QCOMPARE(changed.count(), 2);
    QCOMPARE(log.getGroupIndex(QStringLiteral("System Device")), 0);
    QCOMPARE(log.getGroupIndex(QStringLiteral("Scheduler Blocking")), 1);
    QCOMPARE(changed.count(), 2);

    QCOMPARE(log.groupCount(), 2);
    QCOMPARE(log.groupName(1), QStringLiteral("Scheduler Blocking"));
    // A new group starts with its traces off, even under the global switch.
    log.setDebugMode(true);
    QVERIFY(!log.isDebugMode(0));
    QVERIFY(!log.isDebugMode(1));
}

void TstAbstractLog::groupNamesCompareExactly()
{
    TestLog log;
    QCOMPARE(log.getGroupIndex(QStringLiteral("Engine Socket")), 0);
    QCOMPARE(log.getGroupIndex(QStringLiteral("engine socket")), 1);
    QCOMPARE(log.getGroupIndex(QStringLiteral("Engine Socket ")), 2);
    QCOMPARE(log.getGroupIndex(QString()), 3);
    QCOMPARE(log.getGroupIndex(QString()), 3);
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

void TstAbstractLog::filterAcceptsText_data()
{
    QTest::addColumn<bool>("filterOn");
    QTest::addColumn<bool>("isRegExp");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("off_acceptsAll") << false << false << "abc"
                                    << "xyz" << true;
    QTest::newRow("offRegExp_acceptsAll") << false << true << "^a$"
                                          << "xyz" << true;
    QTest::newRow("plain_ignoresCase") << true << false << "abc"
                                       << "xxABCyy" << true;
    QTest::newRow("plain_filterUpperTextLower") << true << false << "ERR"
                                                << "an error" << true;
    QTest::newRow("plain_needsWholeFilter") << true << false << "abc"
                                            << "ab c" << false;
    QTest::newRow("plain_emptyFilterAcceptsAll") << true << false << ""
                                                 << "anything" << true;
    QTest::newRow("plain_isNotARegExp") << true << false << "a.c"
                                        << "abc" << false;
    QTest::newRow("regExp_matchesSomewhere") << true << true << "rr"
                                             << "an error here" << true;
    QTest::newRow("regExp_anchored") << true << true << "^Engine.*\\d$"
                                     << "Engine 12" << true;
    QTest::newRow("regExp_anchoredMiss") << true << true << "^Engine.*\\d$"
                                         << "My Engine 12" << false;
    QTest::newRow("regExp_caseSensitive") << true << true << "abc"
                                          << "ABC" << false;
}

void TstAbstractLog::filterAcceptsText()
{
    QFETCH(bool, filterOn);
    QFETCH(bool, isRegExp);
    QFETCH(QString, filter);
    QFETCH(QString, text);
    QFETCH(bool, accepted);

    TestLog log;
    if (isRegExp) {
        log.setRegExpFilter(QRegExp(filter));
    } else {
        log.setPlainFilter(filter);
    }
    log.setFilterOn(filterOn);
    QCOMPARE(log.testFilter(text), accepted);
}

QTEST_GUILESS_MAIN(TstAbstractLog)
#include "tst_abstractlog.moc"
