// The alarm panel's and the log panel's models: the rows the alarm monitor's
// changes make, in the order an operator reads them, and the kernel's log
// lines with their sinks, filters and escaping, and the notices the client
// cannot send.

#include "alarm_model.h"
#include "client_fixture.h"
#include "desktop_notifier.h"
#include "log_model.h"

#include "connections/engine.h"
#include "connections/engine_box.h"
#include "devices/device_db.h"
#include "devices/paramlist.h"
#include "foundation/app_shared.h"
#include "hostgraph/host_graph.h"

#include <QtTest>

namespace {

// "<param>|<SEVERITY>" per row, in the model's order.
QStringList alarmsOf(const AlarmModel& model)
{
    return rowsOf(model, {AlarmModel::ParamColumn, AlarmModel::SeverityColumn});
}

QVector<int> countsOf(const AlarmModel& model)
{
    QVector<int> counts(8, 0);
    for (int row = 0; row < model.rowCount(); ++row)
        ++counts[model.index(row, 0).data(AlarmModel::SeverityRole).toInt()];
    return counts;
}

QStringList textsOf(const QAbstractItemModel& model)
{
    return rowsOf(model, {LogModel::TextColumn});
}

} // namespace

class TstAlarmAndLogModels : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase() { m_fx.reset(); }
    void cleanup();

    void rowsFollowStateChanges_data();
    void rowsFollowStateChanges();
    void rowShowsTheAlarmAndFollowsReads();
    void rowsGoWithTheirDeviceAndHost();

    void everySinkLandsEscapedAndDebugOnlyOfEnabledGroups();
    void ringDropsTheOldest_data();
    void ringDropsTheOldest();
    void filter_data();
    void filter();
    void notifierLogsWhatItCannotSendAndPlaysOnlyWhenEnabled();

private:
    Device* addDevice(const QString& className, int tag);
    Param* param(Device* device, const char* name) const
    {
        return device->parametersByName.value(QLatin1String(name));
    }

    std::unique_ptr<ClientFixture> m_fx;
    DesktopNotifier m_notifier;
    // Never connected: devices are made here and states are given by hand.
    NodeAttr* m_bench = nullptr;
    int m_code = 1;
};

void TstAlarmAndLogModels::initTestCase()
{
    m_fx = std::make_unique<ClientFixture>();
    m_bench = m_fx->kernel->createHost(QStringLiteral("127.0.0.2"), 1, QStringLiteral("tavo-ne"));
    QVERIFY(m_bench);
    m_notifier.setSoundEnabled(false);
    m_fx->kernel->startMonitors(&m_notifier);
    QVERIFY(m_fx->kernel->alarmMonitor);
}

void TstAlarmAndLogModels::cleanup()
{
    if (Engine* engine = share::engineBox->getEngineByNodeAttr(m_bench))
        engine->deviceDb()->clearDevices();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

Device* TstAlarmAndLogModels::addDevice(const QString& className, int tag)
{
    Engine* engine = share::engineBox->getEngineByNodeAttr(m_bench);
    Device* device = engine ? engine->deviceDb()->addDevice(className, tag, 0, m_code++,
                                                            Tavo::NativeProtocol, QString())
                            : nullptr;
    if (device && !device->populateDevice())
        return nullptr;
    return device;
}

void TstAlarmAndLogModels::rowsFollowStateChanges_data()
{
    QTest::addColumn<QString>("steps"); // "<param>=<state> ..."
    QTest::addColumn<QString>("expected"); // "<param>|<SEVERITY> ..."
    const auto row = [](const char* name, const char* steps, const char* expected) {
        QTest::newRow(name) << QString(steps) << QString(expected);
    };

    row("first-normal-read-adds-nothing", "temp=-1", "");
    row("most-severe-first", "load=4 temp=2 v_in=3 v_out=0",
        "v_out|EMERG temp|CRIT v_in|ERR load|WARNING");
    row("oldest-first", "load=2 temp=2 v_in=2", "load|CRIT temp|CRIT v_in|CRIT");
    row("worse-moves-up", "temp=4 load=4 v_in=3 load=1", "load|ALERT v_in|ERR temp|WARNING");
    row("better-moves-down", "temp=1 load=2 v_in=4 temp=4", "load|CRIT v_in|WARNING temp|WARNING");
    // A change of severity starts a new "since": the row comes after the
    // older ones of its new severity, even when it changes back.
    row("change-restarts-since", "load=2 temp=2 load=3 load=2", "temp|CRIT load|CRIT");
    row("same-state-again", "load=2 temp=2 load=2", "load|CRIT temp|CRIT");
    row("normal-removes", "temp=2 load=4 temp=-1", "load|WARNING");
    row("outside-the-states-is-normal", "temp=2 load=3 temp=8 v_in=-2 load=-5", "");
    row("debug-is-an-alarm", "temp=7", "temp|DEBUG");
}

void TstAlarmAndLogModels::rowsFollowStateChanges()
{
    QFETCH(QString, steps);
    QFETCH(QString, expected);

    Device* device = addDevice(QStringLiteral("PSU"), 1);
    QVERIFY(device);
    AlarmModel model(nullptr);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy counts(&model, &AlarmModel::countsChanged);
    QHash<QString, int> previous;
    for (const QString& step : steps.split(QLatin1Char(' '))) {
        const QString name = step.section(QLatin1Char('='), 0, 0);
        const int state = step.section(QLatin1Char('='), 1).toInt();
        const Param* p = device->parametersByName.value(name);
        QVERIFY2(p, qPrintable(name));
        model.paramStateChanged(p, state, previous.value(name, -2));
        previous[name] = state;
    }
    QCOMPARE(alarmsOf(model).join(QLatin1Char(' ')), expected);
    QCOMPARE(model.countsBySeverity(), countsOf(model));
    if (!expected.isEmpty())
        QVERIFY(!counts.isEmpty());
}

void TstAlarmAndLogModels::rowShowsTheAlarmAndFollowsReads()
{
    Device* psu = addDevice(QStringLiteral("PSU"), 2);
    Device* e1 = addDevice(QStringLiteral("E1"), 3);
    QVERIFY(psu && e1);
    Param* temp = param(psu, "temp");
    temp->setReadValue(73);
    AlarmModel model(nullptr);
    model.paramStateChanged(temp, Tavo::CRIT, -2);
    // What a host sent is shown, never obeyed.
    Param* label = param(e1, "label");
    label->readBytes = QByteArrayLiteral("Port\nA\x1b[2J");
    label->readValid = true;
    model.paramStateChanged(label, Tavo::WARNING, -2);

    QCOMPARE(
        rowsOf(model,
               {AlarmModel::SeverityColumn, AlarmModel::HostColumn, AlarmModel::DeviceColumn,
                AlarmModel::ParamColumn, AlarmModel::ValueColumn, AlarmModel::AcknowledgedColumn}),
        QStringList({"CRIT|127.0.0.2|PSU_0002|temp|73|",
                     "WARNING|127.0.0.2|E1_0003|label|Port\\nA\\x1b[2J|"}));
    QCOMPARE(rowsOf(model, {AlarmModel::SeverityColumn, AlarmModel::ParamColumn}, Qt::ToolTipRole),
             QStringList({"|Temperature", "|Label"}));
    QCOMPARE(rowsOf(model, {AlarmModel::SeverityColumn}, Qt::BackgroundRole),
             QStringList({"#c00000", "#ff8000"}));
    QVERIFY(!model.index(0, AlarmModel::SinceColumn).data().toString().isEmpty());

    // The value follows the reads of the row's parameter, and of no other.
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    label->readBytes = QByteArrayLiteral("Port B");
    e1->sendParamHasReadSignal(label);
    param(psu, "v_in")->setReadValue(1);
    psu->sendParamHasReadSignal(param(psu, "v_in"));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toModelIndex(), model.index(1, AlarmModel::ValueColumn));
    QCOMPARE(model.index(1, AlarmModel::ValueColumn).data().toString(), QStringLiteral("Port B"));
}

void TstAlarmAndLogModels::rowsGoWithTheirDeviceAndHost()
{
    NodeAttr* doomed =
        m_fx->kernel->createHost(QStringLiteral("127.0.0.3"), 1, QStringLiteral("tavo-ne"));
    QVERIFY(doomed);
    const int key = doomed->key();
    Engine* engine = share::engineBox->getEngineByNodeAttr(doomed);
    Device* elsewhere = engine->deviceDb()->addDevice(QStringLiteral("E1"), 1, 0, 1,
                                                      Tavo::NativeProtocol, QString());
    QVERIFY(elsewhere && elsewhere->populateDevice());
    Device* gone = addDevice(QStringLiteral("PSU"), 7);
    Device* stays = addDevice(QStringLiteral("E1"), 8);
    QVERIFY(gone && stays);
    AlarmModel model(nullptr);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.paramStateChanged(param(gone, "temp"), Tavo::ALERT, -2);
    model.paramStateChanged(param(gone, "load"), Tavo::ERR, -2);
    model.paramStateChanged(param(stays, "los"), Tavo::CRIT, -2);
    model.paramStateChanged(param(elsewhere, "los"), Tavo::EMERG, -2);
    model.paramStateChanged(param(elsewhere, "label"), Tavo::WARNING, -2);
    QCOMPARE(model.severityOfHost(m_bench->key()), int(Tavo::ALERT));
    QSignalSpy hostChanged(&model, &AlarmModel::hostSeverityChanged);

    share::engineBox->getEngineByNodeAttr(m_bench)->deviceDb()->removeDevice(gone->DbEntity::name);
    QTRY_COMPARE(alarmsOf(model), QStringList({"los|EMERG", "los|CRIT", "label|WARNING"}));
    QCOMPARE(model.severityOfHost(m_bench->key()), int(Tavo::CRIT));
    QCOMPARE(hostChanged.count(), 1);
    QCOMPARE(model.countsBySeverity(), QVector<int>({1, 0, 1, 0, 1, 0, 0, 0}));

    share::engineBox->deleteEngine(engine);
    QTRY_COMPARE(alarmsOf(model), QStringList({"los|CRIT"}));
    QCOMPARE(model.severityOfHost(key), -1);
    QCOMPARE(hostChanged.last().at(0).toInt(), key);
}

void TstAlarmAndLogModels::everySinkLandsEscapedAndDebugOnlyOfEnabledGroups()
{
    LogModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    LogFilterModel filter;
    filter.setSourceModel(&model);
    GuiLog log(&model);
    const int group = log.getGroupIndex(QStringLiteral("evil\ngroup"));
    const int other = log.getGroupIndex(QStringLiteral("Engine Socket"));
    QCOMPARE(log.groupNames(), QStringList({"evil\ngroup", "Engine Socket"}));
    log.logDebug(group, QStringLiteral("before enabled"));
    log.setGroupEnabled(group, true);
    log.setGroupEnabled(7, true); // no such group: nothing to switch, nothing breaks
    log.logMessage(QStringLiteral("[Engine] message"));
    log.logDebug(group, QStringLiteral("tab\there"));
    log.logDebug(other, QStringLiteral("not enabled"));
    log.logWarning(QStringLiteral("warning"));
    log.logError(QStringLiteral("host said: line1\nline2\x1b[31mred\r"));
    log.logEvent(QStringLiteral("crit"), Tavo::CRIT);
    log.logEvent(QStringLiteral("notice"), Tavo::NOTICE);
    log.setGroupEnabled(group, false);
    log.logDebug(group, QStringLiteral("after disabled"));
    QCOMPARE(model.rowCount(), 0); // gathered, not yet inserted

    // What a host sent is shown with its control characters escaped.
    QTRY_COMPARE(rowsOf(model, {LogModel::SinkColumn, LogModel::GroupColumn, LogModel::TextColumn}),
                 QStringList({"Info||[Engine] message", "Debug|evil\\ngroup|tab\\there",
                              "Warning||warning", "Error||host said: line1\\nline2\\x1b[31mred\\r",
                              "Alarm|CRIT|crit", "Alarm|NOTICE|notice"}));
    QCOMPARE(rowsOf(model, {LogModel::TextColumn}, Qt::ForegroundRole),
             QStringList({"", "#808080", "#ff8000", "#ff0000", "#c00000", "#ffff00"}));
    for (const QString& time : rowsOf(model, {LogModel::TimeColumn}))
        QVERIFY2(QTime::fromString(time, QStringLiteral("HH:mm:ss.zzz")).isValid(),
                 qPrintable(time));
    // The search finds what the operator sees.
    filter.setSearchText(QStringLiteral("line1\\nline2"));
    QCOMPARE(filter.rowCount(), 1);
}

void TstAlarmAndLogModels::ringDropsTheOldest_data()
{
    QTest::addColumn<int>("capacity");
    QTest::addColumn<QString>("batches"); // a line per letter, batches apart
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("removed"); // first and last row of each removal

    QTest::newRow("full-exactly") << 3 << "abc" << QStringLiteral("abc") << QString();
    QTest::newRow("partly-full-then-over") << 4 << "ab cde" << QStringLiteral("bcde") << "0 0";
    QTest::newRow("batch-larger-than-ring") << 3 << "ab cdefg" << QStringLiteral("efg") << "0 1";
    QTest::newRow("wraps-many-times") << 2 << "a b c d e" << QStringLiteral("de") << "0 0 0 0 0 0";
}

void TstAlarmAndLogModels::ringDropsTheOldest()
{
    QFETCH(int, capacity);
    QFETCH(QString, batches);
    QFETCH(QString, expected);
    QFETCH(QString, removed);

    LogModel model(nullptr, capacity);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removals(&model, &QAbstractItemModel::rowsRemoved);
    for (const QString& batch : batches.split(QLatin1Char(' '))) {
        for (const QChar line : batch)
            model.append(LogModel::Message, -1, line);
        QTRY_COMPARE(textsOf(model).value(model.rowCount() - 1), QString(batch.back()));
    }
    QCOMPARE(textsOf(model).join(QString()), expected);
    // One insertion per batch, however many lines it held.
    QCOMPARE(inserted.count(), batches.count(QLatin1Char(' ')) + 1);
    QStringList firstLast;
    for (const QList<QVariant>& removal : qAsConst(removals))
        firstLast << removal.at(1).toString() << removal.at(2).toString();
    QCOMPARE(firstLast.join(QLatin1Char(' ')), removed);
}

void TstAlarmAndLogModels::filter_data()
{
    QTest::addColumn<QString>("hidden"); // sinks
    QTest::addColumn<int>("group");
    QTest::addColumn<QString>("search");
    QTest::addColumn<QString>("expected");

    const auto row = [](const char* tag, const char* hidden, int group, const char* search,
                        const char* expected) {
        QTest::newRow(tag) << QString(hidden) << group << QString(search) << QString(expected);
    };
    row("everything", "", -1, "",
        "Connected to host, socket opened, scheduler Blocked, Class defined twice, File BAD, "
        "[EventMonitor] State: CRIT");
    row("errors-and-events", "Message Debug Warning", -1, "",
        "File BAD, [EventMonitor] State: CRIT");
    row("group-1", "", 1, "",
        "Connected to host, scheduler Blocked, Class defined twice, File BAD, "
        "[EventMonitor] State: CRIT");
    row("group-1-debug-only", "Message Warning Error Event", 1, "", "scheduler Blocked");
    row("search-ignores-case", "", -1, "bad", "File BAD");
    row("search-and-group", "", 0, "o",
        "Connected to host, socket opened, [EventMonitor] State: CRIT");
}

void TstAlarmAndLogModels::filter()
{
    QFETCH(QString, hidden);
    QFETCH(int, group);
    QFETCH(QString, search);
    QFETCH(QString, expected);

    LogModel model;
    LogFilterModel filter;
    filter.setSourceModel(&model);
    QAbstractItemModelTester tester(&filter,
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    const auto showHidden = [&](bool shown) {
        const QMetaEnum sinks = QMetaEnum::fromType<LogModel::Sink>();
        for (const QString& sink : hidden.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            filter.setSinkShown(LogModel::Sink(sinks.keyToValue(qPrintable(sink))), shown);
    };
    model.append(LogModel::Message, -1, QStringLiteral("Connected to host"));
    model.append(LogModel::Debug, 0, QStringLiteral("socket opened"));
    model.append(LogModel::Debug, 1, QStringLiteral("scheduler Blocked"));
    model.append(LogModel::Warning, -1, QStringLiteral("Class defined twice"));
    model.append(LogModel::Error, -1, QStringLiteral("File BAD"));
    model.appendEvent(QStringLiteral("[EventMonitor] State: CRIT"), Tavo::CRIT);
    QTRY_COMPARE(model.rowCount(), 6);

    showHidden(false);
    filter.setGroup(group);
    filter.setSearchText(search);
    QCOMPARE(textsOf(filter).join(QStringLiteral(", ")), expected);

    // Back to everything.
    showHidden(true);
    filter.setGroup(-1);
    filter.setSearchText(QString());
    QCOMPARE(filter.rowCount(), 6);
}

void TstAlarmAndLogModels::notifierLogsWhatItCannotSendAndPlaysOnlyWhenEnabled()
{
    ShareRestorer restorer;
    TestLog log;
    LogInstaller installer(&log);
    DesktopNotifier notifier;
    const QString address = QStringLiteral("ops@example.org");
    const QString text = QStringLiteral("PSU\ntemp");

    notifier.sendEmail(address, text);
    notifier.sendSms(address, text);
    QCOMPARE(log.messages(),
             QStringList({"E-mail to ops@example.org not sent (no sender configured): PSU\\ntemp",
                          "SMS to ops@example.org not sent (no sender configured): PSU\\ntemp"}));
    QCOMPARE(log.entries().size(), 2);

    // Without a log nothing breaks.
    share::pLog = nullptr;
    DesktopNotifier bare;
    bare.sendEmail(address, text);
    bare.sendSms(address, text);

    QSignalSpy played(&notifier, &DesktopNotifier::soundPlayed);
    const QString missing = QDir::temp().filePath(QStringLiteral("no-such-dir/alarm.wav"));
    notifier.setSoundEnabled(false);
    notifier.playSound(missing);
    notifier.setSoundEnabled(true);
    notifier.playSound(missing);
    QCOMPARE(played.count(), 1);
    QCOMPARE(played.at(0).at(0).toString(), missing);
}

QTEST_MAIN(TstAlarmAndLogModels)
#include "tst_alarm_and_log_models.moc"
