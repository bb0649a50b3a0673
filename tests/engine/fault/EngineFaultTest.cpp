// A real Move run of 5,000 messages, killed with SIGKILL at random moments:
// afterwards every message exists at least once, in a store or as a readable
// .msg file, and none is damaged.

#include "ChildKiller.h"
#include "EngineStores.h"
#include "engine/PendingExports.h"
#include "platform/MsgCodec.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QHash>

#include <gtest/gtest.h>

#include <functional>

using namespace kestrel;
using namespace kestrel::test;

namespace {

constexpr int kMessages = 5000;
constexpr int kKills = 12;

QByteArray headerValue(const QByteArray& mime, const QByteArray& name)
{
    for (const QByteArray& line : mime.left(mime.indexOf("\n\n")).split('\n')) {
        if (line.startsWith(name + ": "))
            return line.mid(name.size() + 2).trimmed();
    }
    return {};
}

QByteArray hashOf(const QByteArray& bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha1);
}

struct Original {
    QByteArray hash;
    QByteArray subject;
};

class Census {
public:
    explicit Census(const QHash<QByteArray, Original>& originals) : m_originals(originals) {}

    // A store file must be byte for byte the original.
    void storeFile(const QString& path)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        const QByteArray bytes = file.readAll();
        const QByteArray id = headerValue(bytes, "Message-ID");
        ASSERT_TRUE(m_originals.contains(id)) << path.toStdString();
        EXPECT_EQ(hashOf(bytes), m_originals.value(id).hash) << "damaged: " << path.toStdString();
        ++m_seen[id];
    }

    // A .msg file must read back and carry the original's identity and subject.
    void msgFile(const QString& path)
    {
        platform::PlatformError error;
        const std::optional<platform::msg::MsgEnvelope> read =
            platform::msg::readMsgFile(path, &error);
        ASSERT_TRUE(read) << path.toStdString() << ": " << error.text.toStdString();
        QByteArray mime = read->mime;
        mime.replace("\r\n", "\n");
        const QByteArray id = headerValue(mime, "Message-ID");
        ASSERT_TRUE(m_originals.contains(id)) << path.toStdString();
        EXPECT_EQ(headerValue(mime, "Subject"), m_originals.value(id).subject)
            << path.toStdString();
        ++m_seen[id];
    }

    int missing() const
    {
        int count = 0;
        for (auto it = m_originals.cbegin(); it != m_originals.cend(); ++it)
            count += m_seen.value(it.key()) == 0;
        return count;
    }
    int duplicates() const
    {
        int count = 0;
        for (int n : m_seen)
            count += n > 1;
        return count;
    }

private:
    const QHash<QByteArray, Original>& m_originals;
    QHash<QByteArray, int> m_seen;
};

class EngineFault : public ::testing::Test {
protected:
    void SetUp() override
    {
        stores = std::make_unique<EngineStores>(
            QStringList{QStringLiteral("Personal Folders"), QStringLiteral("Archive")});
        for (int i = 0; i < kMessages; ++i) {
            TestMessage m;
            m.subject = QStringLiteral("Fault message %1").arg(i);
            m.received = at(2015, 1, 1).addSecs(qint64(i) * 3571);
            m.unread = i % 7 == 0;
            stores->addMessage(0, QStringLiteral("Inbox"), m);
        }
        for (const QString& path : stores->messageFiles(0, QStringLiteral("Inbox"))) {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            const QByteArray bytes = file.readAll();
            originals.insert(headerValue(bytes, "Message-ID"),
                             {hashOf(bytes), headerValue(bytes, "Subject")});
        }
        ASSERT_EQ(originals.size(), kMessages);
    }

    int killRepeatedly(const QStringList& childArgs, const std::function<qint64()>& done,
                       double scale = 1.0)
    {
        return test::killRepeatedly(childArgs, {kMessages, kKills, scale}, random, done);
    }

    QRandomGenerator random{faultSeed()};
    std::unique_ptr<EngineStores> stores;
    QHash<QByteArray, Original> originals;
};

} // namespace

TEST_F(EngineFault, MoveToAnotherStoreKilledAtRandomMomentsLosesNothing)
{
    // A quiet machine can rename every message before the first kill lands:
    // then the round proves nothing, and a fresh one runs with shorter waits.
    qsizetype moved = 0;
    for (double scale : {1.0, 0.4, 0.15}) {
        EXPECT_GE(killRepeatedly(
                      {stores->profilePath()},
                      [&] { return stores->messageFiles(1, QStringLiteral("Inbox")).size(); },
                      scale),
                  10);
        Census census(originals);
        for (int store : {0, 1}) {
            for (const QString& path : stores->messageFiles(store, QStringLiteral("Inbox")))
                census.storeFile(path);
        }
        EXPECT_EQ(census.missing(), 0);
        moved = stores->messageFiles(1, QStringLiteral("Inbox")).size();
        std::printf("store to store: %lld of %d moved, %d messages in both stores after a kill\n",
                    static_cast<long long>(moved), kMessages, census.duplicates());
        if (moved < kMessages)
            break;
        originals.clear();
        SetUp();
    }
    EXPECT_GT(moved, 0);
    EXPECT_LT(moved, kMessages) << "the kills should land before the end";
}

TEST_F(EngineFault, MoveToDiskKilledAtRandomMomentsLosesNothing)
{
    const QString disk = stores->rootDir() + QStringLiteral("/export");
    ASSERT_TRUE(QDir().mkpath(disk));
    const QDir exported(disk + QStringLiteral("/Inbox"));
    EXPECT_GE(
        killRepeatedly(
            {stores->profilePath(), disk},
            [&] { return exported.entryList({QStringLiteral("*.msg")}, QDir::Files).size(); }),
        10);
    Census census(originals);
    for (const QString& path : stores->messageFiles(0, QStringLiteral("Inbox")))
        census.storeFile(path);
    const QStringList msgs = exported.entryList({QStringLiteral("*.msg")}, QDir::Files);
    for (const QString& name : msgs)
        census.msgFile(exported.filePath(name));
    EXPECT_EQ(census.missing(), 0);
    EXPECT_GT(msgs.size(), 0);
    // Each run clears what the killed runs before it left: only the last
    // kill's temporary files, of one set waiting for its sync, may remain.
    const qsizetype litter =
        exported.entryList({QStringLiteral(".*.tmp")}, QDir::Files | QDir::Hidden).size();
    EXPECT_LE(litter, qsizetype(engine::PendingExports::kLargestSet) + 1);
    std::printf("store to disk: %lld .msg files, %d messages in both places, %lld temporary "
                "files left by kills\n",
                static_cast<long long>(msgs.size()), census.duplicates(),
                static_cast<long long>(litter));
}
