#pragma once

// Reads the storages and streams of an MS-OXMSG file back into a message tree,
// within the limits of MsgLimits.h, so that a hostile file costs bounded time
// and memory.

#include "MsgObject.h"

#include <QString>

namespace kestrel::platform::msg {

// Returns nullopt and sets *error when the file cannot be read as a message.
// Attachment bytes may be those of `file` itself: it must outlive the result.
std::optional<MsgObject> readMsgObject(const QByteArray& file, QString* error);

} // namespace kestrel::platform::msg
