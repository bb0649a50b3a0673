#include "platform/MsgCodec.h"
#include "platform/msg/CompoundWriter.h"
#include "platform/msg/MsgStorageWriter.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QtEndian>

#include <gtest/gtest.h>

#include <pthread.h>

using namespace kestrel;
using namespace kestrel::platform::msg;

namespace {

QByteArray encodedSample(qsizetype bodySize)
{
    MsgEnvelope e;
    e.mime =
        "From: a@example.com\nTo: b@example.com\nSubject: hostile\n\n" + QByteArray(bodySize, 'b');
    platform::PlatformError error;
    return encodeMsg(e, &error).value_or(QByteArray());
}

// The 128-byte directory entry of a stream, found by its UTF-16 name.
qsizetype entryOf(const QByteArray& file, const QString& name)
{
    const QByteArray utf16(reinterpret_cast<const char*>(name.utf16()), name.size() * 2);
    const qsizetype at = file.indexOf(utf16, 512);
    return at >= 0 && at % 128 == 0 ? at : -1;
}

void expectRefused(const QByteArray& data, const char* what)
{
    platform::PlatformError error;
    auto result = decodeMsg(data, &error);
    EXPECT_FALSE(result.has_value()) << what;
    EXPECT_EQ(error.kind, platform::ErrorKind::Invalid) << what;
    EXPECT_FALSE(error.text.isEmpty()) << what;
}

} // namespace

TEST(MsgHostileInput, DamagedFilesGiveClearErrors)
{
    expectRefused("", "empty");
    expectRefused("From: x\n\nnot a compound file", "text");
    const QByteArray good = encodedSample(20000);
    ASSERT_FALSE(good.isEmpty());
    expectRefused(good.left(700), "cut short");

    // A stream that claims far more bytes than the file holds, or whose sector
    // chain points back at itself, fails the whole file with the stream's name:
    // it was dropped without a word before.
    for (const QString& name :
         {QStringLiteral("__substg1.0_1000001F"), QStringLiteral("__substg1.0_007D001F")}) {
        const qsizetype entry = entryOf(good, name);
        ASSERT_GE(entry, 0) << name.toStdString();
        QByteArray huge = good;
        qToLittleEndian<std::uint32_t>(0x7FFFFFF0, huge.data() + entry + 120);
        expectRefused(huge, "huge stream");
        platform::PlatformError error;
        decodeMsg(huge, &error);
        EXPECT_TRUE(error.detail.contains(name)) << error.detail.toStdString();
    }
    // The body is big enough to live in regular sectors, whose table is patched here.
    QByteArray cyclic = good;
    const qsizetype body = entryOf(good, QStringLiteral("__substg1.0_1000001F"));
    const auto start = qFromLittleEndian<std::uint32_t>(cyclic.constData() + body + 116);
    const auto fatSector = qFromLittleEndian<std::uint32_t>(cyclic.constData() + 0x4C);
    qToLittleEndian<std::uint32_t>(start, cyclic.data() + (fatSector + 1) * 512 + start * 4);
    expectRefused(cyclic, "cyclic chain");
}

TEST(MsgHostileInput, DeepNestingAndHugeCountsAreRefused)
{
    // A thousand embedded messages, each inside the last.
    MsgObject top;
    MsgObject* level = &top;
    for (int i = 0; i < 1000; ++i) {
        AttachmentObject a;
        a.embedded = std::make_unique<MsgObject>();
        MsgObject* next = a.embedded.get();
        level->attachments.push_back(std::move(a));
        level = next;
    }
    QString why;
    auto deep = writeMsgObject(top, &why);
    ASSERT_TRUE(deep.has_value()) << why.toStdString();
    expectRefused(*deep, "nested 1000 deep");

    // Two million entries in one property stream.
    CompoundWriter out;
    QByteArray props(32, '\0');
    props.append(QByteArray(2'000'000 * 16, '\x03'));
    ASSERT_TRUE(out.writeStream(QStringLiteral("__properties_version1.0"), props));
    auto many = out.finish();
    ASSERT_TRUE(many.has_value());
    expectRefused(*many, "two million properties");
}

// Address headers of tens of thousands of encoded words in one name, or of
// nested groups, made GMime recurse past the end of the stack (found by the
// fuzzer from long-header-line.eml): both now convert on a 1 MB stack.
TEST(MsgHostileInput, HugeAddressHeadersFitASmallStack)
{
    QByteArray words = "From: a@example.com\nTo: \"t\" <t@example.com>,\n";
    for (int i = 0; i < 80000; ++i)
        words += "\t=?utf-8?Q?date=3E2017-08-20T10:08:28.617=3C/pr?=\n";
    const QByteArray groups =
        "From: a@example.com\nTo: " + QByteArray(60000, ':').replace(":", "g:") + "x@example.com\n";
    for (const QByteArray& headers : {words, groups}) {
        struct Job {
            QByteArray mime;
            bool ok = false;
        } job{headers + "Subject: deep\n\nbody\n"};
        pthread_attr_t attr;
        pthread_attr_init(&attr);
        pthread_attr_setstacksize(&attr, 1 << 20);
        pthread_t thread;
        ASSERT_EQ(pthread_create(
                      &thread, &attr,
                      [](void* p) -> void* {
                          auto* job = static_cast<Job*>(p);
                          MsgEnvelope e;
                          e.mime = job->mime;
                          platform::PlatformError error;
                          auto bytes = encodeMsg(e, &error);
                          auto back = bytes ? decodeMsg(*bytes, &error) : std::nullopt;
                          job->ok = back && back->mime.contains("Subject: deep");
                          return nullptr;
                      },
                      &job),
                  0);
        pthread_join(thread, nullptr);
        pthread_attr_destroy(&attr);
        EXPECT_TRUE(job.ok);
    }
}

// Directories that are no tree (entries linked twice, a root with siblings) made
// libgsf leak (found by the fuzzer): such files are refused before libgsf sees them.
TEST(MsgHostileInput, DirectoryThatIsNoTreeIsRefused)
{
    for (const char* name : {"fuzz-directory-not-a-tree.msg", "fuzz-root-with-siblings.msg"}) {
        QFile file(QStringLiteral(KESTREL_SOURCE_DIR "/tests/platform/msg/data/") +
                   QLatin1String(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name;
        platform::PlatformError error;
        EXPECT_FALSE(decodeMsg(file.readAll(), &error).has_value()) << name;
        EXPECT_TRUE(error.detail.contains(QLatin1String("not a tree")))
            << error.detail.toStdString();
    }
}

// Bytes flipped all over a real file: always an answer, never a crash.
TEST(MsgHostileInput, RandomDamageNeverCrashes)
{
    QFile file(test::corpusPath(QStringLiteral("msg/embedded-msg-single.msg")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray original = file.readAll();
    QRandomGenerator random(20240305);
    for (int round = 0; round < 300; ++round) {
        QByteArray damaged = original;
        for (int k = 0; k < 1 + round % 20; ++k)
            damaged[random.bounded(int(damaged.size()))] = char(random.bounded(256));
        platform::PlatformError error;
        auto result = decodeMsg(damaged, &error);
        EXPECT_EQ(result.has_value(), error.ok());
    }
}

TEST(MsgAtomicWrite, WholeFileOrNothing)
{
    test::TempDir dir;
    MsgEnvelope e;
    e.mime = "Subject: first\n\nbody\n";
    platform::PlatformError error;
    const QString target = dir.filePath(QStringLiteral("item.msg"));
    ASSERT_TRUE(writeMsgFile(e, target, &error));
    e.mime = "Subject: second\n\nbody\n";
    EXPECT_FALSE(writeMsgFile(e, target, &error)); // never replaces a file
    EXPECT_EQ(error.kind, platform::ErrorKind::Exists);
    auto back = readMsgFile(target, &error);
    ASSERT_TRUE(back.has_value());
    EXPECT_TRUE(back->mime.contains("Subject: first"));
    // Only the file itself: no temporary left beside it.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("item.msg")});

    // A missing directory fails with NotFound and writes nothing.
    const QString missing = dir.filePath(QStringLiteral("no/such/dir/item.msg"));
    EXPECT_FALSE(writeMsgFile(e, missing, &error));
    EXPECT_EQ(error.kind, platform::ErrorKind::NotFound);
    EXPECT_FALSE(QFile::exists(missing));

    // Reading a missing file says so.
    EXPECT_FALSE(readMsgFile(dir.filePath(QStringLiteral("absent.msg")), &error).has_value());
    EXPECT_EQ(error.kind, platform::ErrorKind::NotFound);
}
