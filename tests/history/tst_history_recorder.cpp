#include "alarm_fixture.h"
#include "history/damping_rules.h"
#include "history/flap_damper.h"
#include "history/history_recorder.h"
#include "history/history_store.h"
#include "history_records.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

namespace {

/// A host with a PSU watched by an alarm monitor, and a history store in a
/// temporary file.
struct RecorderFixture : PsuFixture
{
    explicit RecorderFixture(const QByteArray& actions = QByteArray())
        : PsuFixture(actions)
    {
        store.setFlushInterval(20);
        ok = tmp.isValid() && store.open(tmp.filePath(QStringLiteral("history.sqlite")));
        log.clear();
    }

    QTemporaryDir tmp;
    HistoryStore store;
    HistoryRecorder recorder {&store};
    bool ok = false;
};

} // namespace

class TstHistoryRecorder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void stateChangesAndConnectionsCarryTheirHost();
    void writesCarryUserAndBothValues_data();
    void writesCarryUserAndBothValues();
    void reactionsBelongToTheirStateChange();
    void reactionsOutsideAChangeStandAlone();
    void heldBackAndFlappingChangesAreRecorded();
};

void TstHistoryRecorder::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    qRegisterMetaType<const ParamCore*>();
}

void TstHistoryRecorder::stateChangesAndConnectionsCarryTheirHost()
{
    RecorderFixture fx;
    QVERIFY(fx.ok);
    fx.recorder.watch(&fx.monitor);
    fx.recorder.watch(&fx.box);
    QSignalSpy alarms(&fx.store, &HistoryStore::activeAlarmsChanged);
    fx.set("temp", 11);
    fx.set("temp", 12); // same state: not a change
    QTRY_COMPARE(alarms.count(), 1);
    QCOMPARE(alarmsOf(fx.store.activeAlarms()),
             QStringList {"1|10.0.0.1:7000|host1|PSU_0001|temp|4|0||-1|"});

    fx.set("temp", 3);
    // An engine added after the watch began is followed too.
    Engine* engine = fx.addEngine(QStringLiteral("127.0.0.1"), 9, 7009);
    Q_EMIT engine->signalSocketConnected(9);
    Q_EMIT engine->signalSocketDisconnected(9);
    const QList<HistoryRecord> records = fx.store.query(HistoryFilter());
    const QString host9 = QStringLiteral("|9|127.0.0.1:7009|host9|||-1|-1|||");
    QCOMPARE(
        rowsOf(records),
        (QStringList {"3" + host9, "2" + host9, "0|1|10.0.0.1:7000|host1|PSU_0001|temp|-1|4|||",
                      "0|1|10.0.0.1:7000|host1|PSU_0001|temp|4|-2|||"}));
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    QVERIFY(records.last().timeMs <= now && records.last().timeMs > now - 60000);
    QVERIFY(fx.store.activeAlarms().isEmpty());
    // The event monitor's missing action list is not the history's business.
    const QStringList historyErrors =
        fx.log.errors().filter(QRegularExpression(QStringLiteral("^\\[History")));
    QVERIFY2(historyErrors.isEmpty(), qPrintable(historyErrors.join(QLatin1Char('\n'))));
}

void TstHistoryRecorder::writesCarryUserAndBothValues_data()
{
    QTest::addColumn<bool>("deviceBeforeWatch");
    QTest::addColumn<QString>("param");
    QTest::addColumn<QString>("readBefore");
    QTest::addColumn<QString>("written");

    auto row = [](const char* name, bool before, const char* param, const char* read,
                  const char* written) {
        QTest::newRow(name) << before << QString::fromLatin1(param) << QString::fromLatin1(read)
                            << QString::fromLatin1(written);
    };
    row("uint_new_device", false, "count", "7", "9");
    row("uint_existing_device", true, "count", "7", "9");
    row("int_never_read", false, "temp", "", "-5");
    row("asciiz", true, "label", "old", "new");
}

void TstHistoryRecorder::writesCarryUserAndBothValues()
{
    QFETCH(bool, deviceBeforeWatch);
    QFETCH(QString, param);
    QFETCH(QString, readBefore);
    QFETCH(QString, written);

    RecorderFixture fx;
    QVERIFY(fx.ok);
    fx.recorder.watch(&fx.box);
    fx.recorder.setUser(QStringLiteral("ivanov"));
    const int code = deviceBeforeWatch ? 5 : 6;
    Device* device = deviceBeforeWatch
        ? fx.device
        : AlarmFixture::addDevice(fx.engine, QStringLiteral("PSU"), 2, code);
    QVERIFY(device);
    DeviceDb* db = fx.engine->deviceDb();
    Param* target = device->parametersByName.value(param);
    QVERIFY(target);
    const bool numeric = target->isNumericType();
    if (!readBefore.isEmpty()) {
        if (numeric)
            db->setParamValue(code, target->code, readBefore.toULong());
        else
            db->setParamStringValue(code, target->code, readBefore.toUtf8().toHex());
    }
    if (numeric)
        QVERIFY(db->writeQuery(device->name, param, (unsigned long)Tavo::intToWord(written.toInt()),
                               false));
    else
        QVERIFY(db->writeQuery(device->name, param, written, false));

    // The value read before, or nothing when none was.
    QCOMPARE(rowsOf(fx.store.query(kinds({HistoryRecord::Write}))),
             QStringList {QStringLiteral("1|1|10.0.0.1:7000|host1|PSU_000%1|%2|-1|-1|%3|%4|ivanov")
                              .arg(deviceBeforeWatch ? 1 : 2)
                              .arg(param, written, readBefore)});
}

void TstHistoryRecorder::reactionsBelongToTheirStateChange()
{
    RecorderFixture fx(R"(
  <new>
    <events_or><event to="4" device="PSU" param="temp"/></events_or>
    <actions_and>
      <action type="sms" address="+7000" text="call"/><action type="terminal"/>
      <action type="email" address="noc@example.net" text="hot"/>
    </actions_and>
  </new>)");
    QVERIFY(fx.ok);
    // As the client does, the notices sent are told to the history.
    fx.notifier.forward = [&fx](const QString& kind, const QString& to) {
        fx.recorder.recordReaction(kind, to);
    };
    fx.recorder.watch(&fx.box);
    fx.recorder.watch(&fx.monitor);
    fx.set("temp", 11);

    // Newest first: the reactions follow the change they belong to, at its time.
    const QList<HistoryRecord> records = fx.store.query(HistoryFilter());
    const QString change = QStringLiteral("|1|10.0.0.1:7000|host1|PSU_0001|temp|4|-2|");
    QCOMPARE(rowsOf(records),
             (QStringList {"4" + change + "sound: /sounds/warning.wav||",
                           "4" + change + "email: noc@example.net||", "4" + change + "terminal||",
                           "4" + change + "sms: +7000||", "0" + change + "||"}));
    for (const HistoryRecord& r : records)
        QCOMPARE(r.timeMs, records.last().timeMs);
}

void TstHistoryRecorder::reactionsOutsideAChangeStandAlone()
{
    RecorderFixture fx;
    QVERIFY(fx.ok);
    fx.recorder.setUser(QStringLiteral("operator"));
    fx.recorder.recordReaction(QStringLiteral("email"), QStringLiteral("a@b.c"));
    fx.recorder.recordReaction(QStringLiteral("sms"), QStringLiteral("+1"),
                               fx.param(fx.device, "count"), 2);
    const HistoryFilter reactions = kinds({HistoryRecord::Reaction});
    QTRY_COMPARE(fx.store.query(reactions).size(), 2);
    // Both may share a millisecond: order them by what they say.
    QStringList rows = rowsOf(fx.store.query(reactions));
    std::sort(rows.begin(), rows.end());
    QCOMPARE(rows,
             (QStringList {"4|-1|||||-1|-1|email: a@b.c||operator",
                           "4|1|10.0.0.1:7000|host1|PSU_0001|count|2|-1|sms: +1||operator"}));
}

void TstHistoryRecorder::heldBackAndFlappingChangesAreRecorded()
{
    RecorderFixture fx;
    QVERIFY(fx.ok);
    DampingRules rules;
    // Long enough that nothing falls due while the test runs.
    rules.addHoldRule({QStringLiteral("PSU"), QStringLiteral("temp"), false, 4, 600000});
    rules.addFlappingRule({QStringLiteral("PSU"), QStringLiteral("temp"), 2, 600000});
    FlapDamper damper(rules);
    QVERIFY(damper.install(&fx.monitor));
    fx.recorder.watch(&damper);

    fx.set("temp", 11);
    fx.set("temp", 3); // gave way before its hold time
    fx.set("temp", 11); // the third change within the window
    QVERIFY(damper.isFlapping(fx.device->parametersByName.value(QStringLiteral("temp"))));
    // Newest first: the flapping, then the warning that gave way to NORM.
    QCOMPARE(rowsOf(fx.store.query(kinds({HistoryRecord::Suppressed, HistoryRecord::Flapping}))),
             (QStringList {"6|1|10.0.0.1:7000|host1|PSU_0001|temp|-1|-1|||",
                           "7|1|10.0.0.1:7000|host1|PSU_0001|temp|4|-2|||"}));
}

QTEST_GUILESS_MAIN(TstHistoryRecorder)
#include "tst_history_recorder.moc"
