#pragma once

#include "history/damping_rules.h"
#include "tavo_kernel_export.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QVector>

#include <functional>
#include <vector>

class AlarmMonitor;
class EventMonitor;
class Param;

/**
 * Keeps short alarm excursions and flapping parameters from running the
 * user's reactions over and over. Installed between an alarm monitor and its
 * event monitor, it passes a state change on only once the state has lasted
 * its hold time, and turns a burst of changes into one flapping event.
 *
 * With no rules the damper never installs itself, so the alarm monitor and
 * its event monitor stay connected exactly as they were.
 */
class TAVO_KERNEL_EXPORT FlapDamper : public QObject
{
    Q_OBJECT

public:
    /// Milliseconds on any monotonic scale.
    using Clock = std::function<qint64()>;

    explicit FlapDamper(const DampingRules& rules, QObject* parent = nullptr);
    /// Gives the monitor back its direct connection.
    ~FlapDamper() override;

    /// Reads the per-user rules and, when there are any, installs a damper
    /// owned by @p monitor. Null when there is nothing to damp or the
    /// damper could not be installed.
    static FlapDamper* installFromUserFile(AlarmMonitor* monitor);

    /// Routes @p monitor's state changes to its event monitor through this
    /// damper. False, changing nothing, when there are no rules or the
    /// monitor's reactions are not directly connected to it (another damper
    /// is installed, or the client rewired them).
    bool install(AlarmMonitor* monitor);
    /// Restores the direct connection; states still waiting are dropped.
    void uninstall();
    bool isInstalled() const { return !m_monitor.isNull(); }

    const DampingRules& rules() const { return m_rules; }

    /// Tests drive time through this; null restores the monotonic clock.
    void setClock(Clock clock);

    bool isFlapping(const Param* param) const;

Q_SIGNALS:
    /// @p state, entered from @p oldState, did not run its reactions: it
    /// gave way before its hold time, or the parameter was flapping.
    void changeSuppressed(const Param* param, int state, int oldState);
    void flappingStarted(const Param* param);
    /// @p state is the one the parameter has settled in.
    void flappingStopped(const Param* param, int state);

public Q_SLOTS:
    /// Takes the alarm monitor's paramStateChanged.
    void stateChanged(const Param* param, int newState, int oldState);
    /// Runs what has fallen due by the clock. The damper's timer calls it;
    /// tests call it after moving their clock.
    void process();

private:
    struct Change
    {
        qint64 at;
        int state;
    };

    struct Track
    {
        /// Holds by state -1 to 7, then for any other state.
        qint64 holdMs[10] = {};
        int flapChanges = 0;
        qint64 windowMs = 0;
        /// The last state whose reactions ran; -2 before any did.
        int acted = -2;
        int current = -2;
        bool pending = false;
        int pendingState = 0;
        int pendingOld = 0;
        qint64 pendingDue = 0;
        bool flapping = false;
        qint64 lastChange = 0;
        bool waiting = false;
        /// The latest flapChanges + 1 changes, oldest at ringHead once full.
        std::vector<Change> ring;
        int ringHead = 0;
        int ringSize = 0;

        qint64 holdFor(int state) const
        {
            return state >= -1 && state <= 7 ? holdMs[state + 1] : holdMs[9];
        }
        qint64 due() const;
    };

    Track& track(const Param* param);
    void forget(const Param* param);
    void settle(const Param* param, qint64 now);
    void startFlapping(const Param* param, qint64 now);
    void stopFlapping(const Param* param);
    void act(const Param* param, int state);
    void wait(const Param* param, Track& t, qint64 now);
    void schedule(qint64 due, qint64 now);

    DampingRules m_rules;
    QPointer<AlarmMonitor> m_monitor;
    QPointer<EventMonitor> m_eventMonitor;
    QHash<const Param*, Track> m_tracks;
    /// Parameters with a state pending or flapping; two buffers so that
    /// processing reuses their storage.
    QVector<const Param*> m_waiting;
    QVector<const Param*> m_processing;
    bool m_inProcess = false;
    QTimer m_timer;
    qint64 m_timerDue = 0;
    QElapsedTimer m_elapsed;
    Clock m_clock;

    Q_DISABLE_COPY(FlapDamper)
};
