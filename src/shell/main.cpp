#include "SettingsStore.h"
#include "Unattended.h"
#include "WindowPasswordSource.h"
#include "dialogs/DialogRunner.h"
#include "dialogs/QtMessageBoxService.h"
#include "dialogs/WindowChrome.h"
#include "engine/ProgramFiles.h"
#include "frmMain.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QStyleFactory>

#include <cstdio>
#include <cstring>
#include <optional>

using namespace kestrel;

namespace {

// --help and --version are answered before the window's application is made,
// so that they work without a display.
std::optional<int> answerInformationOptions(int argc, char** argv)
{
    bool asked = false;
    for (int i = 1; i < argc; ++i) {
        for (const char* option : {"-h", "--help", "--version"})
            asked = asked || std::strcmp(argv[i], option) == 0;
    }
    if (!asked)
        return std::nullopt;
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kestrel-mailkeep"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KESTREL_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Kestrel Mailkeep archives mail by date, in a window.\n"
                       "For runs without a window (scripts, timers) see kestrel-archive --help."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.parse(QCoreApplication::arguments());
    if (parser.isSet(version))
        std::printf("%s %s\n", "kestrel-mailkeep", KESTREL_VERSION);
    else
        std::fputs(qUtf8Printable(parser.helpText()), stdout);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (const std::optional<int> code = answerInformationOptions(argc, argv))
        return *code;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(dialogs::kProductName));
    QApplication::setApplicationVersion(QStringLiteral(KESTREL_VERSION));
    // The icon and the menu entry of an installed copy.
    const QString appId = QStringLiteral("org.kestrelmailkeep.KestrelMailkeep");
    QGuiApplication::setDesktopFileName(appId);
    const QString icon = appId + QStringLiteral(".svg");
    QApplication::setWindowIcon(QIcon(
        engine::ProgramDataDirectory(QApplication::applicationDirPath(), icon) + u'/' + icon));
    if (QStyle* style = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(style);
    QApplication::setFont(dialogs::chromeFont());

    // Hidden option of ours for the docs: --screenshot FILE answers every
    // dialog by itself, saves a picture of the main window and closes it.
    const QStringList arguments = QApplication::arguments();
    const qsizetype option = arguments.indexOf(QStringLiteral("--screenshot"));
    const QString screenshotFile = option > 0 ? arguments.value(option + 1) : QString();
    const bool unattended = !screenshotFile.isEmpty();

    shell::SettingsStore settings;
    dialogs::QtMessageBoxService messages;
    dialogs::ModalDialogRunner modalDialogs;
    shell::UnattendedMessageBoxService unattendedMessages;
    shell::UnattendedDialogRunner unattendedDialogs;
    shell::ShellServices services = shell::ShellServices::defaults(
        settings,
        unattended ? static_cast<dialogs::MessageBoxService&>(unattendedMessages) : messages,
        unattended ? static_cast<dialogs::DialogRunner&>(unattendedDialogs) : modalDialogs);

    // Server stores ask the keyring, then the user, for their passwords.
    shell::WindowPasswordSource passwords(
        *services.keyring,
        unattended ? static_cast<dialogs::DialogRunner&>(unattendedDialogs) : modalDialogs);
    platform::imap::setPasswordSource(&passwords);

    shell::frmMain window(services);
    QObject::connect(&window, &shell::frmMain::programEnded, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    if (window.startUp() != shell::StartupOutcome::Running)
        return 1;
    if (unattended)
        shell::saveScreenshotLater(window, screenshotFile);
    const int code = app.exec();
    platform::imap::setPasswordSource(nullptr);
    return code;
}
