// kestrel-engine-fault-child PROFILE [DISK_DIR]
// Moves every message of "Personal Folders\Inbox" through the real engine:
// into the second store, or into DISK_DIR as .msg files. The fault test
// kills it at random moments.

#include "QuietView.h"
#include "engine/PathRoutines.h"
#include "engine/SettingsReader.h"
#include "engine/SoundPlayer.h"
#include "engine/TaskRunner.h"
#include "engine/TaskSettings.h"
#include "platform/PlatformRegistry.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

using namespace kestrel;

namespace {

class DefaultSettings : public engine::SettingsReader {
public:
    QString readSetting(const QString&, const QString&, const QString& value) const override
    {
        return value;
    }
};

class NoSound : public engine::SoundPlayer {
public:
    void playAsync(const QString&) override {}
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        QTextStream(stderr) << "usage: kestrel-engine-fault-child PROFILE [DISK_DIR]\n";
        return 2;
    }
    qputenv("KESTREL_PROFILE", QFile::encodeName(args.at(1)));
    std::unique_ptr<platform::Application> application = platform::createApplication();
    std::unique_ptr<platform::Namespace> ns =
        application ? application->getNamespace(QStringLiteral("MAPI")) : nullptr;
    if (!ns || !ns->logon())
        return 3;
    std::unique_ptr<platform::Session> session = ns->openSession();
    std::unique_ptr<platform::FolderCollection> stores = ns->folders();
    if (!session || !stores)
        return 3;

    engine::TaskSettings settings;
    settings.Action = 0;
    settings.SourceRoot = stores->item(1);
    if (args.size() > 2) {
        settings.DestinationIsDisk = true;
        settings.DestinationPath = engine::AddPathSeparator(args.at(2));
    } else {
        settings.ArchiveRoot = stores->item(2);
    }
    settings.StartDate = QDateTime(QDate(1990, 1, 1), QTime(0, 0));
    settings.EndDate = QDateTime(QDate(2099, 12, 31), QTime(23, 59, 59));
    settings.IncludeUnread = true;

    test::QuietView view;
    NoSound sound;
    DefaultSettings reader;
    engine::TaskRunner runner(view, sound, reader, app.applicationDirPath());
    const QString source = settings.SourceRoot->name().value_or(QString());
    runner.Run(settings, 0, *ns, session.get(),
               {{QStringLiteral("Inbox"), QStringLiteral("\\\\%1\\Inbox").arg(source), true}});
    QTextStream(stdout) << view.status << '\n';
    return 0;
}
