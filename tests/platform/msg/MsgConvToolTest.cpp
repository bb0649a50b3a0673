#include "MsgReaders.h"
#include "support/TempDir.h"

#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

using namespace kestrel::test;

namespace {

struct ToolRun {
    int code = -1;
    QByteArray err;
};

ToolRun msgconv(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(KESTREL_BINARY_DIR "/bin/kestrel-msgconv"), args);
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardError()};
}

} // namespace

TEST(MsgConvTool, ConvertsBothWaysAndFailsInOneLine)
{
    TempDir dir;
    const QString eml = corpusPath(QStringLiteral("eml/png-attachment.eml"));
    const QString msg = dir.filePath(QStringLiteral("out.msg"));
    const QString back = dir.filePath(QStringLiteral("back.eml"));
    ASSERT_EQ(msgconv({eml, msg}).code, 0);
    EXPECT_TRUE(olecfinfoOpens(msg));
    ASSERT_EQ(msgconv({msg, back}).code, 0);
    const MimeSummary a = summarizeMime(readFile(eml));
    const MimeSummary b = summarizeMime(readFile(back));
    EXPECT_EQ(b.subject, a.subject);
    EXPECT_EQ(b.attachmentData, a.attachmentData);

    // Bad input: non-zero exit and one line on stderr; nothing left behind.
    QFile fake(dir.filePath(QStringLiteral("fake.msg")));
    ASSERT_TRUE(fake.open(QIODevice::WriteOnly));
    fake.write("this is not an Outlook file");
    fake.close();
    for (const QStringList& args :
         {QStringList{fake.fileName(), dir.filePath(QStringLiteral("x.eml"))},
          QStringList{dir.filePath(QStringLiteral("missing.eml")),
                      dir.filePath(QStringLiteral("y.msg"))},
          QStringList{eml, dir.filePath(QStringLiteral("wrong.txt"))}}) {
        const ToolRun r = msgconv(args);
        EXPECT_EQ(r.code, 1) << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(r.err.startsWith("kestrel-msgconv: ")) << r.err.toStdString();
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
    }
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("x.eml"))));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("y.msg"))));
    EXPECT_EQ(msgconv({}).code, 2);
}
