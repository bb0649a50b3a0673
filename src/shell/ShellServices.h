#pragma once

#include "platform/MailPlatform.h"

#include <QUrl>

#include <functional>
#include <memory>

namespace kestrel::dialogs {
class DialogRunner;
class MessageBoxService;
class SettingsStore;
} // namespace kestrel::dialogs

namespace kestrel::shell {

// What the main window reaches outside itself. The program passes the real
// ones (defaults()); tests pass a temporary settings file, answering message
// boxes and dialogs, a counted beep and their own application factory.
struct ShellServices {
    dialogs::SettingsStore* settings = nullptr;
    dialogs::MessageBoxService* messages = nullptr;
    dialogs::DialogRunner* dialogs = nullptr;
    std::function<void()> beep;
    std::function<std::unique_ptr<platform::Application>()> createApplication;
    std::function<void(const QUrl&)> openUrl;

    // The platform's beep, createApplication and the desktop's URL handler.
    static ShellServices defaults(dialogs::SettingsStore& settings,
                                  dialogs::MessageBoxService& messages,
                                  dialogs::DialogRunner& dialogs);
};

} // namespace kestrel::shell
