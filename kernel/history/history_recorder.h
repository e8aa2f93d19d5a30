#pragma once

#include "history/history_record.h"
#include "tavo_kernel_export.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVector>

class AlarmMonitor;
class Device;
class Engine;
class EngineBox;
class FlapDamper;
class HistoryStore;
class Param;
class ParamCore;

/**
 * Feeds a HistoryStore from a running kernel: alarm state changes, every
 * write the client queues, connections and disconnections of hosts, and the
 * reactions performed. It only listens; nothing it watches behaves
 * differently for it.
 */
class TAVO_KERNEL_EXPORT HistoryRecorder : public QObject
{
    Q_OBJECT

public:
    /// @p store is borrowed; records are dropped once it is gone.
    explicit HistoryRecorder(HistoryStore* store, QObject* parent = nullptr);
    ~HistoryRecorder() override;

    /// State changes, and the terminals its event monitor opens.
    void watch(AlarmMonitor* monitor);
    /// Connections and writes of every engine, those made later included,
    /// and of every device, those appended later included.
    void watch(EngineBox* box);

    /// Changes the damper held back and the flapping it saw.
    void watch(FlapDamper* damper);

    /// The user named in the write records from now on.
    void setUser(const QString& user);
    QString user() const { return m_user; }

    /**
     * Records one reaction, e.g. ("email", address) from the client's
     * AlarmNotifier. The text recorded is "<kind>: <detail>", or the kind
     * alone. Without @p param, a reaction made while the event monitor
     * handles a state change is attributed to that change's host, device
     * and parameter.
     */
    void recordReaction(const QString& kind, const QString& detail, const Param* param = nullptr,
                        int state = -1);

    /// Keeps @p value of @p param, read at @p timeMs, for its trend (a Value
    /// record, the number in the C locale); false when @p param has no host.
    bool recordValue(const Param* param, qint64 timeMs, double value);

private Q_SLOTS:
    void slotStateChanged(const Param* param, int newState, int oldState);
    void slotOpenTerminal(QList<int> keys);
    void slotChangeSuppressed(const Param* param, int state, int oldState);
    void slotFlappingStarted(const Param* param);
    void slotEngineAppended(int iNodeAttrKey);
    void slotSocketConnected(int iNodeAttrKey);
    void slotSocketDisconnected(int iNodeAttrKey);
    void slotDeviceAppended(QString sClassName, int iTag, int iBaseTag);
    void slotAboutToParamWrite(int iParamIndex, int iDeviceIndex, int iEngineIndex,
                               const ParamCore* pcore);

private:
    void watchEngine(Engine* engine);
    void watchDevice(Device* device);
    void recordConnection(HistoryRecord::Kind kind, int key);
    /// False when there is no store or the parameter has no host; @p recorded
    /// gets the record written.
    bool recordParamEvent(HistoryRecord::Kind kind, const Param* param, int state, int oldState,
                          HistoryRecord* recorded = nullptr, qint64 timeMs = -1,
                          const QString& text = QString());
    void recordPendingReactions();

    QPointer<HistoryStore> m_store;
    /// The last registry watched: terminals name their hosts by key only.
    QPointer<EngineBox> m_box;
    QString m_user;
    /// Reactions waiting for the state change that caused them.
    QVector<HistoryRecord> m_pendingReactions;
    bool m_pendingScheduled = false;

    Q_DISABLE_COPY(HistoryRecorder)
};
