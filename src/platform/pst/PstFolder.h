#pragma once

#include "../MailPlatform.h"
#include "PstBackend.h"

#include <memory>

namespace kestrel::platform::pst {

// The error of every change to an Outlook data file.
PlatformError readOnlyRefusal();

// A folder of an Outlook data file; node 0 of the tree is the store's root.
class PstFolder : public Folder {
public:
    PstFolder(std::shared_ptr<PstBackend> backend, int store, int node);

    std::optional<QString> name() override;
    std::optional<QString> storeId() override;
    std::optional<QString> entryId() override;
    std::optional<QString> folderPath() override;
    std::optional<bool> isStoreRoot() override;
    std::optional<int> defaultItemType() override;
    bool isReadOnly() override { return true; }
    std::unique_ptr<ItemCollection> items() override;
    std::unique_ptr<FolderCollection> folders() override;
    std::unique_ptr<MailItem> addItem() override;
    std::unique_ptr<MailItem> append(const RawMessage& message) override;

private:
    const PstFolderNode* node();

    std::shared_ptr<PstBackend> m_backend;
    int m_store;
    int m_node;
};

// The stores (no parent) or the sub-folders of one folder.
class PstFolderCollection : public FolderCollection {
public:
    explicit PstFolderCollection(std::shared_ptr<PstBackend> backend);
    PstFolderCollection(std::shared_ptr<PstBackend> backend, int store, int parent);

    std::optional<int> count() override;
    std::unique_ptr<Folder> item(int position) override;
    std::unique_ptr<Folder> item(const QString& name) override;
    std::unique_ptr<Folder> add(const QString& name) override;

private:
    const QList<int>* children();

    std::shared_ptr<PstBackend> m_backend;
    int m_store = -1; // -1: the stores
    int m_parent = 0;
};

} // namespace kestrel::platform::pst
