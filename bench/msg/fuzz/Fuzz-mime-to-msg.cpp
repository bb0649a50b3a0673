// libFuzzer: arbitrary bytes as a MIME message, written as .msg and read back.
// Writing must succeed, or refuse the message with its reason (headers with NUL
// bytes, say), and our own reader must take what was written.

#include "platform/MsgCodec.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace kestrel::platform;
    msg::MsgEnvelope envelope;
    envelope.mime = QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
    envelope.unread = size % 2;
    envelope.noAging = size % 3 == 0;
    PlatformError error;
    auto bytes = msg::encodeMsg(envelope, &error);
    if (!bytes && (error.kind != ErrorKind::Invalid || error.detail.isEmpty()))
        __builtin_trap();
    if (!bytes)
        return 0;
    auto back = msg::decodeMsg(*bytes, &error);
    if (!back || back->unread != envelope.unread || back->noAging != envelope.noAging)
        __builtin_trap();
    return 0;
}
