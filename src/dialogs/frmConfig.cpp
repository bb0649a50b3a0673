#include "frmConfig.h"

#include "BorderShape.h"
#include "NoticeStyle.h"
#include "WindowChrome.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace kestrel::dialogs {

QString storedPatternHelp()
{
    return QStringLiteral("%ct%\\tCreation Time\\n%st%\\tSend Time\\n%rt%\\tReceived Time\\n"
                          "%mt%\\tModified Time\\n%su%\\tSubject\\n%to%\\tSent To\\n"
                          "%fm%\\tReceived From\\n%fd%\\tFrom Domain");
}

QString expandPatternHelp(const QString& stored)
{
    QString text = stored;
    text.replace(QLatin1String("\\n"), QLatin1String("\n"));
    text.replace(QLatin1String("\\t"), QLatin1String("    "));
    return text;
}

frmConfig::frmConfig(QWidget* owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("frmConfig"));
    setWindowTitle(QStringLiteral("{APP}"));

    TabControl1 = new QTabWidget(this);
    TabControl1->setObjectName(QStringLiteral("TabControl1"));
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("pageMSG"));
    TabControl1->addTab(page, QStringLiteral(".MSG Filenames"));
    TabControl1->setCurrentWidget(page);

    Label1 = new QLabel(QStringLiteral(".MSG File Name Pattern :"), page);
    Label1->setObjectName(QStringLiteral("Label1"));
    txtMSGPattern = new QLineEdit(page);
    txtMSGPattern->setObjectName(QStringLiteral("txtMSGPattern"));
    lblPatternHelp = noticeLabel(page, "lblPatternHelp", expandPatternHelp(storedPatternHelp()));
    lblPatternHelp->setWordWrap(false);
    // Tokens are all four characters wide: a fixed-pitch face lines the meanings up.
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPointSizeF(chromeFont().pointSizeF());
    lblPatternHelp->setFont(fixed);

    auto* pageLayout = new QGridLayout(page);
    pageLayout->setContentsMargins(14, 14, 14, 14);
    pageLayout->setVerticalSpacing(10);
    pageLayout->addWidget(Label1, 0, 0);
    pageLayout->addWidget(txtMSGPattern, 0, 1);
    pageLayout->addWidget(lblPatternHelp, 1, 1);
    pageLayout->setColumnStretch(1, 1);

    cmdOkay = new QPushButton(QStringLiteral("&Okay"), this);
    cmdOkay->setObjectName(QStringLiteral("cmdOkay"));
    cmdOkay->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    for (QPushButton* button : {cmdOkay, cmdCancel})
        button->setMinimumWidth(90);
    connect(cmdOkay, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdCancel, &QPushButton::clicked, this, &frmConfig::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOkay);
    buttons->addWidget(cmdCancel);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(14, 14, 14, 14);
    outer->addWidget(TabControl1);
    outer->addLayout(buttons);

    new BorderShape(this);
    fillWindowBackground(*this);
    fixDialogSize(*this, *outer, 440);
    applyWindowChrome(*this);
}

void frmConfig::setMSGPattern(const QString& pattern)
{
    txtMSGPattern->setText(pattern);
}

QString frmConfig::MSGPattern() const
{
    // Blanks only, as typed; other white space stays part of the pattern.
    const QString text = txtMSGPattern->text();
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == ' ')
        ++first;
    while (last > first && text.at(last - 1) == ' ')
        --last;
    return text.mid(first, last - first);
}

void frmConfig::reject()
{
    m_canceled = true;
    QDialog::reject();
}

} // namespace kestrel::dialogs
