#include "classes/class_db.h"
#include "classes/device_class.h"
#include "foundation/app_shared.h"
#include "kernel_fixture.h"
#include "param_dump.h"

#include <QtTest>

class TstClassDb : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void missingDirectoryLeavesOnlyTheSystemClassCreatedOnce();
    void arrayKeysCoexistWithScalars();
    void virtualParamsFillTheBuiltInAlarmOnceOrAreAddedAsReadOnlyInt();
    void imageToParamTypeConverts_data();
    void imageToParamTypeConverts();
    void imageToParamTypeChecksTargetBeforeOrAfterReading();
    void loadDirWalksSubdirectoriesAndSkipsBadOrMissingFiles();
};

void TstClassDb::missingDirectoryLeavesOnlyTheSystemClassCreatedOnce()
{
    KernelFixture fx;
    share::xmlClassesPath = fx.dir.filePath(QStringLiteral("nowhere"));
    ClassDb* db = fx.loadClasses();

    QCOMPARE(
        fx.log.errors(),
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

    fx.log.clear();
    db->createSystemDeviceClass();
    DeviceClass duplicate;
    duplicate.name = QStringLiteral("SERVICE");
    QVERIFY(!db->appendDeviceClass(&duplicate));
    QCOMPARE(duplicate.parent(), nullptr); // the caller keeps what is refused
    QCOMPARE(fx.log.warnings(),
             QStringList({"[ClassDb::] Can't create device class 'SERVICE', because class "
                          "already exists.",
                          "Device class 'SERVICE' already exists!"}));
    QCOMPARE(db->deviceClassList.size(), 1);
}

void TstClassDb::arrayKeysCoexistWithScalars()
{
    KernelFixture fx;
    DeviceClass deviceClass;
    deviceClass.name = QStringLiteral("E1");

    auto* array = new ParamClass;
    array->name = QStringLiteral("x");
    array->dim = 4;
    QVERIFY(deviceClass.appendParamClass(array));
    auto* scalar = new ParamClass;
    scalar->name = QStringLiteral("x");
    QVERIFY(deviceClass.appendParamClass(scalar));
    QCOMPARE(deviceClass.paramClasses.value(QStringLiteral("x[]")), array);
    QCOMPARE(deviceClass.paramClasses.value(QStringLiteral("x")), scalar);

    ParamClass second;
    second.name = QStringLiteral("x");
    second.dim = 4;
    QVERIFY(!deviceClass.appendParamClass(&second));
    QCOMPARE(second.parent(), nullptr);
    QCOMPARE(
        fx.log.errors(),
        QStringList {QStringLiteral("Param class 'x[]' already exists in device class 'E1'.")});
    const QVector<ParamClass*> expected {deviceClass.paramClasses.value(QStringLiteral("alarm")),
                                         array, scalar};
    QCOMPARE(deviceClass.paramClassList, expected);
}

void TstClassDb::virtualParamsFillTheBuiltInAlarmOnceOrAreAddedAsReadOnlyInt()
{
    KernelFixture fx;
    DeviceClass deviceClass;
    ParamClass* builtIn = deviceClass.paramClassList.at(0);

    ParamClass parsed;
    parsed.name = QStringLiteral("alarm");
    parsed.isVirtual = true;
    parsed.script = QStringLiteral("return a;");
    parsed.args.insert(QStringLiteral("a"), QStringLiteral("level"));
    QVERIFY(deviceClass.setVirtualParamClass(&parsed));
    QCOMPARE(describe(&deviceClass),
             QStringList {"alarm INT/2 access=1 virtual(a=level){return a;}"});
    QCOMPARE(deviceClass.paramClassList.at(0), builtIn); // filled in place
    QVERIFY(!deviceClass.setVirtualParamClass(&parsed));

    ParamClass plain;
    plain.name = QStringLiteral("other");
    QVERIFY(!deviceClass.setVirtualParamClass(&plain));
    QCOMPARE(fx.log.errors(),
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

    const int U = Tavo::UINT, I = Tavo::INT, F = Tavo::FLOAT;
    QTest::newRow("uint-hex") << "0x1F" << U << "ok 1f";
    QTest::newRow("uint-octal") << "010" << U << "ok 8";
    QTest::newRow("uint-decimal") << "4294967295" << U << "ok ffffffff";
    QTest::newRow("uint-overflow") << "4294967296" << U
                                   << "refused 0: [imageToNumericType()] Expected unsigned "
                                      "integer value but '4294967296' found";
    QTest::newRow("uint-negative") << "-1" << U
                                   << "refused 0: [imageToNumericType()] Expected unsigned "
                                      "integer value but '-1' found";
    QTest::newRow("int-negative") << "-1" << I << "ok ffffffff";
    QTest::newRow("int-hex") << "0x10" << I << "ok 10";
    QTest::newRow("int-word") << "abc" << I
                              << "refused 0: [imageToNumericType()] Expected integer value but "
                                 "'abc' found";
    QTest::newRow("float") << "1.5" << F << "ok 3fc00000";
    QTest::newRow("float-bad") << "1,5" << F
                               << "refused 0: [imageToNumericType()] Expected float value but "
                                  "'1,5' found";
    QTest::newRow("empty") << "" << U
                           << "refused 0: [imageToNumericType()] empty string to convert";
    QTest::newRow("asciiz") << "abc" << int(Tavo::ASCIIZ) << "ok 0 abc";
    QTest::newRow("file") << "a.bin" << int(Tavo::FILE) << "ok 0 a.bin";
    QTest::newRow("bytes") << "0A.0B" << int(Tavo::BYTE_ARRAY) << "ok 0 %0A%0B";
    QTest::newRow("bytes-odd") << "0A.0" << int(Tavo::BYTE_ARRAY)
                               << "refused 0: [imageToNumericType()] Expected hex-value string of "
                                  "the even-value size, but found '0A.0'";
    QTest::newRow("unknown-type") << "x" << 42 << "ok 0";
}

void TstClassDb::imageToParamTypeConverts()
{
    QFETCH(QString, text);
    QFETCH(int, type);
    QFETCH(QString, result);

    KernelFixture fx;
    unsigned long value = 0;
    QByteArray out;
    const bool ok = imageToParamType(text, Tavo::ParamType(type), &value, &out);
    QString actual = (ok ? "ok " : "refused ") + QString::number(value, 16);
    if (!out.isEmpty())
        actual += ' ' + QString::fromLatin1(out.toPercentEncoding());
    if (!fx.log.errors().isEmpty())
        actual += ": " + fx.log.errors().join(" | ");
    QCOMPARE(actual, result);
}

void TstClassDb::imageToParamTypeChecksTargetBeforeOrAfterReading()
{
    KernelFixture fx;
    const QString notPassed =
        QStringLiteral("[imageToNumericType()] Target variable is not passed");

    // UINT refuses a missing target before it looks at the text ...
    QVERIFY(!imageToParamType(QStringLiteral("junk"), Tavo::UINT, nullptr, nullptr));
    QCOMPARE(fx.log.errors(), QStringList {notPassed});
    // ... INT and FLOAT read the text first.
    fx.log.clear();
    QVERIFY(!imageToParamType(QStringLiteral("junk"), Tavo::INT, nullptr, nullptr));
    QCOMPARE(fx.log.errors(),
             QStringList {
                 QStringLiteral("[imageToNumericType()] Expected integer value but 'junk' found")});
    fx.log.clear();
    QVERIFY(!imageToParamType(QStringLiteral("2.5"), Tavo::FLOAT, nullptr, nullptr));
    QVERIFY(!imageToParamType(QStringLiteral("01.02"), Tavo::BYTE_ARRAY, nullptr, nullptr));
    QVERIFY(!imageToParamType(QStringLiteral("text"), Tavo::ASCIIZ, nullptr, nullptr));
    QCOMPARE(fx.log.errors(), QStringList({notPassed, notPassed, notPassed}));

    QCOMPARE(ulong_typecast_from_int(-2), 0xFFFFFFFEul);
    QCOMPARE(ulong_typecast_from_float(-2.0f), 0xC0000000ul);
}

void TstClassDb::loadDirWalksSubdirectoriesAndSkipsBadOrMissingFiles()
{
    KernelFixture fx;
    fx.writeClassFile(QStringLiteral("a.xml"), "<class name=\"A\" interface=\"ia\"/>");
    fx.writeClassFile(QStringLiteral("deep/er/b.XML"), "<class name=\"B\" interface=\"ib\"/>");
    fx.writeClassFile(QStringLiteral("c.Xml"), "<class name=\"C\" interface=\"ic\"/>");
    fx.writeClassFile(QStringLiteral("d.txt"), "<class name=\"D\" interface=\"id\"/>");
    fx.writeRawClassFile(QStringLiteral("broken.xml"), "<classlist><class name=");
    fx.writeClassFile(QStringLiteral("zz/e.xml"), "<class name=\"E\" interface=\"ie\"/>");

    ClassDb* db = fx.loadClasses();
    QStringList names = db->deviceClasses.keys();
    QCOMPARE(names, QStringList({"A", "B", "E", "SERVICE"}));
    QCOMPARE(db->deviceClassList.first()->name, QStringLiteral("SERVICE"));
    QCOMPARE(
        fx.log.messages().first(),
        QStringLiteral("[ClassDb::loadDir()] Check directory '%1' for the device class database.")
            .arg(fx.classesDir()));
    QCOMPARE(fx.log.errors().size(), 1);
    QVERIFY(fx.log.errors().first().startsWith(QStringLiteral("Error [1, ")));
    QVERIFY(fx.log.errors().first().endsWith(
        QStringLiteral("(file %1)")
            .arg(fx.dir.filePath(QStringLiteral("xml_classes/broken.xml")))));

    fx.log.clear();
    const QString path = fx.dir.filePath(QStringLiteral("none.xml"));
    QVERIFY(!db->loadFromFile(path));
    QCOMPARE(fx.log.errors(), QStringList {QStringLiteral("File not found: %1").arg(path)});
}

QTEST_GUILESS_MAIN(TstClassDb)
#include "tst_class_db.moc"
