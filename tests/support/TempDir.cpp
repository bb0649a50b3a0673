#include "TempDir.h"

#include <QDir>
#include <QDirIterator>

namespace kestrel::test {

TempDir::TempDir() : m_dir(QDir::tempPath() + "/kestrel-test-XXXXXX") {}

QString corpusPath(const QString& relative)
{
    return QDir(QStringLiteral(KESTREL_SHARED_DIR "/corpus")).filePath(relative);
}

QStringList filesBelow(const QString& dir, const QString& pattern)
{
    QStringList out;
    QDirIterator it(dir, {pattern}, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        out << QDir(dir).relativeFilePath(it.next());
    out.sort();
    return out;
}

} // namespace kestrel::test
