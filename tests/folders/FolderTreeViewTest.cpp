#include "folders/FolderTreeView.h"

#include "StoreFixture.h"
#include "folders/CMapiFolder.h"
#include "folders/mdlMAPI.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace kestrel;
using namespace kestrel::folders;

namespace {

std::unique_ptr<platform::Folder> addFolder(platform::Folder& parent, const QString& name)
{
    auto children = parent.folders();
    return children ? children->add(name) : nullptr;
}

// Inbox (with B, A and A\Deep), Calendar, Sent Items.
struct TreeFixture {
    test::StoreFixture stores{{"Personal Folders", "Empty Store"}};
    FolderTreeView tree;
    QStringList statuses;
    CMapiFolder storeRecord;

    TreeFixture()
    {
        auto root = GetFolderFromPath(stores.ns(), "Personal Folders");
        auto inbox = GetFolderFromPath(stores.ns(), "Personal Folders\\Inbox");
        EXPECT_TRUE(root && inbox);
        addFolder(*inbox, "B");
        auto a = addFolder(*inbox, "A");
        addFolder(*a, "Deep");
        addFolder(*root, "Calendar");
        stores.setFolderType("Personal Folders", "Calendar", platform::AppointmentFolderType);
        addFolder(*root, "Sent Items");
        for (int i = 0; i < 12; ++i)
            stores.addMessage("Personal Folders", "Inbox", QStringLiteral("message %1").arg(i));
        storeRecord.setMAPIFolder(*root);
        tree.setStatusSink([this](const QString& s) { statuses << s; });
        tree.ShowChildFolders(&stores.ns(), &storeRecord);
    }

    QStringList texts() const
    {
        QStringList out;
        for (const auto& node : tree.nodesInAdditionOrder())
            out << node.text;
        return out;
    }
    QTreeWidgetItem* node(const QString& text)
    {
        for (const auto& n : tree.nodesInAdditionOrder()) {
            if (n.text == text)
                return tree.nodeByKey(n.key);
        }
        return nullptr;
    }
};

} // namespace

TEST(FolderTree, ShowsTwoLevelsOfMailFoldersSortedAndExpanded)
{
    TreeFixture f;
    // Order of addition: each folder directly before its children.
    EXPECT_EQ(f.texts(), QStringList({"Inbox [12]", "A [0]", "B [0]", "Sent Items [0]"}));
    ASSERT_EQ(f.tree.topLevelItemCount(), 2);
    QTreeWidgetItem* inbox = f.tree.topLevelItem(0);
    EXPECT_TRUE(inbox->isExpanded());
    ASSERT_EQ(inbox->childCount(), 2);
    EXPECT_EQ(inbox->child(0)->text(0), "A [0]"); // sorted on screen
    EXPECT_EQ(inbox->child(1)->text(0), "B [0]");
    EXPECT_EQ(inbox->child(0)->childCount(), 0); // Deep is three levels down
    // The on-screen order may differ from the walk order; the walk order stays.
    inbox->sortChildren(0, Qt::DescendingOrder);
    EXPECT_EQ(f.texts().at(1), "A [0]");
    EXPECT_EQ(f.tree.nodesInAdditionOrder().at(0).path, "\\\\Personal Folders\\Inbox");
    EXPECT_TRUE(f.tree.updatesEnabled());
    EXPECT_EQ(f.statuses.last(), "");

    // A store without mail folders below its root: empty tree, redraw resumed.
    auto emptyRoot = GetFolderFromPath(f.stores.ns(), "Empty Store");
    ASSERT_TRUE(emptyRoot);
    CMapiFolder emptyRecord;
    emptyRecord.setMAPIFolder(*emptyRoot);
    // Its only folder, the Inbox, holds no mail.
    f.stores.setFolderType("Empty Store", "Inbox", platform::NoteFolderType);
    f.tree.ShowChildFolders(&f.stores.ns(), &emptyRecord);
    EXPECT_EQ(f.tree.topLevelItemCount(), 0);
    EXPECT_TRUE(f.tree.updatesEnabled());
    EXPECT_EQ(f.statuses.last(), "");
}

TEST(FolderTree, TicksFollowClicksKeysAndButtons)
{
    TreeFixture f;
    f.tree.show();
    QSignalSpy changed(&f.tree, &FolderTreeView::ticksChanged);
    QTreeWidgetItem* inbox = f.node("Inbox [12]");
    QTreeWidgetItem* a = f.node("A [0]");
    QTreeWidgetItem* b = f.node("B [0]");
    ASSERT_TRUE(inbox && a && b);

    // One click changes the tick once and carries it to the children.
    QTest::mouseClick(f.tree.viewport(), Qt::LeftButton, {}, f.tree.visualItemRect(inbox).center());
    EXPECT_TRUE(f.tree.isNodeChecked(inbox));
    EXPECT_TRUE(f.tree.isNodeChecked(a) && f.tree.isNodeChecked(b));
    EXPECT_EQ(changed.count(), 1);
    // A child's tick leaves its parent alone.
    QTest::mouseClick(f.tree.viewport(), Qt::LeftButton, {}, f.tree.visualItemRect(b).center());
    EXPECT_FALSE(f.tree.isNodeChecked(b));
    EXPECT_TRUE(f.tree.isNodeChecked(inbox));

    // Invert with the parent and one of two children ticked.
    f.tree.InvertAllNodes();
    EXPECT_FALSE(f.tree.isNodeChecked(inbox));
    EXPECT_FALSE(f.tree.isNodeChecked(a));
    EXPECT_TRUE(f.tree.isNodeChecked(b));
    EXPECT_TRUE(f.tree.IsFolderSelected());

    f.tree.SelectAllNodes(false);
    EXPECT_FALSE(f.tree.IsFolderSelected());
    f.tree.SelectAllNodes(true);
    f.tree.InvertAllNodes();
    EXPECT_FALSE(f.tree.IsFolderSelected());

    // Space toggles the current node and its children; arrows toggle nothing.
    f.tree.setFocus();
    f.tree.setCurrentItem(inbox);
    QTest::keyClick(&f.tree, Qt::Key_Down);
    QTest::keyClick(&f.tree, Qt::Key_Up);
    EXPECT_FALSE(f.tree.IsFolderSelected());
    QTest::keyClick(&f.tree, Qt::Key_Space);
    EXPECT_TRUE(f.tree.isNodeChecked(inbox) && f.tree.isNodeChecked(a));
    QTest::keyClick(&f.tree, Qt::Key_Space);
    EXPECT_FALSE(f.tree.IsFolderSelected());
}

TEST(FolderTree, RefreshRenewsOnlyTickedCounts)
{
    TreeFixture f;
    QTreeWidgetItem* inbox = f.node("Inbox [12]");
    QTreeWidgetItem* sent = f.node("Sent Items [0]");
    ASSERT_TRUE(inbox && sent);
    f.tree.setNodeChecked(inbox, true);

    // Five messages leave the Inbox, one arrives in Sent Items.
    QDir cur(f.stores.folderDir("Personal Folders", "Inbox") + "/cur");
    const QStringList files = cur.entryList(QDir::Files, QDir::Name);
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(QFile::remove(cur.filePath(files.at(i))));
    f.stores.addMessage("Personal Folders", "Sent Items", "sent");

    f.tree.RefreshFolderTree(f.stores.ns());
    EXPECT_EQ(inbox->text(0), "Inbox [7]");
    EXPECT_EQ(sent->text(0), "Sent Items [0]");
    EXPECT_EQ(f.statuses.last(), "Refreshing folder details...");
    EXPECT_EQ(FolderTreeView::ExtractFolderName("Inbox [12]"), "Inbox");
    EXPECT_EQ(FolderTreeView::ExtractFolderName("Budget [2005] [7]"), "Budget [2005]");
    EXPECT_EQ(FolderTreeView::ExtractFolderName("Plain"), "Plain");
}
