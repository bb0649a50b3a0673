#pragma once

#include <QColor>
#include <QWidget>

namespace kestrel::dialogs {

// The drawn border of a frameless window ("shaBorder"): a rectangle outline of
// a fixed width, centred on its rectangle like a drawing pen. It covers its
// window, stays on top and lets the mouse through.
class BorderShape : public QWidget {
    Q_OBJECT
public:
    explicit BorderShape(QWidget* window, int borderWidth = 2, QColor color = QColor(70, 96, 130));

    int borderWidth() const { return m_borderWidth; }
    QRect shapeRect() const { return m_shapeRect; }
    void setShapeRect(const QRect& rect);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_borderWidth;
    QColor m_color;
    QRect m_shapeRect;
};

} // namespace kestrel::dialogs
