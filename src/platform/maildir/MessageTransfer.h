#pragma once

// Durable file operations on messages. A message is never lost: a new file is
// written into tmp/, fsynced and renamed into cur/ under a name that no file
// has (never overwriting), the directories are fsynced, and only then is a
// source removed. Within one file system a move is a single rename(2), so a
// kill at any moment leaves the message in the source, the destination, or
// (at worst, on the copy path) both.

#include "../PlatformError.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace kestrel::platform::maildir {

class MessageTransfer {
public:
    // Moves or copies the file at sourcePath into destDir/cur with the given
    // unique name and flags. A copy always gets a new unique name; a move keeps
    // its name unless the destination has one like it. The received time
    // (mtime) is kept. Returns the new file name.
    static std::optional<QString> transfer(const QString& sourcePath, const QString& destDir,
                                           const QString& unique, const QString& flags, bool copy,
                                           PlatformError* error);
    // Writes a new message into destDir/cur with mtime = receivedMsecs (now when < 0).
    static std::optional<QString> store(const QByteArray& content, const QString& destDir,
                                        const QString& flags, qint64 receivedMsecs,
                                        PlatformError* error);
    static bool remove(const QString& path, PlatformError* error);
};

} // namespace kestrel::platform::maildir
