#pragma once

#include "templates/sax_template_parser.h"

#include <QStringList>

/// Every field of every action, to compare lists whole: device class ("-": none),
/// parameter name, type, value and execution, then any condition.
inline QStringList describe(const QList<Action*>& actions)
{
    QStringList lines;
    for (const Action* action : actions) {
        QString line = action->device ? action->device->className : QStringLiteral("-");
        if (const ParamHelper* p = action->param)
            line += QStringLiteral(" %1 %2 '%3' %4")
                        .arg(p->name)
                        .arg(p->type)
                        .arg(p->value)
                        .arg(p->execute);
        if (const ConditionHelper* c = action->condition)
            line += QStringLiteral(" if %1 %2 %3 %4 %5")
                        .arg(c->type)
                        .arg(c->btag, c->tag, c->name, c->value);
        lines << line;
    }
    return lines;
}
