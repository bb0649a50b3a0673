#include "ConfirmAction.h"

#include "DialogRunner.h"
#include "frmConfirm.h"
#include "shell/SettingsStore.h"

#include <QCheckBox>
#include <QGuiApplication>

namespace kestrel::dialogs {

namespace {

constexpr int kDeleteAction = 2;

} // namespace

QString ActionDescription(int action, bool previewMode)
{
    static const char* const texts[] = {"MOVE MATCHING MESSAGES", "COPY MATCHING MESSAGES",
                                        "DELETE MATCHING MESSAGES"};
    const QString prefix = previewMode ? QStringLiteral("PREVIEW ") : QString();
    if (action < 0 || action > kDeleteAction)
        return prefix;
    return prefix + QLatin1String(texts[action]);
}

bool IsControlKeyDown()
{
    return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ControlModifier);
}

bool ConfirmAction(const ConfirmRequest& request, SettingsStore& settings, bool controlKeyDown,
                   DialogRunner& runner, QWidget* owner)
{
    const QString section = QStringLiteral("Dialogs");
    const QString key = QStringLiteral("ShowConfirmation");
    bool show = settings.read(section, key, QStringLiteral("1")) == QLatin1String("1");
    if (controlKeyDown || request.action == kDeleteAction)
        show = true;
    if (!show)
        return true;

    frmConfirm dialog(owner);
    // A name that cannot be read leaves the frame's designed text.
    if (request.sourceIsDisk)
        dialog.setSourceFolder(request.sourceDiskFolder);
    else if (request.sourceRootName)
        dialog.setSourceFolder(*request.sourceRootName);
    if (request.destinationIsDisk)
        dialog.setDestinationFolder(request.destinationPath);
    else if (request.archiveRootName)
        dialog.setDestinationFolder(*request.archiveRootName);
    dialog.setShowDialog(true);
    if (request.action == kDeleteAction)
        dialog.chkDoNotShow->hide();
    dialog.setActionMode(request.action);
    dialog.setActionDescription(ActionDescription(request.action, request.previewMode));

    runner.run(dialog);
    const bool result = !dialog.IsCanceled();
    const bool showNextTime = dialog.IsShowDialog();
    if (request.action != kDeleteAction)
        settings.write(section, key, showNextTime ? QStringLiteral("1") : QStringLiteral("0"));
    return result;
}

} // namespace kestrel::dialogs
