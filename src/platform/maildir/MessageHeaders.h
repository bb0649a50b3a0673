#pragma once

// The facts the platform reads from a message's header block, parsed with
// GMime. Only the header block is read from disk (up to kMaxHeaderBytes).

#include "../MailAddress.h"
#include "../PlatformError.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace kestrel::platform::maildir {

using platform::MailAddress;

enum class ContentKind { Mail, Report, Meeting, MaybeMeeting };

struct MessageHeaders {
    QString subject;
    QList<MailAddress> from;
    QList<MailAddress> to;
    QList<MailAddress> cc;
    QList<MailAddress> bcc;
    QList<MailAddress> deliveredTo;  // Delivered-To and X-Original-To
    std::optional<qint64> dateMsecs; // Date:, epoch milliseconds
    // MaybeMeeting: a multipart whose parts must be looked at (see isMeetingMessage).
    ContentKind kind = ContentKind::Mail;

    static MessageHeaders parse(const QByteArray& headerBlock);
    // The kind alone, from the Content-Type field: far cheaper than parse(),
    // and all that deciding whether an item is mail needs.
    static ContentKind kindOf(const QByteArray& headerBlock);
};

inline constexpr qint64 kMaxHeaderBytes = 1024 * 1024;

// The bytes up to and including the blank line that ends the headers (or the
// whole file when it has none, capped). Fails with NotFound/AccessDenied/Io.
std::optional<QByteArray> readHeaderBlock(const QString& path, PlatformError* error);
// The same from a file opened by the caller (openMessageFile*), which it closes.
std::optional<QByteArray> readHeaderBlock(int fd, const QString& path, PlatformError* error);

// Appends the mailboxes of an address field's raw value, members of groups
// included, as GMime parses them.
void appendParsedAddresses(const QByteArray& rawValue, QList<MailAddress>& out);

// True when a multipart message holds a text/calendar part with a method.
bool isMeetingMessage(const QByteArray& wholeMessage);

} // namespace kestrel::platform::maildir
