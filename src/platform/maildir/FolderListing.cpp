#include "FolderListing.h"

#include "NativeName.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <type_traits>

namespace kestrel::platform::maildir {

void FolderListing::add(QByteArrayView name, bool inNew, bool regular)
{
    // As MessageFileName::parse: the unique name ends at the first ":2,".
    // memchr for the ':' rather than a substring search, which costs ten
    // times more on names this short.
    qsizetype info = -1;
    const char* const begin = name.data();
    const char* const end = begin + name.size();
    for (const char* at = begin;
         (at = static_cast<const char*>(std::memchr(at, ':', size_t(end - at)))) != nullptr; ++at) {
        if (end - at >= 3 && at[1] == '2' && at[2] == ',') {
            info = at - begin;
            break;
        }
    }
    Name record;
    record.offset = quint32(m_bytes.size());
    record.size = quint16(name.size());
    record.uniqueSize = quint16(info < 0 ? name.size() : info);
    record.inNew = inNew;
    record.regular = regular;
    m_bytes.append(name);
    m_names.push_back(record);
}

void FolderListing::sort()
{
    // Compared as string views: the comparison inlines to one memcmp, which
    // matters for the n log n of them a large folder costs.
    const auto view = [this](const Name& name, quint16 size) {
        return std::string_view(m_bytes.constData() + name.offset, size);
    };
    std::sort(m_names.begin(), m_names.end(), [&](const Name& a, const Name& b) {
        if (const int byUnique = view(a, a.uniqueSize).compare(view(b, b.uniqueSize)))
            return byUnique < 0;
        return view(a, a.size) < view(b, b.size);
    });
    m_names.shrink_to_fit();
    m_bytes.squeeze();
}

MessageEntry FolderListing::at(qsizetype i) const
{
    const Name& name = m_names[size_t(i)];
    return {nameFromBytes(bytes(name).toByteArray()), name.inNew, name.regular};
}

std::pair<qsizetype, qsizetype> FolderListing::range(QByteArrayView wanted) const
{
    const auto [first, last] = std::equal_range(
        m_names.begin(), m_names.end(), wanted, [this](const auto& a, const auto& b) {
            if constexpr (std::is_same_v<std::decay_t<decltype(a)>, Name>)
                return unique(a).compare(b) < 0;
            else
                return a.compare(unique(b)) < 0;
        });
    return {first - m_names.begin(), last - m_names.begin()};
}

} // namespace kestrel::platform::maildir
