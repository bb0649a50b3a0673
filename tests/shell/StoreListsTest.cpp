#include "shell/StoreLists.h"

#include "folders/TopLevelFolders.h"
#include "shell/StoredAction.h"

#include <QComboBox>

#include <gtest/gtest.h>

using namespace kestrel::shell;
using kestrel::folders::CMapiFolder;
using kestrel::folders::TopLevelFolders;

namespace {

TopLevelFolders stores(const QStringList& names)
{
    TopLevelFolders result;
    for (const QString& name : names) {
        CMapiFolder record;
        record.Name = name;
        record.StoreID = "id-" + name;
        record.IsTopLevel = true;
        result.add(record);
    }
    return result;
}

} // namespace

TEST(StoreLists, BothListsGetTheStoresThenDiskFolderWithPositionsAndNoChoice)
{
    TopLevelFolders three = stores({"Mailbox", "Personal Folders", "Archive Folders"});
    CMapiFolder duplicate;
    duplicate.Name = "Again";
    duplicate.StoreID = "id-Mailbox";
    EXPECT_FALSE(three.add(duplicate));
    ASSERT_EQ(three.count(), 3);

    QComboBox list;
    fillStoreList(list, three);
    ASSERT_EQ(list.count(), 4);
    EXPECT_EQ(list.itemText(3), "[Disk Folder]");
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(storePosition(list, i), i < 3 ? i + 1 : 0);
    EXPECT_EQ(list.currentIndex(), -1);
    EXPECT_FALSE(IsDiskFolderSelected(list));
    list.setCurrentIndex(3);
    EXPECT_TRUE(IsDiskFolderSelected(list));

    // Two stores of one name stay two entries.
    TopLevelFolders twins = stores({"Archive", "Other"});
    CMapiFolder second;
    second.Name = "Archive";
    second.StoreID = "id-second";
    twins.add(second);
    fillStoreList(list, twins);
    EXPECT_EQ(list.count(), 4);
    EXPECT_EQ(list.itemText(2), "Archive");
    EXPECT_EQ(storePosition(list, 2), 3);
}

TEST(StoreLists, SelectFolderMatchesAPrefixIgnoringCaseElseTakesTheFirst)
{
    QComboBox list;
    fillStoreList(list, stores({"Mailbox", "Personal Folders", "Archive Folders"}));
    EXPECT_TRUE(SelectFolder(list, "Archive"));
    EXPECT_EQ(list.currentIndex(), 2);
    list.setCurrentIndex(3);
    EXPECT_TRUE(SelectFolder(list, "arch"));
    EXPECT_EQ(list.currentIndex(), 2);
    EXPECT_FALSE(SelectFolder(list, "Folders"));
    EXPECT_EQ(list.currentIndex(), 0);
    EXPECT_TRUE(SelectFolder(list, "[disk folder]"));
    EXPECT_EQ(list.currentIndex(), 3);
    EXPECT_TRUE(SelectFolder(list, ""));
    EXPECT_EQ(list.currentIndex(), 0);

    QComboBox empty;
    EXPECT_FALSE(SelectFolder(empty, "Archive"));
    EXPECT_EQ(empty.currentIndex(), -1);
}

TEST(StoreLists, DefaultStoreIsFoundByItsIdentifierOnly)
{
    const TopLevelFolders three = stores({"Mailbox", "Personal Folders", "Archive Folders"});
    QComboBox list;
    fillStoreList(list, three);
    EXPECT_TRUE(SelectDefaultStore(list, three, "id-Personal Folders"));
    EXPECT_EQ(list.currentIndex(), 1);
    list.setCurrentIndex(2);
    EXPECT_FALSE(SelectDefaultStore(list, three, "id-personal folders")); // exact text
    EXPECT_FALSE(SelectDefaultStore(list, three, ""));
    EXPECT_EQ(list.currentIndex(), 2) << "a failed choice leaves the list alone";
}

TEST(StoredAction, OnlyTheNumberAtTheStartCountsAndMinusOneLeavesTheChoice)
{
    EXPECT_EQ(storedActionPosition("-1"), std::nullopt);
    EXPECT_EQ(storedActionPosition(" -1"), std::nullopt);
    EXPECT_EQ(storedActionPosition("7"), 7);
    EXPECT_EQ(storedActionPosition("abc"), 0);
    EXPECT_EQ(storedActionPosition(""), 0);
    EXPECT_EQ(storedActionPosition("2"), 2);
    EXPECT_EQ(storedActionPosition("1abc"), 1);
    EXPECT_EQ(storedActionPosition("-2"), -2);
    EXPECT_EQ(storedActionPosition("99999999999999"), std::nullopt);
}
