#pragma once

// Identifier texts. Each names the store by its absolute path, so it finds the
// object again in any session over the same profile:
//   store    "kmk:store:<path>"
//   folder   "kmk:folder:<path>:<dir>"      dir as in FolderRef ("" = store root)
//   message  "kmk:msg:<path>:<dir>:<unique>" unique = the file name before ":2,",
//                                            which a flag change leaves alone
// Every field is percent-encoded, so ':' only separates fields.

#include <QString>

#include <optional>

namespace kestrel::platform::maildir {

struct EntryId {
    enum class Kind { Store, Folder, Message };
    Kind kind = Kind::Store;
    QString storePath;
    QString dirName;
    QString unique;

    QString toString() const;
    static std::optional<EntryId> parse(const QString& text);

    static QString forStore(const QString& storePath);
    static QString forFolder(const QString& storePath, const QString& dirName);
    static QString forMessage(const QString& storePath, const QString& dirName,
                              const QString& unique);
};

} // namespace kestrel::platform::maildir
