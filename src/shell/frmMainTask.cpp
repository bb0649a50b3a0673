// The task driver of frmMain: Start, Preview, the check of the choices before
// a run, and the confirmation. The run itself is engine::TaskRunner's.
#include "SettingsStore.h"
#include "StoreLists.h"
#include "dialogs/ConfirmAction.h"
#include "dialogs/MessageBoxService.h"
#include "engine/PathRoutines.h"
#include "engine/TaskVerification.h"
#include "folders/FolderTreeView.h"
#include "frmMain.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>

namespace kestrel::shell {

namespace {

const QString kConfig = QStringLiteral("Config");

bool isTicked(const QCheckBox& box)
{
    return box.checkState() == Qt::Checked;
}

} // namespace

void frmMain::cmdArchive_Click()
{
    DoTask(false);
    // Whatever became of the run, refused and cancelled ones too.
    SettingsStore& settings = *m_services.settings;
    settings.write(kConfig, QStringLiteral("SourceDiskFolder"), txtSrcFileSystemFolder->text());
    settings.write(kConfig, QStringLiteral("DestinationDiskFolder"),
                   txtDstFileSystemFolder->text());
}

void frmMain::cmdPreview_Click()
{
    DoTask(true);
}

void frmMain::DoTask(bool previewMode)
{
    SetAppStatus(QString());
    lblDetails->hide(); // with the summary it stands beside
    TaskSettings.PreviewMode = previewMode;
    TaskSettings.Action = cbAction->currentIndex();
    TaskSettings.SourceIsDisk = IsDiskFolderSelected(*cbTopFolder);
    TaskSettings.DestinationIsDisk = IsDiskFolderSelected(*cbArchiveFolder);
    if (!VerifyTaskSettings())
        return;
    // A Start that passed the check counts even when it goes no further.
    if (!previewMode)
        ++flags().TasksRunCount;

    TaskSettings.SourceRoot.reset();
    TaskSettings.SourceDiskFolder =
        TaskSettings.SourceIsDisk ? txtSrcFileSystemFolder->text() : QString();
    if (!TaskSettings.SourceIsDisk) {
        TaskSettings.SourceRoot = GetSourceRoot();
        if (!TaskSettings.SourceRoot) {
            m_services.messages->stop(this, QStringLiteral("Cannot open the 'Source' Root."));
            return;
        }
    }
    TaskSettings.ArchiveRoot.reset();
    if (TaskSettings.DestinationIsDisk) {
        TaskSettings.DestinationPath =
            engine::AddPathSeparator(txtDstFileSystemFolder->text().trimmed());
    } else {
        TaskSettings.ArchiveRoot = GetArchiveRoot();
        if (!TaskSettings.ArchiveRoot) {
            m_services.messages->stop(this, QStringLiteral("Cannot open the 'Destination' Root."));
            return;
        }
    }
    if (!ConfirmAction())
        return;

    TaskSettings.IncludeUnread = isTicked(*chkIncludeUnread);
    TaskSettings.RespectNoArchive = isTicked(*chkNoAging);
    TaskSettings.StartDate = QDateTime(dtStart->date(), QTime(0, 0, 0));
    TaskSettings.EndDate = QDateTime(dtEnd->date(), QTime(23, 59, 59));
    TaskSettings.DateBase = cbDateBase->currentIndex();

    QList<engine::TaskFolder> folders;
    for (const folders::FolderTreeView::Node& node : tvFolders->nodesInAdditionOrder())
        folders.append(
            {folders::FolderTreeView::ExtractFolderName(node.text), node.path, node.checked});
    if (!OutlookNamespace)
        return;
    beginReport();
    m_runner->Run(TaskSettings, cbPriority->currentIndex(), *OutlookNamespace, MapiSession.get(),
                  folders);
    endReport();
}

bool frmMain::VerifyTaskSettings()
{
    engine::TaskChoices choices;
    choices.sourceChosen = cbTopFolder->currentIndex() >= 0;
    choices.destinationChosen = cbArchiveFolder->currentIndex() >= 0;
    choices.sameEntry = cbTopFolder->currentIndex() == cbArchiveFolder->currentIndex();
    choices.Action = TaskSettings.Action;
    choices.SourceIsDisk = TaskSettings.SourceIsDisk;
    // A root that cannot be opened is told when the run opens it.
    choices.isSourceReadOnly = [this] {
        const std::unique_ptr<platform::Folder> root = GetSourceRoot();
        return root && root->isReadOnly();
    };
    choices.sourceDiskFolder = txtSrcFileSystemFolder->text();
    choices.DestinationIsDisk = TaskSettings.DestinationIsDisk;
    choices.destinationDiskFolder = txtDstFileSystemFolder->text();
    const engine::TaskVerification check = engine::VerifyTaskChoices(choices);
    if (!check.DestinationPath.isEmpty())
        TaskSettings.DestinationPath = check.DestinationPath;

    dialogs::MessageBoxService& messages = *m_services.messages;
    using engine::VerifyStep;
    switch (check.step) {
    case VerifyStep::Passed:
        return true;
    case VerifyStep::NoSource:
        messages.information(this, check.text);
        cbTopFolder->setFocus();
        return false;
    case VerifyStep::NoDestination:
        messages.information(this, check.text);
        cbArchiveFolder->setFocus();
        return false;
    case VerifyStep::SameEntry:
        messages.stop(this, check.text);
        cbArchiveFolder->setFocus();
        return false;
    case VerifyStep::NoSourceFolder:
    case VerifyStep::MissingSourceFolder:
        messages.stop(this, check.text);
        return false;
    case VerifyStep::ReadOnlySource:
        messages.stop(this, check.text);
        cbAction->setFocus();
        return false;
    case VerifyStep::NoDestinationFolder:
        messages.stop(this, check.text);
        txtDstFileSystemFolder->setFocus();
        return false;
    case VerifyStep::RootFolder:
        break;
    }

    dialogs::MessageBoxRequest question;
    question.text = check.text;
    question.icon = dialogs::MessageIcon::Question;
    question.buttons = dialogs::MessageButtons::YesNo;
    question.defaultButton = dialogs::MessageAnswer::No;
    if (messages.ask(this, question) == dialogs::MessageAnswer::Yes)
        return true;
    txtDstFileSystemFolder->end(false);
    txtDstFileSystemFolder->setFocus();
    return false;
}

bool frmMain::ConfirmAction()
{
    dialogs::ConfirmRequest request;
    request.action = TaskSettings.Action;
    request.previewMode = TaskSettings.PreviewMode;
    request.sourceIsDisk = TaskSettings.SourceIsDisk;
    request.sourceDiskFolder = txtSrcFileSystemFolder->text();
    if (TaskSettings.SourceRoot)
        request.sourceRootName = TaskSettings.SourceRoot->name();
    request.destinationIsDisk = TaskSettings.DestinationIsDisk;
    request.destinationPath = TaskSettings.DestinationPath;
    if (TaskSettings.ArchiveRoot)
        request.archiveRootName = TaskSettings.ArchiveRoot->name();
    return dialogs::ConfirmAction(request, *m_services.settings, dialogs::IsControlKeyDown(),
                                  *m_services.dialogs, this);
}

} // namespace kestrel::shell
