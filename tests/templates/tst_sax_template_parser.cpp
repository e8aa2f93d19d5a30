#include "kernel_fixture.h"
#include "templates/sax_template_parser.h"

#include <QtTest>

#include <memory>

namespace {

const QByteArray profile = R"(<?xml version="1.0" encoding="CP1251"?>
<!DOCTYPE PROFILE>
<profile>
    <action>
        <device class="E1"/>
        <condition type="device_tag" btag="0" tag="1-3,7"/>
        <param name="mode" type="INT" value="-2"/>
    </action>
    <note>skipped <deep><deeper/></deep></note>
    <action><device class="IF"/><param name="IF" type="FILE" value="" execute="create"/><condition type="param_value" name="speed" value="1*"/></action>
    <action>
        <device class="A"/><device class="E1"/>
        <param name="x" type="BYTE_ARRAY" value="0A.0B" execute="destroy"/>
        <condition type="other"/>
        <unknown/>
    </action>
    <action/>
</profile>)";

struct ActionList
{
    QList<Action*> actions;
    ~ActionList() { qDeleteAll(actions); }
};

} // namespace

class TstSaxTemplateParser : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void profileReadsIntoActions();
    void templateAndProfileAreTold_data();
    void templateAndProfileAreTold();
    void paramTypesReadBack_data();
    void paramTypesReadBack();
    void deviceClassesAreListedInFileOrder();
    void missingFileIsReported();
};

void TstSaxTemplateParser::profileReadsIntoActions()
{
    KernelFixture fx;
    const QString path = fx.dir.writeFile("p.xml", profile);
    ActionList list;
    QVERIFY(SaxTemplateParser().readFile(path, list.actions));
    QCOMPARE(fx.log.errors(), QStringList());
    QCOMPARE(list.actions.size(), 4);

    const Action* first = list.actions.at(0);
    QCOMPARE(first->device->className, QStringLiteral("E1"));
    QCOMPARE(first->condition->type, qint32(ConditionHelper::DeviceTag));
    QCOMPARE(first->condition->btag, QStringLiteral("0"));
    QCOMPARE(first->condition->tag, QStringLiteral("1-3,7"));
    QCOMPARE(first->param->name, QStringLiteral("mode"));
    QCOMPARE(first->param->type, 1);
    QCOMPARE(first->param->value, QStringLiteral("-2"));
    QCOMPARE(first->param->execute, qint32(ParamHelper::Write));

    const Action* second = list.actions.at(1);
    QCOMPARE(second->param->execute, qint32(ParamHelper::Create));
    QCOMPARE(second->param->type, 0); // FILE reads as UINT
    QCOMPARE(second->condition->type, qint32(ConditionHelper::ParamValue));
    QCOMPARE(second->condition->name, QStringLiteral("speed"));
    QCOMPARE(second->condition->value, QStringLiteral("1*"));

    const Action* third = list.actions.at(2);
    QCOMPARE(third->device->className, QStringLiteral("E1")); // the second one replaces the first
    QCOMPARE(third->param->execute, qint32(ParamHelper::Destroy));
    QCOMPARE(third->param->type, 4);
    QCOMPARE(third->condition->type, qint32(ConditionHelper::None));

    const Action* empty = list.actions.at(3);
    QVERIFY(!empty->device && !empty->param && !empty->condition);
}

void TstSaxTemplateParser::templateAndProfileAreTold_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("error"); // %f: the path
    QTest::newRow("template") << QByteArray("<template><action/></template>") << 1 << "";
    QTest::newRow("profile") << QByteArray("<?xml version=\"1.0\"?><profile/>") << 2 << "";
    QTest::newRow("other-root") << QByteArray("<hostgraph/>") << 0
                                << "Failed to parse file %f: Not a template file";
    QTest::newRow("empty") << QByteArray() << 0
                           << "Failed to parse file %f: Premature end of document.";
}

void TstSaxTemplateParser::templateAndProfileAreTold()
{
    QFETCH(QByteArray, content);
    QFETCH(int, kind);
    QFETCH(QString, error);
    KernelFixture fx;
    const QString path = fx.dir.writeFile("t.xml", content);
    QCOMPARE(SaxTemplateParser().isTemplate(path), kind);
    const QStringList expected = error.isEmpty()
        ? QStringList()
        : QStringList {QString(error).replace(QStringLiteral("%f"), path)};
    QCOMPARE(fx.log.errors(), expected);

    fx.log.clear();
    ActionList list;
    QCOMPARE(SaxTemplateParser().readFile(path, list.actions), kind != 0);
    QCOMPARE(fx.log.errors(), expected);
}

void TstSaxTemplateParser::paramTypesReadBack_data()
{
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<int>("type");
    QTest::newRow("uint") << "UINT" << 0;
    QTest::newRow("int") << "INT" << 1;
    QTest::newRow("float") << "FLOAT" << 2;
    QTest::newRow("asciiz") << "ASCIIZ" << 3;
    QTest::newRow("byte-array") << "BYTE_ARRAY" << 4;
    QTest::newRow("file") << "FILE" << 0;
    QTest::newRow("lower-case") << "int" << 0;
    QTest::newRow("missing") << "" << 0;
}

void TstSaxTemplateParser::paramTypesReadBack()
{
    QFETCH(QString, keyword);
    QFETCH(int, type);
    KernelFixture fx;
    const QByteArray attr =
        keyword.isEmpty() ? QByteArray() : " type=\"" + keyword.toLatin1() + "\"";
    const QString path = fx.dir.writeFile(
        "t.xml", "<template><action><param name=\"p\"" + attr + "/></action></template>");
    ActionList list;
    QVERIFY(SaxTemplateParser().readFile(path, list.actions));
    QCOMPARE(list.actions.first()->param->type, type);
}

void TstSaxTemplateParser::deviceClassesAreListedInFileOrder()
{
    KernelFixture fx;
    const QString path = fx.dir.writeFile("t.xml", R"(<template>
<device class="Before"/>
<action><device class="A"/></action><action><device class="B"/><device name="n" class="Named"/></action>
<action><device class="A"/></action><action><device/></action>
</template>)");
    QCOMPARE(SaxTemplateParser().supportedDeviceClass(path), QStringList({"A", "B", "A"}));

    const QString broken = fx.dir.writeFile("b.xml", "<template><action><device class=\"A\"/>");
    QCOMPARE(SaxTemplateParser().supportedDeviceClass(broken), QStringList());
    QCOMPARE(fx.log.errors().size(), 1);
    QVERIFY(fx.log.errors().first().startsWith(
        QStringLiteral("Failed to parse file %1: ").arg(broken)));

    // Actions read before an error stay in the list.
    ActionList list;
    QVERIFY(!SaxTemplateParser().readFile(broken, list.actions));
    QCOMPARE(list.actions.size(), 1);
}

void TstSaxTemplateParser::missingFileIsReported()
{
    KernelFixture fx;
    const QString path = fx.dir.filePath("none.xml");
    const QString message =
        QStringLiteral("Cannot read file %1: No such file or directory.").arg(path);
    ActionList list;
    QVERIFY(!SaxTemplateParser().readFile(path, list.actions));
    QCOMPARE(SaxTemplateParser().isTemplate(path), 0);
    QCOMPARE(SaxTemplateParser().supportedDeviceClass(path), QStringList());
    QCOMPARE(fx.log.errors(), QStringList({message, message, message}));
}

QTEST_GUILESS_MAIN(TstSaxTemplateParser)
#include "tst_sax_template_parser.moc"
