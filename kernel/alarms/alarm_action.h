#pragma once

#include "tavo_kernel_export.h"

#include <QString>

/**
 * One configured reaction to an alarm state change: open a terminal, list a
 * sound, or hand a notice to the e-mail or SMS sender. A plain value type;
 * parameter classes keep lists of them per alarm state.
 */
class TAVO_KERNEL_EXPORT AlarmAction
{
public:
    enum Type { Terminal = 0, Sound = 1, Email = 2, Sms = 3 };

    AlarmAction() = default;
    AlarmAction(Type type, const QString& address, const QString& text)
        : type(type)
        , address(address)
        , text(text)
    {
    }

    bool operator==(const AlarmAction& other) const
    {
        return type == other.type && address == other.address && text == other.text;
    }
    bool operator!=(const AlarmAction& other) const { return !(*this == other); }

    Type type = Terminal;
    /// E-mail address or telephone number; empty for the other kinds.
    QString address;
    /// Message text of an e-mail or SMS; empty for the other kinds.
    QString text;
};
