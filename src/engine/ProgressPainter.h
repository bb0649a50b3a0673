#pragma once

#include <QElapsedTimer>
#include <QString>

namespace kestrel::engine {

class TaskView;

// The progress area during a run. Labels shown while a folder is prepared are
// painted at once; the per-item texts and values are set for every item but
// painted at most once per frame (~16 ms) and at every yield.
class ProgressPainter {
public:
    explicit ProgressPainter(TaskView& view, int frameMsecs = 16);

    TaskView& view() { return m_view; }

    // Sets the action label and paints it at once.
    void showAction(const QString& text);
    // Sets the status line and paints it at once.
    void showStatus(const QString& text);
    // The bar's maximum (its value is not changed).
    void setRange(qint64 maximum);
    // Value and paint at once.
    void showValue(qint64 value);

    // Per-item updates: set now, painted when a frame is due.
    void itemAction(const QString& text, qint64 value);
    void itemStatus(const QString& text);

    // Paints what is pending, then lets the event queue run `times` times.
    void yield(int times);
    // Paints the progress area at once.
    void paint();

    qint64 maximum() const { return m_maximum; }

private:
    void paintIfDue();

    TaskView& m_view;
    int m_frameMsecs;
    QElapsedTimer m_sincePaint;
    bool m_pending = false;
    qint64 m_maximum = 0;
};

// The bar takes an int; a folder of more items shows a scaled value.
int ProgressBarValue(qint64 value, qint64 maximum);

} // namespace kestrel::engine
