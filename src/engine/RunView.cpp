#include "RunView.h"

#include "ItemReportSink.h"

namespace kestrel::engine {

RunView::RunView(TaskView& view, std::vector<ItemReportSink*> sinks)
    : m_view(view), m_sinks(std::move(sinks))
{
}

void RunView::yield()
{
    for (ItemReportSink* sink : m_sinks)
        sink->yielded();
    m_view.yield();
}

void RunView::ItemDone(const ItemReport& report)
{
    for (ItemReportSink* sink : m_sinks)
        sink->ItemDone(report);
    m_view.ItemDone(report);
}

} // namespace kestrel::engine
