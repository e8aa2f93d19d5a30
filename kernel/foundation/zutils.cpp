#include "foundation/zutils.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>

namespace {

const int initialCapacity = 256;
const char upperHex[] = "0123456789ABCDEF";

// Digit value for radixes up to 36, either letter case.
inline int digitValue36(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'Z') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 10;
    }
    return -1;
}

} // namespace

// ---------------------------------------------------------------------------
// AsciiZ

AsciiZ::AsciiZ()
    : m_data(new char[initialCapacity])
    , m_capacity(initialCapacity)
    , m_length(0)
{
    m_data[0] = '\0';
}

AsciiZ::AsciiZ(const char* s, int skip, int count)
    : AsciiZ()
{
    append(skip, count, s);
}

AsciiZ::AsciiZ(const AsciiZ& other, int from, int count)
    : AsciiZ()
{
    if (count <= 0 || from < 0 || from >= other.m_length) {
        return;
    }
    appendBytes(other.m_data + from, std::min(count, other.m_length - from));
}

AsciiZ::AsciiZ(const AsciiZ& other)
    : m_data(nullptr)
    , m_capacity(0)
    , m_length(0)
{
    if (other.m_data) {
        m_data = new char[other.m_capacity];
        m_capacity = other.m_capacity;
        m_length = other.m_length;
        std::memcpy(m_data, other.m_data, size_t(m_length) + 1);
    }
}

AsciiZ::AsciiZ(AsciiZ&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr))
    , m_capacity(std::exchange(other.m_capacity, 0))
    , m_length(std::exchange(other.m_length, 0))
{
}

AsciiZ& AsciiZ::operator=(const AsciiZ& other)
{
    if (this != &other) {
        AsciiZ copy(other);
        *this = std::move(copy);
    }
    return *this;
}

AsciiZ& AsciiZ::operator=(AsciiZ&& other) noexcept
{
    std::swap(m_data, other.m_data);
    std::swap(m_capacity, other.m_capacity);
    std::swap(m_length, other.m_length);
    return *this;
}

AsciiZ::~AsciiZ()
{
    delete[] m_data;
}

void AsciiZ::clear()
{
    m_length = 0;
    if (m_data) {
        m_data[0] = '\0';
    }
}

char* AsciiZ::reallocate(int newCapacity)
{
    char* fresh = new char[size_t(newCapacity)];
    int kept = 0;
    if (m_data) {
        const void* zero = std::memchr(m_data, 0, size_t(m_length));
        kept = zero ? int(static_cast<const char*>(zero) - m_data) : m_length;
        std::memcpy(fresh, m_data, size_t(kept));
    }
    fresh[kept] = '\0';
    char* retired = m_data;
    m_data = fresh;
    m_capacity = newCapacity;
    m_length = kept;
    return retired;
}

bool AsciiZ::makeRoom(int added, char*& retired)
{
    retired = nullptr;
    const int64_t need = int64_t(m_length) + added + 1;
    if (need <= m_capacity) {
        return true;
    }
    if (need > INT_MAX) {
        return false;
    }
    const int64_t grown = int64_t(m_capacity) + std::max(need - m_capacity, int64_t(m_capacity));
    retired = reallocate(int(std::min(grown, int64_t(INT_MAX))));
    return true;
}

bool AsciiZ::makeRoom(int added)
{
    char* retired = nullptr;
    const bool ok = makeRoom(added, retired);
    delete[] retired;
    return ok;
}

void AsciiZ::appendBytes(const char* s, int n)
{
    char* retired = nullptr;
    if (!makeRoom(n, retired)) {
        return;
    }
    // The source may lie in this very buffer, old or current.
    std::memmove(m_data + m_length, s, size_t(n));
    m_length += n;
    m_data[m_length] = '\0';
    delete[] retired;
}

void AsciiZ::append(const char* s, int n)
{
    if (!s) {
        return;
    }
    if (n < 0) {
        const size_t len = std::strlen(s);
        if (len > size_t(INT_MAX)) {
            return;
        }
        n = int(len);
    }
    if (n > 0) {
        appendBytes(s, n);
    }
}

void AsciiZ::append(const char& c)
{
    if (m_length + 2 <= m_capacity) {
        m_data[m_length++] = c;
        m_data[m_length] = '\0';
        return;
    }
    const char copy = c;
    appendBytes(&copy, 1);
}

void AsciiZ::append(int c)
{
    const char byte = char(c);
    append(byte);
}

void AsciiZ::append(int skip, int count, const char* s)
{
    if (!s) {
        return;
    }
    const char* p = s;
    for (int i = 0; i < skip && *p; ++i) {
        ++p;
    }
    int n = 0;
    if (count > 0) {
        while (n < count && p[n]) {
            ++n;
        }
    } else {
        const size_t len = std::strlen(p);
        if (len > size_t(INT_MAX)) {
            return;
        }
        n = int(len);
    }
    if (n > 0) {
        appendBytes(p, n);
    }
}

int AsciiZ::append(int value, int width, int radix)
{
    if (radix < 2 || radix > 36) {
        return -1;
    }
    const bool negative = value < 0;
    // Through unsigned arithmetic so that INT_MIN has a magnitude.
    unsigned int magnitude = negative ? 0u - unsigned(value) : unsigned(value);
    int digits = 1;
    if (magnitude != 0) {
        digits =
            int(std::log(double(magnitude)) / std::log(double(radix)) + 1.1920928955078125e-07) + 1;
    }
    char buf[40];
    for (int i = digits - 1; i >= 0; --i) {
        const unsigned int d = magnitude % unsigned(radix);
        buf[i] = d < 10 ? char('0' + d) : char('A' + d - 10);
        magnitude /= unsigned(radix);
    }
    const int pad = width > digits ? width - digits : 0;
    const int64_t wanted = int64_t(negative ? 1 : 0) + pad + digits;
    if (wanted > INT_MAX || !makeRoom(int(wanted))) {
        return -1;
    }
    const int total = int(wanted);
    if (negative) {
        m_data[m_length++] = '-';
    }
    std::memset(m_data + m_length, '0', size_t(pad));
    m_length += pad;
    std::memcpy(m_data + m_length, buf, size_t(digits));
    m_length += digits;
    m_data[m_length] = '\0';
    return total;
}

void AsciiZ::resize(int extra)
{
    if (extra <= 0 || int64_t(m_capacity) + extra > INT_MAX) {
        return;
    }
    delete[] reallocate(m_capacity + extra);
}

bool AsciiZ::operator==(const char* s) const
{
    const size_t len = s ? std::strlen(s) : 0;
    return len == size_t(m_length) && (len == 0 || std::memcmp(m_data, s, len) == 0);
}

unsigned long AsciiZ::toULong(int from, int& count, int radix) const
{
    const int limit = count;
    count = 0;
    if (radix < 2 || radix > 36 || from < 0 || from >= m_length) {
        return 0;
    }
    int end = m_length;
    if (limit > 0 && limit < m_length - from) {
        end = from + limit;
    }
    uint32_t value = 0;
    int i = from;
    for (; i < end; ++i) {
        const int d = digitValue36(m_data[i]);
        if (d < 0 || d >= radix) {
            break;
        }
        value = value * uint32_t(radix) + uint32_t(d);
    }
    count = i - from;
    return value;
}

// ---------------------------------------------------------------------------
// Numbers

unsigned long numImageToULong(const char* text, bool* ok)
{
    enum State { Start, AfterZero, Digits };
    bool good = false;
    uint32_t value = 0;
    if (text) {
        State state = Start;
        int radix = 10;
        int digits = 0;
        bool failed = false;
        for (const char* p = text; *p && !failed; ++p) {
            const char c = *p;
            if (c == ' ' || c == '\t' || c == '.') {
                continue;
            }
            switch (state) {
            case Start:
                if (c == '0') {
                    state = AfterZero;
                } else if (c >= '1' && c <= '9') {
                    value = uint32_t(c - '0');
                    digits = 1;
                    state = Digits;
                } else {
                    failed = true;
                }
                break;
            case AfterZero:
                state = Digits;
                if (c == 'x') {
                    radix = 16;
                    break;
                }
                if (c == 'b') {
                    radix = 2;
                    break;
                }
                // Anything else is already the first octal digit.
                radix = 8;
                [[fallthrough]];
            case Digits: {
                const int d = literalToInt(c, radix);
                if (d < 0) {
                    failed = true;
                } else {
                    value = value * uint32_t(radix) + uint32_t(d);
                    ++digits;
                }
                break;
            }
            }
        }
        good = !failed && (state == AfterZero || (state == Digits && digits > 0));
    }
    if (ok) {
        *ok = good;
    }
    return good ? value : 0;
}

int hexLiteralToInt(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

int literalToInt(char c, int radix)
{
    const int d = hexLiteralToInt(c);
    return d < radix ? d : -1;
}

char digitsToLiteral(int d)
{
    if (d >= 0 && d <= 9) {
        return char('0' + d);
    }
    if (d >= 10 && d <= 35) {
        return char('A' + d - 10);
    }
    return char(0xFF);
}

int getDigitsCount(unsigned long value, int radix)
{
    if (radix < 2) {
        return -1;
    }
    if (value == 0) {
        return 1;
    }
    return int(std::log(double(value)) / std::log(double(radix)) + 2.220446049250313e-16) + 1;
}

int getDigitsCount(int value, int radix)
{
    if (value >= 0) {
        return getDigitsCount(static_cast<unsigned long>(value), radix);
    }
    const int count = getDigitsCount(0ul - static_cast<unsigned long>(value), radix);
    return count < 0 ? count : count + 1;
}

char* ulongToPChar(unsigned long value, int width, int radix)
{
    if (radix < 2) {
        return nullptr;
    }
    // Counted by division: exact for every width of unsigned long.
    int digits = 1;
    for (unsigned long v = value / unsigned(radix); v != 0; v /= unsigned(radix)) {
        ++digits;
    }
    if (width > 0 && width < digits) {
        return nullptr;
    }
    const int size = width > 0 ? width : digits;
    char* out = new char[size_t(size) + 1];
    out[size] = '\0';
    int i = size - 1;
    do {
        out[i--] = digitsToLiteral(int(value % unsigned(radix)));
        value /= unsigned(radix);
    } while (value != 0);
    while (i >= 0) {
        out[i--] = '0';
    }
    return out;
}

bool fixDataSum(int& sum, const char* data, int length)
{
    if (!data) {
        return true;
    }
    // Unsigned arithmetic wraps where a signed sum would overflow.
    unsigned int total = unsigned(sum);
    for (int i = 0; i < length; ++i) {
        total += unsigned(int(static_cast<signed char>(data[i])));
    }
    sum = int(total);
    return true;
}

// ---------------------------------------------------------------------------
// Hexadecimal

void hexEncoding(const char* data, int length, char* out)
{
    if (!out) {
        return;
    }
    if (data) {
        for (int i = 0; i < length; ++i) {
            const unsigned char b = static_cast<unsigned char>(data[i]);
            *out++ = upperHex[b >> 4];
            *out++ = upperHex[b & 0x0F];
        }
    }
    *out = '\0';
}

void hexEncoding(AsciiZ& in, AsciiZ& out, bool append)
{
    if (&in == &out) {
        AsciiZ copy(in);
        hexEncoding(copy, out, append);
        return;
    }
    if (!append) {
        out.clear();
    }
    const char* data = in.data();
    const int length = in.size();
    for (int i = 0; i < length; ++i) {
        const unsigned char b = static_cast<unsigned char>(data[i]);
        out.append(upperHex[b >> 4]);
        out.append(upperHex[b & 0x0F]);
    }
}

bool hexDecoding(const char* text, int length, char* out)
{
    if (!text || !out || length < 0 || length % 2 != 0) {
        return false;
    }
    for (int i = 0; i < length; i += 2) {
        const int high = hexLiteralToInt(text[i]);
        const int low = hexLiteralToInt(text[i + 1]);
        if (high < 0 || low < 0) {
            *out = '\0';
            return false;
        }
        *out++ = char(high << 4 | low);
    }
    *out = '\0';
    return true;
}

bool hexDecoding(AsciiZ& in, AsciiZ& out, bool append)
{
    if (&in == &out) {
        AsciiZ copy(in);
        return hexDecoding(copy, out, append);
    }
    if (!append) {
        out.clear();
    }
    const int length = in.size();
    if (length % 2 != 0) {
        return false;
    }
    // Room for everything first, by the same rule as a growing append: a
    // growth in the middle would cut the output at a decoded zero byte.
    const int shortfall = out.size() + length / 2 + 1 - out.capacity();
    if (shortfall > 0) {
        out.resize(std::max(shortfall, out.capacity()));
    }
    const char* text = in.data();
    for (int i = 0; i < length; i += 2) {
        const int high = hexLiteralToInt(text[i]);
        const int low = hexLiteralToInt(text[i + 1]);
        if (high < 0 || low < 0) {
            out.clear();
            return false;
        }
        out.append(high << 4 | low);
    }
    return true;
}

void hexDump(AsciiZ& in, AsciiZ& out, char separator, int maxLength)
{
    if (&in == &out) {
        const AsciiZ copy(in);
        hexDump(copy.data(), copy.size(), out, separator, maxLength);
        return;
    }
    hexDump(in.data(), in.size(), out, separator, maxLength);
}

void hexDump(const char* data, int length, AsciiZ& out, char separator, int maxLength)
{
    if (!data || length <= 0) {
        return;
    }
    const bool cut = maxLength > 0 && maxLength < length;
    const int shown = cut ? maxLength : length;
    const bool separate = static_cast<unsigned char>(separator) > 0x1F;
    for (int i = 0; i < shown; ++i) {
        if (separate && i > 0) {
            out.append(separator);
        }
        const unsigned char b = static_cast<unsigned char>(data[i]);
        out.append(upperHex[b >> 4]);
        out.append(upperHex[b & 0x0F]);
    }
    if (cut) {
        out.append("...", 3);
    }
}

void hexDump(const char* data, int length, std::string& out, char separator, int maxLength)
{
    out.clear();
    if (!data || length <= 0) {
        return;
    }
    const bool cut = maxLength > 0 && maxLength < length;
    const int shown = cut ? maxLength : length;
    const bool separate = static_cast<unsigned char>(separator) > 0x1F;
    out.reserve(size_t(shown) * 3 + 4);
    for (int i = 0; i < shown; ++i) {
        if (separate && i > 0) {
            out += separator;
        }
        const unsigned char b = static_cast<unsigned char>(data[i]);
        if (b > 0x0F) {
            out += upperHex[b >> 4];
        }
        out += upperHex[b & 0x0F];
    }
    if (cut) {
        out += " ...";
    }
}

char* binToPChar(const char* data, int length, char separator)
{
    if (!data || length < 0) {
        return nullptr;
    }
    char* out = new char[size_t(length) * 3 + 1];
    char* p = out;
    for (int i = 0; i < length; ++i) {
        const unsigned char b = static_cast<unsigned char>(data[i]);
        *p++ = upperHex[b >> 4];
        *p++ = upperHex[b & 0x0F];
        *p++ = separator;
    }
    *p = '\0';
    return out;
}

// ---------------------------------------------------------------------------
// Miscellaneous

bool isIdCharSet(unsigned char c)
{
    return isIdFirstCharSet(c) || (c >= '0' && c <= '9');
}

bool isIdFirstCharSet(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

int subTimevalMs(const timeval& from, const timeval& to)
{
    const long long seconds = static_cast<long long>(to.tv_sec) - from.tv_sec;
    if (seconds < 0) {
        return -1;
    }
    const long long micros = static_cast<long long>(to.tv_usec) - from.tv_usec;
    return int(seconds * 1000 + micros / 1000);
}

void zcopy(void* to, const void* from, int n)
{
    if (to && from && n > 0) {
        std::memmove(to, from, size_t(n));
    }
}
