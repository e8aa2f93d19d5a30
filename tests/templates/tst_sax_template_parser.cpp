#include "action_dump.h"
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
    void deviceClassesAreListedInFileOrderAndUnreadableFilesTold();
};

void TstSaxTemplateParser::profileReadsIntoActions()
{
    KernelFixture fx;
    const QString path = fx.dir.writeFile("p.xml", profile);
    ActionList list;
    QVERIFY(SaxTemplateParser().readFile(path, list.actions));
    QCOMPARE(fx.log.errors(), QStringList());
    // FILE and any unknown type read as UINT; of two device elements the
    // second counts.
    QCOMPARE(describe(list.actions),
             QStringList({"E1 mode 1 '-2' 0 if 2 0 1-3,7  ", "IF IF 0 '' 1 if 1   speed 1*",
                          "E1 x 4 '0A.0B' 2 if 0    ", "-"}));
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

void TstSaxTemplateParser::deviceClassesAreListedInFileOrderAndUnreadableFilesTold()
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

    fx.log.clear();
    const QString missing = fx.dir.filePath("none.xml");
    QVERIFY(!SaxTemplateParser().readFile(missing, list.actions));
    QCOMPARE(SaxTemplateParser().isTemplate(missing), 0);
    QCOMPARE(SaxTemplateParser().supportedDeviceClass(missing), QStringList());
    const QString message =
        QStringLiteral("Cannot read file %1: No such file or directory.").arg(missing);
    QCOMPARE(fx.log.errors(), QStringList({message, message, message}));
}

QTEST_GUILESS_MAIN(TstSaxTemplateParser)
#include "tst_sax_template_parser.moc"
