#include "engine/ProcessPriority.h"

#include <gtest/gtest.h>

#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kestrel::engine;

namespace {

struct ThreadPriority {
    int policy;
    int nice;
    bool operator==(const ThreadPriority&) const = default;
};

ThreadPriority now()
{
    return {::sched_getscheduler(::gettid()), ::getpriority(PRIO_PROCESS, ::gettid())};
}

// Every class set and restored; returns a bit per failed check.
int exercise(bool expectChanges)
{
    int failures = 0;
    const ThreadPriority before = now();
    {
        ProcessPriority priority;
        const bool changed = priority.Set(PriorityClass::High);
        if (changed != expectChanges || (changed && now().nice != -10))
            failures |= 1;
        priority.Restore();
        if (!(now() == before))
            failures |= 2;
    }
    {
        ProcessPriority priority;
        const bool changed = priority.Set(PriorityClass::Idle);
        if (changed != expectChanges || (changed && now().policy != SCHED_IDLE))
            failures |= 4;
        if (!changed && !(now() == before))
            failures |= 8; // refused: left as it was
    }                      // the destructor restores
    if (!(now() == before))
        failures |= 16;
    ProcessPriority unchanged;
    if (unchanged.Set(PriorityClass::Unchanged) || !(now() == before))
        failures |= 32;
    return failures;
}

} // namespace

TEST(ProcessPriority, BackToWhereItWasForRootAndForAnOrdinaryUser)
{
    // In a child, so that the test process keeps its own priority and user.
    auto inChild = [](bool asNobody) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            if (asNobody && (::setgid(65534) != 0 || ::setuid(65534) != 0))
                ::_exit(100);
            const bool privileged = ProcessPriority::CanReturnToCurrentNice();
            ::_exit(exercise(privileged) | (privileged ? 64 : 0));
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to run the ordinary-user half";
    EXPECT_EQ(inChild(false), 64) << "root: every class applied and undone";
    // An ordinary user with the default RLIMIT_NICE may not come back: nothing changes.
    EXPECT_EQ(inChild(true), 0);
}
