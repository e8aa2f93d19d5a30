#include "archives/zip_utils.h"
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

quint32 crc32(const QByteArray& data)
{
    quint32 crc = 0xFFFFFFFFu;
    for (char c : data) {
        crc ^= quint8(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void put16(QByteArray& out, quint16 v)
{
    out.append(char(v & 0xFF)).append(char(v >> 8));
}

void put32(QByteArray& out, quint32 v)
{
    put16(out, quint16(v & 0xFFFF));
    put16(out, quint16(v >> 16));
}

struct RawEntry
{
    QByteArray name;
    QByteArray data;
    bool symlink = false; // data is then the link target
};

// A stored (uncompressed) archive written byte by byte, so that entry names
// reach the reader exactly as a hostile tool would write them; Qt's own
// writer cleans them.
QByteArray rawZip(const QList<RawEntry>& entries)
{
    QByteArray out, central;
    for (const RawEntry& e : entries) {
        const quint32 offset = quint32(out.size());
        const quint32 crc = crc32(e.data);
        put32(out, 0x04034b50u);
        put16(out, 10);
        put16(out, 0);
        put16(out, 0); // stored
        put32(out, 0);
        put32(out, crc);
        put32(out, quint32(e.data.size()));
        put32(out, quint32(e.data.size()));
        put16(out, quint16(e.name.size()));
        put16(out, 0);
        out += e.name + e.data;

        put32(central, 0x02014b50u);
        put16(central, 0x031E); // made by Unix: external attributes carry the mode
        put16(central, 10);
        put16(central, 0);
        put16(central, 0);
        put32(central, 0);
        put32(central, crc);
        put32(central, quint32(e.data.size()));
        put32(central, quint32(e.data.size()));
        put16(central, quint16(e.name.size()));
        put16(central, 0);
        put16(central, 0);
        put16(central, 0);
        put16(central, 0);
        put32(central, quint32(e.symlink ? 0120777 : 0100644) << 16);
        put32(central, offset);
        central += e.name;
    }
    const quint32 centralOffset = quint32(out.size());
    out += central;
    put32(out, 0x06054b50u);
    put16(out, 0);
    put16(out, 0);
    put16(out, quint16(entries.size()));
    put16(out, quint16(entries.size()));
    put32(out, quint32(central.size()));
    put32(out, centralOffset);
    put16(out, 0);
    return out;
}

} // namespace

class TstZipUtils : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void filesRoundTripByNameAlone();
    void emptyListMakesAnEmptyArchive();
    void progressTellsEachFile();
    void directoryTreeRoundTripsWithPermissions();
    void nonArchiveIsRefused();
    void hostileArchiveWritesNothing_data();
    void hostileArchiveWritesNothing();
};

void TstZipUtils::filesRoundTripByNameAlone()
{
    ResourceDir dir;
    const QString a = dir.writeFile(QStringLiteral("src/one/a.txt"), "alpha");
    const QString b = dir.writeFile(QStringLiteral("src/two/b.bin"), QByteArray(100000, '\x7f'));
    const QString zip = dir.filePath(QStringLiteral("out.zip"));
    QVERIFY(ZipUtils::zipFiles({a, dir.filePath(QStringLiteral("src/none.txt")), b}, zip));
    QCOMPARE(entryNames(zip), QStringList({"a.txt", "b.bin"}));

    const QString dest = dir.makeDir(QStringLiteral("dest"));
    QVERIFY(ZipUtils::unzip(zip, dest));
    QCOMPARE(readAll(dest + QStringLiteral("/a.txt")), QByteArray("alpha"));
    QCOMPARE(readAll(dest + QStringLiteral("/b.bin")), QByteArray(100000, '\x7f'));
}

void TstZipUtils::emptyListMakesAnEmptyArchive()
{
    ResourceDir dir;
    const QString zip = dir.filePath(QStringLiteral("empty.zip"));
    QVERIFY(ZipUtils::zipFiles({}, zip));
    QZipReader reader(zip, QIODevice::ReadOnly);
    QCOMPARE(reader.status(), QZipReader::NoError);
    QCOMPARE(reader.count(), 0);
    QVERIFY(ZipUtils::unzip(zip, dir.makeDir(QStringLiteral("dest"))));
    QVERIFY(!ZipUtils::zipFiles({}, dir.filePath(QStringLiteral("no/such/dir/x.zip"))));
}

void TstZipUtils::progressTellsEachFile()
{
    ResourceDir dir;
    const QString a = dir.writeFile(QStringLiteral("a.txt"), "a");
    const QString c = dir.writeFile(QStringLiteral("c.txt"), "c");
    ZipUtils zipper;
    QSignalSpy spy(&zipper, &ZipUtils::progress);
    zipper.zipFilesWithProgress({a, dir.filePath(QStringLiteral("b.txt")), c},
                                dir.filePath(QStringLiteral("p.zip")));
    QCOMPARE(spy.count(), 3);
    const QList<QVariantList> expected {{QStringLiteral("a.txt"), true},
                                        {QStringLiteral("b.txt"), false},
                                        {QStringLiteral("c.txt"), true}};
    for (int i = 0; i < 3; ++i)
        QCOMPARE(spy.at(i), expected.at(i));

    spy.clear();
    zipper.zipFilesWithProgress({a}, dir.filePath(QStringLiteral("no/such/dir/x.zip")));
    QCOMPARE(spy.count(), 0);
}

void TstZipUtils::directoryTreeRoundTripsWithPermissions()
{
    ResourceDir dir;
    dir.writeFile(QStringLiteral("tree/top.xml"), "<top/>");
    const QString script = dir.writeFile(QStringLiteral("tree/bin/run.sh"), "#!/bin/sh\n");
    QFile::setPermissions(script, QFile::ReadOwner | QFile::ReadUser);
    dir.writeFile(QStringLiteral("tree/.hidden"), "secret");
    dir.makeDir(QStringLiteral("tree/empty"));

    QString tree = dir.filePath(QStringLiteral("tree"));
    const QString zip = dir.filePath(QStringLiteral("tree.zip"));
    QVERIFY(ZipUtils::zipDir(tree, zip));
    QCOMPARE(tree, dir.filePath(QStringLiteral("tree")) + QDir::separator());
    QCOMPARE(entryNames(zip), QStringList({"bin/", "bin/run.sh", "empty/", "top.xml"}));

    const QString dest = dir.makeDir(QStringLiteral("restored"));
    QVERIFY(ZipUtils::unzip(zip, dest));
    QCOMPARE(readAll(dest + QStringLiteral("/bin/run.sh")), QByteArray("#!/bin/sh\n"));
    QVERIFY(QFileInfo(dest + QStringLiteral("/empty")).isDir());
    QVERIFY(!QFile::exists(dest + QStringLiteral("/.hidden")));
}

void TstZipUtils::nonArchiveIsRefused()
{
    ResourceDir dir;
    const QString text =
        dir.writeFile(QStringLiteral("plain.zip"), "this is not an archive at all");
    const QString dest = dir.makeDir(QStringLiteral("dest"));
    QVERIFY(!ZipUtils::unzip(text, dest));
    QVERIFY(!ZipUtils::unzip(dir.filePath(QStringLiteral("missing.zip")), dest));
    QCOMPARE(QDir(dest).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
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
    const QString outside = dir.makeDir(QStringLiteral("outside"));
    const QString dest = dir.makeDir(QStringLiteral("inside/dest"));
    entry.replace("@ABS@", outside.toUtf8());

    QList<RawEntry> entries {{"harmless.txt", "ok"}};
    if (symlink) {
        entries.append({entry, outside.toUtf8(), true});
        entries.append({entry + "/evil.txt", "owned"});
    } else {
        entries.append({entry, "owned"});
    }
    const QString zip = dir.writeFile(QStringLiteral("hostile.zip"), rawZip(entries));
    QCOMPARE(QZipReader(zip, QIODevice::ReadOnly).count(), entries.size());
    QVERIFY(!ZipUtils::unzip(zip, dest));
    QCOMPARE(QDir(dest).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System),
             QStringList());
    QVERIFY(!QFile::exists(outside + QStringLiteral("/evil.txt")));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("inside/evil.txt"))));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("evil.txt"))));

    // The same archive without the hostile entry unpacks.
    const QString tame = dir.writeFile(QStringLiteral("tame.zip"), rawZip({entries.first()}));
    QVERIFY(ZipUtils::unzip(tame, dest));
    QCOMPARE(readAll(dest + QStringLiteral("/harmless.txt")), QByteArray("ok"));
}

QTEST_GUILESS_MAIN(TstZipUtils)
#include "tst_zip_utils.moc"
