#pragma once

#include "platform/MailPlatform.h"
#include "platform/maildir/LocalMailFinder.h"

#include <QUrl>

#include <functional>
#include <memory>

namespace kestrel::engine {
class SoundPlayer;
}
namespace kestrel::dialogs {
class DialogRunner;
class MessageBoxService;
} // namespace kestrel::dialogs

namespace kestrel::shell {

class FolderPicker;
class SecretStore;
class SettingsStore;

// What the main window reaches outside itself. The program passes the real
// ones (defaults()); tests pass a temporary settings file, answering message
// boxes and dialogs, a counted beep, their own application factory, a folder
// picker that answers at once and a sound player that only records; the
// profile location and the places searched for mail default to the user's.
struct ShellServices {
    SettingsStore* settings = nullptr;
    dialogs::MessageBoxService* messages = nullptr;
    dialogs::DialogRunner* dialogs = nullptr;
    std::function<void()> beep;
    std::function<std::unique_ptr<platform::Application>()> createApplication;
    std::function<void(const QUrl&)> openUrl;
    std::shared_ptr<FolderPicker> folderPicker;
    std::shared_ptr<engine::SoundPlayer> sound;
    // The profile the stores dialog writes, and where it looks for mail.
    std::function<QString()> profileLocation;
    std::function<platform::maildir::LocalMailPlaces()> mailPlaces;
    // Where server passwords are kept; none when null.
    std::shared_ptr<SecretStore> keyring;

    // The platform's beep, createApplication, the desktop's URL handler, its
    // directory chooser, QSoundEffect, the profile's location, the user's
    // mail places and the system keyring.
    static ShellServices defaults(SettingsStore& settings, dialogs::MessageBoxService& messages,
                                  dialogs::DialogRunner& dialogs);
};

} // namespace kestrel::shell
