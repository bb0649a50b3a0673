// The programs installed into a temporary prefix, as a package would lay them
// out, and run from there.

#include "CliRun.h"
#include "EngineStores.h"
#include "TempDir.h"
#include "engine/ProgramFiles.h"

#include <QFileInfo>
#include <QStandardPaths>

#include <gtest/gtest.h>

using namespace kestrel;
using namespace kestrel::test;

namespace {

const QString kAppId = QStringLiteral("org.kestrelmailkeep.KestrelMailkeep");

// Runs a tool of the system when it is there; nullopt when it is not.
std::optional<CliResult> runTool(const QString& tool, const QStringList& arguments)
{
    const QString path = QStandardPaths::findExecutable(tool);
    if (path.isEmpty())
        return std::nullopt;
    return runProgram(path, arguments, QProcessEnvironment::systemEnvironment());
}

} // namespace

TEST(Install, IntoAPrefixGivesRunnableProgramsAndValidDesktopFiles)
{
    const TempDir prefix;
    const std::optional<CliResult> install = runTool(
        QStringLiteral("cmake"), {QStringLiteral("--install"), QStringLiteral(KESTREL_BINARY_DIR),
                                  QStringLiteral("--prefix"), prefix.path()});
    ASSERT_TRUE(install && install->exitCode == 0) << (install ? install->err.toStdString() : "");

    const QString bin = prefix.filePath(QStringLiteral("bin"));
    const QString data = prefix.filePath(QStringLiteral("share/kestrel-mailkeep"));
    for (const QString& file :
         {bin + QStringLiteral("/kestrel-archive"), bin + QStringLiteral("/kestrel-mailkeep"),
          data + QStringLiteral("/task complete.wav"),
          data + u'/' + kAppId + QStringLiteral(".svg"),
          prefix.filePath(QStringLiteral("share/icons/hicolor/scalable/apps/")) + kAppId +
              QStringLiteral(".svg"),
          prefix.filePath(QStringLiteral("share/man/man1/kestrel-archive.1")),
          prefix.filePath(QStringLiteral("share/man/man1/kestrel-mailkeep.1")),
          prefix.filePath(QStringLiteral("lib/systemd/user/kestrel-archive.service")),
          prefix.filePath(QStringLiteral("lib/systemd/user/kestrel-archive.timer"))})
        EXPECT_TRUE(QFileInfo(file).isFile()) << file.toStdString();
    // The installed window finds its sound in the data folder, none being beside it.
    EXPECT_EQ(engine::ProgramDataDirectory(bin, QStringLiteral("task complete.wav")), data);

    const QString desktop = prefix.filePath(QStringLiteral("share/applications/")) + kAppId +
                            QStringLiteral(".desktop");
    if (const auto valid = runTool(QStringLiteral("desktop-file-validate"), {desktop})) {
        EXPECT_EQ(valid->exitCode, 0) << valid->out.toStdString();
    }
    const QString metainfo = prefix.filePath(QStringLiteral("share/metainfo/")) + kAppId +
                             QStringLiteral(".metainfo.xml");
    if (const auto valid =
            runTool(QStringLiteral("appstreamcli"),
                    {QStringLiteral("validate"), QStringLiteral("--no-net"), metainfo})) {
        EXPECT_EQ(valid->exitCode, 0) << valid->out.toStdString();
    }

    // Without a display: the command line needs none, the window answers --help.
    const TempDir home;
    const QProcessEnvironment environment = cliEnvironment(home.path());
    const CliResult help = runProgram(bin + QStringLiteral("/kestrel-mailkeep"),
                                      {QStringLiteral("--help")}, environment);
    EXPECT_EQ(help.exitCode, 0) << help.err.toStdString();
    EXPECT_TRUE(help.out.contains(QStringLiteral("kestrel-archive"))) << help.out.toStdString();
    if (const auto linked =
            runTool(QStringLiteral("readelf"),
                    {QStringLiteral("-d"), bin + QStringLiteral("/kestrel-archive")})) {
        EXPECT_FALSE(linked->out.contains(QStringLiteral("Qt6Widgets")) ||
                     linked->out.contains(QStringLiteral("Qt6Gui")));
    }

    EngineStores stores({QStringLiteral("Personal Folders"), QStringLiteral("Archive")});
    TestMessage message;
    message.received = at(2023, 5, 10);
    stores.addMessage(0, QStringLiteral("Inbox"), message);
    const CliResult run =
        runProgram(bin + QStringLiteral("/kestrel-archive"),
                   {QStringLiteral("--profile"), stores.profilePath(), QStringLiteral("--source"),
                    QStringLiteral("Personal Folders"), QStringLiteral("--all-folders"),
                    QStringLiteral("--dest"), QStringLiteral("Archive"), QStringLiteral("--action"),
                    QStringLiteral("copy"), QStringLiteral("--date-field"), QStringLiteral("any"),
                    QStringLiteral("--from"), QStringLiteral("2023-01-01"), QStringLiteral("--to"),
                    QStringLiteral("2023-12-31")},
                   environment);
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.startsWith(QStringLiteral("1 item copied."))) << run.out.toStdString();
    EXPECT_EQ(stores.messageFiles(1, QStringLiteral("Inbox")).size(), 1);
}
