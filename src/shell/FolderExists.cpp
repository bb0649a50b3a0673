#include "FolderExists.h"

#include "engine/PathRoutines.h"

#include <QDir>

namespace kestrel::shell {

bool FolderExists(const QString& path)
{
    const QDir folder(engine::AddPathSeparator(path));
    // A readable directory lists at least "." and "..".
    return folder.exists() &&
           !folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::System).isEmpty();
}

} // namespace kestrel::shell
