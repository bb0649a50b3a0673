#include "ProgressPainter.h"

#include "TaskView.h"

#include <limits>

namespace kestrel::engine {

namespace {

constexpr qint64 kBarLimit = std::numeric_limits<int>::max();

} // namespace

int ProgressBarValue(qint64 value, qint64 maximum)
{
    if (maximum <= kBarLimit)
        return int(value);
    return int(double(value) / double(maximum) * double(kBarLimit));
}

ProgressPainter::ProgressPainter(TaskView& view, int frameMsecs)
    : m_view(view), m_frameMsecs(frameMsecs)
{
    m_sincePaint.start();
}

// What is shown at once comes after what was kept for a frame, so that it is
// not overwritten by it.
void ProgressPainter::showAction(const QString& text)
{
    setPending();
    m_view.setCurrentActionText(text);
    paint();
}

void ProgressPainter::showStatus(const QString& text)
{
    setPending();
    m_view.SetAppStatus(text);
}

void ProgressPainter::setRange(qint64 maximum)
{
    setPending();
    m_maximum = maximum;
    m_view.setProgressMaximum(ProgressBarValue(maximum, maximum));
}

void ProgressPainter::showValue(qint64 value)
{
    setPending();
    m_view.setProgressValue(ProgressBarValue(value, m_maximum));
    paint();
}

void ProgressPainter::itemNumber(qint64 number, const QString& total)
{
    m_number = number;
    m_total = total;
    m_pending = true;
    paintIfDue();
}

void ProgressPainter::itemsDone(const QString& word, qint64 count)
{
    m_doneCount = count;
    m_doneWord = word;
    m_pending = true;
    paintIfDue();
}

void ProgressPainter::setPending()
{
    if (m_number) {
        m_view.setCurrentActionText(QStringLiteral("Item ") + QString::number(*m_number) +
                                    QStringLiteral(" of ") + m_total);
        m_view.setProgressValueUnpainted(ProgressBarValue(*m_number, m_maximum));
        m_number.reset();
    }
    if (m_doneCount) {
        m_view.setAppStatusUnpainted(m_doneWord + QString::number(*m_doneCount) +
                                     QStringLiteral(" item(s)..."));
        m_doneCount.reset();
    }
}

void ProgressPainter::yield(int times)
{
    if (m_pending)
        paint();
    for (int i = 0; i < times; ++i)
        m_view.yield();
}

void ProgressPainter::paintIfDue()
{
    if (m_sincePaint.elapsed() >= m_frameMsecs)
        paint();
}

void ProgressPainter::paint()
{
    setPending();
    m_view.repaintProgress();
    m_pending = false;
    m_sincePaint.restart();
}

} // namespace kestrel::engine
