#include "alarm_fixture.h"
#include "history/damping_rules.h"
#include "history/flap_damper.h"

#include <QPointer>
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
const QString coolHotCool = QStringLiteral("email noc: cool, email noc: hot, email noc: cool");

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

QByteArray nested(const char* name, int depth)
{
    QByteArray open, close;
    for (int i = 0; i < depth; ++i) {
        open += QByteArray("<") + name + ">";
        close.prepend(QByteArray("</") + name + ">");
    }
    return open + close;
}

/// A monitor watching one PSU device on one host; its reactions and what
/// the damper reports go to one ordered trace.
class DampingFixture : public PsuFixture
{
public:
    DampingFixture()
        : PsuFixture(reactions)
    {
    }

    /// Follows @p damper's signals into the trace and its clock to nowMs.
    void attach(FlapDamper& damper)
    {
        damper.setClock([this] { return nowMs; });
        // A report about another parameter than temp is marked.
        auto of = [this](const Param* param) {
            return param == temp ? QString() : QStringLiteral("?");
        };
        QObject::connect(&damper, &FlapDamper::changeSuppressed, &damper,
                         [this, of](const Param* param, int state, int oldState) {
                             trace << QStringLiteral("suppressed %1 from %2%3")
                                          .arg(state)
                                          .arg(oldState)
                                          .arg(of(param));
                         });
        QObject::connect(&damper, &FlapDamper::flappingStarted, &damper,
                         [this, of](const Param* param) { trace << "flapping" + of(param); });
        QObject::connect(&damper, &FlapDamper::flappingStopped, &damper,
                         [this, of](const Param* param, int state) {
                             trace << QStringLiteral("stopped %1%2").arg(state).arg(of(param));
                         });
    }

    void run(FlapDamper* damper, const Steps& steps)
    {
        for (const Step& step : steps) {
            nowMs += step.advanceMs;
            if (step.value != Process)
                set("temp", step.value);
            else if (damper)
                damper->process();
        }
    }

    QString traced() const { return trace.join(QStringLiteral(", ")); }

    /// Whether the monitor's own connection to its reactions is in place;
    /// looked at by taking it and, when it was there, putting it back.
    bool direct() const
    {
        const char* signal = SIGNAL(paramStateChanged(const Param*, int, int));
        const char* slot = SLOT(stateChanged(const Param*, int, int));
        if (!QObject::disconnect(&monitor, signal, monitor.eventMonitor, slot))
            return false;
        QObject::connect(&monitor, signal, monitor.eventMonitor, slot);
        return true;
    }

    QStringList& trace = notifier.sent;
    const Param* temp = param(device, "temp");
    qint64 nowMs = 1000000;
};

} // namespace

Q_DECLARE_METATYPE(Step)
Q_DECLARE_METATYPE(Steps)
Q_DECLARE_METATYPE(const Param*)

class TstFlapDamper : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void mostSpecificRuleOfTheFileApplies();
    void fileWithoutGoodRulesInstallsNothing_data();
    void fileWithoutGoodRulesInstallsNothing();

    void dampsAsTheRulesSay_data();
    void dampsAsTheRulesSay();
    void timerActsWithoutBeingAsked();
    void damperTakesOnlyTheDirectPathAndGivesItBack();
    void removedDeviceIsForgotten();
};

void TstFlapDamper::initTestCase()
{
    qRegisterMetaType<const Param*>();
    qRegisterMetaType<const ParamCore*>();
}

void TstFlapDamper::mostSpecificRuleOfTheFileApplies()
{
    AlarmFixture fx;
    // Unknown content within the depth limit, however deep, is skipped.
    const QString path = writeDampingFile(dampingFile("<rule hold=\"1\">" + nested("note", 200) +
                                                      "</rule>" + nested("future", 250) + R"(
    <rule class="*" param="*" hold="9"/>
    <rule state="0" hold="1.5"/>
    <rule class="PSU" hold="2"/>
    <rule class="PSU" param="temp" state="*" hold="3"/>
    <rule class="PSU" param="temp" state="4" hold="4"/>
    <flapping class="PSU" changes="2" window="1"/>
    <flapping param="temp" changes="4" window="0.25"/>
    <flapping class="PSU" param="temp" changes="3" window="60"/>)"));
    QCOMPARE(QFileInfo(path).fileName(), QStringLiteral("tavo_flap_damping.xml.ini"));
    QCOMPARE(QFileInfo(path).dir().dirName(), QStringLiteral("tavo-client"));

    DampingRules rules;
    QVERIFY(rules.readFile());
    auto applied = [&rules](const char* deviceClass, const char* param, int state) {
        const auto* flapping = rules.flappingRule(deviceClass, param);
        return QStringLiteral("hold %1, ").arg(rules.holdMs(deviceClass, param, state)) +
            (flapping ? QStringLiteral("flapping %1 in %2")
                            .arg(flapping->changes)
                            .arg(flapping->windowMs)
                      : QStringLiteral("no flapping"));
    };
    // Exact; exact beating every state; class alone; a state of every class;
    // the first of equals; a parameter of every class.
    QCOMPARE((QStringList {applied("PSU", "temp", 4), applied("PSU", "temp", 2),
                           applied("PSU", "count", 2), applied("UPS", "x", 0),
                           applied("UPS", "x", -1), applied("UPS", "temp", 0)}),
             (QStringList {"hold 4000, flapping 3 in 60000", "hold 3000, flapping 3 in 60000",
                           "hold 2000, flapping 2 in 1000", "hold 1500, no flapping",
                           "hold 1000, no flapping", "hold 1500, flapping 4 in 250"}));
}

void TstFlapDamper::fileWithoutGoodRulesInstallsNothing_data()
{
    QTest::addColumn<QByteArray>("content"); // null: no file
    QTest::addColumn<QString>("reason"); // null: no error
    auto row = [](const char* name, const QByteArray& content, const char* reason) {
        QTest::newRow(name) << content << QString::fromLatin1(reason);
    };
    // Good rules first: they are dropped with the file.
    auto after = [](const QByteArray& bad) {
        return dampingFile(R"(<rule hold="5"/><flapping changes="2" window="9"/>)" + bad);
    };
    row("absent_file", QByteArray(), nullptr);
    row("no_rules", dampingFile(R"(<unknown hold="5"/>)"), nullptr);
    row("malformed", after(R"(<rule hold="5">)"), "");
    row("wrong_root", "<actionlist/>", "Not a flap damping file");
    row("hold_missing", after(R"(<rule class="PSU"/>)"),
        "the hold of a rule must be a number of seconds from 0 to 86400, not ''");
    row("hold_negative", after(R"(<rule hold="-1"/>)"), "not '-1'");
    row("hold_nan", after(R"(<rule hold="nan"/>)"), "not 'nan'");
    row("hold_too_long", after(R"(<rule hold="86401"/>)"), "not '86401'");
    row("state_out_of_range", after(R"(<rule state="8" hold="1"/>)"),
        "the state of a rule must be a number from -1 to 7, not '8'");
    row("state_not_a_number", after(R"(<rule state="hot" hold="1"/>)"), "not 'hot'");
    row("changes_zero", after(R"(<flapping changes="0" window="5"/>)"),
        "the changes of a flapping rule must be a number from 1 to 1000, not '0'");
    row("changes_too_many", after(R"(<flapping changes="1001" window="5"/>)"), "not '1001'");
    row("window_zero", after(R"(<flapping changes="3" window="0"/>)"),
        "the window of a flapping rule must be a number of seconds above 0 and at most 86400, "
        "not '0'");
    row("too_deep", after(nested("x", 300)), "Elements nested deeper than 256 levels");
}

void TstFlapDamper::fileWithoutGoodRulesInstallsNothing()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    DampingFixture fx;
    const QString path = content.isNull() ? QString() : writeDampingFile(content);
    QCOMPARE(path.isEmpty(), content.isNull());

    // Reading drops the rules added before.
    DampingRules rules;
    rules.addHoldRule({QStringLiteral("*"), QStringLiteral("*"), true, 0, 1000});
    QCOMPARE(rules.readFile(), reason.isNull());
    QVERIFY(rules.isEmpty());
    if (reason.isNull()) {
        QVERIFY(rules.errorString().isEmpty());
        QVERIFY(fx.log.entries().isEmpty());
    } else {
        QVERIFY2(rules.errorString().startsWith(
                     QStringLiteral("Failed to read the flap damping file %1 at line ").arg(path)),
                 qPrintable(rules.errorString()));
        QVERIFY(rules.errorString().endsWith(QStringLiteral("; flap damping is off")));
        QVERIFY2(rules.errorString().contains(reason), qPrintable(rules.errorString()));
        QCOMPARE(fx.log.errors(), QStringList {rules.errorString()});
    }

    // The reactions stay direct.
    QVERIFY(!FlapDamper::installFromUserFile(&fx.monitor));
    FlapDamper empty(DampingRules {});
    QVERIFY(!empty.install(&fx.monitor));
    QVERIFY(fx.direct());
    QVERIFY(fx.monitor.findChildren<FlapDamper*>().isEmpty());
    fx.run(nullptr, {{0, 1}, {0, 50}, {0, 1}});
    QCOMPARE(fx.traced(), coolHotCool);
    QCOMPARE(fx.log.events().size(), 3);
}

void TstFlapDamper::dampsAsTheRulesSay_data()
{
    QTest::addColumn<QByteArray>("rules");
    QTest::addColumn<Steps>("steps");
    QTest::addColumn<QString>("trace");
    auto row = [](const char* name, const QByteArray& rules, const Steps& steps,
                  const QString& trace) {
        QTest::newRow(name) << rules << steps << trace;
    };

    const QByteArray hold = R"(<rule class="PSU" param="temp" state="4" hold="5"/>)";
    row("excursion_shorter_than_hold", hold, {{0, 1}, {0, 50}, {2000, 1}, {10000, Process}},
        "email noc: cool, suppressed 4 from -1");
    row("state_that_holds_acts_once", hold,
        {{0, 1}, {0, 50}, {4999, Process}, {1, Process}, {9000, Process}},
        "email noc: cool, email noc: hot");
    row("held_state_acts_before_the_next_change", hold, {{0, 1}, {0, 50}, {6000, 1}}, coolHotCool);
    row("wildcards_hold_the_first_state_too", R"(<rule class="*" param="*" hold="5"/>)",
        {{0, 1}, {1000, 50}, {5000, Process}}, "suppressed -1 from -2, email noc: hot");
    row("specific_rule_beats_the_wildcard",
        R"(<rule hold="5"/><rule class="PSU" param="temp" state="4" hold="0"/>)",
        {{0, 1}, {1000, 50}}, "suppressed -1 from -2, email noc: hot");
    row("other_class_passes_through",
        R"(<rule class="PLAIN" hold="5"/><flapping class="PLAIN" changes="1" window="60"/>)",
        {{0, 1}, {0, 50}, {0, 1}}, coolHotCool);

    // K = 2: the third change within the window is flapping.
    const QByteArray flapping = R"(<flapping class="PSU" param="temp" changes="2" window="10"/>)";
    row("flapping_reacts_once_with_the_worst_state", flapping,
        {{0, 1}, {1000, 50}, {1000, 1}, {1000, 50}, {1000, 1}},
        "email noc: cool, email noc: hot, flapping, email noc: hot, suppressed 4 from -1, "
        "suppressed -1 from 4");
    row("steady_for_the_window_stops_and_resumes", flapping,
        {{0, 1}, {0, 50}, {0, 1}, {9999, Process}, {1, Process}, {0, 50}, {0, 1}},
        "email noc: cool, email noc: hot, flapping, email noc: hot, stopped -1, "
        "email noc: cool, email noc: hot, email noc: cool");
    row("stopped_in_the_state_acted_on_reacts_no_more", flapping,
        {{0, 1}, {0, 50}, {0, 1}, {1000, 50}, {10000, Process}},
        "email noc: cool, email noc: hot, flapping, email noc: hot, suppressed 4 from -1, "
        "stopped 4");
    row("changes_spread_wider_than_the_window_do_not_flap", flapping,
        {{0, 1}, {6000, 50}, {6000, 1}, {6000, 50}},
        "email noc: cool, email noc: hot, email noc: cool, email noc: hot");
    row("held_changes_flap_into_one_reaction",
        R"(<rule hold="5"/><flapping changes="3" window="60"/>)",
        {{0, 1}, {1000, 50}, {1000, 1}, {1000, 50}, {1000, 1}, {59000, Process}, {1000, Process}},
        "suppressed -1 from -2, suppressed 4 from -1, suppressed -1 from 4, flapping, "
        "email noc: hot, suppressed -1 from 4, stopped -1, email noc: cool");
}

void TstFlapDamper::dampsAsTheRulesSay()
{
    QFETCH(QByteArray, rules);
    QFETCH(Steps, steps);
    QFETCH(QString, trace);
    DampingFixture fx;
    QVERIFY(!writeDampingFile(dampingFile(rules)).isEmpty());
    FlapDamper* damper = FlapDamper::installFromUserFile(&fx.monitor);
    QVERIFY(damper);
    QCOMPARE(damper->parent(), &fx.monitor);
    // The damper takes the monitor's one connection to its reactions.
    QVERIFY(!fx.direct());
    fx.attach(*damper);

    fx.run(damper, steps);
    QCOMPARE(fx.traced(), trace);
    // Every reaction run is one line on the alarm log.
    QCOMPARE(fx.log.events().size(), trace.count(QStringLiteral("email")));
    QCOMPARE(damper->isFlapping(fx.temp),
             trace.contains(QStringLiteral("flapping")) &&
                 !trace.contains(QStringLiteral("stopped")));
}

void TstFlapDamper::timerActsWithoutBeingAsked()
{
    DampingFixture fx;
    DampingRules rules;
    rules.addHoldRule({QStringLiteral("PSU"), QStringLiteral("temp"), false, 4, 20});
    FlapDamper damper(rules);
    QVERIFY(damper.install(&fx.monitor));

    fx.set("temp", 1);
    fx.set("temp", 50);
    QCOMPARE(fx.traced(), QStringLiteral("email noc: cool"));
    QTRY_COMPARE(fx.traced(), QStringLiteral("email noc: cool, email noc: hot"));
}

void TstFlapDamper::damperTakesOnlyTheDirectPathAndGivesItBack()
{
    DampingFixture fx;
    DampingRules rules;
    rules.addHoldRule({QStringLiteral("*"), QStringLiteral("*"), true, 0, 5000});
    {
        FlapDamper damper(rules);
        QVERIFY(damper.install(&fx.monitor));
        QVERIFY(damper.install(&fx.monitor)); // once is enough
        QVERIFY(!fx.direct());
        fx.set("temp", 1);
        QVERIFY(fx.trace.isEmpty());
    } // the pending NORM goes with the damper
    QVERIFY(fx.direct());
    fx.set("temp", 50);
    fx.set("temp", 1);
    QCOMPARE(fx.traced(), QStringLiteral("email noc: hot, email noc: cool"));

    // Wiring that someone else changed is left alone.
    QObject::disconnect(&fx.monitor, nullptr, fx.monitor.eventMonitor, nullptr);
    FlapDamper damper(rules);
    QVERIFY(!damper.install(&fx.monitor));
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
    QVERIFY(damper.install(&fx.monitor));
    fx.attach(damper);
    fx.set("temp", 50); // pending
    fx.set("count", 5);
    fx.set("count", 1); // flapping
    QVERIFY(damper.isFlapping(fx.param(fx.device, "count")));

    QPointer<Device> device = fx.device;
    fx.engine->deviceDb()->removeDevice(device->DbEntity::name);
    QTRY_VERIFY(device.isNull());
    fx.trace.clear();
    fx.nowMs += 120000;
    damper.process();
    // Neither the pending change nor the end of the flapping is reported.
    QVERIFY(fx.trace.isEmpty());

    // A new device, perhaps at the same address, starts afresh.
    Device* again = AlarmFixture::addDevice(fx.engine, QStringLiteral("PSU"), 1, 5);
    QVERIFY(again);
    QVERIFY(!damper.isFlapping(fx.param(again, "count")));
}

QTEST_GUILESS_MAIN(TstFlapDamper)
#include "tst_flap_damper.moc"
