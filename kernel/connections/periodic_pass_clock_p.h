#pragma once

// Internal to the library: the time an engine's periodic read pass stands for.
//
// The pass runs on every 20th tick of the engine's timer and reads a
// parameter once the time since its last periodic read reaches its period.
// Measured on the raw clock, a pass that fires a millisecond early finds a
// one-second parameter 999 ms old and reads it a whole pass late. The pass
// therefore stands for the time it was due at: the previous pass's time plus
// one interval, as long as it runs within half a tick of that, midnight
// included. Anything further off (the first pass, a stall, a clock set back
// or forward) starts the rhythm again from the clock. The clock and the timer
// may drift apart by the tolerance before that happens, so a slow drift costs
// one late read at most now and then.

#include <QTime>

class PeriodicPassClock
{
public:
    /// Passes @p intervalMs apart, on time while within @p toleranceMs.
    PeriodicPassClock(int intervalMs, int toleranceMs)
        : m_intervalMs(intervalMs)
        , m_toleranceMs(toleranceMs)
    {
    }

    /// The time the pass that runs at @p real stands for.
    QTime passTime(const QTime& real)
    {
        if (m_last.isValid()) {
            const QTime due = m_last.addMSecs(m_intervalMs);
            // msecsTo() does not wrap: a pass and its due time may lie on
            // either side of midnight.
            int offset = due.msecsTo(real);
            if (offset > MSecsPerDay / 2)
                offset -= MSecsPerDay;
            else if (offset < -MSecsPerDay / 2)
                offset += MSecsPerDay;
            if (offset >= -m_toleranceMs && offset <= m_toleranceMs) {
                m_last = due;
                return due;
            }
        }
        m_last = real;
        return real;
    }

private:
    static constexpr int MSecsPerDay = 24 * 60 * 60 * 1000;

    QTime m_last;
    int m_intervalMs;
    int m_toleranceMs;
};
