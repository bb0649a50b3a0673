#include "Notices.h"

#include "DialogRunner.h"
#include "SettingsStore.h"
#include "frmFirstWarning.h"
#include "frmNoArchiveWarning.h"

#include <QScreen>

namespace kestrel::dialogs {

void ShowFirstWarning(SettingsStore& settings, DialogRunner& runner, QWidget* owner)
{
    const QString section = QStringLiteral("Dialogs");
    const QString key = QStringLiteral("ShowFirstWarning");
    if (settings.read(section, key, QStringLiteral("1")) == QLatin1String("0"))
        return;
    frmFirstWarning warning(owner);
    // It comes before the main window is shown, so there is nothing to centre on.
    if (const QScreen* screen = warning.screen(); screen && !(owner && owner->isVisible()))
        warning.move(screen->availableGeometry().center() - warning.rect().center());
    runner.run(warning);
    settings.write(section, key, QStringLiteral("0"));
}

void ShowNoArchiveWarning(DialogRunner& runner, QWidget* owner)
{
    frmNoArchiveWarning warning(owner);
    runner.run(warning);
}

} // namespace kestrel::dialogs
