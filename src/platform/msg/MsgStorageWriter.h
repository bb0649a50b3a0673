#pragma once

// Lays a message tree out as MS-OXMSG storages and streams: property streams,
// one stream per variable-size value, recipient and attachment storages, and
// embedded messages below their attachments.

#include "MsgObject.h"

#include <QString>

namespace kestrel::platform::msg {

class CompoundWriter;

// The whole file: root class id, name map, then the message. Returns nullopt
// and sets *error on failure.
std::optional<QByteArray> writeMsgObject(const MsgObject& message, QString* error);

} // namespace kestrel::platform::msg
