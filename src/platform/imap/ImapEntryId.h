#pragma once

// Identifier texts of IMAP objects. The store is named by its Name in the
// profile; every field is percent-encoded, so ':' only separates fields.
//   store    "kmk-imap:store:<store>"
//   folder   "kmk-imap:folder:<store>:<mailbox>"           ("" = the store root)
//   message  "kmk-imap:msg:<store>:<mailbox>:<uidvalidity>:<uid>"
// A message identifier holds the UIDVALIDITY so that a folder the server
// rebuilt (new UIDs for everything) is noticed instead of finding another
// message under the old number.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

namespace kestrel::platform::imap {

struct ImapEntryId {
    enum class Kind { Store, Folder, Message };
    Kind kind = Kind::Store;
    QString store;
    QByteArray mailbox;
    uint32_t validity = 0;
    uint32_t uid = 0;

    QString toString() const;
    static std::optional<ImapEntryId> parse(const QString& text);

    static QString forStore(const QString& store);
    static QString forFolder(const QString& store, const QByteArray& mailbox);
    static QString forMessage(const QString& store, const QByteArray& mailbox, uint32_t validity,
                              uint32_t uid);
};

} // namespace kestrel::platform::imap
