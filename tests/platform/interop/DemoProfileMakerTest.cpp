// The demo-profile maker as a program: the same seed gives the same stores,
// and it never writes over a profile. Dovecot reads its stores in
// BackendDovecotTest.

#include "MaildirInspector.h"
#include "support/TempDir.h"

#include <QProcess>

#include <gtest/gtest.h>

using kestrel::test::MaildirInspector;
using kestrel::test::TempDir;

namespace {

int runDemoTool(const QStringList& args, QByteArray* err = nullptr)
{
    QProcess process;
    process.start(QStringLiteral(KESTREL_BINARY_DIR "/bin/kestrel-demo-profile"), args);
    process.waitForFinished(120000);
    if (err)
        *err = process.readAllStandardError();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

} // namespace

TEST(DemoProfileMaker, WritesDeterministicStoresAndRefusesToOverwrite)
{
    TempDir temp;
    const QString first = temp.filePath("first");
    ASSERT_EQ(runDemoTool({first, "--messages", "400", "--seed", "5"}), 0);
    ASSERT_EQ(runDemoTool({temp.filePath("again"), "--seed", "5", "--messages", "400"}), 0);
    ASSERT_EQ(runDemoTool({temp.filePath("other"), "--messages", "400", "--seed", "6"}), 0);
    const QByteArray digest = MaildirInspector::treeDigest(first);
    EXPECT_EQ(digest, MaildirInspector::treeDigest(temp.filePath("again")));
    EXPECT_NE(digest, MaildirInspector::treeDigest(temp.filePath("other")));

    QByteArray err;
    EXPECT_EQ(runDemoTool({first}, &err), 1);
    EXPECT_TRUE(err.contains("not empty")) << err.constData();
    EXPECT_EQ(digest, MaildirInspector::treeDigest(first));
    EXPECT_EQ(runDemoTool({temp.filePath("bad"), "--messages", "many"}), 2);
    EXPECT_EQ(runDemoTool({}), 2);
}
