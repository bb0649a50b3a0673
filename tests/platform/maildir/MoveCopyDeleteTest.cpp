#include "OpenProfile.h"
#include "support/TempMaildir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace kestrel;
using platform::ErrorKind;

namespace {

const QDateTime kReceived(QDate(2009, 1, 5), QTime(14, 7, 33));

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

QString flagsOf(const QString& path)
{
    return QFileInfo(path).fileName().section(":2,", 1);
}

QString uniqueOf(const QString& path)
{
    return QFileInfo(path).fileName().section(":2,", 0, 0);
}

void writeKeywords(const QString& dir, const QByteArray& text)
{
    QFile file(dir + "/dovecot-keywords");
    file.open(QIODevice::WriteOnly);
    file.write(text);
}

} // namespace

TEST(MaildirMove, WithinAStoreKeepsNameFlagsAndReceivedTime)
{
    test::TempMaildir maildir;
    maildir.addStore("Personal Folders");
    const QString source = maildir.addMessage({.received = kReceived, .flags = "FS"});
    const QByteArray bytes = contentOf(source);
    maildir.folderDir("Archive");
    maildir.writeProfile();

    test::OpenProfile open;
    auto item = open.folder("Personal Folders\\Inbox")->items()->item(1);
    ASSERT_TRUE(item);
    const QString oldId = *item->entryId();
    auto archive = open.folder("Personal Folders\\Archive");
    auto moved = item->move(*archive);
    ASSERT_TRUE(moved) << item->lastError().text.toStdString();

    EXPECT_TRUE(maildir.messageFiles("Inbox").isEmpty());
    const QStringList there = maildir.messageFiles("Archive");
    ASSERT_EQ(there.size(), 1);
    EXPECT_EQ(uniqueOf(there[0]), uniqueOf(source));
    EXPECT_EQ(flagsOf(there[0]), "FS");
    EXPECT_EQ(contentOf(there[0]), bytes);
    EXPECT_EQ(QFileInfo(there[0]).lastModified(), kReceived);

    EXPECT_EQ(moved->receivedTime(), kReceived);
    EXPECT_EQ(moved->unRead(), false);
    EXPECT_NE(moved->entryId(), oldId);
    EXPECT_TRUE(open.session->getMessageFromId(*moved->entryId()));
    EXPECT_EQ(open.session->getMessageFromId(oldId), nullptr);
    // The moved-away object fails cleanly but still knows its size.
    EXPECT_FALSE(item->subject());
    EXPECT_EQ(item->lastError().kind, ErrorKind::NotFound);
    EXPECT_EQ(item->size(), bytes.size());
    EXPECT_EQ(open.count("Personal Folders\\Archive"), 1);

    // Into the store root: the store root holds no items, so Inbox takes it.
    auto back = moved->move(*open.folder("Personal Folders"));
    ASSERT_TRUE(back);
    EXPECT_EQ(maildir.messageFiles("Inbox").size(), 1);
}

TEST(MaildirMove, CopiesAreNewMessagesWithTheSameFlagsAndTime)
{
    test::TempMaildir maildir;
    maildir.addStore("Personal Folders");
    const QString source = maildir.addMessage({.received = kReceived, .flags = ""});
    maildir.folderDir("Archive");
    maildir.writeProfile();

    test::OpenProfile open;
    auto archive = open.folder("Personal Folders\\Archive");
    auto message = open.session->getMessageFromId(
        *open.folder("Personal Folders\\Inbox")->items()->item(1)->entryId());
    ASSERT_TRUE(message);
    ASSERT_TRUE(message->copyTo(*archive));
    ASSERT_TRUE(message->copyTo(*archive)); // twice: two copies
    EXPECT_TRUE(QFile::exists(source));
    const QStringList copies = maildir.messageFiles("Archive");
    ASSERT_EQ(copies.size(), 2);
    for (const QString& copy : copies) {
        EXPECT_NE(uniqueOf(copy), uniqueOf(source));
        EXPECT_EQ(flagsOf(copy), "");
        EXPECT_EQ(contentOf(copy), contentOf(source));
        EXPECT_EQ(QFileInfo(copy).lastModified(), kReceived);
    }
    EXPECT_EQ(open.count("Personal Folders\\Archive"), 2);
    EXPECT_EQ(open.count("Personal Folders\\Inbox"), 1);
}

TEST(MaildirMove, AcrossStoresAndFileSystemsTranslatesKeywords)
{
    test::TempMaildir maildir;
    // /dev/shm is a different file system on most machines: the copy-then-unlink path.
    test::TempMaildir other(QDir("/dev/shm").exists() ? "/dev/shm" : QString());
    maildir.addStore("Personal Folders");
    maildir.addStore("Archive", other.root() + "/archive");
    const QString source = maildir.addMessage(
        {.received = kReceived, .flags = "S", .keywords = {"$Label1", "$NoArchive"}});
    const QByteArray bytes = contentOf(source);
    const QString destDir = maildir.folderDir("Inbox", "Archive");
    writeKeywords(destDir, "0 $Other\n");
    maildir.writeProfile();

    test::OpenProfile open;
    auto item = open.folder("Personal Folders\\Inbox")->items()->item(1);
    ASSERT_TRUE(item);
    EXPECT_EQ(item->noAging(), true);
    auto moved = item->move(*open.folder("Archive\\Inbox"));
    ASSERT_TRUE(moved) << item->lastError().detail.toStdString();
    EXPECT_FALSE(QFile::exists(source));
    const QStringList there = maildir.messageFiles("Inbox", "Archive");
    ASSERT_EQ(there.size(), 1);
    EXPECT_EQ(contentOf(there[0]), bytes);
    EXPECT_EQ(QFileInfo(there[0]).lastModified(), kReceived);
    EXPECT_EQ(flagsOf(there[0]), "Sbc"); // $Label1 and $NoArchive after $Other
    EXPECT_EQ(contentOf(destDir + "/dovecot-keywords"), "0 $Other\n1 $Label1\n2 $NoArchive\n");
    EXPECT_EQ(moved->noAging(), true);
    EXPECT_TRUE(QDir(destDir + "/tmp").isEmpty());

    // And a copy back across, with a clash on the unique name avoided.
    ASSERT_TRUE(moved->copyTo(*open.folder("Personal Folders\\Inbox")));
    ASSERT_EQ(maildir.messageFiles("Inbox").size(), 1);
    EXPECT_EQ(flagsOf(maildir.messageFiles("Inbox")[0]), "Sab");
}

TEST(MaildirMove, NameClashGivesANewUniqueName)
{
    test::TempMaildir maildir;
    maildir.addStore("Personal Folders");
    const QString source = maildir.addMessage({.subject = "one"});
    const QString archiveDir = maildir.folderDir("Archive");
    ASSERT_TRUE(QFile::copy(source, archiveDir + "/cur/" + QFileInfo(source).fileName()));
    maildir.writeProfile();

    test::OpenProfile open;
    auto moved = open.folder("Personal Folders\\Inbox")
                     ->items()
                     ->item(1)
                     ->move(*open.folder("Personal Folders\\Archive"));
    ASSERT_TRUE(moved);
    EXPECT_EQ(maildir.messageFiles("Archive").size(), 2);
    EXPECT_TRUE(maildir.messageFiles("Inbox").isEmpty());
}

TEST(MaildirDelete, DeletedItemsFirstThenForGood)
{
    test::TempMaildir maildir;
    const QString store = maildir.addStore("Personal Folders");
    maildir.addMessage({.subject = "a"});
    maildir.addMessage({.subject = "b"});
    maildir.writeProfile();

    test::OpenProfile open;
    auto items = open.folder("Personal Folders\\Inbox")->items();
    auto first = items->item(1);
    ASSERT_TRUE(first->deleteItem());
    EXPECT_TRUE(QFileInfo(store + "/.Deleted Items/cur").isDir()); // created on demand
    EXPECT_EQ(open.count("Personal Folders\\Deleted Items"), 1);
    EXPECT_EQ(open.count("Personal Folders\\Inbox"), 1);
    EXPECT_FALSE(first->deleteItem()); // already gone from where it was

    auto bin = open.folder("Personal Folders\\Deleted Items")->items()->item(1);
    ASSERT_TRUE(bin);
    ASSERT_TRUE(bin->deleteItem()); // from Deleted Items: for good
    EXPECT_EQ(open.count("Personal Folders\\Deleted Items"), 0);

    auto second = items->item(2);
    ASSERT_TRUE(second->deleteItem()); // Deleted Items exists now: reused
    EXPECT_EQ(open.count("Personal Folders\\Deleted Items"), 1);

    // The session's delete removes at once.
    maildir.addMessage({.subject = "c"});
    auto third = open.session->getMessageFromId(
        *open.folder("Personal Folders\\Inbox")->items()->item(1)->entryId());
    ASSERT_TRUE(third);
    ASSERT_TRUE(third->deletePermanently());
    EXPECT_EQ(open.count("Personal Folders\\Inbox"), 0);
    EXPECT_EQ(open.count("Personal Folders\\Deleted Items"), 1);
}

TEST(MaildirIds, MessageIdsSurviveFlagChangesAndFindNewArrivals)
{
    test::TempMaildir maildir;
    maildir.addStore("Personal Folders");
    const QString path = maildir.addMessage({.flags = "", .subject = "flag me"});
    maildir.writeProfile();

    test::OpenProfile open;
    auto item = open.folder("Personal Folders\\Inbox")->items()->item(1);
    const QString id = *item->entryId();
    ASSERT_TRUE(open.session->getMessageFromId(id)); // builds the folder's map
    EXPECT_EQ(item->unRead(), true);

    // Another program marks it read: Dovecot renames the file.
    const QString renamed = QFileInfo(path).path() + "/" + uniqueOf(path) + ":2,S";
    ASSERT_TRUE(QFile::rename(path, renamed));
    auto again = open.session->getMessageFromId(id);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->unRead(), false);
    EXPECT_EQ(again->entryId(), id);
    EXPECT_EQ(item->subject(), "flag me"); // the older object follows the rename too

    // Moving it with the stale object still works and leaves nothing behind.
    auto archive = open.folder("Personal Folders")->folders()->add("Archive");
    ASSERT_TRUE(item->move(*archive));
    EXPECT_FALSE(QFile::exists(renamed));

    // As a run takes an item up: read, named, then asked of the session. A
    // flag change in between is followed by the move, not taken for a loss.
    const QString next = maildir.addMessage({.flags = "", .subject = "read, then renamed"});
    auto listed = open.folder("Personal Folders\\Inbox")->items()->item(1);
    ASSERT_EQ(listed->subject(), "read, then renamed");
    const QString nextId = *listed->entryId();
    const QString nextRenamed = QFileInfo(next).path() + "/" + uniqueOf(next) + ":2,S";
    ASSERT_TRUE(QFile::rename(next, nextRenamed));
    auto taken = open.session->getMessageFromId(nextId);
    ASSERT_TRUE(taken);
    auto moved = taken->move(*archive);
    ASSERT_TRUE(moved) << taken->lastError().text.toStdString();
    EXPECT_FALSE(QFile::exists(nextRenamed));
    EXPECT_EQ(moved->unRead(), false);
    EXPECT_EQ(moved->subject(), "read, then renamed");

    // A message that arrives after the map was built is found (the miss refreshes it).
    const QString late = maildir.addMessage({.subject = "late"});
    auto lateItem = open.folder("Personal Folders\\Inbox")->items()->item(1);
    ASSERT_TRUE(lateItem);
    const QString lateId = *lateItem->entryId();
    EXPECT_TRUE(open.session->getMessageFromId(lateId));
    QFile::remove(late);
    EXPECT_EQ(open.session->getMessageFromId(lateId), nullptr);
    EXPECT_EQ(open.session->lastError().kind, ErrorKind::NotFound);
    EXPECT_EQ(open.session->getMessageFromId("kmk:msg:%2Fx:.:y"), nullptr);
    EXPECT_EQ(open.session->getMessageFromId("kmk:msg:broken"), nullptr);
    EXPECT_EQ(open.session->lastError().kind, ErrorKind::Invalid);
}
