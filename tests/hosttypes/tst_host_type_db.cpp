#include "foundation/app_shared.h"
#include "hosttypes/host_type_db.h"
#include "hosttypes/sax_host_type_parser.h"
#include "kernel_fixture.h"

#include <QtTest>

namespace {

QByteArray typeFile(const QByteArray& body)
{
    return "<?xml version=\"1.0\"?>\n<nodetypelist>\n" + body + "\n</nodetypelist>\n";
}

// "name/protocol/class,class" of each type in list order, each a child of the database.
QStringList types(const HostTypeDb& db)
{
    QStringList out;
    for (HostType* type : db.hostTypes) {
        if (type->parent() == &db)
            out << type->hostTypeName() + '/' + type->protocolName + '/' +
                    type->deviceClassNames.join(',');
    }
    return out;
}

/// Host type files below xml_nodetypes/ of the fixture's directory.
struct HostTypeFixture : KernelFixture
{
    HostTypeFixture() { share::xmlNodeTypesPath = dir.makeDir("xml_nodetypes"); }
    QString write(const QString& relative, const QByteArray& content) const
    {
        return dir.writeFile("xml_nodetypes/" + relative, content);
    }
};

} // namespace

class TstHostTypeDb : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void typesAreReadWithProtocolAndClassesAndNoneComesLast();
    void refusedFileLogsItsMessage_data();
    void refusedFileLogsItsMessage();
    void compatibilityNeedsEveryClass();
};

void TstHostTypeDb::typesAreReadWithProtocolAndClassesAndNoneComesLast()
{
    HostTypeFixture fx;
    const QString path = fx.write("sub/a.xml", typeFile(R"(
  <nodetype name="MUX-4">
    <device>E1</device> <device> E1 </device><device>E1</device>
  </nodetype>
  <nodetype name="Switch" protocol="snmp"><device>IF</device></nodetype>
  <nodetype name="Empty" protocol=""/>
  <nodetype name="none" protocol="tavo-udp"/>)"));
    fx.write("b.Xml", typeFile("<nodetype name=\"Ignored\"/>"));

    HostTypeDb db(nullptr);
    QCOMPARE(fx.log.errors(), QStringList());
    QCOMPARE(fx.log.messages(),
             QStringList({QStringLiteral(
                              "[HostTypeDb::loadDir()] Check directory '%1' for the hosts database")
                              .arg(share::xmlNodeTypesPath),
                          QStringLiteral("Parsing for '%1' is done successfull").arg(path)}));
    QCOMPARE(types(db),
             QStringList({"MUX-4/tavo/E1, E1 ,E1", "Switch/snmp/IF", "Empty/tavo/",
                          "none/tavo-udp/", "none//"}));
    // The built-in "none", added last, wins the map over the file's.
    QCOMPARE(db.findHostType(NULL_HOST_TYPE), db.hostTypes.last());
    QVERIFY(db.checkTypeName("Switch"));
    QVERIFY(!db.checkTypeName("switch"));

    fx.log.clear();
    share::xmlNodeTypesPath = fx.dir.filePath("absent");
    HostTypeDb bare(nullptr);
    QCOMPARE(fx.log.errors(),
             QStringList {QStringLiteral("[HostTypeDb::loadDir()] Directory '%1' is not exits")
                              .arg(share::xmlNodeTypesPath)});
    QCOMPARE(types(bare), QStringList {"none//"});
}

void TstHostTypeDb::refusedFileLogsItsMessage_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("message"); // %f: the file path
    QTest::addColumn<QStringList>("kept");
    // A row's name is the message it expects.
    auto row = [](const QByteArray& content, const char* message, const QStringList& kept = {}) {
        QTest::newRow(message) << content << QString(message) << kept;
    };
    row(typeFile("<device>E1</device>"), "Unexpected tag 'device' in file '%f'");
    row("<nodetype name=\"A\"/>", "Unexpected tag 'nodetype' in file '%f'");
    row(typeFile("<nodetype name=\"A\"><nodetypelist/></nodetype>"),
        "Unexpected tag 'nodetypelist' in file '%f'");
    row(typeFile("<nodetype name=\"A\"><card/></nodetype>"), "Unknown tag 'card' in file '%f'");
    row(typeFile("<nodetype protocol=\"snmp\"/>"), "Nodetype name is absent");
    row(typeFile("<nodetype name=\"A\"><device></device></nodetype>"),
        "'device' tag has empty value in '%f'");
    // What was read before stays.
    row(typeFile("<nodetype name=\"A\"/><nodetype name=\"A\"/><nodetype name=\"B\"/>"),
        "Nodetype 'A' already exists in file '%f'", {"A/tavo/"});
}

void TstHostTypeDb::refusedFileLogsItsMessage()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, message);
    QFETCH(QStringList, kept);

    HostTypeFixture fx;
    const QString path = fx.write("bad.xml", content);
    HostTypeDb db(nullptr);
    QCOMPARE(fx.log.errors().first(), QString(message).replace(QStringLiteral("%f"), path));
    const QString last = fx.log.errors().last();
    QVERIFY2(last.startsWith("Error [") && last.endsWith(QStringLiteral("(file %1)").arg(path)),
             qPrintable(last));
    QCOMPARE(types(db), kept + QStringList {"none//"});
    QCOMPARE(db.children().size(), kept.size() + 1);

    fx.log.clear();
    QVERIFY(!db.loadDb(path));
    QVERIFY(!db.loadDb(fx.dir.filePath("gone.xml")));
    QCOMPARE(fx.log.errors().last(),
             QStringLiteral("File not found: %1").arg(fx.dir.filePath(QStringLiteral("gone.xml"))));

    fx.log.clear();
    SaxHostTypeParser parser(path, nullptr);
    QVERIFY(!parser.startDocument());
    QCOMPARE(fx.log.errors(),
             QStringList {QStringLiteral("Nodetype database object is not set for parsing")});
}

void TstHostTypeDb::compatibilityNeedsEveryClass()
{
    HostType type("T", nullptr);
    QStringList asked {"E1"};
    QVERIFY(!type.checkCompatibilityList(&asked)); // a type without classes
    type.addDeviceClassName("E1");
    type.addDeviceClassName("IF");
    const QList<QPair<QStringList, bool>> rows {
        {{}, false}, {{"IF", "E1", "IF"}, true}, {{"E1", "STM"}, false}, {{"e1"}, false}};
    for (const auto& row : rows) {
        asked = row.first;
        QVERIFY2(type.checkCompatibilityList(&asked) == row.second, qPrintable(asked.join(',')));
    }
    QVERIFY(!type.checkCompatibilityList(nullptr));
}

QTEST_GUILESS_MAIN(TstHostTypeDb)
#include "tst_host_type_db.moc"
