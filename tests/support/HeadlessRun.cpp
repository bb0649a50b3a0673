#include "HeadlessRun.h"

#include "QuietView.h"
#include "engine/PathRoutines.h"
#include "engine/SettingsReader.h"
#include "engine/SoundPlayer.h"
#include "engine/TaskRunner.h"
#include "engine/TaskSettings.h"
#include "platform/PlatformRegistry.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

namespace kestrel::test {

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

HeadlessRunResult RunOverInbox(const QString& profile, int action, bool preview,
                               const QString& diskDir, const QDateTime& start, const QDateTime& end,
                               std::function<void(const engine::ItemReport&)> onItem)
{
    HeadlessRunResult result;
    qputenv("KESTREL_PROFILE", QFile::encodeName(profile));
    std::unique_ptr<platform::Application> application = platform::createApplication();
    std::unique_ptr<platform::Namespace> ns =
        application ? application->getNamespace(QStringLiteral("MAPI")) : nullptr;
    if (!ns || !ns->logon())
        return result;
    std::unique_ptr<platform::Session> session = ns->openSession();
    std::unique_ptr<platform::FolderCollection> stores = ns->folders();
    if (!session || !stores)
        return result;

    engine::TaskSettings settings;
    settings.Action = action;
    settings.PreviewMode = preview;
    settings.SourceRoot = stores->item(1);
    if (!settings.SourceRoot)
        return result;
    if (!diskDir.isEmpty()) {
        settings.DestinationIsDisk = true;
        settings.DestinationPath = engine::AddPathSeparator(diskDir);
    } else {
        settings.ArchiveRoot = stores->item(2);
    }
    settings.StartDate = start;
    settings.EndDate = end;
    settings.IncludeUnread = true;
    result.opened = true;

    QuietView view;
    view.onItem = std::move(onItem);
    NoSound sound;
    DefaultSettings reader;
    engine::TaskRunner runner(view, sound, reader, QDir::tempPath());
    const QString source = settings.SourceRoot->name().value_or(QString());
    const QList<engine::TaskFolder> folders = {
        {QStringLiteral("Inbox"), QStringLiteral("\\\\%1\\Inbox").arg(source), true}};
    QElapsedTimer timer;
    timer.start();
    runner.Run(settings, 0, *ns, session.get(), folders);
    result.seconds = double(timer.nsecsElapsed()) / 1e9;
    result.counters = runner.counters();
    result.status = view.status;
    return result;
}

} // namespace kestrel::test
