#include "SvgPicture.h"

#include <QGuiApplication>
#include <QPainter>
#include <QSvgRenderer>

// The pictures live in a static library: nothing else would pull them in.
static void loadDialogPictures()
{
    static const bool loaded = [] {
        Q_INIT_RESOURCE(dialogs);
        return true;
    }();
    Q_UNUSED(loaded);
}

namespace kestrel::dialogs {

QPixmap svgPicture(const QString& path, const QSize& size, qreal pixelRatio)
{
    loadDialogPictures();
    QSvgRenderer renderer(path);
    if (!renderer.isValid())
        return {};
    if (pixelRatio <= 0)
        pixelRatio = qApp ? qApp->devicePixelRatio() : 1.0;
    QPixmap pixmap(size * pixelRatio);
    pixmap.setDevicePixelRatio(pixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return pixmap;
}

} // namespace kestrel::dialogs
