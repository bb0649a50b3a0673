// The .pst backend read against pffexport on real Outlook data files.

#include "PstFixture.h"
#include "platform/FolderPath.h"

#include <QFile>

namespace kestrel::test {

namespace {

using platform::ErrorKind;
using platform::Folder;

// The tree as the backend shows it: "A\B" -> number of items, "" for the top.
void collect(Folder& folder, const QString& path, QMap<QString, int>& out,
             QMap<QString, int>* types = nullptr)
{
    out.insert(path, int(folder.items()->count().value_or(-1)));
    if (types)
        types->insert(path, folder.defaultItemType().value_or(-99));
    auto children = folder.folders();
    const int n = children->count().value_or(0);
    for (int i = 1; i <= n; ++i) {
        std::unique_ptr<Folder> child = children->item(i);
        ASSERT_TRUE(child);
        const QString name = child->name().value_or(QString());
        collect(*child, path.isEmpty() ? name : path + '\\' + name, out, types);
    }
}

QString describe(const QMap<QString, int>& tree)
{
    QStringList lines;
    for (auto it = tree.begin(); it != tree.end(); ++it)
        lines << QStringLiteral("%1: %2").arg(it.key()).arg(it.value());
    return lines.join('\n');
}

} // namespace

TEST(PstStore, FolderTreeAndCountsEqualPffexportsForEveryFile)
{
    for (const char* name :
         {"enron.pst", "pstextractortest@outlook.com.ost", "pstextractortestpdf@outlook.com.ost"}) {
        SCOPED_TRACE(name);
        const QString file = pstTestFile(QString::fromLatin1(name));
        if (file.isEmpty())
            GTEST_SKIP() << "pst-extractor's test data is not installed (scripts/setup)";
        bool ok = false;
        const PffExport expected = PffExport::of(file, &ok);
        ASSERT_TRUE(ok) << "pffexport failed";
        PstHarness pst(file);
        ASSERT_TRUE(pst.opened);
        for (const platform::PlatformError& e : pst.h.stores.ns().unusableStores())
            ADD_FAILURE() << e.text.toStdString() << " " << e.detail.toStdString();
        std::unique_ptr<Folder> root = pst.h.stores.root(0);
        ASSERT_TRUE(root);
        EXPECT_EQ(root->name().value_or(QString()), pstStoreName());
        EXPECT_TRUE(root->isStoreRoot().value_or(false));
        QMap<QString, int> shown;
        collect(*root, QString(), shown);
        EXPECT_EQ(shown, expected.folders) << describe(shown).toStdString() << "\nexpected:\n"
                                           << describe(expected.folders).toStdString();
    }
}

TEST(PstStore, OfflineFileShowsNonMailFoldersAsSuchAndEveryFolderIsReadOnly)
{
    KESTREL_REQUIRE_PST(file, "pstextractortest@outlook.com.ost");
    PstHarness pst(file);
    ASSERT_TRUE(pst.opened);
    QMap<QString, int> counts, types;
    collect(*pst.h.stores.root(0), QString(), counts, &types);
    EXPECT_EQ(types.value(QStringLiteral("Calendar")), platform::AppointmentFolderType);
    EXPECT_EQ(types.value(QStringLiteral("Contacts")), platform::ContactFolderType);
    EXPECT_EQ(types.value(QStringLiteral("Inbox")), platform::MailFolderType);
    EXPECT_GT(counts.value(QStringLiteral("Inbox")), 0);

    std::unique_ptr<Folder> inbox = pst.folder(QStringLiteral("Inbox"));
    ASSERT_TRUE(inbox);
    EXPECT_TRUE(inbox->isReadOnly());
    EXPECT_EQ(inbox->folderPath().value_or(QString()),
              platform::FolderPath(pstStoreName(), {QStringLiteral("Inbox")}).toString());
    // Found again by its identifier, as the engine finds folders and messages.
    auto again = pst.h.stores.session()->getFolderFromId(inbox->entryId().value_or(QString()));
    ASSERT_TRUE(again);
    EXPECT_EQ(again->name().value_or(QString()), QStringLiteral("Inbox"));
    auto item = inbox->items()->item(1);
    ASSERT_TRUE(item);
    auto found = pst.h.stores.session()->getMessageFromId(item->entryId().value_or(QString()));
    ASSERT_TRUE(found);
    EXPECT_EQ(found->subject(), item->subject());

    // Nothing changes a data file: each change is refused as such.
    EXPECT_FALSE(inbox->addItem());
    EXPECT_EQ(inbox->lastError().kind, ErrorKind::AccessDenied);
    EXPECT_FALSE(inbox->folders()->add(QStringLiteral("New")));
    EXPECT_FALSE(inbox->append(platform::RawMessage{"Subject: x\r\n\r\nx\r\n", {}, {}, {}}));
    EXPECT_FALSE(item->deleteItem());
    EXPECT_EQ(item->lastError().kind, ErrorKind::AccessDenied);
    EXPECT_FALSE(item->deletePermanently());
    EXPECT_FALSE(item->move(*pst.h.stores.root(1)));
    EXPECT_EQ(item->lastError().kind, ErrorKind::AccessDenied);
    EXPECT_FALSE(item->copyTo(*pst.folder(QStringLiteral("Deleted Items"))));
    EXPECT_EQ(item->lastError().kind, ErrorKind::AccessDenied);
    EXPECT_FALSE(item->importFile(file, platform::kMsgFormat));
}

} // namespace kestrel::test
