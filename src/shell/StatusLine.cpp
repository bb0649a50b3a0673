#include "StatusLine.h"

#include <QPainter>
#include <QStyle>

namespace kestrel::shell {

StatusLine::StatusLine(QWidget* parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
}

bool StatusLine::showsWholeText() const
{
    return fontMetrics().horizontalAdvance(text()) <= contentsRect().width();
}

// A long text must not widen the window: the line takes the room it is given.
QSize StatusLine::minimumSizeHint() const
{
    return {0, QLabel::minimumSizeHint().height()};
}

void StatusLine::paintEvent(QPaintEvent*)
{
    const QRect room = contentsRect();
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideMiddle, room.width());
    const QString tip = shown == text() ? QString() : text();
    if (toolTip() != tip)
        setToolTip(tip);
    QPainter painter(this);
    style()->drawItemText(&painter, room, int(alignment()), palette(), isEnabled(), shown,
                          foregroundRole());
}

} // namespace kestrel::shell
