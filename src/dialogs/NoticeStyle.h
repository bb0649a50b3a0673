#pragma once

#include <QColor>
#include <QString>

class QBoxLayout;
class QDialog;
class QLabel;
class QLayout;
class QPushButton;
class QWidget;

namespace kestrel::dialogs {

// The blue of the notices' texts.
inline const QColor kNoticeBlue(43, 111, 201);
// The main window's pale background, behind every dialog too.
inline const QColor kWindowBackground(238, 242, 247);

void setTextColor(QWidget* widget, const QColor& color);
// Paints the dialog's background in the main window's colour.
void fillWindowBackground(QWidget& window);
// Fixes the dialog at width and at the height its layout needs there (wrapped
// texts included).
void fixDialogSize(QDialog& dialog, QLayout& layout, int width);

// A word-wrapped notice text in the notices' blue; steps are indented.
QLabel* noticeLabel(QWidget* parent, const char* name, const QString& text, bool step = false);
// A label in the notices' blue at the given point size.
QLabel* noticeHeading(QWidget* parent, const char* name, const QString& text, qreal pointSize);
// The notice's picture (an SVG resource, 48 pixels) at the left of its frame,
// beside the column of its texts.
QLabel* noticePictureBeside(QWidget& frame, const QString& svgPath, QBoxLayout* texts);
// Puts the notice's frame above its Okay button (which hides the dialog),
// adds the drawn border and fixes the notice at width and the height its
// wrapped texts need there. Returns the Okay button.
QPushButton* layOutNotice(QDialog& dialog, QWidget& frame, const QString& okayCaption, int width);

} // namespace kestrel::dialogs
