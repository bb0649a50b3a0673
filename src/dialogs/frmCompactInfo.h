#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;

namespace kestrel::dialogs {

// The performance tip shown when the program closes after a run: compact
// the data file; the user can switch it off with its check box.
class frmCompactInfo : public QDialog {
    Q_OBJECT
public:
    explicit frmCompactInfo(QWidget* owner = nullptr);

    // The state of chkNoShow at its last click; false until it is clicked.
    bool IsNoShow() const { return m_noShow; }

    QLabel* Label1;
    QLabel* lblInfo;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QCheckBox* chkNoShow;
    QPushButton* cmdOkay;
    QLabel* Image1;

private:
    bool m_noShow = false;
};

} // namespace kestrel::dialogs
