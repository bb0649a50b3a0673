#pragma once

#include "engine/TaskView.h"

#include <QElapsedTimer>
#include <QString>

#include <cstdio>
#include <functional>

namespace kestrel::cli {

// The run's window on a terminal: a one-line progress bar on standard error,
// redrawn in place, and nothing of it when standard error is not a terminal.
// The last status text (the summary, once the run has ended) is kept for the
// caller to print.
class TerminalView : public engine::TaskView {
public:
    // drawProgress: whether to draw the bar (standard error is a terminal).
    explicit TerminalView(bool drawProgress, std::FILE* out = stderr);

    void SetAppStatus(const QString& status) override;
    void GoBusy(bool) override {}
    void EnableArchiveButton() override {}
    void setCurrentFolderText(const QString& text) override { m_folder = text; }
    void setCurrentActionText(const QString& text) override { m_action = text; }
    void setProgressMaximum(int maximum) override { m_maximum = maximum; }
    void setProgressValue(int value) override;
    void setProgressVisible(bool) override {}
    void enterRunningState() override {}
    void showStopping() override;
    void leaveRunningState() override;
    void yield() override;
    void repaintWindow() override { draw(true); }
    void setAppStatusUnpainted(const QString& status) override { m_status = status; }
    void setProgressValueUnpainted(int value) override { m_value = value; }
    void repaintProgress() override { draw(false); }
    void ItemDone(const engine::ItemReport& report) override;

    const QString& status() const { return m_status; }
    // Each item's report.
    std::function<void(const engine::ItemReport&)> onItem;

private:
    void draw(bool now);
    void clearLine();

    bool m_drawProgress;
    std::FILE* m_out;
    QString m_status;
    QString m_folder;
    QString m_action;
    int m_maximum = 0;
    int m_value = 0;
    bool m_lineShown = false;
    QElapsedTimer m_sinceDraw;
    static constexpr qint64 kEventsEveryMsecs = 5;
    QElapsedTimer m_sinceEvents; // invalid until the first yield
};

// The width of the terminal on standard error, 80 when it cannot be told.
int terminalColumns();

} // namespace kestrel::cli
