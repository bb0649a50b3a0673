#include "TopLevelFolders.h"

#include "platform/MailPlatform.h"

namespace kestrel::folders {

const CMapiFolder* TopLevelFolders::item(int position) const
{
    if (position < 1 || position > count())
        return nullptr;
    return &m_records[position - 1];
}

const CMapiFolder* TopLevelFolders::find(const QString& storeId) const
{
    for (const CMapiFolder& record : m_records) {
        if (record.StoreID == storeId)
            return &record;
    }
    return nullptr;
}

bool TopLevelFolders::add(const CMapiFolder& record)
{
    if (find(record.StoreID))
        return false;
    m_records.append(record);
    return true;
}

TopLevelFolders LoadTopLevelFolders(platform::Namespace& ns)
{
    TopLevelFolders stores;
    auto roots = ns.folders();
    if (!roots)
        return stores;
    const int count = roots->count().value_or(0);
    for (int position = 1; position <= count; ++position) {
        auto folder = roots->item(position);
        if (!folder)
            continue;
        CMapiFolder record;
        record.setMAPIFolder(*folder);
        stores.add(record);
    }
    return stores;
}

} // namespace kestrel::folders
