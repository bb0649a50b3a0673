// kestrel-screenshots OUTDIR [--messages N] [--pst FILE]
//
// Pictures of the real main window for the docs, on a demo profile built in a
// temporary folder (so no real settings or mail are touched): OUTDIR/
// main-window.png with a partly ticked tree, main-window-running.png taken
// from inside a yield of a Move run, and main-window-done.png after it.
// With --pst, only OUTDIR/main-window-pst.png instead: the Outlook data file
// FILE added to the demo profile as the source, after a Copy of its mail of
// 2000 to 2021 into the archive.
// Run it under Xvfb: xvfb-run -a build/bin/kestrel-screenshots docs

#include "DemoProfileBuilder.h"
#include "dialogs/WindowChrome.h"
#include "engine/SoundPlayer.h"
#include "folders/FolderTreeView.h"
#include "platform/PlatformRegistry.h"
#include "shell/SettingsStore.h"
#include "shell/Unattended.h"
#include "shell/frmMain.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QStyleFactory>
#include <QTemporaryDir>

#include <cstdio>

using namespace kestrel;

namespace {

// Answers every box with its default button without showing it.
class QuietMessages : public dialogs::MessageBoxService {
public:
    dialogs::MessageAnswer ask(QWidget*, const dialogs::MessageBoxRequest& request) override
    {
        std::fprintf(stderr, "kestrel-screenshots: message: %s\n", qPrintable(request.text));
        return request.buttons == dialogs::MessageButtons::Ok ? dialogs::MessageAnswer::Ok
                                                              : request.defaultButton;
    }
};

class Silence : public engine::SoundPlayer {
public:
    void playAsync(const QString&) override {}
};

// The main window with a look into each of its yields.
class TourWindow : public shell::frmMain {
public:
    using frmMain::frmMain;
    std::function<void()> onYield;
    void yield() override
    {
        frmMain::yield();
        if (onYield)
            onYield();
    }
};

void settle(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool save(QWidget& window, const QString& file)
{
    const bool saved = window.grab().save(file);
    std::printf(saved ? "saved %s\n" : "cannot write %s\n", qPrintable(file));
    return saved;
}

void tick(shell::frmMain& window, const QString& name)
{
    folders::FolderTreeView& tree = *window.tvFolders;
    for (const auto& node : tree.nodesInAdditionOrder()) {
        if (folders::FolderTreeView::ExtractFolderName(node.text) == name) {
            QTreeWidgetItem* item = tree.nodeByKey(node.key);
            tree.setNodeChecked(item, true);
            tree.CheckChildNodes(item, true);
        }
    }
    window.EnableArchiveButton();
}

const QString kDataFileStore = QStringLiteral("Outlook Mail");

// The data file as one more store of the profile, after the demo's ones.
void addDataFile(const QString& profile, const QString& file)
{
    QSettings settings(profile, QSettings::IniFormat);
    int number = 1;
    while (settings.childGroups().contains(QStringLiteral("Store%1").arg(number)))
        ++number;
    settings.beginGroup(QStringLiteral("Store%1").arg(number));
    settings.setValue("Name", kDataFileStore);
    settings.setValue("Type", "pst");
    settings.setValue("Path", QFileInfo(file).absoluteFilePath());
    settings.endGroup();
}

// The data file's mail of 2000 to 2021 copied into the archive, its tree ticked.
bool takeDataFilePicture(TourWindow& window, const QString& out)
{
    const int source = window.cbTopFolder->findText(kDataFileStore);
    if (source < 0) {
        std::fprintf(stderr, "kestrel-screenshots: the data file is not among the stores\n");
        return false;
    }
    window.cbTopFolder->setCurrentIndex(source);
    settle(300);
    window.cbArchiveFolder->setCurrentIndex(window.cbArchiveFolder->findText("Archive"));
    window.cbAction->setCurrentIndex(1);
    window.dtStart->setDate(QDate(2000, 1, 1));
    window.dtEnd->setDate(QDate(2021, 12, 31));
    folders::FolderTreeView& tree = *window.tvFolders;
    for (int i = 0; i < tree.topLevelItemCount(); ++i) {
        tree.setNodeChecked(tree.topLevelItem(i), true);
        tree.CheckChildNodes(tree.topLevelItem(i), true);
    }
    window.EnableArchiveButton();
    window.cmdArchive->click();
    settle(300);
    tree.setCurrentItem(tree.topLevelItem(0));
    return save(window, out + "/main-window-pst.png");
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(dialogs::kProductName));
    if (QStyle* style = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(style);
    QApplication::setFont(dialogs::chromeFont());
    const QStringList args = QApplication::arguments();
    if (args.size() < 2 || args.at(1).startsWith('-')) {
        std::fprintf(stderr, "usage: kestrel-screenshots OUTDIR [--messages N] [--pst FILE]\n");
        return 2;
    }
    const QString out = args.at(1);
    const qsizetype messagesAt = args.indexOf(QStringLiteral("--messages"));
    const int messages = messagesAt > 0 ? args.value(messagesAt + 1).toInt() : 20000;
    const qsizetype pstAt = args.indexOf(QStringLiteral("--pst"));
    const QString dataFile = pstAt > 0 ? args.value(pstAt + 1) : QString();

    QTemporaryDir temporary;
    demo::DemoProfileBuilder builder(temporary.filePath("demo"), messages, 7);
    if (!builder.build()) {
        std::fprintf(stderr, "kestrel-screenshots: %s\n", qPrintable(builder.errorText()));
        return 1;
    }
    qputenv("KESTREL_PROFILE", QFile::encodeName(temporary.filePath("demo/profile.ini")));
    if (!dataFile.isEmpty())
        addDataFile(temporary.filePath("demo/profile.ini"), dataFile);

    shell::SettingsStore settings(temporary.filePath("settings.ini"));
    settings.write("Dialogs", "ShowFirstWarning", "0");
    settings.write("Dialogs", "ShowConfirmation", "0");
    QuietMessages messageBoxes;
    shell::UnattendedDialogRunner dialogRunner;
    shell::ShellServices services;
    services.settings = &settings;
    services.messages = &messageBoxes;
    services.dialogs = &dialogRunner;
    services.beep = [] {};
    services.createApplication = [] { return platform::createApplication(); };
    services.openUrl = [](const QUrl&) {};
    services.sound = std::make_shared<Silence>();

    TourWindow window(services);
    if (window.startUp() != shell::StartupOutcome::Running)
        return 1;
    settle(500);
    if (!dataFile.isEmpty())
        return takeDataFilePicture(window, out) ? 0 : 1;

    // A partly ticked tree: the Inbox with its subfolders, and the newsletters.
    tick(window, QStringLiteral("Inbox"));
    tick(window, QStringLiteral("Newsletters"));
    window.tvFolders->setCurrentItem(window.tvFolders->topLevelItem(0));
    settle(300);
    bool ok = save(window, out + "/main-window.png");

    // Mid-way through the big Inbox of a Move run.
    static const QRegularExpression item(QStringLiteral("^Item (\\d+) of (\\d+)$"));
    bool running = false;
    window.onYield = [&] {
        const QRegularExpressionMatch match = item.match(window.lblCurrentAction->text());
        if (running || !match.hasMatch())
            return;
        const int done = match.captured(1).toInt();
        const int total = match.captured(2).toInt();
        if (total >= 1000 && done * 5 >= total * 2) {
            running = true;
            window.repaint();
            ok = save(window, out + "/main-window-running.png") && ok;
        }
    };
    window.cmdArchive->click();
    window.onYield = nullptr;
    settle(300);
    ok = save(window, out + "/main-window-done.png") && ok && running;
    if (!running)
        std::fprintf(stderr, "kestrel-screenshots: the run ended before a picture was taken\n");
    return ok ? 0 : 1;
}
