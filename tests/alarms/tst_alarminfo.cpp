#include "alarms/alarminfo.h"

#include <QHelpEngineCore>
#include <QTemporaryDir>
#include <QtTest>

class TstAlarmInfo : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void navigationBlocksAreCut_data();
    void navigationBlocksAreCut();
    void currentAlarmTextCollectsItsPages();
};

void TstAlarmInfo::navigationBlocksAreCut_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("expected");
    QTest::newRow("both") << "<p>a</p><div class=\"navheader\">Prev</div><h2>T</h2>"
                             "<div class=\"navfooter\">Home</div><p>b</p>"
                          << "<p>a</p><h4>T</h4><p>b</p>";
    QTest::newRow("nested-ends-early") << "<div class=\"navheader\"><div>x</div>rest</div>body"
                                       << "rest</div>body";
    QTest::newRow("unclosed-header") << "<div class=\"navheader\">never closed"
                                     << "<div class=\"navheader\">never closed";
    QTest::newRow("no-blocks") << "<h2>T</h2><a href=\"h2.html\">x</a>"
                               << "<h4>T</h4><a href=\"h4.html\">x</a>";
}

void TstAlarmInfo::navigationBlocksAreCut()
{
    QFETCH(QString, page);
    QFETCH(QString, expected);
    QCOMPARE(AlarmInfo::removeNavHeaderAndFooter(page), expected);
}

void TstAlarmInfo::currentAlarmTextCollectsItsPages()
{
    QTemporaryDir dir;
    QHelpEngineCore help(dir.filePath(QStringLiteral("alarms.qhc")));
    QVERIFY(help.setupData());
    QVERIFY2(help.registerDocumentation(QStringLiteral(ALARM_HELP_QCH)), qPrintable(help.error()));

    AlarmInfo info;
    const auto los = AlarmInfo::Alarms(1);
    const auto unknown = AlarmInfo::Alarms(2);
    info.alarmNames.insert(los, QStringLiteral("LOS on port 1"));
    info.alarmIds.insert(los, {QStringLiteral("alarm.lof"), QStringLiteral("alarm.los")});
    info.alarmIds.insert(unknown, {QStringLiteral("alarm.none")});

    QCOMPARE(info.getCurrentAlarmInfo(&help), QStringLiteral("<h4>There is no alarm</h4>"));
    info.currentAlarm = unknown;
    QCOMPARE(info.getCurrentAlarmInfo(&help), QStringLiteral("<h4>No info about this alarm</h4>"));
    QCOMPARE(info.getCurrentAlarmInfo(nullptr),
             QStringLiteral("<h4>No info about this alarm</h4>"));

    // Three links, the empty page skipped, the others in title order.
    info.currentAlarm = los;
    const QString text = info.getCurrentAlarmInfo(&help);
    QVERIFY2(text.startsWith(QStringLiteral("<h4>Current alarm:</h4>LOS on port 1<br><html>")),
             qPrintable(text));
    const int losAt =
        text.indexOf(QStringLiteral("<h4>LOS</h4><p>No signal on the line.</p></body>"));
    const int lofAt = text.indexOf(QStringLiteral("<h4>LOF</h4><p>Frames lost.</p>"));
    QVERIFY2(losAt > 0 && lofAt > losAt, qPrintable(text));
    QCOMPARE(text.count(QStringLiteral("<html>")), 2);
}

QTEST_GUILESS_MAIN(TstAlarmInfo)
#include "tst_alarminfo.moc"
