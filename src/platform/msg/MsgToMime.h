#pragma once

// The property model of an Outlook item to a MIME message with the store's
// flags and times.

#include "MsgObject.h"
#include "platform/MsgCodec.h"

namespace kestrel::platform::msg {

MsgEnvelope msgToMime(const MsgObject& message);

} // namespace kestrel::platform::msg
