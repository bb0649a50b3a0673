#include "SettingsStore.h"
#include "Unattended.h"
#include "WindowPasswordSource.h"
#include "dialogs/DialogRunner.h"
#include "dialogs/QtMessageBoxService.h"
#include "dialogs/WindowChrome.h"
#include "frmMain.h"

#include <QApplication>
#include <QStyleFactory>

using namespace kestrel;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(dialogs::kProductName));
    QApplication::setApplicationVersion(QStringLiteral(KESTREL_VERSION));
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
