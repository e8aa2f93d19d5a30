#include "alarm_fixture.h"
#include "history/damping_rules.h"
#include "history/flap_damper.h"

#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

#include <limits>

namespace {

/// One step of a scenario: move the clock by advanceMs, then read value
/// into PSU/temp (above 10: WARNING, else NORM) or, for Process, only let
/// the damper run what has fallen due.
struct Step
{
    qint64 advanceMs;
    int value;
};
constexpr int Process = std::numeric_limits<int>::min();
using Steps = QVector<Step>;

/// Reactions: one e-mail per state of PSU/temp, so that every reaction run
/// shows in the notifier with its state.
const QByteArray reactions = R"(
  <new><events_or><event to="4" device="PSU" param="temp"/></events_or>
       <actions_and><action type="email" address="noc" text="hot"/></actions_and></new>
  <new><events_or><event to="-1" device="PSU" param="temp"/></events_or>
       <actions_and><action type="email" address="noc" text="cool"/></actions_and></new>
)";

QByteArray dampingFile(const QByteArray& body)
{
    return "<?xml version=\"1.0\"?>\n<flapdamping>\n" + body + "\n</flapdamping>\n";
}

QString writeDampingFile(const QByteArray& content)
{
    const QString path = DampingRules::dampingFilePath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return QString();
    return path;
}

QStringList texts(std::initializer_list<const char*> items)
{
    QStringList list;
    for (const char* item : items)
        list << QString::fromLatin1(item);
    return list;
}

QByteArray nested(const char* name, int depth)
{
    QByteArray open, close;
    for (int i = 0; i < depth; ++i) {
        open += QByteArray("<") + name + ">";
        close.prepend(QByteArray("</") + name + ">");
    }
    return open + close;
}

/// Everything the event monitor hands out and the damper reports, in one
/// ordered trace.
class TraceNotifier : public AlarmNotifier
{
public:
    explicit TraceNotifier(QStringList* trace)
        : m_trace(trace)
    {
    }
    void sendEmail(const QString&, const QString& text) override
    {
        *m_trace << QStringLiteral("react %1").arg(text);
    }
    void sendSms(const QString&, const QString& text) override
    {
        *m_trace << QStringLiteral("sms %1").arg(text);
    }
    void playSound(const QString&) override { }

private:
    QStringList* m_trace;
};

/// A monitor watching one PSU device on one host, reactions traced.
class DampingFixture : public AlarmFixture
{
public:
    DampingFixture()
        : traceNotifier(&trace)
    {
        writeActionList(reactions);
        engine = addEngine();
        monitor = std::make_unique<AlarmMonitor>(nullptr);
        monitor->eventMonitor->setNotifier(&traceNotifier);
        device = addDevice(engine, QStringLiteral("PSU"), 1, 5);
        temp = device->parametersByName.value(QStringLiteral("temp"));
        log.clear();
    }

    void read(int value)
    {
        engine->deviceDb()->setParamValue(5, AlarmFixture::codeOf(device, "temp"), value);
    }

    /// Follows @p damper's signals into the trace and its clock to nowMs.
    void attach(FlapDamper& damper)
    {
        damper.setClock([this] { return nowMs; });
        QObject::connect(&damper, &FlapDamper::changeSuppressed, &damper,
                         [this](const Param* param, int state, int oldState) {
                             trace << QStringLiteral("suppressed %1 from %2%3")
                                          .arg(state)
                                          .arg(oldState)
                                          .arg(param == temp ? QString() : QStringLiteral("?"));
                         });
        QObject::connect(&damper, &FlapDamper::flappingStarted, &damper,
                         [this](const Param* param) {
                             trace << QStringLiteral("flapping%1")
                                          .arg(param == temp ? QString() : QStringLiteral("?"));
                         });
        QObject::connect(&damper, &FlapDamper::flappingStopped, &damper,
                         [this](const Param* param, int state) {
                             trace << QStringLiteral("stopped %1%2")
                                          .arg(state)
                                          .arg(param == temp ? QString() : QStringLiteral("?"));
                         });
    }

    void run(FlapDamper* damper, const Steps& steps)
    {
        for (const Step& step : steps) {
            nowMs += step.advanceMs;
            if (step.value != Process)
                read(step.value);
            else if (damper)
                damper->process();
        }
    }

    /// Whether the monitor's own connection to its reactions is in place;
    /// looked at by taking it and, when it was there, putting it back.
    bool direct() const
    {
        const char* signal = SIGNAL(paramStateChanged(const Param*, int, int));
        const char* slot = SLOT(stateChanged(const Param*, int, int));
        if (!QObject::disconnect(monitor.get(), signal, monitor->eventMonitor, slot))
            return false;
        QObject::connect(monitor.get(), signal, monitor->eventMonitor, slot);
        return true;
    }

    QStringList trace;
    TraceNotifier traceNotifier;
    Engine* engine = nullptr;
    std::unique_ptr<AlarmMonitor> monitor;
    Device* device = nullptr;
    const Param* temp = nullptr;
    qint64 nowMs = 1000000;
};

const QStringList cool {QStringLiteral("react cool")};
const QStringList coolHotCool {QStringLiteral("react cool"), QStringLiteral("react hot"),
                               QStringLiteral("react cool")};

} // namespace

Q_DECLARE_METATYPE(Step)
Q_DECLARE_METATYPE(Steps)
Q_DECLARE_METATYPE(const Param*)

class TstFlapDamper : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void validFileIsRead();
    void holdFollowsTheMostSpecificRule_data();
    void holdFollowsTheMostSpecificRule();
    void flappingRuleFollowsTheMostSpecificRule_data();
    void flappingRuleFollowsTheMostSpecificRule();
    void brokenFileNamesTheFileAndGivesNoRules_data();
    void brokenFileNamesTheFileAndGivesNoRules();
    void deepUnknownContentIsSkipped();

    void withoutRulesNothingIsInstalled_data();
    void withoutRulesNothingIsInstalled();
    void dampsAsTheRulesSay_data();
    void dampsAsTheRulesSay();
    void timerActsWithoutBeingAsked();
    void uninstallRestoresTheDirectPath();
    void foreignWiringIsLeftAlone();
    void removedDeviceIsForgotten();
};

void TstFlapDamper::initTestCase()
{
    qRegisterMetaType<const Param*>();
    qRegisterMetaType<const ParamCore*>();
}

void TstFlapDamper::validFileIsRead()
{
    AlarmFixture fx;
    const QString path = writeDampingFile(dampingFile(R"(
    <rule class="PSU" param="temp" state="4" hold="5"/>
    <rule param="count" state="*" hold="0.25"/>
    <flapping class="*" param="*" changes="5" window="60"/>)"));
    QVERIFY(!path.isEmpty());
    QCOMPARE(QFileInfo(path).fileName(), QStringLiteral("tavo_flap_damping.xml.ini"));
    QCOMPARE(QFileInfo(path).dir().dirName(), QStringLiteral("tavo-client"));

    DampingRules rules;
    QVERIFY(rules.readFile());
    QVERIFY(rules.errorString().isEmpty());
    QStringList read;
    for (const DampingRules::HoldRule& r : rules.holdRules())
        read << QStringLiteral("hold %1 %2 %3 %4 %5")
                    .arg(r.deviceClass, r.param)
                    .arg(r.everyState)
                    .arg(r.everyState ? 0 : r.state)
                    .arg(r.holdMs);
    for (const DampingRules::FlappingRule& r : rules.flappingRules())
        read << QStringLiteral("flapping %1 %2 %3 %4")
                    .arg(r.deviceClass, r.param)
                    .arg(r.changes)
                    .arg(r.windowMs);
    QCOMPARE(read,
             texts({"hold PSU temp 0 4 5000", "hold * count 1 0 250", "flapping * * 5 60000"}));
    QVERIFY(fx.log.errors().isEmpty());
}

void TstFlapDamper::holdFollowsTheMostSpecificRule_data()
{
    QTest::addColumn<QString>("deviceClass");
    QTest::addColumn<QString>("param");
    QTest::addColumn<int>("state");
    QTest::addColumn<qint64>("holdMs");
    QTest::newRow("exact") << QStringLiteral("PSU") << QStringLiteral("temp") << 4 << qint64(4000);
    QTest::newRow("exact_beats_every_state")
        << QStringLiteral("PSU") << QStringLiteral("temp") << 2 << qint64(3000);
    QTest::newRow("param_wildcard")
        << QStringLiteral("PSU") << QStringLiteral("count") << 2 << qint64(2000);
    QTest::newRow("class_wildcard_with_state")
        << QStringLiteral("UPS") << QStringLiteral("x") << 0 << qint64(1500);
    QTest::newRow("all_wildcards")
        << QStringLiteral("UPS") << QStringLiteral("x") << 3 << qint64(1000);
    QTest::newRow("first_of_equals")
        << QStringLiteral("UPS") << QStringLiteral("x") << -1 << qint64(1000);
    QTest::newRow("state_outside_every_rule")
        << QStringLiteral("UPS") << QStringLiteral("x") << 9 << qint64(1000);
}

void TstFlapDamper::holdFollowsTheMostSpecificRule()
{
    QFETCH(QString, deviceClass);
    QFETCH(QString, param);
    QFETCH(int, state);
    QFETCH(qint64, holdMs);
    AlarmFixture fx;
    writeDampingFile(dampingFile(R"(
    <rule hold="1"/>
    <rule class="*" param="*" hold="9"/>
    <rule state="0" hold="1.5"/>
    <rule class="PSU" hold="2"/>
    <rule class="PSU" param="temp" hold="3"/>
    <rule class="PSU" param="temp" state="4" hold="4"/>)"));
    DampingRules rules;
    QVERIFY(rules.readFile());
    QCOMPARE(rules.holdMs(deviceClass, param, state), holdMs);
}

void TstFlapDamper::flappingRuleFollowsTheMostSpecificRule_data()
{
    QTest::addColumn<QString>("deviceClass");
    QTest::addColumn<QString>("param");
    QTest::addColumn<int>("changes"); // 0: no rule
    QTest::newRow("exact") << QStringLiteral("PSU") << QStringLiteral("temp") << 3;
    QTest::newRow("class") << QStringLiteral("PSU") << QStringLiteral("count") << 2;
    QTest::newRow("param") << QStringLiteral("UPS") << QStringLiteral("temp") << 4;
    QTest::newRow("none") << QStringLiteral("UPS") << QStringLiteral("x") << 0;
}

void TstFlapDamper::flappingRuleFollowsTheMostSpecificRule()
{
    QFETCH(QString, deviceClass);
    QFETCH(QString, param);
    QFETCH(int, changes);
    DampingRules rules;
    rules.addFlappingRule({QStringLiteral("PSU"), QStringLiteral("*"), 2, 1000});
    rules.addFlappingRule({QStringLiteral("*"), QStringLiteral("temp"), 4, 1000});
    rules.addFlappingRule({QStringLiteral("PSU"), QStringLiteral("temp"), 3, 1000});
    const DampingRules::FlappingRule* rule = rules.flappingRule(deviceClass, param);
    QCOMPARE(rule ? rule->changes : 0, changes);
}

void TstFlapDamper::brokenFileNamesTheFileAndGivesNoRules_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("reason");
    const QByteArray good = R"(<rule hold="5"/><flapping changes="2" window="9"/>)";
    QTest::newRow("malformed") << dampingFile(good + "<rule hold=\"5\">") << QString();
    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("wrong_root") << QByteArray("<actionlist/>")
                                << QStringLiteral("Not a flap damping file");
    QTest::newRow("hold_missing") << dampingFile(good + "<rule class=\"PSU\"/>")
                                  << QStringLiteral("the hold of a rule must be a number of "
                                                    "seconds from 0 to 86400, not ''");
    QTest::newRow("hold_negative")
        << dampingFile(good + "<rule hold=\"-1\"/>") << QStringLiteral("not '-1'");
    QTest::newRow("hold_nan") << dampingFile(good + "<rule hold=\"nan\"/>")
                              << QStringLiteral("not 'nan'");
    QTest::newRow("hold_too_long")
        << dampingFile(good + "<rule hold=\"86401\"/>") << QStringLiteral("not '86401'");
    QTest::newRow("state_out_of_range")
        << dampingFile(good + "<rule state=\"8\" hold=\"1\"/>")
        << QStringLiteral("the state of a rule must be a number from -1 to 7, not '8'");
    QTest::newRow("state_not_a_number")
        << dampingFile(good + "<rule state=\"hot\" hold=\"1\"/>") << QStringLiteral("not 'hot'");
    QTest::newRow("changes_zero")
        << dampingFile(good + "<flapping changes=\"0\" window=\"5\"/>")
        << QStringLiteral(
               "the changes of a flapping rule must be a number from 1 to 1000, not '0'");
    QTest::newRow("changes_too_many")
        << dampingFile(good + "<flapping changes=\"1001\" window=\"5\"/>")
        << QStringLiteral("not '1001'");
    QTest::newRow("window_zero") << dampingFile(good + "<flapping changes=\"3\" window=\"0\"/>")
                                 << QStringLiteral("the window of a flapping rule must be a number "
                                                   "of seconds above 0 and at most 86400, not '0'");
    QTest::newRow("window_missing")
        << dampingFile(good + "<flapping changes=\"3\"/>") << QStringLiteral("not ''");
    QTest::newRow("too_deep") << dampingFile(good + nested("x", 300))
                              << QStringLiteral("Elements nested deeper than 256 levels");
}

void TstFlapDamper::brokenFileNamesTheFileAndGivesNoRules()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    DampingFixture fx;
    const QString path = writeDampingFile(content);
    QVERIFY(!path.isEmpty());

    DampingRules rules;
    QVERIFY(!rules.readFile());
    QVERIFY(rules.isEmpty()); // the good rules before the error are dropped too
    QVERIFY2(rules.errorString().startsWith(
                 QStringLiteral("Failed to read the flap damping file %1 at line ").arg(path)),
             qPrintable(rules.errorString()));
    QVERIFY(rules.errorString().endsWith(QStringLiteral("; flap damping is off")));
    QVERIFY2(rules.errorString().contains(reason), qPrintable(rules.errorString()));
    QCOMPARE(fx.log.errors(), QStringList {rules.errorString()});

    // Such a file installs no damper: the reactions stay direct.
    QVERIFY(!FlapDamper::installFromUserFile(fx.monitor.get()));
    QVERIFY(fx.direct());
    fx.run(nullptr, {{0, 1}, {0, 50}, {0, 1}});
    QCOMPARE(fx.trace, coolHotCool);
}

void TstFlapDamper::deepUnknownContentIsSkipped()
{
    AlarmFixture fx;
    writeDampingFile(dampingFile("<rule hold=\"1\">" + nested("note", 200) + "</rule>" +
                                 nested("future", 250) + "<rule hold=\"2\"/>"));
    DampingRules rules;
    QVERIFY2(rules.readFile(), qPrintable(rules.errorString()));
    QCOMPARE(rules.holdRules().size(), 2);
    QCOMPARE(rules.holdRules().at(1).holdMs, qint64(2000));
}

void TstFlapDamper::withoutRulesNothingIsInstalled_data()
{
    QTest::addColumn<bool>("writeFile");
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("absent_file") << false << QByteArray();
    QTest::newRow("no_rules") << true << dampingFile("<unknown hold=\"5\"/>");
}

void TstFlapDamper::withoutRulesNothingIsInstalled()
{
    QFETCH(bool, writeFile);
    QFETCH(QByteArray, content);
    DampingFixture fx;
    if (writeFile)
        QVERIFY(!writeDampingFile(content).isEmpty());
    QVERIFY(fx.direct());
    // Reading drops rules added before; no file is no error.
    DampingRules rules;
    rules.addHoldRule({QStringLiteral("*"), QStringLiteral("*"), true, 0, 1000});
    QVERIFY(rules.readFile());
    QVERIFY(rules.isEmpty());
    QVERIFY(rules.errorString().isEmpty());
    QVERIFY(fx.log.entries().isEmpty());

    QVERIFY(!FlapDamper::installFromUserFile(fx.monitor.get()));
    FlapDamper empty(DampingRules {});
    QVERIFY(!empty.install(fx.monitor.get()));
    QVERIFY(!empty.isInstalled());
    QVERIFY(fx.direct());
    QVERIFY(fx.monitor->findChildren<FlapDamper*>().isEmpty());

    fx.run(nullptr, {{0, 1}, {0, 50}, {0, 1}});
    QCOMPARE(fx.trace, coolHotCool);
    QCOMPARE(fx.log.events().size(), 3);
}

void TstFlapDamper::dampsAsTheRulesSay_data()
{
    QTest::addColumn<QByteArray>("rules");
    QTest::addColumn<Steps>("steps");
    QTest::addColumn<QStringList>("trace");

    const QByteArray holdWarning = R"(<rule class="PSU" param="temp" state="4" hold="5"/>)";
    QTest::newRow("excursion_shorter_than_hold")
        << holdWarning << Steps {{0, 1}, {0, 50}, {2000, 1}, {10000, Process}}
        << QStringList {QStringLiteral("react cool"), QStringLiteral("suppressed 4 from -1")};
    QTest::newRow("state_that_holds_acts_once")
        << holdWarning << Steps {{0, 1}, {0, 50}, {4999, Process}, {1, Process}, {9000, Process}}
        << QStringList {QStringLiteral("react cool"), QStringLiteral("react hot")};
    QTest::newRow("held_state_acts_before_the_next_change")
        << holdWarning << Steps {{0, 1}, {0, 50}, {6000, 1}} << coolHotCool;
    QTest::newRow("wildcards_hold_the_first_state_too")
        << QByteArray(R"(<rule class="*" param="*" hold="5"/>)")
        << Steps {{0, 1}, {1000, 50}, {5000, Process}}
        << QStringList {QStringLiteral("suppressed -1 from -2"), QStringLiteral("react hot")};
    QTest::newRow("specific_rule_beats_the_wildcard")
        << QByteArray(R"(<rule hold="5"/><rule class="PSU" param="temp" state="4" hold="0"/>)")
        << Steps {{0, 1}, {1000, 50}}
        << QStringList {QStringLiteral("suppressed -1 from -2"), QStringLiteral("react hot")};
    QTest::newRow("other_class_passes_through")
        << QByteArray(
               R"(<rule class="PLAIN" hold="5"/><flapping class="PLAIN" changes="1" window="60"/>)")
        << Steps {{0, 1}, {0, 50}, {0, 1}} << coolHotCool;

    // K = 2: the third change within the window is flapping.
    const QByteArray flapping = R"(<flapping class="PSU" param="temp" changes="2" window="10"/>)";
    QTest::newRow("flapping_reacts_once_with_the_worst_state")
        << flapping << Steps {{0, 1}, {1000, 50}, {1000, 1}, {1000, 50}, {1000, 1}}
        << QStringList {QStringLiteral("react cool"),
                        QStringLiteral("react hot"),
                        QStringLiteral("flapping"),
                        QStringLiteral("react hot"),
                        QStringLiteral("suppressed 4 from -1"),
                        QStringLiteral("suppressed -1 from 4")};
    QTest::newRow("steady_for_the_window_stops_and_resumes")
        << flapping
        << Steps {{0, 1}, {0, 50}, {0, 1}, {9999, Process}, {1, Process}, {0, 50}, {0, 1}}
        << QStringList {QStringLiteral("react cool"), QStringLiteral("react hot"),
                        QStringLiteral("flapping"),   QStringLiteral("react hot"),
                        QStringLiteral("stopped -1"), QStringLiteral("react cool"),
                        QStringLiteral("react hot"),  QStringLiteral("react cool")};
    QTest::newRow("stopped_in_the_state_acted_on_reacts_no_more")
        << flapping << Steps {{0, 1}, {0, 50}, {0, 1}, {1000, 50}, {10000, Process}}
        << QStringList {QStringLiteral("react cool"),
                        QStringLiteral("react hot"),
                        QStringLiteral("flapping"),
                        QStringLiteral("react hot"),
                        QStringLiteral("suppressed 4 from -1"),
                        QStringLiteral("stopped 4")};
    QTest::newRow("changes_spread_wider_than_the_window_do_not_flap")
        << flapping << Steps {{0, 1}, {6000, 50}, {6000, 1}, {6000, 50}}
        << QStringList {QStringLiteral("react cool"), QStringLiteral("react hot"),
                        QStringLiteral("react cool"), QStringLiteral("react hot")};
    QTest::newRow("held_changes_flap_into_one_reaction")
        << QByteArray(R"(<rule hold="5"/><flapping changes="3" window="60"/>)")
        << Steps {{0, 1},    {1000, 50},       {1000, 1},      {1000, 50},
                  {1000, 1}, {59000, Process}, {1000, Process}}
        << QStringList {QStringLiteral("suppressed -1 from -2"),
                        QStringLiteral("suppressed 4 from -1"),
                        QStringLiteral("suppressed -1 from 4"),
                        QStringLiteral("flapping"),
                        QStringLiteral("react hot"),
                        QStringLiteral("suppressed -1 from 4"),
                        QStringLiteral("stopped -1"),
                        QStringLiteral("react cool")};
}

void TstFlapDamper::dampsAsTheRulesSay()
{
    QFETCH(QByteArray, rules);
    QFETCH(Steps, steps);
    QFETCH(QStringList, trace);
    DampingFixture fx;
    QVERIFY(!writeDampingFile(dampingFile(rules)).isEmpty());
    FlapDamper* damper = FlapDamper::installFromUserFile(fx.monitor.get());
    QVERIFY(damper);
    QCOMPARE(damper->parent(), fx.monitor.get());
    // The damper takes the monitor's one connection to its reactions.
    QVERIFY(!fx.direct());
    fx.attach(*damper);
    QSignalSpy started(damper, &FlapDamper::flappingStarted);

    fx.run(damper, steps);
    QCOMPARE(fx.trace, trace);
    // Every reaction run is one line on the alarm log.
    QCOMPARE(fx.log.events().size(), trace.filter(QStringLiteral("react")).size());
    if (!started.isEmpty())
        QCOMPARE(started.at(0).at(0).value<const Param*>(), fx.temp);
    QCOMPARE(damper->isFlapping(fx.temp),
             trace.contains(QStringLiteral("flapping")) &&
                 !trace.filter(QStringLiteral("stopped")).size());
}

void TstFlapDamper::timerActsWithoutBeingAsked()
{
    DampingFixture fx;
    DampingRules rules;
    rules.addHoldRule({QStringLiteral("PSU"), QStringLiteral("temp"), false, 4, 20});
    // Wide enough that the first and the third change fall within it on a
    // slow machine, short enough to wait for.
    rules.addFlappingRule({QStringLiteral("PSU"), QStringLiteral("temp"), 2, 3000});
    FlapDamper damper(rules);
    QVERIFY(damper.install(fx.monitor.get()));
    QSignalSpy stopped(&damper, &FlapDamper::flappingStopped);

    fx.read(1);
    fx.read(50);
    QCOMPARE(fx.trace, cool);
    QTRY_COMPARE(fx.trace,
                 QStringList({QStringLiteral("react cool"), QStringLiteral("react hot")}));

    fx.read(1); // the third change within the window
    QVERIFY(damper.isFlapping(fx.temp));
    fx.read(50);
    QTRY_COMPARE_WITH_TIMEOUT(stopped.count(), 1, 15000);
    QCOMPARE(stopped.at(0).at(1).toInt(), 4);
    QVERIFY(!damper.isFlapping(fx.temp));
}

void TstFlapDamper::uninstallRestoresTheDirectPath()
{
    DampingFixture fx;
    DampingRules rules;
    rules.addHoldRule({QStringLiteral("*"), QStringLiteral("*"), true, 0, 5000});
    {
        FlapDamper damper(rules);
        QVERIFY(damper.install(fx.monitor.get()));
        QVERIFY(damper.install(fx.monitor.get())); // once is enough
        QVERIFY(!fx.direct());
        fx.read(1);
        QVERIFY(fx.trace.isEmpty());
    } // the pending NORM goes with the damper
    QVERIFY(fx.direct());
    fx.read(50);
    fx.read(1);
    QCOMPARE(fx.trace, QStringList({QStringLiteral("react hot"), QStringLiteral("react cool")}));
}

void TstFlapDamper::foreignWiringIsLeftAlone()
{
    DampingFixture fx;
    QObject::disconnect(fx.monitor.get(), nullptr, fx.monitor->eventMonitor, nullptr);
    DampingRules rules;
    rules.addHoldRule({QStringLiteral("*"), QStringLiteral("*"), true, 0, 5000});
    FlapDamper damper(rules);
    QVERIFY(!damper.install(fx.monitor.get()));
    QCOMPARE(fx.log.warnings(),
             QStringList {QStringLiteral("[FlapDamper] The alarm reactions are not connected to "
                                         "the alarm monitor directly; flap damping is not "
                                         "installed")});
    QVERIFY(!fx.direct());
}

void TstFlapDamper::removedDeviceIsForgotten()
{
    DampingFixture fx;
    DampingRules rules;
    rules.addHoldRule({QStringLiteral("*"), QStringLiteral("*"), true, 0, 5000});
    rules.addFlappingRule({QStringLiteral("*"), QStringLiteral("count"), 1, 60000});
    FlapDamper damper(rules);
    QVERIFY(damper.install(fx.monitor.get()));
    fx.attach(damper);
    QSignalSpy stopped(&damper, &FlapDamper::flappingStopped);
    DeviceDb* db = fx.engine->deviceDb();
    const int count = AlarmFixture::codeOf(fx.device, "count");
    fx.read(50); // pending
    db->setParamValue(5, count, 5);
    db->setParamValue(5, count, 1); // flapping
    QVERIFY(damper.isFlapping(fx.device->parametersByName.value(QStringLiteral("count"))));

    QPointer<Device> device = fx.device;
    db->removeDevice(device->DbEntity::name);
    QTRY_VERIFY(device.isNull());
    fx.trace.clear();
    fx.nowMs += 120000;
    damper.process();
    QVERIFY(fx.trace.isEmpty());
    QCOMPARE(stopped.count(), 0);

    // A new device, perhaps at the same address, starts afresh.
    Device* again = AlarmFixture::addDevice(fx.engine, QStringLiteral("PSU"), 1, 5);
    QVERIFY(again);
    const Param* count2 = again->parametersByName.value(QStringLiteral("count"));
    QVERIFY(!damper.isFlapping(count2));
}

QTEST_GUILESS_MAIN(TstFlapDamper)
#include "tst_flap_damper.moc"
