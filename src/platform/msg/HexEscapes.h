#pragma once

#include <QByteArray>

namespace kestrel::platform::msg {

// Undoes "<escape>XX" hex escapes (RFC 2047 Q words, Exchange's IMCEA form);
// `alias` stands for `aliasValue` ("_" for a space, "_" for "/").
QByteArray unescapeHex(const QByteArray& text, char escape, char alias, char aliasValue);

} // namespace kestrel::platform::msg
