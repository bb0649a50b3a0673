#include "MsgReaders.h"
#include "platform/MsgCodec.h"
#include "support/TempDir.h"

#include <QDir>

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kestrel;
using namespace kestrel::platform::msg;

namespace {

std::optional<QByteArray> encode(const QByteArray& mime, platform::PlatformError* error)
{
    MsgEnvelope e;
    e.mime = mime;
    return encodeMsg(e, error);
}

// Runs `work` in a child process under an address-space limit; its exit status.
int underMemoryLimit(qint64 bytes, const std::function<int()>& work)
{
    const pid_t child = fork();
    if (child == 0) {
        const rlimit limit{rlim_t(bytes), rlim_t(bytes)};
        setrlimit(RLIMIT_AS, &limit);
        _exit(work());
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace

// What the writer would make and the reader refuse is refused at write time,
// and nothing is written.
TEST(MsgLimits, WriterRefusesWhatTheReaderWould)
{
    test::TempDir dir;
    const QString target = dir.filePath(QStringLiteral("big.msg"));

    // More recipients or attachments than a file may hold.
    QByteArray recipients = "From: a@example.com\nSubject: many\n";
    for (int i = 0; i < 10001; ++i)
        recipients += "To: p" + QByteArray::number(i) + "@example.com\n";
    platform::PlatformError error;
    EXPECT_FALSE(encode(recipients + "\nbody\n", &error).has_value());
    EXPECT_TRUE(error.detail.contains(QLatin1String("recipients"))) << error.detail.toStdString();
    QByteArray many = "From: a@example.com\nSubject: many\nMIME-Version: 1.0\n"
                      "Content-Type: multipart/mixed; boundary=b\n\n";
    for (int i = 0; i < 10001; ++i)
        many += "--b\nContent-Type: application/octet-stream; name=a" + QByteArray::number(i) +
                "\n\nx\n";
    many += "--b--\n";
    MsgEnvelope e;
    e.mime = many;
    EXPECT_FALSE(writeMsgFile(e, target, &error));
    EXPECT_EQ(error.kind, platform::ErrorKind::Invalid);
    EXPECT_TRUE(error.detail.contains(QLatin1String("attachments"))) << error.detail.toStdString();

    // A 2 GB message of NUL bytes (sparse: the pages are never touched) is too
    // large, and refused before it is parsed.
    const qsizetype size = qsizetype(2) << 30;
    void* zeros =
        mmap(nullptr, size_t(size), PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    ASSERT_NE(zeros, MAP_FAILED);
    e.mime = QByteArray::fromRawData(static_cast<const char*>(zeros), size);
    EXPECT_FALSE(writeMsgFile(e, target, &error));
    EXPECT_EQ(error.kind, platform::ErrorKind::Invalid);
    e.mime.clear();
    munmap(zeros, size_t(size));
    EXPECT_TRUE(QDir(dir.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}

// Content the file cannot hold as text is kept another way or refused, never dropped.
TEST(MsgLimits, NothingOfTheMessageIsDroppedSilently)
{
    platform::PlatformError error;
    // Text with a NUL in it: kept whole as an attachment, not cut at the NUL.
    const QByteArray text("before\0after the NUL\n", 21);
    auto bytes =
        encode("From: a@example.com\nSubject: nul\nContent-Type: text/plain\n\n" + text, &error);
    ASSERT_TRUE(bytes.has_value()) << error.detail.toStdString();
    auto back = decodeMsg(*bytes, &error);
    ASSERT_TRUE(back.has_value());
    const test::MimeSummary s = test::summarizeMime(back->mime);
    ASSERT_EQ(s.attachmentData.size(), 1);
    EXPECT_EQ(s.attachmentData[0], text);

    // NUL in the headers, and parts nested deeper than a file holds: refused.
    EXPECT_FALSE(encode(QByteArray("Subject: a\0b\n\nbody\n", 19), &error).has_value());
    EXPECT_EQ(error.kind, platform::ErrorKind::Invalid);
    QByteArray deep = "From: a@example.com\nMIME-Version: 1.0\n";
    for (int i = 0; i < 40; ++i)
        deep += "Content-Type: multipart/mixed; boundary=b" + QByteArray::number(i) + "\n\n--b" +
                QByteArray::number(i) + "\n";
    deep += "Content-Type: text/plain\n\ninnermost text\n";
    EXPECT_FALSE(encode(deep, &error).has_value());
    EXPECT_TRUE(error.detail.contains(QLatin1String("nested"))) << error.detail.toStdString();
}

// Every recipient of a To: field far longer than the field bound comes back.
TEST(MsgLimits, LongAddressFieldsKeepEveryRecipient)
{
    QByteArray to = "To: ";
    for (int i = 0; i < 2000; ++i)
        to += (i ? ",\n " : "") + QByteArray("\"Person ") + QByteArray::number(i) + "\" <p" +
              QByteArray::number(i) + "@example.com>";
    platform::PlatformError error;
    auto bytes = encode("From: a@example.com\n" + to + "\nSubject: many\n\nbody\n", &error);
    ASSERT_TRUE(bytes.has_value()) << error.detail.toStdString();
    auto back = decodeMsg(*bytes, &error);
    ASSERT_TRUE(back.has_value());
    const test::MimeSummary s = test::summarizeMime(back->mime);
    ASSERT_EQ(s.to.size(), 2000);
    EXPECT_EQ(s.to.back().toStdString(), "p1999@example.com");
}

// Huge header fields cost bounded memory: a 50 MB Subject and a 50 MB To: of
// millions of addresses, each under a 2 GB address-space limit.
TEST(MsgLimits, HugeHeaderFieldsStayWithinMemory)
{
    const QByteArray subject = "Subject: " + QByteArray(50 << 20, 's') + "\n";
    QByteArray to = "To: ";
    to.reserve(50 << 20);
    while (to.size() < (50 << 20))
        to += "a@b.cd,";
    for (const QByteArray& field : {subject, to}) {
        const QByteArray mime = "From: a@example.com\n" + field + "\nbody\n";
        const int status = underMemoryLimit(qint64(2) << 30, [&] {
            platform::PlatformError error;
            const auto bytes = encode(mime, &error);
            // Written within bounds, or refused with a reason.
            return bytes ? (bytes->size() < (200 << 20) ? 0 : 2) : error.detail.isEmpty() ? 3 : 0;
        });
        EXPECT_EQ(status, 0) << field.left(12).toStdString();
    }
}
