#include "connections/engine.h"
#include "connections/engine_box.h"
#include "devices/device_db.h"
#include "devices/paramlist.h"
#include "foundation/app_shared.h"
#include "hostgraph/host_graph.h"
#include "kernel_fixture.h"
#include "templates/action_box.h"
#include "templates/sax_template_parser.h"

#include <QPointer>
#include <QSignalSpy>
#include <QXmlStreamReader>
#include <QtTest>

#include <memory>
#include <vector>

namespace {

Action* makeAction(const QString& deviceClass, const QString& param, const QString& value,
                   int type = Tavo::UINT, int execute = ParamHelper::Write)
{
    auto* action = new Action;
    action->device = new DeviceHelper;
    action->device->className = deviceClass;
    action->param = new ParamHelper;
    action->param->name = param;
    action->param->value = value;
    action->param->type = type;
    action->param->execute = execute;
    return action;
}

Action* withTags(Action* action, const QString& btag, const QString& tag)
{
    action->condition = new ConditionHelper;
    action->condition->type = ConditionHelper::DeviceTag;
    action->condition->btag = btag;
    action->condition->tag = tag;
    return action;
}

Action* withValue(Action* action, const QString& param, const QString& pattern)
{
    action->condition = new ConditionHelper;
    action->condition->type = ConditionHelper::ParamValue;
    action->condition->name = param;
    action->condition->value = pattern;
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

/// Hosts without a protocol and a class E1 whose reference "make" writes
/// the parameter "create" of the controlling class CTRL.
struct BoxFixture : KernelFixture
{
    BoxFixture()
    {
        writeClassFile(QStringLiteral("e1.xml"), R"(
<class name="E1" interface="e1">
  <param name="level"><access>RW</access></param>
  <param name="gain" type="INT"><access>RW</access></param>
  <param name="label" type="ASCIIZ"><access>RW</access></param>
  <param name="volts" type="FLOAT"><access>RW</access></param>
  <reference name="make" target_class="CTRL" target_param="create"/>
</class>
<class name="CTRL" interface="ctrl">
  <param name="create"><access>RW</access></param>
  <param name="destroy"><access>RW</access></param>
</class>)");
        loadClasses();
        share::engineBox = &box;
    }
    ~BoxFixture() { share::engineBox = nullptr; }

    DeviceDb* addHost()
    {
        const int key = int(nodes.size()) + 1;
        nodes.emplace_back(std::make_unique<NodeAttr>(key, 0, QStringLiteral("h%1").arg(key),
                                                      QStringLiteral("none"), QStringLiteral("h"),
                                                      QString(), 1, nullptr));
        return box.createEngine(nodes.back().get())->deviceDb();
    }
    static Device* addDevice(DeviceDb* db, const QString& className, int tag, int code)
    {
        Device* device = db->addDevice(className, tag, 0, code, Tavo::NativeProtocol, QString());
        if (device && device->populateDevice()) {
            for (Param* param : qAsConst(device->parameters))
                db->setParamCode(code, param->DbEntity::name, param->indexInDevice);
        }
        return device;
    }

    EngineBox box;
    std::vector<std::unique_ptr<NodeAttr>> nodes;
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
    void writesFollowTheParameterType();
    void referenceWritesTheControllingDevice();
    void templateNeedsAConnectedHost();
    void profileWithoutActionsChecksEveryHost();
    void profileStagesWaitForTheirConfirmations();
    void mainStageWritesEveryTaggedDeviceInOrder();
    void missingEngineStopsTheEvaluation();
    void hostThatNeverConfirmsFailsByTheWatchdog();
    void writtenProfileReadsBack();
    void writtenConditionFollowsItsType();
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
    QTest::newRow("single") << "5" << QList<int> {5};
    QTest::newRow("two_dashes") << "1-2-3" << QList<int> {};
    QTest::newRow("empty_is_zero") << "" << QList<int> {0};
    QTest::newRow("falling_range") << "4-2" << QList<int> {};
    QTest::newRow("duplicates_kept") << "2,2" << QList<int> {2, 2};
    QTest::newRow("not_a_number") << "x,3" << QList<int> {0, 3};
}

void TstActionBox::tagListsFollowTheirRules()
{
    QFETCH(QString, text);
    QFETCH(QList<int>, tags);
    QCOMPARE(ActionBox::splitTagCond(text), tags);
    if (!tags.isEmpty())
        QVERIFY(ActionBox::checkDevTagCond(tags.last(), text));
    QVERIFY(!ActionBox::checkDevTagCond(99, text));
    QVERIFY(ActionBox::checkDevTagCond(2, 0, QStringLiteral("1-3"), QStringLiteral("0")));
    QVERIFY(!ActionBox::checkDevTagCond(2, 1, QStringLiteral("1-3"), QStringLiteral("0")));
}

void TstActionBox::valueConditionsMatchWholeValues_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("matches");
    QTest::newRow("star") << "a*" << true;
    QTest::newRow("question") << "a?c" << true;
    QTest::newRow("prefix_only") << "ab" << false;
    QTest::newRow("exact") << "abc" << true;
    QTest::newRow("case") << "A*" << false;
    QTest::newRow("inner") << "b*" << false;
}

void TstActionBox::valueConditionsMatchWholeValues()
{
    QFETCH(QString, pattern);
    QFETCH(bool, matches);
    QCOMPARE(ActionBox::checkPrmValueCond(QStringLiteral("abc"), pattern), matches);
}

void TstActionBox::writesFollowTheParameterType()
{
    BoxFixture fx;
    DeviceDb* db = fx.addHost();
    BoxFixture::addDevice(db, QStringLiteral("E1"), 1, 1);
    const QString e1 = QStringLiteral("E1_0001");
    std::unique_ptr<Action> level(makeAction(QStringLiteral("E1"), QStringLiteral("level"), "12"));
    std::unique_ptr<Action> gain(
        makeAction(QStringLiteral("E1"), QStringLiteral("gain"), "-3", Tavo::INT));
    std::unique_ptr<Action> label(
        makeAction(QStringLiteral("E1"), QStringLiteral("label"), "Port", Tavo::ASCIIZ));
    std::unique_ptr<Action> volts(
        makeAction(QStringLiteral("E1"), QStringLiteral("volts"), "1.5", Tavo::FLOAT));
    std::unique_ptr<Action> junk(makeAction(QStringLiteral("E1"), QStringLiteral("level"), "x"));
    QVERIFY(ActionBox::writeParam(db, e1, level.get()));
    QVERIFY(ActionBox::writeParam(db, e1, gain.get()));
    QVERIFY(ActionBox::writeParam(db, e1, label.get()));
    QVERIFY(!ActionBox::writeParam(db, e1, volts.get())); // never from a file
    QVERIFY(ActionBox::writeParam(db, e1, junk.get())); // not a number: 0
    QCOMPARE(
        writesOf(db),
        QStringList({QStringLiteral("E1_0001.level=12"), QStringLiteral("E1_0001.gain=4294967293"),
                     QStringLiteral("E1_0001.label=Port"), QStringLiteral("E1_0001.level=0")}));
}

void TstActionBox::referenceWritesTheControllingDevice()
{
    BoxFixture fx;
    DeviceDb* db = fx.addHost();
    BoxFixture::addDevice(db, QStringLiteral("CTRL"), 2, 9);
    std::unique_ptr<Action> make(withTags(makeAction(QStringLiteral("E1"), QStringLiteral("make"),
                                                     "5", Tavo::UINT, ParamHelper::Create),
                                          QStringLiteral("0"), QStringLiteral("2")));
    QVERIFY(ActionBox::writeParam(db, make.get()));
    QCOMPARE(writesOf(db), QStringList {QStringLiteral("CTRL_0002.create=5")});

    std::unique_ptr<Action> unknownClass(
        makeAction(QStringLiteral("XX"), QStringLiteral("make"), "5"));
    std::unique_ptr<Action> unknownParam(
        makeAction(QStringLiteral("E1"), QStringLiteral("nope"), "5"));
    QVERIFY(!ActionBox::writeParam(db, unknownClass.get()));
    QVERIFY(!ActionBox::writeParam(db, unknownParam.get()));
}

void TstActionBox::templateNeedsAConnectedHost()
{
    BoxFixture fx;
    DeviceDb* db = fx.addHost();
    BoxFixture::addDevice(db, QStringLiteral("E1"), 1, 1);
    QList<Action*> actions {makeAction(QStringLiteral("E1"), QStringLiteral("level"), "3")};
    ActionBox box(nullptr);
    // The engine speaks no protocol, so it never connects.
    QVERIFY(!box.evaluateTemplate(actions, 1, QStringLiteral("E1_0001")));
    QVERIFY(!box.evaluateTemplate(actions, 42, QStringLiteral("E1_0001")));
    QVERIFY(writesOf(db).isEmpty());
    qDeleteAll(actions);
}

void TstActionBox::profileWithoutActionsChecksEveryHost()
{
    BoxFixture fx;
    fx.addHost();
    fx.addHost();
    QPointer<ActionBox> box = new ActionBox(nullptr);
    QSignalSpy checked(box.data(), &ActionBox::signalCheckProfile);
    QSignalSpy finished(box.data(), &ActionBox::signalEvaluateProfileFinish);
    box->hostKeys = {1, 2};
    box->evaluateProfile();
    QCOMPARE(checked.count(), 2);
    QCOMPARE(checked.at(0), QVariantList({0, true}));
    QCOMPARE(checked.at(1), QVariantList({1, true}));
    QCOMPARE(finished.count(), 1);
    QTRY_VERIFY(box.isNull()); // it deletes itself
}

void TstActionBox::profileStagesWaitForTheirConfirmations()
{
    BoxFixture fx;
    DeviceDb* db = fx.addHost();
    BoxFixture::addDevice(db, QStringLiteral("E1"), 1, 1);
    BoxFixture::addDevice(db, QStringLiteral("E1"), 2, 2);
    BoxFixture::addDevice(db, QStringLiteral("CTRL"), 0, 9);

    QPointer<ActionBox> box = new ActionBox(nullptr);
    QSignalSpy checked(box.data(), &ActionBox::signalCheckProfile);
    box->actions = {
        withTags(makeAction(QStringLiteral("E1"), QStringLiteral("make"), "clear", Tavo::UINT,
                            ParamHelper::Destroy),
                 QStringLiteral("0"), QStringLiteral("0")),
        withTags(makeAction(QStringLiteral("E1"), QStringLiteral("make"), "7", Tavo::UINT,
                            ParamHelper::Create),
                 QStringLiteral("0"), QStringLiteral("0")),
        withValue(makeAction(QStringLiteral("E1"), QStringLiteral("gain"), "1", Tavo::INT),
                  QStringLiteral("level"), QStringLiteral("4*")),
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

    BoxFixture::addDevice(db, QStringLiteral("E1"), 3, 3);
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

void TstActionBox::mainStageWritesEveryTaggedDeviceInOrder()
{
    BoxFixture fx;
    DeviceDb* db = fx.addHost();
    BoxFixture::addDevice(db, QStringLiteral("E1"), 1, 1);
    BoxFixture::addDevice(db, QStringLiteral("E1"), 2, 2);
    QList<Action*> actions {
        withTags(makeAction(QStringLiteral("E1"), QStringLiteral("level"), "9"),
                 QStringLiteral("0"), QStringLiteral("1-2")),
        makeAction(QStringLiteral("E1"), QStringLiteral("level"), "8"), // no condition
    };
    ActionBox box(nullptr);
    QVERIFY(box.funcMain(actions, db));
    QCOMPARE(writesOf(db),
             QStringList({QStringLiteral("E1_0001.level=9"), QStringLiteral("E1_0002.level=9")}));
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
    box->hostKeys = {1, 77, 1};
    box->evaluateProfile();
    QCOMPARE(checked.count(), 1);
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
    box->actions = {withTags(makeAction(QStringLiteral("E1"), QStringLiteral("make"), "clear",
                                        Tavo::UINT, ParamHelper::Destroy),
                             QStringLiteral("0"), QStringLiteral("0"))};
    box->hostKeys = {1};
    box->evaluateProfile();
    QCOMPARE(box->pendingDeletions, 0);
    QTRY_COMPARE_WITH_TIMEOUT(checked.count(), 1, 7000);
    QCOMPARE(checked.at(0), QVariantList({0, false}));
    QCOMPARE(finished.count(), 1);
}

void TstActionBox::writtenProfileReadsBack()
{
    KernelFixture fx;
    QList<Action*> written;
    for (int type : {Tavo::UINT, Tavo::INT, Tavo::FLOAT, Tavo::ASCIIZ, Tavo::BYTE_ARRAY})
        written << makeAction(QStringLiteral("E1"), QStringLiteral("p%1").arg(type),
                              QStringLiteral("v%1 & <x>").arg(type), type);
    withTags(written[0], QStringLiteral("0,1"), QStringLiteral("1-4"));
    withValue(written[1], QStringLiteral("level"), QStringLiteral("4?*"));
    written[2]->param->execute = ParamHelper::Create;
    written[3]->param->execute = ParamHelper::Destroy;
    delete written[4]->device;
    written[4]->device = nullptr; // written without its device element

    const QString path = fx.dir.filePath(QStringLiteral("profile.xml"));
    ActionBox::createTemplate(path, written);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QVERIFY(text.startsWith("<?xml version=\"1.0\" encoding=\"CP1251\"?>\n<!DOCTYPE PROFILE>\n"
                            "<profile>\n    <action>\n        <device class=\"E1\"/>\n"));

    QList<Action*> read;
    SaxTemplateParser parser;
    QVERIFY(parser.readFile(path, read));
    QCOMPARE(read.size(), written.size());
    for (int i = 0; i < read.size(); ++i) {
        QCOMPARE(bool(read[i]->device), bool(written[i]->device));
        if (read[i]->device)
            QCOMPARE(read[i]->device->className, written[i]->device->className);
        QCOMPARE(read[i]->param->name, written[i]->param->name);
        QCOMPARE(read[i]->param->type, written[i]->param->type);
        QCOMPARE(read[i]->param->value, written[i]->param->value);
        QCOMPARE(read[i]->param->execute, written[i]->param->execute);
        QCOMPARE(bool(read[i]->condition), bool(written[i]->condition));
        if (read[i]->condition) {
            QCOMPARE(read[i]->condition->type, written[i]->condition->type);
            QCOMPARE(read[i]->condition->btag, written[i]->condition->btag);
            QCOMPARE(read[i]->condition->tag, written[i]->condition->tag);
            QCOMPARE(read[i]->condition->name, written[i]->condition->name);
            QCOMPARE(read[i]->condition->value, written[i]->condition->value);
        }
    }
    qDeleteAll(read);
    qDeleteAll(written);

    ActionBox::createTemplate(fx.dir.filePath(QStringLiteral("no/dir/p.xml")), {});
    QVERIFY(!QFile::exists(fx.dir.filePath(QStringLiteral("no/dir/p.xml"))));
}

void TstActionBox::writtenConditionFollowsItsType()
{
    KernelFixture fx;
    QList<Action*> written;
    for (int i = 0; i < 5; ++i)
        written << makeAction(QStringLiteral("E1"), QStringLiteral("level"), QStringLiteral("1"));
    withValue(written[0], QStringLiteral("gain"), QStringLiteral("4?*"));
    withTags(written[1], QStringLiteral("0,1"), QStringLiteral("1-4"));
    withTags(written[2], QStringLiteral("5"), QStringLiteral("6"));
    written[2]->condition->type = ConditionHelper::None; // texts left over from a tag condition
    written[3]->condition = new ConditionHelper; // type 0, nothing else set
    written[3]->param->execute = ParamHelper::Create;
    // written[4] has no condition at all.

    const QString path = fx.dir.filePath(QStringLiteral("profile.xml"));
    ActionBox::createTemplate(path, written);
    qDeleteAll(written);

    // Each action as its child elements, a condition with its attributes sorted by name.
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    QStringList actions;
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("profile"))
            continue;
        QStringList children;
        while (xml.readNextStartElement()) {
            QString child = xml.name().toString();
            if (child == QLatin1String("condition")) {
                QStringList attributes;
                for (const QXmlStreamAttribute& attribute : xml.attributes())
                    attributes << attribute.name() + '=' + attribute.value();
                attributes.sort();
                child += '(' + attributes.join(' ') + ')';
            }
            children << child;
            xml.skipCurrentElement();
        }
        actions << children.join(' ');
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QCOMPARE(actions,
             QStringList({"device condition(name=gain type=param_value value=4?*) param",
                          "device condition(btag=0,1 tag=1-4 type=device_tag) param",
                          "device param", "device param", "device param"}));
}

QTEST_GUILESS_MAIN(TstActionBox)
#include "tst_action_box.moc"
