#include "StoreLists.h"

#include "folders/TopLevelFolders.h"

#include <QComboBox>
#include <QSignalBlocker>

namespace kestrel::shell {

void fillStoreList(QComboBox& list, const folders::TopLevelFolders& stores)
{
    const QSignalBlocker quiet(list);
    list.clear();
    int position = 1;
    for (const folders::CMapiFolder& record : stores.records())
        list.addItem(record.Name, position++);
    list.addItem(QString::fromLatin1(kDiskFolderEntry), 0);
    list.setCurrentIndex(-1);
}

int storePosition(const QComboBox& list, int index)
{
    return index < 0 ? 0 : list.itemData(index).toInt();
}

bool SelectFolder(QComboBox& list, const QString& name)
{
    const QString wanted = name.toLower();
    for (int index = 0; index < list.count(); ++index) {
        if (list.itemText(index).toLower().startsWith(wanted)) {
            list.setCurrentIndex(index);
            return true;
        }
    }
    if (list.count() > 0)
        list.setCurrentIndex(0);
    return false;
}

bool SelectDefaultStore(QComboBox& list, const folders::TopLevelFolders& stores,
                        const QString& defaultStoreId)
{
    if (defaultStoreId.isEmpty())
        return false;
    for (int position = 1; position <= stores.count(); ++position) {
        if (stores.item(position)->StoreID != defaultStoreId)
            continue;
        const int index = list.findData(position);
        if (index >= 0) {
            list.setCurrentIndex(index);
            return true;
        }
    }
    return false;
}

bool IsDiskFolderSelected(const QComboBox& list)
{
    return list.currentIndex() >= 0 && list.currentIndex() == list.count() - 1;
}

} // namespace kestrel::shell
