#include "ProgramFiles.h"

#include <QDir>
#include <QFileInfo>

namespace kestrel::engine {

QString ProgramDataDirectory(const QString& programDirectory, const QString& fileName,
                             const QString& dataFromProgram)
{
    const QDir beside(programDirectory);
    if (QFileInfo::exists(beside.filePath(fileName)))
        return beside.path();
    const QDir installed(QDir::cleanPath(beside.filePath(dataFromProgram)));
    if (!dataFromProgram.isEmpty() && QFileInfo::exists(installed.filePath(fileName)))
        return installed.path();
    return beside.path();
}

QString ProgramDataDirectory(const QString& programDirectory, const QString& fileName)
{
    return ProgramDataDirectory(programDirectory, fileName,
                                QStringLiteral(KESTREL_DATA_FROM_PROGRAM));
}

} // namespace kestrel::engine
