#include "RecordingView.h"

namespace kestrel::test {

void RecordingView::SetAppStatus(const QString& text)
{
    status = text;
    record(QStringLiteral("status: ") + text);
}

void RecordingView::setAppStatusUnpainted(const QString& text)
{
    status = text;
    record(QStringLiteral("status: ") + text);
}

void RecordingView::GoBusy(bool flag)
{
    busy = flag;
    record(QStringLiteral("GoBusy: ") + (flag ? "true" : "false"));
}

void RecordingView::setCurrentFolderText(const QString& text)
{
    folderText = text;
    record(QStringLiteral("folder: ") + text);
}

void RecordingView::setCurrentActionText(const QString& text)
{
    actionText = text;
    record(QStringLiteral("action: ") + text);
}

void RecordingView::setProgressMaximum(int maximum)
{
    record(QStringLiteral("max: ") + QString::number(maximum));
}

void RecordingView::setProgressValue(int value)
{
    progressValue = value;
    record(QStringLiteral("value: ") + QString::number(value));
}

void RecordingView::setProgressValueUnpainted(int value)
{
    progressValue = value;
}

void RecordingView::setProgressVisible(bool visible)
{
    progressVisible = visible;
    record(QStringLiteral("visible: ") + (visible ? "true" : "false"));
}

void RecordingView::enterRunningState()
{
    quitCaption = QStringLiteral("&Stop");
    record(QStringLiteral("enterRunningState"));
}

void RecordingView::showStopping()
{
    quitCaption = QStringLiteral("WAIT");
    record(QStringLiteral("showStopping"));
}

void RecordingView::leaveRunningState()
{
    quitCaption = QStringLiteral("&Quit");
    record(QStringLiteral("leaveRunningState"));
}

void RecordingView::yield()
{
    ++yields;
    record(QStringLiteral("yield"));
    if (onYield)
        onYield(yields);
}

QStringList RecordingView::eventsStartingWith(const QString& prefix) const
{
    QStringList out;
    for (const QString& event : m_events) {
        if (event.startsWith(prefix))
            out << event;
    }
    return out;
}

} // namespace kestrel::test
