// The engine over a real Dovecot: a Move by date inside the server and from the
// server to a local Maildir store while the server restarts in the middle of
// the run, and a server folder exported to .msg files and imported back.

#include "EngineHarness.h"
#include "ImapTestServer.h"
#include "QuietView.h"
#include "TempDir.h"
#include "TempMaildir.h"
#include "engine/PathRoutines.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <map>

using namespace kestrel;
using namespace kestrel::test;

namespace {

constexpr int kMessages = 2000; // half of them received in 2020

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The server's imap processes: one per logged-in session.
int imapSessions(const ImapTestServer& server)
{
    const QByteArray master =
        readAll(QFileInfo(server.configPath()).dir().filePath(QStringLiteral("run/master.pid")))
            .trimmed();
    int sessions = 0;
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        // "PID (comm) state PPID ..."
        const QByteArray stat = readAll(QStringLiteral("/proc/%1/stat").arg(pid));
        const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        sessions += stat.contains("(imap)") && fields.size() > 1 && fields[1] == master;
    }
    return sessions;
}

// Restarts the server when the walk reaches one item.
class RestartingView : public QuietView {
public:
    void setCurrentActionText(const QString& text) override
    {
        QuietView::setCurrentActionText(text);
        if (server && text == restartAt) {
            logBefore = server->log().size();
            sessions = imapSessions(*server);
            restarted = server->restart();
            server = nullptr;
        }
    }
    ImapTestServer* server = nullptr;
    QString restartAt;
    bool restarted = false;
    qsizetype logBefore = 0;
    int sessions = 0; // cut by the restart
};

// The files of Maildir folders by their Subject header.
std::map<QByteArray, QByteArray> messagesIn(const QStringList& dirs)
{
    std::map<QByteArray, QByteArray> messages;
    for (const QString& dir : dirs) {
        for (const char* sub : {"/cur", "/new"}) {
            const QDir d(dir + QLatin1String(sub));
            for (const QString& name : d.entryList(QDir::Files)) {
                QFile file(d.filePath(name));
                if (!file.open(QIODevice::ReadOnly))
                    continue;
                const QByteArray bytes = file.readAll();
                const qsizetype at = bytes.indexOf("\nSubject: ");
                messages[bytes.mid(at + 10, bytes.indexOf('\n', at + 1) - at - 10)] = bytes;
            }
        }
    }
    return messages;
}

class ImapEngine : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (ImapTestServer::executable().isEmpty())
            GTEST_SKIP() << "dovecot is not installed";
        ASSERT_TRUE(server.start()) << server.lastError().toStdString();
    }

    bool open()
    {
        const QString profile = local.root() + QStringLiteral("/profile.ini");
        QFile file(profile);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        file.write(
            QStringLiteral("[Profile]\nUserName=Demo User\n"
                           "UserAddress=demo.user@example.com\nDefaultStore=Server\n"
                           "[Store1]\nName=Server\nType=imap\nHost=%1\nPort=%2\n"
                           "Security=none\nUser=%3\nPasswordCommand=echo '%4'\n"
                           "[Store2]\nName=Local\nPath=%5\n")
                .arg(server.host())
                .arg(server.port())
                .arg(server.user(), server.password(), local.addStore(QStringLiteral("Local")))
                .toUtf8());
        file.close();
        qputenv("KESTREL_PROFILE", QFile::encodeName(profile));
        app = platform::createApplication();
        ns = app ? app->getNamespace(QStringLiteral("MAPI")) : nullptr;
        if (!ns || !ns->logon())
            return false;
        session = ns->openSession();
        stores = ns->folders();
        return session && stores;
    }

    std::unique_ptr<platform::Folder> serverFolder(const QString& name)
    {
        auto root = stores->item(QStringLiteral("Server"));
        auto children = root ? root->folders() : nullptr;
        return children ? children->item(name) : nullptr;
    }

    engine::TaskSettings settings(int action)
    {
        engine::TaskSettings s;
        s.Action = action;
        s.SourceRoot = stores->item(QStringLiteral("Server"));
        s.StartDate = at(2020, 1, 1, 0, 0, 0);
        s.EndDate = at(2020, 12, 31, 23, 59, 59);
        s.IncludeUnread = true;
        s.RespectNoArchive = true;
        return s;
    }

    void run(engine::TaskView& view, engine::TaskSettings s, const QString& folder)
    {
        engine::TaskRunner runner(view, sound, reader, QDir::tempPath());
        const QList<engine::TaskFolder> folders;
        runner.Run(s, 0, *ns, session.get(),
                   s.SourceIsDisk ? folders
                                  : QList<engine::TaskFolder>{
                                        {folder, QStringLiteral("\\\\Server\\") + folder, true}});
        counters = runner.counters();
    }

    ImapTestServer server;
    TempMaildir local;
    FixedSettings reader;
    SilentSound sound;
    std::unique_ptr<platform::Application> app;
    std::unique_ptr<platform::Namespace> ns;
    std::unique_ptr<platform::Session> session;
    std::unique_ptr<platform::FolderCollection> stores;
    engine::TaskCounters counters;
};

QList<MessageSpec> corpus()
{
    QList<MessageSpec> specs;
    for (int i = 0; i < kMessages; ++i) {
        MessageSpec spec;
        spec.subject = QStringLiteral("Message %1").arg(i);
        spec.received = at(2019 + i % 2, 1 + i % 12, 1 + i % 28, i % 24, i % 60);
        spec.date = spec.received.addSecs(-600);
        spec.flags = i % 3 ? QStringLiteral("S") : QString();
        spec.body =
            QByteArray("Line of message " + QByteArray::number(i) + ".\n").repeated(1 + i % 50);
        specs.append(spec);
    }
    return specs;
}

class ImapEngineRestart : public ImapEngine, public ::testing::WithParamInterface<bool> {};

TEST_P(ImapEngineRestart, AMoveGoesOnAfterTheServerRestartsAndLosesNothing)
{
    const bool toLocal = GetParam();
    ASSERT_TRUE(server.deliver(QStringLiteral("INBOX"), corpus()))
        << server.lastError().toStdString();
    ASSERT_TRUE(server.createMailbox(QStringLiteral("Archive")));
    const std::map<QByteArray, QByteArray> original = messagesIn({server.mailRoot()});
    ASSERT_EQ(original.size(), std::size_t(kMessages));
    ASSERT_TRUE(open());

    engine::TaskSettings s = settings(0);
    s.ArchiveRoot = toLocal ? stores->item(QStringLiteral("Local")) : serverFolder("Archive");
    ASSERT_TRUE(s.ArchiveRoot);
    RestartingView view;
    view.server = &server;
    view.restartAt = QStringLiteral("Item %1 of %2").arg(kMessages / 4).arg(kMessages / 2);
    run(view, std::move(s), QStringLiteral("Inbox"));

    ASSERT_TRUE(view.restarted) << server.lastError().toStdString();
    EXPECT_GT(view.sessions, 0);
    const QByteArray log = server.log().mid(view.logBefore);
    EXPECT_EQ(log.count("Login: user=<"), view.sessions)
        << "each session cut is opened again once:\n"
        << log.toStdString();
    EXPECT_EQ(counters.ProcessedCount, kMessages / 2);
    EXPECT_EQ(counters.FailedCount, 0);
    EXPECT_TRUE(view.status.startsWith(QStringLiteral("%1 items moved.").arg(kMessages / 2)))
        << view.status.toStdString();

    const std::optional<QString> archiveDir = server.mailboxDir(QStringLiteral("Archive/Inbox"));
    ASSERT_TRUE(archiveDir);
    const std::map<QByteArray, QByteArray> left = messagesIn({server.mailRoot()});
    const std::map<QByteArray, QByteArray> moved =
        messagesIn({toLocal ? local.storePath(QStringLiteral("Local")) : *archiveDir});
    EXPECT_EQ(server.messageCount(QStringLiteral("INBOX")), kMessages / 2);
    EXPECT_EQ(left.size(), std::size_t(kMessages / 2));
    EXPECT_EQ(moved.size(), std::size_t(kMessages / 2));
    int wrong = 0;
    for (const auto& [subject, bytes] : original) {
        const bool in2020 = subject.mid(8).toInt() % 2 == 1;
        const auto& where = in2020 ? moved : left;
        const auto found = where.find(subject);
        wrong += found == where.end() || found->second != bytes;
    }
    EXPECT_EQ(wrong, 0) << "messages missing or altered";
}

INSTANTIATE_TEST_SUITE_P(InsideTheServerAndToALocalStore, ImapEngineRestart, ::testing::Bool());

TEST_F(ImapEngine, AServerFolderExportedToMsgFilesAndImportedBack)
{
    QList<MessageSpec> specs;
    for (const char* subject : {"Read", "Unread", "Old"}) {
        MessageSpec spec;
        spec.subject = QLatin1String(subject);
        spec.received = at(subject[0] == 'O' ? 2019 : 2020, 3, 4, 5, 6, 7);
        spec.flags = subject[0] == 'U' ? QString() : QStringLiteral("S");
        specs.append(spec);
    }
    ASSERT_TRUE(server.deliver(QStringLiteral("INBOX"), specs));
    ASSERT_TRUE(server.createMailbox(QStringLiteral("Imported")));
    ASSERT_TRUE(open());
    const TempDir disk;

    engine::TaskSettings out = settings(1);
    out.DestinationIsDisk = true;
    out.DestinationPath = engine::AddPathSeparator(disk.path());
    QuietView view;
    run(view, std::move(out), QStringLiteral("Inbox"));
    EXPECT_EQ(counters.ProcessedCount, 2);
    EXPECT_EQ(counters.FailedCount, 0);
    const QStringList files = filesBelow(disk.path(), QStringLiteral("*.msg"));
    ASSERT_EQ(files.size(), 2) << files.join(' ').toStdString();
    EXPECT_TRUE(files[0].startsWith(QStringLiteral("Inbox/")) && files[0].contains("Read"));
    EXPECT_TRUE(files[1].startsWith(QStringLiteral("Inbox/")) && files[1].contains("Unread"));
    EXPECT_EQ(server.messageCount(QStringLiteral("INBOX")), 3) << "a copy keeps the messages";

    engine::TaskSettings in = settings(0);
    in.SourceRoot.reset();
    in.SourceIsDisk = true;
    in.SourceDiskFolder = disk.path();
    in.ArchiveRoot = serverFolder(QStringLiteral("Imported"));
    ASSERT_TRUE(in.ArchiveRoot);
    run(view, std::move(in), {});
    EXPECT_EQ(counters.ProcessedCount, 2);
    EXPECT_EQ(counters.FailedCount, 0);
    EXPECT_TRUE(view.status.startsWith(QStringLiteral("2 items moved.")))
        << view.status.toStdString();
    const auto rows = server.fetch(QStringLiteral("hdr.subject flags date.received"),
                                   QStringLiteral("Imported/Inbox"));
    ASSERT_TRUE(rows) << server.lastError().toStdString();
    ASSERT_EQ(rows->size(), 2);
    for (const DoveadmRow& row : *rows) {
        EXPECT_EQ(row.value("flags").contains("\\Seen"), row.value("hdr.subject") == "Read");
        EXPECT_EQ(row.value("date.received"), QStringLiteral("2020-03-04 05:06:07"));
    }
    EXPECT_TRUE(filesBelow(disk.path(), QStringLiteral("*.msg")).isEmpty())
        << "a move from disk removes the files it stored";
}

} // namespace
