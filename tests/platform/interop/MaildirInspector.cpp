#include "MaildirInspector.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace kestrel::test {

QStringList MaildirInspector::messageFiles(const QString& folderDir)
{
    QStringList files;
    for (const char* sub : {"cur", "new"}) {
        const QDir dir(folderDir + '/' + sub);
        for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden, QDir::Name))
            files.append(dir.filePath(name));
    }
    return files;
}

QStringList MaildirInspector::folderDirs(const QString& storeRoot)
{
    QStringList dirs = {storeRoot};
    const QDir root(storeRoot);
    for (const QString& name :
         root.entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name)) {
        if (name.startsWith('.'))
            dirs.append(root.filePath(name));
    }
    return dirs;
}

QMap<QByteArray, int> MaildirInspector::contentHashes(const QStringList& storeRoots)
{
    QMap<QByteArray, int> hashes;
    for (const QString& store : storeRoots) {
        for (const QString& folder : folderDirs(store)) {
            for (const QString& path : messageFiles(folder)) {
                QFile file(path);
                QCryptographicHash hash(QCryptographicHash::Sha256);
                if (file.open(QIODevice::ReadOnly) && hash.addData(&file))
                    ++hashes[hash.result().toHex()];
                else
                    ++hashes["unreadable:" + QFile::encodeName(path)];
            }
        }
    }
    return hashes;
}

QByteArray MaildirInspector::treeDigest(const QString& root)
{
    QStringList paths;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        paths.append(it.next());
    paths.sort();
    QCryptographicHash digest(QCryptographicHash::Sha256);
    for (const QString& path : paths) {
        const QFileInfo info(path);
        digest.addData(QDir(root).relativeFilePath(path).toUtf8());
        // Message times are data; other files are stamped when written.
        if (path.contains(QLatin1String("/cur/")) || path.contains(QLatin1String("/new/")))
            digest.addData(QByteArray::number(info.lastModified().toSecsSinceEpoch()));
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            digest.addData(&file);
    }
    return digest.result().toHex();
}

QString MaildirInspector::flagsOf(const QString& fileName)
{
    const qsizetype at = fileName.lastIndexOf(QLatin1String(":2,"));
    return at < 0 ? QString() : fileName.mid(at + 3);
}

} // namespace kestrel::test
