#pragma once

#include "tavo_kernel_export.h"

#include <string>

#ifdef _WIN32
#include <winsock2.h>
#else
#include <sys/time.h>
#endif

/**
 * A growable zero-terminated byte string that owns its buffer.
 *
 * Growth copies the old content only up to its first zero byte, so the content
 * is meant to be text: a zero byte appended inside it is lost at the next
 * growth. A moved-from string is empty and fully usable.
 */
class TAVO_KERNEL_EXPORT AsciiZ
{
public:
    AsciiZ();
    /// Empty, then append(skip, count, s).
    AsciiZ(const char* s, int skip, int count);
    /// The bytes of @p other from index @p from, at most @p count of them;
    /// a count of 0 or less, or a start outside the content, copies nothing.
    AsciiZ(const AsciiZ& other, int from, int count);
    AsciiZ(const AsciiZ& other);
    AsciiZ(AsciiZ&& other) noexcept;
    AsciiZ& operator=(const AsciiZ& other);
    AsciiZ& operator=(AsciiZ&& other) noexcept;
    ~AsciiZ();

    /// Length 0; the capacity is kept so that the buffer can be reused.
    void clear();

    /// @p n bytes of @p s, or up to its terminator when @p n is negative.
    void append(const char* s, int n);
    void append(const char& c);
    void append(int c);
    /// Skips @p skip bytes of @p s (never past its terminator), then appends up
    /// to @p count bytes, or all the rest when @p count is 0 or less.
    void append(int skip, int count, const char* s);
    /// @p value in @p radix (digits 0-9, then A-Z), "-" first when negative,
    /// left-padded with "0" to at least @p width digits. Returns the number of
    /// characters appended, or -1 (appending nothing) for a radix below 2 (1 has
    /// no positional notation) or above 36 (no digit letters are left).
    /// The digit count comes from logarithms with a float-sized tolerance, so a
    /// value just below a power of the radix (9999999, 0x7FFFFFFF in radix 2)
    /// gets one leading "0" more.
    int append(int value, int width, int radix);

    /// Grows the capacity by @p extra bytes; a value of 0 or less does nothing.
    void resize(int extra);

    const char* data() const { return m_data ? m_data : ""; }
    int size() const { return m_length; }
    int length() const { return m_length; }
    int capacity() const { return m_capacity; }
    bool isEmpty() const { return m_length == 0; }

    /// Equal length and equal bytes; a null @p s counts as the empty text.
    bool operator==(const char* s) const;
    bool operator!=(const char* s) const { return !(*this == s); }

    /**
     * Reads a number in @p radix (2..36; digits 0-9, A-Z, a-z) from index
     * @p from, over at most @p count bytes when @p count is positive on entry,
     * else to the end, stopping at the first byte that is not a digit below the
     * radix. On return @p count holds the number of digits read. The value
     * wraps at 32 bits.
     */
    unsigned long toULong(int from, int& count, int radix) const;

private:
    void appendBytes(const char* s, int n);
    // Replaces the buffer by one of @p newCapacity bytes holding the content up
    // to its first zero byte; returns the old buffer for the caller to free.
    char* reallocate(int newCapacity);
    // Makes room for @p added more bytes by the growth rule. The replaced
    // buffer is handed back instead of freed, so that a source that lies in it
    // stays readable until the caller has copied it.
    bool makeRoom(int added, char*& retired);
    bool makeRoom(int added);

    char* m_data;
    int m_capacity;
    int m_length;
};

/// A number with an optional radix prefix ("0x" hexadecimal, "0b" binary,
/// "0" octal); spaces, tabs and dots are ignored wherever they stand.
/// The value wraps at 32 bits. @p ok may be null.
TAVO_KERNEL_EXPORT unsigned long numImageToULong(const char* text, bool* ok);

/// 0-15 for 0-9, A-F, a-f; -1 otherwise.
TAVO_KERNEL_EXPORT int hexLiteralToInt(char c);
/// The hexadecimal digit value of @p c, or -1 when it is none or not below @p radix.
TAVO_KERNEL_EXPORT int literalToInt(char c, int radix);
/// "0"-"9" for 0-9, "A" onwards for 10-35, the byte 0xFF for anything else.
TAVO_KERNEL_EXPORT char digitsToLiteral(int d);

/// Digits of @p value in @p radix (1 for 0), counted through logarithms;
/// -1 for a radix below 2. The signed form adds 1 for the minus sign.
/// Rounding makes the count one short at a few exact powers (10^6 and 10^9 in
/// radix 10, 3^5 in radix 3, ...), so do not size buffers with it.
TAVO_KERNEL_EXPORT int getDigitsCount(unsigned long value, int radix);
TAVO_KERNEL_EXPORT int getDigitsCount(int value, int radix);

/// @p value in @p radix, left-padded with "0" to @p width when that is
/// positive. Null for a radix below 2, or a positive width smaller than the
/// number of digits. The caller releases the buffer with delete[].
TAVO_KERNEL_EXPORT char* ulongToPChar(unsigned long value, int width, int radix);

/// Adds every byte, taken as signed, to @p sum; always true.
TAVO_KERNEL_EXPORT bool fixDataSum(int& sum, const char* data, int length);

/// Two upper-case hexadecimal digits per byte, then a zero byte;
/// @p out must hold 2 * length + 1 bytes.
TAVO_KERNEL_EXPORT void hexEncoding(const char* data, int length, char* out);
/// The same into @p out, which is cleared first unless @p append.
TAVO_KERNEL_EXPORT void hexEncoding(AsciiZ& in, AsciiZ& out, bool append);

/// Pairs of hexadecimal digits into bytes, then a zero byte; @p out must hold
/// length / 2 + 1 bytes. An odd length fails before writing; a non-digit fails
/// with the bytes decoded so far left in @p out, still terminated.
TAVO_KERNEL_EXPORT bool hexDecoding(const char* text, int length, char* out);
/// The same into @p out (cleared first unless @p append); a failure on a
/// non-digit leaves @p out empty.
TAVO_KERNEL_EXPORT bool hexDecoding(AsciiZ& in, AsciiZ& out, bool append);

/**
 * Hexadecimal dumps of at most @p maxLength bytes (all of them when it is 0 or
 * less). A separator above 0x1F stands between bytes.
 *
 * The AsciiZ forms append two digits per byte and mark a cut dump with "...";
 * the std::string form replaces @p out, writes each byte without a leading
 * zero and marks a cut dump with " ...".
 */
TAVO_KERNEL_EXPORT void hexDump(AsciiZ& in, AsciiZ& out, char separator, int maxLength);
TAVO_KERNEL_EXPORT void hexDump(const char* data, int length, AsciiZ& out, char separator,
                                int maxLength);
TAVO_KERNEL_EXPORT void hexDump(const char* data, int length, std::string& out, char separator,
                                int maxLength);

/// A-Z, a-z, 0-9 or "_".
TAVO_KERNEL_EXPORT bool isIdCharSet(unsigned char c);
/// A-Z, a-z or "_".
TAVO_KERNEL_EXPORT bool isIdFirstCharSet(unsigned char c);

/// Milliseconds from @p from to @p to; -1 when the seconds go backwards.
TAVO_KERNEL_EXPORT int subTimevalMs(const timeval& from, const timeval& to);

/// Each byte as two upper-case hexadecimal digits followed by @p separator,
/// the last byte included. Null for a null @p data or a negative length.
/// The caller releases the buffer with delete[].
TAVO_KERNEL_EXPORT char* binToPChar(const char* data, int length, char separator);

/// Copies @p n bytes; overlapping ranges are allowed.
TAVO_KERNEL_EXPORT void zcopy(void* to, const void* from, int n);
