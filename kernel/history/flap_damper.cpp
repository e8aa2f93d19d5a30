#include "history/flap_damper.h"

#include "alarms/alarmmonitor.h"
#include "alarms/eventmonitor.h"
#include "devices/paramlist.h"
#include "foundation/app_shared.h"
#include "foundation/log_p.h"

#include <limits>

namespace {

constexpr qint64 Never = std::numeric_limits<qint64>::max();

/// Lower is worse; no alarm (and anything that is not a severity) ranks
/// below every severity.
int severityRank(int state)
{
    return state >= 0 ? state : std::numeric_limits<int>::max();
}

QString deviceNameOf(const Param* param)
{
    const auto* device = qobject_cast<const Device*>(param->parent());
    return device ? device->DbEntity::name : QString();
}

} // namespace

qint64 FlapDamper::Track::due() const
{
    qint64 due = pending ? pendingDue : Never;
    if (flapping)
        due = qMin(due, lastChange + windowMs);
    return due;
}

FlapDamper::FlapDamper(const DampingRules& rules, QObject* parent)
    : QObject(parent)
    , m_rules(rules)
{
    m_elapsed.start();
    setClock(nullptr);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &FlapDamper::process);
}

FlapDamper::~FlapDamper()
{
    uninstall();
}

FlapDamper* FlapDamper::installFromUserFile(AlarmMonitor* monitor)
{
    DampingRules rules;
    if (!monitor || !rules.readFile() || rules.isEmpty())
        return nullptr;
    auto* damper = new FlapDamper(rules, monitor);
    if (damper->install(monitor))
        return damper;
    delete damper;
    return nullptr;
}

bool FlapDamper::install(AlarmMonitor* monitor)
{
    if (!monitor || !monitor->eventMonitor || m_rules.isEmpty())
        return false;
    if (m_monitor == monitor)
        return true;
    uninstall();
    // Only the monitor's own connection is taken over: if it is gone,
    // someone else decides where the changes go and stacking on top of it
    // would run reactions twice or never.
    if (!disconnect(monitor, SIGNAL(paramStateChanged(const Param*, int, int)),
                    monitor->eventMonitor, SLOT(stateChanged(const Param*, int, int)))) {
        tavolog::warning(tr("[FlapDamper] The alarm reactions are not connected to the alarm "
                            "monitor directly; flap damping is not installed"));
        return false;
    }
    connect(monitor, &AlarmMonitor::paramStateChanged, this, &FlapDamper::stateChanged);
    m_monitor = monitor;
    m_eventMonitor = monitor->eventMonitor;
    tavolog::message(tr("[FlapDamper] Flap damping is on: %1 hold rules and %2 flapping rules")
                         .arg(m_rules.holdRules().size())
                         .arg(m_rules.flappingRules().size()));
    return true;
}

void FlapDamper::uninstall()
{
    if (m_monitor) {
        disconnect(m_monitor, &AlarmMonitor::paramStateChanged, this, &FlapDamper::stateChanged);
        if (m_eventMonitor)
            connect(m_monitor, SIGNAL(paramStateChanged(const Param*, int, int)), m_eventMonitor,
                    SLOT(stateChanged(const Param*, int, int)));
    }
    m_monitor.clear();
    m_eventMonitor.clear();
    for (auto it = m_tracks.cbegin(); it != m_tracks.cend(); ++it)
        disconnect(it.key(), &QObject::destroyed, this, nullptr);
    m_tracks.clear();
    m_waiting.clear();
    m_timer.stop();
}

void FlapDamper::setClock(Clock clock)
{
    if (clock)
        m_clock = std::move(clock);
    else
        m_clock = [this] {
            return m_elapsed.elapsed();
        };
}

bool FlapDamper::isFlapping(const Param* param) const
{
    const auto it = m_tracks.constFind(param);
    return it != m_tracks.cend() && it->flapping;
}

FlapDamper::Track& FlapDamper::track(const Param* param)
{
    auto it = m_tracks.find(param);
    if (it != m_tracks.end())
        return *it;

    // The rules are matched once per parameter, so that a change costs no
    // text comparison.
    const auto* device = qobject_cast<const Device*>(param->parent());
    const QString deviceClass = device ? device->className : QString();
    const QString& name = param->DbEntity::name;
    Track t;
    for (int state = -1; state <= 7; ++state)
        t.holdMs[state + 1] = m_rules.holdMs(deviceClass, name, state);
    // A state no rule can name gets only the rules for every state.
    t.holdMs[9] = m_rules.holdMs(deviceClass, name, std::numeric_limits<int>::min());
    if (const DampingRules::FlappingRule* rule = m_rules.flappingRule(deviceClass, name)) {
        t.flapChanges = rule->changes;
        t.windowMs = rule->windowMs;
        t.ring.resize(size_t(rule->changes) + 1);
    }
    connect(param, &QObject::destroyed, this, [this, param] { forget(param); });
    return *m_tracks.insert(param, std::move(t));
}

void FlapDamper::forget(const Param* param)
{
    m_tracks.remove(param);
    m_waiting.removeAll(param);
    m_processing.removeAll(param);
}

void FlapDamper::stateChanged(const Param* param, int newState, int oldState)
{
    if (!param) {
        if (m_eventMonitor)
            m_eventMonitor->stateChanged(param, newState, oldState);
        return;
    }
    const qint64 now = m_clock();
    // A state whose time came before this change is acted on first, whether
    // or not the timer has fired yet.
    settle(param, now);

    Track& t = track(param);
    t.current = newState;
    bool flappingNow = false;
    if (t.windowMs > 0) {
        const int capacity = int(t.ring.size());
        if (t.ringSize < capacity) {
            t.ring[size_t((t.ringHead + t.ringSize) % capacity)] = {now, newState};
            ++t.ringSize;
        } else {
            t.ring[size_t(t.ringHead)] = {now, newState};
            t.ringHead = (t.ringHead + 1) % capacity;
        }
        // More than flapChanges changes within the window: the oldest of the
        // latest flapChanges + 1 is inside it.
        flappingNow = t.ringSize == capacity && now - t.ring[size_t(t.ringHead)].at < t.windowMs;
    }

    if (t.flapping) {
        t.lastChange = now;
        Q_EMIT changeSuppressed(param, newState, oldState);
        return;
    }

    if (t.pending) {
        t.pending = false;
        const int state = t.pendingState;
        const int old = t.pendingOld;
        Q_EMIT changeSuppressed(param, state, old);
    }
    // Receivers may have removed the device, and with it the parameter.
    const auto it = m_tracks.find(param);
    if (it == m_tracks.end())
        return;
    if (flappingNow) {
        startFlapping(param, now);
        return;
    }
    // Back to what the reactions last saw: nothing new to act on.
    if (newState == it->acted)
        return;
    const qint64 hold = it->holdFor(newState);
    if (hold <= 0) {
        act(param, newState);
        return;
    }
    it->pending = true;
    it->pendingState = newState;
    it->pendingOld = oldState;
    it->pendingDue = now + hold;
    wait(param, *it, now);
}

void FlapDamper::wait(const Param* param, Track& t, qint64 now)
{
    if (!t.waiting) {
        t.waiting = true;
        m_waiting.append(param);
    }
    schedule(t.due(), now);
}

void FlapDamper::schedule(qint64 due, qint64 now)
{
    if (due == Never || (m_timer.isActive() && m_timerDue <= due))
        return;
    m_timerDue = due;
    m_timer.start(int(qBound<qint64>(0, due - now, std::numeric_limits<int>::max())));
}

void FlapDamper::process()
{
    if (m_inProcess)
        return;
    m_inProcess = true;
    const qint64 now = m_clock();
    m_processing.swap(m_waiting);
    // Settling emits; a parameter forgotten meanwhile leaves this list too.
    while (!m_processing.isEmpty()) {
        const Param* param = m_processing.takeLast();
        auto it = m_tracks.find(param);
        if (it == m_tracks.end())
            continue;
        it->waiting = false;
        settle(param, now);
        it = m_tracks.find(param);
        if (it != m_tracks.end() && (it->pending || it->flapping) && !it->waiting) {
            it->waiting = true;
            m_waiting.append(param);
        }
    }
    m_inProcess = false;

    qint64 next = Never;
    for (const Param* param : qAsConst(m_waiting)) {
        const auto it = m_tracks.constFind(param);
        if (it != m_tracks.cend())
            next = qMin(next, it->due());
    }
    m_timer.stop();
    schedule(next, now);
}

void FlapDamper::settle(const Param* param, qint64 now)
{
    auto it = m_tracks.find(param);
    if (it == m_tracks.end())
        return;
    if (it->pending && now >= it->pendingDue) {
        it->pending = false;
        act(param, it->pendingState);
        it = m_tracks.find(param);
        if (it == m_tracks.end())
            return;
    }
    if (it->flapping && now - it->lastChange >= it->windowMs)
        stopFlapping(param);
}

void FlapDamper::startFlapping(const Param* param, qint64 now)
{
    Track& t = m_tracks[param];
    t.flapping = true;
    t.lastChange = now;
    int worst = t.current;
    const int capacity = int(t.ring.size());
    for (int i = 0; i < t.ringSize; ++i) {
        const Change& change = t.ring[size_t((t.ringHead + i) % capacity)];
        if (now - change.at < t.windowMs && severityRank(change.state) < severityRank(worst))
            worst = change.state;
    }
    wait(param, t, now);
    tavolog::message(tr("[FlapDamper] Device %1, param %2 is flapping")
                         .arg(deviceNameOf(param), param->DbEntity::name));
    Q_EMIT flappingStarted(param);
    if (m_tracks.contains(param))
        act(param, worst);
}

void FlapDamper::stopFlapping(const Param* param)
{
    Track& t = m_tracks[param];
    t.flapping = false;
    t.ringSize = 0;
    t.ringHead = 0;
    const int state = t.current;
    tavolog::message(tr("[FlapDamper] Device %1, param %2 stopped flapping in state %3")
                         .arg(deviceNameOf(param), param->DbEntity::name,
                              share::alarmStateToStr(Tavo::AlarmType(state))));
    Q_EMIT flappingStopped(param, state);
    const auto it = m_tracks.constFind(param);
    if (it != m_tracks.cend() && it->acted != state)
        act(param, state);
}

void FlapDamper::act(const Param* param, int state)
{
    const auto it = m_tracks.find(param);
    if (it == m_tracks.end())
        return;
    const int old = it->acted;
    it->acted = state;
    if (m_eventMonitor)
        m_eventMonitor->stateChanged(param, state, old);
}
