#include "platform/MsgCodec.h"

#include "AtomicFileWriter.h"
#include "LargeStack.h"
#include "MimeToMsg.h"
#include "MsgStorageReader.h"
#include "MsgStorageWriter.h"
#include "MsgToMime.h"

#include <QFile>

// Referenced by a link option of kestrel_platform so that this object is always
// linked, ahead of any weak stand-in for the functions below.
extern "C" const int kestrel_msg_codec_linked = 1;

namespace kestrel::platform::msg {

namespace {

// Bigger files are refused before reading: no mail item comes near this.
constexpr qint64 MaxFileSize = qint64(1) << 30;

void setError(PlatformError* error, ErrorKind kind, const QString& text, const QString& detail = {})
{
    if (error)
        *error = {kind, kind == ErrorKind::None ? 0 : -1, text, detail};
}

} // namespace

std::optional<QByteArray> encodeMsg(const MsgEnvelope& message, PlatformError* error)
{
    QString why;
    std::optional<QByteArray> bytes;
    runOnLargeStack([&] { bytes = writeMsgObject(mimeToMsg(message), &why); });
    if (!bytes) {
        setError(error, ErrorKind::Io, QStringLiteral("Cannot build the .msg file"), why);
        return std::nullopt;
    }
    setError(error, ErrorKind::None, {});
    return bytes;
}

std::optional<MsgEnvelope> decodeMsg(const QByteArray& data, PlatformError* error)
{
    QString why;
    auto message = readMsgObject(data, &why);
    if (!message) {
        setError(error, ErrorKind::Invalid, QStringLiteral("Not a readable .msg file"), why);
        return std::nullopt;
    }
    setError(error, ErrorKind::None, {});
    MsgEnvelope envelope;
    runOnLargeStack([&] { envelope = msgToMime(*message); });
    return envelope;
}

bool writeMsgFile(const MsgEnvelope& message, const QString& path, PlatformError* error)
{
    auto bytes = encodeMsg(message, error);
    if (!bytes)
        return false;
    return writeFileAtomically(path, *bytes, error);
}

std::optional<MsgEnvelope> readMsgFile(const QString& path, PlatformError* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        const ErrorKind kind = !file.exists() ? ErrorKind::NotFound
                               : file.error() == QFileDevice::PermissionsError
                                   ? ErrorKind::AccessDenied
                                   : ErrorKind::Io;
        setError(error, kind, QStringLiteral("Cannot open the .msg file"),
                 path + QStringLiteral(": ") + file.errorString());
        return std::nullopt;
    }
    if (file.size() > MaxFileSize) {
        setError(error, ErrorKind::Invalid, QStringLiteral("The .msg file is too large"), path);
        return std::nullopt;
    }
    // Read, not mapped: a file cut short under a mapping would kill the process.
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        setError(error, ErrorKind::Io, QStringLiteral("Cannot read the .msg file"),
                 path + QStringLiteral(": ") + file.errorString());
        return std::nullopt;
    }
    auto result = decodeMsg(data, error);
    if (!result && error)
        error->detail = path + QStringLiteral(": ") + error->detail;
    return result;
}

} // namespace kestrel::platform::msg
