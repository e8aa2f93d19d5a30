#include "graph_fixture.h"
#include "hostgraph/sax_host_graph_parser.h"

#include <QFile>
#include <QTextCodec>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

QT_WARNING_PUSH
QT_WARNING_DISABLE_DEPRECATED
#include <QXmlSimpleReader>

namespace {

QByteArray graphFile(const QByteArray& inner)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<hostgraph>\n" + inner + "\n</hostgraph>\n";
}

QByteArray hostElement(int key, const QByteArray& protocol = "test-tcp",
                       const QByteArray& extra = QByteArray())
{
    return "<host key=\"" + QByteArray::number(key) + "\"><link parent_key=\"0\" alias=\"h" +
        QByteArray::number(key) + "\"/><url autoconnect=\"0\">10.0.0." + QByteArray::number(key) +
        "</url><port>7001</port><type>mux</type><protocol>" + protocol + "</protocol>" + extra +
        "</host>";
}

/// Every field of every item, in list order, to compare two graphs whole.
QStringList describe(const HostGraph& graph)
{
    QStringList lines;
    for (const FolderItem* folder : graph.folderList) {
        const auto* box = qobject_cast<const BoxDeviceItem*>(folder);
        lines << QStringLiteral("folder %1 in %2 '%3' box=%4 config='%5'")
                     .arg(folder->key())
                     .arg(folder->parentKey())
                     .arg(folder->alias())
                     .arg(box != nullptr)
                     .arg(box ? box->configFile : QString());
    }
    for (const NodeAttr* node : graph.hostList) {
        QStringList vars;
        const QMap<QString, QString> custom = node->customVars();
        for (auto it = custom.cbegin(); it != custom.cend(); ++it)
            vars << QStringLiteral("%1=%2").arg(it.key(), it.value());
        lines << QStringLiteral("host %1 in %2 '%3' %4:%5 type=%6 protocol=%7 auto=%8 "
                                "description='%9' vars=%10")
                     .arg(node->key())
                     .arg(node->parentKey())
                     .arg(node->alias(), node->url())
                     .arg(node->port())
                     .arg(node->hostTypeName(), node->protocolName())
                     .arg(node->autoconnect)
                     .arg(node->description, vars.join(QLatin1Char(',')));
    }
    return lines;
}

/// Lowers the process's file size limit for its lifetime, so that writes
/// beyond it fail even for root, who ignores file permissions.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit lowered = m_saved;
        lowered.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_saved); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_saved {};
};

} // namespace

class TstHostGraphFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void savedGraphReadsBackItemByItem();
    void fileIsWrittenInTheDocumentedForm();
    void handWrittenFileReadsAsExpected();
    void readerStopsWithItsMessage_data();
    void readerStopsWithItsMessage();
    void itemsBeforeAnErrorStayAndModifiedIsCleared();
    void refusedHostIsSkippedAndReadingGoesOn();
    void readerWithoutAGraphRefusesToStart();
    void missingFileIsLogged();
    void hostileFileIsRefused_data();
    void hostileFileIsRefused();
    void longTextBelowTheLimitIsRead();
    void failedSaveKeepsTheOldFile();
    void unwritablePathFailsSilently();
};

namespace {

// Nested folders, a box folder, hosts of both protocols and of a known, the
// built-in and an unknown host type, with and without variables that differ
// from the protocol's defaults.
void buildSampleGraph(HostGraph& graph)
{
    graph.createFolder(1, 0, "Сеть Москва");
    graph.createBoxFolder(2, 1, QStringLiteral("Rack 7"), QStringLiteral("boxes/rack 7.xml"));
    graph.createFolder(3, 2, QStringLiteral("Nested <&> \"quoted\" 'single'"));
    NodeAttr* mux = graph.createNodeAttr(10, QStringLiteral("mux"), QStringLiteral("test-tcp"),
                                         QStringLiteral("10.0.0.1"), 7001, 3,
                                         QStringLiteral("Мультиплексор 1"));
    mux->setDescription(QStringLiteral("Ввод 1 — 東京 & <more>"));
    mux->setCustomVarValue(QStringLiteral("password"), QStringLiteral("секрет \"x\""));
    mux->autoconnect = 2;
    NodeAttr* radio =
        graph.createNodeAttr(11, QStringLiteral("radio"), QStringLiteral("test-udp"),
                             QStringLiteral("radio.example"), 0, 0, QStringLiteral("Radio"));
    radio->autoconnect = 1;
    NodeAttr* other =
        graph.createNodeAttr(12, QStringLiteral("xyz"), QStringLiteral("test-tcp"),
                             QStringLiteral("::1"), 65535, 1, QStringLiteral("Other"));
    other->setCustomVarValue(QStringLiteral("request_limit"), QStringLiteral("32"));
    other->setCustomVarValue(QStringLiteral("password"), QString()); // the default
}

} // namespace

void TstHostGraphFile::savedGraphReadsBackItemByItem()
{
    GraphFixture fx;
    auto saved = fx.freshGraph();
    buildSampleGraph(*saved);
    fx.log.clear();
    const QString path = fx.dir.filePath("graph.xml");
    QVERIFY(saved->saveToFile(path));
    QVERIFY(!saved->modified);
    QCOMPARE(
        fx.log.messages(),
        QStringList {QStringLiteral("Host graph has successfully written to file %1").arg(path)});

    auto loaded = fx.freshGraph();
    fx.log.clear();
    QVERIFY(loaded->loadFromFile(path));
    QCOMPARE(fx.log.errors(), QStringList());
    QCOMPARE(describe(*loaded), describe(*saved));
    QCOMPARE(loaded->hostList.at(2)->hostTypeName(), NULL_HOST_TYPE);
    QCOMPARE(fx.box->engines.size(), 3);
    QVERIFY(!loaded->modified);

    // And the reading of a read file writes the same bytes again.
    const QString again = fx.dir.filePath("again.xml");
    QVERIFY(loaded->saveToFile(again));
    QFile first(path), second(again);
    QVERIFY(first.open(QIODevice::ReadOnly) && second.open(QIODevice::ReadOnly));
    QCOMPARE(second.readAll(), first.readAll());
}

void TstHostGraphFile::fileIsWrittenInTheDocumentedForm()
{
    GraphFixture fx;
    auto graph = fx.freshGraph();
    buildSampleGraph(*graph);
    const QString path = fx.dir.filePath("graph.xml");
    QVERIFY(graph->saveToFile(path));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();

    QTextCodec::ConverterState state;
    const QString text =
        QTextCodec::codecForName("CP1251")->toUnicode(bytes.constData(), bytes.size(), &state);
    QCOMPARE(state.invalidChars, 0);
    const QStringList lines = text.split(QLatin1Char('\n'));
    QCOMPARE(lines.mid(0, 4),
             QStringList({QStringLiteral("<?xml version=\"1.0\" encoding=\"CP1251\"?>"),
                          QStringLiteral("<!DOCTYPE HOSTGRAPH>"), QStringLiteral("<hostgraph>"),
                          QStringLiteral("  <folder key=\"1\">")}));
    QVERIFY(lines.contains(QStringLiteral("    <alias>Сеть Москва</alias>")));
    QVERIFY(lines.contains(QStringLiteral("    <config_file>boxes/rack 7.xml</config_file>")));
    // Characters CP1251 lacks travel as references.
    QVERIFY(text.contains(QStringLiteral("&#x6771;")));

    const int mux = text.indexOf(QStringLiteral("<host key=\"10\">"));
    const int radio = text.indexOf(QStringLiteral("<host key=\"11\">"));
    const int other = text.indexOf(QStringLiteral("<host key=\"12\">"));
    QVERIFY(mux > text.lastIndexOf(QStringLiteral("<folder ")) && mux < radio && radio < other);
    const QString muxText = text.mid(mux, radio - mux);
    QVERIFY(muxText.contains(QStringLiteral("<url autoconnect=\"2\">10.0.0.1</url>")));
    // The DOM writes attributes in no fixed order.
    QVERIFY(muxText.contains(QStringLiteral("name=\"password\"")));
    QVERIFY(muxText.contains(QStringLiteral("value=\"секрет &quot;x&quot;\"")));
    QVERIFY(!muxText.contains(QStringLiteral("request_limit")));
    const QString radioText = text.mid(radio, other - radio);
    QVERIFY(!radioText.contains(QStringLiteral("<var"))); // every variable at its default
    QVERIFY(radioText.contains(QStringLiteral("<description></description>")));
    const QString otherText = text.mid(other);
    QVERIFY(otherText.contains(QStringLiteral("name=\"request_limit\"")));
    QVERIFY(otherText.contains(QStringLiteral("value=\"32\"")));
    QVERIFY(!otherText.contains(QStringLiteral("name=\"password\"")));
}

void TstHostGraphFile::handWrittenFileReadsAsExpected()
{
    GraphFixture fx;
    auto graph = fx.freshGraph();
    const QString path = fx.dir.writeFile("hand.xml", graphFile(R"(
  <folder key="4"><alias>first</alias><parent_key>0</parent_key><alias>Узлы</alias></folder>
  <host key="7">
    <protocol>test-tcp</protocol>
    <type>mux</type>
    <port>7100</port>
    <var name="password" value="pw"/>
    <var name="colour" value="red"/>
    <var name="request_limit" value=""/>
    <url autoconnect="5">mux.example</url>
    <link parent_key="4" alias="Mux &amp; Co"/>
    <description>Line one
line two</description>
    <port>7200</port>
  </host>
)"));
    QVERIFY(graph->loadFromFile(path));
    QCOMPARE(describe(*graph),
             QStringList({QStringLiteral("folder 4 in 0 'Узлы' box=0 config=''"),
                          QStringLiteral("host 7 in 4 'Mux & Co' mux.example:7200 type=mux "
                                         "protocol=test-tcp auto=0 description='Line one\nline "
                                         "two' vars=password=pw,request_limit=")}));
    QCOMPARE(fx.log.errors(), QStringList());
    QCOMPARE(fx.log.messages().last(),
             QStringLiteral("Parsing for '%1' is done successfull").arg(path));
}

void TstHostGraphFile::readerStopsWithItsMessage_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("message");

    const QByteArray folder = "<folder key=\"1\"><parent_key>0</parent_key>";
    const QByteArray host = "<host key=\"1\">";
    auto row = [](const char* tag, const QByteArray& content, const char* message) {
        QTest::newRow(tag) << content << QString::fromUtf8(message);
    };
    row("host_at_the_root", "<?xml version=\"1.0\"?>\n<host key=\"1\"/>",
        "Unexpected tag 'host' in file '@'");
    row("wrong_root", "<?xml version=\"1.0\"?>\n<graph/>", "Unknown tag 'graph' in file '@'");
    row("folder_in_folder", graphFile(folder + "<folder key=\"2\"/></folder>"),
        "Unexpected tag 'folder' in file '@'");
    row("url_in_folder", graphFile(folder + "<url autoconnect=\"0\">a</url></folder>"),
        "Unexpected tag 'url' in file '@'");
    row("alias_in_host", graphFile(host + "<alias>a</alias></host>"),
        "Unexpected tag 'alias' in file '@'");
    row("unknown_child", graphFile(folder + "<colour/></folder>"),
        "Unknown tag 'colour' in file '@'");
    row("folder_key_absent", graphFile("<folder/>"),
        "Attribute 'key' is absent for 'folder' tag in '@'");
    row("folder_key_text", graphFile("<folder key=\"one\"/>"),
        "Folder attribute 'key' is not integer value in '@'");
    row("folder_key_negative", graphFile("<folder key=\"-2\"/>"),
        "Folder attribute 'key' must be > 0 in '@'");
    row("host_key_absent", graphFile("<host key=\"\"/>"),
        "Attribute 'key' is absent for 'host' tag in '@'");
    row("host_key_text", graphFile("<host key=\"1.5\"/>"),
        "Node attribute 'key' is not integer value in '@'");
    row("host_key_negative", graphFile("<host key=\"-1\"/>"),
        "Node attribute 'key' must be > 0 in '@'");
    row("link_parent_absent", graphFile(host + "<link alias=\"a\"/></host>"),
        "Attribute 'parent' is absent for 'link' tag in '@'");
    row("link_parent_text", graphFile(host + "<link parent_key=\"x\" alias=\"a\"/></host>"),
        "Link attribute 'parent_key' is not integer value in '@'");
    row("link_parent_negative", graphFile(host + "<link parent_key=\"-3\" alias=\"a\"/></host>"),
        "Link attribute 'parent_key' must be > 0 in '@'");
    row("link_alias_absent", graphFile(host + "<link parent_key=\"0\"/></host>"),
        "Attribute 'alias' is absent for 'link' tag in '@'");
    row("url_autoconnect_absent", graphFile(host + "<url>a</url></host>"),
        "Attribute 'autoconnect' is absent for 'url' tag in '@'");
    row("url_autoconnect_text", graphFile(host + "<url autoconnect=\"on\">a</url></host>"),
        "Link attribute 'autoconnect' is not integer value in '@'");
    row("var_name_absent", graphFile(host + "<var value=\"1\"/></host>"),
        "Attribute 'name' is absent for 'var' tag in '@'");
    row("parent_key_empty", graphFile("<folder key=\"1\"><parent_key/></folder>"),
        "'parent_key' tag has empty value in '@'");
    row("parent_key_text", graphFile("<folder key=\"1\"><parent_key>x1</parent_key></folder>"),
        "'parent_key' tag has not integer value ('x1') in '@'");
    row("parent_key_negative", graphFile("<folder key=\"1\"><parent_key>-1</parent_key></folder>"),
        "'parent_key' value must be >0 in '@'");
    // An empty alias is the folder's fault, not its alias element's.
    row("alias_empty", graphFile(folder + "<alias></alias></folder>"),
        "Folder 'alias' tag has empty value in '@'");
    row("config_file_empty", graphFile(folder + "<config_file/></folder>"),
        "'config_file' tag has empty value in '@'");
    row("url_empty", graphFile(host + "<url autoconnect=\"0\"/></host>"),
        "'url' tag has empty value in '@'");
    row("port_empty", graphFile(host + "<port></port></host>"),
        "'port' tag has empty value in '@'");
    row("port_text", graphFile(host + "<port>abc</port></host>"), "Invalid port: 'abc'");
    row("port_out_of_range", graphFile(host + "<port>70000</port></host>"),
        "Invalid port: '70000'. Must be in range [0..65535]");
    row("port_negative", graphFile(host + "<port>-1</port></host>"),
        "Invalid port: '-1'. Must be in range [0..65535]");
    row("type_empty", graphFile(host + "<type/></host>"), "'type' tag has empty value in '@'");
    row("protocol_empty", graphFile(host + "<protocol/></host>"),
        "'protocol' tag has empty value in '@'");
    row("folder_without_parent", graphFile("<folder key=\"1\"><alias>a</alias></folder>"),
        "Folder 'parent_key' is undefined in '@'");
    row("folder_without_alias", graphFile(folder + "</folder>"),
        "Folder 'alias' tag has empty value in '@'");
    row("folder_key_taken",
        graphFile(folder + "<alias>a</alias></folder>" + folder + "<alias>b</alias></folder>"),
        "Can't create folder with key '1' in file '@'");
    row("host_without_link",
        graphFile(host + "<url autoconnect=\"0\">a</url><port>1</port><type>mux</type></host>"),
        "Link is undefined in '@'");
    row("host_without_url",
        graphFile(host +
                  "<link parent_key=\"0\" alias=\"a\"/><port>1</port><type>mux</type></host>"),
        "Host URL is null in '@'");
    row("host_without_port",
        graphFile(host +
                  "<link parent_key=\"0\" alias=\"a\"/><url "
                  "autoconnect=\"0\">a</url><type>mux</type></host>"),
        "Host port is undefined in '@'");
    row("host_without_type",
        graphFile(host +
                  "<link parent_key=\"0\" alias=\"a\"/><url "
                  "autoconnect=\"0\">a</url><port>1</port></host>"),
        "Host type is undefined in '@'");
}

void TstHostGraphFile::readerStopsWithItsMessage()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, message);
    GraphFixture fx;
    auto graph = fx.freshGraph();
    const QString path = fx.dir.writeFile("bad.xml", content);
    graph->modified = true;
    QVERIFY(!graph->loadFromFile(path));
    QVERIFY(!graph->modified);
    const QStringList errors = fx.log.errors();
    QCOMPARE(errors.size(), 2);
    QCOMPARE(errors.first(), message.replace(QLatin1Char('@'), path));
    // The reader's own line follows the handler's refusal.
    QVERIFY2(errors.last().startsWith(QStringLiteral("Error [")), qPrintable(errors.last()));
    QVERIFY(errors.last().endsWith(QStringLiteral("(file %1)").arg(path)));
    QVERIFY(fx.log.messages().isEmpty());
}

void TstHostGraphFile::itemsBeforeAnErrorStayAndModifiedIsCleared()
{
    GraphFixture fx;
    auto graph = fx.freshGraph();
    const QString path =
        fx.dir.writeFile("half.xml",
                         graphFile(hostElement(1) +
                                   "<folder key=\"2\"><parent_key>0</parent_key><alias>f</alias>"
                                   "</folder><host key=\"3\"><port>x</port></host>" +
                                   hostElement(4)));
    QVERIFY(!graph->loadFromFile(path));
    QCOMPARE(graph->hostsByKey.keys(), QList<int>({1}));
    QCOMPARE(graph->foldersByKey.keys(), QList<int>({2}));
    QVERIFY(fx.box->getEngine(1));
    QVERIFY(!graph->modified);
}

void TstHostGraphFile::refusedHostIsSkippedAndReadingGoesOn()
{
    GraphFixture fx;
    auto graph = fx.freshGraph();
    const QString path = fx.dir.writeFile("skip.xml",
                                          graphFile(hostElement(5, "snmp") + hostElement(6) +
                                                    hostElement(6) + hostElement(7, "test-udp")));
    QVERIFY(graph->loadFromFile(path));
    QCOMPARE(fx.log.errors(),
             QStringList({QStringLiteral("[HostGraph::createHost()] Protocol 'snmp' does not "
                                         "exists."),
                          QStringLiteral("Can't create node '10.0.0.5' in file '%1'").arg(path),
                          QStringLiteral("[HostGraph::createHost()] Key 6 already exists."),
                          QStringLiteral("Can't create node '10.0.0.6' in file '%1'").arg(path)}));
    QCOMPARE(graph->hostsByKey.keys(), QList<int>({6, 7}));
}

void TstHostGraphFile::readerWithoutAGraphRefusesToStart()
{
    GraphFixture fx;
    QByteArray bytes = graphFile(QByteArray());
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QXmlInputSource source(&buffer);
    SaxHostGraphParser parser(QStringLiteral("g.xml"), nullptr);
    QXmlSimpleReader reader;
    reader.setContentHandler(&parser);
    reader.setErrorHandler(&parser);
    QVERIFY(!reader.parse(&source));
    QCOMPARE(fx.log.errors().value(0), QStringLiteral("HostGraph object is not set for parsing"));
}

void TstHostGraphFile::missingFileIsLogged()
{
    GraphFixture fx;
    auto graph = fx.freshGraph();
    const QString path = fx.dir.filePath("none.xml");
    QVERIFY(!graph->loadFromFile(path));
    QCOMPARE(
        fx.log.errors(),
        QStringList {QStringLiteral("[HostGraph::loadFromFile()] File not found: %1").arg(path)});
}

void TstHostGraphFile::hostileFileIsRefused_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("firstError");

    const QByteArray saved = graphFile(hostElement(1) + hostElement(2));
    QTest::newRow("truncated") << saved.left(saved.size() / 2) << QStringLiteral("Error [");
    QTest::newRow("empty") << QByteArray() << QStringLiteral("Error [");
    QTest::newRow("html") << QByteArray("<html><body>host graph</body></html>")
                          << QStringLiteral("Unknown tag 'html'");
    QByteArray nested = "<?xml version=\"1.0\"?>\n";
    for (int i = 0; i < 100000; ++i)
        nested += "<hostgraph>";
    QTest::newRow("deep_nesting") << nested << QStringLiteral("Unexpected tag 'hostgraph'");
    QByteArray noise(4096, Qt::Uninitialized);
    QRandomGenerator random(6);
    for (char& byte : noise)
        byte = char(random.bounded(256));
    QTest::newRow("random_bytes") << noise << QStringLiteral("[HostGraph::loadFromFile()] File ");
    QTest::newRow("invalid_utf8") << graphFile("<folder key=\"1\"><parent_key>0</parent_key>"
                                               "<alias>caf\xc3\x28 \xff\xfe</alias></folder>")
                                  << QStringLiteral("[HostGraph::loadFromFile()] File ");
    QTest::newRow("entity_bomb")
        << QByteArray("<?xml version=\"1.0\"?>\n<!DOCTYPE hostgraph [\n"
                      "<!ENTITY a \"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\">\n"
                      "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">\n"
                      "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">\n"
                      "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">\n"
                      "<!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">\n"
                      "]>\n<hostgraph><folder key=\"1\"><parent_key>0</parent_key>"
                      "<alias>&e;&e;&e;&e;&e;&e;&e;&e;</alias></folder></hostgraph>")
        << QStringLiteral("Error [");
}

void TstHostGraphFile::hostileFileIsRefused()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, firstError);
    GraphFixture fx;
    auto graph = fx.freshGraph();
    const QString path = fx.dir.writeFile("hostile.xml", content);
    QVERIFY(!graph->loadFromFile(path));
    QVERIFY2(fx.log.errors().value(0).startsWith(firstError), qPrintable(fx.log.errors().value(0)));
    QVERIFY(graph->folderList.isEmpty());
}

void TstHostGraphFile::longTextBelowTheLimitIsRead()
{
    GraphFixture fx;
    auto graph = fx.freshGraph();
    const QByteArray description(4 * 1024 * 1024, 'd');
    const QString path = fx.dir.writeFile(
        QStringLiteral("long.xml"),
        graphFile(hostElement(1, "test-tcp", "<description>" + description + "</description>")));
    QVERIFY(graph->loadFromFile(path));
    QCOMPARE(graph->hostList.value(0)->description.size(), description.size());

    // Far beyond what a host graph can be, the file is not even read.
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    const QByteArray block(1024 * 1024, 'x');
    file.write("<?xml version=\"1.0\"?>\n<hostgraph><folder key=\"1\"><alias>");
    for (int i = 0; i < 100; ++i)
        file.write(block);
    file.close();
    auto second = fx.freshGraph();
    fx.log.clear();
    QVERIFY(!second->loadFromFile(path));
    QCOMPARE(fx.log.errors(),
             QStringList {QStringLiteral("[HostGraph::loadFromFile()] File %1 is too large: "
                                         "%2 bytes, at most 67108864 are read")
                              .arg(path)
                              .arg(file.size())});
}

void TstHostGraphFile::failedSaveKeepsTheOldFile()
{
    GraphFixture fx;
    auto graph = fx.freshGraph();
    graph->createFolder(1, 0, QStringLiteral("old"));
    const QString path = fx.dir.filePath("graph.xml");
    QVERIFY(graph->saveToFile(path));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray old = file.readAll();
    file.close();

    for (int i = 0; i < 50; ++i)
        graph->createFolder(-1, 1, QStringLiteral("a folder with a long enough name %1").arg(i));
    fx.log.clear();
    {
        FileSizeLimit limit(1024);
        QVERIFY(!graph->saveToFile(path));
    }
    QVERIFY(graph->modified); // still to be saved
    QCOMPARE(fx.log.errors().size(), 1);
    QVERIFY(fx.log.errors().at(0).startsWith(
        QStringLiteral("[HostGraph::saveToFile()] Can't write file %1: ").arg(path)));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), old);
    file.close();
    QCOMPARE(QDir(fx.dir.path()).entryList(QDir::Files), QStringList {QStringLiteral("graph.xml")});

    QVERIFY(graph->saveToFile(path)); // and with room again it goes through
    auto loaded = fx.freshGraph();
    QVERIFY(loaded->loadFromFile(path));
    QCOMPARE(loaded->folderList.size(), 51);
}

void TstHostGraphFile::unwritablePathFailsSilently()
{
    GraphFixture fx;
    auto graph = fx.freshGraph();
    graph->createFolder(1, 0, QStringLiteral("f"));
    QVERIFY(!graph->saveToFile(fx.dir.filePath("no/such/dir/graph.xml")));
    QVERIFY(fx.log.entries().isEmpty());
    QVERIFY(graph->modified);
}

QT_WARNING_POP

QTEST_GUILESS_MAIN(TstHostGraphFile)
#include "tst_host_graph_file.moc"
