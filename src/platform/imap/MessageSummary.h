#pragma once

// What one FETCH of (UID FLAGS INTERNALDATE RFC822.SIZE ENVELOPE
// BODYSTRUCTURE) tells about a message: every property an item answers
// without its body.

#include "../MailAddress.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

struct mailimap_msg_att;
struct mailimap_date_time;

namespace kestrel::platform::imap {

using Address = platform::MailAddress;

enum class MessageKind { Mail, Report, Meeting };

inline constexpr const char* kSeenFlag = "\\Seen";
inline constexpr const char* kNoArchiveKeyword = "$NoArchive";

struct MessageSummary {
    uint32_t uid = 0;
    QStringList flags;          // system flags ("\\Seen", ...), without \Recent
    QStringList keywords;       // every other flag
    qint64 received = -1;       // INTERNALDATE, epoch ms
    std::optional<qint64> sent; // the envelope's date
    qint64 size = -1;
    QString subject;
    QList<Address> from, to, cc, bcc;
    MessageKind kind = MessageKind::Mail;
    bool complete = false; // filled from a FETCH of all the above

    bool seen() const { return flags.contains(QLatin1String(kSeenFlag)); }
    bool noArchive() const;
};

// The summary in one FETCH response; uid 0 when it carries none.
MessageSummary summaryOf(const mailimap_msg_att* att);
// Flags and keywords of a FETCH response into summary (for a body fetch too).
void readFlags(const mailimap_msg_att* att, QStringList& flags, QStringList& keywords);

qint64 msecsOf(const mailimap_date_time* date);
// New, for APPEND; the caller owns it.
mailimap_date_time* dateTimeOf(const QDateTime& time);

} // namespace kestrel::platform::imap
