#pragma once

namespace kestrel::engine {

struct ItemReport;

// Takes each item's report during a run, beside the window's own ItemDone:
// the run's journal, a command line's report file.
class ItemReportSink {
public:
    virtual ~ItemReportSink() = default;
    virtual void ItemDone(const ItemReport& report) = 0;
    // The run yields to the window: a moment to hand on what was kept back.
    virtual void yielded() {}
};

} // namespace kestrel::engine
