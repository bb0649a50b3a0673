#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kestrel::shell {

// Asks for the password of one server login, with the server's words when it
// refused the last one.
class frmPassword : public QDialog {
    Q_OBJECT
public:
    // login: "user@host"; whyAsked: the server's words, or empty.
    frmPassword(const QString& login, const QString& whyAsked, QWidget* owner = nullptr);

    QString password() const;
    bool remember() const;

    QLabel* lblPrompt;
    QLabel* lblReason;
    QLineEdit* txtPassword;
    QCheckBox* chkRemember;
    QPushButton* cmdOkay;
    QPushButton* cmdCancel;
};

} // namespace kestrel::shell
