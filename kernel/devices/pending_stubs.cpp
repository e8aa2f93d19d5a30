// Temporary placeholders so that the library links until the presentation
// and system message code is merged; each one answers a failure. Delete this
// file together with its line in CMakeLists.txt at that merge.

#include "devices/device_db.h"
#include "devices/paramlist.h"

void ParamCore::getReadValuePresentation(PresentationInfo*, QString* text, QStringList*) const
{
    if (text)
        text->clear();
}

void ParamCore::getReadValueNotStatisticalPresentationString(PresentationInfo*, QString& text) const
{
    text.clear();
}

void ParamCore::presentAsUint(PresentationInfo*, QString& text) const
{
    text.clear();
}

void ParamCore::presentAsInt(PresentationInfo*, QString& text) const
{
    text.clear();
}

void ParamCore::presentAsFloat(PresentationInfo*, QString& text) const
{
    text.clear();
}

void ParamCore::presentAsAsciiz(QString& text) const
{
    text.clear();
}

void ParamCore::presentAsByteArray(QString& text) const
{
    text.clear();
}

void ParamCore::presentAsFile(QString& text) const
{
    text.clear();
}

void ParamCore::getUintPresentationByRadix(unsigned int, int, QString& text) const
{
    text.clear();
}

void ParamCore::getWritePresentationString(QString& text, unsigned long, PresentationInfo*) const
{
    text.clear();
}

void ParamCore::getWritePresentationString(QString& text, const QByteArray&, const QString&) const
{
    text.clear();
}

bool DeviceDb::presentationStringToAsciizInsideForm(const QString&, QByteArray&)
{
    return false;
}

bool DeviceDb::presentationStringToByteArrayInsideForm(const QString&, QByteArray&)
{
    return false;
}

bool DeviceDb::presentationStringToUIntInsideForm(const QString&, unsigned long&)
{
    return false;
}

bool DeviceDb::presentationStringToIntInsideForm(const QString&, unsigned long&)
{
    return false;
}

bool DeviceDb::presentationStringToFloatInsideForm(const QString&, unsigned long&)
{
    return false;
}

int DeviceDb::systemDeviceMessageParsing(const QByteArray&)
{
    return 0;
}

int DeviceDb::protocolByKeyword(const QByteArray&)
{
    return -1;
}
