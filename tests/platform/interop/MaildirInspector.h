#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

namespace kestrel::test {

// Reads Maildir++ trees straight from disk, independently of the backend.
class MaildirInspector {
public:
    // Message files (cur/ and new/) of one folder directory, sorted.
    static QStringList messageFiles(const QString& folderDir);
    // Folder directories of a store: the root and every ".Name" beside it.
    static QStringList folderDirs(const QString& storeRoot);
    // SHA-256 of every message file in the stores, with how often each occurs.
    static QMap<QByteArray, int> contentHashes(const QStringList& storeRoots);
    // One hash over every file's relative path and content, and message files' mtimes.
    static QByteArray treeDigest(const QString& root);
    // The flag letters after ":2," (empty for new/ and for no flags).
    static QString flagsOf(const QString& fileName);
};

} // namespace kestrel::test
