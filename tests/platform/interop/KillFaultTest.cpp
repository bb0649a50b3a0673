// A process moving 2,000 messages between two stores is killed with SIGKILL at
// random moments; no message may be lost or damaged.

#include "MaildirInspector.h"
#include "support/ForeignBackend.h"
#include "support/TempDir.h"
#include "support/TempMaildir.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using kestrel::test::MaildirInspector;
using kestrel::test::TempMaildir;

namespace {

constexpr int kMessages = 2000;
constexpr int kKills = 24;
constexpr int kMidRunKills = 10;
// On a loaded machine many kills land before the mover has begun: go on
// until enough have hit a run in the middle, within a bound.
constexpr int kMaxKills = 120;

QString moverTool()
{
    return QStringLiteral(KESTREL_BINARY_DIR "/bin/kestrel-fault-mover");
}

qint64 fileCount(const QString& folderDir)
{
    return MaildirInspector::messageFiles(folderDir).size();
}

dev_t deviceOf(const QString& path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_dev : 0;
}

struct KillRun {
    int kills = 0;
    int midRunKills = 0; // killed after some messages had moved and before all had
    int duplicates = 0;
};

// Fills store "Source" with distinct messages, then starts the mover again and
// again and kills it after a random delay; when a side runs empty the
// direction turns. A last run finishes undisturbed.
KillRun killRepeatedly(TempMaildir& maildir, quint32 seed, const QString& targetType = {})
{
    QRandomGenerator random(seed);
    for (int i = 0; i < kMessages; ++i) {
        kestrel::test::MessageSpec spec;
        spec.store = "Source";
        spec.subject = QStringLiteral("Fault %1").arg(i);
        spec.flags = i % 3 ? QStringLiteral("S") : QString();
        spec.keywords = i % 7 ? QStringList() : QStringList{"$NoArchive"};
        spec.body = QByteArray(int(random.bounded(200, 30000)), char('a' + i % 26)) + '\n';
        maildir.addMessage(spec);
    }
    maildir.folderDir("Inbox", "Target");
    const QString profile = maildir.writeProfile();
    if (!targetType.isEmpty())
        QSettings(profile, QSettings::IniFormat).setValue("Store2/Type", targetType);
    const QMap<QByteArray, int> originals =
        MaildirInspector::contentHashes({maildir.storePath("Source")});
    EXPECT_EQ(originals.size(), kMessages);

    KillRun run;
    QStringList from = {"Source\\Inbox", "Target\\Inbox"};
    QStringList dirs = {maildir.storePath("Source"), maildir.storePath("Target")};
    while ((run.kills < kKills || run.midRunKills < kMidRunKills) && run.kills < kMaxKills) {
        const qint64 before = fileCount(dirs.first());
        if (before == 0) {
            from.swapItemsAt(0, 1);
            dirs.swapItemsAt(0, 1);
            continue;
        }
        QProcess mover;
        mover.start(moverTool(), {from.first(), from.last()});
        EXPECT_TRUE(mover.waitForStarted()) << mover.errorString().toStdString();
        if (!mover.waitForFinished(int(random.bounded(5, 400)))) {
            mover.kill(); // SIGKILL
            mover.waitForFinished();
            ++run.kills;
            const qint64 after = fileCount(dirs.first());
            run.midRunKills += after < before && after > 0;
        }
    }
    QProcess finish;
    finish.start(moverTool(), {from.first(), from.last()});
    EXPECT_TRUE(finish.waitForFinished(600000));
    EXPECT_EQ(finish.exitCode(), 0) << finish.readAllStandardError().constData();
    EXPECT_EQ(fileCount(dirs.first()), 0);

    const QMap<QByteArray, int> after = MaildirInspector::contentHashes(dirs);
    for (auto it = originals.begin(); it != originals.end(); ++it)
        EXPECT_GE(after.value(it.key()), 1) << "lost message " << it.key().constData();
    for (auto it = after.begin(); it != after.end(); ++it) {
        EXPECT_TRUE(originals.contains(it.key())) << "damaged file " << it.key().constData();
        run.duplicates += it.value() - 1;
    }
    return run;
}

} // namespace

TEST(KillFault, KilledMovesWithinOneFileSystemLoseNothing)
{
    TempMaildir maildir;
    maildir.addStore("Source");
    maildir.addStore("Target");
    const KillRun run = killRepeatedly(maildir, 20261207);
    EXPECT_GE(run.kills, 20);
    EXPECT_GE(run.midRunKills, kMidRunKills);
    EXPECT_EQ(run.duplicates, 0); // a rename is atomic
    RecordProperty("midRunKills", run.midRunKills);
}

TEST(KillFault, KilledMovesBetweenBackendsLoseNothing)
{
    // Appended durably to the other store, then removed from this one.
    TempMaildir maildir;
    maildir.addStore("Source");
    maildir.addStore("Target");
    const KillRun run = killRepeatedly(maildir, 1313, QLatin1String(kestrel::test::kForeignType));
    EXPECT_GE(run.kills, 20);
    EXPECT_GE(run.midRunKills, kMidRunKills);
    RecordProperty("midRunKills", run.midRunKills);
    RecordProperty("duplicates", run.duplicates);
}

TEST(KillFault, KilledMovesAcrossFileSystemsLoseNothing)
{
    // Copy, fsync, rename, then unlink: a kill may leave both, never neither.
    QTemporaryDir other(QStringLiteral("/dev/shm/kestrel-fault-XXXXXX"));
    if (!other.isValid() || deviceOf(other.path()) == deviceOf(QDir::tempPath()))
        GTEST_SKIP() << "no second file system (/dev/shm) beside "
                     << QDir::tempPath().toStdString();
    TempMaildir maildir;
    maildir.addStore("Source");
    maildir.addStore("Target", other.filePath("target"));
    const KillRun run = killRepeatedly(maildir, 7);
    EXPECT_GE(run.kills, 20);
    EXPECT_GE(run.midRunKills, kMidRunKills);
    RecordProperty("midRunKills", run.midRunKills);
    RecordProperty("duplicates", run.duplicates);
}
