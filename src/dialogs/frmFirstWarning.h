#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace kestrel::dialogs {

// The first-run warning: back up the data files before using the tool.
class frmFirstWarning : public QDialog {
    Q_OBJECT
public:
    explicit frmFirstWarning(QWidget* owner = nullptr);

    QLabel* Label1;
    QLabel* Label2;
    QLabel* lblInfo;
    QLabel* Image1;
    QPushButton* cmdOkay;
};

} // namespace kestrel::dialogs
