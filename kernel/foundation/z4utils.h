#pragma once

#include "tavo_kernel_export.h"

#include <QByteArray>
#include <QString>
#include <QVector>

class AsciiZ;

/**
 * Text helpers for logs, displays and descriptions.
 *
 * The dump functions write every shown byte followed by "." (as two
 * hexadecimal digits, or as itself when @p printable and it lies in
 * 0x21..0x7F), then " ..." when bytes were left out, then the total length as
 * " (n)". At most @p maxLength bytes are shown when it is at least 1.
 */
namespace utils {

TAVO_KERNEL_EXPORT QString byteArrayToString(const QByteArray& bytes, bool printable,
                                             int maxLength);
/// The dump into a new AsciiZ that the caller deletes.
TAVO_KERNEL_EXPORT AsciiZ* pcharToAsciiZ(const char* data, int length, bool printable,
                                         int maxLength);
/// The dump with lower-case hexadecimal digits.
TAVO_KERNEL_EXPORT QString pcharToString(const char* data, int length, bool printable,
                                         int maxLength);

/// Two upper-case digits per byte, @p separator between bytes unless it is the
/// zero byte. Null for empty input; the caller releases the buffer with delete[].
TAVO_KERNEL_EXPORT char* byteArrayHexEncoding_ch(const QByteArray& bytes, char separator);
/// The same text appended to @p out.
TAVO_KERNEL_EXPORT void byteArrayHexEncoding(const QByteArray& bytes, QByteArray& out,
                                             char separator);
/// Appends the decoded bytes to @p out. Bytes equal to a non-zero @p separator
/// are skipped wherever they stand; digits pair up in order. False at the first
/// non-digit or for a digit left over, with what was decoded kept in @p out.
TAVO_KERNEL_EXPORT bool byteArrayHexDecoding(const QByteArray& text, QByteArray& out,
                                             char separator);

/// Words separated by runs of space, tab, CR and LF, joined by single spaces.
TAVO_KERNEL_EXPORT QString fullTrimmed(const QString& text);
/// Turns the bracket mark-up of description texts ([b], [/b], [i], [/i], [u],
/// [/u], [br]) into HTML; a backslash before "[" writes the bracket itself.
/// Other tags are kept in brackets, a tag left open at the end is dropped.
TAVO_KERNEL_EXPORT QString wikiHandling(const QString& text);

/// Appends the components of a dotted decimal identifier to @p out; false for
/// anything but digits and dots or an empty component, keeping the components
/// completed before the failure.
TAVO_KERNEL_EXPORT bool dotStringToIntList(const QString& text, QVector<int>& out);
/// The first @p count elements (all when @p count is below 1) joined with ".".
TAVO_KERNEL_EXPORT QString intListToOidString(const QVector<int>& list, int count);

} // namespace utils
