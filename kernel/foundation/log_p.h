#pragma once

// Internal to the library: the sinks of share::pLog, each a no-op while the
// client has not installed a log. Not installed with the public headers.

#include "foundation/abstractlog.h"
#include "foundation/app_shared.h"

namespace tavolog {

inline void message(const QString& text)
{
    if (share::pLog)
        share::pLog->logMessage(text);
}

inline void warning(const QString& text)
{
    if (share::pLog)
        share::pLog->logWarning(text);
}

inline void error(const QString& text)
{
    if (share::pLog)
        share::pLog->logError(text);
}

inline void event(const QString& text, Tavo::AlarmType type)
{
    if (share::pLog)
        share::pLog->logEvent(text, type);
}

/// Debug traces are composed only when the log wants them: callers test
/// wants() first so that silent groups cost nothing.
inline bool wants(int group)
{
    return share::pLog && share::pLog->isDebugMode(group);
}

inline void debug(int group, const QString& text)
{
    if (wants(group))
        share::pLog->logDebug(group, text);
}

} // namespace tavolog
