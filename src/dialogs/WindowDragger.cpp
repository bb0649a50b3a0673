#include "WindowDragger.h"

#include "WindowChrome.h"

#include <QMouseEvent>
#include <QWidget>

namespace kestrel::dialogs {

WindowDragger::WindowDragger(QWidget& window) : QObject(&window), m_window(window) {}

void WindowDragger::watch(QWidget& widget)
{
    widget.installEventFilter(this);
}

bool WindowDragger::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton)
            return false;
        ++m_dragCount;
        if (DragForm(m_window))
            return true;
        m_following = true;
        m_grabOffset = mouse->globalPosition().toPoint() - m_window.pos();
        return true;
    }
    case QEvent::MouseMove:
        if (!m_following)
            return false;
        m_window.move(static_cast<QMouseEvent*>(event)->globalPosition().toPoint() - m_grabOffset);
        return true;
    case QEvent::MouseButtonRelease:
        if (!m_following || static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton)
            return false;
        m_following = false;
        return true;
    default:
        return QObject::eventFilter(watched, event);
    }
}

} // namespace kestrel::dialogs
