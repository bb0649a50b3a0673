#pragma once

// MIME message (with the store's flags and times) to the property model of an
// Outlook item.

#include "MsgObject.h"
#include "platform/MsgCodec.h"

namespace kestrel::platform::msg {

// Never fails: whatever GMime makes of malformed input is written.
MsgObject mimeToMsg(const MsgEnvelope& envelope);

} // namespace kestrel::platform::msg
