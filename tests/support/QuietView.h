#pragma once

#include "engine/TaskView.h"

#include <functional>

namespace kestrel::test {

// A window stand-in for long runs: keeps only the last texts, so that its
// own memory stays flat however many items pass.
class QuietView : public engine::TaskView {
public:
    void SetAppStatus(const QString& text) override { status = text; }
    void GoBusy(bool) override {}
    void EnableArchiveButton() override {}
    void setCurrentFolderText(const QString&) override {}
    void setCurrentActionText(const QString& text) override { action = text; }
    void setProgressMaximum(int) override {}
    void setProgressValue(int) override {}
    void setProgressVisible(bool) override {}
    void enterRunningState() override {}
    void showStopping() override {}
    void leaveRunningState() override {}
    void yield() override { ++yields; }
    void repaintWindow() override {}
    void setAppStatusUnpainted(const QString& text) override { status = text; }
    void setProgressValueUnpainted(int) override {}
    void repaintProgress() override { ++repaints; }
    void ItemDone(const engine::ItemReport& report) override
    {
        if (onItem)
            onItem(report);
    }

    QString status;
    QString action;
    qint64 yields = 0;
    qint64 repaints = 0;
    // Each item's report, when set.
    std::function<void(const engine::ItemReport&)> onItem;
};

} // namespace kestrel::test
