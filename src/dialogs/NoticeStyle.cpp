#include "NoticeStyle.h"

#include <QDialog>
#include <QLabel>
#include <QLayout>
#include <QPushButton>

namespace kestrel::dialogs {

static void setTextColor(QLabel* label, const QColor& color)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
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

void fitNoticeSize(QDialog& dialog, int width)
{
    dialog.setFixedWidth(width);
    dialog.layout()->activate();
    dialog.setFixedHeight(dialog.layout()->totalHeightForWidth(width));
}

QPushButton* noticeOkayButton(QDialog& dialog, const QString& caption)
{
    auto* button = new QPushButton(caption, &dialog);
    button->setObjectName(QStringLiteral("cmdOkay"));
    button->setDefault(true);
    button->setMinimumWidth(90);
    QObject::connect(button, &QPushButton::clicked, &dialog, &QDialog::accept);
    return button;
}

} // namespace kestrel::dialogs
