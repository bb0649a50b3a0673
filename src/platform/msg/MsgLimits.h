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
// libgsf keeps a storage's children in a list sorted on every insert, also when
// it reads a file: time grows with the square of one storage's entries. At
// these counts a message still writes and reads in a few seconds each way
// (kestrel-bench-msg --recipients / --attachments).
inline constexpr int MaxRecipients = 10000;  // per message
inline constexpr int MaxAttachments = 10000; // per message
inline constexpr int MaxObjects = 1 << 18;   // recipients and attachments in a file
} // namespace limits

// Why `message` cannot be written as one file that reads back; nullopt when it can.
std::optional<QString> exceedsLimits(const MsgObject& message);

} // namespace kestrel::platform::msg
