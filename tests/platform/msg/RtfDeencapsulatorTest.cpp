#include "platform/msg/RtfDeencapsulator.h"

#include <gtest/gtest.h>

using namespace kestrel::platform::msg;

TEST(RtfDeencapsulator, TakesHtmlOutOfFromHtml)
{
    const QByteArray rtf =
        "{\\rtf1\\ansi\\ansicpg1252\\fromhtml1 \\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\r\n"
        "{\\*\\htmltag19 <html>}{\\*\\htmltag34 <head>}{\\*\\htmltag1 </head>}\r\n"
        "{\\*\\htmltag50 <body>}\\htmlrtf {\\htmlrtf0 {\\*\\htmltag64 <p>}\\htmlrtf "
        "\\par\\htmlrtf0}\\htmlrtf0\r\nHello caf\\'e9 \\u8364?{\\*\\htmltag84 &lt;}x"
        "{\\*\\htmltag72 </p>}\\htmlrtf\\par\\htmlrtf0\r\n{\\*\\htmltag58 </body>}"
        "{\\*\\htmltag27 </html>}}";
    EXPECT_EQ(rtfKind(rtf), RtfKind::Html);
    EXPECT_EQ(
        deencapsulateRtf(rtf).toStdString(),
        QStringLiteral("<html><head></head><body><p>Hello caf\u00e9 \u20ac&lt;x</p></body></html>")
            .toStdString());
}

TEST(RtfDeencapsulator, TakesTextOutOfFromTextAndNativeRtf)
{
    const QByteArray fromText =
        "{\\rtf1\\ansi\\ansicpg1251\\fromtext \\deff0{\\fonttbl{\\f0\\fmodern Courier;}}"
        "{\\colortbl\\red0\\green0\\blue0;}\r\n\\f0\\fs20 \\'cf\\'f0\\'e8\\'e2\\'e5\\'f2\\par\r\n"
        "second line\\tab end\\par\r\n}";
    EXPECT_EQ(rtfKind(fromText), RtfKind::Text);
    EXPECT_EQ(deencapsulateRtf(fromText),
              QStringLiteral("\u041f\u0440\u0438\u0432\u0435\u0442\r\nsecond line\tend\r\n"));

    // Native RTF: destinations such as the font table and pictures give no text;
    // a font's charset chooses the code page of its \' escapes.
    const QByteArray native =
        "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset204 Times;}}"
        "{\\*\\generator Test;}{\\info{\\title T}}\\pard Plain {\\b bold} {\\f1 \\'c4\\'e0}"
        "{\\pict\\pngblip 89504e47}\\par}";
    EXPECT_EQ(rtfKind(native), RtfKind::Native);
    EXPECT_EQ(deencapsulateRtf(native), QStringLiteral("Plain bold \u0414\u0430\r\n"));
}

TEST(RtfDeencapsulator, SurvivesMalformedRtf)
{
    EXPECT_TRUE(deencapsulateRtf("").isEmpty());
    EXPECT_EQ(deencapsulateRtf("}}}{\\"), QString());
    EXPECT_EQ(deencapsulateRtf("{\\rtf1 \\'zz\\'4"), QString());
    // Ten thousand open groups: read flat, no recursion.
    const QByteArray deep = QByteArray(10000, '{') + "x" + QByteArray(10000, '}');
    EXPECT_EQ(deencapsulateRtf(deep), QStringLiteral("x"));
}
