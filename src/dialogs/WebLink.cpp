#include "WebLink.h"

#include <QDesktopServices>
#include <QLabel>
#include <QMouseEvent>

namespace kestrel::dialogs {

WebLink::WebLink(QLabel& label, const QUrl& address, UrlOpener opener)
    : QObject(&label), m_address(address), m_opener(std::move(opener))
{
    if (!m_opener)
        m_opener = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    label.setCursor(Qt::PointingHandCursor);
    label.installEventFilter(this);
}

bool WebLink::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        return true; // the click belongs to the link, not to a window drag
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        m_opener(m_address);
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace kestrel::dialogs
