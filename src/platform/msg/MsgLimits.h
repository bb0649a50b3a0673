#pragma once

// What one .msg file may hold. The writer refuses what the reader would refuse,
// so that every file written can be read back; the reader's limits keep a
// hostile file to bounded time and memory.

#include "MsgObject.h"

#include <QString>

#include <optional>

namespace kestrel::platform::msg {

namespace limits {
inline constexpr qint64 MaxFileSize = qint64(1) << 30; // bytes of the whole file
inline constexpr int MaxDepth = 24;                    // embedded inside embedded messages
inline constexpr int MaxProperties = 1 << 16;          // values of one object
// libgsf sorts a storage's children on every insert and finds them by a linear
// search: time grows with the square of the entries of one storage, and these
// keep writing and reading a message to a few seconds each way.
inline constexpr int MaxRecipients = 4096;  // per message
inline constexpr int MaxAttachments = 4096; // per message
inline constexpr int MaxObjects = 1 << 18;  // recipients and attachments in a file
} // namespace limits

// Why `message` cannot be written as one file that reads back; nullopt when it can.
std::optional<QString> exceedsLimits(const MsgObject& message);

} // namespace kestrel::platform::msg
