// Stores built to attack the backend: links out of the store, special files,
// names that are no UTF-8 or that repeat, sources that cannot be removed.

#include "OpenProfile.h"
#include "folders/mdlMAPI.h"
#include "support/TempMaildir.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QUrl>

#include <gtest/gtest.h>

#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace kestrel;
using platform::ErrorKind;

namespace {

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

void link(const QString& target, const QString& at)
{
    ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(at).constData()),
              0)
        << at.toStdString();
}

void fifo(const QString& at)
{
    ASSERT_EQ(::mkfifo(QFile::encodeName(at).constData(), 0600), 0) << at.toStdString();
}

QStringList entriesOf(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
}

const QByteArray kSecret = "root:x:0:0:outside the store\n";

// A store whose Inbox holds one good message beside links and special files,
// with a folder that is a link and one whose cur/ is, all leading to
// "outside", which holds a message of its own.
struct HostileStore : ::testing::Test {
    test::TempMaildir maildir;
    QString outside;
    QString inboxCur;
    QString goodPath;

    std::unique_ptr<platform::MailItem> goodItem(platform::ItemCollection& items)
    {
        for (qint64 i = 1; i <= items.count().value_or(0); ++i) {
            if (auto item = items.item(i))
                return item;
        }
        return nullptr;
    }

    void SetUp() override
    {
        maildir.addStore("Personal Folders");
        maildir.addStore("Archive");
        outside = maildir.root() + "/outside";
        for (const char* sub : {"/cur", "/new", "/tmp", "/elsewhere"})
            QDir().mkpath(outside + sub);
        QFile secret(outside + "/cur/secret:2,S");
        ASSERT_TRUE(secret.open(QIODevice::WriteOnly));
        secret.write(kSecret);
        secret.close();
        fifo(outside + "/fifo");

        goodPath = maildir.addMessage({.subject = "good"});
        inboxCur = maildir.folderDir("Inbox") + "/cur/";
        link(outside + "/cur/secret:2,S", inboxCur + "1.link:2,S");
        link(outside + "/fifo", inboxCur + "2.fifo-link:2,S");
        link("/dev/zero", inboxCur + "3.zero:2,S");
        fifo(inboxCur + "4.fifo:2,S");

        link(outside, maildir.storePath() + "/.Linked");
        QDir().mkpath(maildir.storePath() + "/.CurLinked/new");
        link(outside + "/cur", maildir.storePath() + "/.CurLinked/cur");
        maildir.writeProfile();
    }

    void expectOutsideUntouched()
    {
        EXPECT_EQ(contentOf(outside + "/cur/secret:2,S"), kSecret);
        EXPECT_EQ(entriesOf(outside + "/cur"), QStringList{"secret:2,S"});
        EXPECT_TRUE(entriesOf(outside + "/new").isEmpty());
        EXPECT_TRUE(entriesOf(outside + "/tmp").isEmpty());
    }
};

// Makes directories read-only for the scope; as root, whom modes do not
// stop, the process also acts as nobody meanwhile.
class ReadOnly {
public:
    explicit ReadOnly(QStringList dirs) : m_dirs(std::move(dirs))
    {
        for (const QString& dir : m_dirs)
            ::chmod(QFile::encodeName(dir).constData(), 0555);
        if (::geteuid() == 0)
            m_asNobody = ::setegid(65534) == 0 && ::seteuid(65534) == 0;
    }
    ~ReadOnly()
    {
        if (m_asNobody) {
            [[maybe_unused]] const int back = ::seteuid(0) + ::setegid(0);
        }
        for (const QString& dir : m_dirs)
            ::chmod(QFile::encodeName(dir).constData(), 0755);
    }
    bool active() const { return ::geteuid() != 0; }

private:
    QStringList m_dirs;
    bool m_asNobody = false;
};

// Removes a tree whose names Qt cannot spell (bytes that are no UTF-8).
void removeTree(const QString& dir)
{
    ::nftw(
        QFile::encodeName(dir).constData(),
        [](const char* path, const struct stat*, int, struct FTW*) { return ::remove(path); }, 16,
        FTW_DEPTH | FTW_PHYS);
}

// Lets nobody reach and (with write) change the tree below dir.
void openUp(const QString& dir, bool write)
{
    for (QString at = dir; at.size() > 1 && at != QDir::tempPath() && at != "/dev/shm";
         at = QFileInfo(at).path())
        ::chmod(QFile::encodeName(at).constData(), write && at == dir ? 0777 : 0755);
    if (!write)
        return;
    QDirIterator walk(dir, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                      QDirIterator::Subdirectories);
    while (walk.hasNext())
        ::chmod(QFile::encodeName(walk.next()).constData(), 0777);
}

} // namespace

TEST_F(HostileStore, LinksAndSpecialFilesAreListedButRefusedWithoutBlocking)
{
    test::OpenProfile open;
    auto items = open.folder("Personal Folders\\Inbox")->items();
    ASSERT_EQ(items->count(), 5);
    // Dating by the Date header must not open a FIFO or read /dev/zero; what
    // cannot be dated stays in, to be counted as it fails.
    auto matching = items->restrict("[SentOn] >= \"January 01, 1970 12:00 AM\"");
    ASSERT_TRUE(matching);
    EXPECT_EQ(matching->count(), 5);

    auto archive = open.folder("Archive\\Inbox");
    int refused = 0;
    for (qint64 i = 1; i <= 5; ++i) {
        auto item = matching->item(i);
        if (!item) {
            ++refused;
            EXPECT_EQ(matching->lastError().kind, ErrorKind::Invalid);
            EXPECT_FALSE(matching->lastError().text.isEmpty());
            continue;
        }
        EXPECT_EQ(item->subject(), "good");
        ASSERT_TRUE(item->move(*archive));
    }
    EXPECT_EQ(refused, 4);
    EXPECT_EQ(maildir.messageFiles("Inbox", "Archive").size(), 1);

    // Reached by identifier too, the links stay refused.
    EXPECT_EQ(open.session->getMessageFromId(
                  "kmk:msg:" + QUrl::toPercentEncoding(maildir.storePath(), "/") + ":.:1.link"),
              nullptr);
    expectOutsideUntouched();
}

TEST_F(HostileStore, AFileSwappedForAFifoAfterTheListingIsNotOpened)
{
    test::OpenProfile open;
    auto items = open.folder("Personal Folders\\Inbox")->items();
    auto item = goodItem(*items);
    ASSERT_TRUE(item);
    const QString path = goodPath;
    ASSERT_TRUE(QFile::remove(path));
    fifo(path);
    EXPECT_FALSE(item->subject());
    EXPECT_EQ(item->lastError().kind, ErrorKind::Invalid);
    EXPECT_FALSE(item->saveAs(maildir.root() + "/out.msg", platform::kMsgFormat));
    EXPECT_FALSE(QFile::exists(maildir.root() + "/out.msg"));
}

TEST_F(HostileStore, LinkedFoldersFailWithTheirReasonAndAreNeverWrittenThrough)
{
    test::OpenProfile open;
    for (const char* path : {"Personal Folders\\Linked", "Personal Folders\\CurLinked"}) {
        auto folder = open.folder(path);
        ASSERT_TRUE(folder) << path;
        auto items = folder->items();
        EXPECT_FALSE(items->count()) << path;
        EXPECT_EQ(items->lastError().kind, ErrorKind::Invalid);
        EXPECT_TRUE(items->lastError().text.contains("symbolic link")) << path;
        EXPECT_FALSE(items->restrict("[SentOn] >= \"January 01, 1970 12:00 AM\""));
    }

    auto good = goodItem(*open.folder("Personal Folders\\Inbox")->items());
    ASSERT_TRUE(good);
    EXPECT_FALSE(good->move(*open.folder("Personal Folders\\Linked")));
    EXPECT_FALSE(good->copyTo(*open.folder("Personal Folders\\CurLinked")));
    EXPECT_EQ(good->lastError().kind, ErrorKind::Invalid);
    auto linked = open.folder("Personal Folders\\Linked");
    auto added = linked->folders()->add("Sub"); // ".Linked.Sub" is a directory of the store
    ASSERT_TRUE(added);
    expectOutsideUntouched();
    EXPECT_TRUE(QFileInfo::exists(goodPath));
}

// Folder names that escapes could confuse, names spelled on disk by other
// tools, and bytes that are no UTF-8: every folder is listed once under a name
// of its own that resolves back to it, and every message can be acted on.
TEST(MaildirNames, EveryFolderAndMessageIsReachableUnderANameOfItsOwn)
{
    test::TempMaildir maildir;
    maildir.addStore("Personal Folders");
    maildir.addStore("Archive");
    const QByteArray store = QFile::encodeName(maildir.storePath()) + '/';
    maildir.writeProfile();
    {
        test::OpenProfile open;
        auto top = open.folder("Personal Folders")->folders();
        for (const char* name : {"%2F", "/", "a\\b", "50%", "%5C", "x%25y"})
            ASSERT_TRUE(top->add(QString::fromUtf8(name))) << name;
        EXPECT_FALSE(top->add(".."));
        EXPECT_FALSE(top->add("."));
    }
    // As other tools write them: Dovecot's ".." and ".", a literal "%", a
    // lower-case escape, broken modified UTF-7, raw UTF-8 and bytes that are no UTF-8.
    const QList<QByteArray> foreign = {".%2E%2E", ".%2E",         ".50%",      ".a%2fb",
                                       ".bad&AB", ".caf\xc3\xa9", ".\xff\xfe", ".A..B"};
    for (const QByteArray& dir : foreign) {
        for (const char* sub : {"", "/cur", "/new", "/tmp"})
            ASSERT_EQ(::mkdir((store + dir + sub).constData(), 0700), 0);
        const QByteArray file = store + dir + "/cur/1.M1P1Q1.h:2,S";
        FILE* out = ::fopen(file.constData(), "w");
        ASSERT_TRUE(out);
        ::fputs("Subject: in a foreign folder\n\nbody\n", out);
        ::fclose(out);
    }
    const QByteArray rawMessage =
        QFile::encodeName(maildir.folderDir("Inbox")) + "/cur/2.M1P1Q2.caf\xe9\xff:2,S";
    FILE* out = ::fopen(rawMessage.constData(), "w");
    ASSERT_TRUE(out);
    ::fputs("Subject: raw name\n\nbody\n", out);
    ::fclose(out);

    test::OpenProfile open;
    // Walk the whole tree; resolve each folder's path through the path routines.
    QSet<QString> paths;
    QSet<QString> ids;
    int messages = 0;
    std::vector<std::unique_ptr<platform::Folder>> pending;
    pending.push_back(open.folder("Personal Folders"));
    while (!pending.empty()) {
        std::unique_ptr<platform::Folder> folder = std::move(pending.back());
        pending.pop_back();
        auto children = folder->folders();
        QSet<QString> siblings;
        for (int i = 1; i <= children->count().value_or(0); ++i) {
            auto child = children->item(i);
            const QString name = child->name().value();
            EXPECT_TRUE(name != "." && name != ".." && !name.isEmpty()) << name.toStdString();
            EXPECT_FALSE(name.contains(QChar(0xFFFD))) << name.toStdString();
            EXPECT_FALSE(siblings.contains(name)) << name.toStdString();
            siblings.insert(name);
            const QString path = child->folderPath().value();
            EXPECT_FALSE(paths.contains(path)) << path.toStdString();
            paths.insert(path);
            ids.insert(child->entryId().value());
            auto resolved = folders::GetFolderFromPath(*open.ns, path);
            ASSERT_TRUE(resolved) << path.toStdString();
            EXPECT_EQ(resolved->entryId(), child->entryId()) << path.toStdString();
            messages += int(child->items()->count().value_or(-100));
            pending.push_back(std::move(child));
        }
    }
    // Inbox, 6 made here, 7 foreign and ".A..B": "A", its unnamed child and "B".
    EXPECT_EQ(paths.size(), 1 + 6 + 7 + 3);
    EXPECT_EQ(ids.size(), paths.size());
    EXPECT_EQ(messages, 8 + 1);
    EXPECT_TRUE(paths.contains("\\\\Personal Folders\\%252F"));
    EXPECT_TRUE(paths.contains("\\\\Personal Folders\\%2F"));
    EXPECT_TRUE(paths.contains("\\\\Personal Folders\\a%5Cb"));

    // The message whose name is no UTF-8 is read, found again and moved with its bytes.
    auto inbox = open.folder("Personal Folders\\Inbox")->items();
    ASSERT_EQ(inbox->count(), 1);
    auto raw = inbox->item(1);
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->subject(), "raw name");
    auto again = open.session->getMessageFromId(raw->entryId().value());
    ASSERT_TRUE(again);
    auto moved = again->move(*open.folder("Archive\\Inbox"));
    ASSERT_TRUE(moved) << again->lastError().detail.toStdString();
    EXPECT_EQ(moved->subject(), "raw name");
    ASSERT_TRUE(moved->deletePermanently());
    EXPECT_TRUE(maildir.messageFiles("Inbox", "Archive").isEmpty());
    removeTree(maildir.root());
}

// A source that cannot be removed is a failure with its reason, never a
// success: within a file system, across file systems (the copy then stays in
// the destination, and the reason says so), and to the store's bin. A folder
// that cannot be made in a read-only store fails at creation.
TEST(MaildirReadOnly, RemovingFromAReadOnlyStoreFailsWithTheReason)
{
    test::TempMaildir maildir;
    test::TempMaildir shm(QDir("/dev/shm").exists() ? "/dev/shm" : QString());
    maildir.addStore("Personal Folders");
    maildir.addStore("Archive");
    maildir.addStore("Elsewhere", shm.root() + "/store");
    for (int i = 0; i < 4; ++i)
        maildir.addMessage({.subject = QString("stays %1").arg(i)});
    maildir.folderDir("Inbox", "Archive");
    maildir.folderDir("Inbox", "Elsewhere");
    maildir.writeProfile();
    openUp(maildir.root(), false);
    openUp(maildir.storePath("Archive"), true);
    openUp(shm.root(), true);
    const QString inbox = maildir.folderDir("Inbox");

    test::OpenProfile open;
    auto items = open.folder("Personal Folders\\Inbox")->items();
    ASSERT_EQ(items->count(), 4);
    auto archive = open.folder("Archive\\Inbox");
    auto elsewhere = open.folder("Elsewhere\\Inbox");
    {
        ReadOnly guard({maildir.storePath(), inbox + "/cur", inbox + "/new"});
        if (!guard.active())
            GTEST_SKIP() << "cannot act as another user here";
        auto one = items->item(1);
        ASSERT_TRUE(one);
        EXPECT_FALSE(one->deletePermanently());
        EXPECT_EQ(one->lastError().kind, ErrorKind::AccessDenied);

        auto two = items->item(2);
        EXPECT_FALSE(two->deleteItem()); // no "Deleted Items" can be made
        EXPECT_EQ(two->lastError().kind, ErrorKind::AccessDenied);

        auto three = items->item(3);
        EXPECT_FALSE(three->move(*archive));
        EXPECT_EQ(three->lastError().kind, ErrorKind::AccessDenied);

        auto four = items->item(4);
        EXPECT_FALSE(four->move(*elsewhere));
        EXPECT_EQ(four->lastError().kind, ErrorKind::AccessDenied);
        EXPECT_TRUE(four->lastError().text.contains("copy stays in the destination"))
            << four->lastError().text.toStdString();

        auto top = open.folder("Personal Folders")->folders();
        EXPECT_FALSE(top->add("New"));
        EXPECT_EQ(top->lastError().kind, ErrorKind::AccessDenied);
    }
    EXPECT_EQ(maildir.messageFiles("Inbox").size(), 4);
    EXPECT_TRUE(maildir.messageFiles("Inbox", "Archive").isEmpty());
    EXPECT_EQ(maildir.messageFiles("Inbox", "Elsewhere").size(), 1);
    EXPECT_FALSE(QFileInfo::exists(maildir.storePath() + "/.New"));
}
