#pragma once

// A message's flag letters in a folder and the flags and keywords a message
// carries between backends.

#include "../MailPlatform.h"

#include <optional>

namespace kestrel::platform::maildir {

// Fills message.flags and message.keywords from the letters of a file in folderDir.
void readRawFlags(const QString& letters, const QString& folderDir, RawMessage& message);
// The letters for message in folderDir, its keywords added to the folder's
// keyword file; nothing when a keyword finds no room.
std::optional<QString> rawFlagLetters(const RawMessage& message, const QString& folderDir,
                                      PlatformError* error);

} // namespace kestrel::platform::maildir
