#pragma once

#include "alarms/alarm_action.h"
#include "foundation/tavo_global_namespace.h"
#include "tavo_kernel_export.h"

#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QXmlStreamReader>

/**
 * Reads the user's action list file into the reaction tables of the
 * parameter classes in share::classDb. Within one "new" element every event
 * is joined to the whole list of actions.
 */
class TAVO_KERNEL_EXPORT ActionListParser : public QXmlStreamReader
{
    Q_DECLARE_TR_FUNCTIONS(ActionListParser)

public:
    struct Event
    {
        Tavo::AlarmType state;
        QString deviceClass;
        QString paramClass;
    };

    ActionListParser();

    /// Where the per-user action list lives: the INI file that the settings
    /// store of organisation "tavo-client" gives to the application
    /// "tavo_action_list.xml".
    static QString actionListPath();

    void readFile();
    /// Reads @p path instead of the per-user file.
    void readFile(const QString& path);

    QList<Event> events;
    QList<AlarmAction> actions;

private:
    void readRootElement();
    void readNewElement();
    void readEventsOrElement();
    void readActionsAndElement();
    void readEventElement();
    void readActionElement();
    void skipUnknownElement();
    void storeGroup();
};
