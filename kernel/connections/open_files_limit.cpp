#include "connections/open_files_limit.h"

#include "foundation/log_p.h"

#include <limits>

#include <sys/resource.h>

namespace {

qint64 asLimit(rlim_t value)
{
    // Unlimited is as good as any number the process could use.
    return value == RLIM_INFINITY ? std::numeric_limits<qint64>::max() : qint64(value);
}

} // namespace

qint64 OpenFilesLimit::raiseToHard()
{
    rlimit limit {};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return -1;
    if (limit.rlim_cur != limit.rlim_max) {
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max;
        // Refused where the hard limit is above what the system allows any
        // process (nr_open): the soft limit stays, checkHosts() says so.
        if (setrlimit(RLIMIT_NOFILE, &raised) == 0)
            limit = raised;
    }
    return asLimit(limit.rlim_cur);
}

qint64 OpenFilesLimit::current()
{
    rlimit limit {};
    return getrlimit(RLIMIT_NOFILE, &limit) == 0 ? asLimit(limit.rlim_cur) : -1;
}

qint64 OpenFilesLimit::hostsThatFit(qint64 limit)
{
    return qMax<qint64>(0, limit - Reserve);
}

bool OpenFilesLimit::checkHosts(int hosts)
{
    // One reading for both figures of the warning: a second one could fail
    // alone and tell the operator the system allows no file at all.
    rlimit limits {};
    if (getrlimit(RLIMIT_NOFILE, &limits) != 0)
        return true;
    const qint64 limit = asLimit(limits.rlim_cur);
    if (hosts <= hostsThatFit(limit))
        return true;
    tavolog::warning(tr("The process may open %1 files (the system allows at most %2): about %3 "
                        "of the %4 hosts can be connected at once. Raise the hard limit of open "
                        "files (ulimit -Hn, limits.conf) to watch them all.")
                         .arg(limit)
                         .arg(asLimit(limits.rlim_max))
                         .arg(hostsThatFit(limit))
                         .arg(hosts));
    return false;
}
