#include "resource_dir.h"

#include "foundation/app_shared.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

ResourceDir::ResourceDir() = default;

QString ResourceDir::filePath(const QString& relative) const
{
    return m_dir.filePath(relative);
}

QString ResourceDir::writeFile(const QString& relative, const QByteArray& content) const
{
    const QString absolute = filePath(relative);
    if (!QDir().mkpath(QFileInfo(absolute).absolutePath())) {
        return QString();
    }
    QFile file(absolute);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return QString();
    }
    if (file.write(content) != content.size()) {
        return QString();
    }
    return absolute;
}

QString ResourceDir::makeDir(const QString& relative) const
{
    const QString absolute = filePath(relative);
    return QDir().mkpath(absolute) ? absolute : QString();
}

void ResourceDir::publishAsResources() const
{
    share::applicationPath = path();
    share::resourcesPath = path();
    share::pluginsPath = path();
    share::protocolsPath = path();
    share::global_init();
}
