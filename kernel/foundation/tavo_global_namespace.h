#pragma once

#include "tavo_kernel_export.h"

#include <QObject>
#include <QtGlobal>
#include <cstring>

/**
 * The enumerations that the whole system speaks in: alarm severities,
 * parameter value types and the protocols through which devices are reached.
 */
namespace Tavo {
Q_NAMESPACE_EXPORT(TAVO_KERNEL_EXPORT)

/// Alarm severity; a lower value is more severe, NORM means no alarm.
enum AlarmType : qint32 {
    NORM = -1,
    EMERG = 0,
    ALERT = 1,
    CRIT = 2,
    ERR = 3,
    WARNING = 4,
    NOTICE = 5,
    INFO = 6,
    DEBUG = 7
};
Q_ENUM_NS(AlarmType)

/// Value type of a parameter. The three numeric types share one unsigned
/// 32-bit word; INT and FLOAT are kept there as their bit patterns.
enum ParamType : qint32 { UINT = 0, INT = 1, FLOAT = 2, ASCIIZ = 3, BYTE_ARRAY = 4, FILE = 5 };
Q_ENUM_NS(ParamType)

/// Protocol through which a device is reached.
enum ProtocolType : qint32 {
    NoProtocol = 0,
    NativeProtocol = 1,
    JsonProtocol = 2,
    SnmpProtocol = 3
};
Q_ENUM_NS(ProtocolType)

/// Bit copies between the value word and the signed and floating views of it.
inline quint32 intToWord(qint32 value)
{
    quint32 word;
    static_assert(sizeof(word) == sizeof(value), "value word is 32 bits");
    memcpy(&word, &value, sizeof(word));
    return word;
}

inline qint32 wordToInt(quint32 word)
{
    qint32 value;
    memcpy(&value, &word, sizeof(value));
    return value;
}

inline quint32 floatToWord(float value)
{
    quint32 word;
    static_assert(sizeof(word) == sizeof(value), "value word is 32 bits");
    memcpy(&word, &value, sizeof(word));
    return word;
}

inline float wordToFloat(quint32 word)
{
    float value;
    memcpy(&value, &word, sizeof(value));
    return value;
}

} // namespace Tavo
