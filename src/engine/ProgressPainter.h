#pragma once

#include <QElapsedTimer>
#include <QString>

#include <optional>

namespace kestrel::engine {

class TaskView;

// The progress area during a run. Labels shown while a folder is prepared are
// painted at once; the per-item texts and values are kept for every item but
// made, set and painted at most once per frame (~16 ms) and at every yield:
// building two texts for each of 100,000 items cost more than showing them.
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

    // Per-item updates, shown when a frame is due: the action line reads
    // "Item <number> of <total>" with the bar at number, the status line
    // "<word><count> item(s)...".
    void itemNumber(qint64 number, const QString& total);
    void itemsDone(const QString& word, qint64 count);

    // Paints what is pending, then lets the event queue run `times` times.
    void yield(int times);
    // Paints the progress area at once.
    void paint();

    qint64 maximum() const { return m_maximum; }

private:
    void paintIfDue();
    // Hands the kept per-item texts and value to the view.
    void setPending();

    TaskView& m_view;
    int m_frameMsecs;
    QElapsedTimer m_sincePaint;
    bool m_pending = false;
    std::optional<qint64> m_number;
    QString m_total;
    std::optional<qint64> m_doneCount;
    QString m_doneWord;
    qint64 m_maximum = 0;
};

// The bar takes an int; a folder of more items shows a scaled value.
int ProgressBarValue(qint64 value, qint64 maximum);

} // namespace kestrel::engine
