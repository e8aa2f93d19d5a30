#include "client_fixture.h"
#include "desktop_notifier.h"
#include "log_model.h"
#include "share_restorer.h"
#include "testlog.h"

#include "foundation/app_shared.h"

#include <QAbstractItemModelTester>
#include <QColor>
#include <QSignalSpy>
#include <QtTest>

namespace {

// Opens the filter that a client sets from its user interface.
class FilteredGuiLog : public GuiLog
{
public:
    using GuiLog::GuiLog;
    void setPlainFilter(const QString& text)
    {
        filterOn = true;
        filterIsRegExp = false;
        filterText = text;
    }
};

QStringList column(const QAbstractItemModel& model, int column, int role = Qt::DisplayRole)
{
    QStringList values;
    for (int row = 0; row < model.rowCount(); ++row)
        values << model.index(row, column).data(role).toString();
    return values;
}

QString lastText(const QAbstractItemModel& model)
{
    const int rows = model.rowCount();
    return rows ? model.index(rows - 1, LogModel::TextColumn).data().toString() : QString();
}

const QString Sentinel = QStringLiteral("-- end --");

} // namespace

class TstLogModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everySinkLandsWithItsSink_data();
    void everySinkLandsWithItsSink();
    void debugOnlyForEnabledGroups();
    void debugRespectsTheLogsSwitchAndFilter();
    void ringDropsTheOldest_data();
    void ringDropsTheOldest();
    void aFloodIsInsertedAtOnce();
    void filter_data();
    void filter();
    void controlCharactersAreEscaped();
    void noticeWithoutSenderIsLogged_data();
    void noticeWithoutSenderIsLogged();
    void soundIsPlayedOnlyWhenEnabled();
};

void TstLogModel::everySinkLandsWithItsSink_data()
{
    QTest::addColumn<int>("sink");
    QTest::addColumn<int>("alarm");
    QTest::addColumn<QString>("sinkText");
    QTest::addColumn<QColor>("colour");

    QTest::newRow("message") << int(LogModel::Message) << -1 << QStringLiteral("Info") << QColor();
    QTest::newRow("debug") << int(LogModel::Debug) << -1 << QStringLiteral("Debug")
                           << QColor(0x80, 0x80, 0x80);
    QTest::newRow("warning") << int(LogModel::Warning) << -1 << QStringLiteral("Warning")
                             << QColor(0xff, 0x80, 0x00);
    QTest::newRow("error") << int(LogModel::Error) << -1 << QStringLiteral("Error")
                           << QColor(0xff, 0x00, 0x00);
    QTest::newRow("event-crit") << int(LogModel::Event) << int(Tavo::CRIT)
                                << QStringLiteral("Alarm") << QColor(0xc0, 0x00, 0x00);
    QTest::newRow("event-notice") << int(LogModel::Event) << int(Tavo::NOTICE)
                                  << QStringLiteral("Alarm") << QColor(0xff, 0xff, 0x00);
}

void TstLogModel::everySinkLandsWithItsSink()
{
    QFETCH(int, sink);
    QFETCH(int, alarm);
    QFETCH(QString, sinkText);
    QFETCH(QColor, colour);

    LogModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    GuiLog log(&model);
    const int group = log.getGroupIndex(QStringLiteral("Engine Socket"));
    log.setGroupEnabled(group, true);
    const QString text = QStringLiteral("[Engine] line of %1").arg(sinkText);
    switch (LogModel::Sink(sink)) {
    case LogModel::Message:
        log.logMessage(text);
        break;
    case LogModel::Debug:
        log.logDebug(group, text);
        break;
    case LogModel::Warning:
        log.logWarning(text);
        break;
    case LogModel::Error:
        log.logError(text);
        break;
    case LogModel::Event:
        log.logEvent(text, Tavo::AlarmType(alarm));
        break;
    }

    QTRY_COMPARE(model.rowCount(), 1);
    QCOMPARE(model.index(0, LogModel::TextColumn).data().toString(), text);
    QCOMPARE(model.index(0, 0).data(LogModel::SinkRole).toInt(), sink);
    QCOMPARE(model.index(0, LogModel::SinkColumn).data().toString(), sinkText);
    QCOMPARE(model.index(0, LogModel::TextColumn).data(Qt::ForegroundRole).value<QColor>(), colour);
    const QString groupText = model.index(0, LogModel::GroupColumn).data().toString();
    if (sink == LogModel::Debug) {
        QCOMPARE(model.index(0, 0).data(LogModel::GroupRole).toInt(), group);
        QCOMPARE(groupText, QStringLiteral("Engine Socket"));
    } else if (sink == LogModel::Event) {
        QCOMPARE(groupText, share::alarmStateToStr(Tavo::AlarmType(alarm)));
    } else {
        QCOMPARE(model.index(0, 0).data(LogModel::GroupRole).toInt(), -1);
        QCOMPARE(groupText, QString());
    }
    QVERIFY(QTime::fromString(model.index(0, LogModel::TimeColumn).data().toString(),
                              QStringLiteral("HH:mm:ss.zzz"))
                .isValid());
}

void TstLogModel::debugOnlyForEnabledGroups()
{
    LogModel model;
    GuiLog log(&model);
    QSignalSpy groupsChanged(&log, &AbstractLog::groupChanged);
    const int socket = log.getGroupIndex(QStringLiteral("Engine Socket"));
    const int blocking = log.getGroupIndex(QStringLiteral("Scheduler Blocking"));
    QCOMPARE(groupsChanged.count(), 2);
    QCOMPARE(log.groupNames(),
             (QStringList {QStringLiteral("Engine Socket"), QStringLiteral("Scheduler Blocking")}));

    log.logDebug(socket, QStringLiteral("before enabled"));
    log.setGroupEnabled(blocking, true);
    QVERIFY(log.isDebugMode(blocking));
    QVERIFY(!log.isDebugMode(socket));
    log.logDebug(socket, QStringLiteral("socket trace"));
    log.logDebug(blocking, QStringLiteral("blocking trace"));
    log.logDebug(blocking + 1, QStringLiteral("unknown group"));
    log.logDebug(-1, QStringLiteral("no group"));
    log.setGroupEnabled(blocking, false);
    log.logDebug(blocking, QStringLiteral("after disabled"));
    log.setGroupEnabled(7, true); // no such group: nothing to switch, nothing breaks
    log.logMessage(Sentinel);

    QTRY_COMPARE(lastText(model), Sentinel);
    QCOMPARE(column(model, LogModel::TextColumn),
             (QStringList {QStringLiteral("blocking trace"), Sentinel}));
    QCOMPARE(column(model, LogModel::GroupColumn).first(), QStringLiteral("Scheduler Blocking"));
}

void TstLogModel::debugRespectsTheLogsSwitchAndFilter()
{
    LogModel model;
    FilteredGuiLog log(&model);
    const int group = log.getGroupIndex(QStringLiteral("System Device"));
    log.setGroupEnabled(group, true);

    log.setDebugMode(false);
    log.logDebug(group, QStringLiteral("global switch off"));
    log.setDebugMode(true);
    log.setPlainFilter(QStringLiteral("KEEP"));
    log.logDebug(group, QStringLiteral("dropped by the filter"));
    log.logDebug(group, QStringLiteral("debug to keep"));
    log.logMessage(QStringLiteral("message dropped"));
    log.logMessage(QStringLiteral("message to keep"));
    // Warnings, errors and events are never filtered away.
    log.logWarning(QStringLiteral("warning"));
    log.logError(Sentinel);

    QTRY_COMPARE(lastText(model), Sentinel);
    QCOMPARE(column(model, LogModel::TextColumn),
             (QStringList {QStringLiteral("debug to keep"), QStringLiteral("message to keep"),
                           QStringLiteral("warning"), Sentinel}));
}

void TstLogModel::ringDropsTheOldest_data()
{
    QTest::addColumn<int>("capacity");
    QTest::addColumn<QList<QStringList>>("batches");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QList<int>>("removedFirstLast");

    QTest::newRow("fits") << 5 << QList<QStringList> {texts({"a", "b"}), texts({"c"})}
                          << texts({"a", "b", "c"}) << QList<int> {};
    QTest::newRow("full-exactly") << 3 << QList<QStringList> {texts({"a", "b", "c"})}
                                  << texts({"a", "b", "c"}) << QList<int> {};
    QTest::newRow("one-over") << 3 << QList<QStringList> {texts({"a", "b", "c"}), texts({"d"})}
                              << texts({"b", "c", "d"}) << QList<int> {0, 0};
    QTest::newRow("partly-full-then-over")
        << 4 << QList<QStringList> {texts({"a", "b"}), texts({"c", "d", "e"})}
        << texts({"b", "c", "d", "e"}) << QList<int> {0, 0};
    QTest::newRow("batch-larger-than-ring")
        << 3 << QList<QStringList> {texts({"a", "b"}), texts({"c", "d", "e", "f", "g"})}
        << texts({"e", "f", "g"}) << QList<int> {0, 1};
    QTest::newRow("wraps-many-times")
        << 2
        << QList<QStringList> {texts({"a"}), texts({"b"}), texts({"c"}), texts({"d"}), texts({"e"})}
        << texts({"d", "e"}) << QList<int> {0, 0, 0, 0, 0, 0};
}

void TstLogModel::ringDropsTheOldest()
{
    QFETCH(int, capacity);
    QFETCH(QList<QStringList>, batches);
    QFETCH(QStringList, expected);
    QFETCH(QList<int>, removedFirstLast);

    LogModel model(nullptr, capacity);
    QCOMPARE(model.capacity(), capacity);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    for (const QStringList& batch : batches) {
        for (const QString& text : batch)
            model.append(LogModel::Message, -1, text);
        QTRY_COMPARE(lastText(model), batch.last());
    }
    QCOMPARE(column(model, LogModel::TextColumn), expected);
    // One insertion per batch, however many lines it held.
    QCOMPARE(inserted.count(), batches.size());
    QList<int> firstLast;
    for (const QList<QVariant>& removal : qAsConst(removed))
        firstLast << removal.at(1).toInt() << removal.at(2).toInt();
    QCOMPARE(firstLast, removedFirstLast);
}

void TstLogModel::aFloodIsInsertedAtOnce()
{
    LogModel model;
    LogFilterModel filter;
    filter.setSourceModel(&model);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    for (int i = 0; i < 10000; ++i)
        model.append(LogModel::Debug, 0, QStringLiteral("line %1").arg(i));
    QCOMPARE(model.rowCount(), 0); // gathered, not yet inserted
    QTRY_COMPARE(model.rowCount(), 10000);
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(filter.rowCount(), 10000);
    QCOMPARE(lastText(model), QStringLiteral("line 9999"));
}

void TstLogModel::filter_data()
{
    QTest::addColumn<QList<int>>("hiddenSinks");
    QTest::addColumn<int>("group");
    QTest::addColumn<QString>("search");
    QTest::addColumn<QStringList>("expected");

    const QStringList all =
        texts({"Connected to host", "socket opened", "scheduler Blocked", "Class defined twice",
               "File BAD", "[EventMonitor] State: CRIT"});
    QTest::newRow("everything") << QList<int> {} << -1 << QString() << all;
    QTest::newRow("no-debug") << QList<int> {int(LogModel::Debug)} << -1 << QString()
                              << texts({"Connected to host", "Class defined twice", "File BAD",
                                        "[EventMonitor] State: CRIT"});
    QTest::newRow("errors-and-events")
        << QList<int> {int(LogModel::Message), int(LogModel::Debug), int(LogModel::Warning)} << -1
        << QString() << texts({"File BAD", "[EventMonitor] State: CRIT"});
    QTest::newRow("group-1") << QList<int> {} << 1 << QString()
                             << texts({"Connected to host", "scheduler Blocked",
                                       "Class defined twice", "File BAD",
                                       "[EventMonitor] State: CRIT"});
    QTest::newRow("group-1-debug-only")
        << QList<int> {int(LogModel::Message), int(LogModel::Warning), int(LogModel::Error),
                       int(LogModel::Event)}
        << 1 << QString() << texts({"scheduler Blocked"});
    QTest::newRow("search-ignores-case")
        << QList<int> {} << -1 << QStringLiteral("bad") << texts({"File BAD"});
    QTest::newRow("search-in-upper-case")
        << QList<int> {} << -1 << QStringLiteral("BLOCKED") << texts({"scheduler Blocked"});
    QTest::newRow("search-and-group")
        << QList<int> {} << 0 << QStringLiteral("o")
        << texts({"Connected to host", "socket opened", "[EventMonitor] State: CRIT"});
    QTest::newRow("search-and-sink")
        << QList<int> {int(LogModel::Error)} << -1 << QStringLiteral("bad") << QStringList();
    QTest::newRow("nothing-matches")
        << QList<int> {} << -1 << QStringLiteral("zzz") << QStringList();
}

void TstLogModel::filter()
{
    QFETCH(QList<int>, hiddenSinks);
    QFETCH(int, group);
    QFETCH(QString, search);
    QFETCH(QStringList, expected);

    LogModel model;
    LogFilterModel filter;
    filter.setSourceModel(&model);
    QAbstractItemModelTester tester(&filter,
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.append(LogModel::Message, -1, QStringLiteral("Connected to host"));
    model.append(LogModel::Debug, 0, QStringLiteral("socket opened"));
    model.append(LogModel::Debug, 1, QStringLiteral("scheduler Blocked"));
    model.append(LogModel::Warning, -1, QStringLiteral("Class defined twice"));
    model.append(LogModel::Error, -1, QStringLiteral("File BAD"));
    model.appendEvent(QStringLiteral("[EventMonitor] State: CRIT"), Tavo::CRIT);
    QTRY_COMPARE(model.rowCount(), 6);

    for (int sink : hiddenSinks)
        filter.setSinkShown(LogModel::Sink(sink), false);
    filter.setGroup(group);
    filter.setSearchText(search);
    QCOMPARE(column(filter, LogModel::TextColumn), expected);

    // Entries arriving later go through the same filter.
    model.append(LogModel::Error, -1, QStringLiteral("File BAD again"));
    QTRY_COMPARE(model.rowCount(), 7);
    const bool shown = !hiddenSinks.contains(int(LogModel::Error)) &&
        QStringLiteral("File BAD again").contains(search, Qt::CaseInsensitive);
    QCOMPARE(filter.rowCount(), expected.size() + (shown ? 1 : 0));

    // Back to everything.
    for (int sink : hiddenSinks)
        filter.setSinkShown(LogModel::Sink(sink), true);
    filter.setGroup(-1);
    filter.setSearchText(QString());
    QCOMPARE(filter.rowCount(), 7);
}

void TstLogModel::controlCharactersAreEscaped()
{
    LogModel model;
    LogFilterModel filter;
    filter.setSourceModel(&model);
    GuiLog log(&model);
    log.getGroupIndex(QStringLiteral("evil\ngroup"));
    log.setGroupEnabled(0, true);
    log.logError(QStringLiteral("host said: line1\nline2\x1b[31mred\r"));
    log.logDebug(0, QStringLiteral("tab\there"));
    QTRY_COMPARE(model.rowCount(), 2);
    QCOMPARE(model.index(0, LogModel::TextColumn).data().toString(),
             QStringLiteral("host said: line1\\nline2\\x1b[31mred\\r"));
    QCOMPARE(model.index(1, LogModel::TextColumn).data().toString(), QStringLiteral("tab\\there"));
    QCOMPARE(model.index(1, LogModel::GroupColumn).data().toString(),
             QStringLiteral("evil\\ngroup"));
    // The search finds what the operator sees.
    filter.setSearchText(QStringLiteral("line1\\nline2"));
    QCOMPARE(filter.rowCount(), 1);
}

void TstLogModel::noticeWithoutSenderIsLogged_data()
{
    QTest::addColumn<bool>("sms");
    QTest::addColumn<QString>("expected");

    QTest::newRow("e-mail")
        << false
        << QStringLiteral("E-mail to ops@example.org not sent (no sender configured): PSU\\ntemp");
    QTest::newRow("sms")
        << true
        << QStringLiteral("SMS to ops@example.org not sent (no sender configured): PSU\\ntemp");
}

void TstLogModel::noticeWithoutSenderIsLogged()
{
    QFETCH(bool, sms);
    QFETCH(QString, expected);

    ShareRestorer restorer;
    TestLog log;
    LogInstaller installer(&log);
    DesktopNotifier notifier;
    const QString address = QStringLiteral("ops@example.org");
    const QString text = QStringLiteral("PSU\ntemp");
    auto send = [&] {
        if (sms)
            notifier.sendSms(address, text);
        else
            notifier.sendEmail(address, text);
    };

    send();
    QCOMPARE(log.messages(), QStringList {expected});
    QCOMPARE(log.entries().size(), 1);

    // With a sender the notice goes there, as it was written, and is not logged.
    log.clear();
    QStringList delivered;
    const DesktopNotifier::Sender sender = [&](const QString& to, const QString& what) {
        delivered << to << what;
    };
    if (sms)
        notifier.setSmsSender(sender);
    else
        notifier.setEmailSender(sender);
    send();
    QCOMPARE(delivered, (QStringList {address, text}));
    QVERIFY(log.entries().isEmpty());

    // Without a log nothing breaks.
    share::pLog = nullptr;
    DesktopNotifier bare;
    bare.sendEmail(address, text);
    bare.sendSms(address, text);
}

void TstLogModel::soundIsPlayedOnlyWhenEnabled()
{
    DesktopNotifier notifier;
    QSignalSpy played(&notifier, &DesktopNotifier::soundPlayed);
    const QString missing = QDir::temp().filePath(QStringLiteral("no-such-dir/alarm.wav"));

    notifier.setSoundEnabled(false);
    notifier.playSound(missing);
    QCOMPARE(played.count(), 0);

    notifier.setSoundEnabled(true);
    notifier.playSound(missing);
    QCOMPARE(played.count(), 1);
    QCOMPARE(played.at(0).at(0).toString(), missing);
}

QTEST_MAIN(TstLogModel)
#include "tst_log_model.moc"
