// Temporary: stands in for the .msg codec until src/platform/msg lands.
#include "../MsgCodec.h"

namespace kestrel::platform::msg {

__attribute__((weak)) bool writeMsgFile(const MsgEnvelope&, const QString& path,
                                        PlatformError* error)
{
    if (error)
        *error = {ErrorKind::Unsupported, -1, QStringLiteral("No .msg codec"), path};
    return false;
}

__attribute__((weak)) std::optional<MsgEnvelope> readMsgFile(const QString& path,
                                                             PlatformError* error)
{
    if (error)
        *error = {ErrorKind::Unsupported, -1, QStringLiteral("No .msg codec"), path};
    return std::nullopt;
}

} // namespace kestrel::platform::msg
