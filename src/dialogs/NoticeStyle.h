#pragma once

#include <QColor>
#include <QString>

class QDialog;
class QLabel;
class QPushButton;
class QWidget;

namespace kestrel::dialogs {

// The blue of the notices' texts.
inline const QColor kNoticeBlue(43, 111, 201);

// A word-wrapped notice text in the notices' blue; steps are indented.
QLabel* noticeLabel(QWidget* parent, const char* name, const QString& text, bool step = false);
// A label in the notices' blue at the given point size.
QLabel* noticeHeading(QWidget* parent, const char* name, const QString& text, qreal pointSize);
// Puts the notice's frame above its Okay button (which hides the dialog),
// adds the drawn border and fixes the notice at width and the height its
// wrapped texts need there. Returns the Okay button.
QPushButton* layOutNotice(QDialog& dialog, QWidget& frame, const QString& okayCaption, int width);

} // namespace kestrel::dialogs
