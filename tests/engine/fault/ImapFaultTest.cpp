// A Move of 4,000 messages from a real Dovecot to a local Maildir store, in a
// child process killed with SIGKILL at random moments: after each kill every
// message is on the server, in the local store or in both, byte for byte as it
// was; a last run to the end moves what was left, each message once.

#include "ChildKiller.h"
#include "ImapTestServer.h"
#include "TempMaildir.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

using namespace kestrel::test;

namespace {

// Enough that a whole run outlasts the growing waits before the first kills.
constexpr int kMessages = 4000;
constexpr int kKills = 20;

QByteArray messageId(const QByteArray& bytes)
{
    const qsizetype at = bytes.indexOf("\nMessage-ID: ");
    return at < 0 ? QByteArray()
                  : bytes.mid(at + 13, bytes.indexOf('\n', at + 1) - at - 13).trimmed();
}

// Dovecot keeps LF line ends on disk and serves CRLF; a store may keep either.
QByteArray hashOf(QByteArray bytes)
{
    bytes.replace("\r\n", "\n");
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

bool seenIn(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    const qsizetype info = name.lastIndexOf(QStringLiteral(":2,"));
    return info >= 0 && name.mid(info + 3).contains(QLatin1Char('S'));
}

QStringList maildirFiles(const QString& dir)
{
    QStringList files;
    for (const char* sub : {"/cur", "/new"}) {
        const QDir d(dir + QLatin1String(sub));
        for (const QString& name : d.entryList(QDir::Files))
            files.append(d.filePath(name));
    }
    return files;
}

// Messages of varied sizes and kinds, some unread, each with its own Message-ID.
QList<MessageSpec> messages()
{
    QList<MessageSpec> list;
    const QDateTime first(QDate(2016, 3, 1), QTime(9, 0));
    for (int i = 0; i < kMessages; ++i) {
        const QDateTime when = first.addSecs(qint64(i) * 2711);
        QByteArray body = "Line " + QByteArray::number(i) + " of a message kept whole.\n";
        body = body.repeated(1 + (i * 37) % 300);
        QByteArray raw = "From: Ann Sender <ann@sender.example>\nTo: demo.user@example.com\n"
                         "Subject: Kill test " +
                         QByteArray::number(i) +
                         " \xc3\xa9t\xc3\xa9\nDate: " + when.toString(Qt::RFC2822Date).toLatin1() +
                         "\nMessage-ID: <kill." + QByteArray::number(i) +
                         "@test.example>\nMIME-Version: 1.0\n";
        if (i % 5 == 0) {
            const QByteArray part = QCryptographicHash::hash(body, QCryptographicHash::Sha512)
                                        .repeated(40 + i % 200)
                                        .toBase64();
            raw += "Content-Type: multipart/mixed; boundary=\"b" + QByteArray::number(i) +
                   "\"\n\n--b" + QByteArray::number(i) +
                   "\nContent-Type: text/plain; charset=utf-8\n\n" + body + "--b" +
                   QByteArray::number(i) +
                   "\nContent-Type: application/octet-stream; name=\"data.bin\"\n"
                   "Content-Transfer-Encoding: base64\n\n";
            for (qsizetype at = 0; at < part.size(); at += 76)
                raw += part.mid(at, 76) + '\n';
            raw += "--b" + QByteArray::number(i) + "--\n";
        } else {
            raw += "Content-Type: text/plain; charset=utf-8\n\n" + body;
        }
        MessageSpec spec;
        spec.raw = raw;
        spec.received = when;
        spec.flags = i % 7 == 0 ? QString() : QStringLiteral("S");
        list.append(spec);
    }
    return list;
}

struct Original {
    QByteArray hash;
    bool seen = false;
};

class ImapFault : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (ImapTestServer::executable().isEmpty())
            GTEST_SKIP() << "dovecot is not installed";
        ASSERT_TRUE(server.start()) << server.lastError().toStdString();
        ASSERT_TRUE(server.deliver(QStringLiteral("INBOX"), messages()))
            << server.lastError().toStdString();
        for (const QString& path : maildirFiles(server.mailRoot())) {
            const QByteArray bytes = read(path);
            originals.insert(messageId(bytes), {hashOf(bytes), seenIn(path)});
        }
        ASSERT_EQ(originals.size(), kMessages);

        archiveDir = local.addStore(QStringLiteral("Archive"));
        profile = local.root() + QStringLiteral("/profile.ini");
        QFile file(profile);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(
            QStringLiteral("[Profile]\nUserName=Demo User\nUserAddress=demo.user@example.com\n"
                           "DefaultStore=Server\n"
                           "[Store1]\nName=Server\nType=imap\nHost=%1\nPort=%2\n"
                           "Security=none\nUser=%3\nPasswordCommand=echo '%4'\n"
                           "[Store2]\nName=Archive\nPath=%5\n")
                .arg(server.host())
                .arg(server.port())
                .arg(server.user(), server.password(), archiveDir)
                .toUtf8());
    }

    static QByteArray read(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // The server's imap process goes on with the command it was given after
    // the client died: the census waits until it has ended, so as to see the
    // server as the next run will.
    bool waitUntilServerIdle() const
    {
        const QString run = QFileInfo(server.configPath()).dir().filePath(QStringLiteral("run"));
        const QByteArray master = read(run + QStringLiteral("/master.pid")).trimmed();
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 20000) {
            bool busy = false;
            for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
                // "PID (comm) state PPID ..."
                const QByteArray stat = read(QStringLiteral("/proc/%1/stat").arg(pid));
                const qsizetype close = stat.lastIndexOf(')');
                const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
                busy = busy || (close > 0 && fields.size() > 1 && fields[1] == master &&
                                stat.contains("(imap)"));
            }
            if (!busy)
                return true;
            QThread::msleep(20);
        }
        return false;
    }

    QStringList serverFiles() const { return maildirFiles(server.mailRoot()); }
    QStringList archiveFiles() const { return maildirFiles(archiveDir); }

    // Copies of each message in the archive store; fails the test on a message
    // that is nowhere, altered, or read where it was unread.
    QHash<QByteArray, int> census(QSet<QByteArray>* onServer)
    {
        QHash<QByteArray, int> archived;
        auto check = [&](const QString& path) -> QByteArray {
            const QByteArray bytes = read(path);
            const QByteArray id = messageId(bytes);
            const auto original = originals.constFind(id);
            if (original == originals.cend()) {
                ADD_FAILURE() << "a message of no one's: " << path.toStdString();
                return {};
            }
            EXPECT_EQ(hashOf(bytes), original->hash) << "altered: " << path.toStdString();
            EXPECT_EQ(seenIn(path), original->seen) << "read state changed: " << path.toStdString();
            return id;
        };
        for (const QString& path : serverFiles())
            onServer->insert(check(path));
        for (const QString& path : archiveFiles())
            ++archived[check(path)];
        int missing = 0;
        for (auto it = originals.cbegin(); it != originals.cend(); ++it)
            missing += !onServer->contains(it.key()) && !archived.contains(it.key());
        EXPECT_EQ(missing, 0) << "messages lost after a kill";
        return archived;
    }

    ImapTestServer server;
    TempMaildir local;
    QString archiveDir;
    QString profile;
    QHash<QByteArray, Original> originals;
};

} // namespace

TEST_F(ImapFault, MoveFromServerKilledAtRandomMomentsLosesNothing)
{
    QRandomGenerator random(faultSeed());
    QSet<QByteArray> onServer;
    QHash<QByteArray, int> archived;
    int kills = 0;
    int doubles = 0;
    // Progress is what left the server: a run copies a set before it removes
    // any of it, and the kills are to reach the removals too.
    const int hits = killRepeatedly(
        {profile}, {kMessages, kKills, 1.0, 10000}, random,
        [&] { return kMessages - serverFiles().size(); },
        [&] {
            ++kills;
            EXPECT_TRUE(waitUntilServerIdle()) << "the server's imap process did not end";
            onServer.clear();
            archived = census(&onServer);
            for (auto it = archived.cbegin(); it != archived.cend(); ++it)
                doubles += onServer.contains(it.key()) || it.value() > 1;
        });
    ASSERT_GE(hits, kKills);
    std::printf("%d kills; after the last, %lld on the server, %lld in the archive; "
                "%d times a message was in two places\n",
                kills, static_cast<long long>(onServer.size()),
                static_cast<long long>(archiveFiles().size()), doubles);
    ASSERT_GT(onServer.size(), 0) << "the kills should land before the end";
    ASSERT_FALSE(HasFailure());

    QProcess last;
    QElapsedTimer timer;
    timer.start();
    last.start(faultChild(), {profile});
    ASSERT_TRUE(last.waitForFinished(120000));
    const qint64 lastMsecs = timer.elapsed();
    ASSERT_EQ(last.exitCode(), 0) << last.readAllStandardError().toStdString();
    const QString status = QString::fromUtf8(last.readAllStandardOutput()).trimmed();
    std::printf("the last run: %s (%.1f s)\n", qPrintable(status), double(lastMsecs) / 1000);
    EXPECT_TRUE(status.startsWith(QStringLiteral("%1 items moved.").arg(onServer.size())))
        << status.toStdString();
    EXPECT_FALSE(status.contains(QStringLiteral("not be processed"))) << status.toStdString();

    QSet<QByteArray> left;
    const QHash<QByteArray, int> finalArchive = census(&left);
    EXPECT_TRUE(left.isEmpty()) << left.size() << " messages stayed on the server";
    EXPECT_EQ(server.messageCount(QStringLiteral("INBOX")), 0);
    int wrong = 0;
    for (auto it = originals.cbegin(); it != originals.cend(); ++it)
        wrong += finalArchive.value(it.key()) !=
                 archived.value(it.key()) + (onServer.contains(it.key()) ? 1 : 0);
    EXPECT_EQ(wrong, 0) << "the last run did not move each message left exactly once";
}
