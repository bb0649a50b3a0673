#include "FolderExists.h"

#include "PathRoutines.h"

#include <QDir>

namespace kestrel::engine {

bool FolderExists(const QString& path)
{
    const QDir folder(AddPathSeparator(path));
    // A readable directory lists at least "." and "..".
    return folder.exists() &&
           !folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::System).isEmpty();
}

} // namespace kestrel::engine
