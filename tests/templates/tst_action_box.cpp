#include "action_dump.h"
#include "hosts_fixture.h"
#include "templates/action_box.h"
#include "templates/sax_template_parser.h"

#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

#include <memory>
#include <tuple>

namespace {

Action* makeAction(const QString& deviceClass, const QString& param, const QString& value,
                   int type = Tavo::UINT, int execute = ParamHelper::Write)
{
    auto* action = new Action;
    action->device = new DeviceHelper {deviceClass};
    action->param = new ParamHelper {execute, type, param, value};
    return action;
}

Action* withTags(Action* action, const QString& btag, const QString& tag)
{
    action->condition = new ConditionHelper {ConditionHelper::DeviceTag, btag, tag, {}, {}};
    return action;
}

Action* withValue(Action* action, const QString& param, const QString& pattern)
{
    action->condition = new ConditionHelper {ConditionHelper::ParamValue, {}, {}, param, pattern};
    return action;
}

/// The writes a database has queued, as "device.param=value" in order.
QStringList writesOf(DeviceDb* db)
{
    QStringList writes;
    for (const Device* device : db->writeDeviceList.current()) {
        for (const WriteItem* item : *device->writeList) {
            const Param* param = item->targetParameter;
            writes << QStringLiteral("%1.%2=%3")
                          .arg(device->DbEntity::name, param->DbEntity::name,
                               param->isNumericType() ? QString::number(item->value)
                                                      : QString::fromLatin1(item->bytes));
        }
    }
    return writes;
}

/// A class E1 whose reference "make" writes the parameter "create" of the
/// controlling class CTRL.
struct BoxFixture : HostsFixture
{
    BoxFixture()
    {
        writeClassFile(QStringLiteral("e1.xml"), R"(
<class name="E1" interface="e1">
  <param name="level"><access>RW</access></param>
  <param name="gain" type="INT"><access>RW</access></param>
  <param name="label" type="ASCIIZ"><access>RW</access></param>
  <reference name="make" target_class="CTRL" target_param="create"/>
</class>
<class name="CTRL" interface="ctrl">
  <param name="create"><access>RW</access></param>
</class>)");
        loadClasses();
    }
    /// A host with the devices @p classes, the n-th with tag and code n + 1.
    DeviceDb* addHost(const QStringList& classes = {})
    {
        DeviceDb* db = addEngine()->deviceDb();
        for (int i = 0; i < classes.size(); ++i)
            addDevice(db, classes.at(i), i + 1, i + 1);
        return db;
    }
};

} // namespace

class TstActionBox : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void tagListsFollowTheirRules_data();
    void tagListsFollowTheirRules();
    void valueConditionsMatchWholeValues_data();
    void valueConditionsMatchWholeValues();
    void writesFollowTheParameterTypeAndReferences();
    void profileStagesWaitForTheirConfirmations();
    void mainStageWritesEveryTaggedDeviceButTemplatesNeedAConnectedHost();
    void missingEngineStopsTheEvaluation();
    void hostThatNeverConfirmsFailsByTheWatchdog();
    void writtenProfileKeepsItsLayoutAndReadsBack();
};

void TstActionBox::initTestCase()
{
    qRegisterMetaType<const ParamCore*>();
}

void TstActionBox::tagListsFollowTheirRules_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<int>>("tags");
    QTest::newRow("range_then_number") << "1-3,7" << QList<int> {1, 2, 3, 7};
    QTest::newRow("two_dashes") << "1-2-3" << QList<int> {};
    QTest::newRow("empty_is_zero") << "" << QList<int> {0};
    QTest::newRow("falling_range") << "4-2" << QList<int> {};
}

void TstActionBox::tagListsFollowTheirRules()
{
    QFETCH(QString, text);
    QFETCH(QList<int>, tags);
    QCOMPARE(ActionBox::splitTagCond(text), tags);
    if (!tags.isEmpty())
        QVERIFY(ActionBox::checkDevTagCond(tags.last(), text));
    QVERIFY(!ActionBox::checkDevTagCond(99, text));
    QVERIFY(ActionBox::checkDevTagCond(2, 0, "1-3", "0"));
    QVERIFY(!ActionBox::checkDevTagCond(2, 1, "1-3", "0"));
}

void TstActionBox::valueConditionsMatchWholeValues_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("matches");
    QTest::newRow("star") << "a*" << true;
    QTest::newRow("prefix_only") << "ab" << false;
    QTest::newRow("exact") << "abc" << true;
    QTest::newRow("inner") << "b*" << false;
}

void TstActionBox::valueConditionsMatchWholeValues()
{
    QFETCH(QString, pattern);
    QFETCH(bool, matches);
    QCOMPARE(ActionBox::checkPrmValueCond(QStringLiteral("abc"), pattern), matches);
}

void TstActionBox::writesFollowTheParameterTypeAndReferences()
{
    BoxFixture fx;
    DeviceDb* db = fx.addHost({"E1"});
    // A FLOAT is never written from a file; what is not a number writes 0.
    const std::tuple<const char*, const char*, int> writes[] = {{"level", "12", Tavo::UINT},
                                                                {"gain", "-3", Tavo::INT},
                                                                {"label", "Port", Tavo::ASCIIZ},
                                                                {"volts", "1.5", Tavo::FLOAT},
                                                                {"level", "x", Tavo::UINT}};
    QString written;
    for (const auto& [param, value, type] : writes) {
        std::unique_ptr<Action> action(makeAction("E1", param, value, type));
        written += QString::number(ActionBox::writeParam(db, "E1_0001", action.get()));
    }
    QCOMPARE(written, QStringLiteral("11101"));

    // A reference writes its target parameter of the controlling device.
    fx.addDevice(db, "CTRL", 2, 9);
    std::unique_ptr<Action> make(
        withTags(makeAction("E1", "make", "5", Tavo::UINT, ParamHelper::Create), "0", "2"));
    QVERIFY(ActionBox::writeParam(db, make.get()));
    QCOMPARE(writesOf(db),
             QStringList({"E1_0001.level=12", "E1_0001.gain=4294967293", "E1_0001.label=Port",
                          "E1_0001.level=0", "CTRL_0002.create=5"}));
    for (const char* deviceClass : {"XX", "E1"}) {
        std::unique_ptr<Action> unknown(
            makeAction(deviceClass, deviceClass[0] == 'X' ? "make" : "nope", "5"));
        QVERIFY(!ActionBox::writeParam(db, unknown.get()));
    }
}

void TstActionBox::profileStagesWaitForTheirConfirmations()
{
    BoxFixture fx;
    DeviceDb* db = fx.addHost({"E1", "E1"});
    fx.addDevice(db, "CTRL", 0, 9);

    QPointer<ActionBox> box = new ActionBox(nullptr);
    QSignalSpy checked(box.data(), &ActionBox::signalCheckProfile);
    box->actions = {
        withTags(makeAction("E1", "make", "clear", Tavo::UINT, ParamHelper::Destroy), "0", "0"),
        withTags(makeAction("E1", "make", "7", Tavo::UINT, ParamHelper::Create), "0", "0"),
        withValue(makeAction("E1", "gain", "1", Tavo::INT), "level", "4*"),
    };
    box->hostKeys = {1};
    box->evaluateProfile();
    QCOMPARE(box->stage, 2);
    QCOMPARE(box->pendingDeletions, 2); // every E1 goes
    QVERIFY(box->timer->isActive());

    db->removeDevice(QStringLiteral("E1_0001"));
    QCOMPARE(box->stage, 2);
    db->removeDevice(QStringLiteral("E1_0002"));
    QCOMPARE(box->stage, 1);
    QCOMPARE(box->pendingCreations, 1);

    fx.addDevice(db, "E1", 3, 3);
    QCOMPARE(box->stage, 3);
    QCOMPARE(box->pendingReads, 1);
    QVERIFY(checked.isEmpty());

    Device* created = db->findDevice(QStringLiteral("E1_0003"));
    db->setParamValue(3, created->parametersByName.value(QStringLiteral("level"))->code, 42);
    QCOMPARE(checked.count(), 1);
    QCOMPARE(checked.at(0), QVariantList({0, true}));
    QVERIFY(writesOf(db).contains(QStringLiteral("E1_0003.gain=1")));
    QTRY_VERIFY(box.isNull());
}

void TstActionBox::mainStageWritesEveryTaggedDeviceButTemplatesNeedAConnectedHost()
{
    BoxFixture fx;
    DeviceDb* db = fx.addHost({"E1", "E1"});
    QList<Action*> actions {
        withTags(makeAction("E1", "level", "9"), "0", "1-2"),
        makeAction("E1", "level", "8"), // no condition
    };
    ActionBox box(nullptr);
    // A template needs a connected host: this engine speaks no protocol, so
    // it never connects.
    QVERIFY(!box.evaluateTemplate(actions, 1, QStringLiteral("E1_0001")));
    QVERIFY(!box.evaluateTemplate(actions, 42, QStringLiteral("E1_0001")));
    QVERIFY(writesOf(db).isEmpty());

    QVERIFY(box.funcMain(actions, db));
    QCOMPARE(writesOf(db), QStringList({"E1_0001.level=9", "E1_0002.level=9"}));
    // A device the tags name but the host lacks makes the host's result false.
    actions.at(0)->condition->tag = QStringLiteral("3");
    QVERIFY(!box.funcMain(actions, db));
    qDeleteAll(actions);
}

void TstActionBox::missingEngineStopsTheEvaluation()
{
    BoxFixture fx;
    fx.addHost();
    auto* box = new ActionBox(nullptr);
    QSignalSpy checked(box, &ActionBox::signalCheckProfile);
    QSignalSpy finished(box, &ActionBox::signalEvaluateProfileFinish);
    // Without actions every host passes, in turn, up to the one without an engine.
    box->hostKeys = {1, 1, 77, 1};
    box->evaluateProfile();
    QCOMPARE(static_cast<QList<QVariantList>>(checked),
             QList<QVariantList>({{0, true}, {1, true}}));
    QCOMPARE(finished.count(), 0);
    QCOMPARE(box->hostKeys, QList<int>({77, 1}));
    delete box;
}

void TstActionBox::hostThatNeverConfirmsFailsByTheWatchdog()
{
    BoxFixture fx;
    fx.addHost();
    QPointer<ActionBox> box = new ActionBox(nullptr);
    QSignalSpy checked(box.data(), &ActionBox::signalCheckProfile);
    QSignalSpy finished(box.data(), &ActionBox::signalEvaluateProfileFinish);
    // Deleting every E1 of a host that has none: no deletion ever comes.
    box->actions = {
        withTags(makeAction("E1", "make", "clear", Tavo::UINT, ParamHelper::Destroy), "0", "0")};
    box->hostKeys = {1};
    box->evaluateProfile();
    QCOMPARE(box->pendingDeletions, 0);
    QTRY_COMPARE_WITH_TIMEOUT(checked.count(), 1, 7000);
    QCOMPARE(checked.at(0), QVariantList({0, false}));
    QCOMPARE(finished.count(), 1);
}

void TstActionBox::writtenProfileKeepsItsLayoutAndReadsBack()
{
    KernelFixture fx;
    QList<Action*> written;
    for (int type : {Tavo::UINT, Tavo::INT, Tavo::FLOAT, Tavo::ASCIIZ, Tavo::BYTE_ARRAY})
        written << makeAction("E1", QStringLiteral("p%1").arg(type),
                              QStringLiteral("v%1 & <x>").arg(type), type);
    withTags(written[0], "0,1", "1-4");
    withValue(written[1], "level", "4?*");
    withTags(written[2], "5", "6");
    written[2]->condition->type = ConditionHelper::None; // texts left over from a tag condition
    written[2]->param->execute = ParamHelper::Create;
    written[3]->condition = new ConditionHelper; // type 0, nothing else set
    written[3]->param->execute = ParamHelper::Destroy;
    delete written[4]->device;
    written[4]->device = nullptr; // written without its device element

    const QString path = fx.dir.filePath(QStringLiteral("profile.xml"));
    ActionBox::createTemplate(path, written);
    qDeleteAll(written);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().startsWith(
        "<?xml version=\"1.0\" encoding=\"CP1251\"?>\n<!DOCTYPE PROFILE>\n"
        "<profile>\n    <action>\n        <device class=\"E1\"/>\n"));

    // An omitted condition or device reads back as none: the reader tells an
    // empty condition element apart ("if 0").
    QList<Action*> read;
    QVERIFY(SaxTemplateParser().readFile(path, read));
    QCOMPARE(
        describe(read),
        QStringList({"E1 p0 0 'v0 & <x>' 0 if 2 0,1 1-4  ", "E1 p1 1 'v1 & <x>' 0 if 1   level 4?*",
                     "E1 p2 2 'v2 & <x>' 1", "E1 p3 3 'v3 & <x>' 2", "- p4 4 'v4 & <x>' 0"}));
    qDeleteAll(read);

    ActionBox::createTemplate(fx.dir.filePath(QStringLiteral("no/dir/p.xml")), {});
    QVERIFY(!QFile::exists(fx.dir.filePath(QStringLiteral("no/dir/p.xml"))));
}

QTEST_GUILESS_MAIN(TstActionBox)
#include "tst_action_box.moc"
