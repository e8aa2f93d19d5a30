// The configuration side of the client: the observed board panel against
// tavo-nesim (the demo board watches the simulator's host, whose devices are
// reported once it is watched), and the export and import of a configuration
// set, from one user's folder into a fresh one, with archives that must not
// be imported.

#include "board_model.h"
#include "client_fixture.h"
#include "config_archive.h"
#include "raw_zip.h"

#include "connections/engine.h"
#include "connections/engine_box.h"
#include "foundation/app_shared.h"

#include <QtTest>

namespace {

const QByteArray hostGraph = "<?xml version=\"1.0\" encoding=\"CP1251\"?>\n"
                             "<!DOCTYPE HOSTGRAPH>\n<hostgraph>\xd3\xe7\xeb\xfb</hostgraph>\n";
const QByteArray actionList = "<?xml version=\"1.0\"?>\n<actionlist/>\n";
const QByteArray boardFile = "<observer_list><observer><host name=\"10.0.0.1\"/>"
                             "</observer></observer_list>\n";

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QString writeFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return QString();
    return path;
}

/// Every file below @p dir, relative to it.
QStringList filesBelow(const QString& dir)
{
    QStringList files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(dir).relativeFilePath(it.next());
    files.sort();
    return files;
}

/// A user's folder of its own and the board folder beside it.
ConfigArchive::Locations userFolder(const QString& root)
{
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, root + QStringLiteral("/user"));
    share::xmlObservedBoard = root + QStringLiteral("/board");
    return ConfigArchive::Locations::current();
}

/// The demo equipment, but its second port there for 3 s and gone for 2 s.
QString blinkingScenario(const QTemporaryDir& dir)
{
    return writeFile(dir.filePath(QStringLiteral("blink.txt")),
                     "seed 1\n"
                     "device E1 1 1\n  set los 0\n"
                     "device E1 2 2\n  set los 0\n  blink 3 2\n"
                     "device PSU 1 3\n  set temp 40\n");
}

} // namespace

class TstClientConfig : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void watchedHostShowsItsDevicesPresence();
    void setRoundTripsIntoAFreshUserFolder();
    void hostileArchiveIsRefused_data();
    void hostileArchiveIsRefused();
    void nonArchivesAreRefused();
};

void TstClientConfig::watchedHostShowsItsDevicesPresence()
{
    QTemporaryDir scenarioDir;
    ClientFixture fx(blinkingScenario(scenarioDir));
    QVERIFY(fx.simulatorRunning());
    NodeAttr* node = fx.addSimulatorHost();
    QVERIFY(node);
    fx.kernel->startMonitors(nullptr);
    BoardModel model(fx.kernel->boardController.get());
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    // "<name>|<state>|<presence>" per row.
    const auto board = [&model] {
        QStringList rows = rowsOf(model, {BoardModel::NameColumn, BoardModel::StateColumn});
        const QStringList presence =
            rowsOf(model, {BoardModel::NameColumn}, BoardModel::PresenceRole);
        for (int row = 0; row < rows.size(); ++row)
            rows[row] += QLatin1Char('|') + presence.at(row).trimmed();
        return rows;
    };

    // The board's hosts and devices are there before anything is reported.
    const QStringList unwatched = board();
    QCOMPARE(unwatched,
             QStringList({"127.0.0.1|not watched|0", "  E1_0001|not watched|0",
                          "  E1_0002|not watched|0", "  PSU_0001|not watched|0"}));

    Engine* engine = fx.kernel->engineBox->getEngineByNodeAttr(node);
    engine->connectToHost();
    const QStringList present = QStringList({"127.0.0.1|3 of 3 present|2", "  E1_0001|present|2",
                                             "  E1_0002|present|2", "  PSU_0001|present|2"});
    QTRY_COMPARE_WITH_TIMEOUT(board(), present, 10000);
    // The blinking port goes and comes back.
    QTRY_COMPARE_WITH_TIMEOUT(board(),
                              QStringList({"127.0.0.1|2 of 3 present|3", "  E1_0001|present|2",
                                           "  E1_0002|missing|3", "  PSU_0001|present|2"}),
                              10000);
    QTRY_COMPARE_WITH_TIMEOUT(board(), present, 10000);

    // Not connected, not watched: what was seen before is no longer shown.
    engine->disconnectFromHost();
    QTRY_COMPARE(board(), unwatched);
}

void TstClientConfig::setRoundTripsIntoAFreshUserFolder()
{
    ShareRestorer restorer;
    QTemporaryDir dir;
    const ConfigArchive::Locations from = userFolder(dir.filePath(QStringLiteral("a")));
    QVERIFY(!writeFile(from.hostGraphFile, hostGraph).isEmpty());
    QVERIFY(!writeFile(from.actionListFile, actionList).isEmpty());
    QVERIFY(!writeFile(from.boardDir + QStringLiteral("/demo.xml"), boardFile).isEmpty());
    QVERIFY(!writeFile(from.boardDir + QStringLiteral("/site/B.XML"), boardFile).isEmpty());
    const QString zip = dir.filePath(QStringLiteral("set.zip"));

    ConfigArchive exporter(from);
    QVERIFY(exporter.exportTo(zip));
    // No damping file: left out, not an error.
    QCOMPARE(stepsOf(exporter.steps()),
             QStringList({"0: host_graph.xml", "0: tavo_action_list.xml",
                          "2: tavo_flap_damping.xml: there is none",
                          "0: xml_observed_board/demo.xml", "0: xml_observed_board/site/B.XML"})
                 << QStringLiteral("0: Written to ") + zip);

    const ConfigArchive::Locations to = userFolder(dir.filePath(QStringLiteral("b")));
    ConfigArchive importer;
    QVERIFY(importer.importFrom(zip));
    QCOMPARE(readAll(to.hostGraphFile), hostGraph);
    QCOMPARE(readAll(to.actionListFile), actionList);
    QVERIFY(!QFile::exists(to.dampingFile));
    QCOMPARE(filesBelow(to.boardDir), QStringList({"demo.xml", "site/B.XML"}));
    QCOMPARE(readAll(to.boardDir + QStringLiteral("/site/B.XML")), boardFile);
    const QString imported = QStringLiteral("0: %1: imported to %2");
    QCOMPARE(stepsOf(importer.steps()),
             QStringList({imported.arg(QStringLiteral("host_graph.xml"), to.hostGraphFile),
                          imported.arg(QStringLiteral("tavo_action_list.xml"), to.actionListFile),
                          imported.arg(QStringLiteral("xml_observed_board/demo.xml"),
                                       to.boardDir + QStringLiteral("/demo.xml")),
                          imported.arg(QStringLiteral("xml_observed_board/site/B.XML"),
                                       to.boardDir + QStringLiteral("/site/B.XML"))}));
}

void TstClientConfig::hostileArchiveIsRefused_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<qint64>("declaredSize"); // -1: the true one
    // Empty: the whole archive is refused; else why its one entry is.
    QTest::addColumn<QString>("entryRefusal");

    const auto row = [](const char* tag, const char* name, const char* content, const char* refusal,
                        qint64 declaredSize = -1) {
        QTest::newRow(tag) << QByteArray(name) << QByteArray(content) << declaredSize
                           << QString::fromLatin1(refusal);
    };
    // How the archive's own paths are refused is the zip helpers' to check;
    // here, that one such entry refuses the whole set.
    const char* xml = "<observer_list/>";
    const char* outside = "not part of a configuration set";
    row("climbs", "../evil.xml", xml, "");
    row("too-large", "xml_observed_board/big.xml", xml, "", ConfigArchive::MaxUnpackedSize + 1);
    row("outside-the-set", "autostart/evil.desktop", "[Desktop Entry]", outside);
    row("hidden-board-file", "xml_observed_board/.evil.xml", xml, outside);
    row("board-file-no-xml", "xml_observed_board/run.sh", xml, outside);
    row("wrong-document", "tavo_action_list.xml", "<hostgraph/>", "not a document <actionlist>");
}

void TstClientConfig::hostileArchiveIsRefused()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, content);
    QFETCH(qint64, declaredSize);
    QFETCH(QString, entryRefusal);
    const bool refusedWhole = entryRefusal.isEmpty();
    ShareRestorer restorer;
    QTemporaryDir dir;
    QList<RawEntry> entries {{"host_graph.xml", hostGraph}, {name, content}};
    entries.last().declaredSize = declaredSize;
    const QString zip = writeFile(dir.filePath(QStringLiteral("hostile.zip")), rawZip(entries));
    QVERIFY(!zip.isEmpty());

    const QString userRoot = dir.filePath(QStringLiteral("fresh"));
    const ConfigArchive::Locations user = userFolder(userRoot);
    if (declaredSize > 0)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("declares")));
    ConfigArchive archive;
    QCOMPARE(archive.importFrom(zip), !refusedWhole);

    QCOMPARE(filesBelow(userRoot),
             refusedWhole ? QStringList()
                          : QStringList({QDir(userRoot).relativeFilePath(user.hostGraphFile)}));
    if (refusedWhole)
        QCOMPARE(archive.steps().size(), 1);
    QStringList refusals;
    for (const Step& step : archive.steps()) {
        if (step.outcome == Step::Failed)
            refusals << step.text;
    }
    const QString whole =
        QStringLiteral("%1 was refused: it is no zip archive, or it holds an entry "
                       "that would land outside its folder, a link, or more "
                       "than %2 MiB: nothing imported")
            .arg(zip)
            .arg(ConfigArchive::MaxUnpackedSize / (1024 * 1024));
    QCOMPARE(refusals,
             QStringList(refusedWhole ? whole
                                      : QString::fromLatin1(name + ": refused, ") + entryRefusal));
}

void TstClientConfig::nonArchivesAreRefused()
{
    ShareRestorer restorer;
    QTemporaryDir dir;
    const QString userRoot = dir.filePath(QStringLiteral("fresh"));
    userFolder(userRoot);
    const QString text = writeFile(dir.filePath(QStringLiteral("text.zip")), "no archive");
    // Too large to be a set, whatever it holds.
    const QString huge = writeFile(dir.filePath(QStringLiteral("huge.zip")),
                                   QByteArray(int(ConfigArchive::MaxArchiveSize) + 1, 'x'));
    for (const QString& zip : {text, huge, dir.filePath(QStringLiteral("missing.zip"))}) {
        ConfigArchive archive;
        QVERIFY(!archive.importFrom(zip));
        QCOMPARE(archive.steps().size(), 1);
        QCOMPARE(archive.steps().first().outcome, Step::Failed);
    }
    QCOMPARE(filesBelow(userRoot), QStringList());
}

QTEST_MAIN(TstClientConfig)
#include "tst_client_config.moc"
