#pragma once

#include <QPixmap>
#include <QSize>
#include <QString>

namespace kestrel::dialogs {

// The SVG resource at path drawn at size (logical pixels) for the screen's
// pixel ratio; a null pixmap when the resource is missing or broken.
QPixmap svgPicture(const QString& path, const QSize& size, qreal pixelRatio = 0);

} // namespace kestrel::dialogs
