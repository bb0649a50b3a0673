#include "platform/FolderPath.h"

#include <gtest/gtest.h>

using kestrel::platform::FolderPath;

TEST(FolderPath, NamesRoundTripAndNoElementIsADotStep)
{
    const QStringList names = {"a\\b",     "100%",    "Q1/Q2",       ".",   "..",  "",
                               "...",      ".hidden", "%2F literal", "%2E", "%5c", "Entwürfe",
                               "日本語 😀", "%"};
    for (const QString& name : names) {
        const FolderPath path(QStringLiteral("Store\\%/."), {QStringLiteral("Inbox"), name});
        const QString text = path.toString();
        EXPECT_TRUE(text.startsWith(QLatin1String("\\\\"))) << text.toStdString();
        const QStringList elements = text.mid(2).split('\\');
        ASSERT_EQ(elements.size(), 3) << text.toStdString();
        for (const QString& element : elements) {
            EXPECT_NE(element, QLatin1String(".")) << text.toStdString();
            EXPECT_NE(element, QLatin1String("..")) << text.toStdString();
            EXPECT_FALSE(element.contains('/')) << text.toStdString();
        }
        const FolderPath back = FolderPath::parse(text);
        EXPECT_EQ(back.store(), path.store()) << text.toStdString();
        EXPECT_EQ(back.names(), path.names()) << text.toStdString();
        EXPECT_EQ(FolderPath::parse(path.toShortString()).names(), path.names());
        EXPECT_EQ(FolderPath::parseRelative(path.relativeString()), path.names());
    }
    // Hand-written paths: other "%" forms and the store's root.
    EXPECT_EQ(FolderPath::parse("Store\\x%2fy\\%41").names(), (QStringList{"x%2fy", "%41"}));
    EXPECT_TRUE(FolderPath::parse("\\\\Store").names().isEmpty());
    EXPECT_TRUE(FolderPath::parse("").isEmpty());
    EXPECT_TRUE(FolderPath::parseRelative("").isEmpty());
}
