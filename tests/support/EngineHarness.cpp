#include "EngineHarness.h"

#include "engine/PathRoutines.h"

namespace kestrel::test {

EngineHarness::EngineHarness(const QStringList& storeNames)
    : stores(storeNames), runner(view, sound, settingsReader, QStringLiteral("/opt/kestrel"))
{
}

QString EngineHarness::folderPath(const QString& store, const QString& path)
{
    return QStringLiteral("\\\\") + store + (path.isEmpty() ? QString() : '\\' + path);
}

engine::TaskSettings EngineHarness::settings(int action, bool preview, int archive,
                                             const QString& disk)
{
    engine::TaskSettings s;
    s.PreviewMode = preview;
    s.Action = action;
    s.SourceRoot = stores.root(0);
    if (disk.isEmpty()) {
        s.ArchiveRoot = stores.root(archive);
    } else {
        s.DestinationIsDisk = true;
        s.DestinationPath = engine::AddPathSeparator(disk);
    }
    s.StartDate = at(2020, 1, 1, 0, 0, 0);
    s.EndDate = at(2020, 12, 31, 23, 59, 59);
    s.DateBase = 0;
    s.IncludeUnread = false;
    s.RespectNoArchive = true;
    return s;
}

void EngineHarness::run(engine::TaskSettings s, const QStringList& folders, int priority)
{
    const QString store = s.SourceRoot ? s.SourceRoot->name().value_or(QString()) : QString();
    QList<engine::TaskFolder> nodes;
    for (const QString& path : folders)
        nodes.append({path.section('\\', -1), folderPath(store, path), true});
    runner.Run(s, priority, stores.ns(), stores.session(), nodes);
}

} // namespace kestrel::test
