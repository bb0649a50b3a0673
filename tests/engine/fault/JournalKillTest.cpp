// A real Move run killed with SIGKILL at random moments: each time its journal
// reads back up to where it was cut, and undo from it brings every message
// the journal names back to where it was, whole.

#include "EngineStores.h"
#include "engine/JournalReader.h"
#include "engine/Undo.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>

using namespace kestrel;
using namespace kestrel::test;

namespace {

constexpr int kMessages = 3000;
constexpr int kKills = 10;

QByteArray messageId(const QByteArray& bytes)
{
    for (const QByteArray& line : bytes.left(bytes.indexOf("\n\n")).split('\n')) {
        if (line.startsWith("Message-ID: "))
            return line.mid(12).trimmed();
    }
    return {};
}

// Message-ID -> hash of the bytes of every message file of both Inboxes.
QMultiHash<QByteArray, QByteArray> census(const EngineStores& stores)
{
    QMultiHash<QByteArray, QByteArray> found;
    for (int store : {0, 1}) {
        for (const QString& path : stores.messageFiles(store, QStringLiteral("Inbox"))) {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const QByteArray bytes = file.readAll();
            found.insert(messageId(bytes),
                         QCryptographicHash::hash(bytes, QCryptographicHash::Sha1));
        }
    }
    return found;
}

} // namespace

TEST(JournalKill, KilledRunsJournalIsReadableAndUndoRestoresEveryMessageItNames)
{
    EngineStores stores({QStringLiteral("Personal Folders"), QStringLiteral("Archive")});
    for (int i = 0; i < kMessages; ++i) {
        TestMessage m;
        m.subject = QStringLiteral("Kill message %1").arg(i);
        m.received = at(2015, 1, 1).addSecs(qint64(i) * 3571);
        m.unread = i % 5 == 0;
        stores.addMessage(0, QStringLiteral("Inbox"), m);
    }
    const QMultiHash<QByteArray, QByteArray> originals = census(stores);
    ASSERT_EQ(originals.size(), kMessages);

    QTemporaryDir state;
    const QString journals = state.path() + QStringLiteral("/kestrel-mailkeep/runs");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_STATE_HOME"), state.path());
    const QString child =
        QStringLiteral(KESTREL_BINARY_DIR) + QStringLiteral("/bin/kestrel-engine-fault-child");

    const quint32 seed = QRandomGenerator::global()->generate();
    std::printf("seed %u\n", seed);
    QRandomGenerator random(seed);
    quint32 longest = 2000; // shrinks to when the kills land mid-run
    int hits = 0;
    qint64 named = 0;
    for (int attempt = 0; attempt < kKills * 4 && hits < kKills; ++attempt) {
        QProcess process;
        process.setProcessEnvironment(environment);
        QElapsedTimer timer;
        timer.start();
        process.start(child, {stores.profilePath()});
        ASSERT_TRUE(process.waitForStarted());
        QThread::msleep(random.bounded(20u, std::max(longest, 21u)));
        const bool hit = process.state() == QProcess::Running;
        if (hit)
            process.kill(); // SIGKILL
        process.waitForFinished();
        if (!hit)
            longest = std::min<quint32>(longest, quint32(timer.elapsed()));
        // A kill before the run began leaves no journal and proves nothing.
        const std::optional<engine::RunEntry> last = engine::LastUndoableRun(journals);
        if (!last)
            continue;
        hits += hit;
        const engine::RunEntry& run = *last;
        engine::JournalReader reader;
        ASSERT_TRUE(reader.open(run.path)) << reader.lastError().toStdString();
        QStringList movedIds;
        while (const std::optional<engine::JournalAction> action = reader.next()) {
            if (action->outcome == engine::ReportOutcome::Moved)
                movedIds << action->sourceId;
        }
        EXPECT_EQ(reader.lastError(), QString());
        EXPECT_LE(reader.unreadableLines(), 1);
        EXPECT_TRUE(hit || reader.ended());

        ASSERT_TRUE(stores.open());
        engine::Undo undo(*stores.session());
        ASSERT_TRUE(undo.undoRun(run.path, journals)) << undo.lastError().toStdString();
        EXPECT_EQ(undo.counts().undone, movedIds.size());
        EXPECT_EQ(undo.counts().skipped, 0);
        EXPECT_EQ(undo.counts().failed, 0);
        // Back where it was: each message under the identifier it had.
        for (const QString& id : movedIds)
            EXPECT_TRUE(stores.session()->getMessageFromId(id)) << id.toStdString();
        named += movedIds.size();
        // Kills that land after the last move prove little: aim earlier.
        if (movedIds.size() > kMessages * 9 / 10)
            longest = longest * 2 / 3;
        std::printf("kill %d: %lld moves in the journal\n", hits,
                    static_cast<long long>(movedIds.size()));

        // And nothing lost or damaged, whatever the journal did not reach.
        const QMultiHash<QByteArray, QByteArray> now = census(stores);
        for (auto it = originals.cbegin(); it != originals.cend(); ++it)
            ASSERT_TRUE(now.contains(it.key(), it.value())) << it.key().toStdString();
    }
    EXPECT_GE(hits, kKills);
    EXPECT_GT(named, 0);
    std::printf("%d kills, %lld moves named by their journals and undone\n", hits,
                static_cast<long long>(named));
}
