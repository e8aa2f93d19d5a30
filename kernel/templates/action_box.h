#pragma once

#include "tavo_kernel_export.h"

#include <QList>
#include <QObject>
#include <QString>

class Action;
class DeviceDb;
class ParamCore;
class QTimer;

/**
 * Applies templates and profiles to the equipment. A template is written at
 * once to one device of a connected host; a profile runs over a list of
 * hosts, one after another: destroy devices, create devices, read what the
 * value conditions need, then write, each stage confirmed by the device
 * database or ended by a 5 s watchdog. A box that has run a profile deletes
 * itself.
 */
class TAVO_KERNEL_EXPORT ActionBox : public QObject
{
    Q_OBJECT

public:
    explicit ActionBox(QObject* parent);
    ~ActionBox() override;

    /// Starts or continues the profile over hostKeys.
    void evaluateProfile();
    /// True when every write was accepted; conditions are not evaluated.
    bool evaluateTemplate(QList<Action*>& actionList, int engineKey, const QString& deviceName);
    /// Writes @p actionList as a profile file; nothing when it cannot be opened.
    static void createTemplate(const QString& path, const QList<Action*>& actionList);

    /// "1-3,7" gives 1, 2, 3, 7; a piece with two dashes empties the list.
    static QList<int> splitTagCond(const QString& text);
    static bool checkDevTagCond(int tag, const QString& list);
    static bool checkDevTagCond(int tag, int btag, const QString& tagList, const QString& btagList);
    /// A pattern with "*" or "?" is a wildcard matched against the whole value.
    static bool checkPrmValueCond(const QString& value, const QString& pattern);

    static bool writeParam(DeviceDb* db, const QString& deviceName, const Action* action);
    /// Through the parameter class, its alias or its reference.
    static bool writeParam(DeviceDb* db, const Action* action);

    static QList<Action*> executableActionList(const QList<Action*>& list);
    static QList<Action*> cActionList(const QList<Action*>& list);
    static QList<Action*> dActionList(const QList<Action*>& list);
    static QList<Action*> prmValueActionList(const QList<Action*>& list);

    void funcDestroyDev(QList<Action*>& list, DeviceDb* db);
    void funcCreateDev(QList<Action*>& list, DeviceDb* db);
    void funcReadParam(QList<Action*>& list, DeviceDb* db);
    bool funcMain(QList<Action*>& list, DeviceDb* db);

    QList<Action*> actions;
    QList<int> hostKeys;
    qint32 stage = 0;
    qint32 pendingDeletions = 0;
    qint32 pendingCreations = 0;
    qint32 pendingReads = 0;
    qint32 hostIndex = 0;
    QTimer* timer;

Q_SIGNALS:
    void signalEvaluateProfileFinish();
    void signalCheckProfile(int iHostIndex, bool ok);

public Q_SLOTS:
    void deviceAppend(QString sClassName, int iTag, int iBaseTag);
    void deviceDelete(QString sDevName);
    void paramHasRead(int iParamIndex, int iDeviceIndex, int iEngineIndex, const ParamCore* pcore);
    void timeout();

private:
    void finishHost(bool ok);
    bool startStage(int next, QList<Action*> list, DeviceDb* db);

    Q_DISABLE_COPY(ActionBox)
};
