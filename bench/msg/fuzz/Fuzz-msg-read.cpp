// libFuzzer: the .msg reader on arbitrary bytes. It must answer (a message or
// an error) without crashing, hanging or unbounded memory.

#include "platform/MsgCodec.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace kestrel::platform;
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    PlatformError error;
    auto message = msg::decodeMsg(bytes, &error);
    if (message.has_value() != error.ok())
        __builtin_trap();
    return 0;
}
