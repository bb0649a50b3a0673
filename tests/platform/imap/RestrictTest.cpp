// Restrict on an IMAP folder: the server's day range, our minute bounds, and
// what each item then answers without another round trip.

#include "ImapStoreFixture.h"
#include "platform/DateRestriction.h"

#include <map>

namespace kestrel::test {
namespace {

using platform::DateProperty;
using platform::DateRestriction;
using ImapRestrict = ImapStoreTest;

QDateTime at(int day, int hour, int minute, int second = 0)
{
    return QDateTime(QDate(2021, 3, day), QTime(hour, minute, second));
}

QStringList subjectsOf(platform::ItemCollection& items)
{
    QStringList subjects;
    const qint64 n = items.count().value_or(0);
    for (qint64 i = 1; i <= n; ++i)
        subjects.append(items.item(i)->subject().value_or(QStringLiteral("?")));
    subjects.sort();
    return subjects;
}

TEST_F(ImapRestrict, EachPropertyToTheMinuteAcrossDays)
{
    ASSERT_TRUE(startServer());
    // Received (INTERNALDATE) and sent (Date:) a day apart, so that each
    // property picks its own messages; seconds inside the bounding minutes.
    QList<MessageSpec> mail;
    const QList<std::pair<QString, QDateTime>> received = {
        {QStringLiteral("before"), at(4, 9, 59, 59)},
        {QStringLiteral("first"), at(4, 10, 0, 0)},
        {QStringLiteral("last"), at(5, 23, 59, 42)},
        {QStringLiteral("after"), at(6, 0, 0, 0)},
        {QStringLiteral("far"), at(20, 12, 0)}};
    for (const auto& [subject, time] : received) {
        MessageSpec spec;
        spec.subject = subject;
        spec.received = time;
        spec.date = time.addDays(-1);
        mail.append(spec);
    }
    ASSERT_TRUE(server.deliver(QStringLiteral("INBOX"), mail));
    ASSERT_TRUE(open());

    const QStringList inRange{QStringLiteral("first"), QStringLiteral("last")};
    for (DateProperty property : platform::kDateProperties) {
        const bool sent = property == DateProperty::SentOn;
        const QDateTime start = at(4, 10, 0).addDays(sent ? -1 : 0);
        const QDateTime end = at(5, 23, 59).addDays(sent ? -1 : 0);
        auto items = restricted(QStringLiteral("Server\\Inbox"),
                                DateRestriction::between(property, start, end).toFilter());
        ASSERT_TRUE(items);
        EXPECT_EQ(subjectsOf(*items), inRange) << int(property);
    }

    auto any = restricted(QStringLiteral("Server\\Inbox"),
                          DateRestriction::anyBetween(at(20, 12, 0), at(20, 12, 0)).toFilter());
    ASSERT_TRUE(any);
    EXPECT_EQ(subjectsOf(*any), QStringList{QStringLiteral("far")});

    auto none = folder(QStringLiteral("Server\\Inbox"))->items()->restrict(QStringLiteral("[Bad"));
    EXPECT_FALSE(none);
}

TEST_F(ImapRestrict, ItemsAnswerFromTheListingAndAgainByIdentifier)
{
    ASSERT_TRUE(startServer());
    MessageSpec unread;
    unread.subject = QStringLiteral("=?UTF-8?B?w5xiZXJzaWNodA==?="); // "Übersicht"
    unread.flags = QString();
    unread.received = at(4, 10, 0);
    unread.date = at(3, 8, 30);
    MessageSpec kept;
    kept.subject = QStringLiteral("Keep");
    kept.keywords = {QStringLiteral("$NoArchive")};
    kept.received = at(4, 11, 0);
    MessageSpec report;
    report.subject = QStringLiteral("Undeliverable");
    report.contentType = QStringLiteral("multipart/report; report-type=delivery-status; "
                                        "boundary=\"b\"");
    report.body = "--b\nContent-Type: text/plain\n\nNo.\n--b--\n";
    report.received = at(4, 12, 0);
    MessageSpec meeting;
    meeting.subject = QStringLiteral("Planning");
    meeting.contentType = QStringLiteral("multipart/alternative; boundary=\"m\"");
    meeting.body = "--m\nContent-Type: text/plain\n\nCome.\n--m\nContent-Type: text/calendar; "
                   "method=REQUEST\n\nBEGIN:VCALENDAR\nEND:VCALENDAR\n--m--\n";
    meeting.received = at(4, 13, 0);
    ASSERT_TRUE(server.deliver(QStringLiteral("INBOX"), {unread, kept, report, meeting}));
    ASSERT_TRUE(open());

    auto items = restricted(
        QStringLiteral("Server\\Inbox"),
        DateRestriction::between(DateProperty::ReceivedTime, at(1, 0, 0), at(30, 0, 0)).toFilter());
    ASSERT_TRUE(items);
    ASSERT_EQ(items->count().value_or(0), 4);
    std::map<QString, std::unique_ptr<platform::MailItem>> bySubject;
    for (qint64 i = 1; i <= 4; ++i) {
        auto item = items->item(i);
        ASSERT_TRUE(item);
        auto again = session->getMessageFromId(item->entryId().value_or(QString()));
        ASSERT_TRUE(again) << session->lastError().text.toStdString();
        bySubject[again->subject().value_or(QString())] = std::move(again);
    }
    ASSERT_TRUE(bySubject.count(QStringLiteral("Übersicht")));
    platform::MailItem& first = *bySubject[QStringLiteral("Übersicht")];
    EXPECT_EQ(first.unRead(), true);
    EXPECT_EQ(first.noAging(), false);
    EXPECT_EQ(first.receivedTime(), at(4, 10, 0));
    EXPECT_EQ(first.creationTime(), at(4, 10, 0));
    EXPECT_EQ(first.lastModificationTime(), at(4, 10, 0));
    EXPECT_EQ(first.sentOn(), at(3, 8, 30));
    EXPECT_EQ(first.senderName(), QStringLiteral("Alice Sender"));
    EXPECT_EQ(first.senderEmailAddress(), QStringLiteral("alice@example.org"));
    EXPECT_EQ(first.receivedByName(), QStringLiteral("Demo User"));
    EXPECT_GT(first.size().value_or(0), 0);
    EXPECT_EQ(first.typeName(), QLatin1String(platform::kMailItemType));

    EXPECT_EQ(bySubject[QStringLiteral("Keep")]->noAging(), true);
    EXPECT_EQ(bySubject[QStringLiteral("Keep")]->unRead(), false);
    EXPECT_EQ(bySubject[QStringLiteral("Undeliverable")]->typeName(),
              QLatin1String(platform::kReportItemType));
    EXPECT_EQ(bySubject[QStringLiteral("Planning")]->typeName(),
              QLatin1String(platform::kMeetingItemType));

    // Objects outlive a logoff and still act, on a connection opened again.
    ns->logoff();
    EXPECT_TRUE(first.rawMessage()) << first.lastError().text.toStdString();
    EXPECT_TRUE(session->getMessageFromId(first.entryId().value_or(QString())));
}

TEST_F(ImapRestrict, BodiesReadAheadInEitherDirectionBelongToTheirItems)
{
    ASSERT_TRUE(startServer());
    QList<MessageSpec> mail;
    for (int i = 0; i < 40; ++i) {
        MessageSpec spec;
        spec.subject = QStringLiteral("Message %1").arg(i);
        spec.body = QStringLiteral("Body of message %1.\n").arg(i).toUtf8();
        spec.flags = QString(); // unread
        spec.received = at(4, 10, 0).addSecs(i * 60);
        mail.append(spec);
    }
    ASSERT_TRUE(server.deliver(QStringLiteral("INBOX"), mail));
    ASSERT_TRUE(open());
    auto items = restricted(
        QStringLiteral("Server\\Inbox"),
        DateRestriction::between(DateProperty::ReceivedTime, at(1, 0, 0), at(30, 0, 0)).toFilter());
    ASSERT_TRUE(items);
    ASSERT_EQ(items->count().value_or(0), 40);
    // Backwards as the engine walks, then forwards, then by identifier.
    QList<qint64> order;
    for (qint64 i = 40; i >= 1; --i)
        order.append(i);
    for (qint64 i = 1; i <= 40; ++i)
        order.append(i);
    for (qint64 i : order) {
        auto item = items->item(i);
        auto again = session->getMessageFromId(item->entryId().value_or(QString()));
        ASSERT_TRUE(again);
        const std::optional<platform::RawMessage> raw = again->rawMessage();
        ASSERT_TRUE(raw) << again->lastError().text.toStdString();
        const QString subject = item->subject().value_or(QString());
        EXPECT_TRUE(raw->content.contains(("Body of " + subject.toLower() + ".").toUtf8()))
            << subject.toStdString();
    }
    // Reading a body marks nothing read.
    const auto rows =
        server.fetch(QStringLiteral("flags"), QStringLiteral("INBOX"), {QStringLiteral("unseen")});
    ASSERT_TRUE(rows);
    EXPECT_EQ(rows->size(), 40);
}

TEST_F(ImapRestrict, AChangedUidValidityIsAnErrorNotAnotherMessage)
{
    ASSERT_TRUE(startServer());
    ASSERT_TRUE(server.deliver(QStringLiteral("Archive"), {{}, {}}));
    ASSERT_TRUE(open());
    auto items = restricted(QStringLiteral("Server\\Archive"),
                            DateRestriction::between(DateProperty::ReceivedTime,
                                                     QDateTime(QDate(1990, 1, 1), QTime()),
                                                     QDateTime::currentDateTime().addDays(1))
                                .toFilter());
    ASSERT_TRUE(items);
    ASSERT_EQ(items->count().value_or(0), 2);
    const QString id = items->item(1)->entryId().value_or(QString());
    auto item = items->item(1);

    const quint32 old = server.uidValidity(QStringLiteral("Archive")).value_or(0);
    ASSERT_TRUE(server.setUidValidity(QStringLiteral("Archive"), old + 1000));
    EXPECT_FALSE(item->rawMessage());
    EXPECT_TRUE(item->lastError().text.contains(QStringLiteral("rebuilt")))
        << item->lastError().text.toStdString();
    auto local = folder(QStringLiteral("Server\\Inbox"));
    EXPECT_FALSE(item->move(*local));
    EXPECT_EQ(server.messageCount(QStringLiteral("Archive")), 2);
}

} // namespace
} // namespace kestrel::test
