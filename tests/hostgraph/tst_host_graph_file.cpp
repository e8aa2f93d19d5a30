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

QByteArray hostElement(int key, const QByteArray& protocol = "test-tcp")
{
    return "<host key=\"" + QByteArray::number(key) + "\"><link parent_key=\"0\" alias=\"h" +
        QByteArray::number(key) + "\"/><url autoconnect=\"0\">10.0.0." + QByteArray::number(key) +
        "</url><port>7001</port><type>mux</type><protocol>" + protocol + "</protocol></host>";
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
    void stoppedReadingKeepsWhatWasReadAndClearsModified();
    void refusedHostIsSkippedAndReadingGoesOn();
    void fileBeyondTheSizeLimitIsNotRead();
    void failedSaveKeepsTheOldFileAndTheChanges();
};

namespace {

// Nested folders, a box folder, hosts of both protocols and of a known, the
// built-in and an unknown host type, with and without variables that differ
// from the protocol's defaults.
void buildSampleGraph(HostGraph& graph)
{
    graph.createFolder(1, 0, "Сеть Москва");
    graph.createBoxFolder(2, 1, "Rack 7", "boxes/rack 7.xml");
    graph.createFolder(3, 2, "Nested <&> \"quoted\" 'single'");
    NodeAttr* mux =
        graph.createNodeAttr(10, "mux", "test-tcp", "10.0.0.1", 7001, 3, "Мультиплексор 1");
    mux->setDescription("Ввод 1 — 東京 & <more>");
    mux->setCustomVarValue("password", "секрет \"x\"");
    mux->autoconnect = 2;
    NodeAttr* radio = graph.createNodeAttr(11, "radio", "test-udp", "radio.example", 0, 0, "Radio");
    radio->autoconnect = 1;
    NodeAttr* other = graph.createNodeAttr(12, "xyz", "test-tcp", "::1", 65535, 1, "Other");
    other->setCustomVarValue("request_limit", "32");
    other->setCustomVarValue("password", QString()); // the default
}

} // namespace

void TstHostGraphFile::savedGraphHasTheDocumentedFormAndReadsBack()
{
    GraphFixture fx;
    buildSampleGraph(*fx.graph);
    const QString path = fx.dir.filePath("graph.xml");
    fx.log.clear();
    QVERIFY(fx.graph->saveToFile(path));
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
    // Characters CP1251 lacks travel as references.
    QVERIFY(text.contains(QStringLiteral("&#x6771;")));

    const int mux = text.indexOf(QStringLiteral("<host key=\"10\">"));
    const int radio = text.indexOf(QStringLiteral("<host key=\"11\">"));
    const int other = text.indexOf(QStringLiteral("<host key=\"12\">"));
    QVERIFY(mux > text.lastIndexOf(QStringLiteral("<folder ")) && mux < radio && radio < other);
    // What the reader gets back is compared below; what it cannot tell, a
    // variable at its protocol's default, must not be written at all: only
    // the password of the mux and the request limit of the other are.
    QCOMPARE(text.count(QStringLiteral("<var ")), 2);

    auto loaded = fx.freshGraph();
    fx.log.clear();
    QVERIFY(loaded->loadFromFile(path));
    QCOMPARE(fx.log.errors(), QStringList());
    QCOMPARE(describe(*loaded), describe(*fx.graph));

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
    // A row's name is the message it expects.
    auto row = [](const QByteArray& content, const char* message) {
        QTest::newRow(message) << content << QString::fromUtf8(message);
    };
    row("<?xml version=\"1.0\"?>\n<host key=\"1\"/>", "Unexpected tag 'host' in file '@'");
    row(graphFile("<hostgraph/>"), "Unexpected tag 'hostgraph' in file '@'");
    row("<?xml version=\"1.0\"?>\n<graph/>", "Unknown tag 'graph' in file '@'");
    row(inFolder("<folder key=\"2\"/>"), "Unexpected tag 'folder' in file '@'");
    row(inFolder(url), "Unexpected tag 'url' in file '@'");
    row(inHost("<alias>a</alias>"), "Unexpected tag 'alias' in file '@'");
    row(graphFile("<folder/>"), "Attribute 'key' is absent for 'folder' tag in '@'");
    row(graphFile("<folder key=\"one\"/>"), "Folder attribute 'key' is not integer value in '@'");
    row(graphFile("<folder key=\"-2\"/>"), "Folder attribute 'key' must be > 0 in '@'");
    row(graphFile("<host key=\"1.5\"/>"), "Node attribute 'key' is not integer value in '@'");
    row(inHost("<link alias=\"a\"/>"), "Attribute 'parent' is absent for 'link' tag in '@'");
    row(inHost("<link parent_key=\"x\" alias=\"a\"/>"),
        "Link attribute 'parent_key' is not integer value in '@'");
    row(inHost("<link parent_key=\"-3\" alias=\"a\"/>"),
        "Link attribute 'parent_key' must be > 0 in '@'");
    row(inHost("<link parent_key=\"0\"/>"), "Attribute 'alias' is absent for 'link' tag in '@'");
    row(inHost("<url>a</url>"), "Attribute 'autoconnect' is absent for 'url' tag in '@'");
    row(inHost("<url autoconnect=\"on\">a</url>"),
        "Link attribute 'autoconnect' is not integer value in '@'");
    row(inHost("<var value=\"1\"/>"), "Attribute 'name' is absent for 'var' tag in '@'");
    row(graphFile("<folder key=\"1\"><parent_key/></folder>"),
        "'parent_key' tag has empty value in '@'");
    row(graphFile("<folder key=\"1\"><parent_key>x1</parent_key></folder>"),
        "'parent_key' tag has not integer value ('x1') in '@'");
    row(graphFile("<folder key=\"1\"><parent_key>-1</parent_key></folder>"),
        "'parent_key' value must be >0 in '@'");
    // An empty alias is the folder's fault, not its alias element's.
    row(inFolder("<alias></alias>"), "Folder 'alias' tag has empty value in '@'");
    row(inFolder("<config_file/>"), "'config_file' tag has empty value in '@'");
    row(inHost("<url autoconnect=\"0\"/>"), "'url' tag has empty value in '@'");
    row(inHost("<port></port>"), "'port' tag has empty value in '@'");
    row(inHost("<port>abc</port>"), "Invalid port: 'abc'");
    row(inHost("<port>70000</port>"), "Invalid port: '70000'. Must be in range [0..65535]");
    row(inHost("<type/>"), "'type' tag has empty value in '@'");
    row(inHost("<protocol/>"), "'protocol' tag has empty value in '@'");
    row(graphFile("<folder key=\"1\"><alias>a</alias></folder>"),
        "Folder 'parent_key' is undefined in '@'");
    row(graphFile(folder + "<alias>a</alias></folder>" + folder + "<alias>b</alias></folder>"),
        "Can't create folder with key '1' in file '@'");
    row(inHost(url + port + type), "Link is undefined in '@'");
    row(inHost(link + port + type), "Host URL is null in '@'");
    row(inHost(link + url + type), "Host port is undefined in '@'");
    row(inHost(link + url + port), "Host type is undefined in '@'");
}

void TstHostGraphFile::readerStopsWithItsMessage()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, message);
    GraphFixture fx;
    const QString path = fx.dir.writeFile("bad.xml", content);
    QVERIFY(!fx.graph->loadFromFile(path));
    const QStringList errors = fx.log.errors();
    QCOMPARE(errors.size(), 2);
    QCOMPARE(errors.first(), message.replace(QLatin1Char('@'), path));
    // The reader's own line follows the handler's refusal.
    QVERIFY2(errors.last().startsWith(QStringLiteral("Error [")), qPrintable(errors.last()));
    QVERIFY(errors.last().endsWith(QStringLiteral("(file %1)").arg(path)));
    QVERIFY(fx.log.messages().isEmpty());
}

void TstHostGraphFile::stoppedReadingKeepsWhatWasReadAndClearsModified()
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
    QVERIFY(!fx.graph->modified);

    fx.log.clear();
    const QString missing = fx.dir.filePath("none.xml");
    QVERIFY(!fx.graph->loadFromFile(missing));
    // The reader would replace what it cannot decode without a word.
    const QString garbled =
        fx.dir.writeFile("garbled.xml",
                         graphFile("<folder key=\"1\"><parent_key>0</parent_key>"
                                   "<alias>caf\xc3\x28</alias></folder>"));
    QVERIFY(!fx.graph->loadFromFile(garbled));
    SaxHostGraphParser withoutGraph(missing, nullptr);
    QVERIFY(!withoutGraph.startDocument());
    QCOMPARE(
        fx.log.errors(),
        QStringList({QStringLiteral("[HostGraph::loadFromFile()] File not found: %1").arg(missing),
                     QStringLiteral("[HostGraph::loadFromFile()] File %1 is not valid "
                                    "UTF-8 text")
                         .arg(garbled),
                     QStringLiteral("HostGraph object is not set for parsing")}));
    QCOMPARE(fx.graph->foldersByKey.keys(), QList<int>({2}));
}

void TstHostGraphFile::refusedHostIsSkippedAndReadingGoesOn()
{
    GraphFixture fx;
    const QString path = fx.dir.writeFile(
        "skip.xml", graphFile(hostElement(5, "snmp") + hostElement(6) + hostElement(6)));
    QVERIFY(fx.graph->loadFromFile(path));
    QCOMPARE(fx.log.errors(),
             QStringList({QStringLiteral("[HostGraph::createHost()] Protocol 'snmp' does not "
                                         "exists."),
                          QStringLiteral("Can't create node '10.0.0.5' in file '%1'").arg(path),
                          QStringLiteral("[HostGraph::createHost()] Key 6 already exists."),
                          QStringLiteral("Can't create node '10.0.0.6' in file '%1'").arg(path)}));
    QCOMPARE(fx.graph->hostsByKey.keys(), QList<int>({6}));
}

void TstHostGraphFile::fileBeyondTheSizeLimitIsNotRead()
{
    GraphFixture fx;
    const QString path = fx.dir.writeFile(QStringLiteral("long.xml"), graphFile(hostElement(1)));
    QVERIFY(QFile::resize(path, 64 * 1024 * 1024 + 1));
    QVERIFY(!fx.graph->loadFromFile(path));
    QCOMPARE(fx.log.errors(),
             QStringList {QStringLiteral("[HostGraph::loadFromFile()] File %1 is too large: "
                                         "67108865 bytes, at most 67108864 are read")
                              .arg(path)});
    QVERIFY(fx.graph->hostList.isEmpty());
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
}

QTEST_GUILESS_MAIN(TstHostGraphFile)
#include "tst_host_graph_file.moc"
