#pragma once

// Internal to the library: the walk over a resource directory and the SAX
// reading of one file, shared by the databases that load XML resources.

#include "foundation/log_p.h"
#include "foundation/xml_prolog_p.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QStringList>

QT_WARNING_PUSH
QT_WARNING_DISABLE_DEPRECATED
#include <QXmlDefaultHandler>
#include <QXmlInputSource>
#include <QXmlSimpleReader>

namespace tavoresources {

/// Calls @p load for every "*.xml" and "*.XML" file below @p path, in the
/// order the file system lists them. Case-sensitive on purpose: a "*.Xml"
/// backup copy is not a resource file.
template<typename Load> void forEachXmlFile(const QString& path, Load load)
{
    QDirIterator it(path, {QStringLiteral("*.xml"), QStringLiteral("*.XML")},
                    QDir::Files | QDir::CaseSensitive, QDirIterator::Subdirectories);
    while (it.hasNext())
        load(it.next());
}

/// Reads @p bytes, the content of @p fileName, with @p handler as content
/// and error handler, after warning about what the reader would pass over.
inline bool parseWithHandler(const QByteArray& bytes, const QString& fileName,
                             QXmlDefaultHandler& handler)
{
    tavoxml::warnAboutProlog(bytes, fileName);
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QXmlSimpleReader reader;
    reader.setContentHandler(&handler);
    reader.setErrorHandler(&handler);
    QXmlInputSource source(&buffer);
    return reader.parse(&source, false);
}

/// Reads the resource file @p path with a handler made by @p makeHandler
/// (given the path); a missing or unreadable file is reported and refused.
template<typename MakeHandler> bool parseFile(const QString& path, MakeHandler makeHandler)
{
    QFile file(path);
    if (!file.exists()) {
        tavolog::error(QCoreApplication::translate("XmlResources", "File not found: %1").arg(path));
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        tavolog::error(QCoreApplication::translate("XmlResources", "Can't open file '%1': %2")
                           .arg(path, file.errorString()));
        return false;
    }
    const QByteArray bytes = file.readAll();
    auto handler = makeHandler(path);
    return parseWithHandler(bytes, path, handler);
}

} // namespace tavoresources

QT_WARNING_POP
