#include "platform/MsgCodec.h"

#include "AtomicFileWriter.h"
#include "MimeToMsg.h"
#include "MsgLimits.h"
#include "MsgStorageReader.h"
#include "MsgStorageWriter.h"
#include "MsgToMime.h"
#include "platform/MailPlatform.h"

#include <QFile>
#include <QScopeGuard>

namespace kestrel::platform::msg {

namespace {

void setError(PlatformError* error, ErrorKind kind, const QString& text, const QString& detail = {})
{
    if (error)
        *error = {kind, kind == ErrorKind::None ? 0 : -1, text, detail};
}

} // namespace

std::optional<QByteArray> encodeMsg(const MsgEnvelope& message, PlatformError* error)
{
    const auto refuse = [error](const QString& why) -> std::optional<QByteArray> {
        setError(error, ErrorKind::Invalid, QStringLiteral("The message does not fit a .msg file"),
                 why);
        return std::nullopt;
    };
    // Decoding shrinks encoded parts by a quarter at most: a bigger text cannot
    // fit, and is not parsed only to find that out.
    if (message.mime.size() > limits::MaxFileSize / 3 * 4)
        return refuse(QStringLiteral("the message has %1 MB, the file may have %2 MB")
                          .arg(message.mime.size() >> 20)
                          .arg(limits::MaxFileSize >> 20));
    QString why;
    const std::optional<MsgObject> object = mimeToMsg(message, &why);
    if (!object)
        return refuse(why);
    if (auto over = exceedsLimits(*object))
        return refuse(*over);
    std::optional<QByteArray> bytes = writeMsgObject(*object, &why);
    if (!bytes) {
        setError(error, ErrorKind::Io, QStringLiteral("Cannot build the .msg file"), why);
        return std::nullopt;
    }
    if (bytes->size() > limits::MaxFileSize)
        return refuse(QStringLiteral("the file would have %1 MB, more than the %2 MB it may have")
                          .arg(bytes->size() >> 20)
                          .arg(limits::MaxFileSize >> 20));
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
    return msgToMime(*message);
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
    if (file.size() > limits::MaxFileSize) {
        setError(error, ErrorKind::Invalid, QStringLiteral("The .msg file is too large"), path);
        return std::nullopt;
    }
    // Read, not mapped: a file cut short under a mapping would kill the process.
    // Into a buffer kept for the next file: fresh memory costs a page fault per
    // 4 kB at first touch, more than decoding a large file takes. Only a
    // buffer of a few megabytes is kept, not one for the largest file read.
    constexpr qint64 kKeptBuffer = qint64(16) << 20;
    static thread_local QByteArray kept;
    QByteArray data;
    if (file.size() <= kKeptBuffer) {
        data = std::move(kept);
        data.resize(file.size());
        data.resize(std::max<qint64>(file.read(data.data(), data.size()), 0));
        if (!file.atEnd() && file.error() == QFileDevice::NoError)
            data += file.readAll(); // grew while read
    } else {
        data = file.readAll();
    }
    const auto keep = qScopeGuard([&data] {
        if (data.size() <= kKeptBuffer)
            kept = std::move(data);
    });
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

std::optional<MsgEnvelope> readMsgForImport(const QString& path, int format, bool isNewMessage,
                                            PlatformError* error)
{
    if (format != kMsgFormat) {
        *error = {
            ErrorKind::Unsupported, -1, QStringLiteral("Only .msg files can be imported"), {}};
        return std::nullopt;
    }
    if (!isNewMessage) {
        *error = {ErrorKind::Unsupported,
                  -1,
                  QStringLiteral("Only a new message can take the content of a file"),
                  {}};
        return std::nullopt;
    }
    return readMsgFile(path, error);
}

RawMessage rawMessageOf(const MsgEnvelope& message)
{
    RawMessage raw;
    raw.content = message.mime;
    for (const auto& [set, flag] : {std::pair{!message.unread, "\\Seen"},
                                    {message.flagged, "\\Flagged"},
                                    {message.answered, "\\Answered"}}) {
        if (set)
            raw.flags.append(QLatin1String(flag));
    }
    if (message.forwarded)
        raw.keywords.append(QStringLiteral("$Forwarded"));
    if (message.noAging)
        raw.keywords.append(QStringLiteral("$NoArchive"));
    raw.received = message.receivedTime;
    return raw;
}

} // namespace kestrel::platform::msg
