#include "foundation/z4utils.h"

#include "foundation/zutils.h"

#include <cstring>

namespace {

const char upperHex[] = "0123456789ABCDEF";
const char lowerHex[] = "0123456789abcdef";

// Every shown byte takes at most three characters; the tail is " ...",
// " (", at most ten digits and ")".
int dumpCapacity(int shown)
{
    return shown * 3 + 17;
}

// Writes into a QString sized beforehand.
struct QCharSink
{
    QChar* p;
    void put(char c) { *p++ = QLatin1Char(c); }
    void put(const char* s, int n)
    {
        for (int i = 0; i < n; ++i) {
            *p++ = QLatin1Char(s[i]);
        }
    }
};

struct AsciiZSink
{
    AsciiZ& out;
    void put(char c) { out.append(c); }
    void put(const char* s, int n) { out.append(s, n); }
};

int shownBytes(const char* data, int& length, int maxLength)
{
    if (!data || length < 0) {
        length = 0;
    }
    return maxLength >= 1 && maxLength <= length ? maxLength : length;
}

template<typename Sink>
void writeDump(Sink& sink, const char* data, int length, int shown, bool printable,
               const char* digits)
{
    for (int i = 0; i < shown; ++i) {
        const unsigned char b = static_cast<unsigned char>(data[i]);
        if (printable && b >= 0x21 && b < 0x80) {
            sink.put(char(b));
        } else {
            sink.put(digits[b >> 4]);
            sink.put(digits[b & 0x0F]);
        }
        sink.put('.');
    }
    if (shown < length) {
        sink.put(" ...", 4);
    }
    sink.put(" (", 2);
    char number[12];
    int n = 0;
    unsigned int rest = unsigned(length);
    do {
        number[sizeof number - 1 - n++] = char('0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    sink.put(number + sizeof number - n, n);
    sink.put(')');
}

QString dumpToString(const char* data, int length, bool printable, int maxLength,
                     const char* digits)
{
    const int shown = shownBytes(data, length, maxLength);
    QString result(dumpCapacity(shown), Qt::Uninitialized);
    QChar* begin = result.data();
    QCharSink sink {begin};
    writeDump(sink, data, length, shown, printable, digits);
    result.resize(int(sink.p - begin));
    return result;
}

inline bool isBlank(QChar c)
{
    const ushort u = c.unicode();
    return u == ' ' || u == '\t' || u == '\r' || u == '\n';
}

QLatin1String tagReplacement(const QStringRef& tag)
{
    if (tag == QLatin1String("br")) {
        return QLatin1String("<br>");
    }
    if (tag == QLatin1String("b")) {
        return QLatin1String("<b>");
    }
    if (tag == QLatin1String("i")) {
        return QLatin1String("<i>");
    }
    if (tag == QLatin1String("u")) {
        return QLatin1String("<u>");
    }
    if (tag == QLatin1String("/b")) {
        return QLatin1String("</b>");
    }
    if (tag == QLatin1String("/i")) {
        return QLatin1String("</i>");
    }
    if (tag == QLatin1String("/u")) {
        return QLatin1String("</u>");
    }
    return QLatin1String();
}

} // namespace

namespace utils {

QString byteArrayToString(const QByteArray& bytes, bool printable, int maxLength)
{
    return dumpToString(bytes.constData(), bytes.size(), printable, maxLength, upperHex);
}

AsciiZ* pcharToAsciiZ(const char* data, int length, bool printable, int maxLength)
{
    const int shown = shownBytes(data, length, maxLength);
    auto* result = new AsciiZ;
    const int room = dumpCapacity(shown) + 1 - result->capacity();
    if (room > 0) {
        result->resize(room);
    }
    AsciiZSink sink {*result};
    writeDump(sink, data, length, shown, printable, upperHex);
    return result;
}

QString pcharToString(const char* data, int length, bool printable, int maxLength)
{
    return dumpToString(data, length, printable, maxLength, lowerHex);
}

char* byteArrayHexEncoding_ch(const QByteArray& bytes, char separator)
{
    const int n = bytes.size();
    if (n == 0) {
        return nullptr;
    }
    const bool separate = separator != '\0';
    char* out = new char[size_t(n) * 2 + 1 + (separate ? size_t(n) - 1 : 0)];
    char* p = out;
    const char* data = bytes.constData();
    for (int i = 0; i < n; ++i) {
        if (separate && i > 0) {
            *p++ = separator;
        }
        const unsigned char b = static_cast<unsigned char>(data[i]);
        *p++ = upperHex[b >> 4];
        *p++ = upperHex[b & 0x0F];
    }
    *p = '\0';
    return out;
}

void byteArrayHexEncoding(const QByteArray& bytes, QByteArray& out, char separator)
{
    const int n = bytes.size();
    if (n == 0) {
        return;
    }
    const bool separate = separator != '\0';
    const int old = out.size();
    out.resize(old + n * 2 + (separate ? n - 1 : 0));
    char* p = out.data() + old;
    const char* data = bytes.constData();
    for (int i = 0; i < n; ++i) {
        if (separate && i > 0) {
            *p++ = separator;
        }
        const unsigned char b = static_cast<unsigned char>(data[i]);
        *p++ = upperHex[b >> 4];
        *p++ = upperHex[b & 0x0F];
    }
}

bool byteArrayHexDecoding(const QByteArray& text, QByteArray& out, char separator)
{
    const int old = out.size();
    out.resize(old + text.size() / 2);
    char* const begin = out.data() + old;
    char* p = begin;
    const char* s = text.constData();
    const int n = text.size();
    int high = -1;
    bool ok = true;
    for (int i = 0; i < n; ++i) {
        if (separator != '\0' && s[i] == separator) {
            continue;
        }
        const int d = hexLiteralToInt(s[i]);
        if (d < 0) {
            ok = false;
            break;
        }
        if (high < 0) {
            high = d;
        } else {
            *p++ = char(high << 4 | d);
            high = -1;
        }
    }
    out.resize(old + int(p - begin));
    return ok && high < 0;
}

QString fullTrimmed(const QString& text)
{
    QString result;
    result.reserve(text.size());
    bool gap = false;
    for (const QChar c : text) {
        if (isBlank(c)) {
            gap = !result.isEmpty();
            continue;
        }
        if (gap) {
            result += QLatin1Char(' ');
            gap = false;
        }
        result += c;
    }
    return result;
}

QString wikiHandling(const QString& text)
{
    enum State { Normal, Escape, Tag };
    QString result;
    result.reserve(text.size() + text.size() / 4);
    State state = Normal;
    int tagStart = 0;
    const int n = text.size();
    for (int i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        switch (state) {
        case Normal:
            if (c == QLatin1Char('\\')) {
                state = Escape;
            } else if (c == QLatin1Char('[')) {
                state = Tag;
                tagStart = i + 1;
            } else {
                result += c;
            }
            break;
        case Escape:
            if (c != QLatin1Char('[')) {
                result += QLatin1Char('\\');
            }
            result += c;
            state = Normal;
            break;
        case Tag:
            if (c == QLatin1Char(']')) {
                const QStringRef tag = text.midRef(tagStart, i - tagStart);
                const QLatin1String replacement = tagReplacement(tag);
                if (replacement.data()) {
                    result += replacement;
                } else {
                    result += QStringLiteral("[%1]").arg(tag);
                }
                state = Normal;
            }
            break;
        }
    }
    return result;
}

bool dotStringToIntList(const QString& text, QVector<int>& out)
{
    // Unsigned, because the components are taken without an overflow check.
    unsigned int value = 0;
    int digits = 0;
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if (u >= '0' && u <= '9') {
            value = value * 10u + unsigned(u - '0');
            ++digits;
        } else if (u == '.' && digits > 0) {
            out.append(int(value));
            value = 0;
            digits = 0;
        } else {
            return false;
        }
    }
    if (digits == 0) {
        return false;
    }
    out.append(int(value));
    return true;
}

QString intListToOidString(const QVector<int>& list, int count)
{
    const int n = count < 1 || count > list.size() ? list.size() : count;
    QString result;
    result.reserve(n * 4);
    for (int i = 0; i < n; ++i) {
        if (i > 0) {
            result += QLatin1Char('.');
        }
        result += QString::number(list.at(i));
    }
    return result;
}

} // namespace utils
