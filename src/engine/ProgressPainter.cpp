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

void ProgressPainter::showAction(const QString& text)
{
    m_view.setCurrentActionText(text);
    paint();
}

void ProgressPainter::showStatus(const QString& text)
{
    m_view.SetAppStatus(text);
}

void ProgressPainter::setRange(qint64 maximum)
{
    m_maximum = maximum;
    m_view.setProgressMaximum(ProgressBarValue(maximum, maximum));
}

void ProgressPainter::showValue(qint64 value)
{
    m_view.setProgressValue(ProgressBarValue(value, m_maximum));
    paint();
}

void ProgressPainter::itemAction(const QString& text, qint64 value)
{
    m_view.setCurrentActionText(text);
    m_view.setProgressValueUnpainted(ProgressBarValue(value, m_maximum));
    m_pending = true;
    paintIfDue();
}

void ProgressPainter::itemStatus(const QString& text)
{
    m_view.setAppStatusUnpainted(text);
    m_pending = true;
    paintIfDue();
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
    m_view.repaintProgress();
    m_pending = false;
    m_sincePaint.restart();
}

} // namespace kestrel::engine
