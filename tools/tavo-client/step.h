#pragma once

#include <QMetaType>
#include <QString>

/// One line of what an operation did: a write of a template, a host of a
/// profile, a file of an archive. The text is already safe to show.
struct Step
{
    enum Outcome { Done, Failed, Skipped };

    QString text;
    Outcome outcome = Done;
};

Q_DECLARE_METATYPE(Step)
