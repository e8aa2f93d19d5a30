#include "classes/class_db.h"
#include "classes/device_class.h"
#include "classes/sax_class_parser.h"
#include "foundation/app_shared.h"
#include "kernel_fixture.h"

#include <QtTest>

namespace {

// One class around @p params, with the attributes every class needs.
QByteArray inClass(const QByteArray& params)
{
    return "<class name=\"K\" interface=\"ik\">\n" + params + "\n</class>";
}

} // namespace

class TstSaxClassParser : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void completeFileFillsEveryField();
    void typeKeywordsSetTypeAndSnmpTag();
    void textSplitByReferencesIsReadWhole();
    void refusedFileLogsItsMessage_data();
    void refusedFileLogsItsMessage();
    void classesBeforeTheErrorStay();
    void systemClassInFileIsRefused();
    void scriptCheckSeesArgumentsInTextOrder();
    void hostileFilesAreRefusedAndTheWalkGoesOn_data();
    void hostileFilesAreRefusedAndTheWalkGoesOn();
    void readerWithoutDatabaseRefusesToStart();
};

void TstSaxClassParser::completeFileFillsEveryField()
{
    KernelFixture fx;
    fx.writeClassFile(QStringLiteral("e1.xml"), R"(
<class name="E1" interface="e1if" oid="1.3.6.1.4.1">
  <param name="status" type="uint">
    <human_name>Status word</human_name>
    <info>  Line   [b]status[/b]
      word </info>
    <access>rw</access>
    <defvalue>0x10</defvalue>
    <variants>0:Off,1:On,,2</variants>
    <minvalue>0</minvalue>
    <maxvalue>100</maxvalue>
    <step>5</step>
    <oid>1.3.6.1.4.1.7</oid>
    <alarm>if (param > 50) return 2; return -1;</alarm>
    <alias name="statusText" type="asciiz">
      <info>as text</info>
      <defvalue>idle</defvalue>
      <access>R</access>
    </alias>
  </param>
  <param name="los" basename="status" bit="29" dim="3" type="INT">
    <access>RWX</access>
    <defvalue>-2</defvalue>
    <variants>-1:minus,0x10</variants>
  </param>
  <param name="gain" type="FLOAT">
    <defvalue>1.5</defvalue>
    <variants>0.5:half</variants>
  </param>
  <param name="key" type="byte_array" dim="40">
    <defvalue>0A.0B</defvalue>
    <access>wx</access>
  </param>
  <param name="plain"/>
  <reference name="peer" target_class="E2" target_param="status" type="INT">
    <info>peer status</info>
    <defvalue>7</defvalue>
    <access>W</access>
  </reference>
  <vparam name="sum">
    <arg id="b" param="gain"/>
    <arg id="a" param="status"/>
    <arg id="a" param="los"/>
    <script>return a + b;</script>
  </vparam>
  <vparam name="alarm">
    <script>return -1;</script>
  </vparam>
</class>)");
    ClassDb* db = fx.loadClasses();
    QCOMPARE(fx.log.errors(), QStringList());
    QVERIFY(fx.log.messages().contains(
        QStringLiteral("Parsing for '%1' is done successfull")
            .arg(fx.dir.filePath(QStringLiteral("xml_classes/e1.xml")))));

    DeviceClass* e1 = db->deviceClasses.value(QStringLiteral("E1"));
    QVERIFY(e1);
    QCOMPARE(e1->interfaceName, QStringLiteral("e1if"));
    QCOMPARE(e1->oid, QStringLiteral("1.3.6.1.4.1"));
    QStringList order;
    for (ParamClass* pc : e1->paramClassList)
        order << pc->name;
    QCOMPARE(order, QStringList({"alarm", "status", "los", "gain", "key", "plain", "sum"}));
    QCOMPARE(e1->paramClasses.keys(),
             QStringList({"alarm", "gain", "key[]", "los[]", "plain", "status", "sum"}));

    ParamClass* status = e1->paramClasses.value(QStringLiteral("status"));
    QCOMPARE(status->humanName, QStringLiteral("Status word"));
    QCOMPARE(status->info, QStringLiteral("Line <b>status</b> word"));
    QCOMPARE(status->access, 3);
    QVERIFY(!status->isExecutable);
    QVERIFY(status->hasDefValue);
    QCOMPARE(status->defValue, 16u);
    QCOMPARE(status->variants, QVector<quint32>({0, 1, 2}));
    QCOMPARE(status->variantNames, (QMap<quint32, QString> {{0, "Off"}, {1, "On"}}));
    QVERIFY(status->hasMinValue && status->hasMaxValue);
    QCOMPARE(status->minValue, 0u);
    QCOMPARE(status->maxValue, 100u);
    QCOMPARE(status->step, 5u);
    QCOMPARE(status->oid, QStringLiteral("1.3.6.1.4.1.7"));
    QCOMPARE(status->alarmScript, QStringLiteral("if (param > 50) return 2; return -1;"));
    QCOMPARE(status->parent(), e1);

    QCOMPARE(status->aliases.size(), 1);
    ParamClass* alias = status->aliasMap.value(QStringLiteral("statusText"));
    QCOMPARE(status->aliases.first(), alias);
    QVERIFY(alias->isAlias);
    QCOMPARE(alias->type, Tavo::ASCIIZ);
    QCOMPARE(alias->snmpType, 2); // aliases name a value type only
    QCOMPARE(alias->info, QStringLiteral("as text"));
    QCOMPARE(alias->defBytes, QByteArray("idle"));
    QCOMPARE(alias->access, 1);
    QCOMPARE(alias->parent(), e1);
    QVERIFY(!e1->paramClassList.contains(alias));

    ParamClass* los = e1->paramClasses.value(QStringLiteral("los[]"));
    QCOMPARE(los->basename, QStringLiteral("status"));
    QCOMPARE(los->bit, 29);
    QCOMPARE(los->dim, 3);
    QCOMPARE(los->type, Tavo::INT);
    QCOMPARE(los->access, 3);
    QVERIFY(los->isExecutable);
    QCOMPARE(los->defValue, 0xFFFFFFFEu);
    QCOMPARE(los->variants, QVector<quint32>({0xFFFFFFFFu, 16u}));
    QCOMPARE(los->variantNames.value(0xFFFFFFFFu), QStringLiteral("minus"));

    ParamClass* gain = e1->paramClasses.value(QStringLiteral("gain"));
    QCOMPARE(gain->defValue, 0x3FC00000u);
    QCOMPARE(gain->variants, QVector<quint32> {0x3F000000u});

    ParamClass* key = e1->paramClasses.value(QStringLiteral("key[]"));
    QCOMPARE(key->dim, 40);
    QCOMPARE(key->bit, -1);
    QCOMPARE(key->snmpType, 4);
    QCOMPARE(key->defBytes, QByteArray("\x0a\x0b", 2));
    QCOMPARE(key->access, 2);
    QVERIFY(key->isExecutable);

    ParamClass* plain = e1->paramClasses.value(QStringLiteral("plain"));
    QCOMPARE(plain->type, Tavo::UINT);
    QCOMPARE(plain->snmpType, 2);
    QCOMPARE(plain->dim, 1);
    QCOMPARE(plain->access, 1); // no access element: read only
    QVERIFY(!plain->hasDefValue);

    QCOMPARE(e1->references.size(), 1);
    ParamClass* peer = e1->referenceMap.value(QStringLiteral("peer"));
    QVERIFY(peer->isReference);
    QCOMPARE(peer->targetClass, QStringLiteral("E2"));
    QCOMPARE(peer->targetParam, QStringLiteral("status"));
    QCOMPARE(peer->type, Tavo::INT);
    QCOMPARE(peer->defValue, 7u);
    QCOMPARE(peer->access, 2);
    QCOMPARE(peer->info, QStringLiteral("peer status"));
    QCOMPARE(peer->parent(), e1);

    ParamClass* sum = e1->paramClasses.value(QStringLiteral("sum"));
    QVERIFY(sum->isVirtual && !sum->isPredefined);
    QCOMPARE(sum->type, Tavo::INT);
    QCOMPARE(sum->script, QStringLiteral("return a + b;"));
    QCOMPARE(sum->args, (QMap<QString, QString> {{"a", "los"}, {"b", "gain"}}));
    ParamClass* alarm = e1->paramClassList.first();
    QCOMPARE(alarm->script, QStringLiteral("return -1;"));
    QVERIFY(!alarm->isPredefined);
}

void TstSaxClassParser::typeKeywordsSetTypeAndSnmpTag()
{
    const struct
    {
        const char* keyword;
        Tavo::ParamType type;
        int snmpType;
    } rows[] = {
        {"Counter", Tavo::UINT, 65}, {"COUNTER32", Tavo::UINT, 65}, {"counter64", Tavo::UINT, 70},
        {"gauge", Tavo::UINT, 66},   {"Gauge32", Tavo::UINT, 66},   {"uinteger32", Tavo::UINT, 71},
        {"AsciiZ", Tavo::ASCIIZ, 4}, {"file", Tavo::FILE, 2},       {"float", Tavo::FLOAT, 2},
    };
    QByteArray params;
    for (const auto& row : rows)
        params += "<param name=\"" + QByteArray(row.keyword) + "\" type=\"" + row.keyword + "\"/>";
    KernelFixture fx;
    fx.writeClassFile(QStringLiteral("k.xml"), inClass(params));
    ClassDb* db = fx.loadClasses();
    QCOMPARE(fx.log.errors(), QStringList());
    for (const auto& row : rows) {
        ParamClass* p =
            db->deviceClasses.value(QStringLiteral("K"))->paramClasses.value(row.keyword);
        QVERIFY2(p && p->type == row.type && p->snmpType == row.snmpType, row.keyword);
    }
}

void TstSaxClassParser::textSplitByReferencesIsReadWhole()
{
    KernelFixture fx;
    fx.writeClassFile(QStringLiteral("k.xml"), inClass(R"(
<param name="p">
  <alarm>if (param &lt; 5 &amp;&amp; param != 0) return 3; <![CDATA[if (param > 9) return 1;]]> return -1;</alarm>
  <human_name>A &amp; B</human_name>
</param>)"));
    ClassDb* db = fx.loadClasses();
    QCOMPARE(fx.log.errors(), QStringList());
    ParamClass* p = db->deviceClasses.value(QStringLiteral("K"))->paramClasses.value("p");
    QCOMPARE(p->alarmScript,
             QStringLiteral(
                 "if (param < 5 && param != 0) return 3; if (param > 9) return 1; return -1;"));
    QCOMPARE(p->humanName, QStringLiteral("A & B"));

    // An element without text carries no value to check or to take.
    fx.writeClassFile(QStringLiteral("e.xml"),
                      "<class name=\"E\" interface=\"i\"><param name=\"p\"><human_name/>"
                      "<info></info><defvalue/></param></class>");
    QVERIFY(db->loadFromFile(fx.dir.filePath(QStringLiteral("xml_classes/e.xml"))));
    QVERIFY(!db->deviceClasses.value(QStringLiteral("E"))->paramClasses.value("p")->hasDefValue);
}

void TstSaxClassParser::refusedFileLogsItsMessage_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("message"); // %f stands for the file path

    const QByteArray head = "<?xml version='1.0'?>\n";
    const auto doc = [&](const QByteArray& classes) {
        return head + "<classlist>" + classes + "</classlist>";
    };
    const auto cls = [&](const QByteArray& params) {
        return doc(inClass(params));
    };
    const struct
    {
        const char* tag;
        QByteArray content;
        const char* message;
    } rows[] = {
        {"root-class", QByteArray(head + "<class name='K' interface='i'/>"),
         "Unexpected tag 'class' in file '%f'"},
        {"unknown-tag", doc("<klass/>"), "Unknown tag 'klass' in file '%f'"},
        {"alias-in-class", cls("<alias name='a'/>"), "Unexpected tag 'alias' in file '%f'"},
        {"script-in-param", cls("<param name='p'><script>1</script></param>"),
         "Unexpected tag 'script' in file '%f'"},
        {"human-name-in-alias",
         cls("<param name='p'><alias name='a'><human_name>x</human_name></alias></param>"),
         "Unexpected tag 'human_name' in file '%f'"},
        {"element-in-value", cls("<param name='p'><info><b/></info></param>"),
         "Unknown tag 'b' in file '%f'"},
        {"class-name", doc("<class interface='i'/>"),
         "Attribute 'name' is absent for 'class' tag in '%f'"},
        {"class-empty-name", doc("<class name='' interface='i'/>"),
         "Attribute 'name' is absent for 'class' tag in '%f'"},
        {"class-interface", doc("<class name='K'/>"),
         "Attribute 'interface' is absent for 'class' tag in '%f'"},
        {"class-oid-double-dot", doc("<class name='K' interface='i' oid='1..3'/>"),
         "Invalid 'oid' attribute for 'class' tag in '%f': 1..3"},
        {"class-oid-trailing-dot", doc("<class name='K' interface='i' oid='1.3.'/>"),
         "Invalid 'oid' attribute for 'class' tag in '%f': 1.3."},
        {"param-name", cls("<param/>"), "Attribute 'name' is absent for 'param' tag in '%f'"},
        {"bit-absent", cls("<param name='p' basename='b'/>"),
         "Attribute 'bit' absent for 'basename' attribute in '%f'"},
        {"bit-text", cls("<param name='p' basename='b' bit='x'/>"),
         "Attribute 'bit' is not integer value in '%f'"},
        {"bit-negative", cls("<param name='p' basename='b' bit='-1'/>"),
         "Attribute 'bit' must be >= 0 in '%f'"},
        {"dim-text", cls("<param name='p' dim='0x4'/>"),
         "Attribute 'dim' is not integer value in '%f'"},
        {"dim-zero", cls("<param name='p' dim='0'/>"), "Attribute 'dim' must be >= 1 in '%f'"},
        {"bit-plus-dim", cls("<param name='p' basename='b' bit='30' dim='3'/>"),
         "Sum 'dim + bit > 32' is impossible case in '%f'."},
        {"param-type", cls("<param name='p' type='double'/>"),
         "Attribute 'type' is invalid (double) in '%f'"},
        {"alias-snmp-type", cls("<param name='p'><alias name='a' type='counter64'/></param>"),
         "Attribute 'type' is invalid (counter64) in '%f'"},
        {"alias-name", cls("<param name='p'><alias/></param>"),
         "Attribute 'name' is absent for 'alias' tag in '%f'"},
        {"reference-name", cls("<reference target_class='c' target_param='p'/>"),
         "Attribute 'name' is absent for 'reference' tag in '%f'"},
        {"reference-class", cls("<reference name='r' target_param='p'/>"),
         "Attribute 'target_class' is absent for 'reference' tag in '%f'"},
        {"reference-param", cls("<reference name='r' target_class='c'/>"),
         "Attribute 'target_param' is absent for 'reference' tag in '%f'"},
        {"reference-type",
         cls("<reference name='r' target_class='c' target_param='p' type='gauge'/>"),
         "Attribute 'type' is invalid (gauge) in '%f'"},
        {"vparam-name", cls("<vparam/>"), "Attribute 'name' is absent for 'vparam' tag in '%f'"},
        {"arg-id", cls("<vparam name='v'><arg param='p'/></vparam>"),
         "Attribute 'id' is absent for 'arg' tag in '%f'"},
        {"arg-param", cls("<vparam name='v'><arg id='a'/></vparam>"),
         "Attribute 'param' is absent for 'arg' tag in '%f'"},
        {"info-blank", cls("<param name='p'><info> \n\t </info></param>"),
         "'info' tag has empty value in '%f'"},
        {"variants-no-list", cls("<param name='p'><variants>,,</variants></param>"),
         "'variants' tag has no value list"},
        {"variants-item", cls("<param name='p'><variants>1:a:b</variants></param>"),
         "'variants' tag has invalid item - '1:a:b'"},
        {"variants-uint", cls("<param name='p'><variants>1,-2</variants></param>"),
         "Expected unsigned integer value in 'variants' tag, but found - '-2'"},
        {"variants-int", cls("<param name='p' type='INT'><variants>x:y</variants></param>"),
         "Expected integer value in 'variants' tag, but found - 'x'"},
        {"variants-float", cls("<param name='p' type='FLOAT'><variants>1.5,z</variants></param>"),
         "Expected float value in 'variants' tag, but found - 'z'"},
        {"variants-text", cls("<param name='p' type='ASCIIZ'><variants>0:Off</variants></param>"),
         "Tag 'variants' match for numeric types only"},
        {"access-word", cls("<param name='p'><access>X</access></param>"),
         "Unrecognize access value 'X' in '%f'"},
        {"access-space", cls("<param name='p'><access>RW </access></param>"),
         "Unrecognize access value 'RW ' in '%f'"},
        {"alarm-blank", cls("<param name='p'><alarm>  </alarm></param>"),
         "Script is empty for param 'p' in '%f'"},
        {"script-blank", cls("<vparam name='v'><script>\n</script></vparam>"),
         "Script is empty for param 'v' in '%f'"},
        {"defvalue-uint", cls("<param name='p'><defvalue>ten</defvalue></param>"),
         "[imageToNumericType()] Expected unsigned integer value but 'ten' found"},
        {"defvalue-bytes", cls("<param name='p' type='BYTE_ARRAY'><defvalue>0G</defvalue></param>"),
         "[imageToNumericType()] Expected hex-value string of the even-value size, but found '0G'"},
        {"minvalue-bytes", cls("<param name='p' type='BYTE_ARRAY'><minvalue>1</minvalue></param>"),
         "[imageToNumericType()] Target variable is not passed"},
        {"step-text", cls("<param name='p' type='ASCIIZ'><step>1</step></param>"),
         "[imageToNumericType()] Target variable is not passed"},
        {"maxvalue-float", cls("<param name='p' type='FLOAT'><maxvalue>big</maxvalue></param>"),
         "[imageToNumericType()] Expected float value but 'big' found"},
        {"param-duplicate", cls("<param name='p'/><param name='p'/>"),
         "Param class 'p' already exists in device class 'K'."},
        {"param-duplicate-append", cls("<param name='p'/><param name='p'/>"),
         "Can't append param 'p'. File '%f'"},
        {"vparam-twice",
         cls("<vparam name='alarm'><script>return 1;</script></vparam>"
             "<vparam name='alarm'><script>return 2;</script></vparam>"),
         "Can't set virtual param class 'alarm'. File '%f'"},
        {"class-duplicate", doc(inClass("") + inClass("")),
         "[SaxClassParser::] Can't append device class 'K'. File '%f'"},
        {"malformed", QByteArray(head + "<classlist><class name='K' interface='i'>"), nullptr},
    };
    for (const auto& row : rows)
        QTest::newRow(row.tag) << row.content << QString::fromUtf8(row.message);
}

void TstSaxClassParser::refusedFileLogsItsMessage()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, message);

    KernelFixture fx;
    ClassDb* db = fx.loadClasses();
    fx.log.clear();
    const QString path = fx.writeRawClassFile(QStringLiteral("bad.xml"), content);
    const bool loaded = db->loadFromFile(path);

    // A malformed file (empty message) only reaches the reader's own error.
    if (!message.isEmpty()) {
        QVERIFY2(fx.log.contains(QString(message).replace(QStringLiteral("%f"), path)),
                 qPrintable(fx.log.errors().join(QLatin1Char('\n')) +
                            fx.log.warnings().join(QLatin1Char('\n'))));
    }
    QVERIFY(!loaded);
    // The reader's own line comes last and names the file.
    const QString last = fx.log.errors().last();
    QVERIFY2(last.startsWith(QStringLiteral("Error [")) &&
                 last.endsWith(QStringLiteral("(file %1)").arg(path)),
             qPrintable(last));
    // Only a class completed before the error stays.
    const bool firstCompleted = QByteArray(QTest::currentDataTag()) == "class-duplicate";
    QCOMPARE(db->deviceClasses.contains(QStringLiteral("K")), firstCompleted);
    QCOMPARE(db->deviceClassList.size(), firstCompleted ? 2 : 1);
}

void TstSaxClassParser::classesBeforeTheErrorStay()
{
    KernelFixture fx;
    fx.writeClassFile(
        QStringLiteral("two.xml"),
        "<class name=\"First\" interface=\"i\"><param name=\"a\"/></class>"
        "<class name=\"Second\" interface=\"i\"><param name=\"b\" type=\"bogus\"/></class>"
        "<class name=\"Third\" interface=\"i\"/>");
    ClassDb* db = fx.loadClasses();
    QCOMPARE(db->deviceClasses.keys(), QStringList({"First", "SERVICE"}));
    QCOMPARE(db->deviceClasses.value("First")->paramClassList.size(), 2);
    QCOMPARE(db->children().size(), 2); // the refused class went with its parameters
}

void TstSaxClassParser::systemClassInFileIsRefused()
{
    KernelFixture fx;
    fx.writeClassFile(QStringLiteral("svc.xml"),
                      "<class name=\"SERVICE\" interface=\"i\"/>"
                      "<class name=\"After\" interface=\"i\"/>");
    const QString path = fx.dir.filePath(QStringLiteral("xml_classes/svc.xml"));
    ClassDb* db = fx.loadClasses();
    QCOMPARE(fx.log.warnings(),
             QStringList({QStringLiteral("Device class 'SERVICE' already exists!"),
                          QStringLiteral(
                              "[SaxClassParser::] Can't append device class 'SERVICE'. File '%1'")
                              .arg(path)}));
    QVERIFY(!db->deviceClasses.contains(QStringLiteral("After")));
    QCOMPARE(db->deviceClasses.value("SERVICE")->paramClassList.size(), 2);
}

void TstSaxClassParser::scriptCheckSeesArgumentsInTextOrder()
{
    KernelFixture fx;
    const QString path = fx.writeClassFile(
        QStringLiteral("v.xml"),
        inClass("<vparam name=\"alarm\"><arg id=\"b\" param=\"x\"/><arg id=\"a\" param=\"y\"/>"
                "<script>return a +;</script></vparam>"));
    ClassDb* db = fx.loadClasses();
    QVERIFY(!db->deviceClasses.contains(QStringLiteral("K")));
    const QString prefix =
        QStringLiteral(
            "Script 'function myFunc(a, b) { return a +; }' for param 'alarm' in '%1' : ")
            .arg(path);
    QVERIFY2(fx.log.errors().first().startsWith(prefix + QStringLiteral("SyntaxError")),
             qPrintable(fx.log.errors().first()));
    QVERIFY(!fx.engine.hasUncaughtException());

    // The check defines the function without calling it: a script that
    // would throw when run is accepted.
    fx.log.clear();
    fx.writeClassFile(QStringLiteral("w.xml"),
                      "<class name=\"W\" interface=\"i\"><param name=\"p\">"
                      "<alarm>throw new Error('only when run');</alarm></param></class>");
    QVERIFY(db->loadFromFile(fx.dir.filePath(QStringLiteral("xml_classes/w.xml"))));
    QVERIFY(fx.engine.globalObject().property(QStringLiteral("myFunc")).isFunction());
}

void TstSaxClassParser::hostileFilesAreRefusedAndTheWalkGoesOn_data()
{
    QTest::addColumn<QByteArray>("content");

    QTest::newRow("empty") << QByteArray();
    QTest::newRow("truncated") << QByteArray(
        "<?xml version=\"1.0\"?><classlist><class name=\"X\" inter");
    QByteArray garbage(64 * 1024, '\0');
    quint32 seed = 12345;
    for (char& c : garbage) {
        seed = seed * 1103515245u + 12345u;
        c = char(seed >> 16);
    }
    QTest::newRow("binary") << garbage;
    QTest::newRow("deep") << QByteArray("<classlist>") + QByteArray("<class>").repeated(200000);
    QTest::newRow("deep-unknown") << QByteArray("<a>").repeated(200000) +
            QByteArray("</a>").repeated(200000);
    QTest::newRow("huge-attribute") << "<classlist><class interface=\"i\" name=\"" +
            QByteArray(20 * 1024 * 1024, 'n') +
            "\">"
            "<param name=\"p\" type=\"" +
            QByteArray(1024 * 1024, 't') + "\"/></class></classlist>";
    QTest::newRow("huge-text")
        << "<classlist><class name=\"H\" interface=\"i\"><param name=\"p\"><access>" +
            QByteArray(20 * 1024 * 1024, 'R') + "</access></param></class></classlist>";
    QTest::newRow("entity-bomb") << QByteArray(
        "<?xml version=\"1.0\"?><!DOCTYPE classlist [<!ENTITY a \"aaaaaaaaaa\">"
        "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c "
        "\"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">"
        "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\"><!ENTITY e "
        "\"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">"
        "<!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\"><!ENTITY g "
        "\"&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;\">"
        "]><classlist><class name=\"B\" interface=\"i\"><param name=\"p\"><info>&g;</info>"
        "</param></class></classlist>");
    // Undecodable bytes become replacement characters, as the XML reader
    // decodes them; what matters is that the reader survives them.
    QTest::newRow("invalid-utf8") << QByteArray(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><classlist><class name=\"\xff\xfe\xc3\" "
        "interface=\"i\"><param name=\"p\"><info>\xed\xa0\x80</info></param></class></classlist>");
}

void TstSaxClassParser::hostileFilesAreRefusedAndTheWalkGoesOn()
{
    QFETCH(QByteArray, content);
    KernelFixture fx;
    fx.writeRawClassFile(QStringLiteral("hostile.xml"), content);
    fx.writeClassFile(QStringLiteral("sub/good.xml"), "<class name=\"Good\" interface=\"i\"/>");
    ClassDb* db = fx.loadClasses();
    QVERIFY(db->deviceClasses.contains(QStringLiteral("Good")));
    if (QByteArray(QTest::currentDataTag()) == "invalid-utf8")
        return;
    QVERIFY(!fx.log.errors().isEmpty());
    QVERIFY(fx.log.errors().last().endsWith(
        QStringLiteral("(file %1)")
            .arg(fx.dir.filePath(QStringLiteral("xml_classes/hostile.xml")))));
}

void TstSaxClassParser::readerWithoutDatabaseRefusesToStart()
{
    KernelFixture fx;
    SaxClassParser parser(QStringLiteral("f.xml"), nullptr);
    QVERIFY(!parser.startDocument());
    QCOMPARE(fx.log.errors(),
             QStringList {QStringLiteral("Class database object is not set for parsing")});
}

QTEST_GUILESS_MAIN(TstSaxClassParser)
#include "tst_sax_class_parser.moc"
