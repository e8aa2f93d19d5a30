#include "archives/zip_utils.h"
#include "raw_zip.h"
#include "resource_dir.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QtTest>

#include <private/qzipreader_p.h>
#include <private/qzipwriter_p.h>

namespace {

QStringList entryNames(const QString& zipPath)
{
    QZipReader reader(zipPath, QIODevice::ReadOnly);
    QStringList names;
    for (const QZipReader::FileInfo& info : reader.fileInfoList())
        names << info.filePath + (info.isDir ? QStringLiteral("/") : QString());
    names.sort();
    return names;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

class TstZipUtils : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void filesRoundTripByNameAloneAndOnlyArchivesUnpack();
    void progressTellsEachFile();
    void directoryTreeRoundTripsWithPermissions();
    void hostileArchiveWritesNothing_data();
    void hostileArchiveWritesNothing();
    void unpackedSizeIsLimited_data();
    void unpackedSizeIsLimited();
};

void TstZipUtils::filesRoundTripByNameAloneAndOnlyArchivesUnpack()
{
    ResourceDir dir;
    const QString a = dir.writeFile("src/one/a.txt", "alpha");
    const QString b = dir.writeFile("src/two/b.bin", QByteArray(100000, '\x7f'));
    const QString zip = dir.filePath("out.zip");
    QVERIFY(ZipUtils::zipFiles({a, dir.filePath("src/none.txt"), b}, zip));
    QCOMPARE(entryNames(zip), QStringList({"a.txt", "b.bin"}));

    const QString dest = dir.makeDir("dest");
    QVERIFY(ZipUtils::unzip(zip, dest));
    QCOMPARE(readAll(dest + "/a.txt"), QByteArray("alpha"));
    QCOMPARE(readAll(dest + "/b.bin"), QByteArray(100000, '\x7f'));

    const QString empty = dir.filePath("empty.zip");
    QVERIFY(ZipUtils::zipFiles({}, empty));
    QZipReader reader(empty, QIODevice::ReadOnly);
    QCOMPARE(reader.status(), QZipReader::NoError);
    QCOMPARE(reader.count(), 0);
    const QString emptyDest = dir.makeDir("emptyDest");
    QVERIFY(ZipUtils::unzip(empty, emptyDest));
    QVERIFY(!ZipUtils::zipFiles({}, dir.filePath("no/such/dir/x.zip")));
    // Neither a file that is no archive nor a missing one unpacks anything.
    QVERIFY(!ZipUtils::unzip(a, emptyDest));
    QVERIFY(!ZipUtils::unzip(dir.filePath("missing.zip"), emptyDest));
    QCOMPARE(QDir(emptyDest).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
}

void TstZipUtils::progressTellsEachFile()
{
    ResourceDir dir;
    const QString a = dir.writeFile("a.txt", "a");
    const QString c = dir.writeFile("c.txt", "c");
    ZipUtils zipper;
    QSignalSpy spy(&zipper, &ZipUtils::progress);
    zipper.zipFilesWithProgress({a, dir.filePath("b.txt"), c}, dir.filePath("p.zip"));
    QCOMPARE(static_cast<QList<QVariantList>>(spy),
             QList<QVariantList>({{"a.txt", true}, {"b.txt", false}, {"c.txt", true}}));

    spy.clear();
    zipper.zipFilesWithProgress({a}, dir.filePath("no/such/dir/x.zip"));
    QCOMPARE(spy.count(), 0);
}

void TstZipUtils::directoryTreeRoundTripsWithPermissions()
{
    ResourceDir dir;
    dir.writeFile("tree/top.xml", "<top/>");
    const QString script = dir.writeFile("tree/bin/run.sh", "#!/bin/sh\n");
    QFile::setPermissions(script, QFile::ReadOwner | QFile::ReadUser);
    dir.writeFile("tree/.hidden", "secret");
    dir.makeDir("tree/empty");

    QString tree = dir.filePath("tree");
    const QString zip = dir.filePath("tree.zip");
    QVERIFY(ZipUtils::zipDir(tree, zip));
    QCOMPARE(tree, dir.filePath("tree") + QDir::separator());
    QCOMPARE(entryNames(zip), QStringList({"bin/", "bin/run.sh", "empty/", "top.xml"}));

    const QString dest = dir.makeDir("restored");
    QVERIFY(ZipUtils::unzip(zip, dest));
    QCOMPARE(readAll(dest + "/bin/run.sh"), QByteArray("#!/bin/sh\n"));
    QVERIFY(QFileInfo(dest + "/empty").isDir());
    QVERIFY(!QFile::exists(dest + "/.hidden"));

    // Another tool's archive may list no folders: unpacking makes them.
    const QString flat = dir.filePath("flat.zip");
    {
        QZipWriter writer(flat, QIODevice::WriteOnly | QIODevice::Truncate);
        writer.addFile(QStringLiteral("a/b/c.txt"), QByteArray("deep"));
    }
    const QString flatDest = dir.filePath("flatDest");
    QVERIFY(ZipUtils::unzip(flat, flatDest));
    QCOMPARE(readAll(flatDest + "/a/b/c.txt"), QByteArray("deep"));
}

void TstZipUtils::hostileArchiveWritesNothing_data()
{
    QTest::addColumn<QByteArray>("entry");
    QTest::addColumn<bool>("symlink");
    QTest::newRow("climbs") << QByteArray("../evil.txt") << false;
    QTest::newRow("climbs-deep") << QByteArray("sub/../../evil.txt") << false;
    QTest::newRow("backslash") << QByteArray("sub\\..\\..\\evil.txt") << false;
    QTest::newRow("absolute") << QByteArray("@ABS@/evil.txt") << false;
    QTest::newRow("symlink-out") << QByteArray("link") << true;
}

void TstZipUtils::hostileArchiveWritesNothing()
{
    QFETCH(QByteArray, entry);
    QFETCH(bool, symlink);
    ResourceDir dir;
    const QString outside = dir.makeDir("outside");
    const QString dest = dir.makeDir("inside/dest");
    entry.replace("@ABS@", outside.toUtf8());

    QList<RawEntry> entries {{"harmless.txt", "ok"}};
    if (symlink) {
        entries.append({entry, outside.toUtf8(), true});
        entries.append({entry + "/evil.txt", "owned"});
    } else {
        entries.append({entry, "owned"});
    }
    const QString zip = dir.writeFile("hostile.zip", rawZip(entries));
    QCOMPARE(QZipReader(zip, QIODevice::ReadOnly).count(), entries.size());
    QVERIFY(!ZipUtils::unzip(zip, dest));
    QCOMPARE(QDir(dest).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System),
             QStringList());
    QVERIFY(!QFile::exists(outside + "/evil.txt"));
    QVERIFY(!QFile::exists(dir.filePath("inside/evil.txt")));

    // The same archive without the hostile entry unpacks.
    const QString tame = dir.writeFile("tame.zip", rawZip({entries.first()}));
    QVERIFY(ZipUtils::unzip(tame, dest));
    QCOMPARE(readAll(dest + "/harmless.txt"), QByteArray("ok"));
}

void TstZipUtils::unpackedSizeIsLimited_data()
{
    QTest::addColumn<int>("entryCount");
    QTest::addColumn<int>("entrySize");
    QTest::addColumn<bool>("deflate");
    QTest::addColumn<qint64>("declaredSize"); // of each entry; -1: the true size
    QTest::addColumn<qint64>("limit"); // -1: the default
    QTest::addColumn<QString>("warning"); // empty: the archive unpacks

    const QString declares =
        QStringLiteral("Zip archive '@ZIP@' declares %1 bytes unpacked, more than the limit of %2: "
                       "nothing extracted");
    const QString lies = QStringLiteral(
        "Zip archive '@ZIP@' unpacks to more than the limit of 1000 bytes although it "
        "declares %1: nothing extracted");
    const qint64 no = -1;
    QTest::newRow("at-the-limit") << 2 << 500 << false << no << 1000ll << QString();
    QTest::newRow("stored-over") << 2 << 501 << false << no << 1000ll
                                 << declares.arg(1002).arg(1000);
    QTest::newRow("lie-within-limit") << 1 << 1000 << true << 10ll << 1000ll << QString();
    QTest::newRow("lie-over") << 1 << 100000 << true << 10ll << 1000ll << lies.arg(10);
    // Each entry alone fits; only counting across entries finds the excess.
    QTest::newRow("lie-over-together") << 2 << 600 << true << 10ll << 1000ll << lies.arg(20);
    // Stored, 4 bytes of data, but 300 MiB declared: refused on the declaration alone.
    QTest::newRow("over-the-default")
        << 1 << 4 << false << 300ll * 1024 * 1024 << no
        << declares.arg(300 * 1024 * 1024).arg(ZipUtils::MaxUnpackedSize);
}

void TstZipUtils::unpackedSizeIsLimited()
{
    QFETCH(int, entryCount);
    QFETCH(int, entrySize);
    QFETCH(bool, deflate);
    QFETCH(qint64, declaredSize);
    QFETCH(qint64, limit);
    QFETCH(QString, warning);
    ResourceDir dir;
    QList<RawEntry> entries;
    for (int i = 0; i < entryCount; ++i) {
        entries.append({QByteArray("sub/f") + QByteArray::number(i), QByteArray(entrySize, '\0'),
                        false, deflate, declaredSize});
    }
    const QString zip = dir.writeFile("sized.zip", rawZip(entries));
    const QString dest = dir.makeDir("dest");
    const auto unzip = [&] {
        return limit < 0 ? ZipUtils::unzip(zip, dest) : ZipUtils::unzip(zip, dest, limit);
    };

    if (warning.isEmpty()) {
        QVERIFY(unzip());
        for (const RawEntry& entry : qAsConst(entries))
            QCOMPARE(readAll(dest + '/' + entry.name), entry.data);
        return;
    }
    warning.replace(QStringLiteral("@ZIP@"), QDir::toNativeSeparators(zip));
    QTest::ignoreMessage(QtWarningMsg, qPrintable(warning));
    QVERIFY(!unzip());
    QCOMPARE(QDir(dest).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
}

QTEST_GUILESS_MAIN(TstZipUtils)
#include "tst_zip_utils.moc"
