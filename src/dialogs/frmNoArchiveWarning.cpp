#include "frmNoArchiveWarning.h"

#include "NoticeStyle.h"
#include "WindowChrome.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrel::dialogs {

frmNoArchiveWarning::frmNoArchiveWarning(QWidget* owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("frmNoArchiveWarning"));
    setWindowTitle(QStringLiteral(" {APP}"));

    auto* GroupBox1 = new QGroupBox(this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    lblText = noticeLabel(GroupBox1, "lblText",
                          QStringLiteral("You have only one mail store set up. To archive your "
                                         "mail you need a second store to which your mail can be "
                                         "moved. Please perform the following steps in this "
                                         "window:"));
    Label1 = noticeLabel(GroupBox1, "Label1",
                         QStringLiteral("Click \"Stores…\" beside the Source list"), true);
    Label2 = noticeLabel(GroupBox1, "Label2",
                         QStringLiteral("Tick the empty store \"Archive\" or add a folder"), true);
    Label3 = noticeLabel(GroupBox1, "Label3",
                         QStringLiteral("Choose a name and a folder for the store"), true);
    Label4 = noticeLabel(GroupBox1, "Label4", QStringLiteral("Click \"Okay\""), true);
    Label5 = noticeLabel(GroupBox1, "Label5",
                         QStringLiteral("Alternatively you can elect to archive your messages in "
                                        ".MSG format to a disk folder."));

    auto* texts = new QVBoxLayout(GroupBox1);
    texts->addWidget(lblText);
    texts->addSpacing(4);
    for (QLabel* step : {Label1, Label2, Label3, Label4})
        texts->addWidget(step);
    texts->addSpacing(4);
    texts->addWidget(Label5);

    cmdOkay = layOutNotice(*this, *GroupBox1, QStringLiteral("Okay"), 420);
    applyWindowChrome(*this);
}

} // namespace kestrel::dialogs
