#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace kestrel::dialogs {

// The single-store warning: archiving needs a second data file, or a disk folder.
class frmNoArchiveWarning : public QDialog {
    Q_OBJECT
public:
    explicit frmNoArchiveWarning(QWidget* owner = nullptr);

    QLabel* lblText;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QPushButton* cmdOkay;
};

} // namespace kestrel::dialogs
