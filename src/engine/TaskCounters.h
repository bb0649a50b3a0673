#pragma once

#include <QString>

namespace kestrel::engine {

// Running totals of one run. 64-bit, so that a run past 2 GB reports its real size.
struct TaskCounters {
    qint64 ProcessedCount = 0;
    qint64 FailedCount = 0;
    qint64 TotalSize = 0;

    void ResetCounters() { *this = {}; }
};

enum class TaskAction { Move = 0, Copy = 1, Delete = 2 };

// "12 items moved." / "1 item would be copied."
QString GetActionCount(const TaskCounters& counters, int action, bool previewMode);

// The whole one-line summary written to the status line after a run.
QString ResultsText(const TaskCounters& counters, int action, bool previewMode);

} // namespace kestrel::engine
