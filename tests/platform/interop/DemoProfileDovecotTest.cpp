// The demo-profile maker's stores, read by real Dovecot and checked on disk.

#include "DemoProfileBuilder.h"
#include "DoveadmHarness.h"
#include "DovecotFolderCheck.h"
#include "MaildirInspector.h"
#include "platform/maildir/MaildirName.h"
#include "support/TempDir.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

using kestrel::test::DoveadmHarness;
using kestrel::test::MaildirInspector;
using kestrel::test::TempDir;

namespace {

QString demoTool()
{
    return QStringLiteral(KESTREL_BINARY_DIR "/bin/kestrel-demo-profile");
}

int runDemoTool(const QStringList& args, QByteArray* err = nullptr)
{
    QProcess process;
    process.start(demoTool(), args);
    process.waitForFinished(120000);
    if (err)
        *err = process.readAllStandardError();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(DemoProfileMaker, WritesDeterministicStoresAndRefusesToOverwrite)
{
    TempDir temp;
    const QString first = temp.filePath("first");
    ASSERT_EQ(runDemoTool({first, "--messages", "400", "--seed", "5"}), 0);
    ASSERT_EQ(runDemoTool({temp.filePath("again"), "--seed", "5", "--messages", "400"}), 0);
    ASSERT_EQ(runDemoTool({temp.filePath("other"), "--messages", "400", "--seed", "6"}), 0);
    const QByteArray digest = MaildirInspector::treeDigest(first);
    EXPECT_EQ(digest, MaildirInspector::treeDigest(temp.filePath("again")));
    EXPECT_NE(digest, MaildirInspector::treeDigest(temp.filePath("other")));

    QByteArray err;
    EXPECT_EQ(runDemoTool({first}, &err), 1);
    EXPECT_TRUE(err.contains("not empty")) << err.constData();
    EXPECT_EQ(digest, MaildirInspector::treeDigest(first));
    EXPECT_EQ(runDemoTool({temp.filePath("bad"), "--messages", "many"}), 2);
    EXPECT_EQ(runDemoTool({}), 2);

    EXPECT_EQ(readFile(first + "/personal/.Calendar/kestrel-folder-type"), "1\n");
    EXPECT_EQ(readFile(first + "/personal/.Contacts/kestrel-folder-type"), "2\n");
}

TEST(DemoProfileDovecot, DovecotListsTheSameFoldersCountsAndFlags)
{
    if (DoveadmHarness::executable().isEmpty())
        GTEST_SKIP() << "doveadm is not installed (Debian package dovecot-core)";
    TempDir temp;
    const QString demo = temp.filePath("demo");
    kestrel::demo::DemoProfileBuilder builder(demo, 3000, 1);
    ASSERT_TRUE(builder.build()) << builder.errorText().toStdString();

    const QMap<QString, QStringList> expected = {
        {"personal",
         {"Calendar", "Contacts", "Deleted Items", "INBOX", "INBOX.Clients", "INBOX.Clients.Acme",
          "INBOX.Clients.Acme.Invoices", "INBOX.Clients.Globex", "Newsletters", "Q1%2FQ2 Reports",
          QStringLiteral("Réunions Zürich"), "Sent Items"}},
        {"archive", {"INBOX", "INBOX.Clients", "INBOX.Clients.Acme", "Old Projects", "Sent Items"}},
        {"projects",
         {"Falcon", "INBOX", "Kestrel", "Kestrel.Design", "Kestrel.Design.Reviews",
          "Release 2%2E0"}},
    };
    int total = 0;
    for (auto it = expected.begin(); it != expected.end(); ++it) {
        DoveadmHarness doveadm(temp.filePath("dovecot-" + it.key()));
        ASSERT_TRUE(doveadm.useCopyOf(demo + '/' + it.key())) << doveadm.lastError().toStdString();
        int noArchive = 0;
        QStringList wanted = it.value();
        wanted.sort();
        ASSERT_EQ(doveadm.mailboxes(), wanted) << doveadm.lastError().toStdString();
        for (const QString& mailbox : wanted) {
            const QString dir = kestrel::test::folderDirOfMailbox(doveadm.maildir(), mailbox);
            const auto count = doveadm.messageCount(mailbox);
            ASSERT_TRUE(count.has_value()) << doveadm.lastError().toStdString();
            EXPECT_EQ(*count, MaildirInspector::messageFiles(dir).size()) << mailbox.toStdString();
            total += *count;
            for (const QString& file : MaildirInspector::messageFiles(dir))
                noArchive += MaildirInspector::flagsOf(file).contains('a');
            EXPECT_EQ(kestrel::test::compareFolderWithDovecot(doveadm, mailbox, dir), QString());
        }
        const auto keyworded = doveadm.run(
            {"search", "mailbox", "*", "KEYWORD", kestrel::platform::maildir::kNoArchiveKeyword});
        EXPECT_TRUE(keyworded.ok()) << keyworded.err.constData();
        EXPECT_EQ(keyworded.out.count('\n'), noArchive) << it.key().toStdString();
    }
    EXPECT_EQ(total, 3000);
}
