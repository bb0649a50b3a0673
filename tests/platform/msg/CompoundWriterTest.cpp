#include "platform/msg/CompoundWriter.h"

#include "MsgReaders.h"
#include "platform/msg/CompoundReader.h"
#include "support/TempDir.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace kestrel;
using namespace kestrel::platform::msg;

TEST(CompoundWriter, WritesStoragesThatOtherReadersOpen)
{
    CompoundWriter out;
    const QByteArray clsid = QByteArray::fromHex("0B0D020000000000C000000000000046");
    const QByteArray big(100000, 'x'); // beyond the mini-stream cut-off
    ASSERT_TRUE(out.setRootClassId(clsid));
    ASSERT_TRUE(out.writeStream(QStringLiteral("small"), "tiny"));
    ASSERT_TRUE(out.beginStorage(QStringLiteral("inner")));
    ASSERT_TRUE(out.writeStream(QStringLiteral("big"), big));
    for (int i = 0; i < 1200; ++i) // many siblings: the directory is balanced afterwards
        ASSERT_TRUE(out.writeStream(QStringLiteral("s%1").arg(i), QByteArray::number(i)));
    ASSERT_TRUE(out.endStorage());
    auto bytes = out.finish();
    ASSERT_TRUE(bytes.has_value()) << out.errorText().toStdString();

    test::TempDir dir;
    QFile file(dir.filePath(QStringLiteral("c.cfb")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(*bytes);
    file.close();
    EXPECT_TRUE(test::olecfinfoOpens(file.fileName()));

    CompoundReader in;
    ASSERT_TRUE(in.open(*bytes));
    EXPECT_EQ(in.classId(), clsid);
    EXPECT_EQ(in.stream(in.root(), QStringLiteral("small")).value_or(QByteArray()),
              QByteArray("tiny"));
    auto inner = in.storage(in.root(), QStringLiteral("inner"));
    ASSERT_TRUE(inner);
    EXPECT_EQ(in.stream(inner, QStringLiteral("big")).value_or(QByteArray()), big);
    EXPECT_EQ(in.stream(inner, QStringLiteral("s1199")).value_or(QByteArray()), QByteArray("1199"));
    EXPECT_EQ(in.names(inner).size(), 1201u);
}

TEST(CompoundWriter, RefusesBadNamesAndOrder)
{
    {
        CompoundWriter out;
        ASSERT_TRUE(out.writeStream(QStringLiteral("Name"), "a"));
        EXPECT_FALSE(out.writeStream(QStringLiteral("NAME"), "b")); // names compare case-blind
        EXPECT_FALSE(out.finish().has_value());
        EXPECT_TRUE(out.errorText().contains(QLatin1String("duplicate")));
    }
    {
        CompoundWriter out;
        EXPECT_FALSE(out.writeStream(QString(32, QLatin1Char('n')), "a"));
        EXPECT_FALSE(out.writeStream(QStringLiteral("ok"), "a")); // stays failed
        EXPECT_FALSE(out.finish().has_value());
    }
    {
        CompoundWriter out;
        EXPECT_FALSE(out.endStorage());
        EXPECT_FALSE(out.finish().has_value());
    }
    {
        CompoundWriter out;
        ASSERT_TRUE(out.beginStorage(QStringLiteral("open")));
        EXPECT_FALSE(out.finish().has_value()); // a storage left open
        EXPECT_TRUE(out.errorText().contains(QLatin1String("open")));
    }
    {
        CompoundWriter out;
        EXPECT_FALSE(out.setRootClassId("short"));
    }
}
