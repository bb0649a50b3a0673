// Move, copy and delete of IMAP messages: inside the server with and without
// MOVE, and both ways between the server and a local Maildir store.

#include "ImapStoreFixture.h"
#include "platform/DateRestriction.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <map>

namespace kestrel::test {
namespace {

using platform::ErrorKind;
using platform::MailItem;

QString anyTime()
{
    return platform::DateRestriction::between(platform::DateProperty::ReceivedTime,
                                              QDateTime(QDate(1990, 1, 1), QTime()),
                                              QDateTime::currentDateTime().addDays(2))
        .toFilter();
}

MessageSpec message(const QString& subject, const QString& flags = QStringLiteral("S"),
                    const QStringList& keywords = {})
{
    MessageSpec spec;
    spec.subject = subject;
    spec.flags = flags;
    spec.keywords = keywords;
    spec.received = QDateTime(QDate(2020, 6, 1), QTime(9, 30, 15));
    spec.date = spec.received.addSecs(-3600);
    return spec;
}

class ImapActions : public ImapStoreTest {
protected:
    // Every item of the folder at path, kept alive by the test.
    std::vector<MailItem*> itemsOf(const QString& path)
    {
        m_collections.push_back(restricted(path, anyTime()));
        std::vector<MailItem*> items;
        platform::ItemCollection* c = m_collections.back().get();
        const qint64 n = c ? c->count().value_or(0) : 0;
        for (qint64 i = 1; i <= n; ++i) {
            m_items.push_back(c->item(i));
            items.push_back(m_items.back().get());
        }
        return items;
    }
    static QStringList subjectsOf(const std::vector<MailItem*>& items)
    {
        QStringList subjects;
        for (MailItem* item : items)
            subjects.append(item->subject().value_or(QString()));
        subjects.sort();
        return subjects;
    }
    std::vector<std::unique_ptr<platform::ItemCollection>> m_collections;
    std::vector<std::unique_ptr<MailItem>> m_items;
};

class ImapActionsInServer : public ImapActions, public ::testing::WithParamInterface<bool> {};

TEST_P(ImapActionsInServer, MoveCopyAndDeleteBySetsWithExactOutcomes)
{
    ImapServerOptions options;
    // The server with MOVE has a \Trash folder; the one without has none, and
    // "Deleted Items" is made when first needed.
    if (!GetParam())
        options.withoutCapabilities = {QStringLiteral("MOVE")};
    options.trashSpecialUse = GetParam();
    const QString bin = GetParam() ? QStringLiteral("Trash") : QStringLiteral("Deleted Items");
    ASSERT_TRUE(startServer(options));
    ASSERT_TRUE(
        server.deliver(QStringLiteral("INBOX"), {message("one"), message("two"), message("three"),
                                                 message("four"), message("other's deleted")}));
    ASSERT_TRUE(server.createMailbox(QStringLiteral("Archive")));
    ASSERT_TRUE(open());

    std::vector<MailItem*> inbox = itemsOf(QStringLiteral("Server\\Inbox"));
    ASSERT_EQ(inbox.size(), 5u);
    std::sort(inbox.begin(), inbox.end(), [](MailItem* a, MailItem* b) {
        return a->subject().value_or(QString()) < b->subject().value_or(QString());
    }); // four, one, other's deleted, three, two
    // Someone else deletes "two" and marks "other's deleted" for deletion: the
    // first is reported gone, the second must survive our expunges.
    ASSERT_TRUE(server.doveadm({"expunge", "mailbox", "INBOX", "header", "Subject", "two"}).ok());
    ASSERT_TRUE(server
                    .doveadm({"flags", "add", "\\Deleted", "mailbox", "INBOX", "header", "Subject",
                              "other's deleted"})
                    .ok());

    auto archive = folder(QStringLiteral("Server\\Archive"));
    ASSERT_TRUE(archive);
    const std::vector<MailItem*> moving{inbox[0], inbox[1], inbox[4]};
    std::vector<platform::ItemOutcome> moved = platform::moveItems(moving, *archive);
    ASSERT_EQ(moved.size(), 3u);
    EXPECT_TRUE(moved[0].done && moved[1].done) << moved[0].error.text.toStdString();
    EXPECT_FALSE(moved[2].done);
    EXPECT_EQ(moved[2].error.kind, ErrorKind::NotFound);
    ASSERT_TRUE(moved[0].moved);
    EXPECT_EQ(moved[0].moved->subject(), QStringLiteral("four"));
    EXPECT_TRUE(session->getMessageFromId(moved[0].moved->entryId().value_or(QString())));
    EXPECT_EQ(serverSubjects(QStringLiteral("Archive")),
              (QStringList{QStringLiteral("four"), QStringLiteral("one")}));
    EXPECT_EQ(serverSubjects(QStringLiteral("INBOX")),
              (QStringList{QStringLiteral("other's deleted"), QStringLiteral("three")}));
    // A moved item acts no more.
    EXPECT_FALSE(inbox[0]->copyTo(*archive));
    EXPECT_EQ(inbox[0]->lastError().kind, ErrorKind::NotFound);

    EXPECT_TRUE(inbox[3]->copyTo(*archive)) << inbox[3]->lastError().text.toStdString();
    EXPECT_EQ(server.messageCount(QStringLiteral("Archive")), 3);
    EXPECT_EQ(server.messageCount(QStringLiteral("INBOX")), 2);

    // Delete: into the server's \Trash or "Deleted Items", then from there for good.
    std::vector<platform::ItemOutcome> deleted =
        platform::deleteItems(std::vector<MailItem*>{inbox[3]});
    ASSERT_TRUE(deleted[0].done) << deleted[0].error.text.toStdString();
    EXPECT_EQ(serverSubjects(bin), QStringList{QStringLiteral("three")});
    std::vector<MailItem*> trash = itemsOf(QStringLiteral("Server\\") + bin);
    ASSERT_EQ(trash.size(), 1u);
    EXPECT_TRUE(trash[0]->deleteItem()) << trash[0]->lastError().text.toStdString();
    EXPECT_EQ(server.messageCount(bin), 0);
    EXPECT_EQ(serverSubjects(QStringLiteral("INBOX")),
              QStringList{QStringLiteral("other's deleted")});
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutMove, ImapActionsInServer, ::testing::Bool());

QByteArray withLf(QByteArray text)
{
    return text.replace("\r\n", "\n");
}

// The files of a Maildir folder by their Subject header.
std::map<QString, QFileInfo> filesBySubject(const QString& dir)
{
    std::map<QString, QFileInfo> files;
    for (const char* sub : {"/cur", "/new"}) {
        for (const QFileInfo& info : QDir(dir + QLatin1String(sub)).entryInfoList(QDir::Files)) {
            QFile file(info.filePath());
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const QByteArray bytes = file.readAll();
            const qsizetype at = bytes.indexOf("\nSubject: ");
            if (at >= 0)
                files[QString::fromUtf8(
                    bytes.mid(at + 10, bytes.indexOf('\n', at + 1) - at - 10))] = info;
        }
    }
    return files;
}

QByteArray contentOf(const QFileInfo& info)
{
    QFile file(info.filePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST_F(ImapActions, BetweenServerAndLocalStoreKeepBytesFlagsKeywordsAndReceivedTime)
{
    ASSERT_TRUE(startServer());
    MessageSpec flagged = message("flagged", QStringLiteral("FS"), {QStringLiteral("$NoArchive")});
    MessageSpec unread = message("unread", QString());
    ASSERT_TRUE(server.deliver(QStringLiteral("INBOX"), {flagged, unread}));
    ASSERT_TRUE(open({.withLocalStore = true}));
    std::map<QString, QByteArray> dovecotFiles;
    for (const auto& [subject, info] : filesBySubject(server.mailRoot()))
        dovecotFiles[subject] = contentOf(info);
    ASSERT_EQ(dovecotFiles.size(), 2u);

    std::vector<MailItem*> fromServer = itemsOf(QStringLiteral("Server\\Inbox"));
    ASSERT_EQ(fromServer.size(), 2u);
    std::map<QString, QByteArray> sent;
    for (MailItem* item : fromServer)
        sent[item->subject().value_or(QString())] = withLf(item->rawMessage()->content);
    auto localInbox = folder(QStringLiteral("Local\\Inbox"));
    ASSERT_TRUE(localInbox);
    for (const platform::ItemOutcome& outcome : platform::moveItems(fromServer, *localInbox))
        EXPECT_TRUE(outcome.done) << outcome.error.text.toStdString();
    EXPECT_EQ(server.messageCount(QStringLiteral("INBOX")), 0);

    std::vector<MailItem*> local = itemsOf(QStringLiteral("Local\\Inbox"));
    ASSERT_EQ(local.size(), 2u);
    for (MailItem* item : local) {
        const QString subject = item->subject().value_or(QString());
        EXPECT_EQ(withLf(item->rawMessage()->content), sent[subject]) << subject.toStdString();
        EXPECT_EQ(item->receivedTime(), flagged.received);
        EXPECT_EQ(item->unRead(), subject == QLatin1String("unread"));
        EXPECT_EQ(item->noAging(), subject == QLatin1String("flagged"));
    }
    // On disk as Dovecot keeps the same message: LF line ends, S= the file's size.
    for (const auto& [subject, info] :
         filesBySubject(ImapStoreTest::local.storePath(QStringLiteral("Local")))) {
        EXPECT_EQ(contentOf(info), dovecotFiles[subject]) << subject.toStdString();
        EXPECT_TRUE(info.fileName().contains(QStringLiteral(",S=%1").arg(info.size())))
            << info.fileName().toStdString();
    }

    // And back: flags, keywords and the received time come with them.
    auto serverArchive = folder(QStringLiteral("Server"))->folders()->add(QStringLiteral("Back"));
    ASSERT_TRUE(serverArchive);
    for (const platform::ItemOutcome& outcome : platform::moveItems(local, *serverArchive))
        EXPECT_TRUE(outcome.done) << outcome.error.text.toStdString();
    const auto rows =
        server.fetch(QStringLiteral("hdr.subject flags date.received"), QStringLiteral("Back"));
    ASSERT_TRUE(rows && rows->size() == 2);
    for (const DoveadmRow& row : *rows) {
        const bool isFlagged = row.value("hdr.subject") == QLatin1String("flagged");
        EXPECT_EQ(row.value("flags").contains("\\Flagged"), isFlagged);
        EXPECT_EQ(row.value("flags").contains("$NoArchive"), isFlagged);
        EXPECT_EQ(row.value("flags").contains("\\Seen"), isFlagged);
        EXPECT_EQ(row.value("date.received"),
                  flagged.received.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
            << row.value("flags").toStdString();
    }
    std::vector<MailItem*> back = itemsOf(QStringLiteral("Server\\Back"));
    ASSERT_EQ(back.size(), 2u);
    for (MailItem* item : back)
        EXPECT_EQ(withLf(item->rawMessage()->content), sent[item->subject().value_or(QString())]);
    const std::optional<QString> backDir = server.mailboxDir(QStringLiteral("Back"));
    ASSERT_TRUE(backDir);
    const std::map<QString, QFileInfo> backFiles = filesBySubject(*backDir);
    ASSERT_EQ(backFiles.size(), 2u);
    for (const auto& [subject, info] : backFiles)
        EXPECT_EQ(contentOf(info), dovecotFiles[subject]) << subject.toStdString();
}

TEST_F(ImapActions, ExportToMsgAndImportOfMsg)
{
    ASSERT_TRUE(startServer());
    ASSERT_TRUE(server.deliver(QStringLiteral("INBOX"),
                               {message("kept", QString(), {QStringLiteral("$NoArchive")})}));
    ASSERT_TRUE(open());
    std::vector<MailItem*> inbox = itemsOf(QStringLiteral("Server\\Inbox"));
    ASSERT_EQ(inbox.size(), 1u);
    const QString file = local.root() + QStringLiteral("/kept.msg");
    ASSERT_TRUE(inbox[0]->saveAs(file, platform::kMsgFormat))
        << inbox[0]->lastError().text.toStdString();
    EXPECT_TRUE(QFile::exists(file));
    // Exporting reads with BODY.PEEK[]: the message stays unread.
    EXPECT_FALSE(server.fetch(QStringLiteral("flags"), QStringLiteral("INBOX"))
                     ->first()
                     .value("flags")
                     .contains("\\Seen"));

    ASSERT_TRUE(server.createMailbox(QStringLiteral("Imported")));
    auto imported = folder(QStringLiteral("Server\\Imported"));
    ASSERT_TRUE(imported);
    std::unique_ptr<MailItem> added = imported->addItem();
    ASSERT_TRUE(added->importFile(file, platform::kMsgFormat))
        << added->lastError().text.toStdString();
    EXPECT_EQ(added->subject(), QStringLiteral("kept"));
    ASSERT_TRUE(added->save()) << added->lastError().text.toStdString();
    const auto rows =
        server.fetch(QStringLiteral("hdr.subject flags date.received"), QStringLiteral("Imported"));
    ASSERT_TRUE(rows && rows->size() == 1);
    EXPECT_EQ(rows->first().value("hdr.subject"), QStringLiteral("kept"));
    EXPECT_TRUE(rows->first().value("flags").contains("$NoArchive"));
    EXPECT_FALSE(rows->first().value("flags").contains("\\Seen"));
    EXPECT_EQ(rows->first().value("date.received"), QStringLiteral("2020-06-01 09:30:15"));
    EXPECT_TRUE(session->getMessageFromId(added->entryId().value_or(QString())));
}

TEST_F(ImapActions, AServerRestartedMidRunIsReconnectedOnce)
{
    ASSERT_TRUE(startServer());
    ASSERT_TRUE(
        server.deliver(QStringLiteral("INBOX"), {message("a"), message("b"), message("c")}));
    ASSERT_TRUE(server.createMailbox(QStringLiteral("Archive")));
    ASSERT_TRUE(open());
    std::vector<MailItem*> inbox = itemsOf(QStringLiteral("Server\\Inbox"));
    ASSERT_EQ(inbox.size(), 3u);
    auto archive = folder(QStringLiteral("Server\\Archive"));
    ASSERT_TRUE(archive);
    const auto logins = [&] { return server.log().count("Login: user=<"); };
    const qsizetype before = logins();

    // Going down, the server ends its sessions: each restart costs one login.
    ASSERT_TRUE(server.restart()) << server.lastError().toStdString();
    EXPECT_TRUE(inbox[0]->rawMessage()) << inbox[0]->lastError().text.toStdString();
    EXPECT_EQ(logins(), before + 1);
    ASSERT_TRUE(server.restart()) << server.lastError().toStdString();
    for (const platform::ItemOutcome& outcome :
         platform::moveItems(std::vector<MailItem*>{inbox[1], inbox[2]}, *archive))
        EXPECT_TRUE(outcome.done) << outcome.error.text.toStdString();
    EXPECT_EQ(logins(), before + 2);
    EXPECT_EQ(server.messageCount(QStringLiteral("Archive")), 2);

    server.stop(); // and down it stays
    EXPECT_FALSE(inbox[0]->move(*archive));
    EXPECT_TRUE(inbox[0]->lastError().text.contains(QStringLiteral("Cannot connect")))
        << inbox[0]->lastError().text.toStdString();
    EXPECT_EQ(server.messageCount(QStringLiteral("INBOX")), 1);
}

} // namespace
} // namespace kestrel::test
