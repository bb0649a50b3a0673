// The one-item selection rule used for messages read from disk files.

#include "EngineStores.h"
#include "engine/FolderProcessor.h"
#include "engine/TaskSettings.h"
#include "folders/mdlMAPI.h"

#include <QFile>
#include <QHash>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

using namespace kestrel;
using namespace kestrel::test;

namespace {

TestMessage received(const QString& subject, const QDateTime& when)
{
    TestMessage m;
    m.subject = subject;
    m.received = when;
    m.created = m.sent = at(2005, 1, 1);
    return m;
}

} // namespace

TEST(IsFilterOkay, DatesToTheSecondThenNoArchiveAndUnread)
{
    EngineStores stores({QStringLiteral("Personal Folders")});
    stores.addMessage(0, QStringLiteral("Inbox"),
                      received(QStringLiteral("first second"), at(2020, 1, 1, 0, 0, 0)));
    stores.addMessage(0, QStringLiteral("Inbox"),
                      received(QStringLiteral("last minute"), at(2020, 12, 31, 23, 59, 30)));
    stores.addMessage(0, QStringLiteral("Inbox"),
                      received(QStringLiteral("last second"), at(2020, 12, 31, 23, 59, 59)));
    stores.addMessage(0, QStringLiteral("Inbox"),
                      received(QStringLiteral("next day"), at(2021, 1, 1, 0, 0, 0)));
    stores.addMessage(0, QStringLiteral("Inbox"),
                      received(QStringLiteral("day before"), at(2019, 12, 31, 23, 59, 59)));
    TestMessage unread = received(QStringLiteral("unread"), at(2020, 6, 1));
    unread.unread = true;
    stores.addMessage(0, QStringLiteral("Inbox"), unread);
    TestMessage keep = received(QStringLiteral("no archive"), at(2020, 6, 1));
    keep.noArchive = true;
    stores.addMessage(0, QStringLiteral("Inbox"), keep);
    // 23:59:59.6 on the last day: inside, as the range ends at that second.
    for (const QString& path : stores.messageFiles(0, QStringLiteral("Inbox"))) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        if (!file.readAll().contains("Subject: last second"))
            continue;
        const timespec times[2] = {{0, UTIME_OMIT},
                                   {at(2020, 12, 31, 23, 59, 59).toSecsSinceEpoch(), 600000000}};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
    }
    ASSERT_TRUE(stores.open());

    engine::TaskSettings settings;
    settings.StartDate = at(2020, 1, 1, 0, 0, 0);
    settings.EndDate = at(2020, 12, 31, 23, 59, 59);
    auto verdicts = [&] {
        QHash<QString, std::optional<bool>> out;
        std::unique_ptr<platform::Folder> inbox =
            folders::GetFolderFromPath(stores.ns(), QStringLiteral("\\\\Personal Folders\\Inbox"));
        std::unique_ptr<platform::ItemCollection> items = inbox->items();
        for (qint64 i = 1; i <= items->count().value_or(0); ++i) {
            std::unique_ptr<platform::MailItem> item = items->item(i);
            out.insert(item->subject().value_or(QString()), engine::IsFilterOkay(settings, *item));
        }
        return out;
    };

    settings.DateBase = 0;
    settings.RespectNoArchive = true;
    QHash<QString, std::optional<bool>> v = verdicts();
    EXPECT_EQ(v.value(QStringLiteral("first second")), true);
    EXPECT_EQ(v.value(QStringLiteral("last minute")), true);
    EXPECT_EQ(v.value(QStringLiteral("last second")), true);
    EXPECT_EQ(v.value(QStringLiteral("next day")), false);
    EXPECT_EQ(v.value(QStringLiteral("day before")), false);
    EXPECT_EQ(v.value(QStringLiteral("unread")), false);
    EXPECT_EQ(v.value(QStringLiteral("no archive")), false);

    // Any of the four: no date test at all; the flags still count.
    settings.DateBase = 4;
    settings.IncludeUnread = true;
    settings.RespectNoArchive = false;
    v = verdicts();
    for (auto it = v.cbegin(); it != v.cend(); ++it)
        EXPECT_EQ(it.value(), true) << it.key().toStdString();

    // Sent on: all of them were sent in 2005.
    settings.DateBase = 1;
    v = verdicts();
    for (auto it = v.cbegin(); it != v.cend(); ++it)
        EXPECT_EQ(it.value(), false) << it.key().toStdString();
}
