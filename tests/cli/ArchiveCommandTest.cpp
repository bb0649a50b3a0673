// kestrel-archive as a user runs it: its options over real Maildir stores,
// its exit codes and messages, a preview that changes nothing, and Ctrl+C.

#include "CliRun.h"
#include "EngineStores.h"
#include "TempDir.h"
#include "engine/JournalReader.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QStandardPaths>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

using namespace kestrel;
using namespace kestrel::test;

namespace {

const QString kProgram = QStringLiteral(KESTREL_ARCHIVE_PROGRAM);

class ArchiveCommand : public ::testing::Test {
protected:
    ArchiveCommand() : stores({QStringLiteral("Personal Folders"), QStringLiteral("Archive")})
    {
        TestMessage old;
        old.received = at(2023, 5, 10);
        old.subject = QStringLiteral("Old read");
        stores.addMessage(0, QStringLiteral("Inbox"), old);
        old.subject = QStringLiteral("Old unread");
        old.unread = true;
        stores.addMessage(0, QStringLiteral("Inbox"), old);
        old.subject = QStringLiteral("Old client");
        old.unread = false;
        old.noArchive = true;
        stores.addMessage(0, QStringLiteral("Inbox\\Clients"), old);
        TestMessage recent;
        recent.received = at(2024, 3, 1);
        recent.subject = QStringLiteral("Recent");
        stores.addMessage(0, QStringLiteral("Inbox"), recent);
    }

    // The options of a run over last year's Inbox, then extra.
    QStringList runOf(const QString& action, const QStringList& extra) const
    {
        return QStringList{QStringLiteral("--profile"),    stores.profilePath(),
                           QStringLiteral("--action"),     action,
                           QStringLiteral("--date-field"), QStringLiteral("received"),
                           QStringLiteral("--from"),       QStringLiteral("2023-01-01"),
                           QStringLiteral("--to"),         QStringLiteral("2023-12-31")} +
               extra;
    }
    QStringList storeToStore(const QStringList& extra) const
    {
        return QStringList{QStringLiteral("--source"), QStringLiteral("Personal Folders"),
                           QStringLiteral("--folder"), QStringLiteral("Inbox"),
                           QStringLiteral("--dest"),   QStringLiteral("Archive")} +
               extra;
    }
    CliResult run(const QStringList& arguments) const
    {
        return runProgram(kProgram, arguments, cliEnvironment(home.path()));
    }
    int count(int store, const QString& folder) const
    {
        return int(stores.messageFiles(store, folder).size());
    }

    TempDir home;
    EngineStores stores;
};

} // namespace

TEST_F(ArchiveCommand, BadArgumentsGiveOneLineAndExitTwoAndChangeNothing)
{
    const QMap<QString, QString> before = treeSnapshot(stores.rootDir());
    const QString missing = home.filePath(QStringLiteral("no such folder "));
    const QList<std::pair<QStringList, QString>> cases = {
        {{QStringLiteral("--frobnicate")}, QStringLiteral("frobnicate")},
        {runOf(QStringLiteral("archive"), storeToStore({})), QStringLiteral("--action")},
        {storeToStore({QStringLiteral("--action"), QStringLiteral("copy")}),
         QStringLiteral("--date-field is needed")},
        {runOf(QStringLiteral("copy"),
               storeToStore({QStringLiteral("--from"), QStringLiteral("2023-02-30")})),
         QStringLiteral("\"2023-02-30\" is not a day")},
        {runOf(QStringLiteral("copy"),
               storeToStore({QStringLiteral("--priority"), QStringLiteral("urgent")})),
         QStringLiteral("--priority")},
        {runOf(QStringLiteral("copy"),
               storeToStore({QStringLiteral("--report"), QStringLiteral("x.txt")})),
         QStringLiteral("--report")},
        {runOf(QStringLiteral("copy"),
               {QStringLiteral("--source"), QStringLiteral("Personal Folders"),
                QStringLiteral("--dest"), QStringLiteral("Archive")}),
         QStringLiteral("--source needs --folder or --all-folders")},
        {{QStringLiteral("--undo"), QStringLiteral("last"), QStringLiteral("--action"),
          QStringLiteral("move")},
         QStringLiteral("--action does not go with --undo")},
        // The window's checks and texts.
        {runOf(QStringLiteral("copy"), {QStringLiteral("--dest"), QStringLiteral("Archive")}),
         QStringLiteral("Select a 'Source' data store to archive")},
        {runOf(QStringLiteral("copy"), {QStringLiteral("--source-dir"), home.path()}),
         QStringLiteral("Select a ' Destination' data store in which archived items can be "
                        "saved.")},
        {runOf(QStringLiteral("copy"), {QStringLiteral("--source-dir"), home.path(),
                                        QStringLiteral("--dest-dir"), home.path()}),
         QStringLiteral("The 'Source' and 'Destination' cannot be the same.")},
        {runOf(QStringLiteral("copy"), {QStringLiteral("--source-dir"), missing,
                                        QStringLiteral("--dest"), QStringLiteral("Archive")}),
         QStringLiteral("The folder: ") + missing + QStringLiteral(" does not exist.")},
        {runOf(QStringLiteral("copy"),
               {QStringLiteral("--source"), QStringLiteral("Personal Folders"),
                QStringLiteral("--all-folders"), QStringLiteral("--dest-dir"),
                QStringLiteral(" ")}),
         QStringLiteral("You must select a 'Destination' Folder.")},
        {runOf(QStringLiteral("copy"),
               {QStringLiteral("--source"), QStringLiteral("Work"), QStringLiteral("--all-folders"),
                QStringLiteral("--dest"), QStringLiteral("Archive")}),
         QStringLiteral("Cannot open the 'Source' Root. No store is named \"Work\"")},
        {runOf(QStringLiteral("copy"),
               storeToStore({QStringLiteral("--folder"), QStringLiteral("Inbox\\Nowhere")})),
         QStringLiteral("No folder \"Inbox\\Nowhere\" in the store \"Personal Folders\"")},
    };
    for (const auto& [arguments, expected] : cases) {
        SCOPED_TRACE(arguments.join(u' ').toStdString());
        const CliResult result = run(arguments);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_TRUE(result.out.isEmpty()) << result.out.toStdString();
        ASSERT_EQ(result.errLines().size(), 1) << result.err.toStdString();
        EXPECT_TRUE(result.err.startsWith(QStringLiteral("kestrel-archive: ")));
        EXPECT_TRUE(result.err.contains(expected)) << result.err.toStdString();
    }
    EXPECT_EQ(treeSnapshot(stores.rootDir()), before);
}

TEST_F(ArchiveCommand, AnOutlookDataFileIsCopiedFromButNeverMovedOrDeletedFrom)
{
    const QString dataFile = QStringLiteral(
        KESTREL_BINARY_DIR "/npm/node_modules/pst-extractor/example/testdata/enron.pst");
    if (!QFileInfo::exists(dataFile))
        GTEST_SKIP() << "pst-extractor's test data is not installed (scripts/setup)";
    {
        QSettings profile(stores.profilePath(), QSettings::IniFormat);
        profile.setValue(QStringLiteral("Store3/Name"), QStringLiteral("Outlook"));
        profile.setValue(QStringLiteral("Store3/Type"), QStringLiteral("pst"));
        profile.setValue(QStringLiteral("Store3/Path"), dataFile);
    }
    const auto runFromOutlook = [&](const QString& action) {
        return run({QStringLiteral("--profile"), stores.profilePath(), QStringLiteral("--action"),
                    action, QStringLiteral("--date-field"), QStringLiteral("received"),
                    QStringLiteral("--from"), QStringLiteral("2001-01-01"), QStringLiteral("--to"),
                    QStringLiteral("2001-12-31"), QStringLiteral("--source"),
                    QStringLiteral("Outlook"), QStringLiteral("--all-folders"),
                    QStringLiteral("--dest"), QStringLiteral("Archive"), QStringLiteral("--yes")});
    };
    const QMap<QString, QString> before = treeSnapshot(stores.rootDir());
    for (const QString& action : {QStringLiteral("move"), QStringLiteral("delete")}) {
        const CliResult refused = runFromOutlook(action);
        EXPECT_EQ(refused.exitCode, 2) << action.toStdString();
        EXPECT_EQ(refused.errLines(),
                  QStringList{QStringLiteral(
                      "kestrel-archive: The 'Source' data store can only be read: its items can "
                      "be copied, but not moved or deleted.")});
    }
    EXPECT_EQ(treeSnapshot(stores.rootDir()), before);

    const CliResult copied = runFromOutlook(QStringLiteral("copy"));
    EXPECT_EQ(copied.exitCode, 0) << copied.err.toStdString();
    EXPECT_TRUE(copied.out.contains(QStringLiteral(" copied. Size: "))) << copied.out.toStdString();
}

TEST_F(ArchiveCommand, DryRunChangesNothingAndReportsWhatAStartWouldDo)
{
    const QMap<QString, QString> before = treeSnapshot(stores.rootDir());
    const QString report = home.filePath(QStringLiteral("preview.csv"));
    const CliResult preview =
        run(runOf(QStringLiteral("move"),
                  storeToStore({QStringLiteral("--dry-run"), QStringLiteral("--report"), report})));
    EXPECT_EQ(preview.exitCode, 0) << preview.err.toStdString();
    EXPECT_TRUE(preview.err.isEmpty()) << "no terminal, no progress: " << preview.err.toStdString();
    EXPECT_TRUE(preview.out.startsWith(QStringLiteral("1 item would be moved. Size: ")))
        << preview.out.toStdString();
    EXPECT_EQ(treeSnapshot(stores.rootDir()), before);

    QFile rows(report);
    ASSERT_TRUE(rows.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(rows.readAll());
    EXPECT_EQ(text.count(QStringLiteral("would move")), 1) << text.toStdString();
    EXPECT_EQ(text.count(QStringLiteral("skipped: unread")), 1);
}

TEST_F(ArchiveCommand, MoveNeedsYesWithoutATerminalAndCopyDoesNot)
{
    const CliResult refused = run(runOf(QStringLiteral("move"), storeToStore({})));
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("MOVE MATCHING MESSAGES from \"Personal "
                                                    "Folders\" to \"Archive\"")))
        << refused.err.toStdString();
    EXPECT_TRUE(refused.err.contains(QStringLiteral("--yes")));
    EXPECT_EQ(count(0, QStringLiteral("Inbox")), 3);

    const CliResult copied = run(runOf(QStringLiteral("copy"), storeToStore({})));
    EXPECT_EQ(copied.exitCode, 0) << copied.err.toStdString();
    EXPECT_TRUE(copied.out.startsWith(QStringLiteral("1 item copied. Size: ")));
    EXPECT_EQ(count(0, QStringLiteral("Inbox")), 3);
    EXPECT_EQ(count(1, QStringLiteral("Inbox")), 1);
}

TEST_F(ArchiveCommand, OptionsChooseWhatIsMovedAndTheJsonReportNamesIt)
{
    const QString report = home.filePath(QStringLiteral("run.JSON"));
    const CliResult moved = run(runOf(
        QStringLiteral("move"),
        {QStringLiteral("--source"), QStringLiteral("Personal Folders"), QStringLiteral("--folder"),
         QStringLiteral("Inbox\\Clients"), QStringLiteral("--folder"), QStringLiteral("Inbox"),
         QStringLiteral("--include-unread"), QStringLiteral("--respect-no-archive"),
         QStringLiteral("--dest"), QStringLiteral("Archive"), QStringLiteral("--priority"),
         QStringLiteral("normal"), QStringLiteral("--yes"), QStringLiteral("--report"), report}));
    EXPECT_EQ(moved.exitCode, 0) << moved.err.toStdString();
    EXPECT_TRUE(moved.out.startsWith(QStringLiteral("2 items moved. Size: ")))
        << moved.out.toStdString();
    EXPECT_EQ(count(0, QStringLiteral("Inbox\\Clients")), 1) << "\"No Archive\" respected";
    EXPECT_EQ(count(0, QStringLiteral("Inbox")), 1) << "the recent one stays";
    EXPECT_EQ(count(1, QStringLiteral("Inbox")), 2) << "the unread one went too";

    QFile file(report);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonArray rows = QJsonDocument::fromJson(file.readAll()).array();
    ASSERT_EQ(rows.size(), 3) << "the recent one lies outside the range";
    // Folders in the order given.
    EXPECT_EQ(rows.at(0).toObject().value(QStringLiteral("outcome")).toString(),
              QStringLiteral("skipped: No Archive"));
    EXPECT_TRUE(rows.at(0)
                    .toObject()
                    .value(QStringLiteral("folder"))
                    .toString()
                    .endsWith(QStringLiteral("Clients")));
}

TEST_F(ArchiveCommand, DiskFoldersBothWaysWithAPatternAndFailuresExitOne)
{
    const QString disk = home.filePath(QStringLiteral("exported"));
    const CliResult exported = run(runOf(
        QStringLiteral("copy"),
        {QStringLiteral("--source"), QStringLiteral("Personal Folders"),
         QStringLiteral("--all-folders"), QStringLiteral("--dest-dir"), disk,
         QStringLiteral("--pattern"), QStringLiteral("%su%"), QStringLiteral("--include-unread")}));
    EXPECT_EQ(exported.exitCode, 0) << exported.err.toStdString();
    EXPECT_EQ(filesBelow(disk, QStringLiteral("*.msg")),
              (QStringList{QStringLiteral("Inbox/Clients/Old client.msg"),
                           QStringLiteral("Inbox/Old read.msg"),
                           QStringLiteral("Inbox/Old unread.msg")}));

    const CliResult imported =
        run(runOf(QStringLiteral("copy"),
                  {QStringLiteral("--source-dir"), disk, QStringLiteral("--include-unread"),
                   QStringLiteral("--dest"), QStringLiteral("Archive")}));
    EXPECT_EQ(imported.exitCode, 0) << imported.err.toStdString();
    EXPECT_TRUE(imported.out.startsWith(QStringLiteral("3 items copied.")))
        << imported.out.toStdString();
    EXPECT_EQ(count(1, QStringLiteral("Inbox\\Clients")), 1);

    // A destination below a file cannot be made: every item fails.
    QFile blocker(home.filePath(QStringLiteral("a file")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const CliResult failed =
        run(runOf(QStringLiteral("copy"),
                  {QStringLiteral("--source"), QStringLiteral("Personal Folders"),
                   QStringLiteral("--folder"), QStringLiteral("Inbox"),
                   QStringLiteral("--dest-dir"), blocker.fileName() + QStringLiteral("/sub")}));
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_EQ(failed.out, QStringLiteral("0 items copied. 1 item not be processed.\n"));
}

TEST_F(ArchiveCommand, UndoLastPutsAMoveBackAndTheListSaysSo)
{
    // The messages' bytes, whatever their file names.
    const auto inboxBytes = [this] {
        QStringList hashes;
        for (const QString& entry : treeSnapshot(stores.folderDir(0, QStringLiteral("Inbox"))))
            hashes.append(entry.section(u' ', 0, 0));
        hashes.sort();
        return hashes;
    };
    const QStringList before = inboxBytes();
    const CliResult moved =
        run(runOf(QStringLiteral("move"), storeToStore({QStringLiteral("--yes")})));
    ASSERT_EQ(moved.exitCode, 0) << moved.err.toStdString();
    ASSERT_EQ(count(1, QStringLiteral("Inbox")), 1);
    const CliResult listed = run({QStringLiteral("--list-runs")});
    EXPECT_EQ(listed.exitCode, 0);
    EXPECT_EQ(listed.out.count(u'\n'), 1) << listed.out.toStdString();
    EXPECT_TRUE(listed.out.contains(QStringLiteral("(can be undone)"))) << listed.out.toStdString();

    const QStringList undo = {QStringLiteral("--profile"), stores.profilePath(),
                              QStringLiteral("--undo"), QStringLiteral("last")};
    EXPECT_EQ(run(undo).exitCode, 2) << "no terminal, no --yes";
    const CliResult undone = run(undo + QStringList{QStringLiteral("--yes")});
    EXPECT_EQ(undone.exitCode, 0) << undone.err.toStdString();
    EXPECT_EQ(
        undone.out,
        QStringLiteral("Last run undone: 1 item(s) back as they were, 0 skipped, 0 failed.\n"));
    EXPECT_EQ(count(1, QStringLiteral("Inbox")), 0);
    EXPECT_EQ(inboxBytes(), before);

    EXPECT_TRUE(run({QStringLiteral("--list-runs")}).out.contains(QStringLiteral("(undone by ")));
    const CliResult again = run(undo + QStringList{QStringLiteral("--yes")});
    EXPECT_EQ(again.exitCode, 2);
    EXPECT_TRUE(again.err.contains(QStringLiteral("no run to undo"))) << again.err.toStdString();
}

TEST_F(ArchiveCommand, OnATerminalAMoveAsksOnceAndAProgressBarIsDrawn)
{
    const QString script = QStandardPaths::findExecutable(QStringLiteral("script"));
    if (script.isEmpty())
        GTEST_SKIP() << "needs script(1) for a terminal";
    QStringList quoted;
    for (const QString& argument :
         QStringList{kProgram} + runOf(QStringLiteral("move"), storeToStore({})))
        quoted.append(u'\'' + QString(argument).replace(u'\'', QStringLiteral("'\\''")) + u'\'');
    const auto answer = [&](const QByteArray& typed) {
        QProcess process;
        process.setProcessEnvironment(cliEnvironment(home.path()));
        process.start(script,
                      {QStringLiteral("-qec"), quoted.join(u' '), QStringLiteral("/dev/null")});
        process.write(typed);
        EXPECT_TRUE(process.waitForFinished(60000));
        return std::pair{process.exitCode(), QString::fromUtf8(process.readAllStandardOutput())};
    };

    const auto [declinedCode, declined] = answer("n\n");
    EXPECT_EQ(declinedCode, 2);
    EXPECT_TRUE(declined.contains(QStringLiteral("Go on? [y/N]"))) << declined.toStdString();
    EXPECT_EQ(count(0, QStringLiteral("Inbox")), 3);

    const auto [movedCode, moved] = answer("y\n");
    EXPECT_EQ(movedCode, 0) << moved.toStdString();
    EXPECT_EQ(moved.count(QStringLiteral("Go on?")), 1);
    EXPECT_TRUE(moved.contains(QStringLiteral("\r\033[K["))) << "the bar, drawn in place";
    EXPECT_TRUE(moved.contains(QStringLiteral("1 item moved.")));
    EXPECT_EQ(count(1, QStringLiteral("Inbox")), 1);
}

TEST(ArchiveCommandStop, SigintStopsAtTheNextSafePointAndLosesNothing)
{
    constexpr int kMessages = 3000;
    EngineStores stores({QStringLiteral("Personal Folders"), QStringLiteral("Archive")});
    for (int i = 0; i < kMessages; ++i) {
        TestMessage m;
        m.subject = QStringLiteral("message %1").arg(i);
        m.received = at(2023, 1 + i % 12, 1 + i % 28);
        stores.addMessage(0, QStringLiteral("Inbox"), m);
    }
    const TempDir home;
    QProcess process;
    process.setProcessEnvironment(cliEnvironment(home.path()));
    process.start(kProgram,
                  {QStringLiteral("--profile"), stores.profilePath(), QStringLiteral("--source"),
                   QStringLiteral("Personal Folders"), QStringLiteral("--folder"),
                   QStringLiteral("Inbox"), QStringLiteral("--dest"), QStringLiteral("Archive"),
                   QStringLiteral("--action"), QStringLiteral("move"),
                   QStringLiteral("--date-field"), QStringLiteral("received"),
                   QStringLiteral("--from"), QStringLiteral("2023-01-01"), QStringLiteral("--to"),
                   QStringLiteral("2023-12-31"), QStringLiteral("--yes")});
    process.closeWriteChannel();
    ASSERT_TRUE(process.waitForStarted());
    // The first messages have arrived: the run is under way.
    QElapsedTimer waited;
    waited.start();
    while (stores.messageFiles(1, QStringLiteral("Inbox")).isEmpty() && waited.elapsed() < 60000 &&
           process.state() == QProcess::Running)
        QThread::msleep(5);
    ASSERT_EQ(process.state(), QProcess::Running) << "the run ended before it could be stopped";
    ::kill(pid_t(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(60000));

    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << "stopped, not killed";
    EXPECT_EQ(process.exitCode(), 1);
    const QString err = QString::fromUtf8(process.readAllStandardError());
    EXPECT_TRUE(err.contains(QStringLiteral("Task interrupted."))) << err.toStdString();
    const int archived = int(stores.messageFiles(1, QStringLiteral("Inbox")).size());
    const int left = int(stores.messageFiles(0, QStringLiteral("Inbox")).size());
    EXPECT_LT(archived, kMessages);
    EXPECT_EQ(archived + left, kMessages);
    EXPECT_EQ(QString::fromUtf8(process.readAllStandardOutput()).section(u' ', 0, 0).toInt(),
              archived)
        << "the summary counts what was moved";

    // The journal is whole: it ended, and names every message moved.
    const std::vector<engine::RunEntry> runs =
        engine::ListRuns(home.filePath(QStringLiteral("state/kestrel-mailkeep/runs")));
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_TRUE(runs.front().ended);
    engine::JournalReader journal;
    ASSERT_TRUE(journal.open(runs.front().path));
    int actions = 0;
    while (journal.next())
        ++actions;
    EXPECT_EQ(actions, archived);
    EXPECT_EQ(journal.unreadableLines(), 0);
}
