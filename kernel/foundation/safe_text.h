#pragma once

#include "tavo_kernel_export.h"

#include <QString>

namespace utils {

/**
 * @p text from a host or a file made safe for one line of a log or a
 * terminal: control characters (below U+0020, U+007F and the C1 controls
 * U+0080..U+009F, which include the escape sequence introducers) become
 * visible escapes such as "\n" and "\x1b", so that the text can neither end
 * the line nor steer the terminal. Everything else stays as it is.
 */
TAVO_KERNEL_EXPORT QString escapeControlCharacters(const QString& text);

} // namespace utils
