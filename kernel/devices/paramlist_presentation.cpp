// Parameter values as the client shows them. Nothing here logs: a value that
// cannot be shown is replaced by a fixed error text.

#include "devices/paramlist.h"
#include "foundation/app_shared.h"
#include "foundation/z4utils.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QStringList>

#include <cmath>

namespace {

QString translated(const char* text)
{
    return QCoreApplication::translate("ParamCore", text);
}

// Byte values of text parameters may carry a terminating zero and garbage
// behind it, as the host's buffer held them.
QString latin1UpToZero(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.constData(),
                               int(qstrnlen(bytes.constData(), uint(bytes.size()))));
}

QString hexPairs(const QByteArray& bytes)
{
    QByteArray out;
    utils::byteArrayHexEncoding(bytes, out, '.');
    return QString::fromLatin1(out);
}

const PresentationInfo defaultInfo;

} // namespace

void ParamCore::getUintPresentationByRadix(unsigned int value, int radix, QString& text) const
{
    switch (radix) {
    case 2: {
        text = QStringLiteral("0b %1").arg(value, 0, 2);
        // Groups of four bits from the right; the "0b " prefix is 3 long.
        for (int length = text.length(); length - 4 > 3; length -= 4)
            text.insert(length - 4, QLatin1Char('.'));
        break;
    }
    case 8:
        text = QStringLiteral("0%1").arg(value, 0, 8);
        break;
    case 10:
        text = QString::number(value);
        break;
    case 16:
        text = QStringLiteral("0x%1").arg(value, 0, 16);
        break;
    default:
        text = translated(QT_TRANSLATE_NOOP("ParamCore", "radix invalid"));
        break;
    }
}

void ParamCore::presentAsUint(PresentationInfo* info, QString& text) const
{
    const QString alias = getReadValueAlias();
    if (!alias.isEmpty()) {
        text = alias;
        return;
    }
    const PresentationInfo& pi = info ? *info : defaultInfo;
    if (!pi.scaled) {
        getUintPresentationByRadix(readValue, pi.radix, text);
        return;
    }
    const float scaled = pi.offset + pi.scale * float(readValue);
    text = QString::number(double(scaled), 'f', 6);
}

void ParamCore::presentAsInt(PresentationInfo* info, QString& text) const
{
    const QString alias = getReadValueAlias();
    if (!alias.isEmpty()) {
        text = alias;
        return;
    }
    const int value = getValueAsInt(readValue);
    if (!info || !info->scaled) {
        text = QString::number(value);
        return;
    }
    const float scaled = info->offset + info->scale * float(value);
    text = QString::number(double(scaled), 'f', 6);
}

void ParamCore::presentAsFloat(PresentationInfo* info, QString& text) const
{
    const QString alias = getReadValueAlias();
    if (!alias.isEmpty()) {
        text = alias;
        return;
    }
    float value = getValueAsFloat(readValue);
    if (info && info->scaled)
        value = info->offset + info->scale * value;
    text = QString::number(double(value), 'f', 6);
}

void ParamCore::presentAsAsciiz(QString& text) const
{
    text = latin1UpToZero(readBytes);
}

void ParamCore::presentAsByteArray(QString& text) const
{
    text = hexPairs(readBytes);
}

void ParamCore::presentAsFile(QString& text) const
{
    text = latin1UpToZero(readBytes);
    const QFileInfo file(share::makeUpFileName(text));
    if (!file.exists()) {
        text += translated(QT_TRANSLATE_NOOP("ParamCore", ": file not found"));
        return;
    }
    const QDateTime modified = file.lastModified();
    const QDate date = modified.date();
    const QTime time = modified.time();
    text += QStringLiteral(": %1B %2.%3.%4 %5:%6:%7")
                .arg(file.size())
                .arg(date.day())
                .arg(date.month())
                .arg(date.year())
                .arg(time.hour())
                .arg(time.minute())
                .arg(time.second());
}

void ParamCore::getReadValueNotStatisticalPresentationString(PresentationInfo* info,
                                                             QString& text) const
{
    switch (type) {
    case Tavo::UINT:
        presentAsUint(info, text);
        break;
    case Tavo::INT:
        presentAsInt(info, text);
        break;
    case Tavo::FLOAT:
        presentAsFloat(info, text);
        break;
    case Tavo::ASCIIZ:
        presentAsAsciiz(text);
        break;
    case Tavo::BYTE_ARRAY:
        presentAsByteArray(text);
        break;
    case Tavo::FILE:
        presentAsFile(text);
        break;
    default:
        text = QStringLiteral("[grvns] presentation error");
        break;
    }
}

void ParamCore::getReadValuePresentation(PresentationInfo* info, QString* text,
                                         QStringList* parts) const
{
    if (statisticCount <= 0) {
        if (text)
            getReadValueNotStatisticalPresentationString(info, *text);
        return;
    }

    const PresentationInfo& pi = info ? *info : defaultInfo;
    const double count = double(quint32(statisticCount));
    const double mean = double(statisticSum) / count;
    // Rounding may push the variance of a constant signal a hair below zero.
    const double deviation =
        std::sqrt(qMax(0.0, double(statisticSumOfSquares) / count - mean * mean));

    QString last, meanText, deviationText, minimumText, maximumText;
    if (!pi.scaled) {
        auto signedOrAlias = [this](quint32 value) {
            const QString alias = aliases.value(value);
            return alias.isEmpty() ? QString::number(getValueAsInt(value)) : alias;
        };
        last = QString::number(getValueAsInt(readValue));
        minimumText = signedOrAlias(statisticMinimum);
        maximumText = signedOrAlias(statisticMaximum);
        meanText = QString::number(mean, 'f', 1);
        deviationText = QString::number(deviation, 'f', 2);
    } else {
        const double scale = double(pi.scale);
        const double offset = double(pi.offset);
        auto scaled = [scale, offset](quint32 value) {
            return QString::number(double(value) * scale + offset, 'f', 1);
        };
        last = scaled(readValue);
        minimumText = scaled(statisticMinimum);
        maximumText = scaled(statisticMaximum);
        meanText = QString::number(mean * scale + offset, 'f', 1);
        deviationText = QString::number(deviation * scale, 'f', 2);
    }

    if (text) {
        *text = QStringLiteral("%1; %2 (%3); %4 - %5")
                    .arg(last, meanText, deviationText, minimumText, maximumText);
    }
    if (parts)
        *parts << last << meanText << deviationText << minimumText << maximumText;
}

void ParamCore::getWritePresentationString(QString& text, unsigned long value,
                                           PresentationInfo* info) const
{
    const quint32 word = quint32(value);
    bool scaled = info && info->scaled;
    // A value from a fixed list is shown as the list shows it: by its name,
    // or plainly, never scaled.
    if (!fixedValues.isEmpty()) {
        const QString alias = aliases.value(word);
        if (!alias.isEmpty()) {
            text = alias;
            return;
        }
        scaled = false;
    }

    if (!scaled) {
        switch (type) {
        case Tavo::UINT:
            getUintPresentationByRadix(word, info ? info->radix : 10, text);
            break;
        case Tavo::INT:
            text = QString::number(getValueAsInt(word));
            break;
        case Tavo::FLOAT:
            text = QString::number(double(getValueAsFloat(word)), 'g', 6);
            break;
        default:
            text = QStringLiteral("[gwps_2] presentation error");
            break;
        }
        return;
    }

    float x = 0.0f;
    switch (type) {
    case Tavo::UINT:
        x = float(word);
        break;
    case Tavo::INT:
        x = float(getValueAsInt(word));
        break;
    case Tavo::FLOAT:
        x = getValueAsFloat(word);
        break;
    default:
        text = QStringLiteral("[gwps_1] presentation error");
        return;
    }
    const float result = info->offset + info->scale * x;
    text = QString::number(double(result), 'g', 6);
}

void ParamCore::getWritePresentationString(QString& text, const QByteArray& bytes,
                                           const QString& companion) const
{
    switch (type) {
    case Tavo::UINT:
    case Tavo::INT:
    case Tavo::FLOAT:
        text = QStringLiteral("[gwps_1] presentation error");
        break;
    case Tavo::ASCIIZ:
    case Tavo::FILE:
        text = latin1UpToZero(bytes);
        break;
    case Tavo::BYTE_ARRAY:
        text = hexPairs(bytes);
        if (!companion.isEmpty())
            text += QStringLiteral("@%1").arg(companion);
        break;
    default:
        text = translated(QT_TRANSLATE_NOOP("ParamCore", "[gwps_2] presentation error"));
        break;
    }
}
