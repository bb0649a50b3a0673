#pragma once

#include <QPixmap>
#include <QWidget>

class QLabel;

namespace kestrel::dialogs {

// Never shown: holds the pictures of the three actions (imgMove, imgCopy,
// imgDelete) that the main window copies beside its action list.
class frmPictures : public QWidget {
    Q_OBJECT
public:
    explicit frmPictures(QWidget* parent = nullptr);

    QLabel* imgMove;
    QLabel* imgCopy;
    QLabel* imgDelete;

    // The picture of action position 0 (move), 1 (copy) or 2 (delete); null otherwise.
    QPixmap actionPicture(int action) const;

    static constexpr int kPictureSize = 32;
};

} // namespace kestrel::dialogs
