#pragma once

#include <QString>

namespace kestrel::engine {

struct ItemReport;

// What the engine may do to the main window: the status line, the busy state,
// the Start/Preview rule, the progress area and the running state. The main
// window implements it; the engine never sees a widget.
class TaskView {
public:
    virtual ~TaskView() = default;

    // The status line, repainted at once; "" clears it.
    virtual void SetAppStatus(const QString& status) = 0;
    // Lamps and the three selection buttons.
    virtual void GoBusy(bool busy) = 0;
    // Enables or disables Start and Preview together by the window's rule.
    virtual void EnableArchiveButton() = 0;

    // Progress area: the folder line, the action line and the bar (minimum 0).
    virtual void setCurrentFolderText(const QString& text) = 0;
    virtual void setCurrentActionText(const QString& text) = 0;
    virtual void setProgressMaximum(int maximum) = 0;
    // Sets the bar's value and repaints it at once.
    virtual void setProgressValue(int value) = 0;
    virtual void setProgressVisible(bool visible) = 0;

    // Running state: Start and Preview disabled, Quit reads "&Stop", hourglass.
    virtual void enterRunningState() = 0;
    // Stop pressed: Quit reads "WAIT" and is disabled.
    virtual void showStopping() = 0;
    // Back to idle: Quit reads "&Quit" and is enabled, normal pointer.
    virtual void leaveRunningState() = 0;

    // Lets the window's event queue run once (clicks on Stop arrive here).
    virtual void yield() = 0;
    // Repaints the whole window at once.
    virtual void repaintWindow() = 0;

    // The item loop's updates. The engine sets them (and the action line) and
    // paints them at most once per ~16 ms and at every yield, through
    // repaintProgress(), so that a long run is not slowed by painting. A
    // window that paints in SetAppStatus and setProgressValue overrides the
    // two setters to only set the text or value, and repaintProgress to
    // repaint the status line, the two progress labels and the bar. The
    // defaults paint at once.
    virtual void setAppStatusUnpainted(const QString& status) { SetAppStatus(status); }
    virtual void setProgressValueUnpainted(int value) { setProgressValue(value); }
    virtual void repaintProgress() {}

    // After a run: renews the names and item counts of the ticked folders.
    virtual void refreshFolderTree() {}

    // Each item the run looked at, once, when its outcome is known (in a
    // batch: when the batch is acted on). The counters are not affected.
    virtual void ItemDone(const ItemReport& report) { (void)report; }
};

} // namespace kestrel::engine
