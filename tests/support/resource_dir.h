#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

/**
 * A temporary resource directory laid out as the client expects, removed
 * with the object. Files are written at test time, so every test states the
 * exact input it feeds to the library.
 */
class ResourceDir
{
public:
    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }
    /// Absolute path of @p relative below the directory.
    QString filePath(const QString& relative) const { return m_dir.filePath(relative); }

    /// Writes @p content to @p relative, creating the folders on the way;
    /// returns the absolute path, or an empty text on failure.
    QString writeFile(const QString& relative, const QByteArray& content) const;
    /// Creates the folder @p relative; returns its absolute path.
    QString makeDir(const QString& relative) const;

private:
    QTemporaryDir m_dir;
};
