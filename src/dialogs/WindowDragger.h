#pragma once

#include <QObject>
#include <QPoint>

class QWidget;

namespace kestrel::dialogs {

// Moves a frameless window when the left button is pressed on one of the
// widgets it watches (the background, the title picture, the status line).
// The window system does the move where it can (DragForm); where it cannot,
// as under a bare X server, the window follows the mouse until release.
class WindowDragger : public QObject {
    Q_OBJECT
public:
    explicit WindowDragger(QWidget& window);
    void watch(QWidget& widget);

    // How many drags the left button has started.
    int dragCount() const { return m_dragCount; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& m_window;
    bool m_following = false;
    QPoint m_grabOffset;
    int m_dragCount = 0;
};

} // namespace kestrel::dialogs
