#pragma once

// Internal to the library: the one line every event-driven file reader logs
// when the XML reader gives up, whether on malformed input or because a
// handler refused what it read.

#include "foundation/log_p.h"

#include <QCoreApplication>

QT_WARNING_PUSH
QT_WARNING_DISABLE_DEPRECATED
#include <QXmlParseException>

namespace tavolog {

inline void xmlFatalError(const QXmlParseException& exception, const QString& fileName)
{
    error(QCoreApplication::translate("XmlReader", "Error [%1, %2]: %3 (file %4)")
              .arg(exception.lineNumber())
              .arg(exception.columnNumber())
              .arg(exception.message(), fileName));
}

} // namespace tavolog

QT_WARNING_POP
