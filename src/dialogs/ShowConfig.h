#pragma once

class QWidget;

namespace kestrel::dialogs {

class DialogRunner;
class SettingsStore;

// The Configure button: edits "MSG"/"Pattern" (missing: "%ct% %su%") in
// frmConfig. Okay stores the trimmed text as it is, empty included; Cancel
// stores nothing.
void ShowConfig(SettingsStore& settings, DialogRunner& runner, QWidget* owner);

} // namespace kestrel::dialogs
