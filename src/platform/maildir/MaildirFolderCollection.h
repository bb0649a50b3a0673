#pragma once

#include "../MailPlatform.h"
#include "FolderRef.h"
#include "MaildirBackend.h"

#include <QList>

#include <memory>
#include <optional>

namespace kestrel::platform::maildir {

// The subfolders of a folder, or (without a parent) the store root folders
// in profile order. The list is read once, on first use.
class MaildirFolderCollection : public FolderCollection {
public:
    // The namespace's collection: one root folder per store.
    explicit MaildirFolderCollection(std::shared_ptr<MaildirBackend> backend);
    MaildirFolderCollection(std::shared_ptr<MaildirBackend> backend, FolderRef parent);

    std::optional<int> count() override;
    std::unique_ptr<Folder> item(int position) override;
    std::unique_ptr<Folder> item(const QString& name) override;
    std::unique_ptr<Folder> add(const QString& name) override;

private:
    const QList<FolderRef>& refs();

    std::shared_ptr<MaildirBackend> m_backend;
    std::optional<FolderRef> m_parent;
    std::optional<QList<FolderRef>> m_refs;
};

} // namespace kestrel::platform::maildir
