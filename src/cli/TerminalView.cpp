#include "TerminalView.h"

#include <QCoreApplication>

#include <sys/ioctl.h>
#include <unistd.h>

namespace kestrel::cli {

namespace {

constexpr int kRedrawMs = 100; // a terminal needs no more than ten lines a second
constexpr int kBarWidth = 24;

} // namespace

int terminalColumns()
{
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

TerminalView::TerminalView(bool drawProgress, std::FILE* out)
    : m_drawProgress(drawProgress), m_out(out)
{
}

void TerminalView::SetAppStatus(const QString& status)
{
    m_status = status;
    draw(false);
}

void TerminalView::setProgressValue(int value)
{
    m_value = value;
    draw(false);
}

void TerminalView::showStopping()
{
    clearLine();
    std::fputs("kestrel-archive: stopping after the current item...\n", m_out);
    std::fflush(m_out);
}

void TerminalView::leaveRunningState()
{
    clearLine();
}

void TerminalView::yield()
{
    // Stop requests (SIGINT, SIGTERM) arrive through the event queue. A run
    // yields three times every ten items; a look every few milliseconds
    // answers a signal as soon, at a fraction of the cost.
    if (m_sinceEvents.isValid() && m_sinceEvents.elapsed() < kEventsEveryMsecs)
        return;
    QCoreApplication::processEvents();
    m_sinceEvents.start();
}

void TerminalView::ItemDone(const engine::ItemReport& report)
{
    if (onItem)
        onItem(report);
}

void TerminalView::draw(bool now)
{
    if (!m_drawProgress)
        return;
    if (!now && m_sinceDraw.isValid() && m_sinceDraw.elapsed() < kRedrawMs)
        return;
    m_sinceDraw.start();

    const int percent =
        m_maximum > 0 ? int(qBound(qint64(0), qint64(m_value) * 100 / m_maximum, qint64(100))) : 0;
    const int filled = percent * kBarWidth / 100;
    QString line = QStringLiteral("[%1%2] %3% ")
                       .arg(QString(filled, u'#'), QString(kBarWidth - filled, u'.'))
                       .arg(percent, 3);
    line += m_folder;
    const QString& detail = m_status.isEmpty() ? m_action : m_status;
    if (!detail.isEmpty())
        line += QStringLiteral(": ") + detail;
    // One terminal line, so that the carriage return redraws it in place.
    line.truncate(qMax(1, terminalColumns() - 1));
    std::fprintf(m_out, "\r\033[K%s", qUtf8Printable(line));
    std::fflush(m_out);
    m_lineShown = true;
}

void TerminalView::clearLine()
{
    if (!m_lineShown)
        return;
    std::fputs("\r\033[K", m_out);
    std::fflush(m_out);
    m_lineShown = false;
}

} // namespace kestrel::cli
