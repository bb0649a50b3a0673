#include "DiskListing.h"

#include "PathRoutines.h"

#include <QDir>

namespace kestrel::engine {

QStringList GetFileList(const QString& folderPath, const QString& pattern)
{
    // Without QDir::Hidden and QDir::System, hidden files, sockets, pipes and
    // devices stay out; NoSymLinks keeps links (even to regular files) out.
    const QDir dir(AddPathSeparator(folderPath), pattern, QDir::Unsorted,
                   QDir::Files | QDir::NoSymLinks | QDir::NoDotAndDotDot);
    return dir.entryList();
}

QStringList GetSubFolders(const QString& folderPath)
{
    const QString path = AddPathSeparator(folderPath);
    const QDir dir(path, QString(), QDir::Unsorted,
                   QDir::Dirs | QDir::NoSymLinks | QDir::NoDotAndDotDot);
    QStringList result;
    for (const QString& name : dir.entryList())
        result.append(path + name);
    return result;
}

QString GetFolderOffset(const QString& topFolder, const QString& childFolder)
{
    QString offset = childFolder.mid(topFolder.size());
    if (offset.endsWith('/'))
        offset.chop(1);
    return offset;
}

QString GetLastFolder(const QString& folderPath)
{
    return folderPath.mid(folderPath.lastIndexOf('/') + 1);
}

} // namespace kestrel::engine
