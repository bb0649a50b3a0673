#pragma once

// PR_RTF_COMPRESSED (MS-OXRTFCP): the LZFu decompressor, and the uncompressed
// "MELA" form that writers may use instead of compressing.

#include <QByteArray>

#include <cstdint>
#include <optional>

namespace kestrel::platform::msg {

// The RTF inside; nullopt when the header is wrong, the CRC does not match or
// the data runs out. Output never exceeds `maxSize` bytes.
std::optional<QByteArray> decompressRtf(const QByteArray& compressed,
                                        qsizetype maxSize = 64 * 1024 * 1024);

// RTF wrapped in the 16-byte header with the "MELA" (uncompressed) magic.
QByteArray wrapUncompressedRtf(const QByteArray& rtf);

// The CRC-32 variant of the format (no pre- or post-inversion).
std::uint32_t rtfCrc(const char* data, qsizetype size);

} // namespace kestrel::platform::msg
