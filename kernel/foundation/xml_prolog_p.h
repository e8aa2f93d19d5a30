#pragma once

// Internal to the library: what the XML readers pass over without a word in
// a file's prolog and encoding.

#include <QByteArray>
#include <QString>

class QTextCodec;

namespace tavoxml {

/// The codec a reader decodes @p bytes with: a byte-order mark, else the
/// declaration's encoding, else UTF-8. Null for an encoding the platform does
/// not know; @p declaredName then holds the name the declaration gives.
QTextCodec* declaredCodec(const QByteArray& bytes, QString* declaredName = nullptr);

/// Logs a warning naming @p fileName for each problem the reader would
/// accept silently: an unknown encoding name, text that is not valid in its
/// encoding, an XML version other than 1.0. The file is still read.
void warnAboutProlog(const QByteArray& bytes, const QString& fileName);

} // namespace tavoxml
