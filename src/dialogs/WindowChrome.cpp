#include "WindowChrome.h"

#include "BorderShape.h"

#include <QFont>
#include <QFontDatabase>
#include <QWidget>
#include <QWindow>

namespace kestrel::dialogs {

QString replaceCaptionToken(const QString& caption)
{
    QString result = caption;
    result.replace(QLatin1String(kCaptionToken), QString::fromUtf8(kProductName),
                   Qt::CaseSensitive);
    return result;
}

void SetFormCaption(QWidget& window)
{
    window.setWindowTitle(replaceCaptionToken(window.windowTitle()));
}

QRect borderRect(const QSize& windowSize, int borderWidth)
{
    return QRect(1, 1, windowSize.width() - borderWidth + 1, windowSize.height() - borderWidth + 1);
}

void PositionBorder(QWidget& window)
{
    auto* shape =
        window.findChild<BorderShape*>(QStringLiteral("shaBorder"), Qt::FindDirectChildrenOnly);
    if (!shape)
        return;
    shape->setShapeRect(borderRect(window.size(), shape->borderWidth()));
}

bool DragForm(QWidget& window)
{
    QWindow* handle = window.window()->windowHandle();
    return handle && handle->startSystemMove();
}

QFont chromeFont()
{
    const bool hasTahoma = QFontDatabase::families().contains(QStringLiteral("Tahoma"));
    QFont font(hasTahoma ? QStringLiteral("Tahoma") : QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(hasTahoma ? 8.25 : 8.0);
    return font;
}

void applyWindowChrome(QWidget& window, ChromeParts parts)
{
    window.setWindowFlag(Qt::FramelessWindowHint, true);
    window.setFont(chromeFont());
    if (parts.caption)
        SetFormCaption(window);
    if (parts.border)
        PositionBorder(window);
}

} // namespace kestrel::dialogs
