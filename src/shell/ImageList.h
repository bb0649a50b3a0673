#pragma once

#include <QList>
#include <QObject>
#include <QPixmap>

namespace kestrel::shell {

// A numbered set of small pictures, addressed from 1 (imgCheckBoxes: 1 an
// empty box, 2 a ticked box).
class ImageList : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    void add(const QPixmap& picture) { m_pictures.append(picture); }
    int count() const { return int(m_pictures.size()); }
    // A null pixmap outside 1..count().
    QPixmap image(int index) const
    {
        return index >= 1 && index <= count() ? m_pictures[index - 1] : QPixmap();
    }

private:
    QList<QPixmap> m_pictures;
};

} // namespace kestrel::shell
