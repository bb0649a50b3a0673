#pragma once

// The folder hierarchy of an IMAP store, read from its LIST answer: names
// split at the server's delimiter, each level decoded from modified UTF-7
// (the Maildir backend's codec, RFC 3501 5.1.3). A display name holding the
// delimiter or "%" is written with "%XX" escapes on the server, as the Maildir
// backend writes names its layout has no room for.

#include "../PlatformError.h"
#include "ImapFolderRef.h"

#include <QList>

#include <optional>

namespace kestrel::platform::imap {

class ImapBackend;

class ImapFolderTree {
public:
    ImapFolderTree(ImapBackend& backend, int store) : m_backend(backend), m_store(store) {}

    // Direct subfolders: for the store root Inbox first, then the rest by name.
    // A level that only exists through its children is listed too.
    std::optional<QList<ImapFolderRef>> children(const ImapFolderRef& parent, PlatformError* error);
    // NotFound when there is none; Inbox in any letter case.
    std::optional<ImapFolderRef> child(const ImapFolderRef& parent, const QString& name,
                                       PlatformError* error);
    // CREATE; Exists when a folder of that name is there.
    std::optional<ImapFolderRef> create(const ImapFolderRef& parent, const QString& name,
                                        PlatformError* error);
    // The folder of a mailbox the server lists (or one implied by its children).
    std::optional<ImapFolderRef> find(const QByteArray& mailbox, PlatformError* error);
    // "Deleted Items": the server's \Trash folder, else one of that name, created when missing.
    std::optional<ImapFolderRef> trash(PlatformError* error);
    // Whether mailbox is the server's \Trash or the folder "Deleted Items".
    bool isTrash(const QByteArray& mailbox);
    // Whether the server lists mailbox and it can be selected.
    bool selectable(const QByteArray& mailbox, PlatformError* error);

private:
    char delimiter(PlatformError* error);
    ImapFolderRef refOf(const QByteArray& mailbox, char delimiter) const;

    ImapBackend& m_backend;
    int m_store;
};

// The display names of a mailbox's levels ("INBOX" is "Inbox").
QStringList namesOfMailbox(const QByteArray& mailbox, char delimiter);
// The mailbox as a person reads it, levels joined by "/".
QString displayPath(const QByteArray& mailbox);

} // namespace kestrel::platform::imap
