#pragma once

#include "../MailPlatform.h"
#include "ImapBackend.h"
#include "ImapFolderRef.h"

#include <memory>

namespace kestrel::platform::imap {

// A store root or a mailbox of an IMAP store.
class ImapFolder : public Folder {
public:
    ImapFolder(std::shared_ptr<ImapBackend> backend, ImapFolderRef ref);

    std::optional<QString> name() override;
    std::optional<QString> storeId() override;
    std::optional<QString> entryId() override;
    std::optional<QString> folderPath() override;
    std::optional<bool> isStoreRoot() override;
    std::optional<int> defaultItemType() override;
    std::unique_ptr<ItemCollection> items() override;
    std::unique_ptr<FolderCollection> folders() override;
    std::unique_ptr<MailItem> addItem() override;
    // APPEND with the flags, keywords and received time; the store root appends to INBOX.
    std::unique_ptr<MailItem> append(const RawMessage& message) override;

    const ImapBackend* backend() const { return m_backend.get(); }
    const ImapFolderRef& ref() const { return m_ref; }
    // Where messages put into this folder go (INBOX for the store root).
    QByteArray targetMailbox() const;

private:
    std::shared_ptr<ImapBackend> m_backend;
    ImapFolderRef m_ref;
};

class ImapFolderCollection : public FolderCollection {
public:
    explicit ImapFolderCollection(std::shared_ptr<ImapBackend> backend); // the store roots
    ImapFolderCollection(std::shared_ptr<ImapBackend> backend, ImapFolderRef parent);

    std::optional<int> count() override;
    std::unique_ptr<Folder> item(int position) override;
    std::unique_ptr<Folder> item(const QString& name) override;
    std::unique_ptr<Folder> add(const QString& name) override;

private:
    const QList<ImapFolderRef>* refs();

    std::shared_ptr<ImapBackend> m_backend;
    std::optional<ImapFolderRef> m_parent;
    std::optional<QList<ImapFolderRef>> m_refs;
};

} // namespace kestrel::platform::imap
