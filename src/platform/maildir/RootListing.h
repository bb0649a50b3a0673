#pragma once

// The folder directories of Maildir++ roots (".Name", ".A.B" and links posing
// as them), sorted by their bytes. A root of thousands of folders is read
// again only when it changed: every folder lookup asks for it, and a tree of
// 2,000 folders would otherwise read it thousands of times.

#include "FolderRef.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

namespace kestrel::platform::maildir {

struct RootDirectories {
    // Names keep their bytes (NativeName.h), so that no folder is skipped for its name.
    QStringList names;
    // Subfolder lists worked out from these names, by the parent's directory
    // name; they go with the names when the root is read again.
    struct Children {
        QStringList parentNames;
        QList<FolderRef> refs;
    };
    mutable QHash<QString, Children> children;
};

class RootListing {
public:
    // Empty when the root cannot be read.
    std::shared_ptr<const RootDirectories> folderDirectories(const QString& root);
    // The root was changed here (a folder made): it is read again at the next look.
    void forget(const QString& root);

private:
    struct Listed {
        qint64 mtimeNs = -1; // the root's, read before the listing
        qint64 listedAtNs = 0;
        std::shared_ptr<const RootDirectories> directories;
    };
    QHash<QString, Listed> m_roots;
};

} // namespace kestrel::platform::maildir
