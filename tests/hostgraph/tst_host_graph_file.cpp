#include "graph_fixture.h"
#include "hostgraph/sax_host_graph_parser.h"

#include <QFile>
#include <QTextCodec>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

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
    void savedGraphHasTheDocumentedFormAndReadsBack();
    void handWrittenFileReadsAsExpected();
    void readerStopsWithItsMessage_data();
    void readerStopsWithItsMessage();
    void itemsBeforeAnErrorStayAndModifiedIsCleared();
    void refusedHostIsSkippedAndReadingGoesOn();
    void readerWithoutAGraphRefusesToStart();
    void hostileFileIsRefused_data();
    void hostileFileIsRefused();
    void longTextBelowTheLimitIsRead();
    void failedSaveKeepsTheOldFileAndTheChanges();
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

void TstHostGraphFile::savedGraphHasTheDocumentedFormAndReadsBack()
{
    GraphFixture fx;
    buildSampleGraph(*fx.graph);
    const QString path = fx.dir.filePath("graph.xml");
    fx.log.clear();
    QVERIFY(fx.graph->saveToFile(path));
    QVERIFY(!fx.graph->modified);
    QCOMPARE(
        fx.log.messages(),
        QStringList {QStringLiteral("Host graph has successfully written to file %1").arg(path)});
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

    auto loaded = fx.freshGraph();
    fx.log.clear();
    QVERIFY(loaded->loadFromFile(path));
    QCOMPARE(fx.log.errors(), QStringList());
    QCOMPARE(describe(*loaded), describe(*fx.graph));
    QCOMPARE(loaded->hostList.at(2)->hostTypeName(), NULL_HOST_TYPE);
    QCOMPARE(fx.box->engines.size(), 3);
    QVERIFY(!loaded->modified);

    // And the reading of a read file writes the same bytes again.
    const QString again = fx.dir.filePath("again.xml");
    QVERIFY(loaded->saveToFile(again));
    QFile second(again);
    QVERIFY(second.open(QIODevice::ReadOnly));
    QCOMPARE(second.readAll(), bytes);
}

void TstHostGraphFile::handWrittenFileReadsAsExpected()
{
    GraphFixture fx;
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
    QVERIFY(fx.graph->loadFromFile(path));
    QCOMPARE(describe(*fx.graph),
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
    const QByteArray link = "<link parent_key=\"0\" alias=\"a\"/>", port = "<port>1</port>",
                     url = "<url autoconnect=\"0\">a</url>", type = "<type>mux</type>";
    const auto inHost = [&](const QByteArray& inner) {
        return graphFile(host + inner + "</host>");
    };
    const auto inFolder = [&](const QByteArray& inner) {
        return graphFile(folder + inner + "</folder>");
    };
    auto row = [](const char* tag, const QByteArray& content, const char* message) {
        QTest::newRow(tag) << content << QString::fromUtf8(message);
    };
    row("host_at_the_root", "<?xml version=\"1.0\"?>\n<host key=\"1\"/>",
        "Unexpected tag 'host' in file '@'");
    row("wrong_root", "<?xml version=\"1.0\"?>\n<graph/>", "Unknown tag 'graph' in file '@'");
    row("folder_in_folder", inFolder("<folder key=\"2\"/>"), "Unexpected tag 'folder' in file '@'");
    row("url_in_folder", inFolder(url), "Unexpected tag 'url' in file '@'");
    row("alias_in_host", inHost("<alias>a</alias>"), "Unexpected tag 'alias' in file '@'");
    row("unknown_child", inFolder("<colour/>"), "Unknown tag 'colour' in file '@'");
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
    row("link_parent_absent", inHost("<link alias=\"a\"/>"),
        "Attribute 'parent' is absent for 'link' tag in '@'");
    row("link_parent_text", inHost("<link parent_key=\"x\" alias=\"a\"/>"),
        "Link attribute 'parent_key' is not integer value in '@'");
    row("link_parent_negative", inHost("<link parent_key=\"-3\" alias=\"a\"/>"),
        "Link attribute 'parent_key' must be > 0 in '@'");
    row("link_alias_absent", inHost("<link parent_key=\"0\"/>"),
        "Attribute 'alias' is absent for 'link' tag in '@'");
    row("url_autoconnect_absent", inHost("<url>a</url>"),
        "Attribute 'autoconnect' is absent for 'url' tag in '@'");
    row("url_autoconnect_text", inHost("<url autoconnect=\"on\">a</url>"),
        "Link attribute 'autoconnect' is not integer value in '@'");
    row("var_name_absent", inHost("<var value=\"1\"/>"),
        "Attribute 'name' is absent for 'var' tag in '@'");
    row("parent_key_empty", graphFile("<folder key=\"1\"><parent_key/></folder>"),
        "'parent_key' tag has empty value in '@'");
    row("parent_key_text", graphFile("<folder key=\"1\"><parent_key>x1</parent_key></folder>"),
        "'parent_key' tag has not integer value ('x1') in '@'");
    row("parent_key_negative", graphFile("<folder key=\"1\"><parent_key>-1</parent_key></folder>"),
        "'parent_key' value must be >0 in '@'");
    // An empty alias is the folder's fault, not its alias element's.
    row("alias_empty", inFolder("<alias></alias>"), "Folder 'alias' tag has empty value in '@'");
    row("config_file_empty", inFolder("<config_file/>"),
        "'config_file' tag has empty value in '@'");
    row("url_empty", inHost("<url autoconnect=\"0\"/>"), "'url' tag has empty value in '@'");
    row("port_empty", inHost("<port></port>"), "'port' tag has empty value in '@'");
    row("port_text", inHost("<port>abc</port>"), "Invalid port: 'abc'");
    row("port_out_of_range", inHost("<port>70000</port>"),
        "Invalid port: '70000'. Must be in range [0..65535]");
    row("port_negative", inHost("<port>-1</port>"),
        "Invalid port: '-1'. Must be in range [0..65535]");
    row("type_empty", inHost("<type/>"), "'type' tag has empty value in '@'");
    row("protocol_empty", inHost("<protocol/>"), "'protocol' tag has empty value in '@'");
    row("folder_without_parent", graphFile("<folder key=\"1\"><alias>a</alias></folder>"),
        "Folder 'parent_key' is undefined in '@'");
    row("folder_without_alias", inFolder(""), "Folder 'alias' tag has empty value in '@'");
    row("folder_key_taken",
        graphFile(folder + "<alias>a</alias></folder>" + folder + "<alias>b</alias></folder>"),
        "Can't create folder with key '1' in file '@'");
    row("host_without_link", inHost(url + port + type), "Link is undefined in '@'");
    row("host_without_url", inHost(link + port + type), "Host URL is null in '@'");
    row("host_without_port", inHost(link + url + type), "Host port is undefined in '@'");
    row("host_without_type", inHost(link + url + port), "Host type is undefined in '@'");
}

void TstHostGraphFile::readerStopsWithItsMessage()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, message);
    GraphFixture fx;
    const QString path = fx.dir.writeFile("bad.xml", content);
    fx.graph->modified = true;
    QVERIFY(!fx.graph->loadFromFile(path));
    QVERIFY(!fx.graph->modified);
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
    const QString path =
        fx.dir.writeFile("half.xml",
                         graphFile(hostElement(1) +
                                   "<folder key=\"2\"><parent_key>0</parent_key><alias>f</alias>"
                                   "</folder><host key=\"3\"><port>x</port></host>" +
                                   hostElement(4)));
    QVERIFY(!fx.graph->loadFromFile(path));
    QCOMPARE(fx.graph->hostsByKey.keys(), QList<int>({1}));
    QCOMPARE(fx.graph->foldersByKey.keys(), QList<int>({2}));
    QVERIFY(fx.box->getEngine(1));
    QVERIFY(!fx.graph->modified);

    fx.log.clear();
    const QString missing = fx.dir.filePath("none.xml");
    QVERIFY(!fx.graph->loadFromFile(missing));
    QCOMPARE(fx.log.errors(),
             QStringList {
                 QStringLiteral("[HostGraph::loadFromFile()] File not found: %1").arg(missing)});
}

void TstHostGraphFile::refusedHostIsSkippedAndReadingGoesOn()
{
    GraphFixture fx;
    const QString path = fx.dir.writeFile("skip.xml",
                                          graphFile(hostElement(5, "snmp") + hostElement(6) +
                                                    hostElement(6) + hostElement(7, "test-udp")));
    QVERIFY(fx.graph->loadFromFile(path));
    QCOMPARE(fx.log.errors(),
             QStringList({QStringLiteral("[HostGraph::createHost()] Protocol 'snmp' does not "
                                         "exists."),
                          QStringLiteral("Can't create node '10.0.0.5' in file '%1'").arg(path),
                          QStringLiteral("[HostGraph::createHost()] Key 6 already exists."),
                          QStringLiteral("Can't create node '10.0.0.6' in file '%1'").arg(path)}));
    QCOMPARE(fx.graph->hostsByKey.keys(), QList<int>({6, 7}));
}

void TstHostGraphFile::readerWithoutAGraphRefusesToStart()
{
    GraphFixture fx;
    SaxHostGraphParser parser(QStringLiteral("g.xml"), nullptr);
    QVERIFY(!parser.startDocument());
    QCOMPARE(fx.log.errors(), QStringList {"HostGraph object is not set for parsing"});
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
    QByteArray bomb = "<?xml version=\"1.0\"?>\n<!DOCTYPE hostgraph [\n<!ENTITY a \"" +
        QByteArray(46, 'a') + "\">\n";
    for (char name = 'b'; name <= 'e'; ++name)
        bomb += "<!ENTITY " + QByteArray(1, name) + " \"" +
            ("&" + QByteArray(1, char(name - 1)) + ";").repeated(16) + "\">\n";
    QTest::newRow("entity_bomb") << bomb +
            "]>\n<hostgraph><folder key=\"1\"><parent_key>0</parent_key>"
            "<alias>" +
            QByteArray("&e;").repeated(8) + "</alias></folder></hostgraph>"
                                 << QStringLiteral("Error [");
}

void TstHostGraphFile::hostileFileIsRefused()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, firstError);
    GraphFixture fx;
    const QString path = fx.dir.writeFile("hostile.xml", content);
    QVERIFY(!fx.graph->loadFromFile(path));
    QVERIFY2(fx.log.errors().value(0).startsWith(firstError), qPrintable(fx.log.errors().value(0)));
    QVERIFY(fx.graph->folderList.isEmpty());
}

void TstHostGraphFile::longTextBelowTheLimitIsRead()
{
    GraphFixture fx;
    const QByteArray description(4 * 1024 * 1024, 'd');
    const QString path = fx.dir.writeFile(
        QStringLiteral("long.xml"),
        graphFile(hostElement(1, "test-tcp", "<description>" + description + "</description>")));
    QVERIFY(fx.graph->loadFromFile(path));
    QCOMPARE(fx.graph->hostList.value(0)->description.size(), description.size());

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

void TstHostGraphFile::failedSaveKeepsTheOldFileAndTheChanges()
{
    GraphFixture fx;
    fx.graph->createFolder(1, 0, QStringLiteral("old"));
    const QString path = fx.dir.filePath("graph.xml");
    QVERIFY(fx.graph->saveToFile(path));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray old = file.readAll();
    file.close();

    for (int i = 0; i < 50; ++i)
        fx.graph->createFolder(-1, 1, QStringLiteral("a folder with a long enough name %1").arg(i));
    fx.log.clear();
    {
        FileSizeLimit limit(1024);
        QVERIFY(!fx.graph->saveToFile(path));
    }
    QVERIFY(fx.graph->modified); // still to be saved
    QCOMPARE(fx.log.errors().size(), 1);
    QVERIFY(fx.log.errors().at(0).startsWith(
        QStringLiteral("[HostGraph::saveToFile()] Can't write file %1: ").arg(path)));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), old);
    file.close();
    QCOMPARE(QDir(fx.dir.path()).entryList(QDir::Files), QStringList {QStringLiteral("graph.xml")});
    fx.log.clear();
    QVERIFY(!fx.graph->saveToFile(fx.dir.filePath("no/such/dir/graph.xml")));
    QVERIFY(fx.log.entries().isEmpty()); // an unwritable path fails silently
    QVERIFY(fx.graph->modified);

    QVERIFY(fx.graph->saveToFile(path)); // and with room again it goes through
    auto loaded = fx.freshGraph();
    QVERIFY(loaded->loadFromFile(path));
    QCOMPARE(loaded->folderList.size(), 51);
}

QTEST_GUILESS_MAIN(TstHostGraphFile)
#include "tst_host_graph_file.moc"
