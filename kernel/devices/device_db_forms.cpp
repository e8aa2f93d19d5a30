// Text typed into a form field, turned into the word or bytes to write.

#include "devices/device_db.h"
#include "foundation/log_p.h"
#include "foundation/z4utils.h"

bool DeviceDb::presentationStringToAsciizInsideForm(const QString& text, QByteArray& bytes)
{
    bytes = text.toLatin1();
    return true;
}

bool DeviceDb::presentationStringToByteArrayInsideForm(const QString& text, QByteArray& bytes)
{
    bytes.clear();
    return utils::byteArrayHexDecoding(text.toLatin1(), bytes, '.');
}

bool DeviceDb::presentationStringToUIntInsideForm(const QString& text, unsigned long& value)
{
    // Forms take plain decimal digits only: a sign would wrap silently.
    bool ok = !text.contains(QLatin1Char('+')) && !text.contains(QLatin1Char('-'));
    const uint number = ok ? text.toUInt(&ok, 10) : 0;
    if (!ok) {
        tavolog::error(tr("String '%1' is not unsigned long value: ").arg(text));
        value = 0;
        return false;
    }
    value = number;
    return true;
}

bool DeviceDb::presentationStringToIntInsideForm(const QString& text, unsigned long& value)
{
    bool ok = false;
    const int number = text.toInt(&ok, 10);
    if (!ok) {
        tavolog::error(tr("String '%1' is not integer value: ").arg(text));
        return false;
    }
    value = Tavo::intToWord(number);
    return true;
}

bool DeviceDb::presentationStringToFloatInsideForm(const QString& text, unsigned long& value)
{
    bool ok = false;
    const float number = text.toFloat(&ok);
    if (!ok) {
        tavolog::error(tr("String '%1' is not float value: ").arg(text));
        return false;
    }
    value = Tavo::floatToWord(number);
    return true;
}
