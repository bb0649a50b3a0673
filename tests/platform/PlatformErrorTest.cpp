#include "platform/PlatformError.h"

#include "platform/msg/AtomicFileWriter.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>

using kestrel::platform::ErrorKind;
using kestrel::platform::PlatformError;

TEST(PlatformError, SystemErrorsGroupIntoKindsTheCallersBranchOn)
{
    const std::pair<int, ErrorKind> cases[] = {
        {EACCES, ErrorKind::AccessDenied},
        {EPERM, ErrorKind::AccessDenied},
        {EROFS, ErrorKind::AccessDenied},
        {ENOENT, ErrorKind::NotFound},
        {ENOTDIR, ErrorKind::NotFound},
        {EEXIST, ErrorKind::Exists},
        {EIO, ErrorKind::Io},
        {ENOSPC, ErrorKind::Io},
    };
    for (const auto& [code, kind] : cases) {
        const PlatformError error = PlatformError::fromErrno(code, QStringLiteral("t"), "/x");
        EXPECT_EQ(error.kind, kind) << code;
        EXPECT_EQ(error.code, code);
        EXPECT_TRUE(error.detail.startsWith(QStringLiteral("/x: "))) << error.detail.toStdString();
        EXPECT_GT(error.detail.size(), 4);
    }
}

TEST(PlatformError, FileWriterReportsAMissingDirectoryAsNotFound)
{
    QTemporaryDir dir;
    QFile plain(dir.filePath("plain"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    PlatformError error;
    // A path through a file (ENOTDIR) is as missing as one through nothing.
    EXPECT_FALSE(
        kestrel::platform::msg::writeFileAtomically(dir.filePath("plain/a.msg"), "x", &error));
    EXPECT_EQ(error.kind, ErrorKind::NotFound) << error.detail.toStdString();
    EXPECT_FALSE(
        kestrel::platform::msg::writeFileAtomically(dir.filePath("none/a.msg"), "x", &error));
    EXPECT_EQ(error.kind, ErrorKind::NotFound) << error.detail.toStdString();
}
