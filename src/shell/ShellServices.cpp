#include "ShellServices.h"

#include "FileDialogFolderPicker.h"
#include "Keyring.h"
#include "WaveSoundPlayer.h"
#include "platform/MailProfile.h"
#include "platform/PlatformRegistry.h"

#include <QApplication>
#include <QDesktopServices>

namespace kestrel::shell {

ShellServices ShellServices::defaults(SettingsStore& settings, dialogs::MessageBoxService& messages,
                                      dialogs::DialogRunner& dialogs)
{
    ShellServices services;
    services.settings = &settings;
    services.messages = &messages;
    services.dialogs = &dialogs;
    services.beep = [] { QApplication::beep(); };
    services.createApplication = [] { return platform::createApplication(); };
    services.openUrl = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    services.folderPicker = std::make_shared<FileDialogFolderPicker>();
    services.sound = std::make_shared<WaveSoundPlayer>(services.beep);
    services.profileLocation = [] { return platform::MailProfile::location(); };
    services.mailPlaces = [] { return platform::maildir::LocalMailPlaces::ofCurrentUser(); };
    services.keyring = std::make_shared<SystemKeyring>();
    return services;
}

} // namespace kestrel::shell
