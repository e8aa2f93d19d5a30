#include "classes/class_db.h"
#include "classes/device_class.h"
#include "foundation/app_shared.h"
#include "kernel_fixture.h"

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
    QCOMPARE(service->paramClassList.size(), 2);

    ParamClass* alarm = service->paramClassList.at(0);
    QCOMPARE(alarm->name, QStringLiteral("alarm"));
    QVERIFY(alarm->isVirtual);
    QVERIFY(alarm->isPredefined);
    QCOMPARE(alarm->type, Tavo::INT);
    QCOMPARE(alarm->access, 1);

    ParamClass* root = service->paramClasses.value(QStringLiteral("root"));
    QCOMPARE(service->paramClassList.at(1), root);
    QCOMPARE(root->humanName, QStringLiteral("Administrator"));
    QCOMPARE(root->info, QStringLiteral("Parameter is used for system control."));
    QCOMPARE(root->type, Tavo::ASCIIZ);
    QCOMPARE(root->access, 3);
    QCOMPARE(root->parent(), service);

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
    QCOMPARE(builtIn->script, parsed.script);
    QCOMPARE(builtIn->args, parsed.args);
    QVERIFY(!builtIn->isPredefined);
    QCOMPARE(deviceClass.paramClassList.size(), 1);
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
    QCOMPARE(deviceClass.paramClassList.size(), 2);
    ParamClass* created = deviceClass.paramClassList.last();
    QVERIFY(created != &parsed);
    QCOMPARE(created->name, QStringLiteral("sum"));
    QCOMPARE(created->type, Tavo::INT);
    QCOMPARE(created->access, 1);
    QVERIFY(created->isVirtual);
    QVERIFY(!created->isPredefined);
    QCOMPARE(created->script, parsed.script);
    QCOMPARE(created->parent(), &deviceClass);
}

void TstClassDb::imageToParamTypeConverts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<quint32>("word");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("error");

    const int U = Tavo::UINT, I = Tavo::INT, F = Tavo::FLOAT;
    const QByteArray none;
    QTest::newRow("uint-hex") << "0x1F" << U << true << 31u << none << QString();
    QTest::newRow("uint-octal") << "010" << U << true << 8u << none << QString();
    QTest::newRow("uint-decimal") << "4294967295" << U << true << 0xFFFFFFFFu << none << QString();
    QTest::newRow("uint-overflow") << "4294967296" << U << false << 0u << none
                                   << "[imageToNumericType()] Expected unsigned integer value but "
                                      "'4294967296' found";
    QTest::newRow("uint-negative") << "-1" << U << false << 0u << none
                                   << "[imageToNumericType()] Expected unsigned integer value but "
                                      "'-1' found";
    QTest::newRow("int-negative") << "-1" << I << true << 0xFFFFFFFFu << none << QString();
    QTest::newRow("int-hex") << "0x10" << I << true << 16u << none << QString();
    QTest::newRow("int-word") << "abc" << I << false << 0u << none
                              << "[imageToNumericType()] Expected integer value but 'abc' found";
    QTest::newRow("float") << "1.5" << F << true << 0x3FC00000u << none << QString();
    QTest::newRow("float-bad") << "1,5" << F << false << 0u << none
                               << "[imageToNumericType()] Expected float value but '1,5' found";
    QTest::newRow("empty") << "" << U << false << 0u << none
                           << "[imageToNumericType()] empty string to convert";
    QTest::newRow("asciiz") << "abc" << int(Tavo::ASCIIZ) << true << 0u << QByteArray("abc")
                            << QString();
    QTest::newRow("file") << "a.bin" << int(Tavo::FILE) << true << 0u << QByteArray("a.bin")
                          << QString();
    QTest::newRow("bytes") << "0A.0B" << int(Tavo::BYTE_ARRAY) << true << 0u
                           << QByteArray("\x0a\x0b", 2) << QString();
    QTest::newRow("bytes-odd") << "0A.0" << int(Tavo::BYTE_ARRAY) << false << 0u << none
                               << "[imageToNumericType()] Expected hex-value string of the "
                                  "even-value size, but found '0A.0'";
    QTest::newRow("unknown-type") << "x" << 42 << true << 0u << none << QString();
}

void TstClassDb::imageToParamTypeConverts()
{
    QFETCH(QString, text);
    QFETCH(int, type);
    QFETCH(bool, ok);
    QFETCH(quint32, word);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, error);

    KernelFixture fx;
    unsigned long value = 0;
    QByteArray out;
    QCOMPARE(imageToParamType(text, Tavo::ParamType(type), &value, &out), ok);
    QCOMPARE(quint32(value), word);
    QCOMPARE(out, bytes);
    QCOMPARE(fx.log.errors(), error.isEmpty() ? QStringList() : QStringList {error});
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
