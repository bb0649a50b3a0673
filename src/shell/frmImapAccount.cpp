#include "frmImapAccount.h"

#include "Keyring.h"
#include "dialogs/BorderShape.h"
#include "dialogs/NoticeStyle.h"
#include "dialogs/WindowChrome.h"
#include "platform/imap/Credentials.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QThread>
#include <QVBoxLayout>

#include <memory>

namespace kestrel::shell {

namespace {

using platform::imap::ConnectionTest;
using platform::imap::ImapAccount;
using platform::imap::Security;

// The choices of cbSecurity, in order.
constexpr Security kSecurities[] = {Security::Tls, Security::StartTls, Security::None};

int standardPort(Security security)
{
    return security == Security::Tls ? 993 : 143;
}

QLineEdit* edit(QWidget* parent, const char* name)
{
    auto* line = new QLineEdit(parent);
    line->setObjectName(QString::fromLatin1(name));
    return line;
}

QLabel* redLabel(QWidget* parent, const char* name)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

frmImapAccount::frmImapAccount(SecretStore* keyring, QWidget* owner)
    : QDialog(owner), m_keyring(keyring)
{
    setObjectName(QStringLiteral("frmImapAccount"));
    setWindowTitle(QStringLiteral("Add IMAP account"));

    auto* heading =
        dialogs::noticeHeading(this, "Label1", QStringLiteral("Add IMAP account"), 14.25);
    txtHost = edit(this, "txtHost");
    txtHost->setPlaceholderText(QStringLiteral("imap.example.com"));
    txtPort = new QSpinBox(this);
    txtPort->setObjectName(QStringLiteral("txtPort"));
    txtPort->setRange(1, 65535);
    txtPort->setValue(standardPort(Security::Tls));
    cbSecurity = new QComboBox(this);
    cbSecurity->setObjectName(QStringLiteral("cbSecurity"));
    cbSecurity->addItems(
        {QStringLiteral("TLS"), QStringLiteral("STARTTLS"), QStringLiteral("None")});
    txtUser = edit(this, "txtUser");
    txtPassword = edit(this, "txtPassword");
    txtPassword->setEchoMode(QLineEdit::Password);
    txtName = edit(this, "txtName");
    txtName->setPlaceholderText(QStringLiteral("the server's name"));
    txtPasswordCommand = edit(this, "txtPasswordCommand");
    txtPasswordCommand->setPlaceholderText(QStringLiteral("optional, e.g. pass show mail/work"));

    cmdTest = new QPushButton(QStringLiteral("&Test Connection"), this);
    cmdTest->setObjectName(QStringLiteral("cmdTest"));
    cmdTest->setAutoDefault(false);
    lblTest = redLabel(this, "lblTest");
    lstFolders = new QListWidget(this);
    lstFolders->setObjectName(QStringLiteral("lstFolders"));
    lstFolders->setVisible(false);
    lblCertificate = redLabel(this, "lblCertificate");
    lblCertificate->setVisible(false);
    chkTrust = new QCheckBox(QStringLiteral("Trust this certificate"), this);
    chkTrust->setObjectName(QStringLiteral("chkTrust"));
    chkTrust->setVisible(false);
    lblProblem = redLabel(this, "lblProblem");
    dialogs::setTextColor(lblProblem, QColor(Qt::red));

    cmdOkay = new QPushButton(QStringLiteral("&Okay"), this);
    cmdOkay->setObjectName(QStringLiteral("cmdOkay"));
    cmdOkay->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setAutoDefault(false);
    for (QPushButton* button : {cmdOkay, cmdCancel})
        button->setMinimumWidth(90);

    auto* server = new QHBoxLayout;
    server->addWidget(txtHost, 1);
    server->addWidget(new QLabel(QStringLiteral("Port:"), this));
    server->addWidget(txtPort);
    auto* form = new QFormLayout;
    auto* serverLabel = new QLabel(QStringLiteral("&Server:"), this);
    serverLabel->setBuddy(txtHost);
    form->addRow(serverLabel, server);
    form->addRow(QStringLiteral("S&ecurity:"), cbSecurity);
    form->addRow(QStringLiteral("&User:"), txtUser);
    form->addRow(QStringLiteral("&Password:"), txtPassword);
    form->addRow(QStringLiteral("Store &name:"), txtName);
    form->addRow(QStringLiteral("Password co&mmand:"), txtPasswordCommand);
    auto* test = new QHBoxLayout;
    test->addWidget(cmdTest);
    test->addWidget(lblTest, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOkay);
    buttons->addWidget(cmdCancel);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(14, 14, 14, 14);
    outer->addWidget(heading);
    outer->addLayout(form);
    outer->addLayout(test);
    outer->addWidget(lstFolders, 1);
    outer->addWidget(lblCertificate);
    outer->addWidget(chkTrust);
    outer->addWidget(lblProblem);
    outer->addLayout(buttons);
    new dialogs::BorderShape(this);
    dialogs::fillWindowBackground(*this);
    resize(520, sizeHint().height());
    dialogs::applyWindowChrome(*this);

    connect(cbSecurity, &QComboBox::currentIndexChanged, this, &frmImapAccount::cbSecurity_Change);
    connect(cmdTest, &QPushButton::clicked, this, &frmImapAccount::cmdTest_Click);
    connect(cmdOkay, &QPushButton::clicked, this, &frmImapAccount::accept);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

ImapAccount frmImapAccount::account() const
{
    ImapAccount account;
    account.host = txtHost->text().trimmed();
    account.port = txtPort->value();
    account.security = kSecurities[qBound(0, cbSecurity->currentIndex(), 2)];
    account.user = txtUser->text().trimmed();
    account.storeName = txtName->text().trimmed();
    if (account.storeName.isEmpty())
        account.storeName = account.host;
    account.passwordCommand = txtPasswordCommand->text().trimmed();
    if (!m_fingerprint.isEmpty() && chkTrust->isChecked())
        account.certificateFingerprint = m_fingerprint;
    return account;
}

void frmImapAccount::cbSecurity_Change()
{
    // Only a port the user has not chosen follows the security.
    const int port = txtPort->value();
    if (port == standardPort(Security::Tls) || port == standardPort(Security::None))
        txtPort->setValue(standardPort(kSecurities[qBound(0, cbSecurity->currentIndex(), 2)]));
}

void frmImapAccount::cmdTest_Click()
{
    if (m_testing)
        return;
    const QString why = problem();
    lblTest->setText(why);
    dialogs::setTextColor(lblTest, QColor(Qt::red));
    if (!why.isEmpty())
        return;
    m_testing = true;
    cmdTest->setEnabled(false);
    lblTest->setText(QStringLiteral("Connecting to %1…").arg(txtHost->text().trimmed()));
    dialogs::setTextColor(lblTest, QColor(Qt::black));

    // The server may take long to answer: the dialog stays alive meanwhile,
    // and an outcome that comes after the dialog closed goes nowhere.
    const ImapAccount account = this->account();
    const QString password = txtPassword->text();
    auto outcome = std::make_shared<ConnectionTest>();
    QThread* worker = QThread::create([account, password, outcome] {
        QString given = password;
        if (given.isEmpty() && !account.passwordCommand.isEmpty()) {
            const std::optional<QString> found =
                platform::imap::runPasswordCommand(account.passwordCommand, &outcome->error);
            if (!found)
                return;
            given = *found;
        }
        *outcome = platform::imap::testConnection(account, given);
    });
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    connect(worker, &QThread::finished, this, [this, outcome] { showTest(*outcome); });
    worker->start();
}

void frmImapAccount::showTest(const ConnectionTest& test)
{
    m_testing = false;
    cmdTest->setEnabled(true);
    lstFolders->clear();
    lstFolders->setVisible(test.error.ok());
    if (test.error.ok()) {
        lblTest->setText(test.folders.size() == 1
                             ? QStringLiteral("Logged in; 1 folder:")
                             : QStringLiteral("Logged in; %1 folders:").arg(test.folders.size()));
        dialogs::setTextColor(lblTest, dialogs::kNoticeBlue);
        lstFolders->addItems(test.folders);
    } else {
        QString text = test.error.text;
        if (!test.error.detail.isEmpty())
            text += QStringLiteral("\n") + test.error.detail;
        lblTest->setText(text);
        dialogs::setTextColor(lblTest, QColor(Qt::red));
    }
    // A certificate refused once stays on offer until the user decides.
    if (test.certificateRefused) {
        m_fingerprint = test.certificateFingerprint;
        lblCertificate->setText(
            QStringLiteral("The server's certificate is not trusted by this computer. Trust it "
                           "only if this is its SHA-256 fingerprint:\n%1")
                .arg(m_fingerprint));
        lblCertificate->setVisible(true);
        chkTrust->setChecked(false);
        chkTrust->setVisible(true);
    }
    Q_EMIT connectionTested();
}

QString frmImapAccount::problem() const
{
    if (txtHost->text().trimmed().isEmpty())
        return QStringLiteral("Enter the server's name.");
    if (txtUser->text().trimmed().isEmpty())
        return QStringLiteral("Enter the user name to log in with.");
    if (txtName->text().contains('\\'))
        return QStringLiteral("The store name holds a backslash, which separates folder names.");
    return {};
}

void frmImapAccount::accept()
{
    const QString why = problem();
    lblProblem->setText(why);
    if (!why.isEmpty())
        return;
    const QString password = txtPassword->text();
    m_keyringProblem.clear();
    if (!password.isEmpty() && txtPasswordCommand->text().trimmed().isEmpty()) {
        platform::PlatformError error;
        if (!m_keyring)
            m_keyringProblem = QStringLiteral("There is no keyring");
        else if (!m_keyring->write(account().keyringKey(), password, &error))
            m_keyringProblem = error.text;
    }
    QDialog::accept();
}

} // namespace kestrel::shell
