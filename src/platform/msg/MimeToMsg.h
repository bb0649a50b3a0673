#pragma once

// MIME message (with the store's flags and times) to the property model of an
// Outlook item.

#include "MsgObject.h"
#include "platform/MsgCodec.h"

#include <optional>

namespace kestrel::platform::msg {

// Whatever GMime makes of malformed input is written; nullopt and *why only for
// a message a file cannot hold faithfully (NUL bytes, parts nested too deep,
// too many recipients).
std::optional<MsgObject> mimeToMsg(const MsgEnvelope& envelope, QString* why);

} // namespace kestrel::platform::msg
