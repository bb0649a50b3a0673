#include "TempDir.h"

#include <QDir>

namespace kestrel::test {

TempDir::TempDir() : m_dir(QDir::tempPath() + "/kestrel-test-XXXXXX") {}

QString corpusPath(const QString& relative)
{
    return QDir(QStringLiteral(KESTREL_SHARED_DIR "/corpus")).filePath(relative);
}

} // namespace kestrel::test
