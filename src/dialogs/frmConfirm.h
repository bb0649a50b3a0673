#pragma once

#include <QDialog>
#include <QList>
#include <QPixmap>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace kestrel::dialogs {

// The confirmation before a run: the action in large letters, its picture,
// the source and the destination, Confirm and Cancel. Both buttons only hide
// the dialog; the caller reads IsCanceled and IsShowDialog afterwards.
class frmConfirm : public QDialog {
    Q_OBJECT
public:
    explicit frmConfirm(QWidget* owner = nullptr);

    // The Action code: 0 move, 1 copy, 2 delete picks the picture.
    void setActionMode(int action);
    void setSourceFolder(const QString& text);
    void setDestinationFolder(const QString& text);
    // The caption of the destination frame.
    void setDestinationType(const QString& text);
    void setActionDescription(const QString& text);
    void setActionColour(const QColor& colour);

    // True when the dialog was left with Cancel (or closed any other way).
    bool IsCanceled() const { return m_canceled; }
    // True when "do not show again" is not ticked.
    bool IsShowDialog() const;
    void setShowDialog(bool show);

    // Cancel, Escape and closing the window all mean Cancel.
    void reject() override;

    QLabel* lblAction;
    QLabel* imgAction;
    QList<QPixmap> imgList; // move, copy, delete
    QLabel* Image1;
    QGroupBox* GroupBox2;
    QLabel* lblSource;
    QGroupBox* fraDestination;
    QLabel* lblDestination;
    QCheckBox* chkDoNotShow;
    QPushButton* cmdConfirm;
    QPushButton* cmdCancel;

private:
    bool m_canceled = false;
};

} // namespace kestrel::dialogs
