#include "PstBackend.h"

namespace kestrel::platform::pst {

PstBackend::PstBackend(MailProfile profile) : m_profile(std::move(profile)) {}

void PstBackend::logon()
{
    if (loggedOn)
        return;
    leftOut.clear();
    m_stores.clear();
    for (const StoreEntry& entry : m_profile.stores) {
        PlatformError error;
        PstStore store;
        store.name = entry.name;
        store.file = PstFile::open(entry.path, &error);
        std::optional<PstFolderTree> tree;
        if (store.file)
            tree = PstFolderTree::read(*store.file, &error);
        // A file written to while its folders were read is not what they show.
        if (tree && !store.file->checkUnchanged(&error))
            tree.reset();
        if (!tree) {
            error.text =
                QStringLiteral("The store \"%1\" cannot be opened: %2").arg(entry.name, error.text);
            leftOut.append(error);
            continue;
        }
        store.tree = std::move(*tree);
        m_stores.push_back(std::move(store));
    }
    loggedOn = true;
}

void PstBackend::logoff()
{
    m_stores.clear();
    loggedOn = false;
}

int PstBackend::storeIndex(const QString& name) const
{
    for (std::size_t i = 0; i < m_stores.size(); ++i) {
        if (m_stores[i].name == name)
            return int(i);
    }
    return -1;
}

PffItem PstBackend::item(int store, std::uint32_t id, PlatformError* error)
{
    PstStore* s = this->store(store);
    if (!s) {
        *error = {ErrorKind::NotFound, -1, QStringLiteral("The Outlook data file is closed"), {}};
        return nullptr;
    }
    if (!s->file->checkUnchanged(error))
        return nullptr;
    libpff_item_t* raw = nullptr;
    PffError pffError;
    if (libpff_file_get_item_by_identifier(s->file->handle(), id, &raw, pffError.out()) != 1 ||
        !raw) {
        *error = {ErrorKind::NotFound, -1,
                  QStringLiteral("The item cannot be found in the Outlook data file"),
                  pffError.text()};
        return nullptr;
    }
    *error = {};
    return PffItem(raw);
}

} // namespace kestrel::platform::pst
