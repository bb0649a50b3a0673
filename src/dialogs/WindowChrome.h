#pragma once

#include "shell/ProductName.h"

#include <QRect>
#include <QString>

class QFont;
class QWidget;

namespace kestrel::dialogs {

using shell::kProductName;
inline constexpr char kCaptionToken[] = "{APP}";
// The product's page, opened from the main window's link label.
inline constexpr char kProductUrl[] = "https://kestrel-mailkeep.example/";
inline constexpr char kProductWebName[] = "kestrel-mailkeep.example";

// Every "{APP}" (exact case) replaced by the product name.
QString replaceCaptionToken(const QString& caption);
void SetFormCaption(QWidget& window);

// The rectangle of a border shape of width borderWidth on a window of the given
// outer size: from (1, 1), borderWidth - 1 pixels less than the window each way.
QRect borderRect(const QSize& windowSize, int borderWidth);
// Fits the window's "shaBorder" child to the window as it is now; a window
// without one is left alone.
void PositionBorder(QWidget& window);

// Hands the window to the window system to move with the mouse, as if its
// title bar had been grabbed. Returns false when the system cannot do that.
bool DragForm(QWidget& window);

// Text face of every window: Tahoma where installed, else DejaVu Sans.
QFont chromeFont();

struct ChromeParts {
    bool caption = true;
    bool border = true;
};

// The one place that gives a window its frame: no system frame, the program's
// face, the product name in the caption and the drawn border.
void applyWindowChrome(QWidget& window, ChromeParts parts = {});

} // namespace kestrel::dialogs
