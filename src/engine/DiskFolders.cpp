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

QString GetDiskTargetFolder(const QString& root, const QString& shortFolderPath)
{
    QString relative = RelativeFolderPath(shortFolderPath);
    relative.replace('\\', '/');
    return root + relative;
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
        if (part.trimmed().isEmpty())
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
