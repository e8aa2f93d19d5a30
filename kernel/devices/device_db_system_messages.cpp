// The host's system device messages: "[protocol:]Class+TagPair[,code or text]"
// creates a device, "Class-TagPair" removes it.

#include "classes/class_db.h"
#include "devices/device_db.h"
#include "devices/paramlist.h"
#include "foundation/app_shared.h"
#include "foundation/log_p.h"
#include "foundation/z4utils.h"

namespace {

bool isLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

QString shown(const QByteArray& message, int maxLength)
{
    return utils::byteArrayToString(message, true, maxLength);
}

// The offending byte as itself when it prints, else as two hex digits.
QString shownByte(char c)
{
    const uchar u = uchar(c);
    if (u >= 0x21 && u < 0x80)
        return QString(QLatin1Char(c));
    return QStringLiteral("%1").arg(uint(u), 2, 16, QLatin1Char('0')).toUpper();
}

} // namespace

int DeviceDb::protocolByKeyword(const QByteArray& keyword)
{
    if (keyword == "snmp")
        return Tavo::SnmpProtocol;
    if (keyword == "daz-arud")
        return Tavo::JsonProtocol;
    if (keyword == "tavo" || keyword == "native")
        return Tavo::NativeProtocol;
    return -1;
}

int DeviceDb::systemDeviceMessageParsing(const QByteArray& message)
{
    if (message.isEmpty()) {
        if (tavolog::wants(systemLogGroup))
            tavolog::debug(systemLogGroup, tr("SystemDevice::...Parsing(): message is empty."));
        return 0;
    }

    int protocol = -1; // unset
    bool removing = false;
    quint32 tagPair = 0;
    qint64 deviceCode = -1;
    QByteArray identifier;
    QByteArray text;
    // Class names and protocol texts are short: one allocation covers each.
    identifier.reserve(32);
    int state = 0;

    auto unexpected = [&](char c) {
        tavolog::error(tr("SystemDevice::...Parsing(): unexpected char '%1' in message '%2'.")
                           .arg(shownByte(c), shown(message, state == 0 ? 50 : 200)));
        return 0;
    };

    for (const char c : message) {
        switch (state) {
        case 0:
            if (!isLetter(c))
                return unexpected(c);
            identifier.append(c);
            state = 1;
            break;
        case 1:
            if (isLetter(c) || isDigit(c)) {
                identifier.append(c);
            } else if (c == '+' || c == '-') {
                removing = c == '-';
                state = 2;
            } else if (c == ':') {
                if (protocol != -1) {
                    tavolog::error(
                        tr("SystemDevice::...Parsing(): redefining protocol in message '%1'.")
                            .arg(shown(message, 200)));
                    return 0;
                }
                protocol = protocolByKeyword(identifier);
                if (protocol < 0) {
                    tavolog::error(tr("SystemDevice::...Parsing(): Unknown protocol in message "
                                      "'%1'. Use 'tavo', '")
                                       .arg(shown(message, 200)));
                    return 0;
                }
                identifier.clear();
                state = 0;
            } else {
                return unexpected(c);
            }
            break;
        case 2:
            if (hexValue(c) < 0)
                return unexpected(c);
            tagPair = quint32(hexValue(c));
            state = 3;
            break;
        case 3:
            if (hexValue(c) >= 0) {
                // Only the low 16 bits are ever used; keep the sum from overflowing.
                tagPair = ((tagPair << 4) | quint32(hexValue(c))) & 0xFFFFFFu;
            } else if (c == ',' && !removing) {
                if (protocol == -1)
                    protocol = Tavo::NativeProtocol;
                state = protocol == Tavo::NativeProtocol ? 4 : 6;
                if (state == 6)
                    text.reserve(32);
            } else {
                return unexpected(c);
            }
            break;
        case 4:
            if (hexValue(c) < 0)
                return unexpected(c);
            deviceCode = hexValue(c);
            state = 5;
            break;
        case 5:
            if (hexValue(c) < 0)
                return unexpected(c);
            deviceCode = deviceCode * 16 + hexValue(c);
            if (deviceCode > 0x7FFFFFFF) // no device code reaches this
                return unexpected(c);
            break;
        case 6:
            if (c == ' ') {
                if (!text.isEmpty())
                    state = 7;
            } else {
                text.append(c);
            }
            break;
        default: // 7: the text is closed
            break;
        }
    }

    if (state != 3 && state != 5 && state != 6) {
        if (tavolog::wants(systemLogGroup))
            tavolog::debug(systemLogGroup,
                           tr("SystemDevice::...Parsing(): unexpected end of message '%2'.")
                               .arg(shown(message, 200)));
        return 0;
    }

    const int tag = int(tagPair % 256);
    const int baseTag = int((tagPair / 256) % 256);
    const QString className = QString::fromLatin1(identifier);

    if (removing) {
        Device* device = findDevice(className, tag, baseTag);
        if (!device)
            return 0;
        removeDevice(device->DbEntity::name);
        return 2;
    }

    if (tavolog::wants(systemLogGroup)) {
        tavolog::debug(systemLogGroup,
                       tr("SystemDevice::...Parsing(): create device sClassName = %1 tag =%2 "
                          "baseTag = %3 devCode = %4")
                           .arg(className)
                           .arg(tag)
                           .arg(baseTag)
                           .arg(deviceCode));
    }
    Device* created =
        addDevice(className, tag, baseTag, int(deviceCode),
                  Tavo::ProtocolType(protocol < 0 ? 0 : protocol), QString::fromLatin1(text));
    if (created)
        return 1;
    // addDevice explains every refusal except an unknown class; a host that
    // announces a class missing from the class files is worth telling.
    if (!share::classDb || !share::classDb->deviceClasses.contains(className)) {
        QString name;
        makeUpDeviceName(name, className, tag, baseTag);
        tavolog::error(tr("SystemDevice::...Parsing(): can't create device '%1' of class '%2' "
                          "from message '%3'.")
                           .arg(name, className, shown(message, 200)));
    }
    return 0;
}
