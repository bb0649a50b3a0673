// Loads the folder tree of a big store into the real FolderTreeView, offscreen,
// with the status line painted at every step as the main window does, and
// measures the load and the longest time the event queue waits for a yield,
// beside a plain readdir of every cur/ and new/ of the store (the last line
// gives the load time over that floor, the best run of each).
//
//   kestrel-bench-folders [--folders 2000] [--messages 500000] [--dir DIR] [--runs 3]
//
// Without --dir the store is written into a temporary folder and removed
// afterwards; with it, a store written there before for the same sizes is used again.

#include "BigStoreWriter.h"
#include "folders/FolderTreeView.h"
#include "folders/TopLevelFolders.h"
#include "platform/MailPlatform.h"
#include "platform/PlatformRegistry.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <dirent.h>

using namespace kestrel;

namespace {

struct LoadFigures {
    double loadMs = 0;
    double longestGapMs = 0;
    int yields = 0;
    int nodes = 0;
};

int intOption(const QStringList& args, const QString& name, int fallback)
{
    const qsizetype at = args.indexOf(name);
    return at >= 0 && at + 1 < args.size() ? args.at(at + 1).toInt() : fallback;
}

LoadFigures loadOnce(folders::FolderTreeView& tree, QLabel& status, platform::Namespace& ns,
                     const folders::CMapiFolder& store)
{
    LoadFigures figures;
    QElapsedTimer sinceYield;
    tree.setStatusSink([&status](const QString& text) {
        status.setText(text);
        status.repaint();
    });
    tree.setEventYield([&] {
        figures.longestGapMs = std::max(figures.longestGapMs, sinceYield.nsecsElapsed() / 1e6);
        ++figures.yields;
        QApplication::processEvents();
        sinceYield.restart();
    });
    QElapsedTimer total;
    total.start();
    sinceYield.start();
    tree.ShowChildFolders(&ns, &store);
    figures.longestGapMs = std::max(figures.longestGapMs, sinceYield.nsecsElapsed() / 1e6);
    QApplication::processEvents(); // the tree's first paint after the load
    figures.loadMs = total.nsecsElapsed() / 1e6;
    figures.nodes = int(tree.nodesInAdditionOrder().size());
    return figures;
}

// The floor: one plain readdir of every folder's cur/ and new/, nothing else.
double readdirFloorMs(const QString& store, qint64* entries)
{
    QElapsedTimer timer;
    timer.start();
    *entries = 0;
    const QByteArray root = QFile::encodeName(store);
    QList<QByteArray> folders{root};
    if (DIR* top = ::opendir(root.constData())) {
        while (const dirent* entry = ::readdir(top)) {
            if (entry->d_name[0] == '.' && std::strcmp(entry->d_name, ".") != 0 &&
                std::strcmp(entry->d_name, "..") != 0)
                folders.append(root + '/' + entry->d_name);
        }
        ::closedir(top);
    }
    for (const QByteArray& folder : std::as_const(folders)) {
        for (const char* sub : {"/cur", "/new"}) {
            DIR* dir = ::opendir((folder + sub).constData());
            if (!dir)
                continue;
            while (::readdir(dir))
                ++*entries;
            ::closedir(dir);
        }
    }
    return timer.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    const int folderCount = intOption(args, "--folders", 2000);
    const int messageCount = intOption(args, "--messages", 500000);
    const int runs = std::max(1, intOption(args, "--runs", 3));
    const qsizetype dirAt = args.indexOf("--dir");

    QTemporaryDir temporary;
    const QString root = dirAt >= 0 ? args.value(dirAt + 1) : temporary.path();
    const QString marker =
        root + QStringLiteral("/bench-folders-%1-%2").arg(folderCount).arg(messageCount);
    QElapsedTimer timer;
    timer.start();
    if (!QFile::exists(marker)) {
        QDir(root + "/big-store").removeRecursively();
        const QString error = bench::writeBigStore(root, folderCount, messageCount);
        if (!error.isEmpty()) {
            std::fprintf(stderr, "kestrel-bench-folders: %s\n", qPrintable(error));
            return 1;
        }
        QFile(marker).open(QIODevice::WriteOnly);
        std::printf("store written: %d folders, %d messages in %.1f s\n", folderCount, messageCount,
                    timer.nsecsElapsed() / 1e9);
    } else {
        std::printf("store reused from %s\n", qPrintable(root));
    }

    qputenv("KESTREL_PROFILE", QFile::encodeName(root + "/profile.ini"));
    auto application = platform::createApplication();
    auto ns = application ? application->getNamespace("MAPI") : nullptr;
    if (!ns || !ns->logon()) {
        std::fprintf(stderr, "kestrel-bench-folders: cannot open the profile\n");
        return 1;
    }
    const folders::TopLevelFolders stores = folders::LoadTopLevelFolders(*ns);
    const folders::CMapiFolder* store = stores.item(1);
    if (!store) {
        std::fprintf(stderr, "kestrel-bench-folders: no store\n");
        return 1;
    }

    QWidget window;
    auto* tree = new folders::FolderTreeView(&window);
    auto* status = new QLabel(&window);
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(tree, 1);
    layout->addWidget(status);
    window.resize(360, 420);
    window.show();
    QApplication::processEvents();

    LoadFigures best;
    double worstGap = 0;
    double floorMs = 0;
    for (int run = 1; run <= runs; ++run) {
        const LoadFigures figures = loadOnce(*tree, *status, *ns, *store);
        qint64 entries = 0;
        const double readdirMs = readdirFloorMs(root + QStringLiteral("/big-store"), &entries);
        floorMs = run == 1 ? readdirMs : std::min(floorMs, readdirMs);
        std::printf("run %d: %d nodes loaded in %.0f ms, %d yields, longest gap %.1f ms; "
                    "readdir of every cur/ and new/ (%lld entries) %.1f ms\n",
                    run, figures.nodes, figures.loadMs, figures.yields, figures.longestGapMs,
                    qlonglong(entries), readdirMs);
        if (run == 1 || figures.loadMs < best.loadMs)
            best = figures;
        worstGap = std::max(worstGap, figures.longestGapMs);
    }
    std::printf("folders=%d messages=%d nodes=%d load_ms=%.0f longest_gap_ms=%.1f "
                "worst_gap_ms=%.1f yields=%d us_per_folder=%.0f gap_vs_100ms=%.2f\n",
                folderCount, messageCount, best.nodes, best.loadMs, best.longestGapMs, worstGap,
                best.yields, best.loadMs * 1000.0 / std::max(1, best.nodes), worstGap / 100.0);
    std::printf("readdir_ms=%.1f\nratio=%.2f\n", floorMs, best.loadMs / std::max(floorMs, 0.001));
    return 0;
}
