#include "platform/msg/CompressedRtf.h"

#include <gtest/gtest.h>

using namespace kestrel::platform::msg;

// The two worked examples of the compressed RTF format's documentation.
TEST(CompressedRtf, DecompressesTheDocumentedExamples)
{
    const QByteArray simple =
        QByteArray::fromHex("2d0000002b0000004c5a4675f1c5c7a703000a00726370673132354232"
                            "0af32068656c090020627705b06c647d0a800fa0");
    auto out = decompressRtf(simple);
    ASSERT_TRUE(out.has_value());
    EXPECT_EQ(*out, QByteArray("{\\rtf1\\ansi\\ansicpg1252\\pard hello world}\r\n"));

    // A reference that overlaps the bytes it is producing.
    const QByteArray crossing =
        QByteArray::fromHex("1a0000001c0000004c5a4675e2d44b51410004205758595a0d6e7d010eb0");
    out = decompressRtf(crossing);
    ASSERT_TRUE(out.has_value());
    EXPECT_EQ(*out, QByteArray("{\\rtf1 WXYZWXYZWXYZWXYZWXYZ}"));

    // A wrong CRC, a cut-off stream and an unknown magic are refused.
    QByteArray badCrc = simple;
    badCrc[12] = char(badCrc[12] ^ 1);
    EXPECT_FALSE(decompressRtf(badCrc).has_value());
    EXPECT_FALSE(decompressRtf(simple.left(10)).has_value());
    QByteArray badMagic = simple;
    badMagic[8] = 'X';
    EXPECT_FALSE(decompressRtf(badMagic).has_value());
    // Output is bounded even when the stream says otherwise.
    EXPECT_FALSE(decompressRtf(simple, 10).has_value());
}

TEST(CompressedRtf, UncompressedFormRoundTrips)
{
    const QByteArray rtf("{\\rtf1\\ansi hello}");
    const QByteArray wrapped = wrapUncompressedRtf(rtf);
    EXPECT_EQ(wrapped.size(), rtf.size() + 16);
    EXPECT_EQ(wrapped.mid(8, 4), QByteArray("MELA"));
    EXPECT_EQ(wrapped.mid(12, 4), QByteArray(4, '\0')); // CRC must be 0 here
    auto out = decompressRtf(wrapped);
    ASSERT_TRUE(out.has_value());
    EXPECT_EQ(*out, rtf);
}
