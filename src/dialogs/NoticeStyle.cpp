#include "NoticeStyle.h"

#include "BorderShape.h"
#include "SvgPicture.h"
#include "WindowChrome.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrel::dialogs {

void setTextColor(QWidget* widget, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}

void fillWindowBackground(QWidget& window)
{
    window.setAutoFillBackground(true);
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, kWindowBackground);
    window.setPalette(palette);
}

void fixDialogSize(QDialog& dialog, QLayout& layout, int width)
{
    dialog.setFont(chromeFont());
    dialog.setFixedWidth(width);
    layout.activate();
    // Without wrapped texts the layout has no height-for-width of its own.
    const int height = layout.hasHeightForWidth() ? layout.totalHeightForWidth(width)
                                                  : layout.totalSizeHint().height();
    dialog.setFixedHeight(height);
}

QLabel* noticeLabel(QWidget* parent, const char* name, const QString& text, bool step)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    setTextColor(label, kNoticeBlue);
    if (step)
        label->setContentsMargins(24, 0, 0, 0);
    return label;
}

QLabel* noticeHeading(QWidget* parent, const char* name, const QString& text, qreal pointSize)
{
    QLabel* label = noticeLabel(parent, name, text);
    QFont font = label->font();
    font.setPointSizeF(pointSize);
    label->setFont(font);
    return label;
}

QLabel* noticePictureBeside(QWidget& frame, const QString& svgPath, QBoxLayout* texts)
{
    auto* picture = new QLabel(&frame);
    picture->setObjectName(QStringLiteral("Image1"));
    picture->setPixmap(svgPicture(svgPath, QSize(48, 48)));
    picture->setAlignment(Qt::AlignTop);
    auto* inner = new QHBoxLayout(&frame);
    inner->addWidget(picture, 0, Qt::AlignTop);
    inner->addSpacing(8);
    inner->addLayout(texts, 1);
    return picture;
}

QPushButton* layOutNotice(QDialog& dialog, QWidget& frame, const QString& okayCaption, int width)
{
    auto* okay = new QPushButton(okayCaption, &dialog);
    okay->setObjectName(QStringLiteral("cmdOkay"));
    okay->setDefault(true);
    okay->setMinimumWidth(90);
    QObject::connect(okay, &QPushButton::clicked, &dialog, &QDialog::accept);

    auto* outer = new QVBoxLayout(&dialog);
    outer->setContentsMargins(14, 14, 14, 14);
    outer->addWidget(&frame);
    outer->addWidget(okay, 0, Qt::AlignRight);
    new BorderShape(&dialog);
    fillWindowBackground(dialog);
    fixDialogSize(dialog, *outer, width);
    return okay;
}

} // namespace kestrel::dialogs
