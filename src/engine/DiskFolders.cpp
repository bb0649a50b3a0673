#include "DiskFolders.h"

#include "PathRoutines.h"

#include <QDir>
#include <QFileInfo>

namespace kestrel::engine {

QString RelativeFolderPath(const QString& shortFolderPath)
{
    const qsizetype slash = shortFolderPath.indexOf('\\');
    return slash < 0 ? shortFolderPath : shortFolderPath.mid(slash + 1);
}

QString DiskFolderName(const QString& folderName)
{
    // "." and ".." would leave the level out or climb above it; any other
    // leading dot hides the directory from the disk source.
    static const QString dot = QStringLiteral("%2E");
    if (!folderName.isEmpty() && folderName.count('.') == folderName.size())
        return dot.repeated(folderName.size());
    return folderName.startsWith('.') ? dot + folderName.mid(1) : folderName;
}

QString GetDiskTargetFolder(const QString& root, const QString& shortFolderPath)
{
    QStringList levels = RelativeFolderPath(shortFolderPath).split('\\');
    for (QString& level : levels)
        level = DiskFolderName(level);
    return root + levels.join('/');
}

bool DiskFolderExists(const QString& path)
{
    return !path.isEmpty() && QFileInfo(path).isDir();
}

bool CreateDiskFolder(const QString& path)
{
    const QString trimmed = path.trimmed();
    if (trimmed.isEmpty())
        return false;
    QString current = trimmed.startsWith('/') ? QStringLiteral("/") : QString();
    for (const QString& part : AddPathSeparator(trimmed).split('/')) {
        if (part.isEmpty())
            continue;
        current += part + '/';
        if (DiskFolderExists(current))
            continue;
        if (!QDir().mkdir(current.chopped(1)))
            return false;
    }
    return true;
}

} // namespace kestrel::engine
