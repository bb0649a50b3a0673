// Finding the user's own mail in a fake home, with a Maildir made by Dovecot.

#include "platform/maildir/LocalMailFinder.h"

#include "DoveadmHarness.h"
#include "platform/maildir/DovecotMailLocation.h"
#include "platform/maildir/MaildirTreeCounter.h"
#include "support/TempDir.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace kestrel::platform::maildir;
using kestrel::test::DoveadmHarness;
using kestrel::test::TempDir;

namespace {

void writeFile(const QString& path, const QByteArray& text = "From: a@example.org\n\nx\n")
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(text);
}

// A folder with cur/new/tmp and `cur` messages in cur/, `fresh` in new/.
void makeFolder(const QString& dir, int cur, int fresh = 0)
{
    for (const char* sub : {"cur", "new", "tmp"})
        QDir().mkpath(dir + '/' + sub);
    for (int i = 0; i < cur; ++i)
        writeFile(QStringLiteral("%1/cur/%2.M1P1.host:2,S").arg(dir).arg(i));
    for (int i = 0; i < fresh; ++i)
        writeFile(QStringLiteral("%1/new/%2.M2P1.host").arg(dir).arg(i));
}

// Every path below root with its size and modification time.
QStringList snapshot(const QString& root)
{
    QStringList out;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        out << QStringLiteral("%1 %2 %3")
                   .arg(info.filePath())
                   .arg(info.size())
                   .arg(info.lastModified().toMSecsSinceEpoch());
    }
    out.sort();
    return out;
}

} // namespace

TEST(LocalMailFinder, ListsTheTreesOfAFakeHomeOnceEachWithTheirCounts)
{
    if (DoveadmHarness::executable().isEmpty())
        GTEST_SKIP() << "doveadm is not installed";
    TempDir work;
    const QString home = work.filePath("home");
    const QString outside = work.filePath("elsewhere");
    makeFolder(outside, 5);

    // ~/Maildir as Dovecot makes it.
    DoveadmHarness doveadm(home);
    ASSERT_TRUE(doveadm.useEmpty()) << doveadm.lastError().toStdString();
    ASSERT_TRUE(doveadm.run({"mailbox", "create", "Sent", "Lists.Qt"}).ok());
    for (const char* mailbox : {"INBOX", "INBOX", "Sent", "Lists.Qt", "Lists.Qt", "Lists.Qt"}) {
        const QByteArray message = "From: a@example.org\nSubject: s\n\nBody.\n";
        ASSERT_TRUE(doveadm.run({"save", "-m", mailbox}, message).ok());
    }
    int dovecotCount = 0;
    for (const QString& mailbox : doveadm.mailboxes())
        dovecotCount += doveadm.messageCount(mailbox).value_or(0);

    // mbsync's layout: one directory per account, folders nested by name.
    makeFolder(home + "/.mail/work/INBOX", 2);
    makeFolder(home + "/.mail/work/Archive/2019", 0, 1);
    writeFile(home + "/.mail/work/.mbsyncstate", "x");
    // A link out of the tree is not followed, nor a linked account.
    ASSERT_TRUE(QFile::link(outside, home + "/.mail/work/Linked"));
    ASSERT_TRUE(QFile::link(outside, home + "/.mail/linked-account"));
    // Evolution's local folders: a Maildir++ root with its own files.
    const QString evolution = home + "/.local/share/evolution/mail/local";
    makeFolder(evolution, 1, 1);
    makeFolder(evolution + "/.Drafts", 1);
    writeFile(evolution + "/folders.db", "SQLite format 3");
    // Not Maildir: notes, a half folder, an empty account.
    writeFile(home + "/mail/notes/todo.txt", "milk\n");
    QDir().mkpath(home + "/mail/half/cur");
    QDir().mkpath(home + "/.mail/empty");
    // notmuch indexes all of ~/.mail: the accounts are listed, not ~/.mail again.
    writeFile(home + "/.notmuch-config", "[database]\npath=.mail\n[user]\nname=U\n");
    // Dovecot's setting for this user, through doveconf itself.
    makeFolder(home + "/dove-kuser/.Trash", 4);
    makeFolder(home + "/dove-kuser", 0);
    writeFile(work.filePath("doveconf.conf"), "mail_location = maildir:%h/dove-%u:LAYOUT=fs\n");

    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(home));
    for (const char* name : {"MAILDIR", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "NOTMUCH_CONFIG"})
        qunsetenv(name);
    LocalMailPlaces places = LocalMailPlaces::ofCurrentUser();
    qputenv("HOME", oldHome);
    places.userName = "kuser";
    places.doveconf = {"doveconf", "-c", work.filePath("doveconf.conf")};

    const QStringList before = snapshot(work.path());
    const QList<FoundMailTree> found = LocalMailFinder(places).find();
    EXPECT_EQ(snapshot(work.path()), before);

    QStringList listed;
    for (const FoundMailTree& tree : found)
        listed << QStringLiteral("%1 %2 %3/%4%5")
                      .arg(tree.name, QDir(home).relativeFilePath(tree.path))
                      .arg(tree.folders)
                      .arg(tree.messages)
                      .arg(tree.rootIsFolder ? " root" : "");
    const QStringList expected = {QStringLiteral("Maildir Maildir 3/%1 root").arg(dovecotCount),
                                  "dove-kuser dove-kuser 2/4 root", "work .mail/work 2/3",
                                  "On This Computer .local/share/evolution/mail/local 2/3 root"};
    EXPECT_EQ(listed.join('\n').toStdString(), expected.join('\n').toStdString());
    EXPECT_EQ(dovecotCount, 6);
    ASSERT_EQ(found.size(), 4);
    EXPECT_EQ(found[0].source, MailSource::HomeMaildir);
    EXPECT_EQ(found[1].source, MailSource::Dovecot);
    EXPECT_FALSE(found[2].capped);
}

TEST(LocalMailFinder, CountsStayBoundedAndInsideTheTree)
{
    TempDir work;
    const QString root = work.filePath("tree");
    for (int i = 0; i < 10; ++i)
        makeFolder(QStringLiteral("%1/f%2").arg(root).arg(i), 1);
    // A link back to the root and one out of it.
    ASSERT_TRUE(QFile::link(root, root + "/f0/loop"));
    makeFolder(work.filePath("outside"), 7);
    ASSERT_TRUE(QFile::link(work.filePath("outside"), root + "/out"));

    const std::optional<MaildirTreeCount> all = MaildirTreeCounter().count(root, nullptr);
    ASSERT_TRUE(all);
    EXPECT_EQ(all->folders, 10);
    EXPECT_EQ(all->messages, 10);
    EXPECT_FALSE(all->capped);

    const std::optional<MaildirTreeCount> capped = MaildirTreeCounter(4).count(root, nullptr);
    ASSERT_TRUE(capped);
    EXPECT_TRUE(capped->capped);
    EXPECT_EQ(capped->directories, 4);
    EXPECT_EQ(capped->folders, 3); // the root and three folders

    QString deep = work.filePath("deep");
    for (int i = 0; i < 20; ++i)
        deep += "/d";
    makeFolder(deep, 1);
    const std::optional<MaildirTreeCount> shallow =
        MaildirTreeCounter(5000, 8).count(work.filePath("deep"), nullptr);
    ASSERT_TRUE(shallow);
    EXPECT_TRUE(shallow->capped);
    EXPECT_EQ(shallow->folders, 0);

    kestrel::platform::PlatformError error;
    EXPECT_FALSE(MaildirTreeCounter().count(work.filePath("missing"), &error));
    EXPECT_EQ(error.kind, kestrel::platform::ErrorKind::NotFound);
}

TEST(DovecotMailLocation, OnlyMaildirSettingsItCanFillGiveAPath)
{
    const QString home = "/home/u";
    auto path = [&](const char* setting, const char* user = "u") {
        return DovecotMailLocation::maildirPath(setting, home, user);
    };
    EXPECT_EQ(path("maildir:~/Maildir:LAYOUT=fs:INDEX=/var/idx/%u"), "/home/u/Maildir");
    EXPECT_EQ(path("MAILDIR:/srv/mail/%d/%n/", "u@example.org"), "/srv/mail/example.org/u");
    EXPECT_EQ(path("maildir:%{home}/mail::old:UTF8"), "/home/u/mail:old");
    EXPECT_EQ(path("maildir:/srv/100%%/%{user}"), "/srv/100%/u");
    for (const char* unusable :
         {"", "mbox:~/mail:INBOX=/var/mail/%u", "sdbox:~/dbox", "maildir:Maildir",
          "maildir:/srv/%d/%n", "maildir:/srv/%Lu", "maildir:/srv/%{", "maildir:/srv/%"})
        EXPECT_FALSE(path(unusable)) << unusable;

    // A doveconf that is missing or does not answer in time gives nothing.
    EXPECT_FALSE(DovecotMailLocation({"/nonexistent/doveconf"}, 2000).query());
    EXPECT_FALSE(DovecotMailLocation({"sh", "-c", "sleep 30", "sh"}, 200).query());
}
