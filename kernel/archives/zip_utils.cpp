#include "archives/zip_utils.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <private/qzipreader_p.h>
#include <private/qzipwriter_p.h>

#include <functional>

namespace {

// An entry name that stays below the destination: relative, and no
// component that climbs. Backslashes count as separators too, since
// archives made elsewhere may use them.
bool isContainedEntryName(const QByteArray& name)
{
    if (name.isEmpty() || name.startsWith('/') || name.startsWith('\\'))
        return false;
    if (name.size() >= 2 && name.at(1) == ':')
        return false; // a drive letter
    QByteArray normalized = name;
    normalized.replace('\\', '/');
    for (const QByteArray& part : normalized.split('/')) {
        if (part == "..")
            return false;
    }
    return true;
}

// Adds @p filePath under @p entryName with the file's permissions; false
// when the file cannot be read.
bool addFileEntry(QZipWriter& writer, const QString& filePath, const QString& entryName)
{
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    writer.setCreationPermissions(file.permissions());
    writer.addFile(entryName, file.readAll());
    return true;
}

// Writes @p files into a new archive, calling @p report after each one;
// false when the archive cannot be created or written.
bool writeFiles(const QStringList& files, const QString& zipPath,
                const std::function<void(const QString&, bool)>& report)
{
    QZipWriter writer(zipPath, QIODevice::WriteOnly | QIODevice::Truncate);
    if (writer.status() != QZipWriter::NoError)
        return false;
    writer.setCompressionPolicy(QZipWriter::AutoCompress);
    for (const QString& path : files) {
        const QString name = QFileInfo(path).fileName();
        const bool added = addFileEntry(writer, path, name);
        if (report)
            report(name, added && writer.status() == QZipWriter::NoError);
    }
    writer.close();
    return writer.status() == QZipWriter::NoError;
}

quint32 readLittleEndian(const QByteArray& bytes, qint64 at, int size)
{
    quint32 value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | quint8(bytes.at(int(at) + i));
    return value;
}

// The entry names exactly as the archive's central directory stores them.
// Qt's reader cleans leading "/" and "../" from the names it reports, so the
// check for hostile names must look at the bytes themselves. False for a
// file that is no archive or whose directory runs past its end (the zip
// reader would take such a file for an empty archive).
bool readRawEntryNames(const QString& zipPath, QList<QByteArray>& names)
{
    QFile file(zipPath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray data = file.readAll();
    // The end record is 22 bytes plus a comment of at most 65535 bytes.
    const int searchFrom = qMax(0, data.size() - 22 - 65535);
    int end = data.lastIndexOf(QByteArray("PK\x05\x06", 4));
    if (end < searchFrom || end + 22 > data.size())
        return false;
    const quint32 count = readLittleEndian(data, end + 10, 2);
    qint64 at = readLittleEndian(data, end + 16, 4);
    for (quint32 i = 0; i < count; ++i) {
        if (at + 46 > end || readLittleEndian(data, at, 4) != 0x02014b50u)
            return false;
        const quint32 nameLength = readLittleEndian(data, at + 28, 2);
        const quint32 extraLength = readLittleEndian(data, at + 30, 2);
        const quint32 commentLength = readLittleEndian(data, at + 32, 2);
        if (at + 46 + nameLength > end)
            return false;
        names.append(data.mid(int(at + 46), int(nameLength)));
        at += 46 + nameLength + extraLength + commentLength;
    }
    return true;
}

// Whether the files among @p entries unpack to at most @p limit bytes. The
// sizes that the central directory declares come first, so that an honest
// archive too large is refused without inflating anything. They may lie, so
// each file is then inflated and counted, and nothing is written until all
// of them are (extractAll() inflates them once more; configuration sets are
// small, and the reader offers no way to stop an inflation halfway).
// QZipReader::fileData() inflates an entry whole, trusting only
// its compressed size: deflate expands at most about 1032 to 1 and the
// reader doubles its buffer until the data fits, so a lying entry may hold
// about twice 1032 times its compressed size in memory while it is counted.
// The limit holds exactly for what reaches the disk; memory is bounded by the
// largest entry's compressed size, not by the limit.
bool fitsUnpackedLimit(const QZipReader& reader, const QVector<QZipReader::FileInfo>& entries,
                       const QString& zipPath, qint64 limit)
{
    qint64 declared = 0;
    for (const QZipReader::FileInfo& entry : entries) {
        if (entry.isFile)
            declared += entry.size;
    }
    if (declared > limit) {
        qWarning("Zip archive '%s' declares %lld bytes unpacked, more than the limit of %lld: "
                 "nothing extracted",
                 qUtf8Printable(QDir::toNativeSeparators(zipPath)), declared, limit);
        return false;
    }
    qint64 unpacked = 0;
    for (const QZipReader::FileInfo& entry : entries) {
        if (!entry.isFile)
            continue;
        unpacked += reader.fileData(entry.filePath).size();
        if (unpacked > limit) {
            qWarning("Zip archive '%s' unpacks to more than the limit of %lld bytes although it "
                     "declares %lld: nothing extracted",
                     qUtf8Printable(QDir::toNativeSeparators(zipPath)), limit, declared);
            return false;
        }
    }
    return true;
}

// Qt's reader makes only the folders that have entries of their own and
// stops at the first file whose folder is missing, while common zip tools
// leave folder entries out.
void createParentFolders(const QVector<QZipReader::FileInfo>& entries, const QString& destDir)
{
    QDir base(destDir);
    for (const QZipReader::FileInfo& entry : entries) {
        const int slash = entry.filePath.lastIndexOf(QLatin1Char('/'));
        if (entry.isFile && slash > 0)
            base.mkpath(entry.filePath.left(slash));
    }
}

} // namespace

ZipUtils::ZipUtils(QObject* parent)
    : QObject(parent)
{
}

ZipUtils::~ZipUtils() = default;

bool ZipUtils::unzip(const QString& zipPath, const QString& destDir)
{
    return unzip(zipPath, destDir, MaxUnpackedSize);
}

bool ZipUtils::unzip(const QString& zipPath, const QString& destDir, qint64 maxUnpackedSize)
{
    // An archive from outside must not write anywhere but below destDir,
    // neither by its names nor through a link it creates first.
    QList<QByteArray> rawNames;
    if (!readRawEntryNames(zipPath, rawNames))
        return false;
    for (const QByteArray& name : qAsConst(rawNames)) {
        if (!isContainedEntryName(name))
            return false;
    }
    QZipReader reader(zipPath, QIODevice::ReadOnly);
    if (reader.status() != QZipReader::NoError)
        return false;
    const QVector<QZipReader::FileInfo> entries = reader.fileInfoList();
    for (const QZipReader::FileInfo& entry : entries) {
        if (entry.isSymLink)
            return false;
    }
    if (!fitsUnpackedLimit(reader, entries, zipPath, maxUnpackedSize))
        return false;
    createParentFolders(entries, destDir);
    reader.extractAll(destDir);
    return reader.status() == QZipReader::NoError;
}

bool ZipUtils::zipFiles(const QStringList& files, const QString& zipPath)
{
    return writeFiles(files, zipPath, {});
}

void ZipUtils::zipFilesWithProgress(const QStringList& files, const QString& zipPath)
{
    writeFiles(files, zipPath, [this](const QString& name, bool ok) { Q_EMIT progress(name, ok); });
}

bool ZipUtils::zipDir(QString& dir, const QString& zipPath)
{
    QZipWriter writer(zipPath, QIODevice::WriteOnly | QIODevice::Truncate);
    if (writer.status() != QZipWriter::NoError)
        return false;
    writer.setCompressionPolicy(QZipWriter::AutoCompress);

    if (!dir.endsWith(QDir::separator()))
        dir += QDir::separator();

    QDirIterator it(dir, QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        const QString entryName = QString(path).remove(dir);
        if (info.isDir()) {
            writer.setCreationPermissions(QFile::permissions(path));
            writer.addDirectory(entryName);
        } else {
            addFileEntry(writer, path, entryName);
        }
    }
    writer.close();
    return writer.status() == QZipWriter::NoError;
}
