#include "OpenProfile.h"
#include "platform/DateRestriction.h"
#include "support/TempMaildir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <sys/stat.h>

using namespace kestrel;
using platform::DateRestriction;
using platform::ErrorKind;

namespace {

QDateTime local(int y, int mo, int d, int h, int mi, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::LocalTime);
}

QString range(const char* property, const char* from, const char* to)
{
    return QStringLiteral("[%1] >= \"%2\" and [%1] <= \"%3\"").arg(property, from, to);
}

// Subjects of the matching items, in collection order.
QStringList subjects(platform::ItemCollection& items)
{
    QStringList out;
    for (qint64 i = 1; i <= items.count().value_or(0); ++i)
        out.append(items.item(i)->subject().value_or("?"));
    out.sort();
    return out;
}

} // namespace

TEST(MaildirRestrict, EveryPropertyBothBoundsAtMinutePrecision)
{
    test::TempMaildir maildir;
    maildir.addStore("Personal Folders");
    const QDateTime sentBase = local(2008, 6, 1, 9, 0);
    // Received inside the day, at its first and last minute, and just outside it.
    maildir.addMessage(
        {.date = sentBase, .received = local(2009, 1, 5, 14, 7, 33), .subject = "mid"});
    maildir.addMessage(
        {.date = sentBase, .received = local(2009, 1, 5, 23, 59, 42), .subject = "last"});
    maildir.addMessage(
        {.date = sentBase, .received = local(2009, 1, 5, 0, 0, 59), .subject = "first"});
    maildir.addMessage(
        {.date = sentBase, .received = local(2009, 1, 4, 23, 59, 59), .subject = "before"});
    maildir.addMessage(
        {.date = sentBase, .received = local(2009, 1, 6, 0, 0, 0), .subject = "after"});
    // Sent on the day (Date: header) but received later.
    maildir.addMessage({.date = local(2009, 1, 5, 23, 59, 30),
                        .received = local(2010, 2, 2, 2, 2),
                        .subject = "sent-in"});
    // Created (unique name time) on the day, received long after.
    maildir.addMessage({.date = sentBase,
                        .received = local(2011, 3, 3, 3, 3),
                        .created = local(2009, 1, 5, 8, 0),
                        .flags = "",
                        .subject = "created-in",
                        .inNew = true});
    maildir.writeProfile();

    test::OpenProfile open;
    auto inbox = open.folder("Personal Folders\\Inbox");
    ASSERT_TRUE(inbox);
    auto items = inbox->items();
    EXPECT_EQ(items->count(), 7);

    const char* from = "January 05, 2009 12:00 AM";
    const char* to = "January 05, 2009 11:59 PM";
    auto received = items->restrict(range("ReceivedTime", from, to));
    ASSERT_TRUE(received);
    EXPECT_EQ(subjects(*received), (QStringList{"first", "last", "mid"}));

    auto sent = items->restrict(range("SentOn", from, to));
    ASSERT_TRUE(sent);
    EXPECT_EQ(subjects(*sent), QStringList{"sent-in"});

    auto created = items->restrict(range("CreationTime", from, to));
    ASSERT_TRUE(created);
    EXPECT_EQ(subjects(*created), (QStringList{"created-in", "first", "last", "mid"}));

    // Modified = the later of creation and the last change (ctime, which is now).
    auto modifiedOld = items->restrict(range("LastModificationTime", from, to));
    ASSERT_TRUE(modifiedOld);
    EXPECT_EQ(modifiedOld->count(), 0);
    const DateRestriction recent(
        {{{platform::DateProperty::LastModificationTime, DateRestriction::Op::GreaterEqual,
           DateRestriction::minuteOf(QDateTime::currentMSecsSinceEpoch() - 120000)}}});
    auto modifiedNow = items->restrict(recent.toFilter());
    ASSERT_TRUE(modifiedNow) << items->lastError().detail.toStdString();
    EXPECT_EQ(modifiedNow->count(), 7);

    // The four ranges joined by " OR ", as the engine writes them.
    const QString any =
        DateRestriction::anyBetween(local(2009, 1, 5, 0, 0), local(2009, 1, 5, 23, 59, 59))
            .toFilter();
    auto either = items->restrict(any);
    ASSERT_TRUE(either);
    EXPECT_EQ(subjects(*either), (QStringList{"created-in", "first", "last", "mid", "sent-in"}));

    // A restriction of a restriction narrows further; the bounds alone work too.
    auto lower = items->restrict("[ReceivedTime] >= \"January 05, 2009 11:59 PM\"");
    EXPECT_EQ(subjects(*lower), (QStringList{"after", "created-in", "last", "sent-in"}));
    auto upper = lower->restrict("[ReceivedTime] <= \"January 05, 2009 11:59 PM\"");
    EXPECT_EQ(subjects(*upper), QStringList{"last"});

    // An unparsable filter is an error, not an empty result.
    EXPECT_EQ(items->restrict("[ReceivedTime] >= \"Someday\""), nullptr);
    EXPECT_EQ(items->lastError().kind, ErrorKind::Invalid);
    EXPECT_EQ(items->restrict("[ReceivedTime] >= \"January 05, 2009 12:00 AM\" and"), nullptr);
}

TEST(MaildirRestrict, ForeignFileNamesFallBackToTheFileTime)
{
    test::TempMaildir maildir;
    maildir.addStore("Personal Folders");
    const QString path = maildir.addMessage({.received = local(2009, 1, 5, 10, 0), .subject = "x"});
    const QString foreign = maildir.folderDir("Inbox") + "/cur/some-other-tool-id:2,S";
    ASSERT_TRUE(QFile::copy(path, foreign));
    QFile::remove(path);
    // QFile::copy keeps no mtime: set it again through a touch of the same time.
    maildir.addMessage({.received = local(2012, 1, 1, 0, 0), .subject = "later"});
    QFile f(foreign);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    f.setFileTime(local(2009, 1, 5, 10, 0), QFileDevice::FileModificationTime);
    f.close();
    maildir.writeProfile();

    test::OpenProfile open;
    auto items = open.folder("Personal Folders\\Inbox")->items();
    auto created = items->restrict(
        range("CreationTime", "January 05, 2009 12:00 AM", "January 05, 2009 11:59 PM"));
    ASSERT_TRUE(created);
    ASSERT_EQ(created->count(), 1);
    EXPECT_EQ(created->item(1)->creationTime(), local(2009, 1, 5, 10, 0));
    EXPECT_EQ(created->item(1)->size(), QFileInfo(foreign).size());
}

TEST(MaildirRestrict, ItemsReadAheadAreTheirOwnInAnyOrderAndFollowOtherPrograms)
{
    test::TempMaildir maildir;
    maildir.addStore("Personal Folders");
    QStringList paths;
    for (int i = 0; i < 300; ++i)
        paths.append(maildir.addMessage({.received = local(2009, 1, 1 + i % 20, 10, i % 60),
                                         .flags = "",
                                         .subject = QStringLiteral("message %1").arg(i)}));
    maildir.writeProfile();
    test::OpenProfile open;
    auto inbox = open.folder("Personal Folders\\Inbox");
    const QString january10 =
        range("ReceivedTime", "January 01, 2009 12:00 AM", "January 10, 2009 11:59 PM");

    // Each item's header is its own file's, whether the run takes the items
    // from the last (as the read-ahead expects), from the first or at random.
    const auto checkAll = [&](const std::vector<qint64>& order) {
        auto taken = inbox->items()->restrict(january10);
        ASSERT_TRUE(taken);
        ASSERT_EQ(taken->count(), 150);
        for (const qint64 i : order) {
            auto item = taken->item(i);
            ASSERT_TRUE(item);
            const QString subject = item->subject().value_or(QString());
            const auto raw = item->rawMessage();
            ASSERT_TRUE(raw);
            EXPECT_TRUE(raw->content.contains(("Subject: " + subject + "\n").toUtf8())) << i;
        }
    };
    std::vector<qint64> order(150);
    std::iota(order.rbegin(), order.rend(), 1);
    checkAll(order);
    std::reverse(order.begin(), order.end());
    checkAll(order);
    std::shuffle(order.begin(), order.end(), std::mt19937(7));
    checkAll(order);

    // Another program marks a third read and deletes a tenth while they are
    // read ahead: the read ones move with their new flag, the deleted are gone.
    auto taken = inbox->items()->restrict(january10);
    ASSERT_TRUE(taken);
    int renamed = 0;
    int deleted = 0;
    for (int i = 0; i < paths.size(); ++i) {
        if (i % 3 == 0 && QFile::rename(paths[i], paths[i] + "S"))
            ++renamed;
        else if (i % 10 == 1 && QFile::remove(paths[i]))
            ++deleted;
    }
    auto archive = open.folder("Personal Folders")->folders()->add("Archive");
    ASSERT_TRUE(archive);
    int moved = 0;
    int gone = 0;
    for (qint64 i = 150; i >= 1; --i) {
        auto item = taken->item(i);
        if (!item) {
            ++gone;
            continue;
        }
        const QString subject = item->subject().value_or(QString());
        const std::optional<QString> id = item->entryId();
        if (!id) {
            ++gone;
            EXPECT_EQ(item->lastError().kind, ErrorKind::NotFound);
            continue;
        }
        auto message = open.session->getMessageFromId(*id);
        std::unique_ptr<platform::MailItem> done = message ? message->move(*archive) : nullptr;
        if (done) {
            ++moved;
            const int number = subject.section(' ', 1).toInt();
            EXPECT_EQ(done->unRead(), number % 3 != 0) << subject.toStdString();
        } else {
            ++gone;
            EXPECT_EQ((message ? message->lastError() : open.session->lastError()).kind,
                      ErrorKind::NotFound);
        }
    }
    EXPECT_EQ(moved + gone, 150);
    EXPECT_EQ(QDir(maildir.folderDir("Archive") + "/cur").entryList(QDir::Files).size(), moved);
    EXPECT_EQ(QDir(maildir.folderDir("Inbox") + "/cur").entryList(QDir::Files).size(),
              300 - deleted - moved);
    EXPECT_GT(renamed, 0);
}

TEST(MaildirRestrict, ALargeFolderWalkedInTwoKeepsItsOrderAndItsOddEntries)
{
    test::TempMaildir maildir;
    maildir.addStore("Personal Folders");
    constexpr int kMessages = 5000; // a folder this large is walked by two threads
    // Sent and received in different months, so that a walk reading the
    // wrong date is seen.
    for (int i = 0; i < kMessages; ++i)
        maildir.addMessage({.date = local(2009, 1 + (i + 1) % 3, 1, 10, 0),
                            .received = local(2009, 1 + i % 3, 1, 10, 0),
                            .subject = QStringLiteral("message %1").arg(i)});
    // A link and a FIFO near each end of the listing, which sorts by name:
    // kept as matches whose items fail, in their place.
    const QString cur = maildir.folderDir("Inbox") + "/cur/";
    for (const char* name : {"0000.link:2,S", "zzzz.link:2,S"})
        ASSERT_TRUE(QFile::link(cur + QDir(cur).entryList(QDir::Files).first(), cur + name));
    for (const char* name : {"0000.fifo:2,S", "zzzz.fifo:2,S"})
        ASSERT_EQ(::mkfifo(QFile::encodeName(cur + name).constData(), 0600), 0);
    maildir.writeProfile();
    test::OpenProfile open;
    auto items = open.folder("Personal Folders\\Inbox")->items();

    // What a one-by-one look at the whole folder says is in January by
    // dateOf, in order; every item when dateOf is null.
    using DateOf = std::optional<QDateTime> (platform::MailItem::*)();
    const auto sequence = [](platform::ItemCollection& from, DateOf dateOf) {
        QStringList out;
        for (qint64 i = 1; i <= from.count().value_or(0); ++i) {
            auto item = from.item(i);
            if (!item)
                out.append("failed");
            else if (!dateOf || ((*item).*dateOf)()->date().month() == 1)
                out.append(item->subject().value_or("?"));
        }
        return out;
    };
    // By the file's time the walk only stats; by the Date header it reads each file.
    const struct {
        const char* property;
        DateOf dateOf;
        int inJanuary;
    } byDate[] = {{"ReceivedTime", &platform::MailItem::receivedTime, (kMessages + 2) / 3},
                  {"SentOn", &platform::MailItem::sentOn, kMessages / 3}};
    for (const auto& by : byDate) {
        SCOPED_TRACE(by.property);
        const QStringList expected = sequence(*items, by.dateOf);
        ASSERT_EQ(expected.size(), by.inJanuary + 4);
        auto january = items->restrict(
            range(by.property, "January 01, 2009 12:00 AM", "January 31, 2009 11:59 PM"));
        ASSERT_TRUE(january);
        EXPECT_EQ(sequence(*january, nullptr), expected);
    }
}
