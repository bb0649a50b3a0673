#include "frmPassword.h"

#include "dialogs/BorderShape.h"
#include "dialogs/NoticeStyle.h"
#include "dialogs/WindowChrome.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrel::shell {

frmPassword::frmPassword(const QString& login, const QString& whyAsked, QWidget* owner)
    : QDialog(owner)
{
    setObjectName(QStringLiteral("frmPassword"));
    setWindowTitle(QStringLiteral("{APP}"));

    lblPrompt =
        dialogs::noticeHeading(this, "lblPrompt", QStringLiteral("Password for %1").arg(login), 11);
    lblPrompt->setTextFormat(Qt::PlainText);
    lblReason = new QLabel(whyAsked, this);
    lblReason->setObjectName(QStringLiteral("lblReason"));
    lblReason->setTextFormat(Qt::PlainText);
    lblReason->setWordWrap(true);
    lblReason->setVisible(!whyAsked.isEmpty());
    dialogs::setTextColor(lblReason, QColor(Qt::red));
    txtPassword = new QLineEdit(this);
    txtPassword->setObjectName(QStringLiteral("txtPassword"));
    txtPassword->setEchoMode(QLineEdit::Password);
    chkRemember = new QCheckBox(QStringLiteral("Remember in the keyring"), this);
    chkRemember->setObjectName(QStringLiteral("chkRemember"));
    chkRemember->setChecked(true);

    cmdOkay = new QPushButton(QStringLiteral("&Okay"), this);
    cmdOkay->setObjectName(QStringLiteral("cmdOkay"));
    cmdOkay->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setAutoDefault(false);
    for (QPushButton* button : {cmdOkay, cmdCancel})
        button->setMinimumWidth(90);
    connect(cmdOkay, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOkay);
    buttons->addWidget(cmdCancel);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(14, 14, 14, 14);
    outer->addWidget(lblPrompt);
    outer->addWidget(lblReason);
    outer->addWidget(txtPassword);
    outer->addWidget(chkRemember);
    outer->addLayout(buttons);
    new dialogs::BorderShape(this);
    dialogs::fillWindowBackground(*this);
    resize(420, sizeHint().height());
    dialogs::applyWindowChrome(*this);
    txtPassword->setFocus();
}

QString frmPassword::password() const
{
    return txtPassword->text();
}

bool frmPassword::remember() const
{
    return chkRemember->isChecked();
}

} // namespace kestrel::shell
