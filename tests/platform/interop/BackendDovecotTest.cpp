// Our Maildir backend and real Dovecot on the same stores: what one writes,
// the other reads with the same folders, counts, flags and dates.

#include "DemoProfileBuilder.h"
#include "DoveadmHarness.h"
#include "DovecotFolderCheck.h"
#include "MailboxViews.h"
#include "platform/maildir/OpenProfile.h"
#include "support/TempDir.h"
#include "support/TempMaildir.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTimeZone>

#include <gtest/gtest.h>

using kestrel::test::DoveadmHarness;
using kestrel::test::OpenProfile;
using kestrel::test::TempDir;
using kestrel::test::TempMaildir;

namespace {

#define SKIP_WITHOUT_DOVEADM()                                                                     \
    if (DoveadmHarness::executable().isEmpty())                                                    \
    GTEST_SKIP() << "doveadm is not installed (Debian package dovecot-core)"

// Checks every mailbox of a store copy against our backend's view of it.
void expectSameAsBackend(OpenProfile& platform, const QString& store, const DoveadmHarness& doveadm,
                         const QStringList& folders)
{
    QStringList wanted;
    for (const QString& path : folders)
        wanted.append(kestrel::test::dovecotMailboxName(path.split('\\')));
    wanted.sort();
    EXPECT_EQ(doveadm.mailboxes(), wanted) << store.toStdString();
    for (const QString& path : folders) {
        const QString mailbox = kestrel::test::dovecotMailboxName(path.split('\\'));
        auto folder = platform.folder(store + '\\' + path);
        ASSERT_TRUE(folder) << path.toStdString();
        EXPECT_EQ(kestrel::test::backendView(*folder), kestrel::test::dovecotView(doveadm, mailbox))
            << mailbox.toStdString();
        EXPECT_EQ(
            kestrel::test::compareFolderWithDovecot(
                doveadm, mailbox, kestrel::test::folderDirOfMailbox(doveadm.maildir(), mailbox)),
            QString());
    }
}

struct FolderFacts {
    QStringList path;
    qint64 count = -1;
    int type = -1;
};

void collectFolders(kestrel::platform::Folder& parent, const QStringList& path,
                    QList<FolderFacts>& out)
{
    auto children = parent.folders();
    const int count = children ? children->count().value_or(0) : 0;
    for (int i = 1; i <= count; ++i) {
        auto child = children->item(i);
        if (!child)
            continue;
        const QStringList childPath = path + QStringList{child->name().value_or("?")};
        auto items = child->items();
        out.append({childPath, items ? items->count().value_or(-1) : -1,
                    child->defaultItemType().value_or(-1)});
        collectFolders(*child, childPath, out);
    }
}

QDateTime utc(int year, int month, int day)
{
    return QDateTime(QDate(year, month, day), QTime(10, 0), QTimeZone::utc());
}

} // namespace

TEST(BackendDovecot, FoldersMovesCopiesAndDeletesReadTheSameInDovecot)
{
    SKIP_WITHOUT_DOVEADM();
    TempMaildir maildir;
    maildir.addStore("Personal Folders");
    maildir.addStore("Archive");
    for (int i = 0; i < 12; ++i) {
        kestrel::test::MessageSpec spec;
        spec.subject = QStringLiteral("Message %1").arg(i);
        spec.date = utc(2020, 1, i + 1);
        spec.flags = i % 3 == 0   ? QString()
                     : i % 5 == 0 ? QStringLiteral("FS")
                                  : QStringLiteral("S");
        if (i % 4 == 0) // $NoArchive gets letter b: keywords are per folder
            spec.keywords = {"$Label1", "$NoArchive"};
        spec.inNew = i == 11;
        maildir.addMessage(spec);
    }
    maildir.writeProfile();
    OpenProfile platform;
    ASSERT_TRUE(platform.session);

    auto archive = platform.folder("Archive");
    ASSERT_TRUE(archive);
    auto clients = archive->folders()->add("Clients");
    ASSERT_TRUE(clients);
    auto acme = clients->folders()->add("Acme");
    auto reports = archive->folders()->add("Q1/Q2");
    auto meetings = archive->folders()->add(QStringLiteral("Réunions Zürich"));
    auto release = archive->folders()->add("v1.0");
    auto sub = platform.folder("Personal Folders\\Inbox")->folders()->add("Sub.Folder");
    ASSERT_TRUE(acme && reports && meetings && release && sub);

    auto inbox = platform.folder("Personal Folders\\Inbox");
    auto items = inbox->items();
    for (qint64 i = items->count().value_or(0); i >= 1; --i) {
        auto item = items->item(i);
        ASSERT_TRUE(item);
        const int n = item->subject().value_or("").section(' ', 1).toInt();
        if (n <= 3)
            EXPECT_TRUE(item->move(*acme)) << item->lastError().text.toStdString();
        else if (n <= 6)
            EXPECT_TRUE(item->copyTo(*reports)) << item->lastError().text.toStdString();
        else if (n == 7)
            EXPECT_TRUE(item->move(*meetings));
        else if (n == 8)
            EXPECT_TRUE(item->copyTo(*release));
        else if (n == 9)
            EXPECT_TRUE(item->deleteItem()) << item->lastError().text.toStdString();
        else
            EXPECT_TRUE(item->move(*sub));
    }

    TempDir work;
    DoveadmHarness personal(work.filePath("personal"));
    ASSERT_TRUE(personal.useCopyOf(maildir.storePath("Personal Folders")));
    expectSameAsBackend(platform, "Personal Folders", personal,
                        {"Inbox", "Inbox\\Sub.Folder", "Deleted Items"});
    EXPECT_EQ(personal.messageCount("INBOX"), 4); // copies stay
    DoveadmHarness archived(work.filePath("archive"));
    ASSERT_TRUE(archived.useCopyOf(maildir.storePath("Archive")));
    expectSameAsBackend(
        platform, "Archive", archived,
        {"Inbox", "Clients", "Clients\\Acme", "Q1/Q2", QStringLiteral("Réunions Zürich"), "v1.0"});
    EXPECT_EQ(archived.messageCount("Clients.Acme"), 4);
    EXPECT_EQ(archived.messageCount("Q1%2FQ2"), 3);
}

TEST(BackendDovecot, MailSavedByDovecotReadsBackWithFlagsAndDates)
{
    SKIP_WITHOUT_DOVEADM();
    TempDir work;
    DoveadmHarness doveadm(work.filePath("dovecot"));
    ASSERT_TRUE(doveadm.useEmpty()) << doveadm.lastError().toStdString();
    // "Lone" exists only through its child; "&" and a character beyond 16 bits
    // test modified UTF-7.
    const QString emoji = QStringLiteral("Emoji \U0001F4E6");
    ASSERT_TRUE(doveadm
                    .run({"mailbox", "create", "Projects", "Projects.Design",
                          QStringLiteral("Réunions Zürich"), "R&D", "Lone.Child", emoji})
                    .ok());
    const qint64 before = QDateTime::currentSecsSinceEpoch();
    const QStringList mailboxes = {"INBOX",
                                   "INBOX",
                                   "INBOX",
                                   "INBOX",
                                   "Projects.Design",
                                   QStringLiteral("Réunions Zürich"),
                                   "Lone.Child",
                                   emoji,
                                   "R&D"};
    for (int i = 0; i < mailboxes.size(); ++i) {
        const QByteArray message = "From: Alice <alice@example.org>\nTo: Demo User "
                                   "<demo.user@example.com>\nSubject: Saved " +
                                   QByteArray::number(i) + "\nDate: Tue, 03 Mar 2015 10:22:0" +
                                   QByteArray::number(i) + " +0100\nMessage-ID: <" +
                                   QByteArray::number(i) + "@saved.example>\n\nBody.\n";
        const auto saved = doveadm.run({"save", "-m", mailboxes.at(i)}, message);
        ASSERT_TRUE(saved.ok()) << saved.err.constData();
    }
    const qint64 after = QDateTime::currentSecsSinceEpoch();
    // $Label1 first, so that $NoArchive is not keyword letter a.
    ASSERT_TRUE(
        doveadm.run({"flags", "add", "$Label1", "mailbox", "INBOX", "HEADER", "Subject", "Saved 0"})
            .ok());
    ASSERT_TRUE(doveadm
                    .run({"flags", "add", "\\Seen $NoArchive", "mailbox", "INBOX", "HEADER",
                          "Subject", "Saved 1"})
                    .ok());
    ASSERT_TRUE(
        doveadm.run({"flags", "add", "\\Seen", "mailbox", "INBOX", "HEADER", "Subject", "Saved 2"})
            .ok());
    ASSERT_TRUE(
        doveadm.run({"flags", "add", "$NoArchive", "mailbox", "Projects.Design", "all"}).ok());

    TempMaildir profile;
    profile.addStore("Dovecot", doveadm.maildir());
    profile.writeProfile();
    OpenProfile platform;
    ASSERT_TRUE(platform.session);
    auto root = platform.folder("Dovecot");
    ASSERT_TRUE(root);
    auto top = root->folders();
    QStringList names;
    for (int i = 1; i <= top->count().value_or(0); ++i)
        names.append(top->item(i)->name().value_or("?"));
    names.sort();
    QStringList wanted = {"Inbox", "Projects", QStringLiteral("Réunions Zürich"),
                          "R&D",   "Lone",     emoji};
    wanted.sort();
    EXPECT_EQ(names, wanted);

    const QStringList folders = {
        "Inbox", "Projects", "Projects\\Design", QStringLiteral("Réunions Zürich"),
        "R&D",   "Lone",     "Lone\\Child",      emoji};
    for (const QString& path : folders) {
        auto folder = platform.folder("Dovecot\\" + path);
        ASSERT_TRUE(folder) << path.toStdString();
        EXPECT_EQ(kestrel::test::backendView(*folder),
                  kestrel::test::dovecotView(doveadm,
                                             kestrel::test::dovecotMailboxName(path.split('\\'))))
            << path.toStdString();
    }
    auto inbox = platform.folder("Dovecot\\Inbox");
    auto items = inbox->items();
    ASSERT_EQ(items->count(), 4);
    for (qint64 i = 1; i <= 4; ++i) {
        auto item = items->item(i);
        const int n = item->subject().value_or("").section(' ', 1).toInt();
        EXPECT_EQ(item->sentOn(), QDateTime(QDate(2015, 3, 3), QTime(9, 22, n), QTimeZone::utc()));
        const qint64 created = item->creationTime().value_or(QDateTime()).toSecsSinceEpoch();
        EXPECT_GE(created, before);
        EXPECT_LE(created, after);
        EXPECT_EQ(item->unRead(), n == 0 || n == 3) << n;
        EXPECT_EQ(item->noAging(), n == 1) << n;
    }

    // Our move into a folder that Dovecot indexes: Dovecot follows.
    auto design = platform.folder("Dovecot\\Projects\\Design");
    for (qint64 i = 4; i >= 1; --i) {
        auto item = items->item(i);
        if (item->subject() == QStringLiteral("Saved 1")) {
            ASSERT_TRUE(item->move(*design)) << item->lastError().text.toStdString();
        }
    }
    ASSERT_TRUE(doveadm.handOver());
    EXPECT_EQ(doveadm.messageCount("INBOX"), 3);
    EXPECT_EQ(kestrel::test::backendView(*design),
              kestrel::test::dovecotView(doveadm, "Projects.Design"));
    EXPECT_EQ(kestrel::test::backendView(*inbox), kestrel::test::dovecotView(doveadm, "INBOX"));
}

TEST(BackendDovecot, DemoProfileReadsTheSameInBackendAndDovecot)
{
    SKIP_WITHOUT_DOVEADM();
    TempDir work;
    const QString demo = work.filePath("demo");
    kestrel::demo::DemoProfileBuilder builder(demo, 3000, 1);
    ASSERT_TRUE(builder.build()) << builder.errorText().toStdString();
    const QByteArray oldProfile = qgetenv("KESTREL_PROFILE");
    qputenv("KESTREL_PROFILE", QFile::encodeName(demo + "/profile.ini"));
    OpenProfile platform;
    qputenv("KESTREL_PROFILE", oldProfile);
    ASSERT_TRUE(platform.session);

    auto stores = platform.ns->folders();
    ASSERT_EQ(stores->count(), 3);
    const QStringList storeNames = {"Personal Folders", "Archive", "Projects"};
    const QStringList directories = {"personal", "archive", "projects"};
    EXPECT_EQ(platform.session->defaultStoreId(), stores->item(1)->storeId());
    qint64 total = 0;
    for (int s = 0; s < 3; ++s) {
        auto root = stores->item(s + 1);
        ASSERT_EQ(root->name(), storeNames.at(s));
        QList<FolderFacts> folders;
        collectFolders(*root, {}, folders);
        DoveadmHarness doveadm(work.filePath("dovecot-" + directories.at(s)));
        ASSERT_TRUE(doveadm.useCopyOf(demo + '/' + directories.at(s)));
        QStringList mailboxes;
        for (const FolderFacts& folder : folders) {
            const QString mailbox = kestrel::test::dovecotMailboxName(folder.path);
            mailboxes.append(mailbox);
            EXPECT_EQ(doveadm.messageCount(mailbox), folder.count) << mailbox.toStdString();
            // Flags, keywords and received times of every file, as Dovecot reads them.
            EXPECT_EQ(kestrel::test::compareFolderWithDovecot(
                          doveadm, mailbox,
                          kestrel::test::folderDirOfMailbox(doveadm.maildir(), mailbox)),
                      QString());
            EXPECT_EQ(folder.type, mailbox == "Calendar"   ? 1
                                   : mailbox == "Contacts" ? 2
                                                           : 0)
                << mailbox.toStdString();
            total += folder.count;
        }
        mailboxes.sort();
        EXPECT_EQ(doveadm.mailboxes(), mailboxes);
        if (s != 0)
            continue;
        EXPECT_TRUE(mailboxes.contains("Q1%2FQ2 Reports"));
        EXPECT_TRUE(mailboxes.contains("INBOX.Clients.Acme.Invoices"));

        // The received-date range of a year, by our filter and by Dovecot's search.
        auto inbox = platform.folder("Personal Folders\\Inbox");
        auto year = inbox->items()->restrict("[ReceivedTime] >= \"January 1, 2025 12:00 AM\" and "
                                             "[ReceivedTime] <= \"December 31, 2025 11:59 PM\"");
        ASSERT_TRUE(year) << inbox->lastError().text.toStdString();
        const auto found = doveadm.run(
            {"search", "mailbox", "INBOX", "SINCE", "1-Jan-2025", "BEFORE", "1-Jan-2026"});
        EXPECT_EQ(year->count(), found.out.count('\n'));
        EXPECT_GT(found.out.count('\n'), 20);

        QStringList kinds;
        auto items = inbox->items();
        for (qint64 i = 1; i <= items->count().value_or(0); ++i) {
            const QString kind = items->item(i)->typeName();
            if (kind != QLatin1String(kestrel::platform::kMailItemType))
                kinds.append(kind);
        }
        kinds.sort();
        EXPECT_EQ(kinds, QStringList({"MeetingItem", "ReportItem"}));
    }
    EXPECT_EQ(total, 3000);
}

// An interrupted move across file systems leaves the message in both stores;
// when the user then reads the source, its flags differ from the copy's. Moving
// it again must not put two files with one unique name into the folder: Dovecot
// calls that a duplicate and renames one behind our back, and both would share
// one EntryID.
TEST(BackendDovecot, MoveBesideSameUniqueWithOtherFlagsKeepsNamesDistinct)
{
    SKIP_WITHOUT_DOVEADM();
    TempMaildir maildir;
    maildir.addStore("Source");
    maildir.addStore("Target");
    kestrel::test::MessageSpec spec;
    spec.store = "Source";
    spec.subject = "Left behind";
    spec.flags = "S";
    const QString source = maildir.addMessage(spec);
    const QString leftover = maildir.folderDir("Inbox", "Target") + "/cur/" +
                             QFileInfo(source).fileName().section(":2,", 0, 0) + ":2,";
    ASSERT_TRUE(QFile::copy(source, leftover));
    maildir.writeProfile();

    OpenProfile platform;
    auto target = platform.folder("Target\\Inbox");
    auto item = platform.folder("Source\\Inbox")->items()->item(1);
    ASSERT_TRUE(item && target);
    ASSERT_TRUE(item->move(*target)) << item->lastError().text.toStdString();

    QStringList uniques;
    for (const QString& file : maildir.messageFiles("Inbox", "Target"))
        uniques.append(QFileInfo(file).fileName().section(":2,", 0, 0));
    ASSERT_EQ(uniques.size(), 2);
    EXPECT_NE(uniques.first().toStdString(), uniques.last().toStdString());
    auto items = target->items();
    ASSERT_EQ(items->count(), 2);
    EXPECT_NE(items->item(1)->entryId().value_or("").toStdString(),
              items->item(2)->entryId().value_or("").toStdString());

    TempDir work;
    DoveadmHarness doveadm(work.filePath("target"));
    ASSERT_TRUE(doveadm.useCopyOf(maildir.storePath("Target")));
    const auto fetched = doveadm.run({"fetch", "guid", "mailbox", "INBOX", "all"});
    EXPECT_FALSE(fetched.err.contains("duplicate")) << fetched.err.constData();
}
