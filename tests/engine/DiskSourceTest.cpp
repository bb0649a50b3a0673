// The disk-folder source over real .msg files (written by the engine's own
// export and taken from real Outlook) into a real Maildir store.

#include "engine/DiskSource.h"

#include "EngineHarness.h"
#include "ScopedMount.h"
#include "engine/DiskListing.h"
#include "engine/MsgExporter.h"
#include "folders/mdlMAPI.h"
#include "platform/MailPlatform.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace kestrel;
using namespace kestrel::test;

namespace {

const QStringList kStores = {QStringLiteral("Personal Folders"), QStringLiteral("Archive")};

TestMessage message(const QString& subject, const QDateTime& received = at(2020, 6, 10, 9, 30))
{
    TestMessage m;
    m.subject = subject;
    m.received = received;
    return m;
}

// Every file below dir with its size and time: what a run must not touch.
QStringList snapshot(const QString& dir)
{
    QStringList out;
    QDirIterator it(dir, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        out << info.filePath() + ' ' + QString::number(info.size()) + ' ' +
                   QString::number(info.lastModified().toMSecsSinceEpoch());
    }
    out.sort();
    return out;
}

// A disk folder of .msg files and a destination store. Messages added with
// addMsg are written as .msg files by the engine's export once open() runs.
class DiskRun {
public:
    DiskRun() : h(kStores) { disk = diskDir.path() + QStringLiteral("/Saved mail"); }

    void addMsg(const QString& relativePath, const TestMessage& m)
    {
        h.stores.addMessage(0, QStringLiteral("Export"), m);
        m_pending.append({relativePath, m.subject});
    }

    bool open()
    {
        QDir().mkpath(disk);
        if (!h.stores.open())
            return false;
        auto exported = folders::GetFolderFromPath(h.stores.ns(), "\\\\Personal Folders\\Export");
        if (m_pending.isEmpty())
            return true;
        if (!exported)
            return false;
        auto items = exported->items();
        const qint64 n = items ? items->count().value_or(0) : 0;
        qsizetype written = 0;
        for (qint64 i = 1; i <= n; ++i) {
            auto item = items->item(i);
            const QString subject = item ? item->subject().value_or(QString()) : QString();
            for (const auto& [path, wanted] : m_pending) {
                if (wanted != subject)
                    continue;
                const QString target = disk + '/' + path;
                QDir().mkpath(QFileInfo(target).path());
                if (!engine::SaveMailAsMsg(*item, target))
                    return false;
                ++written;
            }
        }
        return written == m_pending.size();
    }

    // A Start (or Preview) from the disk folder into the "Archive" store.
    void run(int action, bool preview,
             const std::function<void(engine::TaskSettings&)>& adjust = {}, int priority = 0)
    {
        engine::TaskSettings settings = h.settings(action, preview);
        settings.SourceIsDisk = true;
        settings.SourceDiskFolder = disk;
        settings.SourceRoot.reset();
        if (adjust)
            adjust(settings);
        h.runner.Run(settings, priority, h.stores.ns(), h.stores.session(), {});
    }

    // Subjects in a folder of the Archive store ("Inbox", "2004\Jan"), sorted.
    QStringList subjects(const QString& path)
    {
        QStringList out;
        auto folder = folders::GetFolderFromPath(h.stores.ns(), "\\\\Archive\\" + path);
        auto items = folder ? folder->items() : nullptr;
        const qint64 n = items ? items->count().value_or(0) : 0;
        for (qint64 i = 1; i <= n; ++i) {
            auto item = items->item(i);
            out << (item ? item->subject().value_or(QStringLiteral("?")) : QStringLiteral("?"));
        }
        out.sort();
        return out;
    }

    QString archiveDir() const { return h.stores.rootDir() + QStringLiteral("/store2"); }
    int processed() const { return int(h.runner.counters().ProcessedCount); }
    int failed() const { return int(h.runner.counters().FailedCount); }

    EngineHarness h;
    TempDir diskDir;
    QString disk;

private:
    QList<std::pair<QString, QString>> m_pending;
};

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

TEST(DiskSource, CopyMirrorsNestedFoldersCreatesThemAndKeepsTheFiles)
{
    DiskRun r;
    r.addMsg("one.msg", message("Top 1"));
    r.addMsg("two.msg", message("Top 2"));
    r.addMsg("three.msg", message("Top 3"));
    r.addMsg("2004/Jan/jan.msg", message("January"));
    r.addMsg("2004/Feb/feb.msg", message("February"));
    r.addMsg("2004/year.msg", message("Year"));
    r.addMsg("a%2Fb/slash.msg", message("Slash"));
    r.addMsg("a%2fb/lower.msg", message("Lower"));
    r.addMsg("Empty/Deeper/deep.msg", message("Deep"));
    ASSERT_TRUE(r.open());
    // 2004\Feb exists already: found, not created a second time.
    ASSERT_TRUE(r.h.stores.addFolder(1, "2004\\Feb"));
    const QStringList files = filesBelow(r.disk, "*.msg");

    r.run(1, false);
    EXPECT_EQ(r.processed(), 9);
    EXPECT_EQ(r.failed(), 0);
    EXPECT_EQ(filesBelow(r.disk, "*.msg"), files) << "Copy keeps every file";
    // Items of the top folder stay in the destination root, which is its Inbox.
    EXPECT_EQ(r.subjects("Inbox"), (QStringList{"Top 1", "Top 2", "Top 3"}));
    EXPECT_EQ(r.subjects("2004"), QStringList{"Year"});
    EXPECT_EQ(r.subjects("2004\\Jan"), QStringList{"January"});
    EXPECT_EQ(r.subjects("2004\\Feb"), QStringList{"February"});
    EXPECT_EQ(r.subjects("a%2Fb"), QStringList{"Slash"}) << "a folder named a/b";
    EXPECT_EQ(r.subjects("Empty\\Deeper"), QStringList{"Deep"});
    auto lower = folders::GetFolderFromPath(r.h.stores.ns(), "\\\\Archive\\a%2fb");
    ASSERT_TRUE(lower) << "a%2fb keeps its name";
    EXPECT_EQ(lower->name(), "a%2fb");
    EXPECT_TRUE(r.subjects("Empty").isEmpty());

    EXPECT_EQ(r.h.view.actionText, "Task completed.");
    EXPECT_EQ(r.h.view.status.left(21), "9 items copied. Size:");
}

TEST(DiskSource, MoveAndDeleteRemoveOnlyTheFilesWhoseItemsWereSaved)
{
    for (int action : {0, 2}) {
        DiskRun r;
        r.addMsg("2004/Jan/a.msg", message("In range A"));
        r.addMsg("2004/Jan/b.msg", message("Too old", at(2019, 12, 31, 23, 59, 59)));
        r.addMsg("2004/Jan/c.msg", message("Last second", at(2020, 12, 31, 23, 59, 59)));
        TestMessage unread = message("Unread");
        unread.unread = true;
        r.addMsg("2004/Jan/d.msg", unread);
        TestMessage keep = message("No archive");
        keep.noArchive = true;
        r.addMsg("2004/Jan/e.msg", keep);
        r.addMsg("2004/Jan/f.msg", message("Too new", at(2021, 1, 1, 0, 0, 0)));
        r.addMsg("Blocked/g.msg", message("Blocked"));
        r.addMsg("top.msg", message("Top"));
        ASSERT_TRUE(r.open());
        // A plain file where the destination folder "Blocked" would go: it
        // can be neither found nor created.
        writeFile(r.h.stores.folderDir(1, "Blocked"), "in the way");

        r.run(action, false);
        EXPECT_EQ(r.processed(), 3) << action;
        EXPECT_EQ(r.failed(), 1) << "the item that could not reach its folder";
        EXPECT_EQ(filesBelow(r.disk, "*.msg"),
                  (QStringList{"2004/Jan/b.msg", "2004/Jan/d.msg", "2004/Jan/e.msg",
                               "2004/Jan/f.msg", "Blocked/g.msg"}));
        EXPECT_EQ(r.subjects("2004\\Jan"), (QStringList{"In range A", "Last second"}));
        // Saved before its folder failed: it stays in the destination root.
        EXPECT_EQ(r.subjects("Inbox"), (QStringList{"Blocked", "Top"}));
        EXPECT_TRUE(r.subjects("Deleted Items").isEmpty()) << "Delete from disk moves";
    }
}

TEST(DiskSource, WalksAnyDepthOnceAndCountsFoldersTooDeep)
{
    DiskRun r;
    const QString limit = QStringLiteral("d/").repeated(engine::kMaxDiskFolderDepth);
    r.addMsg("top.msg", message("Top"));
    r.addMsg(limit + "at the limit.msg", message("At the limit"));
    r.addMsg(limit + "d/beyond.msg", message("Beyond"));
    r.addMsg("sub/sub.msg", message("Sub"));
    ASSERT_TRUE(r.open());

    r.run(1, true);
    EXPECT_EQ(r.processed(), 3);
    EXPECT_EQ(r.failed(), 1) << "the folder too deep";

    // The source folder mounted again inside itself is not walked twice.
    QDir().mkpath(r.disk + "/sub/again");
    const ScopedMount loop = ScopedMount::bind(r.disk, r.disk + "/sub/again");
    if (!loop.mounted())
        GTEST_SKIP() << "needs root for a bind mount";
    r.run(1, true);
    EXPECT_EQ(r.processed(), 3);
    EXPECT_EQ(r.failed(), 1);
}

TEST(DiskSource, PreviewChangesNothingOnDiskOrInTheStore)
{
    DiskRun r;
    r.addMsg("x.msg", message("X"));
    r.addMsg("Sub/y.msg", message("Y"));
    r.addMsg("Sub/z.msg", message("Old", at(2001, 1, 1)));
    r.addMsg("New/Level/w.msg", message("W"));
    ASSERT_TRUE(r.open());
    const QStringList disk = snapshot(r.disk);
    const QStringList store = snapshot(r.archiveDir());
    for (int action : {0, 1, 2}) {
        r.run(action, true);
        EXPECT_EQ(r.processed(), 3);
        EXPECT_EQ(snapshot(r.disk), disk);
        EXPECT_EQ(snapshot(r.archiveDir()), store);
    }
    EXPECT_TRUE(r.h.view.status.startsWith("3 items would be deleted."))
        << r.h.view.status.toStdString();
}

TEST(DiskSource, ListsMsgInAnyCaseButNoHiddenFilesLinksOrOtherKinds)
{
    DiskRun r;
    r.addMsg("A.MSG", message("Capitals"));
    r.addMsg("b.Msg", message("Mixed"));
    r.addMsg(".hidden.msg", message("Hidden"));
    r.addMsg(".hidden/inside.msg", message("In hidden folder"));
    r.addMsg("c.msg.txt", message("Not msg"));
    r.addMsg("Sub/d.msg", message("Sub"));
    TempDir outside; // a .msg file outside the source tree, reached by a link
    ASSERT_TRUE(r.open());
    QDir().mkpath(outside.filePath("Far"));
    ASSERT_TRUE(QFile::copy(r.disk + "/A.MSG", outside.filePath("Far/away.msg")));
    ASSERT_EQ(::symlink(QFile::encodeName(outside.filePath("Far")).constData(),
                        QFile::encodeName(r.disk + "/Linked").constData()),
              0);
    ASSERT_EQ(::symlink(QFile::encodeName(r.disk + "/A.MSG").constData(),
                        QFile::encodeName(r.disk + "/link.msg").constData()),
              0);
    ASSERT_EQ(::mkfifo(QFile::encodeName(r.disk + "/pipe.msg").constData(), 0600), 0);
    QDir().mkpath(r.disk + "/folder.msg"); // a directory is no file

    EXPECT_EQ(engine::GetArrayCount(engine::GetFileList(r.disk, "*.msg")), 2);
    r.run(1, false);
    EXPECT_EQ(r.processed(), 3);
    EXPECT_EQ(r.failed(), 0);
    EXPECT_EQ(r.subjects("Inbox"), (QStringList{"Capitals", "Mixed"}));
    EXPECT_EQ(r.subjects("Sub"), QStringList{"Sub"});
    EXPECT_FALSE(folders::GetFolderFromPath(r.h.stores.ns(), "\\\\Archive\\Linked"));
    EXPECT_FALSE(folders::GetFolderFromPath(r.h.stores.ns(), "\\\\Archive\\.hidden"));
}

TEST(DiskSource, DamagedAndNonMessageFilesFailButTheRestGoThrough)
{
    DiskRun r;
    r.addMsg("Mixed/1.msg", message("First"));
    r.addMsg("Mixed/4.msg", message("Fourth"));
    ASSERT_TRUE(r.open());
    // A real .msg cut short, and a text file renamed .msg, between the good ones.
    QFile good(r.disk + "/Mixed/1.msg");
    ASSERT_TRUE(good.open(QIODevice::ReadOnly));
    const QByteArray bytes = good.readAll();
    writeFile(r.disk + "/Mixed/2.msg", bytes.left(bytes.size() / 3));
    writeFile(r.disk + "/Mixed/3.msg", "Dear Ann,\nthis is only a letter.\n");
    writeFile(r.disk + "/Mixed/empty.msg", {});
    // Unreadable for its owner too, unless the tests run as root.
    writeFile(r.disk + "/Mixed/locked.msg", bytes);
    QFile::setPermissions(r.disk + "/Mixed/locked.msg", {});
    const bool lockedReadable = QFile(r.disk + "/Mixed/locked.msg").open(QIODevice::ReadOnly);

    const QStringList before = snapshot(r.disk);
    r.run(0, false);
    EXPECT_EQ(r.processed(), lockedReadable ? 3 : 2);
    EXPECT_EQ(r.failed(), lockedReadable ? 3 : 4);
    QStringList left = filesBelow(r.disk, "*.msg");
    QStringList expected = {"Mixed/2.msg", "Mixed/3.msg", "Mixed/empty.msg"};
    if (!lockedReadable)
        expected.append("Mixed/locked.msg");
    expected.sort();
    EXPECT_EQ(left, expected);
    // The failed files are left exactly as they were.
    for (const QString& line : snapshot(r.disk))
        EXPECT_TRUE(before.contains(line)) << line.toStdString();
    QStringList subjects = r.subjects("Mixed");
    EXPECT_TRUE(subjects.contains("First") && subjects.contains("Fourth"));
    QFile::setPermissions(r.disk + "/Mixed/locked.msg", QFile::ReadOwner | QFile::WriteOwner);
}

TEST(DiskSource, StopIsSeenAfterEveryTenthFileAndAfterTheLoop)
{
    // stopAtYield: the yield (1-based) during which Stop is pressed; 0 never.
    struct Case {
        int stopAtYield;
        int processed;
        bool subFolderWalked;
    };
    for (const Case c : {Case{1, 10, false}, Case{4, 20, false}, Case{7, 25, false},
                         Case{8, 26, true}, Case{0, 26, true}}) {
        DiskRun r;
        for (int i = 1; i <= 25; ++i)
            r.addMsg(QStringLiteral("m%1.msg").arg(i, 2, 10, QChar('0')),
                     message(QStringLiteral("Message %1").arg(i)));
        r.addMsg("Sub/s.msg", message("Sub"));
        ASSERT_TRUE(r.open());
        r.h.view.onYield = [&](int n) {
            if (n == c.stopAtYield)
                r.h.runner.RequestStop();
        };
        r.run(1, false, {}, 0); // priority position 0: YieldInterval 10
        EXPECT_EQ(r.processed(), c.processed) << c.stopAtYield;
        EXPECT_EQ(r.subjects("Sub").size(), c.subFolderWalked ? 1 : 0) << c.stopAtYield;
        EXPECT_EQ(r.h.view.actionText, c.stopAtYield ? "Task interrupted." : "Task completed.");
        if (c.stopAtYield == 0) {
            // Three yields after the 10th and the 20th file, one after the
            // loop, one before the sub-folders, and the sub-folder's own.
            EXPECT_EQ(r.h.view.yields, 3 + 3 + 1 + 1 + 1 + 1);
        }
    }
}

TEST(DiskSource, RealOutlookFilesComeIntoTheStore)
{
    DiskRun r;
    ASSERT_TRUE(r.open());
    QHash<QString, QString> subjects;
    QFile expected(corpusPath("msg/expected.jsonl"));
    ASSERT_TRUE(expected.open(QIODevice::ReadOnly));
    while (!expected.atEnd()) {
        const QJsonObject o = QJsonDocument::fromJson(expected.readLine()).object();
        subjects.insert(o.value("file").toString(), o.value("subject").toString());
    }
    const QStringList chosen = {"plain-ansi-simple.msg",   "attach-two-files.msg",
                                "unicode-cjk-subject.msg", "rtf-native-body.msg",
                                "html-inline-images.msg",  "ansi-cp1251-cyrillic.msg"};
    QStringList wanted;
    QDir().mkpath(r.disk + "/Outlook");
    for (const QString& name : chosen) {
        ASSERT_TRUE(QFile::copy(corpusPath("msg/" + name), r.disk + "/Outlook/" + name));
        wanted << subjects.value(name);
    }
    wanted.sort();
    r.run(0, false, [](engine::TaskSettings& s) {
        s.DateBase = 4; // every date passes: these files are from many years
        s.IncludeUnread = true;
        s.RespectNoArchive = false;
    });
    EXPECT_EQ(r.processed(), int(chosen.size()));
    EXPECT_EQ(r.failed(), 0);
    EXPECT_EQ(r.subjects("Outlook"), wanted);
    EXPECT_TRUE(filesBelow(r.disk, "*.msg").isEmpty());
}
