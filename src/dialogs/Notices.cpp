#include "Notices.h"

#include "DialogRunner.h"
#include "SettingsStore.h"
#include "frmFirstWarning.h"
#include "frmNoArchiveWarning.h"

namespace kestrel::dialogs {

void ShowFirstWarning(SettingsStore& settings, DialogRunner& runner, QWidget* owner)
{
    const QString section = QStringLiteral("Dialogs");
    const QString key = QStringLiteral("ShowFirstWarning");
    if (settings.read(section, key, QStringLiteral("1")) == QLatin1String("0"))
        return;
    frmFirstWarning warning(owner);
    runner.run(warning);
    settings.write(section, key, QStringLiteral("0"));
}

void ShowNoArchiveWarning(DialogRunner& runner, QWidget* owner)
{
    frmNoArchiveWarning warning(owner);
    runner.run(warning);
}

} // namespace kestrel::dialogs
