#include "frmFirstWarning.h"

#include "NoticeStyle.h"
#include "WindowChrome.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrel::dialogs {

// The stored caption keeps its paragraph breaks as backslash-n pairs.
static const char kInfoCaption[] =
    "This software is designed to modify your mail stores, the Maildir folders of your mail "
    "programs. Mail stores contain vital information such as your email messages and their "
    "folders.\\n\\nIn the unlikely event of data corruption you should always have a backup of "
    "all your mail stores to fall back on.";

frmFirstWarning::frmFirstWarning(QWidget* owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("frmFirstWarning"));
    setWindowTitle(QString::fromUtf8(kProductName));

    auto* GroupBox1 = new QGroupBox(this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    Label1 = noticeHeading(GroupBox1, "Label1", QStringLiteral("ATTENTION"), 14.25);
    Label2 = noticeLabel(GroupBox1, "Label2", QStringLiteral("Always Backup Your Mail Stores"));
    QFont bold = Label2->font();
    bold.setBold(true);
    bold.setPointSizeF(11.25);
    Label2->setFont(bold);
    Label2->setStyleSheet(QStringLiteral("color: rgb(255, 0, 0);"));
    lblInfo = noticeLabel(GroupBox1, "lblInfo",
                          QString::fromUtf8(kInfoCaption).replace(QStringLiteral("\\n"), "\n"));
    auto* texts = new QVBoxLayout;
    texts->addWidget(Label1);
    texts->addWidget(Label2);
    texts->addSpacing(6);
    texts->addWidget(lblInfo);
    Image1 = noticePictureBeside(*GroupBox1, QStringLiteral(":/dialogs/warning.svg"), texts);

    cmdOkay = layOutNotice(*this, *GroupBox1, QStringLiteral("&Okay"), 440);
    applyWindowChrome(*this, {.caption = false, .border = true});
}

} // namespace kestrel::dialogs
