#include "OpenProfile.h"
#include "support/TempMaildir.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace kestrel;
using platform::ErrorKind;
using platform::kMsgFormat;

TEST(MaildirMsgFiles, SaveAsThenImportKeepsContentFlagsAndTimes)
{
    test::TempMaildir maildir;
    maildir.addStore("Personal Folders");
    const QDateTime sent(QDate(2009, 1, 5), QTime(14, 7, 33));
    const QDateTime received(QDate(2009, 1, 5), QTime(14, 9, 0));
    maildir.addMessage({.date = sent,
                        .received = received,
                        .flags = "",
                        .keywords = {"$NoArchive"},
                        .subject = "Quarterly figures",
                        .body = "Numbers attached.\n"});
    for (const char* marks : {"FRS", "P", "FPRS"})
        maildir.addMessage({.folder = "Marks", .flags = marks, .subject = marks});
    maildir.writeProfile();

    test::OpenProfile open;
    auto inbox = open.folder("Personal Folders\\Inbox");
    auto item = inbox->items()->item(1);
    ASSERT_TRUE(item);
    const QString file = maildir.root() + "/export.msg";
    ASSERT_TRUE(item->saveAs(file, kMsgFormat)) << item->lastError().detail.toStdString();
    EXPECT_GT(QFileInfo(file).size(), 0);
    EXPECT_FALSE(item->saveAs(file + "x", 1));
    EXPECT_EQ(item->lastError().kind, ErrorKind::Unsupported);

    auto archive = open.folder("Personal Folders")->folders()->add("Archive");
    auto fresh = archive->addItem();
    ASSERT_TRUE(fresh);
    EXPECT_FALSE(fresh->save()); // nothing imported yet
    ASSERT_TRUE(fresh->importFile(file, kMsgFormat)) << fresh->lastError().text.toStdString();
    EXPECT_EQ(fresh->subject(), "Quarterly figures");
    EXPECT_EQ(fresh->unRead(), true);
    EXPECT_EQ(fresh->noAging(), true);
    EXPECT_EQ(fresh->receivedTime(), received);
    EXPECT_EQ(fresh->sentOn(), sent);
    EXPECT_EQ(open.count("Personal Folders\\Archive"), 0);

    ASSERT_TRUE(fresh->save()) << fresh->lastError().detail.toStdString();
    EXPECT_EQ(open.count("Personal Folders\\Archive"), 1);
    const QStringList files = maildir.messageFiles("Archive");
    ASSERT_EQ(files.size(), 1);
    EXPECT_EQ(QFileInfo(files[0]).lastModified(), received);
    EXPECT_TRUE(files[0].endsWith(":2,a")); // unread, and $NoArchive as the first keyword
    auto stored = open.session->getMessageFromId(*fresh->entryId());
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->subject(), "Quarterly figures");
    EXPECT_EQ(stored->noAging(), true);
    EXPECT_EQ(stored->senderEmailAddress(), "alice@example.org");

    // Saved into a store root, a message lands in Inbox.
    auto rootItem = open.folder("Personal Folders")->addItem();
    ASSERT_TRUE(rootItem->importFile(file, kMsgFormat));
    ASSERT_TRUE(rootItem->save());
    EXPECT_EQ(open.count("Personal Folders\\Inbox"), 2);

    // Follow-up, answered and forwarded marks survive the trip through a file.
    auto marked = open.folder("Personal Folders\\Marks")->items();
    ASSERT_EQ(marked->count(), 3);
    for (int i = 1; i <= 3; ++i) {
        const QString path = maildir.root() + QStringLiteral("/marks%1.msg").arg(i);
        ASSERT_TRUE(marked->item(i)->saveAs(path, kMsgFormat));
        auto back = archive->addItem();
        ASSERT_TRUE(back->importFile(path, kMsgFormat));
        ASSERT_TRUE(back->save());
    }
    QStringList flags;
    for (const QString& file : maildir.messageFiles("Archive"))
        flags << file.section(":2,", 1);
    flags.sort();
    // Answered wins over forwarded when a message is both: the file keeps one last verb.
    EXPECT_EQ(flags, QStringList({"FRS", "FRS", "P", "a"}));

    // A file that is no .msg: a clear error.
    QFile junk(maildir.root() + "/junk.msg");
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not a compound file");
    junk.close();
    auto bad = archive->addItem();
    EXPECT_FALSE(bad->importFile(junk.fileName(), kMsgFormat));
    EXPECT_FALSE(bad->lastError().ok());
    EXPECT_FALSE(bad->importFile(maildir.root() + "/missing.msg", kMsgFormat));
}
