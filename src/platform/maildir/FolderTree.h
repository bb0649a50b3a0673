#pragma once

// The folder hierarchy of a store, read from and written to the directory
// names of its Maildir++ root.

#include "../PlatformError.h"
#include "FolderRef.h"
#include "MaildirBackend.h"

#include <QList>

#include <optional>

namespace kestrel::platform::maildir {

class FolderTree {
public:
    explicit FolderTree(const MaildirBackend& backend) : m_backend(backend) {}

    // Direct subfolders: for a store root Inbox first, then the rest by name.
    // A parent that only exists through its children (".A.B" without ".A") is listed too.
    QList<FolderRef> children(const FolderRef& parent) const;
    // Exact name; Inbox also in any letter case, as Dovecot treats INBOX.
    std::optional<FolderRef> child(const FolderRef& parent, const QString& name) const;
    // Creates the folder's directory with cur/, new/, tmp/ and Dovecot's
    // maildirfolder marker. Exists when a folder of that name is there.
    std::optional<FolderRef> create(const FolderRef& parent, const QString& name,
                                    PlatformError* error) const;
    // The store's "Deleted Items", created when missing.
    std::optional<FolderRef> deletedItems(int store, PlatformError* error) const;
    // The directory exists, or children imply it; always true for root and Inbox.
    bool exists(const FolderRef& folder) const;

private:
    const MaildirBackend& m_backend;
};

// Creates cur/, new/ and tmp/ where missing (as Dovecot does on open).
bool ensureMaildirDirs(const QString& dir, PlatformError* error);
// Flushes a directory's entries to disk.
bool syncDirectory(const QString& dir);

} // namespace kestrel::platform::maildir
