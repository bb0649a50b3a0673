// Start, then undo from the run's journal, over real Maildir stores: the
// stores end as they began (each message's bytes and flags in its folder).

#include "EngineHarness.h"
#include "engine/Journal.h"
#include "engine/JournalReader.h"
#include "engine/Undo.h"
#include "platform/MsgCodec.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

using namespace kestrel;
using namespace kestrel::test;

namespace {

// Folder (a directory relative to the stores' root) -> its messages, each as
// its identity and its flags, sorted: file names play no part. The identity is
// the hash of the message's bytes, or for a message that went through a .msg
// file (which keeps the message, not its MIME encoding) its Message-ID,
// subject and received time.
using StoreState = std::map<std::string, std::vector<std::string>>;

QByteArray headerValue(const QByteArray& bytes, const QByteArray& name)
{
    for (const QByteArray& line : bytes.left(bytes.indexOf("\n\n")).split('\n')) {
        if (line.startsWith(name + ": "))
            return line.mid(name.size() + 2).trimmed();
    }
    return {};
}

StoreState stateOf(const QString& root, bool bytes = true)
{
    StoreState state;
    QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        QDir folder = info.dir();
        if (folder.dirName() != QLatin1String("cur") && folder.dirName() != QLatin1String("new"))
            continue;
        folder.cdUp();
        QFile file(info.filePath());
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray content = file.readAll();
        const QByteArray identity =
            bytes ? QCryptographicHash::hash(content, QCryptographicHash::Sha1).toHex()
                  : headerValue(content, "Message-ID") + ' ' + headerValue(content, "Subject") +
                        ' ' + QByteArray::number(info.lastModified().toSecsSinceEpoch());
        const QString name = info.fileName();
        const qsizetype flags = name.lastIndexOf(QLatin1String(":2,"));
        state[QDir(root).relativeFilePath(folder.absolutePath()).toStdString()].push_back(
            identity.toStdString() + ' ' +
            (flags < 0 ? QString() : name.mid(flags + 3)).toStdString());
    }
    for (auto& [folder, messages] : state)
        std::sort(messages.begin(), messages.end());
    return state;
}

QStringList msgFiles(const QString& dir)
{
    QStringList files;
    QDirIterator it(dir, {QStringLiteral("*.msg")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    return files;
}

class JournalUndo : public ::testing::Test {
protected:
    void SetUp() override
    {
        h = std::make_unique<EngineHarness>(
            QStringList{QStringLiteral("Personal Folders"), QStringLiteral("Archive")});
        int n = 0;
        for (const QString& folder : {QStringLiteral("Inbox"), QStringLiteral("Inbox\\Clients")}) {
            for (int i = 0; i < 6; ++i, ++n) {
                TestMessage m;
                m.subject = QStringLiteral("Message %1").arg(n);
                m.received = at(i == 5 ? 2019 : 2020, 1 + i, 10);
                m.unread = i % 3 == 0;
                m.noArchive = i == 4;
                h->stores.addMessage(0, folder, m);
            }
        }
        TestMessage kept;
        kept.subject = QStringLiteral("Already archived");
        kept.received = at(2020, 2, 2);
        h->stores.addMessage(1, QStringLiteral("Inbox"), kept);
        ASSERT_TRUE(h->stores.open());
        h->runner.setJournalDirectory(journals.path());
    }

    void start(int action, const QString& disk = {})
    {
        engine::TaskSettings s = h->settings(action, false, 1, disk);
        s.IncludeUnread = true;
        h->run(std::move(s), {QStringLiteral("Inbox"), QStringLiteral("Inbox\\Clients")});
        ASSERT_EQ(h->runner.journalError(), QString());
    }

    engine::UndoCounts undoLast()
    {
        const std::optional<engine::RunEntry> last = engine::LastUndoableRun(journals.path());
        EXPECT_TRUE(last);
        if (!last)
            return {};
        engine::Undo undo(*h->stores.session());
        EXPECT_TRUE(undo.undoRun(last->path, journals.path())) << undo.lastError().toStdString();
        return undo.counts();
    }

    // The message file of a folder of store 0 whose subject is given.
    QString fileWithSubject(int store, const QString& folder, const QString& subject)
    {
        for (const QString& path : h->stores.messageFiles(store, folder)) {
            QFile file(path);
            if (file.open(QIODevice::ReadOnly) &&
                file.readAll().contains("\nSubject: " + subject.toUtf8() + '\n'))
                return path;
        }
        return {};
    }

    std::unique_ptr<EngineHarness> h;
    QTemporaryDir journals;
    QTemporaryDir disk;
};

struct Case {
    int action;
    bool toDisk;
};

class StartThenUndo : public JournalUndo, public ::testing::WithParamInterface<Case> {};

} // namespace

TEST_P(StartThenUndo, LeavesEveryStoreAsItWas)
{
    // A Move to disk brings messages back from their .msg files.
    const bool bytes = GetParam().action != 0 || !GetParam().toDisk;
    const StoreState before = stateOf(h->stores.rootDir(), bytes);
    start(GetParam().action, GetParam().toDisk ? disk.path() : QString());
    ASSERT_EQ(h->runner.counters().FailedCount, 0);
    ASSERT_EQ(h->runner.counters().ProcessedCount, 8);
    const QStringList written = msgFiles(disk.path());
    EXPECT_EQ(written.size(), GetParam().toDisk ? 8 : 0);
    if (GetParam().action != 1 || !GetParam().toDisk) {
        ASSERT_NE(stateOf(h->stores.rootDir(), bytes), before);
    }

    const engine::UndoCounts counts = undoLast();
    EXPECT_EQ(counts.undone, 8);
    EXPECT_EQ(counts.skipped, 0);
    EXPECT_EQ(counts.failed, 0);
    EXPECT_EQ(stateOf(h->stores.rootDir(), bytes), before);
    EXPECT_EQ(msgFiles(disk.path()), QStringList());
    // Undone: there is no run left to undo, and the undo is listed beside it.
    EXPECT_FALSE(engine::LastUndoableRun(journals.path()));
    const std::vector<engine::RunEntry> runs = engine::ListRuns(journals.path());
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_TRUE(runs[0].ended && runs[1].ended);
    EXPECT_EQ(runs[1].undoneBy, runs[0].name);
}

std::string caseName(const ::testing::TestParamInfo<Case>& info)
{
    const char* const names[] = {"Move", "Copy", "Delete"};
    return std::string(names[info.param.action]) + (info.param.toDisk ? "ToDisk" : "ToStore");
}

INSTANTIATE_TEST_SUITE_P(Actions, StartThenUndo,
                         ::testing::Values(Case{0, false}, Case{1, false}, Case{2, false},
                                           Case{0, true}, Case{1, true}),
                         caseName);

TEST_F(JournalUndo, NeverRemovesAFileWhoseOriginalIsGoneAndSkipsAnEditedFile)
{
    start(1, disk.path());
    ASSERT_TRUE(
        QFile::remove(fileWithSubject(0, QStringLiteral("Inbox"), QStringLiteral("Message 0"))));
    ASSERT_TRUE(QFile::remove(
        fileWithSubject(0, QStringLiteral("Inbox\\Clients"), QStringLiteral("Message 7"))));
    const QStringList files = msgFiles(disk.path());
    ASSERT_EQ(files.size(), 8);
    const QStringList edited = files.filter(QStringLiteral("Message 2"));
    ASSERT_EQ(edited.size(), 1);
    {
        QFile file(edited.first());
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write("x");
    }

    const engine::UndoCounts counts = undoLast();
    EXPECT_EQ(counts.skipped, 3);
    EXPECT_EQ(counts.undone, 5);
    EXPECT_EQ(msgFiles(disk.path()).size(), 3);
    EXPECT_EQ(msgFiles(disk.path()).filter(QStringLiteral("Message 0")).size(), 1);
    EXPECT_EQ(msgFiles(disk.path()).filter(QStringLiteral("Message 7")).size(), 1);
    EXPECT_TRUE(QFile::exists(edited.first()));
}

TEST_F(JournalUndo, NeverRemovesACopyWhoseOriginalIsGone)
{
    start(1);
    // Since the run: two originals removed, and one copy.
    ASSERT_TRUE(
        QFile::remove(fileWithSubject(0, QStringLiteral("Inbox"), QStringLiteral("Message 0"))));
    ASSERT_TRUE(QFile::remove(
        fileWithSubject(0, QStringLiteral("Inbox\\Clients"), QStringLiteral("Message 7"))));
    ASSERT_TRUE(
        QFile::remove(fileWithSubject(1, QStringLiteral("Inbox"), QStringLiteral("Message 1"))));

    const engine::UndoCounts counts = undoLast();
    EXPECT_EQ(counts.skipped, 3);
    EXPECT_EQ(counts.undone, 5);
    EXPECT_FALSE(
        fileWithSubject(1, QStringLiteral("Inbox"), QStringLiteral("Message 0")).isEmpty());
    EXPECT_FALSE(fileWithSubject(1, QStringLiteral("Inbox\\Clients"), QStringLiteral("Message 7"))
                     .isEmpty());
    EXPECT_EQ(h->stores.messageFiles(1, QStringLiteral("Inbox")).size() +
                  h->stores.messageFiles(1, QStringLiteral("Inbox\\Clients")).size(),
              3u); // with the message archived before
}

TEST_F(JournalUndo, RunCutShortIsUndoneAsFarAsItsJournalReaches)
{
    start(0);
    // As a kill leaves it: no last line, and the last action torn.
    QFile journal(h->runner.lastJournal());
    ASSERT_TRUE(journal.open(QIODevice::ReadWrite));
    QByteArray lines = journal.readAll();
    lines.chop(1);
    lines.truncate(lines.lastIndexOf('\n')); // the end line
    lines.truncate(lines.lastIndexOf('\n') + 20);
    ASSERT_TRUE(journal.resize(0));
    ASSERT_EQ(journal.write(lines), lines.size());
    journal.close();

    engine::JournalReader reader;
    ASSERT_TRUE(reader.open(h->runner.lastJournal()));
    int actions = 0;
    while (reader.next())
        ++actions;
    EXPECT_EQ(actions, 7);
    EXPECT_EQ(reader.unreadableLines(), 1);
    EXPECT_FALSE(reader.ended());
    EXPECT_FALSE(engine::ListRuns(journals.path()).front().ended);

    const engine::UndoCounts counts = undoLast();
    EXPECT_EQ(counts.undone, 7);
    EXPECT_EQ(h->stores.messageFiles(1, QStringLiteral("Inbox")).size() +
                  h->stores.messageFiles(1, QStringLiteral("Inbox\\Clients")).size(),
              2u); // the one the journal lost, and the one archived before
}

TEST_F(JournalUndo, ARunsActionsAreInTheFileByItsNextYieldAndAnUndosAtOnce)
{
    // Lines wait to be written together, but never past a yield: a run that
    // pauses, or is killed in a pause, leaves its actions in the journal.
    int checked = 0;
    h->view.onYield = [&](int) {
        QFile journal(h->runner.lastJournal());
        ASSERT_TRUE(journal.open(QIODevice::ReadOnly));
        const qsizetype actions =
            std::count_if(h->view.reports.begin(), h->view.reports.end(),
                          [](const engine::ItemReport& r) {
                              return r.outcome == engine::ReportOutcome::Moved;
                          });
        EXPECT_EQ(journal.readAll().count('\n'), 1 + actions); // with the header
        checked += actions > 0;
    };
    start(0);
    EXPECT_GT(checked, 0);

    // An undo has no yields: each of its actions is in its file at once.
    struct LinesAtEachAction : engine::ItemReportSink {
        engine::Undo* undo = nullptr;
        QList<qsizetype> lines;
        void ItemDone(const engine::ItemReport&) override
        {
            QFile journal(undo->journalPath());
            lines << (journal.open(QIODevice::ReadOnly) ? journal.readAll().count('\n') : -1);
        }
    } sink;
    engine::Undo undo(*h->stores.session());
    sink.undo = &undo;
    undo.setSink(&sink);
    ASSERT_TRUE(undo.undoRun(h->runner.lastJournal(), journals.path()));
    ASSERT_FALSE(sink.lines.isEmpty());
    for (qsizetype k = 0; k < sink.lines.size(); ++k)
        EXPECT_EQ(sink.lines[k], 2 + k); // the header, then each action
}

TEST_F(JournalUndo, PreviewWritesNoJournalAndOnlyTheNewestAreKept)
{
    h->settingsReader.values.insert(QStringLiteral("Journal/Keep"), QStringLiteral("2"));
    engine::TaskSettings preview = h->settings(0, true);
    h->run(std::move(preview), {QStringLiteral("Inbox")});
    EXPECT_EQ(h->runner.lastJournal(), QString());
    EXPECT_TRUE(engine::ListRuns(journals.path()).empty());

    QStringList written;
    for (int run = 0; run < 3; ++run) {
        start(1);
        written << QFileInfo(h->runner.lastJournal()).fileName();
    }
    std::vector<engine::RunEntry> runs = engine::ListRuns(journals.path());
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].name, written[2]);
    EXPECT_EQ(runs[1].name, written[1]);
}

TEST_F(JournalUndo, StartFromADiskFolderThenUndoLeavesFilesAndStoresAsTheyWere)
{
    start(1, disk.path());
    for (int action : {0, 1}) {
        QStringList files = msgFiles(disk.path());
        files.sort();
        ASSERT_EQ(files.size(), 8);
        const StoreState before = stateOf(h->stores.rootDir());

        engine::TaskSettings s = h->settings(action, false);
        s.SourceIsDisk = true;
        s.SourceDiskFolder = disk.path();
        s.SourceRoot.reset();
        s.IncludeUnread = true;
        h->runner.Run(s, 0, h->stores.ns(), h->stores.session(), {});
        ASSERT_EQ(h->runner.counters().ProcessedCount, 8);
        ASSERT_EQ(msgFiles(disk.path()).size(), action == 0 ? 0 : 8);

        const engine::UndoCounts counts = undoLast();
        EXPECT_EQ(counts.undone, 8);
        EXPECT_EQ(counts.skipped, 0);
        EXPECT_EQ(counts.failed, 0);
        EXPECT_EQ(stateOf(h->stores.rootDir()), before);
        // A moved message is written back to its file, which reads as before.
        QStringList after = msgFiles(disk.path());
        after.sort();
        EXPECT_EQ(after, files);
        for (const QString& file : after) {
            platform::PlatformError error;
            EXPECT_TRUE(platform::msg::readMsgFile(file, &error)) << error.text.toStdString();
        }
    }
}
