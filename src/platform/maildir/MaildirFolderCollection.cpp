#include "MaildirFolderCollection.h"

#include "FolderTree.h"
#include "MaildirFolder.h"

namespace kestrel::platform::maildir {

MaildirFolderCollection::MaildirFolderCollection(std::shared_ptr<MaildirBackend> backend)
    : m_backend(std::move(backend))
{
}

MaildirFolderCollection::MaildirFolderCollection(std::shared_ptr<MaildirBackend> backend,
                                                 FolderRef parent)
    : m_backend(std::move(backend)), m_parent(std::move(parent))
{
}

const QList<FolderRef>& MaildirFolderCollection::refs()
{
    if (!m_refs) {
        if (m_parent) {
            m_refs = FolderTree(*m_backend).children(*m_parent);
        } else {
            m_refs.emplace();
            for (int i = 0; i < m_backend->storeCount(); ++i)
                m_refs->append(FolderRef::storeRoot(i));
        }
    }
    return *m_refs;
}

std::optional<int> MaildirFolderCollection::count()
{
    clearError();
    return int(refs().size());
}

std::unique_ptr<Folder> MaildirFolderCollection::item(int position)
{
    if (position < 1 || position > refs().size()) {
        setError(ErrorKind::NotFound, QStringLiteral("No folder at this position"),
                 QString::number(position));
        return nullptr;
    }
    clearError();
    return std::make_unique<MaildirFolder>(m_backend, refs().at(position - 1));
}

std::unique_ptr<Folder> MaildirFolderCollection::item(const QString& name)
{
    std::optional<FolderRef> found;
    if (m_parent) {
        found = FolderTree(*m_backend).child(*m_parent, name);
    } else {
        for (const FolderRef& ref : refs()) {
            if (m_backend->store(ref.store).name == name) {
                found = ref;
                break;
            }
        }
    }
    if (!found) {
        setError(ErrorKind::NotFound, QStringLiteral("The folder does not exist"), name);
        return nullptr;
    }
    clearError();
    return std::make_unique<MaildirFolder>(m_backend, *found);
}

std::unique_ptr<Folder> MaildirFolderCollection::add(const QString& name)
{
    if (!m_parent) {
        setError(ErrorKind::Unsupported, QStringLiteral("Stores are added in the mail profile"),
                 name);
        return nullptr;
    }
    PlatformError error;
    const std::optional<FolderRef> created = FolderTree(*m_backend).create(*m_parent, name, &error);
    if (!created) {
        setError(error);
        return nullptr;
    }
    m_refs.reset(); // list again on next use
    clearError();
    return std::make_unique<MaildirFolder>(m_backend, *created);
}

} // namespace kestrel::platform::maildir
