#pragma once

namespace kestrel::engine {

// The window's run flags. StopRequested is set by the Stop button and tested
// by the loops right after they yield; TasksRunCount counts verified Starts.
struct TaskRunFlags {
    bool TaskRunning = false;
    bool StopRequested = false;
    int TasksRunCount = 0;

    void ResetFlags()
    {
        TaskRunning = true;
        StopRequested = false;
    }
};

} // namespace kestrel::engine
