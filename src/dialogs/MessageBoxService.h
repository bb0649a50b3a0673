#pragma once

#include <QString>

namespace kestrel::dialogs {

// Placeholder; the shell work replaces it with the message-box service.
class MessageBoxService;

} // namespace kestrel::dialogs
