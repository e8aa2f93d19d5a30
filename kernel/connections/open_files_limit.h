#pragma once

#include "tavo_kernel_export.h"

#include <QCoreApplication>

/**
 * The process's limit of open files, which bounds how many hosts can be
 * connected at once: every connection holds a socket. The soft limit many
 * systems start a session with (1024) is far below what a fleet needs, while
 * the hard limit usually is not.
 */
class TAVO_KERNEL_EXPORT OpenFilesLimit
{
    Q_DECLARE_TR_FUNCTIONS(OpenFilesLimit)

public:
    /// Files a client keeps open besides its connections: plug-ins, the
    /// history, sounds, the display, the event loop's own.
    static constexpr qint64 Reserve = 64;

    /// Raises the soft limit to the hard one; the soft limit in effect
    /// afterwards, -1 when it cannot be read.
    static qint64 raiseToHard();
    /// The soft limit in effect, -1 when it cannot be read.
    static qint64 current();
    /// Hosts that can be connected at once under @p limit.
    static qint64 hostsThatFit(qint64 limit);
    /// False, with a warning in the log naming how many fit, when @p hosts
    /// cannot all be connected under the current limit.
    static bool checkHosts(int hosts);
};
