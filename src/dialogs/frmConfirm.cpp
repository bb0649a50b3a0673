#include "frmConfirm.h"

#include "BorderShape.h"
#include "NoticeStyle.h"
#include "SvgPicture.h"
#include "WindowChrome.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrel::dialogs {

namespace {

constexpr int kActionPictureSize = 48;

QLabel* folderLabel(QGroupBox* frame, const char* name, const QString& text)
{
    QLabel* label = noticeLabel(frame, name, text);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    label->setAlignment(Qt::AlignCenter);
    // Long paths wrap inside the frame instead of widening the dialog.
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    label->setMinimumHeight(label->fontMetrics().height() * 2);
    auto* layout = new QVBoxLayout(frame);
    layout->addWidget(label);
    return label;
}

QPushButton* dialogButton(QWidget* parent, const char* name, const QString& caption)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setMinimumWidth(90);
    return button;
}

} // namespace

frmConfirm::frmConfirm(QWidget* owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("frmConfirm"));
    setWindowTitle(QStringLiteral(" {APP} : Confirm"));

    lblAction = noticeHeading(this, "lblAction", QStringLiteral("Action"), 15.75);
    lblAction->setAlignment(Qt::AlignCenter);
    for (const char* path :
         {":/dialogs/action-move.svg", ":/dialogs/action-copy.svg", ":/dialogs/action-delete.svg"})
        imgList.append(
            svgPicture(QString::fromLatin1(path), QSize(kActionPictureSize, kActionPictureSize)));
    imgAction = new QLabel(this);
    imgAction->setObjectName(QStringLiteral("imgAction"));
    imgAction->setFixedSize(kActionPictureSize, kActionPictureSize);
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(svgPicture(QStringLiteral(":/dialogs/confirm.svg"), QSize(40, 40)));

    GroupBox2 = new QGroupBox(QStringLiteral("Source"), this);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    lblSource = folderLabel(GroupBox2, "lblSource", QStringLiteral("Source"));
    fraDestination = new QGroupBox(QStringLiteral("Destination"), this);
    fraDestination->setObjectName(QStringLiteral("fraDestination"));
    lblDestination = folderLabel(fraDestination, "lblDestination", QStringLiteral("Destination"));

    chkDoNotShow = new QCheckBox(QStringLiteral(" Do not show this confirmation again"), this);
    chkDoNotShow->setObjectName(QStringLiteral("chkDoNotShow"));
    cmdConfirm = dialogButton(this, "cmdConfirm", QStringLiteral("Confirm"));
    cmdConfirm->setDefault(true);
    cmdCancel = dialogButton(this, "cmdCancel", QStringLiteral("Cancel"));
    connect(cmdConfirm, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdCancel, &QPushButton::clicked, this, &frmConfirm::reject);

    auto* heading = new QHBoxLayout;
    heading->addWidget(Image1);
    heading->addWidget(lblAction, 1);
    heading->addSpacing(Image1->pixmap().deviceIndependentSize().toSize().width());
    auto* folders = new QHBoxLayout;
    folders->addWidget(GroupBox2, 1);
    folders->addWidget(imgAction, 0, Qt::AlignCenter);
    folders->addWidget(fraDestination, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(chkDoNotShow);
    buttons->addStretch(1);
    buttons->addWidget(cmdConfirm);
    buttons->addWidget(cmdCancel);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(16, 14, 16, 14);
    outer->setSpacing(12);
    outer->addLayout(heading);
    outer->addLayout(folders);
    outer->addLayout(buttons);

    new BorderShape(this);
    fillWindowBackground(*this);
    fixDialogSize(*this, *outer, 560);
    applyWindowChrome(*this);
}

void frmConfirm::setActionMode(int action)
{
    imgAction->setPixmap(imgList.value(action));
}

void frmConfirm::setSourceFolder(const QString& text)
{
    lblSource->setText(text);
}

void frmConfirm::setDestinationFolder(const QString& text)
{
    lblDestination->setText(text);
}

void frmConfirm::setDestinationType(const QString& text)
{
    fraDestination->setTitle(text);
}

void frmConfirm::setActionDescription(const QString& text)
{
    lblAction->setText(text);
}

void frmConfirm::setActionColour(const QColor& colour)
{
    setTextColor(lblAction, colour);
}

bool frmConfirm::IsShowDialog() const
{
    return !chkDoNotShow->isChecked();
}

void frmConfirm::setShowDialog(bool show)
{
    chkDoNotShow->setChecked(!show);
}

void frmConfirm::reject()
{
    m_canceled = true;
    QDialog::reject();
}

} // namespace kestrel::dialogs
