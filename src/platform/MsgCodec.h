#pragma once

// Outlook .msg files (MS-OXMSG in an MS-CFB compound file) to and from a
// MIME message as a Maildir store holds it, plus the facts that live beside
// the MIME text in a store (flags, received time).

#include "PlatformError.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

namespace kestrel::platform {
struct RawMessage;
}

namespace kestrel::platform::msg {

struct MsgEnvelope {
    QByteArray mime; // RFC 5322 message, CRLF or LF line ends
    bool unread = false;
    bool noAging = false;           // the "No Archive" mark
    bool flagged = false;           // marked for follow-up
    bool answered = false;          // replied to
    bool forwarded = false;         // passed on
    QDateTime receivedTime;         // invalid = unknown
    QDateTime creationTime;         // invalid = unknown
    QDateTime lastModificationTime; // invalid = unknown
    QString messageClass;           // "IPM.Note", ...; empty = derived from the content
};

// Writes to a temporary name in the target directory, fsyncs, renames into
// place. Returns false and fills *error on failure; never leaves a partial
// file under the final name.
bool writeMsgFile(const MsgEnvelope& message, const QString& path, PlatformError* error);

// Reads a .msg file. Damaged or hostile input gives std::nullopt and *error,
// with bounded memory and time.
std::optional<MsgEnvelope> readMsgFile(const QString& path, PlatformError* error);

// The .msg file for a new message's importFile, in any backend: refuses a
// format other than kMsgFormat and a message that is saved already.
std::optional<MsgEnvelope> readMsgForImport(const QString& path, int format, bool isNewMessage,
                                            PlatformError* error);

// A converted message as it is handed to a store of another backend: its MIME
// bytes, with the read state and marks as flags and keywords.
RawMessage rawMessageOf(const MsgEnvelope& message);

// In-memory forms, for the fuzzers and tests.
std::optional<QByteArray> encodeMsg(const MsgEnvelope& message, PlatformError* error);
std::optional<MsgEnvelope> decodeMsg(const QByteArray& data, PlatformError* error);

} // namespace kestrel::platform::msg
