// Export and import of a configuration set: the round trip from one user's
// folder into a fresh one, and archives that must not be imported.

#include "config_archive.h"
#include "raw_zip.h"
#include "share_restorer.h"

#include "foundation/app_shared.h"

#include <QDirIterator>
#include <QSettings>
#include <QStandardPaths>
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

} // namespace

class TstConfigArchive : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void setRoundTripsIntoAFreshUserFolder();
    void hostileArchiveIsRefused_data();
    void hostileArchiveIsRefused();
    void nonArchivesAreRefused();
};

void TstConfigArchive::setRoundTripsIntoAFreshUserFolder()
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
    int skipped = 0;
    for (const Step& step : exporter.steps()) {
        QVERIFY2(step.outcome != Step::Failed, qPrintable(step.text));
        skipped += step.outcome == Step::Skipped;
    }
    QCOMPARE(skipped, 1);

    const ConfigArchive::Locations to = userFolder(dir.filePath(QStringLiteral("b")));
    ConfigArchive importer;
    QVERIFY(importer.importFrom(zip));
    QCOMPARE(readAll(to.hostGraphFile), hostGraph);
    QCOMPARE(readAll(to.actionListFile), actionList);
    QVERIFY(!QFile::exists(to.dampingFile));
    QCOMPARE(filesBelow(to.boardDir), QStringList({"demo.xml", "site/B.XML"}));
    QCOMPARE(readAll(to.boardDir + QStringLiteral("/site/B.XML")), boardFile);
    QCOMPARE(importer.steps().size(), 4);
}

void TstConfigArchive::hostileArchiveIsRefused_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("symlink");
    QTest::addColumn<qint64>("declaredSize"); // -1: the true one
    QTest::addColumn<bool>("refusedWhole"); // else only the entry is refused

    const QByteArray xml = "<observer_list/>";
    QTest::newRow("climbs") << QByteArray("../evil.xml") << xml << false << qint64(-1) << true;
    QTest::newRow("climbs-from-board")
        << QByteArray("xml_observed_board/../../evil.xml") << xml << false << qint64(-1) << true;
    QTest::newRow("absolute") << QByteArray("@OUT@/evil.xml") << xml << false << qint64(-1) << true;
    QTest::newRow("link-out") << QByteArray("xml_observed_board") << QByteArray("@OUT@") << true
                              << qint64(-1) << true;
    QTest::newRow("too-large") << QByteArray("xml_observed_board/big.xml") << xml << false
                               << ConfigArchive::MaxUnpackedSize + 1 << true;
    QTest::newRow("outside-the-set")
        << QByteArray("autostart/evil.desktop") << QByteArray("[Desktop Entry]") << false
        << qint64(-1) << false;
    QTest::newRow("hidden-board-file")
        << QByteArray("xml_observed_board/.evil.xml") << xml << false << qint64(-1) << false;
    QTest::newRow("board-file-no-xml")
        << QByteArray("xml_observed_board/run.sh") << xml << false << qint64(-1) << false;
    QTest::newRow("wrong-document") << QByteArray("tavo_action_list.xml")
                                    << QByteArray("<hostgraph/>") << false << qint64(-1) << false;
    QTest::newRow("no-document") << QByteArray("tavo_flap_damping.xml") << QByteArray("#!/bin/sh")
                                 << false << qint64(-1) << false;
}

void TstConfigArchive::hostileArchiveIsRefused()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, content);
    QFETCH(bool, symlink);
    QFETCH(qint64, declaredSize);
    QFETCH(bool, refusedWhole);
    ShareRestorer restorer;
    QTemporaryDir dir;
    const QString outside = dir.filePath(QStringLiteral("outside"));
    QDir().mkpath(outside);
    name.replace("@OUT@", outside.toUtf8());
    content.replace("@OUT@", outside.toUtf8());
    QList<RawEntry> entries {{"host_graph.xml", hostGraph}, {name, content, symlink}};
    if (symlink)
        entries.append({name + "/evil.xml", "<observer_list/>"});
    entries.last().declaredSize = declaredSize;
    const QString zip = writeFile(dir.filePath(QStringLiteral("hostile.zip")), rawZip(entries));
    QVERIFY(!zip.isEmpty());

    const QString userRoot = dir.filePath(QStringLiteral("fresh"));
    const ConfigArchive::Locations user = userFolder(userRoot);
    if (declaredSize > 0)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("declares")));
    ConfigArchive archive;
    QCOMPARE(archive.importFrom(zip), !refusedWhole);

    QCOMPARE(filesBelow(outside), QStringList());
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("evil.xml"))));
    const QStringList written = filesBelow(userRoot);
    if (refusedWhole) {
        QCOMPARE(written, QStringList());
        QCOMPARE(archive.steps().size(), 1);
    } else {
        QCOMPARE(written, QStringList({QDir(userRoot).relativeFilePath(user.hostGraphFile)}));
    }
    QStringList refusals;
    for (const Step& step : archive.steps()) {
        if (step.outcome == Step::Failed)
            refusals << step.text;
    }
    QCOMPARE(refusals.size(), 1);
    QVERIFY2(refusals.first().contains(QLatin1String("refused")), qPrintable(refusals.first()));
}

void TstConfigArchive::nonArchivesAreRefused()
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

QTEST_GUILESS_MAIN(TstConfigArchive)
#include "tst_config_archive.moc"
