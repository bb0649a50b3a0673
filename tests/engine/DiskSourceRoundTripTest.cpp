// A whole demo store exported to a disk folder with Copy, then that disk
// folder imported with Move into a fresh store: every message comes back.

#include "DemoLayout.h"
#include "DemoProfileBuilder.h"
#include "EngineHarness.h"
#include "MaildirStoreWriter.h"
#include "MsgReaders.h"
#include "engine/DiskSource.h"
#include "engine/PathRoutines.h"
#include "folders/mdlMAPI.h"
#include "platform/FolderPath.h"
#include "platform/MailPlatform.h"
#include "platform/PlatformRegistry.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace kestrel;
using namespace kestrel::test;

namespace {

const QString kSource = QStringLiteral("Personal Folders");
const QString kRestored = QStringLiteral("Restored");

// Every folder below the store root, each before its sub-folders.
void collectFolders(platform::Folder& folder, QList<engine::TaskFolder>& out)
{
    auto children = folder.folders();
    const int n = children ? children->count().value_or(0) : 0;
    for (int i = 1; i <= n; ++i) {
        auto child = children->item(i);
        if (!child)
            continue;
        out.append(
            {child->name().value_or(QString()), child->folderPath().value_or(QString()), true});
        collectFolders(*child, out);
    }
}

QString text(const std::optional<QString>& s)
{
    return s.value_or(QStringLiteral("<none>"));
}

QString time(const std::optional<QDateTime>& d)
{
    return d ? d->toUTC().toString(Qt::ISODate) : QStringLiteral("<none>");
}

// What the platform tells of each mail item of a folder, sorted.
QStringList itemFacts(platform::Namespace& ns, const QString& path)
{
    QStringList out;
    auto folder = folders::GetFolderFromPath(ns, path);
    auto items = folder ? folder->items() : nullptr;
    const qint64 n = items ? items->count().value_or(0) : 0;
    for (qint64 i = 1; i <= n; ++i) {
        auto item = items->item(i);
        if (!item || item->typeName() != QLatin1String(platform::kMailItemType))
            continue;
        out << QStringList{text(item->subject()),
                           text(item->senderName()),
                           text(item->senderEmailAddress()),
                           text(item->firstRecipientName()),
                           text(item->firstRecipientAddress()),
                           time(item->receivedTime()),
                           time(item->sentOn()),
                           item->unRead().value_or(false) ? "unread" : "read",
                           item->noAging().value_or(false) ? "no-archive" : "archive"}
                   .join(QStringLiteral(" | "));
    }
    out.sort();
    return out;
}

// The content of each message file of a Maildir folder: addresses, date,
// bodies and attachment bytes.
QStringList contentFacts(const QString& folderDir)
{
    QStringList out;
    for (const char* sub : {"/cur", "/new"}) {
        const QDir dir(folderDir + QLatin1String(sub));
        for (const QString& name : dir.entryList(QDir::Files)) {
            QFile file(dir.filePath(name));
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const MimeSummary m = summarizeMime(file.readAll());
            QStringList facts = {m.subject,      m.fromName, m.fromAddress,    m.to.join(','),
                                 m.cc.join(','), m.date,     bodyText(m.text), bodyText(m.html)};
            for (qsizetype i = 0; i < m.attachments.size(); ++i)
                facts << m.attachments.at(i).first + QString::number(m.attachments.at(i).second) +
                             ' ' +
                             QString::fromLatin1(
                                 QCryptographicHash::hash(m.attachmentData.value(i),
                                                          QCryptographicHash::Sha256)
                                     .toHex());
            out << facts.join(QStringLiteral(" | "));
        }
    }
    out.sort();
    return out;
}

QString storeDirectory(const QString& profileDir, const QString& storeName)
{
    for (const demo::DemoStore& store : demo::demoStores()) {
        if (store.name == storeName)
            return profileDir + '/' + store.directory;
    }
    return profileDir + QStringLiteral("/restored");
}

// "\\Store\A%2FB\C" to the display names below the store: {"A/B", "C"}.
QStringList displayNames(const QString& path)
{
    return platform::FolderPath::parse(path).names();
}

engine::TaskSettings wholeRange(int action)
{
    engine::TaskSettings s;
    s.Action = action;
    s.StartDate = at(1900, 1, 1, 0, 0, 0);
    s.EndDate = at(2100, 12, 31, 23, 59, 59);
    s.DateBase = 0;
    s.IncludeUnread = true;
    s.RespectNoArchive = false;
    return s;
}

} // namespace

TEST(DiskSourceRoundTrip, ExportedStoreComesBackWhole)
{
    TempDir temp;
    const QString profileDir = temp.filePath(QStringLiteral("demo"));
    demo::DemoProfileBuilder builder(profileDir, 160, 21);
    ASSERT_TRUE(builder.build()) << builder.errorText().toStdString();
    // A fresh, empty store beside the demo's own.
    ASSERT_TRUE(demo::MaildirStoreWriter(profileDir + QStringLiteral("/restored"))
                    .createFolder({QStringLiteral("Inbox")}));
    QFile profile(profileDir + QStringLiteral("/profile.ini"));
    ASSERT_TRUE(profile.open(QIODevice::Append));
    profile.write("\n[Store" + QByteArray::number(demo::demoStores().size() + 1) +
                  "]\nName=Restored\nPath=restored\n");
    profile.close();

    qputenv("KESTREL_PROFILE", QFile::encodeName(profile.fileName()));
    auto application = platform::createApplication();
    ASSERT_TRUE(application);
    auto ns = application->getNamespace(QStringLiteral("MAPI"));
    ASSERT_TRUE(ns && ns->logon());
    auto session = ns->openSession();
    ASSERT_TRUE(session);
    auto stores = ns->folders();
    auto sourceRoot = stores->item(kSource);
    ASSERT_TRUE(sourceRoot);
    QList<engine::TaskFolder> folders;
    collectFolders(*sourceRoot, folders);
    ASSERT_GE(folders.size(), 5);

    RecordingView view;
    FixedSettings settingsReader;
    SilentSound sound;
    engine::TaskRunner runner(view, sound, settingsReader, temp.path());
    const QString disk = temp.filePath(QStringLiteral("disk"));
    ASSERT_TRUE(QDir().mkpath(disk));

    engine::TaskSettings exportRun = wholeRange(1);
    exportRun.SourceRoot = std::move(sourceRoot);
    exportRun.DestinationIsDisk = true;
    exportRun.DestinationPath = engine::AddPathSeparator(disk);
    runner.Run(exportRun, 0, *ns, session.get(), folders);
    const qint64 exported = runner.counters().ProcessedCount;
    EXPECT_EQ(runner.counters().FailedCount, 0);
    ASSERT_GT(exported, 100);
    ASSERT_EQ(filesBelow(disk, "*.msg").size(), exported);

    engine::TaskSettings importRun = wholeRange(0);
    importRun.SourceIsDisk = true;
    importRun.SourceDiskFolder = disk;
    importRun.ArchiveRoot = stores->item(kRestored);
    ASSERT_TRUE(importRun.ArchiveRoot);
    runner.Run(importRun, 2, *ns, session.get(), {});
    EXPECT_EQ(runner.counters().ProcessedCount, exported);
    EXPECT_EQ(runner.counters().FailedCount, 0);
    EXPECT_EQ(filesBelow(disk, "*.msg").size(), 0) << "Move leaves no .msg file behind";

    qsizetype compared = 0;
    for (const engine::TaskFolder& folder : folders) {
        const QString restoredPath =
            QStringLiteral("\\\\") + kRestored + folder.path.mid(2 + kSource.size());
        const QStringList original = itemFacts(*ns, folder.path);
        if (original.isEmpty())
            continue;
        EXPECT_EQ(itemFacts(*ns, restoredPath), original) << folder.path.toStdString();

        const QStringList names = displayNames(folder.path);
        const QStringList before = contentFacts(
            demo::MaildirStoreWriter(storeDirectory(profileDir, kSource)).folderDirectory(names));
        const QStringList after = contentFacts(
            demo::MaildirStoreWriter(storeDirectory(profileDir, kRestored)).folderDirectory(names));
        EXPECT_EQ(after.size(), original.size()) << folder.path.toStdString();
        for (const QString& facts : after)
            EXPECT_TRUE(before.contains(facts)) << facts.left(300).toStdString();
        compared += original.size();
    }
    EXPECT_EQ(compared, exported);
}
