#include "classes/class_db.h"

#include "classes/device_class.h"
#include "classes/sax_class_parser.h"
#include "foundation/app_shared.h"
#include "foundation/log_p.h"
#include "foundation/z4utils.h"

#include "foundation/resource_walk_p.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

ClassDb::ClassDb(QObject* parent)
    : QObject(parent)
{
    createSystemDeviceClass();
    loadDir(share::xmlClassesPath);
}

ClassDb::~ClassDb() = default;

bool ClassDb::appendDeviceClass(DeviceClass* deviceClass)
{
    if (deviceClasses.contains(deviceClass->name)) {
        tavolog::warning(tr("Device class '%1' already exists!").arg(deviceClass->name));
        return false;
    }
    deviceClasses.insert(deviceClass->name, deviceClass);
    deviceClassList.append(deviceClass);
    deviceClass->setParent(this);
    return true;
}

void ClassDb::createSystemDeviceClass()
{
    const QString serviceName = QStringLiteral("SERVICE");
    if (deviceClasses.contains(serviceName)) {
        tavolog::warning(
            tr("[ClassDb::] Can't create device class '%1', because class already exists.")
                .arg(serviceName));
        return;
    }

    auto* service = new DeviceClass(this);
    service->name = serviceName;
    deviceClasses.insert(serviceName, service);
    deviceClassList.append(service);

    auto* root = new ParamClass(service);
    root->name = QStringLiteral("root");
    root->humanName = tr("Administrator");
    root->info = tr("Parameter is used for system control.");
    root->type = Tavo::ASCIIZ;
    root->access = 3;
    service->appendParamClass(root);
}

void ClassDb::loadDir(const QString& path)
{
    if (path.isEmpty() || !QDir(path).exists()) {
        tavolog::error(tr("Directory '%1' is not exits").arg(path));
        return;
    }
    tavolog::message(
        tr("[ClassDb::loadDir()] Check directory '%1' for the device class database.").arg(path));

    tavoresources::forEachXmlFile(path, [this](const QString& file) { loadFromFile(file); });
}

bool ClassDb::loadFromFile(const QString& path)
{
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    return tavoresources::parseFile(
        path, [this](const QString& file) { return SaxClassParser(file, this); });
    QT_WARNING_POP
}

namespace {

// The conversion is a free function; its messages share the database's
// translation context.
QString convertMessage(const char* text)
{
    return QCoreApplication::translate("ClassDb", text);
}

void reportTargetNotPassed()
{
    tavolog::error(convertMessage(
        QT_TRANSLATE_NOOP("ClassDb", "[imageToNumericType()] Target variable is not passed")));
}

} // namespace

bool imageToParamType(const QString& text, Tavo::ParamType type, unsigned long* value,
                      QByteArray* bytes)
{
    if (text.isEmpty()) {
        tavolog::error(convertMessage(
            QT_TRANSLATE_NOOP("ClassDb", "[imageToNumericType()] empty string to convert")));
        return false;
    }

    bool ok = false;
    switch (type) {
    case Tavo::UINT: {
        if (!value) {
            reportTargetNotPassed();
            return false;
        }
        const uint number = text.toUInt(&ok, 0);
        if (!ok) {
            tavolog::error(
                convertMessage(
                    QT_TRANSLATE_NOOP(
                        "ClassDb",
                        "[imageToNumericType()] Expected unsigned integer value but '%1' found"))
                    .arg(text));
            return false;
        }
        *value = number;
        return true;
    }
    case Tavo::INT: {
        const int number = text.toInt(&ok, 0);
        if (!ok) {
            tavolog::error(
                convertMessage(
                    QT_TRANSLATE_NOOP(
                        "ClassDb", "[imageToNumericType()] Expected integer value but '%1' found"))
                    .arg(text));
            return false;
        }
        if (!value) {
            reportTargetNotPassed();
            return false;
        }
        *value = ulong_typecast_from_int(number);
        return true;
    }
    case Tavo::FLOAT: {
        const float number = text.toFloat(&ok);
        if (!ok) {
            tavolog::error(
                convertMessage(
                    QT_TRANSLATE_NOOP("ClassDb",
                                      "[imageToNumericType()] Expected float value but '%1' found"))
                    .arg(text));
            return false;
        }
        if (!value) {
            reportTargetNotPassed();
            return false;
        }
        *value = ulong_typecast_from_float(number);
        return true;
    }
    case Tavo::ASCIIZ:
    case Tavo::FILE:
        if (!bytes) {
            reportTargetNotPassed();
            return false;
        }
        *bytes = text.toLatin1();
        return true;
    case Tavo::BYTE_ARRAY: {
        if (!bytes) {
            reportTargetNotPassed();
            return false;
        }
        QByteArray decoded;
        if (!utils::byteArrayHexDecoding(text.toLatin1(), decoded, '.')) {
            tavolog::error(convertMessage(QT_TRANSLATE_NOOP(
                                              "ClassDb",
                                              "[imageToNumericType()] Expected hex-value string of "
                                              "the even-value size, but found '%1'"))
                               .arg(text));
            return false;
        }
        *bytes = decoded;
        return true;
    }
    }
    return true;
}

unsigned long ulong_typecast_from_int(int value)
{
    return Tavo::intToWord(value);
}

unsigned long ulong_typecast_from_float(float value)
{
    return Tavo::floatToWord(value);
}
