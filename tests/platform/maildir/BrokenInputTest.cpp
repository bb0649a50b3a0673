#include "OpenProfile.h"
#include "support/TempMaildir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace kestrel;
using platform::ErrorKind;

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
}

// Reads every property; must not crash whatever the file holds.
void readEverything(platform::MailItem& item)
{
    item.typeName();
    item.entryId();
    item.subject();
    item.senderName();
    item.senderEmailAddress();
    item.receivedByName();
    item.firstRecipientName();
    item.firstRecipientAddress();
    item.creationTime();
    item.receivedTime();
    item.sentOn();
    item.lastModificationTime();
    item.noAging();
    item.unRead();
    item.size();
}

} // namespace

TEST(MaildirBrokenInput, DamagedMessagesAreReadWithoutCrashing)
{
    test::TempMaildir maildir;
    maildir.addStore("Personal Folders");
    const QString cur = maildir.folderDir("Inbox") + "/cur/";
    writeFile(cur + "1.M1P1Q1.h,S=30:2,S", "From: a@example.org\nSubject: trunc"); // cut mid-header
    writeFile(cur + "2.M1P1Q2.h:2,S", "just some text without any header\nmore\n");
    writeFile(cur + "3.M1P1Q3.h:2,S", "");
    writeFile(cur + "4.M1P1Q4.h:2,S", QByteArray("\x00\xff\xfe garbage\n\n\x01", 14));
    writeFile(cur + "odd name with spaces & :2,ZZ!", "Subject: odd\n\nbody\n");
    writeFile(cur + "5.M1P1Q5.h:2,S", "Subject: =?bogus?Q?x?= \nDate: not a date\n"
                                      "Content-Type: multipart/mixed\n\n--x\n");
    QDir().mkpath(cur + "a-directory:2,S");            // not a message
    writeFile(cur + ".hidden", "Subject: hidden\n\n"); // not a message
    writeFile(maildir.folderDir("Inbox") + "/tmp/stray", "Subject: half written\n"); // ignored
    maildir.writeProfile();

    test::OpenProfile open;
    auto items = open.folder("Personal Folders\\Inbox")->items();
    ASSERT_EQ(items->count(), 6);
    for (qint64 i = 1; i <= 6; ++i) {
        auto item = items->item(i);
        ASSERT_TRUE(item) << i;
        readEverything(*item);
        EXPECT_EQ(item->typeName(), "MailItem");
    }
    auto truncated = items->item(1);
    EXPECT_EQ(truncated->subject(), "trunc");
    EXPECT_EQ(truncated->size(), 30); // from the name
    EXPECT_FALSE(truncated->sentOn());
    EXPECT_EQ(items->item(3)->subject(), "");
    EXPECT_EQ(items->item(3)->size(), 0);

    // The filter skips what it cannot date, and acting on broken mail works.
    auto sent = items->restrict("[SentOn] >= \"January 01, 1970 12:00 AM\"");
    ASSERT_TRUE(sent);
    EXPECT_EQ(sent->count(), 0);
    auto archive = open.folder("Personal Folders")->folders()->add("Archive");
    ASSERT_TRUE(items->item(2)->move(*archive));
    EXPECT_EQ(open.count("Personal Folders\\Archive"), 1);
    EXPECT_EQ(QDir(maildir.folderDir("Inbox") + "/tmp").entryList(QDir::Files).size(), 1);
}

TEST(MaildirBrokenInput, UnreadableFileGivesAnError)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    test::TempMaildir maildir;
    maildir.addStore("Personal Folders");
    const QString path = maildir.addMessage({.subject = "secret"});
    maildir.writeProfile();
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::Permissions()));

    test::OpenProfile open;
    auto item = open.folder("Personal Folders\\Inbox")->items()->item(1);
    ASSERT_TRUE(item);
    EXPECT_FALSE(item->subject());
    EXPECT_EQ(item->lastError().kind, ErrorKind::AccessDenied);
    EXPECT_TRUE(item->receivedTime()); // stat still works
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

TEST(MaildirBrokenInput, MissingDirectoriesAndVanishedFiles)
{
    test::TempMaildir maildir;
    maildir.addStore("Personal Folders");
    const QString dir = maildir.folderDir("NoCur");
    maildir.addMessage({.folder = "NoCur", .subject = "in new", .inNew = true});
    QDir(dir + "/cur").removeRecursively();
    const QString gone = maildir.addMessage({.subject = "vanishes"});
    maildir.writeProfile();

    test::OpenProfile open;
    auto noCur = open.folder("Personal Folders\\NoCur");
    ASSERT_TRUE(noCur);
    EXPECT_EQ(noCur->items()->count(), 1); // what new/ holds

    // Moving into a folder without cur/ recreates it, as Dovecot would.
    auto item = open.folder("Personal Folders\\Inbox")->items()->item(1);
    ASSERT_TRUE(item);
    auto moved = item->move(*noCur);
    ASSERT_TRUE(moved);
    EXPECT_EQ(noCur->items()->count(), 2);

    // A file that disappears between listing and use.
    maildir.addMessage({.subject = "short-lived"});
    auto items = open.folder("Personal Folders\\Inbox")->items();
    ASSERT_EQ(items->count(), 1);
    for (const QString& file : maildir.messageFiles("Inbox"))
        QFile::remove(file);
    auto lost = items->item(1);
    if (lost) { // size came from the name; the rest fails cleanly
        EXPECT_FALSE(lost->subject());
        EXPECT_EQ(lost->lastError().kind, ErrorKind::NotFound);
        EXPECT_FALSE(lost->move(*noCur));
        EXPECT_FALSE(lost->deletePermanently());
    }
    Q_UNUSED(gone);

    // A whole folder directory removed under us.
    QDir(dir).removeRecursively();
    EXPECT_EQ(noCur->items()->count(), 0);
}

// A header of tens of thousands of encoded words once made GMime recurse past
// the stack; a store holding such mail must still be readable.
TEST(MaildirBrokenInput, HugeAddressHeaderDoesNotCrash)
{
    test::TempMaildir maildir;
    maildir.addStore("Personal Folders");
    QByteArray mime = "Date: Tue, 15 Sep 2020 10:00:00 +0000\nFrom: a@example.com\n"
                      "To: \"t\" <t@example.com>,\n";
    for (int i = 0; i < 80000; ++i)
        mime += "\t=?utf-8?Q?date=3E2017-08-20T10:08:28.617=3C/pr?=\n";
    mime += "Subject: deep\n\nbody\n";
    writeFile(maildir.folderDir("Inbox") + "/cur/1.M1P1Q1.h:2,S", mime);
    QByteArray oneLine = "From: a@example.com\nTo: \"t\" <t@example.com>,";
    for (int i = 0; i < 80000; ++i)
        oneLine += " =?utf-8?Q?date=3E2017-08-20T10:08:28.617=3C/pr?=";
    writeFile(maildir.folderDir("Inbox") + "/cur/2.M1P1Q2.h:2,S", oneLine + "\n\nbody\n");
    maildir.writeProfile();

    test::OpenProfile open;
    auto items = open.folder("Personal Folders\\Inbox")->items();
    ASSERT_EQ(items->count(), 2);
    for (qint64 i = 1; i <= 2; ++i) {
        auto item = items->item(i);
        ASSERT_TRUE(item);
        readEverything(*item);
    }
    auto sent = items->restrict("[SentOn] >= \"January 01, 1970 12:00 AM\"");
    ASSERT_TRUE(sent);
    EXPECT_EQ(sent->count(), 1);
}
