#include "ShowConfig.h"

#include "DialogRunner.h"
#include "frmConfig.h"
#include "shell/SettingsStore.h"

namespace kestrel::dialogs {

void ShowConfig(SettingsStore& settings, DialogRunner& runner, QWidget* owner)
{
    const QString section = QStringLiteral("MSG");
    const QString key = QStringLiteral("Pattern");
    frmConfig dialog(owner);
    dialog.setMSGPattern(settings.read(section, key, QStringLiteral("%ct% %su%")));
    runner.run(dialog);
    if (!dialog.IsCanceled())
        settings.write(section, key, dialog.MSGPattern());
}

} // namespace kestrel::dialogs
