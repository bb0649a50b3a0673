#pragma once

// The view the engine paints through during one run: everything goes to the
// window's view, and each item's report also to the run's sinks, so that the
// journal is written however the run was started.

#include "TaskView.h"

#include <vector>

namespace kestrel::engine {

class ItemReportSink;

class RunView : public TaskView {
public:
    RunView(TaskView& view, std::vector<ItemReportSink*> sinks);

    void SetAppStatus(const QString& status) override { m_view.SetAppStatus(status); }
    void GoBusy(bool busy) override { m_view.GoBusy(busy); }
    void EnableArchiveButton() override { m_view.EnableArchiveButton(); }
    void setCurrentFolderText(const QString& text) override { m_view.setCurrentFolderText(text); }
    void setCurrentActionText(const QString& text) override { m_view.setCurrentActionText(text); }
    void setProgressMaximum(int maximum) override { m_view.setProgressMaximum(maximum); }
    void setProgressValue(int value) override { m_view.setProgressValue(value); }
    void setProgressVisible(bool visible) override { m_view.setProgressVisible(visible); }
    void enterRunningState() override { m_view.enterRunningState(); }
    void showStopping() override { m_view.showStopping(); }
    void leaveRunningState() override { m_view.leaveRunningState(); }
    void yield() override;
    void repaintWindow() override { m_view.repaintWindow(); }
    void setAppStatusUnpainted(const QString& status) override
    {
        m_view.setAppStatusUnpainted(status);
    }
    void setProgressValueUnpainted(int value) override { m_view.setProgressValueUnpainted(value); }
    void repaintProgress() override { m_view.repaintProgress(); }
    void refreshFolderTree() override { m_view.refreshFolderTree(); }
    void ItemDone(const ItemReport& report) override;

private:
    TaskView& m_view;
    std::vector<ItemReportSink*> m_sinks;
};

} // namespace kestrel::engine
