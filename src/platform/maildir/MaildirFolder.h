#pragma once

#include "../MailPlatform.h"
#include "FolderRef.h"
#include "MaildirBackend.h"

#include <memory>

namespace kestrel::platform::maildir {

// A folder of a Maildir++ store, or the store's root folder, which stands for
// the store: it is named after the store and holds no items of its own. Its
// children are Inbox (the Maildir root) and the top-level folders. A message
// saved or moved into the store root lands in Inbox.
class MaildirFolder : public Folder {
public:
    MaildirFolder(std::shared_ptr<MaildirBackend> backend, FolderRef ref);

    const FolderRef& ref() const { return m_ref; }
    const MaildirBackend* backend() const { return m_backend.get(); }

    std::optional<QString> name() override;
    std::optional<QString> storeId() override;
    std::optional<QString> entryId() override;
    std::optional<QString> folderPath() override;
    std::optional<bool> isStoreRoot() override;
    std::optional<int> defaultItemType() override;
    std::unique_ptr<ItemCollection> items() override;
    std::unique_ptr<FolderCollection> folders() override;
    std::unique_ptr<MailItem> addItem() override;
    std::unique_ptr<MailItem> append(const RawMessage& message) override;

private:
    std::shared_ptr<MaildirBackend> m_backend;
    FolderRef m_ref;
};

} // namespace kestrel::platform::maildir
