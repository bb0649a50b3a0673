#include "OpenProfile.h"
#include "platform/maildir/MaildirName.h"
#include "support/TempMaildir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

using namespace kestrel;
using namespace kestrel::platform::maildir;
using platform::ErrorKind;

namespace {

QStringList childNames(platform::Folder& folder)
{
    QStringList names;
    auto children = folder.folders();
    for (int i = 1; i <= children->count().value_or(0); ++i)
        names.append(children->item(i)->name().value_or("?"));
    return names;
}

// Sets a directory's time as a listing long ago would have found it.
void ageDirectory(const QString& dir, int secondsAgo)
{
    struct timespec times[2] = {};
    clock_gettime(CLOCK_REALTIME, &times[0]);
    times[0].tv_sec -= secondsAgo;
    times[1] = times[0];
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(dir).constData(), times, 0), 0);
}

// Sets a directory's time back to what it was: a change in the same clock tick.
void setTime(const QString& dir, const struct timespec& mtime)
{
    const struct timespec times[2] = {mtime, mtime};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(dir).constData(), times, 0), 0);
}

struct timespec mtimeOf(const QString& dir)
{
    struct stat st {};
    ::stat(QFile::encodeName(dir).constData(), &st);
    return st.st_mtim;
}

} // namespace

TEST(MaildirName, EscapesAndModifiedUtf7RoundTrip)
{
    EXPECT_EQ(encodeFolderComponent("a.b/c%d"), "a%2Eb%2Fc%25d");
    EXPECT_EQ(encodeModifiedUtf7("Entwürfe"), "Entw&APw-rfe");
    EXPECT_EQ(encodeModifiedUtf7("A&B"), "A&-B");
    EXPECT_EQ(decodeModifiedUtf7("Entw&APw-rfe"), "Entwürfe");
    EXPECT_EQ(encodeModifiedUtf7("日本語"), "&ZeVnLIqe-");
    for (const QString name : {"Entwürfe", "日本語 notes", "%2F literal", "a.b", "x/y", "&amp;", "",
                               "😀 emoji", "trailing."}) {
        EXPECT_EQ(decodeFolderComponent(encodeFolderComponent(name)), name) << name.toStdString();
        EXPECT_FALSE(encodeFolderComponent(name).contains('.'));
        EXPECT_FALSE(encodeFolderComponent(name).contains('/'));
    }
    EXPECT_TRUE(decodeModifiedUtf7("bad&AB").isNull());  // no terminator
    EXPECT_TRUE(decodeModifiedUtf7("bad&A!-").isNull()); // not base64
    EXPECT_TRUE(decodeModifiedUtf7("raw\xc3\xa9").isNull());
}

TEST(MaildirFolders, StoreRootInboxAndTopLevelFolders)
{
    test::TempMaildir maildir;
    maildir.addStore("Personal Folders");
    maildir.folderDir("Sent Items");
    maildir.folderDir("Archive\\2009\\Q1"); // ".Archive" only implied
    maildir.folderDir("Inbox\\Clients");
    maildir.folderDir("a/b.c%d");
    maildir.folderDir("Entwürfe");
    QDir(maildir.storePath()).mkdir(".bad&AB"); // not modified UTF-7: shown as it is
    QFile(maildir.storePath() + "/.stray-file").open(QIODevice::WriteOnly);
    maildir.addMessage({.folder = "Inbox"});
    maildir.writeProfile();

    test::OpenProfile open;
    auto root = open.folder("Personal Folders");
    ASSERT_TRUE(root);
    EXPECT_EQ(root->isStoreRoot(), true);
    EXPECT_EQ(root->folderPath(), "\\\\Personal Folders");
    EXPECT_EQ(root->items()->count(), 0); // the store root holds no items
    EXPECT_EQ(root->defaultItemType(), 0);
    EXPECT_EQ(childNames(*root),
              (QStringList{"Inbox", "a/b.c%d", "Archive", "bad&AB", "Entwürfe", "Sent Items"}));

    auto inbox = open.folder("Personal Folders\\Inbox");
    ASSERT_TRUE(inbox);
    EXPECT_EQ(inbox->isStoreRoot(), false);
    EXPECT_EQ(inbox->items()->count(), 1);
    EXPECT_EQ(inbox->folderPath(), "\\\\Personal Folders\\Inbox");
    EXPECT_EQ(childNames(*inbox), QStringList{"Clients"});
    EXPECT_EQ(inbox->storeId(), root->storeId());
    EXPECT_NE(inbox->entryId(), root->entryId());

    auto q1 = open.folder("Personal Folders\\Archive\\2009\\Q1");
    ASSERT_TRUE(q1);
    EXPECT_EQ(q1->folderPath(), "\\\\Personal Folders\\Archive\\2009\\Q1");
    EXPECT_EQ(open.count("Personal Folders\\Archive"), 0);

    auto slash = open.folder("Personal Folders\\a/b.c%d");
    ASSERT_TRUE(slash);
    EXPECT_EQ(slash->folderPath(), "\\\\Personal Folders\\a%2Fb.c%25d");

    // Lookup is exact, but Inbox answers to any letter case, as INBOX does in Dovecot.
    EXPECT_TRUE(open.folder("Personal Folders\\INBOX"));
    EXPECT_FALSE(open.folder("Personal Folders\\sent items"));
    auto stores = open.ns->folders();
    EXPECT_EQ(stores->item("personal folders"), nullptr);
    EXPECT_EQ(stores->lastError().kind, ErrorKind::NotFound);
    EXPECT_EQ(stores->item(0), nullptr);
    EXPECT_EQ(stores->item(2), nullptr);
    EXPECT_EQ(stores->add("New store"), nullptr);
}

TEST(MaildirFolders, AddCreatesDovecotLayoutAndNamesRoundTrip)
{
    test::TempMaildir maildir;
    const QString store = maildir.addStore("Personal Folders");
    maildir.writeProfile();
    test::OpenProfile open;
    auto root = open.folder("Personal Folders");
    ASSERT_TRUE(root);

    const QStringList names{"Projects", "a/b", "v1.2", "100%", "Überweisungen", "日本"};
    for (const QString& name : names) {
        auto created = root->folders()->add(name);
        ASSERT_TRUE(created) << name.toStdString();
        EXPECT_EQ(created->name(), name);
        auto again = root->folders()->item(name);
        ASSERT_TRUE(again) << name.toStdString();
        EXPECT_EQ(again->entryId(), created->entryId());
        auto byId = open.session->getFolderFromId(*created->entryId());
        ASSERT_TRUE(byId);
        EXPECT_EQ(byId->name(), name);
        EXPECT_EQ(byId->folderPath(), created->folderPath());
    }
    EXPECT_TRUE(QFileInfo(store + "/.a%2Fb/cur").isDir());
    EXPECT_TRUE(QFileInfo(store + "/.v1%2E2/new").isDir());
    EXPECT_TRUE(QFileInfo(store + "/.100%25/tmp").isDir());
    EXPECT_TRUE(QFileInfo(store + "/.&ANw-berweisungen/maildirfolder").isFile());

    auto projects = root->folders()->item("Projects");
    auto sub = projects->folders()->add("Sub");
    ASSERT_TRUE(sub);
    EXPECT_TRUE(QFileInfo(store + "/.Projects.Sub/cur").isDir());
    EXPECT_EQ(sub->folderPath(), "\\\\Personal Folders\\Projects\\Sub");
    auto inboxChild = root->folders()->item("Inbox")->folders()->add("Child");
    ASSERT_TRUE(inboxChild);
    EXPECT_TRUE(QFileInfo(store + "/.INBOX.Child/cur").isDir());

    // Duplicates and empty names are refused.
    auto folders = root->folders();
    EXPECT_EQ(folders->add("Projects"), nullptr);
    EXPECT_EQ(folders->lastError().kind, ErrorKind::Exists);
    EXPECT_EQ(folders->add("inbox"), nullptr);
    EXPECT_EQ(folders->add(""), nullptr);
    EXPECT_EQ(folders->lastError().kind, ErrorKind::Invalid);

    // Identifiers of folders that are not there, or not identifiers at all.
    EXPECT_EQ(open.session->getFolderFromId("kmk:folder:%2Fnowhere:.X"), nullptr);
    EXPECT_EQ(open.session->getFolderFromId("garbage"), nullptr);
    EXPECT_EQ(open.session->lastError().kind, ErrorKind::Invalid);
    const QString gone = *projects->entryId();
    QDir(store + "/.Projects").removeRecursively();
    QDir(store + "/.Projects.Sub").removeRecursively();
    EXPECT_EQ(open.session->getFolderFromId(gone), nullptr);
    EXPECT_EQ(open.session->lastError().kind, ErrorKind::NotFound);
}

TEST(MaildirFolders, TypeMarkerGivesDefaultItemType)
{
    test::TempMaildir maildir;
    maildir.addStore("Personal Folders");
    QFile(maildir.folderDir("Calendar") + "/" + kFolderTypeFile).open(QIODevice::WriteOnly);
    {
        QFile marker(maildir.folderDir("Calendar") + "/" + kFolderTypeFile);
        marker.open(QIODevice::WriteOnly);
        marker.write("1\n");
        QFile contacts(maildir.folderDir("Contacts") + "/" + kFolderTypeFile);
        contacts.open(QIODevice::WriteOnly);
        contacts.write("2");
        QFile junk(maildir.folderDir("Junk") + "/" + kFolderTypeFile);
        junk.open(QIODevice::WriteOnly);
        junk.write("nonsense");
    }
    maildir.writeProfile();
    test::OpenProfile open;
    EXPECT_EQ(open.folder("Personal Folders\\Calendar")->defaultItemType(), 1);
    EXPECT_EQ(open.folder("Personal Folders\\Contacts")->defaultItemType(), 2);
    EXPECT_EQ(open.folder("Personal Folders\\Junk")->defaultItemType(), 0);
    EXPECT_EQ(open.folder("Personal Folders\\Inbox")->defaultItemType(), 0);
}

TEST(MaildirFolders, FoldersMadeOrRemovedByAnotherProgramShowAtOnce)
{
    test::TempMaildir maildir;
    const QString store = maildir.addStore("Personal Folders");
    maildir.folderDir("Old");
    maildir.writeProfile();
    ageDirectory(store, 3600); // a root this old is listed once and then trusted
    test::OpenProfile open;
    auto root = open.folder("Personal Folders");
    ASSERT_TRUE(root);
    EXPECT_EQ(childNames(*root), (QStringList{"Inbox", "Old"}));
    EXPECT_EQ(childNames(*open.folder("Personal Folders\\Old")), QStringList{});

    maildir.folderDir("Old\\Sub");
    maildir.addMessage({.folder = "Old\\Sub", .inNew = true});
    EXPECT_EQ(childNames(*root), (QStringList{"Inbox", "Old"}));
    EXPECT_EQ(childNames(*open.folder("Personal Folders\\Old")), QStringList{"Sub"});
    EXPECT_EQ(open.count("Personal Folders\\Old\\Sub"), 1);

    // Removed, and the root's time set back, but to another time than listed.
    ASSERT_TRUE(QDir(store + "/.Old.Sub").removeRecursively());
    ageDirectory(store, 1800);
    EXPECT_EQ(childNames(*open.folder("Personal Folders\\Old")), QStringList{});
    EXPECT_FALSE(open.folder("Personal Folders\\Old\\Sub"));
}

// A root changed a moment ago is not trusted, but a listing of a moment ago
// serves the lookups of a whole tree; what changes within one tick is seen
// at once when this program made it, and a moment later when another did.
TEST(MaildirFolders, FoldersMadeInTheSameTickAsTheListingAreNotMissed)
{
    test::TempMaildir maildir;
    const QString store = maildir.addStore("Personal Folders");
    maildir.writeProfile();
    test::OpenProfile open;
    auto root = open.folder("Personal Folders");
    ASSERT_TRUE(root);
    ASSERT_TRUE(root->folders()->add(QStringLiteral("First")));
    const struct timespec listed = mtimeOf(store);
    EXPECT_EQ(childNames(*root), (QStringList{"Inbox", "First"}));

    ASSERT_TRUE(root->folders()->add(QStringLiteral("Second")));
    setTime(store, listed);
    EXPECT_EQ(childNames(*root), (QStringList{"Inbox", "First", "Second"}));

    ASSERT_TRUE(QDir(store).mkdir(QStringLiteral(".Third")));
    setTime(store, listed);
    QThread::msleep(150);
    EXPECT_EQ(childNames(*root), (QStringList{"Inbox", "First", "Second", "Third"}));
}
