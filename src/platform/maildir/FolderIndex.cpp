#include "FolderIndex.h"

#include "NativeName.h"

namespace kestrel::platform::maildir {

FolderIndex::FolderIndex() : m_listing(std::make_shared<FolderListing>()) {}

FolderIndex::FolderIndex(std::shared_ptr<const FolderListing> listing)
    : m_listing(std::move(listing))
{
}

std::optional<quint32> FolderIndex::findAdded(QByteArrayView unique, size_t hash) const
{
    const auto it = m_addedAt.constFind(hash);
    if (it == m_addedAt.cend() || m_added.uniqueAt(*it) != unique)
        return std::nullopt;
    return *it;
}

void FolderIndex::dropAdded(QByteArrayView unique)
{
    const size_t hash = qHash(unique);
    if (const std::optional<quint32> at = findAdded(unique, hash)) {
        m_addedDropped[*at] = true;
        m_addedAt.remove(hash);
    }
}

std::optional<MessageEntry> FolderIndex::find(const QString& unique) const
{
    const QByteArray bytes = nativePath(unique);
    if (const std::optional<quint32> at = findAdded(bytes, qHash(QByteArrayView(bytes))))
        return m_added.at(*at);
    if (const auto it = m_hashShared.constFind(unique); it != m_hashShared.cend())
        return *it;
    const auto [first, last] = m_listing->range(bytes);
    // Of two files of one unique name, the last in name order, as a rescan would find.
    for (qsizetype i = last - 1; i >= first; --i) {
        if (m_forgotten.empty() || !m_forgotten[size_t(i)])
            return m_listing->at(i);
    }
    return std::nullopt;
}

void FolderIndex::remember(const QString& unique, const MessageEntry& entry)
{
    const QByteArray bytes = nativePath(unique);
    dropAdded(bytes);
    m_hashShared.remove(unique);
    const size_t hash = qHash(QByteArrayView(bytes));
    if (m_addedAt.contains(hash)) {
        m_hashShared.insert(unique, entry); // another name has this hash
        return;
    }
    m_addedAt.insert(hash, quint32(m_added.size()));
    m_added.add(nativePath(entry.fileName), entry.inNew, entry.regular);
    m_addedDropped.push_back(false);
}

void FolderIndex::forget(const QString& unique)
{
    const QByteArray bytes = nativePath(unique);
    dropAdded(bytes);
    m_hashShared.remove(unique);
    const auto [first, last] = m_listing->range(bytes);
    if (first < last && m_forgotten.empty())
        m_forgotten.resize(size_t(m_listing->size()));
    for (qsizetype i = first; i < last; ++i)
        m_forgotten[size_t(i)] = true;
}

} // namespace kestrel::platform::maildir
