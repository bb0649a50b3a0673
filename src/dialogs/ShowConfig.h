#pragma once

class QWidget;

namespace kestrel::shell {
class SettingsStore;
}

namespace kestrel::dialogs {

class DialogRunner;
using shell::SettingsStore;

// The Configure button: edits "MSG"/"Pattern" (missing: "%ct% %su%") in
// frmConfig. Okay stores the trimmed text as it is, empty included; Cancel
// stores nothing.
void ShowConfig(SettingsStore& settings, DialogRunner& runner, QWidget* owner);

} // namespace kestrel::dialogs
