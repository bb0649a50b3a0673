#include "ProcessPriority.h"

#include <cerrno>
#include <linux/capability.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace kestrel::engine {

namespace {

constexpr int kHighNice = -10;

bool hasSysNice()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    if (::syscall(SYS_capget, &header, data) != 0)
        return false;
    return (data[CAP_TO_INDEX(CAP_SYS_NICE)].effective & CAP_TO_MASK(CAP_SYS_NICE)) != 0;
}

// getpriority returns -1 for a real nice of -1 too, so errno tells.
bool currentNice(int* nice)
{
    errno = 0;
    const int value = ::getpriority(PRIO_PROCESS, ::gettid());
    if (value == -1 && errno != 0)
        return false;
    *nice = value;
    return true;
}

bool setPolicy(int policy)
{
    const sched_param param{0};
    return ::sched_setscheduler(::gettid(), policy, &param) == 0;
}

} // namespace

PriorityChoice PriorityChoiceAt(int position)
{
    switch (position) {
    case 1:
        return {PriorityClass::High, 30};
    case 2:
        return {PriorityClass::Idle, 5};
    default:
        return {PriorityClass::Unchanged, 10};
    }
}

bool ProcessPriority::CanReturnToCurrentNice()
{
    int nice = 0;
    if (!currentNice(&nice))
        return false;
    if (hasSysNice())
        return true;
    rlimit limit{};
    if (::getrlimit(RLIMIT_NICE, &limit) != 0)
        return false;
    // RLIMIT_NICE r allows nice values down to 20 - r.
    return limit.rlim_cur == RLIM_INFINITY || rlim_t(20 - nice) <= limit.rlim_cur;
}

bool ProcessPriority::Set(PriorityClass priorityClass)
{
    if (m_changed || priorityClass == PriorityClass::Unchanged)
        return false;
    const int policy = ::sched_getscheduler(::gettid());
    int nice = 0;
    if (policy < 0 || !currentNice(&nice))
        return false;
    if (priorityClass == PriorityClass::High) {
        if (policy != SCHED_OTHER || nice <= kHighNice)
            return false;
        if (::setpriority(PRIO_PROCESS, ::gettid(), kHighNice) != 0)
            return false; // no right to lower nice: stays as it is
    } else {
        if (policy == SCHED_IDLE || !CanReturnToCurrentNice())
            return false;
        if (!setPolicy(SCHED_IDLE))
            return false;
    }
    m_changed = true;
    m_policy = policy;
    m_nice = nice;
    return true;
}

void ProcessPriority::Restore()
{
    if (!m_changed)
        return;
    m_changed = false;
    if (::sched_getscheduler(::gettid()) != m_policy)
        setPolicy(m_policy);
    ::setpriority(PRIO_PROCESS, ::gettid(), m_nice);
}

} // namespace kestrel::engine
