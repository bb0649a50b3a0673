#pragma once

#include <QString>

#include <optional>

class QWidget;

namespace kestrel::shell {
class SettingsStore;
}

namespace kestrel::dialogs {

class DialogRunner;
using shell::SettingsStore;

// What the confirmation tells about the run that is about to start.
struct ConfirmRequest {
    int action = 0; // 0 move, 1 copy, 2 delete
    bool previewMode = false;
    bool sourceIsDisk = false;
    QString sourceDiskFolder; // the source disk folder as typed
    std::optional<QString> sourceRootName;
    bool destinationIsDisk = false;
    QString destinationPath;
    std::optional<QString> archiveRootName;
};

// "PREVIEW " for a preview, then the action's text.
QString ActionDescription(int action, bool previewMode);

// True while the Control key is held down.
bool IsControlKeyDown();

// Asks whether to go on with the run: true to go on. The dialog is shown when
// "Dialogs"/"ShowConfirmation" is "1" (or missing), when controlKeyDown, and
// always for a delete run; otherwise the answer is true at once. For move and
// copy runs the state of its check box is stored after Confirm and Cancel.
bool ConfirmAction(const ConfirmRequest& request, SettingsStore& settings, bool controlKeyDown,
                   DialogRunner& runner, QWidget* owner);

} // namespace kestrel::dialogs
