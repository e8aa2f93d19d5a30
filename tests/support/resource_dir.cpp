#include "resource_dir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

QString ResourceDir::writeFile(const QString& relative, const QByteArray& content) const
{
    const QString absolute = filePath(relative);
    QFile file(absolute);
    const bool written = QDir().mkpath(QFileInfo(absolute).absolutePath()) &&
        file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
        file.write(content) == content.size();
    return written ? absolute : QString();
}

QString ResourceDir::makeDir(const QString& relative) const
{
    const QString absolute = filePath(relative);
    return QDir().mkpath(absolute) ? absolute : QString();
}
