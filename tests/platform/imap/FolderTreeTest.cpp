// The folder tree of an IMAP store: names, nesting, counts, new folders.

#include "ImapStoreFixture.h"
#include "platform/FolderPath.h"

namespace kestrel::test {
namespace {

using ImapFolderTree = ImapStoreTest;

QStringList childNames(platform::Folder& parent)
{
    QStringList names;
    auto children = parent.folders();
    const int n = children ? children->count().value_or(0) : 0;
    for (int i = 1; i <= n; ++i)
        names.append(children->item(i)->name().value_or(QStringLiteral("?")));
    return names;
}

TEST_F(ImapFolderTree, ListsNestedAndNonAsciiNamesWithServerCounts)
{
    ASSERT_TRUE(startServer());
    ASSERT_TRUE(server.deliver(QStringLiteral("INBOX"), {{}, {}}));
    ASSERT_TRUE(server.deliver(QStringLiteral("Archive/2020"), {{}, {}, {}}));
    ASSERT_TRUE(server.deliver(QStringLiteral("Réunions &co"), {{}}));
    ASSERT_TRUE(open());

    auto root = folder(QStringLiteral("Server"));
    ASSERT_TRUE(root);
    EXPECT_TRUE(root->isStoreRoot().value_or(false));
    const QStringList top = childNames(*root);
    ASSERT_FALSE(top.isEmpty());
    EXPECT_EQ(top.first(), QStringLiteral("Inbox")); // as the Maildir backend names it
    EXPECT_TRUE(top.contains(QStringLiteral("Archive")));
    EXPECT_TRUE(top.contains(QStringLiteral("Réunions &co")));

    EXPECT_EQ(count(QStringLiteral("Server\\Inbox")), 2);
    EXPECT_EQ(count(QStringLiteral("Server\\Archive\\2020")), 3);
    EXPECT_EQ(count(QStringLiteral("Server\\Réunions &co")), 1);
    EXPECT_EQ(count(QStringLiteral("Server")), 0);

    auto nested = folder(QStringLiteral("Server\\Archive\\2020"));
    ASSERT_TRUE(nested);
    EXPECT_EQ(nested->folderPath().value_or(QString()),
              QStringLiteral("\\\\Server\\Archive\\2020"));
    auto again = session->getFolderFromId(nested->entryId().value_or(QString()));
    ASSERT_TRUE(again) << session->lastError().text.toStdString();
    EXPECT_EQ(again->folderPath(), nested->folderPath());
}

TEST_F(ImapFolderTree, AddedFoldersAreServerMailboxesEvenWithTheSeparatorInTheirName)
{
    ASSERT_TRUE(startServer());
    ASSERT_TRUE(open());
    auto root = folder(QStringLiteral("Server"));
    ASSERT_TRUE(root);
    auto added = root->folders()->add(QStringLiteral("Clients ü"));
    ASSERT_TRUE(added);
    auto child = added->folders()->add(QStringLiteral("Q1/Q2"));
    ASSERT_TRUE(child) << added->folders()->lastError().text.toStdString();
    EXPECT_EQ(child->name().value_or(QString()), QStringLiteral("Q1/Q2"));

    const QStringList mailboxes = server.mailboxes();
    EXPECT_TRUE(mailboxes.contains(QStringLiteral("Clients ü")))
        << mailboxes.join(',').toStdString();
    EXPECT_TRUE(mailboxes.contains(QStringLiteral("Clients ü/Q1%2FQ2")))
        << mailboxes.join(',').toStdString();

    auto again = root->folders();
    EXPECT_FALSE(again->add(QStringLiteral("Clients ü")));
    EXPECT_EQ(again->lastError().kind, platform::ErrorKind::Exists);
    EXPECT_TRUE(folder(QStringLiteral("Server\\Clients ü\\Q1/Q2")));
}

} // namespace
} // namespace kestrel::test
