#include "DiskFolders.h"

#include "PathRoutines.h"
#include "platform/FolderPath.h"

#include <QDir>
#include <QFileInfo>

namespace kestrel::engine {

QString RelativeFolderPath(const QString& shortFolderPath)
{
    const platform::FolderPath path = platform::FolderPath::parse(shortFolderPath);
    return path.names().isEmpty() ? platform::FolderPath::escape(path.store())
                                  : path.relativeString();
}

QString DiskFolderName(const QString& folderName)
{
    // Escaped as in a folder path, so that the disk source reads the same name
    // back and "." and ".." never climb or stand still; any other leading dot
    // would hide the directory from the disk source.
    const QString escaped = platform::FolderPath::escape(folderName);
    return escaped.startsWith('.') ? QStringLiteral("%2E") + escaped.mid(1) : escaped;
}

QString GetDiskTargetFolder(const QString& root, const QString& shortFolderPath)
{
    const platform::FolderPath path = platform::FolderPath::parse(shortFolderPath);
    QStringList levels;
    for (const QString& name : path.names().isEmpty() ? QStringList{path.store()} : path.names())
        levels.append(DiskFolderName(name));
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
