#pragma once

// Reads the storages and streams of an MS-OXMSG file back into a message tree,
// with limits on nesting, counts and sizes so that a hostile file costs bounded
// time and memory.

#include "MsgObject.h"

#include <QString>

namespace kestrel::platform::msg {

struct MsgReadLimits {
    int maxDepth = 24;            // embedded messages inside embedded messages
    int maxProperties = 1 << 16;  // entries in one property stream
    int maxRecipients = 1 << 16;  // per message
    int maxAttachments = 1 << 14; // per message
    int maxObjects = 1 << 18;     // recipients + attachments in the whole file
};

// Returns nullopt and sets *error when the file cannot be read as a message.
std::optional<MsgObject> readMsgObject(const QByteArray& file, QString* error,
                                       const MsgReadLimits& limits = {});

} // namespace kestrel::platform::msg
