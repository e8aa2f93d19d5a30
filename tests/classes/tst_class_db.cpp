#include "classes/class_db.h"
#include "classes/device_class.h"
#include "classes/sax_class_parser.h"
#include "foundation/app_shared.h"
#include "kernel_fixture.h"
#include "param_dump.h"

#include <QtTest>

namespace {

// One class around @p params, with the attributes every class needs.
QByteArray inClass(const QByteArray& params)
{
    return "<class name=\"K\" interface=\"ik\">\n" + params + "\n</class>";
}

} // namespace

class TstClassDb : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { fx = std::make_unique<KernelFixture>(); }
    void cleanup() { fx.reset(); }
    void missingDirectoryLeavesOnlyTheSystemClassCreatedOnce();
    void virtualParamsFillTheBuiltInAlarmOnceOrAreAddedAsReadOnlyInt();
    void imageToParamTypeConverts_data();
    void imageToParamTypeConverts();
    void imageToParamTypeChecksTargetBeforeOrAfterReading();
    void completeFileFillsEveryField();
    void textSplitByReferencesIsReadWhole();
    void refusedFileLogsItsMessage_data();
    void refusedFileLogsItsMessage();
    void scriptCheckSeesArgumentsInTextOrder();
    void hostileFilesAreRefusedAndTheWalkGoesOn_data();
    void hostileFilesAreRefusedAndTheWalkGoesOn();
    void readerWithoutDatabaseRefusesToStart();

private:
    std::unique_ptr<KernelFixture> fx;
};

void TstClassDb::missingDirectoryLeavesOnlyTheSystemClassCreatedOnce()
{
    share::xmlClassesPath = fx->dir.filePath(QStringLiteral("nowhere"));
    ClassDb* db = fx->loadClasses();

    QCOMPARE(
        fx->log.errors(),
        QStringList {QStringLiteral("Directory '%1' is not exits").arg(share::xmlClassesPath)});
    QCOMPARE(db->deviceClassList.size(), 1);
    DeviceClass* service = db->deviceClasses.value(QStringLiteral("SERVICE"));
    QVERIFY(service);
    QCOMPARE(service->parent(), db);
    QCOMPARE(describe(service),
             QStringList({"alarm INT/2 access=1 virtual*(){}",
                          "root ASCIIZ/2 access=3 human=Administrator info=Parameter is used for "
                          "system control."}));
    QCOMPARE(service->paramClasses.value(QStringLiteral("root")), service->paramClassList.at(1));
    QCOMPARE(service->paramClassList.at(1)->parent(), service);

    fx->log.clear();
    db->createSystemDeviceClass();
    DeviceClass duplicate;
    duplicate.name = QStringLiteral("SERVICE");
    QVERIFY(!db->appendDeviceClass(&duplicate));
    QCOMPARE(duplicate.parent(), nullptr); // the caller keeps what is refused
    QCOMPARE(fx->log.warnings(),
             QStringList({"[ClassDb::] Can't create device class 'SERVICE', because class "
                          "already exists.",
                          "Device class 'SERVICE' already exists!"}));
    QCOMPARE(db->deviceClassList.size(), 1);
}

void TstClassDb::virtualParamsFillTheBuiltInAlarmOnceOrAreAddedAsReadOnlyInt()
{
    DeviceClass deviceClass;

    ParamClass parsed;
    parsed.name = QStringLiteral("alarm");
    parsed.isVirtual = true;
    parsed.script = QStringLiteral("return a;");
    parsed.args.insert(QStringLiteral("a"), QStringLiteral("level"));
    QVERIFY(deviceClass.setVirtualParamClass(&parsed));
    QCOMPARE(describe(&deviceClass),
             QStringList {"alarm INT/2 access=1 virtual(a=level){return a;}"});
    QVERIFY(!deviceClass.setVirtualParamClass(&parsed));

    ParamClass plain;
    plain.name = QStringLiteral("other");
    QVERIFY(!deviceClass.setVirtualParamClass(&plain));
    QCOMPARE(fx->log.errors(),
             QStringList({"Virtual param class with name 'alarm' is already setted",
                          "Param class with name 'other' is not virtual"}));

    parsed.name = QStringLiteral("sum");
    parsed.type = Tavo::FLOAT;
    parsed.access = 3;
    QVERIFY(deviceClass.setVirtualParamClass(&parsed));
    // The created class copies the script, but is always a read-only INT.
    QCOMPARE(describe(&deviceClass).value(1), "sum INT/2 access=1 virtual(a=level){return a;}");
    QVERIFY(deviceClass.paramClassList.last() != &parsed);
    QCOMPARE(deviceClass.paramClassList.last()->parent(), &deviceClass);
}

void TstClassDb::imageToParamTypeConverts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("type");
    // "ok"/"refused", the value word in hex, the bytes (percent-encoded), the errors
    QTest::addColumn<QString>("result");

    const int U = Tavo::UINT, I = Tavo::INT, F = Tavo::FLOAT, B = Tavo::BYTE_ARRAY;
    const QString refused = QStringLiteral("refused 0: [imageToNumericType()] ");
    QTest::newRow("uint-decimal") << "4294967295" << U << "ok ffffffff";
    QTest::newRow("uint-overflow")
        << "4294967296" << U << refused + "Expected unsigned integer value but '4294967296' found";
    QTest::newRow("int-negative") << "-1" << I << "ok ffffffff";
    QTest::newRow("int-word") << "abc" << I << refused + "Expected integer value but 'abc' found";
    QTest::newRow("float") << "1.5" << F << "ok 3fc00000";
    QTest::newRow("float-bad") << "1,5" << F << refused + "Expected float value but '1,5' found";
    QTest::newRow("empty") << "" << U << refused + "empty string to convert";
    QTest::newRow("asciiz") << "abc" << int(Tavo::ASCIIZ) << "ok 0 abc";
    QTest::newRow("bytes") << "0A.0B" << B << "ok 0 %0A%0B";
    QTest::newRow("bytes-odd") << "0A.0" << B
                               << refused +
            "Expected hex-value string of the even-value size, but found '0A.0'";
    QTest::newRow("unknown-type") << "x" << 42 << "ok 0";
}

void TstClassDb::imageToParamTypeConverts()
{
    QFETCH(QString, text);
    QFETCH(int, type);
    QFETCH(QString, result);

    unsigned long value = 0;
    QByteArray out;
    const bool ok = imageToParamType(text, Tavo::ParamType(type), &value, &out);
    QString actual = (ok ? "ok " : "refused ") + QString::number(value, 16);
    if (!out.isEmpty())
        actual += ' ' + QString::fromLatin1(out.toPercentEncoding());
    if (!fx->log.errors().isEmpty())
        actual += ": " + fx->log.errors().join(" | ");
    QCOMPARE(actual, result);
}

void TstClassDb::imageToParamTypeChecksTargetBeforeOrAfterReading()
{
    const QString notPassed =
        QStringLiteral("[imageToNumericType()] Target variable is not passed");

    // UINT refuses a missing target before it looks at the text ...
    QVERIFY(!imageToParamType(QStringLiteral("junk"), Tavo::UINT, nullptr, nullptr));
    QCOMPARE(fx->log.errors(), QStringList {notPassed});
    // ... INT and FLOAT read the text first.
    fx->log.clear();
    QVERIFY(!imageToParamType(QStringLiteral("junk"), Tavo::INT, nullptr, nullptr));
    QCOMPARE(fx->log.errors(),
             QStringList {
                 QStringLiteral("[imageToNumericType()] Expected integer value but 'junk' found")});
    fx->log.clear();
    QVERIFY(!imageToParamType(QStringLiteral("2.5"), Tavo::FLOAT, nullptr, nullptr));
    QVERIFY(!imageToParamType(QStringLiteral("01.02"), Tavo::BYTE_ARRAY, nullptr, nullptr));
    QVERIFY(!imageToParamType(QStringLiteral("text"), Tavo::ASCIIZ, nullptr, nullptr));
    QCOMPARE(fx->log.errors(), QStringList({notPassed, notPassed, notPassed}));

    QCOMPARE(ulong_typecast_from_int(-2), 0xFFFFFFFEul);
    QCOMPARE(ulong_typecast_from_float(-2.0f), 0xC0000000ul);
}

void TstClassDb::completeFileFillsEveryField()
{
    fx->writeClassFile(QStringLiteral("e1.xml"), R"(
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
  <param name="key" type="Counter"/>
  <param name="up" type="uinteger32"/>
  <param name="level" type="gauge"/>
  <param name="image" type="File"/>
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
    ClassDb* db = fx->loadClasses();
    QCOMPARE(fx->log.errors(), QStringList());
    QVERIFY(fx->log.messages().contains(
        QStringLiteral("Parsing for '%1' is done successfull")
            .arg(fx->dir.filePath(QStringLiteral("xml_classes/e1.xml")))));

    DeviceClass* e1 = db->deviceClasses.value(QStringLiteral("E1"));
    QVERIFY(e1);
    QCOMPARE(e1->interfaceName, QStringLiteral("e1if"));
    QCOMPARE(e1->oid, QStringLiteral("1.3.6.1.4.1"));
    QCOMPARE(e1->paramClasses.keys(),
             QStringList({"alarm", "gain", "image", "key", "key[]", "level", "los[]", "plain",
                          "status", "sum", "up"}));
    ParamClass* status = e1->paramClasses.value(QStringLiteral("status"));
    QCOMPARE(status->aliasMap.value(QStringLiteral("statusText")), status->aliases.value(0));
    QCOMPARE(e1->referenceMap.value(QStringLiteral("peer")), e1->references.value(0));
    // Aliases and references are the class's children too, but outside the list.
    QCOMPARE(e1->findChildren<ParamClass*>().size(), e1->paramClassList.size() + 2);
    QCOMPARE(
        describe(e1) << describe(status->aliases.value(0)) << describe(e1->references.value(0)),
        QStringList({
            "alarm INT/2 access=1 virtual(){return -1;}",
            "status UINT/2 access=3 human=Status word info=Line <b>status</b> word def=10 min=0 "
            "max=100 step=5 variants=0:Off,1:On,2 oid=1.3.6.1.4.1.7 alarm=if (param > 50) "
            "return 2; return -1;",
            "los INT/2 access=3x dim=3 bit=29 base=status def=fffffffe variants=ffffffff:minus,10",
            "gain FLOAT/2 access=1 def=3fc00000 variants=3f000000:half",
            "key BYTE_ARRAY/4 access=2x dim=40 def=0 bytes=0a.0b",
            "plain UINT/2 access=1", // no access element: read only
            "key UINT/65 access=1", // beside the array of the same name
            "up UINT/71 access=1",
            "level UINT/66 access=1",
            "image FILE/2 access=1",
            "sum INT/2 access=1 virtual(a=los,b=gain){return a + b;}",
            "statusText ASCIIZ/2 access=1 info=as text def=0 bytes=idle alias",
            "peer INT/2 access=2 info=peer status def=7 ref=E2.status",
        }));
}

void TstClassDb::textSplitByReferencesIsReadWhole()
{
    fx->writeClassFile(QStringLiteral("k.xml"), inClass(R"(
<param name="p">
  <alarm>if (param &lt; 5 &amp;&amp; param != 0) return 3; <![CDATA[if (param > 9) return 1;]]> return -1;</alarm>
  <human_name>A &amp; B</human_name>
</param>)"));
    ClassDb* db = fx->loadClasses();
    QCOMPARE(fx->log.errors(), QStringList());
    ParamClass* p = db->deviceClasses.value(QStringLiteral("K"))->paramClasses.value("p");
    QCOMPARE(p->alarmScript,
             QStringLiteral(
                 "if (param < 5 && param != 0) return 3; if (param > 9) return 1; return -1;"));
    QCOMPARE(p->humanName, QStringLiteral("A & B"));

    // An element without text carries no value to check or to take.
    fx->writeClassFile(QStringLiteral("e.xml"),
                       "<class name=\"E\" interface=\"i\"><param name=\"p\"><human_name/>"
                       "<info></info><defvalue/></param></class>");
    QVERIFY(db->loadFromFile(fx->dir.filePath(QStringLiteral("xml_classes/e.xml"))));
    QVERIFY(!db->deviceClasses.value(QStringLiteral("E"))->paramClasses.value("p")->hasDefValue);
}

void TstClassDb::refusedFileLogsItsMessage_data()
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
    const auto prm = [&](const QByteArray& inner) {
        return cls("<param name='p'>" + inner + "</param>");
    };
    const auto row = [](const char* tag, const QByteArray& content, const char* message) {
        QTest::newRow(tag) << content << QString::fromUtf8(message);
    };
    row("root-class", QByteArray(head + "<class name='K' interface='i'/>"),
        "Unexpected tag 'class' in file '%f'");
    row("unknown-tag", doc("<klass/>"), "Unknown tag 'klass' in file '%f'");
    row("alias-in-class", cls("<alias name='a'/>"), "Unexpected tag 'alias' in file '%f'");
    row("script-in-param", prm("<script>1</script>"), "Unexpected tag 'script' in file '%f'");
    row("human-name-in-alias", prm("<alias name='a'><human_name>x</human_name></alias>"),
        "Unexpected tag 'human_name' in file '%f'");
    row("class-name", doc("<class interface='i'/>"),
        "Attribute 'name' is absent for 'class' tag in '%f'");
    row("class-interface", doc("<class name='K'/>"),
        "Attribute 'interface' is absent for 'class' tag in '%f'");
    row("class-oid-double-dot", doc("<class name='K' interface='i' oid='1..3'/>"),
        "Invalid 'oid' attribute for 'class' tag in '%f': 1..3");
    row("param-name", cls("<param/>"), "Attribute 'name' is absent for 'param' tag in '%f'");
    row("bit-absent", cls("<param name='p' basename='b'/>"),
        "Attribute 'bit' absent for 'basename' attribute in '%f'");
    row("bit-text", cls("<param name='p' basename='b' bit='x'/>"),
        "Attribute 'bit' is not integer value in '%f'");
    row("bit-negative", cls("<param name='p' basename='b' bit='-1'/>"),
        "Attribute 'bit' must be >= 0 in '%f'");
    row("dim-text", cls("<param name='p' dim='0x4'/>"),
        "Attribute 'dim' is not integer value in '%f'");
    row("dim-zero", cls("<param name='p' dim='0'/>"), "Attribute 'dim' must be >= 1 in '%f'");
    row("bit-plus-dim", cls("<param name='p' basename='b' bit='30' dim='3'/>"),
        "Sum 'dim + bit > 32' is impossible case in '%f'.");
    row("param-type", cls("<param name='p' type='double'/>"),
        "Attribute 'type' is invalid (double) in '%f'");
    row("alias-snmp-type", prm("<alias name='a' type='counter64'/>"),
        "Attribute 'type' is invalid (counter64) in '%f'");
    row("alias-name", prm("<alias/>"), "Attribute 'name' is absent for 'alias' tag in '%f'");
    row("reference-name", cls("<reference target_class='c' target_param='p'/>"),
        "Attribute 'name' is absent for 'reference' tag in '%f'");
    row("reference-class", cls("<reference name='r' target_param='p'/>"),
        "Attribute 'target_class' is absent for 'reference' tag in '%f'");
    row("reference-param", cls("<reference name='r' target_class='c'/>"),
        "Attribute 'target_param' is absent for 'reference' tag in '%f'");
    row("reference-type",
        cls("<reference name='r' target_class='c' target_param='p' type='gauge'/>"),
        "Attribute 'type' is invalid (gauge) in '%f'");
    row("vparam-name", cls("<vparam/>"), "Attribute 'name' is absent for 'vparam' tag in '%f'");
    row("arg-id", cls("<vparam name='v'><arg param='p'/></vparam>"),
        "Attribute 'id' is absent for 'arg' tag in '%f'");
    row("arg-param", cls("<vparam name='v'><arg id='a'/></vparam>"),
        "Attribute 'param' is absent for 'arg' tag in '%f'");
    row("info-blank", prm("<info> \n\t </info>"), "'info' tag has empty value in '%f'");
    row("variants-no-list", prm("<variants>,,</variants>"), "'variants' tag has no value list");
    row("variants-item", prm("<variants>1:a:b</variants>"),
        "'variants' tag has invalid item - '1:a:b'");
    row("variants-uint", prm("<variants>1,-2</variants>"),
        "Expected unsigned integer value in 'variants' tag, but found - '-2'");
    row("variants-int", cls("<param name='p' type='INT'><variants>x:y</variants></param>"),
        "Expected integer value in 'variants' tag, but found - 'x'");
    row("variants-float", cls("<param name='p' type='FLOAT'><variants>1.5,z</variants></param>"),
        "Expected float value in 'variants' tag, but found - 'z'");
    row("variants-text", cls("<param name='p' type='ASCIIZ'><variants>0:Off</variants></param>"),
        "Tag 'variants' match for numeric types only");
    row("access-word", prm("<access>X</access>"), "Unrecognize access value 'X' in '%f'");
    row("alarm-blank", prm("<alarm>  </alarm>"), "Script is empty for param 'p' in '%f'");
    row("script-blank", cls("<vparam name='v'><script>\n</script></vparam>"),
        "Script is empty for param 'v' in '%f'");
    row("defvalue-uint", prm("<defvalue>ten</defvalue>"),
        "[imageToNumericType()] Expected unsigned integer value but 'ten' found");
    row("minvalue-bytes", cls("<param name='p' type='BYTE_ARRAY'><minvalue>1</minvalue></param>"),
        "[imageToNumericType()] Target variable is not passed");
    row("array-duplicate", cls("<param name='p' dim='2'/><param name='p' dim='2'/>"),
        "Param class 'p[]' already exists in device class 'K'.");
    row("param-duplicate-append", cls("<param name='p'/><param name='p'/>"),
        "Can't append param 'p'. File '%f'");
    row("vparam-twice",
        cls("<vparam name='alarm'><script>return 1;</script></vparam>"
            "<vparam name='alarm'><script>return 2;</script></vparam>"),
        "Can't set virtual param class 'alarm'. File '%f'");
    row("class-duplicate", doc(inClass("") + inClass("")),
        "[SaxClassParser::] Can't append device class 'K'. File '%f'");
    row("malformed", QByteArray(head + "<classlist><class name='K' interface='i'>"), nullptr);
}

void TstClassDb::refusedFileLogsItsMessage()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, message);

    ClassDb* db = fx->loadClasses();
    fx->log.clear();
    const QString path = fx->writeRawClassFile(QStringLiteral("bad.xml"), content);
    const bool loaded = db->loadFromFile(path);

    // A malformed file (empty message) only reaches the reader's own error.
    if (!message.isEmpty()) {
        QVERIFY2(fx->log.contains(QString(message).replace(QStringLiteral("%f"), path)),
                 qPrintable(fx->log.errors().join(QLatin1Char('\n')) +
                            fx->log.warnings().join(QLatin1Char('\n'))));
    }
    QVERIFY(!loaded);
    // The reader's own line comes last and names the file.
    const QString last = fx->log.errors().last();
    QVERIFY2(last.startsWith(QStringLiteral("Error [")) &&
                 last.endsWith(QStringLiteral("(file %1)").arg(path)),
             qPrintable(last));
    // Only a class completed before the error stays.
    const bool firstCompleted = QByteArray(QTest::currentDataTag()) == "class-duplicate";
    QCOMPARE(db->deviceClasses.contains(QStringLiteral("K")), firstCompleted);
    QCOMPARE(db->deviceClassList.size(), firstCompleted ? 2 : 1);
}

void TstClassDb::scriptCheckSeesArgumentsInTextOrder()
{
    const QString path = fx->writeClassFile(
        QStringLiteral("v.xml"),
        inClass("<vparam name=\"alarm\"><arg id=\"b\" param=\"x\"/><arg id=\"a\" param=\"y\"/>"
                "<script>return a +;</script></vparam>"));
    ClassDb* db = fx->loadClasses();
    QVERIFY(!db->deviceClasses.contains(QStringLiteral("K")));
    const QString prefix =
        QStringLiteral(
            "Script 'function myFunc(a, b) { return a +; }' for param 'alarm' in '%1' : ")
            .arg(path);
    QVERIFY2(fx->log.errors().first().startsWith(prefix + QStringLiteral("SyntaxError")),
             qPrintable(fx->log.errors().first()));
    QVERIFY(!fx->engine.hasUncaughtException());

    // The check defines the function without calling it: a script that
    // would throw when run is accepted.
    fx->log.clear();
    fx->writeClassFile(QStringLiteral("w.xml"),
                       "<class name=\"W\" interface=\"i\"><param name=\"p\">"
                       "<alarm>throw new Error('only when run');</alarm></param></class>");
    QVERIFY(db->loadFromFile(fx->dir.filePath(QStringLiteral("xml_classes/w.xml"))));
    QVERIFY(fx->engine.globalObject().property(QStringLiteral("myFunc")).isFunction());
}

void TstClassDb::hostileFilesAreRefusedAndTheWalkGoesOn_data()
{
    QTest::addColumn<QByteArray>("content");

    QByteArray garbage(64 * 1024, '\0');
    quint32 seed = 12345;
    for (char& c : garbage) {
        seed = seed * 1103515245u + 12345u;
        c = char(seed >> 16);
    }
    QTest::newRow("binary") << garbage;
    QTest::newRow("huge-attribute") << "<classlist><class interface=\"i\" name=\"" +
            QByteArray(20 * 1024 * 1024, 'n') +
            "\">"
            "<param name=\"p\" type=\"" +
            QByteArray(1024 * 1024, 't') + "\"/></class></classlist>";
    QTest::newRow("huge-text")
        << "<classlist><class name=\"H\" interface=\"i\"><param name=\"p\"><access>" +
            QByteArray(20 * 1024 * 1024, 'R') + "</access></param></class></classlist>";
    // Each entity ten times the one before: a billion characters from a few hundred bytes.
    QByteArray bomb = "<?xml version=\"1.0\"?><!DOCTYPE classlist [<!ENTITY a \"aaaaaaaaaa\">";
    for (char name = 'b'; name <= 'g'; ++name)
        bomb += "<!ENTITY " + QByteArray(1, name) + " \"" +
            ("&" + QByteArray(1, char(name - 1)) + ";").repeated(10) + "\">";
    QTest::newRow("entity-bomb") << bomb +
            "]><classlist><class name=\"B\" interface=\"i\"><param "
            "name=\"p\"><info>&g;</info></param></class></classlist>";
}

void TstClassDb::hostileFilesAreRefusedAndTheWalkGoesOn()
{
    QFETCH(QByteArray, content);
    fx->writeRawClassFile(QStringLiteral("hostile.xml"), content);
    fx->writeClassFile(QStringLiteral("sub/good.xml"), "<class name=\"Good\" interface=\"i\"/>");
    ClassDb* db = fx->loadClasses();
    QCOMPARE(
        fx->log.messages().first(),
        QStringLiteral("[ClassDb::loadDir()] Check directory '%1' for the device class database.")
            .arg(fx->classesDir()));
    QVERIFY(db->deviceClasses.contains(QStringLiteral("Good")));
    // The system class is made first, so that no file can take its name.
    QCOMPARE(db->deviceClassList.first()->name, QStringLiteral("SERVICE"));
    QVERIFY(!fx->log.errors().isEmpty());
    QVERIFY(fx->log.errors().last().endsWith(
        QStringLiteral("(file %1)")
            .arg(fx->dir.filePath(QStringLiteral("xml_classes/hostile.xml")))));
}

void TstClassDb::readerWithoutDatabaseRefusesToStart()
{
    SaxClassParser parser(QStringLiteral("f.xml"), nullptr);
    QVERIFY(!parser.startDocument());
    QCOMPARE(fx->log.errors(),
             QStringList {QStringLiteral("Class database object is not set for parsing")});
}

QTEST_GUILESS_MAIN(TstClassDb)
#include "tst_class_db.moc"
