#pragma once

#include "classes/device_class.h"

#include <QMetaEnum>
#include <QStringList>

/// A parameter class as one line: name, type/BER tag, access ("x": executable),
/// then only the fields that differ from a fresh ParamClass, so that one
/// expected text states a whole class and any stray field shows. Value words
/// (default, variants) are in hex, as their bit patterns; limits in decimal.
inline QString describe(const ParamClass* p)
{
    if (!p)
        return QStringLiteral("<none>");
    const auto hex = [](quint32 word) {
        return QString::number(word, 16);
    };
    QStringList fields {
        p->name,
        QStringLiteral("%1/%2")
            .arg(QMetaEnum::fromType<Tavo::ParamType>().valueToKey(p->type))
            .arg(p->snmpType),
        QStringLiteral("access=%1%2").arg(p->access).arg(p->isExecutable ? "x" : "")};
    const auto add = [&](bool present, const QString& field) {
        if (present)
            fields << field;
    };
    QStringList variants, args;
    for (quint32 word : p->variants) {
        const auto name = p->variantNames.find(word);
        variants << hex(word) + (name == p->variantNames.end() ? QString() : ':' + *name);
    }
    for (auto it = p->args.cbegin(); it != p->args.cend(); ++it)
        args << it.key() + '=' + it.value();
    add(p->dim != 1, QStringLiteral("dim=%1").arg(p->dim));
    add(p->bit != -1, QStringLiteral("bit=%1").arg(p->bit));
    add(!p->basename.isEmpty(), "base=" + p->basename);
    add(!p->humanName.isEmpty(), "human=" + p->humanName);
    add(!p->info.isEmpty(), "info=" + p->info);
    add(p->hasDefValue, "def=" + hex(p->defValue));
    add(!p->defBytes.isEmpty(),
        "bytes=" +
            QString::fromLatin1(p->type == Tavo::BYTE_ARRAY ? p->defBytes.toHex('.')
                                                            : p->defBytes));
    add(p->hasMinValue, QStringLiteral("min=%1").arg(p->minValue));
    add(p->hasMaxValue, QStringLiteral("max=%1").arg(p->maxValue));
    add(p->step != 1, QStringLiteral("step=%1").arg(p->step));
    add(!variants.isEmpty(), "variants=" + variants.join(','));
    add(!p->oid.isEmpty(), "oid=" + p->oid);
    add(!p->alarmScript.isEmpty(), "alarm=" + p->alarmScript);
    add(p->isVirtual,
        QStringLiteral("virtual%1(%2){%3}")
            .arg(p->isPredefined ? "*" : "", args.join(','), p->script));
    add(p->isAlias, QStringLiteral("alias"));
    add(p->isReference, QStringLiteral("ref=%1.%2").arg(p->targetClass, p->targetParam));
    return fields.join(' ');
}

/// Every parameter class of @p deviceClass in list order, as describe() has them.
inline QStringList describe(const DeviceClass* deviceClass)
{
    QStringList params;
    for (const ParamClass* p : deviceClass->paramClassList)
        params << describe(p);
    return params;
}
