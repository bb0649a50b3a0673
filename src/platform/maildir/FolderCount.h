#pragma once

// How many messages a folder holds, without listing it: the entries of its
// cur/ and new/ that are neither hidden nor directories (what a listing would
// give), from one directory read each and no stat per message. Only a file
// system that gives no entry types costs a stat, and only for such entries.

#include "../PlatformError.h"

#include <QString>

#include <optional>

namespace kestrel::platform::maildir {

// The messages in the directory `name` below the open directory `parentFd`,
// never following a link. nullopt with errno set when it cannot be opened.
std::optional<qint64> countMessageEntries(int parentFd, const char* name);

// A folder without cur/ or new/ counts what is there. A folder whose
// directories are links or no directories, or cannot be read, fails and says
// why in *error. The store root (Inbox) may itself be a link the user made.
std::optional<qint64> countFolderMessages(const QString& folderDir, bool storeRoot,
                                          PlatformError* error);

} // namespace kestrel::platform::maildir
