#pragma once

#include "engine/ItemReport.h"
#include "engine/TaskView.h"

#include <QStringList>

#include <functional>

namespace kestrel::test {

// A window stand-in that records what the engine shows. Every call lands in
// events() as "name: value"; onYield runs inside each yield, as a click would.
class RecordingView : public engine::TaskView {
public:
    void SetAppStatus(const QString& status) override;
    void GoBusy(bool busy) override;
    void EnableArchiveButton() override { record(QStringLiteral("EnableArchiveButton")); }
    void setCurrentFolderText(const QString& text) override;
    void setCurrentActionText(const QString& text) override;
    void setProgressMaximum(int maximum) override;
    void setProgressValue(int value) override;
    void setProgressVisible(bool visible) override;
    void enterRunningState() override;
    void showStopping() override;
    void leaveRunningState() override;
    void yield() override;
    void repaintWindow() override { record(QStringLiteral("repaintWindow")); }
    void setAppStatusUnpainted(const QString& status) override;
    void setProgressValueUnpainted(int value) override;
    void repaintProgress() override { ++repaints; }
    void refreshFolderTree() override { record(QStringLiteral("refreshFolderTree")); }
    void ItemDone(const engine::ItemReport& report) override
    {
        reports << report;
        if (onItemDone)
            onItemDone(report);
    }

    const QStringList& events() const { return m_events; }
    QStringList eventsStartingWith(const QString& prefix) const;
    void clear()
    {
        m_events.clear();
        reports.clear();
    }

    QString status;
    QString folderText;
    QString actionText;
    QString quitCaption = QStringLiteral("&Quit");
    bool busy = false;
    int progressValue = 0;
    bool progressVisible = true;
    int yields = 0;
    int repaints = 0;
    QList<engine::ItemReport> reports;
    // Runs inside yield() with the number of that yield (1-based).
    std::function<void(int)> onYield;
    // Runs after every item's report is recorded.
    std::function<void(const engine::ItemReport&)> onItemDone;

private:
    void record(const QString& event) { m_events << event; }
    QStringList m_events;
};

} // namespace kestrel::test
