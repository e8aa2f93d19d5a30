#include "alarm_fixture.h"
#include "connections/protocol_manager.h"
#include "history/history_recorder.h"
#include "history/history_store.h"
#include "history_records.h"

#include <QFileInfo>
#include <QPointer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

namespace {

/// The client's notifier: it delivers nothing and tells the recorder what it did.
class ForwardingNotifier : public AlarmNotifier
{
public:
    explicit ForwardingNotifier(HistoryRecorder* recorder)
        : m_recorder(recorder)
    {
    }
    void sendEmail(const QString& address, const QString&) override
    {
        m_recorder->recordReaction(QStringLiteral("email"), address);
    }
    void sendSms(const QString& address, const QString&) override
    {
        m_recorder->recordReaction(QStringLiteral("sms"), address);
    }
    void playSound(const QString& fileName) override
    {
        m_recorder->recordReaction(QStringLiteral("sound"), QFileInfo(fileName).fileName());
    }

private:
    HistoryRecorder* m_recorder;
};

/// A kernel with alarm parameters and a history store in a temporary file.
struct RecorderFixture : AlarmFixture
{
    RecorderFixture()
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
    void stateChangesCarryTheirHost();
    void writesCarryUserAndBothValues_data();
    void writesCarryUserAndBothValues();
    void connectionsOfLaterEnginesAreRecorded();
    void reactionsBelongToTheirStateChange();
    void reactionsOutsideAChangeStandAlone();
};

void TstHistoryRecorder::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    qRegisterMetaType<const ParamCore*>();
}

void TstHistoryRecorder::stateChangesCarryTheirHost()
{
    RecorderFixture fx;
    QVERIFY(fx.ok);
    Engine* engine = fx.addEngine();
    AlarmMonitor monitor(nullptr);
    fx.silence(monitor);
    fx.recorder.watch(&monitor);
    Device* device = AlarmFixture::addDevice(engine, QStringLiteral("PSU"), 1, 5);
    QVERIFY(device);
    DeviceDb* db = engine->deviceDb();
    const int code = AlarmFixture::codeOf(device, "temp");

    db->setParamValue(5, code, 11);
    db->setParamValue(5, code, 12); // same state: not a change
    QSignalSpy alarms(&fx.store, &HistoryStore::activeAlarmsChanged);
    QTRY_COMPARE(alarms.count(), 1);
    QList<ActiveAlarm> active = fx.store.activeAlarms();
    QCOMPARE(active.size(), 1);
    QCOMPARE(active.at(0).state, 4);
    QCOMPARE(active.at(0).device, QStringLiteral("PSU_0001"));

    db->setParamValue(5, code, 3);
    const QList<HistoryRecord> changes = fx.store.query(kinds({HistoryRecord::StateChange}));
    QCOMPARE(changes.size(), 2);
    const HistoryRecord& last = changes.at(0);
    QCOMPARE(last.state, -1);
    QCOMPARE(last.oldState, 4);
    QCOMPARE(changes.at(1).state, 4);
    QCOMPARE(changes.at(1).oldState, -2);
    QCOMPARE(last.hostKey, 1);
    QCOMPARE(last.hostAddress, QStringLiteral("10.0.0.1:7000"));
    QCOMPARE(last.hostName, QStringLiteral("host1"));
    QCOMPARE(last.device, QStringLiteral("PSU_0001"));
    QCOMPARE(last.param, QStringLiteral("temp"));
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    QVERIFY(last.timeMs <= now && last.timeMs > now - 60000);
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
    Engine* engine = fx.addEngine();
    Device* device = nullptr;
    if (deviceBeforeWatch)
        device = AlarmFixture::addDevice(engine, QStringLiteral("PSU"), 2, 6);
    fx.recorder.watch(&fx.box);
    fx.recorder.setUser(QStringLiteral("ivanov"));
    if (!deviceBeforeWatch)
        device = AlarmFixture::addDevice(engine, QStringLiteral("PSU"), 2, 6);
    QVERIFY(device);
    DeviceDb* db = engine->deviceDb();
    Param* target = device->parametersByName.value(param);
    QVERIFY(target);
    const bool numeric = target->isNumericType();
    if (!readBefore.isEmpty()) {
        if (numeric)
            db->setParamValue(6, target->code, readBefore.toULong());
        else
            db->setParamStringValue(6, target->code, readBefore.toUtf8().toHex());
    }
    if (numeric)
        QVERIFY(db->writeQuery(device->name, param, (unsigned long)Tavo::intToWord(written.toInt()),
                               false));
    else
        QVERIFY(db->writeQuery(device->name, param, written, false));

    const QList<HistoryRecord> writes = fx.store.query(kinds({HistoryRecord::Write}));
    QCOMPARE(writes.size(), 1);
    const HistoryRecord& r = writes.at(0);
    QCOMPARE(r.user, QStringLiteral("ivanov"));
    QCOMPARE(r.hostKey, 1);
    QCOMPARE(r.hostAddress, QStringLiteral("10.0.0.1:7000"));
    QCOMPARE(r.device, QStringLiteral("PSU_0002"));
    QCOMPARE(r.param, param);
    // The value read before, or nothing when none was.
    QCOMPARE(r.oldText, readBefore);
    QCOMPARE(r.text, written);
}

void TstHistoryRecorder::connectionsOfLaterEnginesAreRecorded()
{
    RecorderFixture fx;
    QVERIFY(fx.ok);
    ProtocolManager manager;
    manager.loadPlugins(QStringLiteral(TAVO_TEST_PROTOCOLS_DIR "/good"));
    share::protocolManager = &manager;
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    QPointer<QTcpSocket> peer;
    connect(&server, &QTcpServer::newConnection, this,
            [&] { peer = server.nextPendingConnection(); });

    fx.recorder.watch(&fx.box);
    fx.nodes.emplace_back(std::make_unique<NodeAttr>(
        9, 0, QStringLiteral("switch-9"), QStringLiteral("none"), QStringLiteral("127.0.0.1"),
        QStringLiteral("test-tcp"), server.serverPort(), nullptr));
    Engine* engine = fx.box.createEngine(fx.nodes.back().get());
    QVERIFY(engine);
    engine->connectToHost();
    const HistoryFilter connections =
        kinds({HistoryRecord::Connected, HistoryRecord::Disconnected});
    QTRY_COMPARE(fx.store.query(connections).size(), 1);
    QTRY_VERIFY(peer);
    peer->disconnectFromHost();
    QTRY_COMPARE(fx.store.query(connections).size(), 2);

    const QList<HistoryRecord> records = fx.store.query(connections);
    QCOMPARE(records.at(0).kind, HistoryRecord::Disconnected);
    QCOMPARE(records.at(1).kind, HistoryRecord::Connected);
    for (const HistoryRecord& r : records) {
        QCOMPARE(r.hostKey, 9);
        QCOMPARE(r.hostName, QStringLiteral("switch-9"));
        QCOMPARE(r.hostAddress, QStringLiteral("127.0.0.1:%1").arg(server.serverPort()));
        QVERIFY(r.device.isEmpty());
    }
    fx.box.deleteEngine(engine);
    share::protocolManager = nullptr;
}

void TstHistoryRecorder::reactionsBelongToTheirStateChange()
{
    RecorderFixture fx;
    QVERIFY(fx.ok);
    fx.writeActionList(R"(
  <new>
    <events_or><event to="4" device="PSU" param="temp"/></events_or>
    <actions_and>
      <action type="sms" address="+7000" text="call"/><action type="terminal"/>
      <action type="email" address="noc@example.net" text="hot"/>
    </actions_and>
  </new>)");
    Engine* engine = fx.addEngine();
    AlarmMonitor monitor(nullptr);
    ForwardingNotifier notifier(&fx.recorder);
    monitor.eventMonitor->setNotifier(&notifier);
    fx.recorder.watch(&fx.box);
    fx.recorder.watch(&monitor);
    Device* device = AlarmFixture::addDevice(engine, QStringLiteral("PSU"), 1, 5);
    QVERIFY(device);
    engine->deviceDb()->setParamValue(5, AlarmFixture::codeOf(device, "temp"), 11);

    const QList<HistoryRecord> records = fx.store.query(HistoryFilter());
    QStringList texts;
    for (const HistoryRecord& r : records) {
        texts << r.text;
        QCOMPARE(r.hostKey, 1);
        QCOMPARE(r.hostName, QStringLiteral("host1"));
        QCOMPARE(r.device, QStringLiteral("PSU_0001"));
        QCOMPARE(r.param, QStringLiteral("temp"));
        QCOMPARE(r.state, 4);
        QCOMPARE(r.oldState, -2);
        QCOMPARE(r.timeMs, records.last().timeMs);
    }
    // Newest first: the reactions follow the change they belong to.
    QCOMPARE(texts,
             (QStringList {QStringLiteral("sound: warning.wav"),
                           QStringLiteral("email: noc@example.net"), QStringLiteral("terminal"),
                           QStringLiteral("sms: +7000"), QString()}));
    QCOMPARE(records.last().kind, HistoryRecord::StateChange);
    QCOMPARE(records.first().kind, HistoryRecord::Reaction);
}

void TstHistoryRecorder::reactionsOutsideAChangeStandAlone()
{
    RecorderFixture fx;
    QVERIFY(fx.ok);
    Engine* engine = fx.addEngine();
    Device* device = AlarmFixture::addDevice(engine, QStringLiteral("PSU"), 1, 5);
    fx.recorder.setUser(QStringLiteral("operator"));

    fx.recorder.recordReaction(QStringLiteral("email"), QStringLiteral("a@b.c"));
    fx.recorder.recordReaction(QStringLiteral("sms"), QStringLiteral("+1"),
                               device->parametersByName.value(QStringLiteral("count")), 2);
    const HistoryFilter reactions = kinds({HistoryRecord::Reaction});
    QTRY_COMPARE(fx.store.query(reactions).size(), 2);
    QList<HistoryRecord> records = fx.store.query(reactions);
    // Both may share a millisecond: order them by what they say.
    std::sort(records.begin(), records.end(),
              [](const HistoryRecord& a, const HistoryRecord& b) { return a.text < b.text; });
    QCOMPARE(records.at(0).text, QStringLiteral("email: a@b.c"));
    QCOMPARE(records.at(0).hostKey, -1);
    QVERIFY(records.at(0).device.isEmpty());
    QCOMPARE(records.at(0).user, QStringLiteral("operator"));
    QCOMPARE(records.at(1).text, QStringLiteral("sms: +1"));
    QCOMPARE(records.at(1).device, QStringLiteral("PSU_0001"));
    QCOMPARE(records.at(1).param, QStringLiteral("count"));
    QCOMPARE(records.at(1).state, 2);
    QCOMPARE(records.at(1).user, QStringLiteral("operator"));
}

QTEST_GUILESS_MAIN(TstHistoryRecorder)
#include "tst_history_recorder.moc"
