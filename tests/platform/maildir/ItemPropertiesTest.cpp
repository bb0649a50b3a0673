#include "OpenProfile.h"
#include "platform/maildir/EntryId.h"
#include "platform/maildir/MessageFileName.h"
#include "support/TempMaildir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace kestrel;
using platform::ErrorKind;

namespace {

std::unique_ptr<platform::MailItem> itemWithSubject(platform::ItemCollection& items,
                                                    const QString& subject)
{
    for (qint64 i = 1; i <= items.count().value_or(0); ++i) {
        auto item = items.item(i);
        if (item && item->subject() == subject)
            return item;
    }
    return nullptr;
}

} // namespace

TEST(MaildirItems, FlagsKeywordsAndSizes)
{
    test::TempMaildir maildir;
    maildir.addStore("Personal Folders");
    maildir.addMessage({.flags = "S", .subject = "read"});
    maildir.addMessage({.flags = "F", .subject = "unread flagged"});
    maildir.addMessage({.flags = "S", .keywords = {"$Label1", "$NoArchive"}, .subject = "keep"});
    maildir.addMessage({.flags = "", .keywords = {"$Label1"}, .subject = "label only"});
    const QString fresh = maildir.addMessage({.subject = "new", .inNew = true});
    maildir.writeProfile();

    test::OpenProfile open;
    auto items = open.folder("Personal Folders\\Inbox")->items();
    ASSERT_EQ(items->count(), 5);
    EXPECT_EQ(itemWithSubject(*items, "read")->unRead(), false);
    EXPECT_EQ(itemWithSubject(*items, "unread flagged")->unRead(), true);
    EXPECT_EQ(itemWithSubject(*items, "new")->unRead(), true);
    EXPECT_EQ(itemWithSubject(*items, "keep")->noAging(), true);
    EXPECT_EQ(itemWithSubject(*items, "keep")->unRead(), false);
    EXPECT_EQ(itemWithSubject(*items, "label only")->noAging(), false);
    EXPECT_EQ(itemWithSubject(*items, "read")->noAging(), false);
    EXPECT_EQ(itemWithSubject(*items, "new")->size(), QFileInfo(fresh).size());
}

TEST(MaildirItems, KindsNamesAndEncodedWords)
{
    test::TempMaildir maildir;
    maildir.addStore("Personal Folders");
    maildir.addMessage({.subject = "=?UTF-8?B?R3LDvMOfZQ==?= aus =?ISO-8859-1?Q?K=F6ln?=",
                        .from = "=?UTF-8?Q?J=C3=BCrgen_M=C3=BCller?= <juergen@example.de>",
                        .to = "\"Smith, Ann\" <ann@example.org>, demo.user@example.com"});
    maildir.addMessage({.subject = "report",
                        .contentType = "multipart/report; report-type=delivery-status; "
                                       "boundary=\"b1\"",
                        .body = "--b1\nContent-Type: text/plain\n\nfailed\n--b1--\n"});
    maildir.addMessage({.subject = "invite",
                        .contentType = "text/calendar; method=REQUEST; charset=utf-8",
                        .body = "BEGIN:VCALENDAR\nEND:VCALENDAR\n"});
    maildir.addMessage({.subject = "nested invite",
                        .contentType = "multipart/alternative; boundary=\"b2\"",
                        .body = "--b2\nContent-Type: text/plain\n\nhi\n--b2\n"
                                "Content-Type: text/calendar; method=REQUEST\n\n"
                                "BEGIN:VCALENDAR\nEND:VCALENDAR\n--b2--\n"});
    maildir.addMessage({.subject = "calendar file",
                        .contentType = "multipart/mixed; boundary=\"b3\"",
                        .body = "--b3\nContent-Type: text/plain\n\nsee file\n--b3\n"
                                "Content-Type: text/calendar; name=x.ics\n\n"
                                "BEGIN:VCALENDAR\nEND:VCALENDAR\n--b3--\n"});
    maildir.addMessage({.subject = "sent by me",
                        .from = "Demo User <demo.user@example.com>",
                        .to = "Bob <bob@example.net>"});
    maildir.addMessage(
        {.subject = "list mail", .from = "a@example.org", .to = "List <list@example.org>"});
    maildir.addMessage({.subject = "delivered",
                        .raw =
                            "From: x@example.org\nTo: undisclosed-recipients:;\n"
                            "Delivered-To: demo.user@example.com\nSubject: delivered\n\nbody\n"});
    maildir.writeProfile();

    test::OpenProfile open;
    auto items = open.folder("Personal Folders\\Inbox")->items();
    auto encoded = itemWithSubject(*items, "Grüße aus Köln");
    ASSERT_TRUE(encoded);
    EXPECT_EQ(encoded->typeName(), "MailItem");
    EXPECT_EQ(encoded->senderName(), "Jürgen Müller");
    EXPECT_EQ(encoded->senderEmailAddress(), "juergen@example.de");
    EXPECT_EQ(encoded->firstRecipientName(), "Smith, Ann");
    EXPECT_EQ(encoded->firstRecipientAddress(), "ann@example.org");
    // The user is the second To: without a name there, the profile's name.
    EXPECT_EQ(encoded->receivedByName(), "Demo User");

    EXPECT_EQ(itemWithSubject(*items, "report")->typeName(), "ReportItem");
    EXPECT_EQ(itemWithSubject(*items, "invite")->typeName(), "MeetingItem");
    EXPECT_EQ(itemWithSubject(*items, "nested invite")->typeName(), "MeetingItem");
    EXPECT_EQ(itemWithSubject(*items, "calendar file")->typeName(), "MailItem");

    auto sent = itemWithSubject(*items, "sent by me");
    EXPECT_EQ(sent->receivedByName(), "");
    EXPECT_EQ(sent->firstRecipientName(), "Bob");
    auto list = itemWithSubject(*items, "list mail");
    EXPECT_EQ(list->receivedByName(), "List");
    EXPECT_EQ(list->senderName(), "a@example.org"); // no display name: the address
    auto delivered = itemWithSubject(*items, "delivered");
    ASSERT_TRUE(delivered);
    EXPECT_EQ(delivered->receivedByName(), "Demo User");
    EXPECT_EQ(delivered->firstRecipientAddress(), "");
    EXPECT_FALSE(delivered->sentOn()); // no Date: header
    EXPECT_EQ(delivered->lastError().kind, ErrorKind::NotFound);
}

TEST(MaildirItems, TimesAreLocalAndSizeComesFromTheName)
{
    test::TempMaildir maildir;
    maildir.addStore("Personal Folders");
    const QDateTime sent(QDate(2009, 1, 5), QTime(14, 7, 33));
    const QDateTime received(QDate(2009, 1, 5), QTime(14, 9, 0));
    const QDateTime created(QDate(2009, 1, 6), QTime(8, 0, 0));
    const QString path =
        maildir.addMessage({.date = sent, .received = received, .created = created});
    maildir.writeProfile();

    test::OpenProfile open;
    auto item = open.folder("Personal Folders\\Inbox")->items()->item(1);
    ASSERT_TRUE(item);
    EXPECT_EQ(item->sentOn(), sent);
    EXPECT_EQ(item->receivedTime(), received);
    EXPECT_EQ(item->creationTime(), created);
    EXPECT_EQ(item->sentOn()->timeSpec(), Qt::LocalTime);
    EXPECT_GE(*item->lastModificationTime(), QDateTime::currentDateTime().addSecs(-60));
    EXPECT_EQ(item->size(), QFileInfo(path).size());
}

// 8-bit names and subjects without an RFC 2047 label: UTF-8 when they are valid
// UTF-8, else the body's charset, else windows-1252; never U+FFFD.
TEST(MaildirItems, UnlabelledEightBitHeaders)
{
    test::TempMaildir maildir;
    maildir.addStore("Personal Folders");
    const QByteArray big5Subject = QByteArray::fromHex("b77cc4b3acf6bffd"); // 會議紀錄
    const QByteArray big5Name = QByteArray::fromHex("a4fda470a9fa");        // 王小明
    maildir.addMessage({.raw = "From: " + big5Name + " <wang@example.tw>\nSubject: " + big5Subject +
                               "\nContent-Type: text/plain; charset=big5\n\nbody\n"});
    maildir.addMessage({.raw = "From: a@example.org\nSubject: Gr\xc3\xbc\xc3\x9f"
                               "e utf8\n"
                               "Content-Type: text/plain; charset=iso-8859-1\n\nbody\n"});
    maildir.addMessage({.raw = "From: a@example.org\nSubject: Gr\xfc\xdf"
                               "e latin\n\nbody\n"});
    maildir.writeProfile();

    test::OpenProfile open;
    auto items = open.folder("Personal Folders\\Inbox")->items();
    QStringList subjects;
    for (qint64 i = 1; i <= items->count().value_or(0); ++i) {
        auto item = items->item(i);
        subjects << item->subject().value_or(QString());
        if (subjects.back().startsWith(QString::fromUtf8("\u6703"))) {
            EXPECT_EQ(item->senderName().value_or(QString()).toStdString(), "\u738b\u5c0f\u660e");
        }
    }
    subjects.sort();
    EXPECT_EQ(subjects.join('|').toStdString(),
              "Gr\u00fc\u00dfe latin|Gr\u00fc\u00dfe utf8|\u6703\u8b70\u7d00\u9304");
}

// The size a name gives is trusted without a stat, so only a plain run of
// ASCII digits in the unique part is one.
TEST(MaildirItems, OnlyAWholeSizeFieldOfTheUniquePartGivesTheSize)
{
    using platform::maildir::MessageFileName;
    EXPECT_EQ(MessageFileName::sizeFieldOf(u"1.M1P1Q1.h,S=1019:2,S"), 1019);
    EXPECT_EQ(MessageFileName::sizeFieldOf(u"1.M1P1Q1.h,S=1019,W=1040"), 1019);
    EXPECT_EQ(MessageFileName::sizeFieldOf(u"1.M1P1Q1.h,S=0"), 0);
    EXPECT_EQ(MessageFileName::sizeFieldOf(u"1.M1P1Q1.h,S=9223372036854775807"),
              9223372036854775807LL);
    const char16_t* none[] = {u"1.M1P1Q1.h",
                              u"1.M1P1Q1.h,S=",
                              u"1.M1P1Q1.h:2,S=5",
                              u"1.M1P1Q1.h,S=9223372036854775808",
                              u"1.M1P1Q1.h,S=12\u0663",
                              u",S",
                              u""};
    for (const char16_t* name : none)
        EXPECT_EQ(MessageFileName::sizeFieldOf(name), std::nullopt)
            << QString::fromUtf16(name).toStdString();
}

// Identifiers are kept in run journals, so their form must not change; each
// part reads back as it was, bytes that are not UTF-8 too.
TEST(MaildirItems, IdentifiersKeepTheirFormAndReadBack)
{
    using platform::maildir::EntryId;
    EXPECT_EQ(EntryId::forMessage(QStringLiteral("/tmp/a b~"), QStringLiteral(".Sent:x"),
                                  QStringLiteral("1.M2,S=3%")),
              QStringLiteral("kmk:msg:/tmp/a%20b~:.Sent%3Ax:1.M2%2CS%3D3%25"));
    const QString awkward[] = {QStringLiteral("plain.name-1_2"), QStringLiteral("caf\u00e9 \u65e5"),
                               QString(QChar(0xDC80)) + QStringLiteral("raw"),
                               QStringLiteral("a,b=c:d%e/f")};
    for (const QString& part : awkward) {
        SCOPED_TRACE(qPrintable(part));
        const std::optional<EntryId> id = EntryId::parse(
            EntryId::forMessage(QStringLiteral("/s/") + part, QStringLiteral(".") + part,
                                QStringLiteral("u") + QString(part).remove('/')));
        ASSERT_TRUE(id);
        EXPECT_EQ(id->storePath, QStringLiteral("/s/") + part);
        EXPECT_EQ(id->dirName, QStringLiteral(".") + part);
        EXPECT_EQ(id->unique, QStringLiteral("u") + QString(part).remove('/'));
    }
}
