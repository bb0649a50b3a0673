#include "platform/PlatformRegistry.h"
#include "support/ForeignBackend.h"
#include "support/TempMaildir.h"

#include <QDir>
#include <QFile>
#include <QSettings>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace kestrel;
using platform::ErrorKind;

namespace {

void setType(const QString& profile, int store, const QString& type)
{
    QSettings ini(profile, QSettings::IniFormat);
    ini.setValue(QStringLiteral("Store%1/Type").arg(store), type);
}

ino_t inodeOf(const QString& path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(StoreTypes, StoresOfTwoBackendsListInProfileOrderAndAnswerByIdentifier)
{
    test::TempMaildir maildir;
    maildir.addStore("Personal Folders");
    maildir.addStore("Archive");
    maildir.addStore("Gone");
    maildir.addStore("Projects");
    maildir.addMessage({.store = "Archive", .subject = "In the archive"});
    const QString profile = maildir.writeProfile("Archive");
    setType(profile, 2, "Maildir-Foreign"); // read in any letter case
    setType(profile, 3, test::kForeignType);
    // A store its backend leaves out keeps the others in their places.
    QDir(maildir.storePath("Gone")).removeRecursively();

    auto app = platform::createApplication(test::withForeignBackend());
    ASSERT_TRUE(app);
    auto ns = app->getNamespace("MAPI");
    ASSERT_TRUE(ns && ns->logon()) << ns->lastError().text.toStdString();
    auto stores = ns->folders();
    ASSERT_TRUE(stores);
    ASSERT_EQ(stores->count(), 3);
    EXPECT_EQ(stores->item(1)->name(), "Personal Folders");
    EXPECT_EQ(stores->item(2)->name(), "Archive");
    EXPECT_EQ(stores->item(3)->name(), "Projects");
    EXPECT_EQ(stores->item(4), nullptr);
    ASSERT_EQ(ns->unusableStores().size(), 1);
    EXPECT_TRUE(ns->unusableStores().first().text.contains("Gone"));
    EXPECT_EQ(stores->lastError().kind, ErrorKind::NotFound);
    auto archive = stores->item("Archive");
    ASSERT_TRUE(archive);

    auto session = ns->openSession();
    ASSERT_TRUE(session);
    EXPECT_EQ(session->defaultStoreId(), archive->storeId());
    EXPECT_EQ(session->currentUserAddress(), "demo.user@example.com");
    auto inbox = archive->folders()->item("Inbox");
    ASSERT_TRUE(inbox);
    auto item = inbox->items()->item(1);
    ASSERT_TRUE(item);
    auto byId = session->getMessageFromId(item->entryId().value_or(""));
    ASSERT_TRUE(byId);
    EXPECT_EQ(byId->subject(), "In the archive");
    auto projects = session->getFolderFromId(stores->item(3)->entryId().value_or(""));
    ASSERT_TRUE(projects);
    EXPECT_EQ(projects->name(), "Projects");
    EXPECT_EQ(session->getFolderFromId("kmk:folder:nowhere"), nullptr);
    EXPECT_FALSE(session->lastError().ok());
}

TEST(StoreTypes, AStoreOfAnUnknownTypeIsRefusedAtLogonWithItsName)
{
    test::TempMaildir maildir;
    maildir.addStore("Personal Folders");
    maildir.addStore("Remote");
    const QString profile = maildir.writeProfile();
    setType(profile, 2, "exchange");

    auto app = platform::createApplication();
    ASSERT_TRUE(app);
    auto ns = app->getNamespace("MAPI");
    ASSERT_TRUE(ns);
    EXPECT_FALSE(ns->logon());
    EXPECT_EQ(ns->lastError().kind, ErrorKind::Unsupported);
    EXPECT_TRUE(ns->lastError().text.contains("\"Remote\"")) << ns->lastError().text.toStdString();
    EXPECT_TRUE(ns->lastError().text.contains("\"exchange\""));
    EXPECT_EQ(ns->folders(), nullptr);
    EXPECT_EQ(ns->openSession(), nullptr);
}

// Between backends a message travels as its bytes with its flags, keywords and
// received time; none of them may be lost on the way.
// A backend whose server does not answer: its logon fails with the reason.
class UnreachableStores : public platform::Namespace {
public:
    bool logon() override
    {
        setError(ErrorKind::Io, QStringLiteral("The store \"Work\" cannot be reached"),
                 QStringLiteral("Connection refused"));
        return false;
    }
    void logoff() override {}
    std::unique_ptr<platform::FolderCollection> folders() override { return nullptr; }
    std::unique_ptr<platform::Session> openSession() override { return nullptr; }
};

TEST(StoreTypes, ABackendThatCannotLogOnIsLeftOutWithItsReasonAndTheOthersWork)
{
    test::TempMaildir maildir;
    maildir.addStore("Work");
    maildir.addStore("Personal Folders");
    maildir.addMessage({.store = "Personal Folders", .subject = "Still here"});
    const QString profile = maildir.writeProfile("Work");
    setType(profile, 1, "unreachable");
    platform::BackendRegistry backends = platform::installedBackends();
    backends.add(QStringLiteral("unreachable"), [](const platform::MailProfile&) {
        return std::make_unique<UnreachableStores>();
    });

    auto app = platform::createApplication(backends);
    auto ns = app->getNamespace("MAPI");
    ASSERT_TRUE(ns->logon()) << ns->lastError().text.toStdString();
    ASSERT_EQ(ns->unusableStores().size(), 1);
    EXPECT_TRUE(ns->unusableStores().front().text.contains("\"Work\""));
    auto stores = ns->folders();
    ASSERT_TRUE(stores);
    ASSERT_EQ(stores->count(), 1);
    EXPECT_EQ(stores->item(1)->name(), "Personal Folders");
    // The default store was the one left out: the session answers for another.
    auto session = ns->openSession();
    ASSERT_TRUE(session);
    EXPECT_EQ(session->defaultStoreId(), stores->item(1)->storeId());

    setType(profile, 2, "unreachable");
    auto alone = platform::createApplication(backends)->getNamespace("MAPI");
    EXPECT_FALSE(alone->logon());
    EXPECT_EQ(alone->lastError().kind, ErrorKind::Io);
}

TEST(StoreTypes, MoveAndCopyBetweenBackendsKeepBytesFlagsKeywordsAndTime)
{
    test::TempMaildir maildir;
    maildir.addStore("Personal Folders");
    maildir.addStore("Archive");
    const QDateTime received(QDate(2019, 3, 4), QTime(5, 6, 7, 890));
    for (const char* subject : {"Moved", "Copied"}) {
        maildir.addMessage({.received = received,
                            .flags = "FPRS",
                            .keywords = {"$NoArchive", "Project X"},
                            .subject = subject,
                            .body = QByteArray("Body of ") + subject + "\r\n\xff raw bytes\n"});
    }
    setType(maildir.writeProfile(), 2, test::kForeignType);
    const QStringList sources = maildir.messageFiles("Inbox");
    ASSERT_EQ(sources.size(), 2);

    auto app = platform::createApplication(test::withForeignBackend());
    auto ns = app->getNamespace("MAPI");
    ASSERT_TRUE(ns->logon()) << ns->lastError().text.toStdString();
    auto target = ns->folders()->item("Archive")->folders()->add("Kept");
    ASSERT_TRUE(target);
    auto inbox = ns->folders()->item("Personal Folders")->folders()->item("Inbox");
    auto items = inbox->items();
    ASSERT_EQ(items->count(), 2);
    std::unique_ptr<platform::MailItem> toMove = items->item(1);
    std::unique_ptr<platform::MailItem> toCopy = items->item(2);
    if (toMove->subject() != "Moved")
        std::swap(toMove, toCopy);
    QMap<QString, QByteArray> before;
    QMap<QString, ino_t> inodes;
    for (const QString& path : sources) {
        const QByteArray content = contentOf(path);
        const QString subject = content.contains("Moved") ? "Moved" : "Copied";
        before[subject] = content;
        inodes[subject] = inodeOf(path);
    }

    std::unique_ptr<platform::MailItem> moved = toMove->move(*target);
    ASSERT_TRUE(moved) << toMove->lastError().text.toStdString();
    ASSERT_TRUE(toCopy->copyTo(*target)) << toCopy->lastError().text.toStdString();
    EXPECT_EQ(inbox->items()->count(), 1) << "the moved message left its store";

    auto kept = target->items();
    ASSERT_EQ(kept->count(), 2);
    const QStringList files = maildir.messageFiles("Kept", "Archive");
    ASSERT_EQ(files.size(), 2);
    for (const QString& path : files) {
        const QByteArray content = contentOf(path);
        const QString subject = content.contains("Moved") ? "Moved" : "Copied";
        EXPECT_EQ(content, before[subject]) << subject.toStdString();
        EXPECT_NE(inodeOf(path), inodes[subject]) << "written anew, not renamed";
    }
    for (qint64 i = 1; i <= 2; ++i) {
        auto item = kept->item(i);
        ASSERT_TRUE(item);
        EXPECT_EQ(item->receivedTime(), received);
        EXPECT_EQ(item->unRead(), false);
        EXPECT_EQ(item->noAging(), true);
        const std::optional<platform::RawMessage> raw = item->rawMessage();
        ASSERT_TRUE(raw);
        EXPECT_EQ(QSet<QString>(raw->flags.begin(), raw->flags.end()),
                  (QSet<QString>{"\\Seen", "\\Flagged", "\\Answered"}));
        EXPECT_EQ(QSet<QString>(raw->keywords.begin(), raw->keywords.end()),
                  (QSet<QString>{"$Forwarded", "$NoArchive", "Project X"}));
    }
}
