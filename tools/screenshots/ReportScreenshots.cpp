// kestrel-report-screenshots OUTDIR
//
// Pictures of the report window for the docs, on small stores built in a
// temporary folder: OUTDIR/report-preview.png after a Preview, and
// OUTDIR/report-start-failures.png after the Start that follows, with a
// mirrored folder that cannot be made.
// Run it under Xvfb: xvfb-run -a build/bin/kestrel-report-screenshots docs

#include "dialogs/WindowChrome.h"
#include "engine/SoundPlayer.h"
#include "folders/FolderTreeView.h"
#include "platform/PlatformRegistry.h"
#include "shell/SettingsStore.h"
#include "shell/Unattended.h"
#include "shell/frmMain.h"
#include "shell/frmReport.h"
#include "support/TempMaildir.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QStyleFactory>
#include <QTemporaryDir>

#include <cstdio>

using namespace kestrel;

namespace {

class QuietMessages : public dialogs::MessageBoxService {
public:
    dialogs::MessageAnswer ask(QWidget*, const dialogs::MessageBoxRequest& request) override
    {
        std::fprintf(stderr, "kestrel-report-screenshots: message: %s\n", qPrintable(request.text));
        return request.buttons == dialogs::MessageButtons::Ok ? dialogs::MessageAnswer::Ok
                                                              : request.defaultButton;
    }
};

class Silence : public engine::SoundPlayer {
public:
    void playAsync(const QString&) override {}
};

void settle(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool saveReport(shell::frmMain& window, const QString& file)
{
    window.showReport();
    shell::frmReport* report = window.reportWindow();
    if (!report)
        return false;
    settle(300);
    const bool saved = report->grab().save(file);
    std::printf(saved ? "saved %s\n" : "cannot write %s\n", qPrintable(file));
    report->close();
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

struct Mail {
    const char* folder;
    const char* subject;
    const char* from;
    int month;
    int day;
    const char* flags;
    bool noArchive;
};

const Mail kMail[] = {
    {"Inbox", "Quarterly figures", "Maria Keller <maria.keller@example.org>", 2, 3, "S", false},
    {"Inbox", "Re: Lunch on Friday?", "Tom Berg <tom@example.net>", 3, 14, "S", false},
    {"Inbox", "Your order has shipped", "Shop <orders@shop.example>", 4, 2, "S", false},
    {"Inbox", "Minutes of the board meeting", "Ann Sender <ann@example.org>", 5, 20, "S", true},
    {"Inbox", "New photos", "Tom Berg <tom@example.net>", 6, 1, "", false},
    {"Inbox", "Invoice 2020-117", "Accounts <accounts@supplier.example>", 7, 9, "S", false},
    {"Inbox\\Projects", "Kick-off: garden house", "Maria Keller <maria.keller@example.org>", 1, 15,
     "S", false},
    {"Inbox\\Projects", "Garden house: quotes", "Builder <office@builder.example>", 2, 27, "S",
     false},
    {"Inbox\\Projects", "Garden house: plans v2", "Maria Keller <maria.keller@example.org>", 3, 30,
     "S", false},
    {"Sent Items", "Re: Quarterly figures", "Demo User <demo.user@example.com>", 2, 4, "S", false},
    {"Sent Items", "Holiday plans", "Demo User <demo.user@example.com>", 8, 12, "S", false},
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(dialogs::kProductName));
    if (QStyle* style = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(style);
    QApplication::setFont(dialogs::chromeFont());
    const QStringList args = QApplication::arguments();
    if (args.size() != 2 || args.at(1).startsWith('-')) {
        std::fprintf(stderr, "usage: kestrel-report-screenshots OUTDIR\n");
        return 2;
    }
    const QString out = args.at(1);

    test::TempMaildir maildir;
    maildir.addStore(QStringLiteral("Personal Folders"));
    maildir.addStore(QStringLiteral("Archive"));
    for (const Mail& mail : kMail) {
        test::MessageSpec spec;
        spec.store = QStringLiteral("Personal Folders");
        spec.folder = QString::fromUtf8(mail.folder);
        spec.subject = QString::fromUtf8(mail.subject);
        spec.from = QString::fromUtf8(mail.from);
        spec.date = QDateTime(QDate(2020, mail.month, mail.day), QTime(9, 41));
        spec.flags = QString::fromLatin1(mail.flags);
        if (mail.noArchive)
            spec.keywords = {QStringLiteral("$NoArchive")};
        maildir.addMessage(spec);
    }
    maildir.writeProfile(QStringLiteral("Personal Folders"));

    QTemporaryDir temporary;
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

    shell::frmMain window(services);
    if (window.startUp() != shell::StartupOutcome::Running)
        return 1;
    window.cbArchiveFolder->setCurrentIndex(window.cbArchiveFolder->findText("Archive"));
    window.dtStart->setDate(QDate(2020, 1, 1));
    window.dtEnd->setDate(QDate(2020, 12, 31));
    window.chkNoAging->setChecked(true);
    tick(window, QStringLiteral("Inbox"));
    tick(window, QStringLiteral("Sent Items"));
    settle(300);

    window.cmdPreview->click();
    settle(300);
    bool ok = saveReport(window, out + "/report-preview.png");

    // The Projects folder cannot be mirrored: a file stands where it would go.
    const QString projects =
        maildir.folderDir(QStringLiteral("Inbox\\Projects"), QStringLiteral("Archive"));
    QDir(projects).removeRecursively();
    QFile blocker(projects);
    ok = blocker.open(QIODevice::WriteOnly) && ok;
    blocker.close();

    window.cmdArchive->click();
    settle(300);
    ok = saveReport(window, out + "/report-start-failures.png") && ok;
    return ok ? 0 : 1;
}
