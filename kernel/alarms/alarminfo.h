#pragma once

#include "tavo_kernel_export.h"

#include <QMap>
#include <QString>
#include <QStringList>

class QHelpEngineCore;

/**
 * The short HTML text the client shows for the current alarm: its name and
 * the help pages that document it, taken from the help collection without
 * their navigation blocks so that several pages read as one.
 */
class TAVO_KERNEL_EXPORT AlarmInfo
{
public:
    /// Defined by the client; only NoAlarm (0) means something here.
    enum Alarms : int { NoAlarm = 0 };

    QString getCurrentAlarmInfo(const QHelpEngineCore* help) const;
    static QString removeNavHeaderAndFooter(const QString& page);

    QMap<Alarms, QString> alarmNames;
    QMap<Alarms, QStringList> alarmIds;
    Alarms currentAlarm = NoAlarm;
};
