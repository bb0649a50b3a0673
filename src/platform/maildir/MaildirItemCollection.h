#pragma once

#include "../MailPlatform.h"
#include "FolderRef.h"
#include "MaildirBackend.h"
#include "MessageFile.h"

#include <memory>

namespace kestrel::platform::maildir {

// A folder's messages, listed on first use (names only) and sorted by file
// name, which puts Dovecot-style names in arrival order. A folder whose
// directories are links fails every call with the reason.
class MaildirItemCollection : public ItemCollection {
public:
    MaildirItemCollection(std::shared_ptr<MaildirBackend> backend, FolderRef folder);
    // A restriction's result; facts (when not empty) holds what the filter
    // read of each entry, given to the item made for it.
    MaildirItemCollection(std::shared_ptr<MaildirBackend> backend, FolderRef folder,
                          QList<MessageEntry> entries, QList<FileFacts> facts = {});

    std::unique_ptr<ItemCollection> restrict(const QString& filter) override;
    std::optional<qint64> count() override;
    std::unique_ptr<MailItem> item(qint64 index) override;

private:
    const QList<MessageEntry>& entries();

    std::shared_ptr<MaildirBackend> m_backend;
    FolderRef m_folder;
    QString m_dir;
    std::optional<QList<MessageEntry>> m_entries;
    QList<FileFacts> m_facts;
    PlatformError m_listError; // why the folder could not be listed
};

} // namespace kestrel::platform::maildir
