#pragma once

// The priority of a run. On Linux an ordinary user may raise a thread's nice
// value or enter SCHED_IDLE, but not come back (unless RLIMIT_NICE allows it,
// or with CAP_SYS_NICE). So a change is made only when its way back is
// allowed; otherwise the priority stays as it was. The change applies to the
// calling thread alone: the run works on the window's thread, and Qt's helper
// threads keep theirs.
//
//   High: nice -10 (only with the right to lower nice; undone by raising it)
//   Idle: SCHED_IDLE (only when leaving it again is allowed)

namespace kestrel::engine {

enum class PriorityClass { Unchanged, High, Idle };

// The three pairs of the priority list, by position.
struct PriorityChoice {
    PriorityClass priorityClass = PriorityClass::Unchanged;
    int yieldInterval = 10;
};
PriorityChoice PriorityChoiceAt(int position);

class ProcessPriority {
public:
    ProcessPriority() = default;
    ~ProcessPriority() { Restore(); }
    ProcessPriority(const ProcessPriority&) = delete;
    ProcessPriority& operator=(const ProcessPriority&) = delete;

    // Returns true when the thread's priority was changed; false when it was
    // left alone (Unchanged, not permitted, or no way back).
    bool Set(PriorityClass priorityClass);
    // Back to what it was before Set; does nothing when Set changed nothing.
    void Restore();

    // Whether this thread could come back to its present nice value from a
    // higher one (or from SCHED_IDLE).
    static bool CanReturnToCurrentNice();

private:
    bool m_changed = false;
    int m_policy = 0;
    int m_nice = 0;
};

} // namespace kestrel::engine
