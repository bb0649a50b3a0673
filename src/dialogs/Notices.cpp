#include "Notices.h"

#include "DialogRunner.h"
#include "frmCompactInfo.h"
#include "frmFirstWarning.h"
#include "frmNoArchiveWarning.h"
#include "shell/SettingsStore.h"

#include <QScreen>

namespace kestrel::dialogs {

namespace {

// Before the main window is shown, or after it has gone, there is nothing to
// centre on but the screen.
void centreWithoutOwner(QDialog& dialog, const QWidget* owner)
{
    if (const QScreen* screen = dialog.screen(); screen && !(owner && owner->isVisible()))
        dialog.move(screen->availableGeometry().center() - dialog.rect().center());
}

const QString kDialogs = QStringLiteral("Dialogs");

// Only the text "0" switches a notice off; a missing key reads as "1".
bool isSwitchedOff(const SettingsStore& settings, const QString& key)
{
    return settings.read(kDialogs, key, QStringLiteral("1")) == QLatin1String("0");
}

} // namespace

void ShowFirstWarning(SettingsStore& settings, DialogRunner& runner, QWidget* owner)
{
    const QString key = QStringLiteral("ShowFirstWarning");
    if (isSwitchedOff(settings, key))
        return;
    frmFirstWarning warning(owner);
    centreWithoutOwner(warning, owner);
    runner.run(warning);
    settings.write(kDialogs, key, QStringLiteral("0"));
}

void ShowPerformanceTip(SettingsStore& settings, DialogRunner& runner, QWidget* owner)
{
    const QString key = QStringLiteral("ShowPerformanceTip");
    if (isSwitchedOff(settings, key))
        return;
    frmCompactInfo tip(owner);
    centreWithoutOwner(tip, owner);
    runner.run(tip);
    if (tip.IsNoShow())
        settings.write(kDialogs, key, QStringLiteral("0"));
}

void ShowNoArchiveWarning(DialogRunner& runner, QWidget* owner)
{
    frmNoArchiveWarning warning(owner);
    runner.run(warning);
}

} // namespace kestrel::dialogs
