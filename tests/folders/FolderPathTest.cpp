#include "StoreFixture.h"
#include "folders/CMapiFolder.h"
#include "folders/mdlMAPI.h"

#include <gtest/gtest.h>

using namespace kestrel;
using namespace kestrel::folders;

namespace {

QString pathOf(platform::Folder* folder)
{
    return folder ? folder->folderPath().value_or("?") : QString("(none)");
}

std::unique_ptr<platform::Folder> addFolder(platform::Folder& parent, const QString& name)
{
    auto children = parent.folders();
    return children ? children->add(name) : nullptr;
}

} // namespace

TEST(FolderRecord, FilledFromRootAndChildren)
{
    test::StoreFixture stores({"Personal Folders", "Archive"});
    auto root = GetFolderFromPath(stores.ns(), "Personal Folders");
    ASSERT_TRUE(root);
    auto inbox = GetFolderFromPath(stores.ns(), "\\\\Personal Folders\\Inbox");
    ASSERT_TRUE(inbox);
    auto slash = addFolder(*root, "Q1/Q2");
    ASSERT_TRUE(slash);

    stores.addMessage("Personal Folders", "Inbox", "one");
    stores.maildir().addMessage({.flags = "", .subject = "two"});
    stores.maildir().addMessage({.flags = "", .subject = "three"});

    CMapiFolder rootRecord;
    rootRecord.setMAPIFolder(*root);
    EXPECT_EQ(rootRecord.Name, "Personal Folders");
    EXPECT_EQ(rootRecord.Path, "\\\\Personal Folders");
    EXPECT_TRUE(rootRecord.IsTopLevel);
    EXPECT_FALSE(rootRecord.StoreID.isEmpty());

    CMapiFolder inboxRecord;
    inboxRecord.setMAPIFolder(*inbox);
    EXPECT_EQ(inboxRecord.Name, "Inbox");
    EXPECT_EQ(inboxRecord.Path, "\\\\Personal Folders\\Inbox");
    EXPECT_FALSE(inboxRecord.IsTopLevel);
    EXPECT_EQ(inboxRecord.ItemCount, 3);
    EXPECT_EQ(inboxRecord.StoreID, rootRecord.StoreID);
    EXPECT_NE(inboxRecord.EntryID, rootRecord.EntryID);

    CMapiFolder slashRecord;
    slashRecord.setMAPIFolder(*slash);
    EXPECT_EQ(slashRecord.Name, "Q1/Q2");
    EXPECT_EQ(slashRecord.Path, "\\\\Personal Folders\\Q1%2FQ2");

    // The default store's identifier is the text of its folders' StoreID.
    EXPECT_EQ(GetDefaultStoreID(&stores.session()), rootRecord.StoreID);
    EXPECT_EQ(GetDefaultStoreID(nullptr), "");
}

TEST(FolderResolution, FullAndShortFormsAndEscapedNames)
{
    test::StoreFixture stores({"Personal Folders"});
    auto root = GetFolderFromPath(stores.ns(), "Personal Folders");
    ASSERT_TRUE(root);
    auto inbox = GetFolderFromPath(stores.ns(), "Personal Folders\\Inbox");
    ASSERT_TRUE(inbox);
    ASSERT_TRUE(addFolder(*inbox, "Clients"));
    ASSERT_TRUE(addFolder(*root, "a/b"));

    auto full = GetFolderFromPath(stores.ns(), "\\\\Personal Folders\\Inbox\\Clients");
    auto shortForm = GetFolderFromPath(stores.ns(), "Personal Folders\\Inbox\\Clients");
    ASSERT_TRUE(full && shortForm);
    EXPECT_EQ(full->entryId(), shortForm->entryId());

    EXPECT_EQ(pathOf(GetFolderFromPath(stores.ns(), "Personal Folders").get()),
              "\\\\Personal Folders");
    EXPECT_FALSE(GetFolderFromPath(stores.ns(), "No Such Store"));
    EXPECT_FALSE(GetFolderFromPath(stores.ns(), "Personal Folders\\Inbox\\Missing"));
    EXPECT_FALSE(GetFolderFromPath(stores.ns(), "Personal Folders\\Inbox\\"));
    EXPECT_FALSE(GetFolderFromPath(stores.ns(), ""));
    EXPECT_FALSE(GetFolderFromPath(stores.ns(), "\\\\"));

    auto slash = GetFolderFromPath(stores.ns(), "Personal Folders\\a%2Fb");
    ASSERT_TRUE(slash);
    EXPECT_EQ(slash->name(), "a/b");
}

TEST(FolderResolution, CreateFolderPathMakesEveryMissingLevel)
{
    test::StoreFixture stores({"Personal Folders", "Archive"});
    auto archive = GetFolderFromPath(stores.ns(), "Archive");
    ASSERT_TRUE(archive);

    auto inbox = CreateFolderPath(*archive, "Inbox");
    ASSERT_TRUE(inbox);
    EXPECT_EQ(pathOf(inbox.get()), "\\\\Archive\\Inbox");

    auto deep = CreateFolderPath(*archive, "Inbox\\Q1%2FQ2\\Deep");
    ASSERT_TRUE(deep);
    EXPECT_EQ(pathOf(deep.get()), "\\\\Archive\\Inbox\\Q1%2FQ2\\Deep");
    auto middle = GetFolderFromPath(stores.ns(), "Archive\\Inbox\\Q1%2FQ2");
    ASSERT_TRUE(middle);
    EXPECT_EQ(middle->name(), "Q1/Q2");

    // An existing path is returned untouched; an empty one gives nothing.
    auto again = CreateFolderPath(*archive, "Inbox\\Q1%2FQ2\\Deep");
    ASSERT_TRUE(again);
    EXPECT_EQ(again->entryId(), deep->entryId());
    EXPECT_FALSE(CreateFolderPath(*archive, ""));
    EXPECT_FALSE(CreateFolderPath(*archive, "Inbox\\\\Empty"));
}

TEST(FolderResolution, ChildFoldersListMailFoldersAndYieldEveryTenth)
{
    test::StoreFixture stores({"Personal Folders"});
    auto root = GetFolderFromPath(stores.ns(), "Personal Folders");
    ASSERT_TRUE(root);
    auto parent = addFolder(*root, "Parent");
    ASSERT_TRUE(parent);
    for (int i = 1; i <= 25; ++i)
        ASSERT_TRUE(addFolder(*parent, QStringLiteral("Sub%1").arg(i, 2, 10, QChar('0'))));
    stores.setFolderType("Personal Folders", "Parent\\Sub03", platform::AppointmentFolderType);
    stores.setFolderType("Personal Folders", "Parent\\Sub11", platform::ContactFolderType);
    stores.setFolderType("Personal Folders", "Parent\\Sub20", platform::TaskFolderType);

    int yields = 0;
    const ChildFolderList children =
        GetChildFolders(stores.ns(), "\\\\Personal Folders\\Parent", [&yields] { ++yields; });
    EXPECT_EQ(children.count(), 22);
    EXPECT_EQ(yields, 2);
    for (const CMapiFolder& record : children.records()) {
        EXPECT_NE(record.Name, "Sub03");
        EXPECT_TRUE(record.Path.startsWith("\\\\Personal Folders\\Parent\\"));
    }
    EXPECT_EQ(GetChildFolders(stores.ns(), "Personal Folders\\Nowhere", {}).count(), 0);
}
