// Export to a disk folder as .msg files: names, numbering, limits, file times,
// and what a failed write or removal leaves.

#include "EngineHarness.h"
#include "ScopedMount.h"
#include "engine/DiskListing.h"
#include "platform/MsgCodec.h"
#include "platform/msg/MsgLimits.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

using namespace kestrel;
using namespace kestrel::test;

namespace {

const QStringList kStores = {QStringLiteral("Personal Folders"), QStringLiteral("Archive")};

TestMessage made(const QString& subject, const QDateTime& created)
{
    TestMessage m;
    m.subject = subject;
    m.received = at(2020, 5, 5);
    m.created = created;
    return m;
}

QStringList namesIn(const QString& dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// Runs a Copy of one folder into a fresh disk folder and returns the names made.
QStringList exportFolder(EngineHarness& h, const QString& folder, const QString& disk,
                         int action = 1)
{
    h.run(h.settings(action, false, 1, disk), {folder});
    return namesIn(disk + '/' + folder);
}

} // namespace

TEST(MsgExport, NamesFollowThePattern)
{
    EngineHarness h(kStores);
    const QDateTime created = at(2009, 1, 5, 14, 7, 33);
    h.stores.addMessage(0, QStringLiteral("Default"), made(QStringLiteral("Re: Budget"), created));
    h.stores.addMessage(0, QStringLiteral("Empty"), made(QStringLiteral("Re: Budget"), created));
    for (int second : {1, 20, 59})
        h.stores.addMessage(0, QStringLiteral("Stamp"),
                            made(QStringLiteral("same minute"), at(2009, 1, 5, 14, 7, second)));
    h.stores.addMessage(0, QStringLiteral("Upper"), made(QStringLiteral("x"), created));
    h.stores.addMessage(0, QStringLiteral("Brought"),
                        made(QStringLiteral("for %to% at %fd% %rt% %su%"), created));
    h.stores.addMessage(0, QStringLiteral("Long"), made(QString(150, 'a'), created));
    h.stores.addMessage(0, QStringLiteral("Odd"),
                        made(QStringLiteral("../../etc/passwd? a:b <c> \"d\" |e| *f*"), created));
    ASSERT_TRUE(h.stores.open());
    const TempDir disk;

    EXPECT_EQ(exportFolder(h, QStringLiteral("Default"), disk.path()),
              QStringList{QStringLiteral("20090105140707 Re  Budget.msg")});
    EXPECT_EQ(h.view.status,
              QStringLiteral("1 item copied. Size: ") + h.view.status.section(' ', 4));

    h.settingsReader.values[QStringLiteral("MSG/Pattern")] = QString();
    EXPECT_EQ(exportFolder(h, QStringLiteral("Empty"), disk.path()),
              QStringList{QStringLiteral("20090105140707 - Re  Budget.msg")});

    h.settingsReader.values[QStringLiteral("MSG/Pattern")] = QStringLiteral("%ct%");
    EXPECT_EQ(
        exportFolder(h, QStringLiteral("Stamp"), disk.path()),
        (QStringList{QStringLiteral("20090105140707.msg"), QStringLiteral("20090105140707[1].msg"),
                     QStringLiteral("20090105140707[2].msg")}));

    h.settingsReader.values[QStringLiteral("MSG/Pattern")] = QStringLiteral("%SU% %Ct% %mt% %su%");
    EXPECT_EQ(exportFolder(h, QStringLiteral("Upper"), disk.path()),
              QStringList{QStringLiteral("%SU% %Ct% %mt% x.msg")});

    // Tokens a value brings in are replaced by the later steps, not the earlier.
    h.settingsReader.values[QStringLiteral("MSG/Pattern")] = QStringLiteral("%su%");
    EXPECT_EQ(
        exportFolder(h, QStringLiteral("Brought"), disk.path()),
        QStringList{QStringLiteral("for Demo User at sender.example 20200505120000 %su%.msg")});

    h.settingsReader.values[QStringLiteral("MSG/Pattern")] = QStringLiteral("%su%");
    EXPECT_EQ(exportFolder(h, QStringLiteral("Long"), disk.path()),
              QStringList{QString(100, 'a') + QStringLiteral(".msg")});

    // Nothing leaves the directory, and nothing a Windows file system refuses stays.
    EXPECT_EQ(exportFolder(h, QStringLiteral("Odd"), disk.path()),
              QStringList{QStringLiteral("_.~..~etc~passwd_ a b _c_ _d_ _e_ _f_.msg")});
    EXPECT_EQ(QDir(disk.path()).entryList(QDir::Files).size(), 0);
    EXPECT_EQ(h.runner.counters().FailedCount, 0);
}

TEST(MsgExport, FileCounterRunsAcrossTasksAndFileTimeIsCreationTime)
{
    EngineHarness h(kStores);
    const QDateTime created = at(2011, 7, 8, 9, 10, 11);
    h.stores.addMessage(0, QStringLiteral("A"), made(QStringLiteral("first"), created));
    h.stores.addMessage(0, QStringLiteral("A"), made(QStringLiteral("second"), created));
    h.stores.addMessage(0, QStringLiteral("B"), made(QStringLiteral("third"), created));
    ASSERT_TRUE(h.stores.open());
    h.settingsReader.values[QStringLiteral("MSG/Pattern")] = QStringLiteral("%ii% %su%");
    const TempDir disk;

    // From the last item to the first.
    EXPECT_EQ(exportFolder(h, QStringLiteral("A"), disk.path()),
              (QStringList{QStringLiteral("0 second.msg"), QStringLiteral("1 first.msg")}));
    EXPECT_EQ(exportFolder(h, QStringLiteral("B"), disk.path()),
              QStringList{QStringLiteral("2 third.msg")});
    EXPECT_EQ(h.runner.msgFileCounter(), 3);

    const QFileInfo file(disk.path() + QStringLiteral("/B/2 third.msg"));
    EXPECT_EQ(file.lastModified(), created);
    // The file is a real .msg holding the message.
    platform::PlatformError error;
    const std::optional<platform::msg::MsgEnvelope> read =
        platform::msg::readMsgFile(file.filePath(), &error);
    ASSERT_TRUE(read) << error.text.toStdString();
    EXPECT_TRUE(read->mime.contains("Subject: third"));
}

TEST(MsgExport, MoveRemovesTheMessageOnlyOnceItsFileExists)
{
    EngineHarness h(kStores);
    h.stores.addMessage(0, QStringLiteral("Inbox"), made(QStringLiteral("go"), at(2012, 1, 1)));
    h.stores.addMessage(0, QStringLiteral("Inbox"), made(QStringLiteral("go"), at(2012, 1, 1)));
    for (int i = 0; i < 2; ++i)
        h.stores.addMessage(
            0, QStringLiteral("Deep"),
            made(QStringLiteral("subject %1 ").arg(i) + QString(80, 'y'), at(2012, 1, 1)));
    ASSERT_TRUE(h.stores.open());
    const TempDir disk;

    EXPECT_EQ(exportFolder(h, QStringLiteral("Inbox"), disk.path(), 0),
              (QStringList{QStringLiteral("20120101120000 go.msg"),
                           QStringLiteral("20120101120000 go[1].msg")}));
    EXPECT_EQ(h.stores.messageFiles(0, QStringLiteral("Inbox")).size(), 0);
    EXPECT_EQ(h.runner.counters().ProcessedCount, 2);

    // A directory so long that no name fits: counted as failed, the messages stay.
    QString longDir = disk.path();
    while (longDir.size() < 240)
        longDir += QStringLiteral("/") + QString(40, 'd');
    EXPECT_EQ(exportFolder(h, QStringLiteral("Deep"), longDir, 0), QStringList{});
    EXPECT_EQ(h.runner.counters().FailedCount, 2);
    EXPECT_EQ(h.runner.counters().ProcessedCount, 0);
    EXPECT_EQ(h.stores.messageFiles(0, QStringLiteral("Deep")).size(), 2);
    EXPECT_EQ(h.view.status, QStringLiteral("0 items moved. 2 items not be processed."));

    // A shorter long directory: the name is cut so the path is 252 characters.
    QString dir = disk.path() + QStringLiteral("/x");
    dir += QString(200 - dir.size(), 'e');
    h.settingsReader.values[QStringLiteral("MSG/Pattern")] = QStringLiteral("%su%%su%%su%");
    const QStringList names = exportFolder(h, QStringLiteral("Deep"), dir, 1);
    ASSERT_EQ(names.size(), 2);
    const QString target = dir + QStringLiteral("/Deep/");
    EXPECT_EQ((target + names.at(0)).size(), 252);
    EXPECT_EQ((target + names.at(1)).size(), 252);
    h.run(h.settings(1, false, 1, dir), {QStringLiteral("Deep")});
    const QStringList again = namesIn(target);
    ASSERT_EQ(again.size(), 4);
    for (const QString& name : again) {
        if (name.contains(QLatin1Char('['))) {
            EXPECT_EQ((target + name).size(), 255) << name.toStdString();
        }
    }
}

TEST(MsgExport, NamesFillTheByteLimitInEveryWidthAndAreNeverHiddenOrBroken)
{
    EngineHarness h(kStores);
    // One character each of 1, 2, 3 and 4 bytes in UTF-8; the 4-byte one
    // after "a" so that cutting at 100 UTF-16 units would split a pair.
    const QStringList subjects = {QString(300, 'a'), QString(300, QChar(0x00e9)),
                                  QString(150, QChar(0x65e5)),
                                  'a' + QString::fromUtf8("\xF0\x9F\x98\x80").repeated(80)};
    for (int i = 0; i < subjects.size(); ++i) {
        const QString folder = QStringLiteral("Width%1").arg(i + 1);
        h.stores.addMessage(0, folder, made(subjects.at(i), at(2012, 1, 1)));
        h.stores.addMessage(0, folder, made(subjects.at(i), at(2012, 1, 1)));
    }
    for (const QString& subject : {QString(), QStringLiteral(".profile"),
                                   QStringLiteral("bad ") + QChar::ReplacementCharacter})
        h.stores.addMessage(0, QStringLiteral("Odd"), made(subject, at(2012, 1, 1)));
    ASSERT_TRUE(h.stores.open());
    const TempDir disk;

    h.settingsReader.values[QStringLiteral("MSG/Pattern")] = QStringLiteral("%su%%su%%su%");
    for (int i = 0; i < subjects.size(); ++i) {
        const QString folder = QStringLiteral("Width%1").arg(i + 1);
        const QStringList names = exportFolder(h, folder, disk.path(), 0);
        EXPECT_EQ(h.runner.counters().FailedCount, 0) << folder.toStdString();
        ASSERT_EQ(names.size(), 2) << folder.toStdString();
        EXPECT_EQ(h.stores.messageFiles(0, folder).size(), 0);
        for (const QString& name : names) {
            const QByteArray bytes = QFile::encodeName(name);
            EXPECT_LE(bytes.size(), 255);
            if (i > 0) { // one-byte names meet the 252-character path limit first
                EXPECT_GE(bytes.size(), 240) << "the room is used: " << bytes.constData();
            }
            EXPECT_EQ(QString::fromUtf8(bytes), name);
            EXPECT_FALSE(name.contains(QChar::ReplacementCharacter)) << bytes.constData();
        }
    }

    h.settingsReader.values[QStringLiteral("MSG/Pattern")] = QStringLiteral("%su%");
    const QStringList odd = exportFolder(h, QStringLiteral("Odd"), disk.path(), 1);
    EXPECT_EQ(odd, (QStringList{QStringLiteral("_.msg"), QStringLiteral("_profile.msg"),
                                QStringLiteral("bad _.msg")}));
    // What a disk source lists is all that was written.
    for (int i = 0; i < subjects.size(); ++i) {
        const QString dir = disk.path() + QStringLiteral("/Width%1").arg(i + 1);
        EXPECT_EQ(engine::GetFileList(dir, QStringLiteral("*.msg")).size(), 2);
    }
    EXPECT_EQ(
        engine::GetFileList(disk.path() + QStringLiteral("/Odd"), QStringLiteral("*.msg")).size(),
        3);
}

TEST(MsgExport, LeftoversOfKilledWritersGoButLiveOnesStay)
{
    EngineHarness h(kStores);
    h.stores.addMessage(0, QStringLiteral("Inbox"), made(QStringLiteral("go"), at(2012, 1, 1)));
    ASSERT_TRUE(h.stores.open());
    const TempDir disk;
    const QString target = disk.path() + QStringLiteral("/Inbox/");
    QDir().mkpath(target);

    const pid_t gone = ::fork();
    if (gone == 0)
        ::_exit(0);
    ASSERT_GT(gone, 0);
    ::waitpid(gone, nullptr, 0);
    const QString own = QString::number(::getpid());
    auto touch = [&](const QString& name, qint64 ageSeconds) {
        QFile file(target + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(1000, 'x'));
        file.flush();
        file.setFileTime(QDateTime::currentDateTime().addSecs(-ageSeconds),
                         QFileDevice::FileModificationTime);
    };
    touch(QStringLiteral(".kestrel-%1-0badf00d.tmp").arg(gone), 0);
    touch(QStringLiteral(".kestrel-%1-00c0ffee.tmp").arg(own), 2 * 3600);
    touch(QStringLiteral(".kestrel-%1-0123abcd.tmp").arg(own), 0);
    touch(QStringLiteral(".kestrel-notes.tmp"), 2 * 3600);
    touch(QStringLiteral("20120101120000 go.msg.tmp"), 2 * 3600);

    exportFolder(h, QStringLiteral("Inbox"), disk.path(), 1);
    EXPECT_EQ(namesIn(target), (QStringList{QStringLiteral(".kestrel-%1-0123abcd.tmp").arg(own),
                                            QStringLiteral(".kestrel-notes.tmp"),
                                            QStringLiteral("20120101120000 go.msg"),
                                            QStringLiteral("20120101120000 go.msg.tmp")}));
}

TEST(MsgExport, MoveFailsAndSaysSoWhenTheSourceCannotBeRemoved)
{
    EngineHarness h(kStores);
    for (int i = 0; i < 3; ++i)
        h.stores.addMessage(0, QStringLiteral("Inbox"),
                            made(QStringLiteral("kept %1").arg(i), at(2012, 1, 1)));
    ASSERT_TRUE(h.stores.open());
    const ScopedMount frozen =
        ScopedMount::readOnly(h.stores.rootDir() + QStringLiteral("/store1"));
    if (!frozen.mounted())
        GTEST_SKIP() << "needs root for a read-only bind mount";
    const TempDir disk;

    EXPECT_EQ(exportFolder(h, QStringLiteral("Inbox"), disk.path(), 0).size(), 3)
        << "the written files stay";
    EXPECT_EQ(h.stores.messageFiles(0, QStringLiteral("Inbox")).size(), 3);
    EXPECT_EQ(h.runner.counters().ProcessedCount, 0);
    EXPECT_EQ(h.view.status, QStringLiteral("0 items moved. 3 items not be processed."));
}

TEST(MsgExport, MoveKeepsAMessageItsFileCannotHold)
{
    EngineHarness h(kStores);
    ASSERT_TRUE(h.stores.addFolder(0, QStringLiteral("Crowd")));
    QByteArray mime = "From: ann@sender.example\nSubject: crowd\nDate: Wed, 10 Jun 2020 09:30:00 "
                      "+0000\nMessage-ID: <crowd@engine.test>\nTo: ";
    for (int i = 0; i < platform::msg::limits::MaxRecipients + 1; ++i)
        mime += (i ? ",\n " : "") + QByteArray("r") + QByteArray::number(i) + "@x.example";
    mime += "\n\nbody\n";
    QFile file(h.stores.folderDir(0, QStringLiteral("Crowd")) +
               QStringLiteral("/cur/1591781400.crowd.host:2,S"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(mime);
    file.flush();
    ASSERT_TRUE(file.setFileTime(at(2020, 6, 10), QFileDevice::FileModificationTime));
    file.close();
    ASSERT_TRUE(h.stores.open());
    const TempDir disk;

    EXPECT_EQ(exportFolder(h, QStringLiteral("Crowd"), disk.path(), 0), QStringList{});
    EXPECT_EQ(h.view.status, QStringLiteral("0 items moved. 1 item not be processed."));
    EXPECT_EQ(h.stores.messageFiles(0, QStringLiteral("Crowd")).size(), 1);
}

TEST(MsgExport, MoveKeepsEachMessageWhoseFileIsLostBeforeItIsDurable)
{
    EngineHarness h(kStores);
    for (int i = 0; i < 40; ++i)
        h.stores.addMessage(0, QStringLiteral("Inbox"),
                            made(QStringLiteral("set %1").arg(i), at(2012, 1, 1)));
    ASSERT_TRUE(h.stores.open());
    const TempDir disk;
    const QString target = disk.path() + QStringLiteral("/Inbox");
    // Another program removes the files still waiting for their sync.
    int lost = 0;
    h.view.onYield = [&](int) {
        const QDir dir(target, QStringLiteral(".kestrel-*.tmp"), QDir::Unsorted,
                       QDir::Files | QDir::Hidden);
        for (const QString& name : lost ? QStringList() : dir.entryList())
            lost += QFile::remove(dir.filePath(name));
    };

    const QStringList names = exportFolder(h, QStringLiteral("Inbox"), disk.path(), 0);
    ASSERT_GT(lost, 0);
    EXPECT_EQ(names.size(), 40 - lost);
    EXPECT_EQ(h.stores.messageFiles(0, QStringLiteral("Inbox")).size(), lost);
    EXPECT_EQ(h.runner.counters().FailedCount, lost);
    EXPECT_EQ(h.runner.counters().ProcessedCount, 40 - lost);
    int failed = 0;
    for (const engine::ItemReport& row : h.view.reports) {
        if (row.outcome != engine::ReportOutcome::Failed)
            continue;
        ++failed;
        EXPECT_TRUE(row.reason.contains(QStringLiteral("rename"))) << row.reason.toStdString();
        EXPECT_TRUE(row.file.isEmpty());
    }
    EXPECT_EQ(failed, lost);
}
