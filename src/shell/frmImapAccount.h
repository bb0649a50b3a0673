#pragma once

#include "platform/imap/ImapAccount.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;

namespace kestrel::shell {

class SecretStore;

// "Add IMAP account": where the server is, who logs in and how, tried with
// "Test connection" before it becomes a store. Okay puts the password in the
// keyring (never in a file) and leaves the account for the caller to list.
class frmImapAccount : public QDialog {
    Q_OBJECT
public:
    // keyring: where the password goes; nullptr when there is none.
    explicit frmImapAccount(SecretStore* keyring, QWidget* owner = nullptr);

    // The account as the fields describe it now.
    platform::imap::ImapAccount account() const;
    // Why Okay did not keep the password in the keyring, or nothing.
    const QString& keyringProblem() const { return m_keyringProblem; }
    // Whether a connection test is under way.
    bool testing() const { return m_testing; }

    void accept() override;

    QLineEdit* txtHost;
    QSpinBox* txtPort;
    QComboBox* cbSecurity;
    QLineEdit* txtUser;
    QLineEdit* txtPassword;
    QLineEdit* txtName;
    QLineEdit* txtPasswordCommand;
    QPushButton* cmdTest;
    QLabel* lblTest;
    QListWidget* lstFolders;
    QLabel* lblCertificate;
    QCheckBox* chkTrust;
    QLabel* lblProblem;
    QPushButton* cmdOkay;
    QPushButton* cmdCancel;

Q_SIGNALS:
    // A connection test ended and its outcome is shown.
    void connectionTested();

private:
    void cbSecurity_Change();
    void cmdTest_Click();
    void showTest(const platform::imap::ConnectionTest& test);
    QString problem() const;

    SecretStore* m_keyring;
    QString m_fingerprint; // of the certificate last refused, to trust when ticked
    QString m_keyringProblem;
    bool m_testing = false;
};

} // namespace kestrel::shell
