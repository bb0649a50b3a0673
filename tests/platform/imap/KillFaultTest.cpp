// A process moving 2,000 messages between the server and a local store is
// killed with SIGKILL at random moments: every message stays on the server,
// in the local store, or both, with the same bytes.

#include "ImapStoreFixture.h"

#include <QCryptographicHash>
#include <QDir>
#include <QProcess>
#include <QRandomGenerator>

namespace kestrel::test {
namespace {

constexpr int kMessages = 2000;
constexpr int kKills = 20;

QString moverTool()
{
    return QStringLiteral(KESTREL_BINARY_DIR "/bin/kestrel-fault-mover");
}

QStringList messageFiles(const QString& maildir)
{
    QStringList files;
    for (const char* sub : {"/cur", "/new"}) {
        const QDir dir(maildir + QLatin1String(sub));
        for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System))
            files.append(dir.filePath(name));
    }
    return files;
}

// Messages by the hash of their bytes; the server serves CRLF line ends for
// the LF of its files, so both are read with LF.
QMap<QByteArray, int> contentHashes(const QStringList& maildirs)
{
    QMap<QByteArray, int> hashes;
    for (const QString& maildir : maildirs) {
        for (const QString& path : messageFiles(maildir)) {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const QByteArray content = file.readAll().replace("\r\n", "\n");
            ++hashes[QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex()];
        }
    }
    return hashes;
}

using ImapKillFault = ImapStoreTest;

TEST_F(ImapKillFault, KilledMovesBetweenServerAndLocalStoreLoseNothing)
{
    if (!QFile::exists(moverTool()))
        GTEST_SKIP() << "kestrel-fault-mover is not built";
    ASSERT_TRUE(startServer());
    QRandomGenerator random(20261207);
    QList<MessageSpec> mail;
    for (int i = 0; i < kMessages; ++i) {
        MessageSpec spec;
        spec.subject = QStringLiteral("Fault %1").arg(i);
        spec.flags = i % 3 ? QStringLiteral("S") : QString();
        spec.keywords = i % 7 ? QStringList() : QStringList{QStringLiteral("$NoArchive")};
        spec.body = QByteArray(int(random.bounded(200, 30000)), char('a' + i % 26)) + '\n';
        mail.append(spec);
    }
    ASSERT_TRUE(server.deliver(QStringLiteral("INBOX"), mail));
    ASSERT_TRUE(open({.withLocalStore = true}));
    close(); // the mover opens the same profile
    const QString localRoot = local.storePath(QStringLiteral("Local"));
    QStringList dirs = {server.mailRoot(), localRoot};
    const QMap<QByteArray, int> originals = contentHashes({server.mailRoot()});
    ASSERT_EQ(originals.size(), kMessages);

    QStringList from = {QStringLiteral("Server\\Inbox"), QStringLiteral("Local\\Inbox")};
    int kills = 0;
    int midRunKills = 0;
    int startDelay = 100; // grows while kills land before the mover has moved anything
    // On a loaded machine the mover may need longer to log on: kills go on
    // until enough of them landed in the middle of a run.
    while ((kills < kKills || midRunKills < 10) && kills < 4 * kKills) {
        const qint64 before = messageFiles(dirs.first()).size();
        if (before == 0) {
            from.swapItemsAt(0, 1);
            dirs.swapItemsAt(0, 1);
            continue;
        }
        QProcess mover;
        mover.start(moverTool(), {from.first(), from.last()});
        ASSERT_TRUE(mover.waitForStarted()) << mover.errorString().toStdString();
        if (!mover.waitForFinished(startDelay + int(random.bounded(0, 1400)))) {
            mover.kill(); // SIGKILL
            mover.waitForFinished();
            ++kills;
            const qint64 after = messageFiles(dirs.first()).size();
            midRunKills += after < before && after > 0;
            if (after == before)
                startDelay += 250;
        } else {
            ASSERT_NE(mover.exitCode(), 2) << mover.readAllStandardError().constData();
        }
    }
    QProcess finish;
    finish.start(moverTool(), {from.first(), from.last()});
    EXPECT_TRUE(finish.waitForFinished(600000));
    EXPECT_EQ(finish.exitCode(), 0) << finish.readAllStandardError().constData();

    const QMap<QByteArray, int> after = contentHashes({server.mailRoot(), localRoot});
    int lost = 0;
    for (auto it = originals.begin(); it != originals.end(); ++it)
        lost += after.value(it.key()) < 1;
    EXPECT_EQ(lost, 0);
    for (auto it = after.begin(); it != after.end(); ++it)
        EXPECT_TRUE(originals.contains(it.key())) << "damaged message " << it.key().constData();
    EXPECT_GE(midRunKills, 10);
    RecordProperty("midRunKills", midRunKills);
}

} // namespace
} // namespace kestrel::test
