#pragma once

// One real engine run over "Inbox" of the profile's first store, without a
// window: for the fault child and the benchmarks.

#include "engine/TaskCounters.h"

#include <QDateTime>
#include <QString>

#include <functional>

namespace kestrel::engine {
struct ItemReport;
}

namespace kestrel::test {

struct HeadlessRunResult {
    bool opened = false; // the profile could be opened
    double seconds = 0;  // the run alone, without opening the profile
    engine::TaskCounters counters;
    QString status;
};

// Action 0/1/2 into the profile's second store, or into diskDir when given;
// unread items included, every message of the range taken. onItem gets each
// item's report.
HeadlessRunResult RunOverInbox(const QString& profile, int action, bool preview,
                               const QString& diskDir, const QDateTime& start, const QDateTime& end,
                               std::function<void(const engine::ItemReport&)> onItem = {});

} // namespace kestrel::test
