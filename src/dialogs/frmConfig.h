#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace kestrel::dialogs {

// The configuration dialog: the pattern that names exported .msg files, with
// the list of its tokens. Both buttons only hide the dialog.
class frmConfig : public QDialog {
    Q_OBJECT
public:
    explicit frmConfig(QWidget* owner = nullptr);

    void setMSGPattern(const QString& pattern);
    // The edited pattern with blanks removed at both ends.
    QString MSGPattern() const;
    // True when the dialog was left with Cancel (or closed any other way).
    bool IsCanceled() const { return m_canceled; }

    void reject() override;

    QTabWidget* TabControl1;
    QLabel* Label1;
    QLineEdit* txtMSGPattern;
    QLabel* lblPatternHelp;
    QPushButton* cmdOkay;
    QPushButton* cmdCancel;

private:
    bool m_canceled = false;
};

// The help text as stored, with its two-character "\n" and "\t" sequences,
// and as shown: one line per token, the token, four blanks and its meaning.
QString storedPatternHelp();
QString expandPatternHelp(const QString& stored);

} // namespace kestrel::dialogs
