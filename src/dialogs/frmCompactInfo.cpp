#include "frmCompactInfo.h"

#include "NoticeStyle.h"
#include "WindowChrome.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrel::dialogs {

frmCompactInfo::frmCompactInfo(QWidget* owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("frmCompactInfo"));
    setWindowTitle(QString::fromUtf8(kProductName));

    auto* GroupBox1 = new QGroupBox(this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    Label1 = noticeHeading(GroupBox1, "Label1", QStringLiteral("PERFORMANCE TIP"), 14.25);
    lblInfo = noticeLabel(GroupBox1, "lblInfo",
                          QStringLiteral("In order to maximise the performance of your mail "
                                         "program you should now purge the messages marked as "
                                         "deleted from the stores you archived. To do this:"));
    Label2 = noticeLabel(GroupBox1, "Label2",
                         QStringLiteral("Empty the \"Deleted Items\" folder of each store"), true);
    Label3 = noticeLabel(GroupBox1, "Label3",
                         QStringLiteral("In mutt: open each folder and press $"), true);
    Label4 = noticeLabel(GroupBox1, "Label4",
                         QStringLiteral("With Dovecot: doveadm expunge mailbox '*' DELETED"), true);
    Label5 = noticeLabel(GroupBox1, "Label5",
                         QStringLiteral("Dovecot's dbox stores then: doveadm purge"), true);
    chkNoShow = new QCheckBox(QStringLiteral(" Do not show this message again."), GroupBox1);
    chkNoShow->setObjectName(QStringLiteral("chkNoShow"));
    connect(chkNoShow, &QCheckBox::clicked, this, [this](bool ticked) { m_noShow = ticked; });

    auto* texts = new QVBoxLayout;
    texts->addWidget(Label1);
    texts->addSpacing(4);
    texts->addWidget(lblInfo);
    texts->addSpacing(2);
    for (QLabel* step : {Label2, Label3, Label4, Label5})
        texts->addWidget(step);
    texts->addSpacing(8);
    texts->addWidget(chkNoShow);
    Image1 = noticePictureBeside(*GroupBox1, QStringLiteral(":/dialogs/tip.svg"), texts);

    cmdOkay = layOutNotice(*this, *GroupBox1, QStringLiteral("&Okay"), 440);
    applyWindowChrome(*this, {.caption = false, .border = true});
}

} // namespace kestrel::dialogs
