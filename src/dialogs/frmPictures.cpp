#include "frmPictures.h"

#include "SvgPicture.h"

#include <QLabel>

namespace kestrel::dialogs {

static QLabel* pictureLabel(QWidget* owner, const char* name, const QString& path)
{
    auto* label = new QLabel(owner);
    label->setObjectName(QString::fromLatin1(name));
    label->setPixmap(svgPicture(path, QSize(frmPictures::kPictureSize, frmPictures::kPictureSize)));
    return label;
}

frmPictures::frmPictures(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmPictures"));
    imgMove = pictureLabel(this, "imgMove", QStringLiteral(":/dialogs/action-move.svg"));
    imgCopy = pictureLabel(this, "imgCopy", QStringLiteral(":/dialogs/action-copy.svg"));
    imgDelete = pictureLabel(this, "imgDelete", QStringLiteral(":/dialogs/action-delete.svg"));
}

QPixmap frmPictures::actionPicture(int action) const
{
    switch (action) {
    case 0:
        return imgMove->pixmap();
    case 1:
        return imgCopy->pixmap();
    case 2:
        return imgDelete->pixmap();
    default:
        return {};
    }
}

} // namespace kestrel::dialogs
