#include "foundation/safe_text.h"

namespace {

bool isControl(ushort c)
{
    return c < 0x20 || (c >= 0x7f && c <= 0x9f);
}

} // namespace

namespace utils {

QString escapeControlCharacters(const QString& text)
{
    int first = 0;
    while (first < text.size() && !isControl(text.at(first).unicode()))
        ++first;
    if (first == text.size())
        return text; // the usual case: shared, nothing copied

    static const char digits[] = "0123456789abcdef";
    QString escaped = text.left(first);
    escaped.reserve(text.size() + 16);
    for (int i = first; i < text.size(); ++i) {
        const ushort c = text.at(i).unicode();
        if (!isControl(c)) {
            escaped += text.at(i);
            continue;
        }
        switch (c) {
        case '\n':
            escaped += QLatin1String("\\n");
            break;
        case '\r':
            escaped += QLatin1String("\\r");
            break;
        case '\t':
            escaped += QLatin1String("\\t");
            break;
        default:
            escaped += QLatin1String("\\x");
            escaped += QLatin1Char(digits[(c >> 4) & 0xf]);
            escaped += QLatin1Char(digits[c & 0xf]);
        }
    }
    return escaped;
}

} // namespace utils
