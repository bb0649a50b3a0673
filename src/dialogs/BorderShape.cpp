#include "BorderShape.h"

#include <QPainter>
#include <QPen>

namespace kestrel::dialogs {

BorderShape::BorderShape(QWidget* window, int borderWidth, QColor color)
    : QWidget(window), m_borderWidth(borderWidth), m_color(color)
{
    setObjectName(QStringLiteral("shaBorder"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

void BorderShape::setShapeRect(const QRect& rect)
{
    m_shapeRect = rect;
    // The pen is centred on the outline, so half of it lies outside the rectangle.
    setGeometry(parentWidget() ? parentWidget()->rect() : rect);
    raise();
    show();
    update();
}

void BorderShape::paintEvent(QPaintEvent*)
{
    if (m_shapeRect.isEmpty())
        return;
    QPainter painter(this);
    QPen pen(m_color, m_borderWidth);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(m_shapeRect.x(), m_shapeRect.y(), m_shapeRect.width() - 1,
                            m_shapeRect.height() - 1));
}

} // namespace kestrel::dialogs
