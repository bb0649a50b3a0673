#pragma once

// The Date, Subject and From fields of a header block, found without a MIME
// parse and decoded with GMime's own routines, so that they read exactly as
// MessageHeaders::parse reads them, at a fraction of its cost. A run reads
// these fields for every message of a folder; the other fields are rarer.
//
// Blocks that the parser reads in ways of its own are left to it: 8-bit text
// that is not UTF-8 (decoded with a fallback charset), lines that are not
// fields, odd field names, bare CRs, NULs and very long blocks. Then
// readable() is false and the caller parses the block.

#include "MessageHeaders.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace kestrel::platform::maildir {

class HeaderFields {
public:
    explicit HeaderFields(QByteArray block);

    bool readable() const { return m_readable; }
    std::optional<qint64> dateMsecs() const; // the last Date field, epoch milliseconds
    QString subject() const;                 // the last Subject field, decoded
    QList<MailAddress> from() const;         // the mailboxes of every From field
    // Mail when the first Content-Type field cannot name a report, a meeting or
    // a multipart body; nullopt when only MessageHeaders::kindOf can tell.
    std::optional<ContentKind> plainKind() const;

private:
    struct Range {
        qsizetype begin = -1; // just after the colon
        qsizetype end = -1;   // before the line end that closes the field
        bool found() const { return begin >= 0; }
    };
    bool scan();
    QByteArray raw(Range range) const;
    QByteArray decodedText(Range range) const;
    // The value of a one-line field of plain ASCII text, which GMime's
    // unfolding and decoding would only trim; nullopt for anything else.
    std::optional<QByteArrayView> plainText(Range range) const;

    QByteArray m_block;
    bool m_readable = false;
    Range m_date;
    Range m_subject;
    QList<Range> m_from;
    Range m_contentType; // the first one, as MessageHeaders::kindOf reads it
};

} // namespace kestrel::platform::maildir
