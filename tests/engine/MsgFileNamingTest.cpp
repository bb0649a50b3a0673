#include "engine/MsgFileNaming.h"

#include <QSet>

#include <gtest/gtest.h>

using namespace kestrel::engine;

namespace {

MsgNameFacts facts(const QString& subject)
{
    MsgNameFacts f;
    f.subject = subject;
    f.creationTime = QDateTime(QDate(2009, 1, 5), QTime(14, 7, 33));
    f.receivedTime = QDateTime(QDate(2009, 1, 6), QTime(8, 1, 2));
    return f;
}

} // namespace

TEST(MsgFileNaming, TokensInTableOrder)
{
    EXPECT_EQ(ApplyMsgPattern(kDefaultMsgPattern, facts("Re: Budget")),
              "20090105140707 Re  Budget");
    EXPECT_EQ(ApplyMsgPattern(kEmptyMsgPattern, facts("Hi")), "20090105140707 - Hi");
    // A subject bringing in a later token gets it replaced; an earlier one stays.
    EXPECT_EQ(ApplyMsgPattern("%su%", facts("a %rt% b %su%")), "a 20090106080101 b %su%");
    EXPECT_EQ(ApplyMsgPattern("%mt% %SU%", facts("x")), "%mt% %SU%");
    MsgNameFacts counter = facts("x");
    counter.fileCounter = 7;
    EXPECT_EQ(ApplyMsgPattern("%ii% %su%", counter), "7 x");
    MsgNameFacts unread = facts("x");
    unread.subject.reset();
    unread.creationTime.reset();
    EXPECT_EQ(ApplyMsgPattern(kDefaultMsgPattern, unread), "%ct% %su%");
    EXPECT_EQ(ApplyMsgPattern("%su%", facts(QString(150, 'a') + "tail")), QString(100, 'a'));
    EXPECT_EQ(ApplyMsgPattern("[%su%]", facts("    ")), "[]");
}

TEST(MsgFileNaming, NamesNeverLeaveTheDirectoryAndOpenOnWindows)
{
    const QString name = ApplyMsgPattern("%su%", facts("../a/b\\c: d? <e> \"f\" |g* \x01h"));
    EXPECT_FALSE(name.contains('/'));
    EXPECT_FALSE(name.contains('\\'));
    for (QChar bad : QStringLiteral("<>\"|?*:"))
        EXPECT_FALSE(name.contains(bad)) << name.toStdString();
    EXPECT_EQ(name, "..~a~b~c  d_ _e_ _f_ _g_  h");
}

TEST(MsgFileNaming, AddressHelpers)
{
    EXPECT_EQ(GetFirstListEntry("Ann Lee; Bob"), "Ann Lee");
    EXPECT_EQ(GetFirstListEntry("Ann"), "Ann");
    EXPECT_EQ(StripDisplayName("Ann Lee <ann@x.org>"), "ann@x.org>");
    EXPECT_EQ(StripDisplayName("Ann"), "Ann");
    EXPECT_EQ(GetMailDomain("ann@x.org"), "x.org");
    EXPECT_EQ(GetMailDomain("/o=Org/cn=ann"), "");
}

TEST(MsgFileNaming, LengthLimitsAndNumbering)
{
    const QString dir = "/tmp/" + QString(200, 'd') + "/";
    const auto path = BuildMsgPath(dir, QString(100, 'n'));
    ASSERT_TRUE(path);
    EXPECT_EQ(path->size(), kMaxMsgPathLength);
    EXPECT_TRUE(path->endsWith("nnn.msg"));

    // Multi-byte names stay within 255 bytes with room for "[512]".
    const auto wide = BuildMsgPath("/tmp/", QString(240, QChar(0x00e9)));
    ASSERT_TRUE(wide);
    const QString file = wide->mid(5);
    EXPECT_LE((file.chopped(4) + "[512].msg").toUtf8().size(), 255);

    // No room for a name at all: refused, not ".msg".
    EXPECT_FALSE(BuildMsgPath("/" + QString(250, 'd') + "/", "name"));

    QSet<QString> taken = {"/x/a.msg", "/x/a[1].msg"};
    auto exists = [&taken](const QString& p) { return taken.contains(p); };
    EXPECT_EQ(*FindFreeMsgPath("/x/b.msg", exists), "/x/b.msg");
    EXPECT_EQ(*FindFreeMsgPath("/x/a.msg", exists), "/x/a[2].msg");
    EXPECT_FALSE(FindFreeMsgPath("/x/a.msg", [](const QString&) { return true; }));
}
