#include "testlog.h"

#include <QSignalSpy>
#include <QtTest>

class TstAbstractLog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void groupsAreAppendedOnceByExactNameAndTraceOnlyWhenSwitchedOn();
    void filterAcceptsText();
};

void TstAbstractLog::groupsAreAppendedOnceByExactNameAndTraceOnlyWhenSwitchedOn()
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

    // A group traces with its own switch and the global one on; a new group starts off.
    auto tracing = [&log] {
        QList<bool> on;
        for (int group : {0, 1, -1, 5, 1000})
            on << log.isDebugMode(group);
        return on;
    };
    log.setGroupDebug(0, true);
    QVERIFY(!log.isDebugMode());
    QCOMPARE(tracing(), QList<bool>({false, false, false, false, false}));
    log.setDebugMode(true);
    QVERIFY(log.isDebugMode());
    QCOMPARE(tracing(), QList<bool>({true, false, false, false, false}));
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
        {true, false, "abc", "xxABCyy", true}, // plain text ignores case
        {true, false, "abc", "ab c", false},
        {true, false, "", "anything", true},
        {true, false, "a.c", "abc", false}, // plain text is no pattern
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
