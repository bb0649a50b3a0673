#pragma once

// GMime parses a header field in stack and memory that grow with its length
// (its address parser recurses per word and per nested group). Before GMime
// sees a header block, every field is brought under MaxFieldBytes and every
// address under MaxAddressBytes: an address field is split at its commas into
// several fields of the same name, which GMime joins again, so no recipient is
// lost; any other field is cut at a line end.

#include <QByteArray>

namespace kestrel::platform::msg {

inline constexpr qsizetype MaxFieldBytes = 64 * 1024;
inline constexpr qsizetype MaxAddressBytes = 4 * 1024; // far beyond any real name and address

struct BoundedHeaders {
    QByteArray block;         // the header block with every field bounded
    bool changed = false;     // false: `block` is the input as it was
    qsizetype recipients = 0; // addresses in To, Cc and Bcc, counted by their commas
};

// `block`: the header fields of a message, up to (not including) the empty line.
BoundedHeaders boundHeaders(const QByteArray& block);

} // namespace kestrel::platform::msg
