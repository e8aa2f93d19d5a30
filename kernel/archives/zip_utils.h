#pragma once

#include "tavo_kernel_export.h"

#include <QObject>
#include <QString>
#include <QStringList>

/**
 * Packing files or a directory tree into a zip archive and unpacking one,
 * for the export and import of configuration sets. Results are booleans
 * only; a source file that cannot be opened is skipped, never fatal.
 */
class TAVO_KERNEL_EXPORT ZipUtils : public QObject
{
    Q_OBJECT

public:
    explicit ZipUtils(QObject* parent = nullptr);
    ~ZipUtils() override;

    /// Bytes that an archive may unpack to at most.
    static constexpr qint64 MaxUnpackedSize = 256 * 1024 * 1024;

    /// Extracts every entry of @p zipPath below @p destDir, creating the
    /// folders the entries need. An archive with an entry that would land
    /// outside @p destDir (an absolute path, a ".." component, a symbolic
    /// link) or that unpacks to more than MaxUnpackedSize bytes is refused
    /// whole, before anything is written.
    static bool unzip(const QString& zipPath, const QString& destDir);
    /// As unzip(), with @p maxUnpackedSize bytes in place of MaxUnpackedSize.
    static bool unzip(const QString& zipPath, const QString& destDir, qint64 maxUnpackedSize);
    /// Packs the tree below @p dir, entries named relative to it; appends the
    /// native separator to @p dir when it lacks one.
    static bool zipDir(QString& dir, const QString& zipPath);
    /// Packs @p files as entries named by their file names alone.
    static bool zipFiles(const QStringList& files, const QString& zipPath);
    /// As zipFiles(), telling each file's outcome with progress().
    void zipFilesWithProgress(const QStringList& files, const QString& zipPath);

Q_SIGNALS:
    void progress(QString name, bool res);

private:
    Q_DISABLE_COPY(ZipUtils)
};
