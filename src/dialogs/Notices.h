#pragma once

class QWidget;

namespace kestrel::shell {
class SettingsStore;
}

namespace kestrel::dialogs {

class DialogRunner;
using shell::SettingsStore;

// The first-run warning, unless "Dialogs"/"ShowFirstWarning" is "0"; once
// shown, the setting becomes "0".
void ShowFirstWarning(SettingsStore& settings, DialogRunner& runner, QWidget* owner);

// The performance tip, unless "Dialogs"/"ShowPerformanceTip" is "0"; the
// setting becomes "0" only when the tip is closed with its box ticked. The
// caller decides whether a run happened.
void ShowPerformanceTip(SettingsStore& settings, DialogRunner& runner, QWidget* owner);

// The single-store warning, modal over owner.
void ShowNoArchiveWarning(DialogRunner& runner, QWidget* owner);

} // namespace kestrel::dialogs
