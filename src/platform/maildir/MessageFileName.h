#pragma once

// Message file names in cur/ and new/: "<unique>:2,<flags>", Dovecot style
// "<epoch>.M<usec>P<pid>Q<n>.<host>,S=<size>:2,<flags>". Flags are upper-case
// system flags and lower-case keyword letters, kept in ASCII order.

#include <QString>

#include <optional>

namespace kestrel::platform::maildir {

struct MessageFileName {
    QString unique;       // everything before ":2," (the message's identity)
    QString flags;        // after ":2,", sorted; empty in new/
    bool hasInfo = false; // ":2," present

    static MessageFileName parse(const QString& fileName);
    QString toString() const; // unique, then ":2," and the flags

    bool hasFlag(QChar flag) const { return flags.contains(flag); }
    // ",S=<n>" inside the unique part, when present.
    std::optional<qint64> sizeField() const;
    // The same, read straight from a file name (without parsing it).
    static std::optional<qint64> sizeFieldOf(QStringView fileName);
    // Seconds since the epoch (with microseconds when ".M<usec>" follows) at the
    // start of the unique part; nothing for names that do not start that way.
    std::optional<qint64> creationMsecs() const;
};

// Sorts and de-duplicates flag letters.
QString normalizeFlags(const QString& flags);

// A fresh unique part for a file that enters a folder now.
QString newUniqueName(qint64 size);

} // namespace kestrel::platform::maildir
