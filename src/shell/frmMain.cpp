#include "frmMain.h"

#include "FileDialogFolderPicker.h"
#include "RdoSession.h"
#include "SettingsStore.h"
#include "StoreLists.h"
#include "StoredAction.h"
#include "WaveSoundPlayer.h"
#include "dialogs/MessageBoxService.h"
#include "dialogs/Notices.h"
#include "dialogs/WindowChrome.h"
#include "dialogs/frmPictures.h"
#include "engine/ProgramFiles.h"
#include "folders/FolderTreeView.h"
#include "folders/mdlMAPI.h"
#include "platform/MailProfile.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>

namespace kestrel::shell {

static const QString kConfig = QStringLiteral("Config");

static ShellServices withDefaults(ShellServices services)
{
    if (!services.folderPicker)
        services.folderPicker = std::make_shared<FileDialogFolderPicker>();
    if (!services.sound)
        services.sound = std::make_shared<WaveSoundPlayer>(services.beep);
    if (!services.profileLocation)
        services.profileLocation = [] { return platform::MailProfile::location(); };
    if (!services.mailPlaces)
        services.mailPlaces = [] { return platform::maildir::LocalMailPlaces::ofCurrentUser(); };
    return services;
}

frmMain::frmMain(ShellServices services, QWidget* parent)
    : QWidget(parent, Qt::Window), m_services(withDefaults(std::move(services))),
      m_runner(std::make_unique<engine::TaskRunner>(
          *this, *m_services.sound, *m_services.settings,
          engine::ProgramDataDirectory(QCoreApplication::applicationDirPath(),
                                       QLatin1String(engine::kTaskCompleteSound))))
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("{APP}"));
    createControls();
    layOutControls();
    connectControls();
}

frmMain::~frmMain() = default;

dialogs::frmPictures& frmMain::pictures()
{
    if (!m_pictures)
        m_pictures = std::make_unique<dialogs::frmPictures>();
    return *m_pictures;
}

StartupOutcome frmMain::startUp()
{
    dialogs::ShowFirstWarning(*m_services.settings, *m_services.dialogs, this);

    dialogs::applyWindowChrome(*this);
    imgLEDIdle->move(imgLEDBusy->pos());
    lblVer->setText(QStringLiteral("V.%1.%2.%3")
                        .arg(KESTREL_VERSION_MAJOR)
                        .arg(KESTREL_VERSION_MINOR)
                        .arg(KESTREL_VERSION_PATCH));
    fillFixedControls();

    setCursor(Qt::WaitCursor);
    cmdQuit->setEnabled(false);
    EnableArchiveButton();
    GoBusy(true);

    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    show();
    repaint();
    processEventsTwice();

    SetAppStatus(QStringLiteral("Opening the mail stores..."));

    OutlookApp = m_services.createApplication();
    // No profile yet: the user chooses the stores now.
    if (!OutlookApp && !(OutlookApp = setUpFirstStores()))
        return StartupOutcome::NoApplication;

    // A failed logon shows up as a missing session.
    OutlookNamespace = OutlookApp->getNamespace(QStringLiteral("MAPI"));
    if (OutlookNamespace)
        OutlookNamespace->logon();

    if (OutlookNamespace)
        MapiSession = OpenRDOSession(*OutlookNamespace);
    if (!MapiSession) {
        m_services.messages->stop(this, openingFailedText(OutlookNamespace.get()));
        unload();
        return StartupOutcome::SessionFailed;
    }

    PopulateTopLevelFolders();
    restoreRemembered();

    SetAppStatus(QString());
    cbTopFolder->setEnabled(true);
    cmdQuit->setEnabled(true);
    GoBusy(false);
    unsetCursor();

    reportUnusableStores();
    if (TopLevelFolders.count() < 2) {
        m_services.beep();
        dialogs::ShowNoArchiveWarning(*m_services.dialogs, this);
    }

    tvFolders->setFocus();
    return StartupOutcome::Running;
}

void frmMain::fillFixedControls()
{
    cbDateBase->addItems({QStringLiteral("Date Received"), QStringLiteral("Date Sent"),
                          QStringLiteral("Date Modified"), QStringLiteral("Date Created"),
                          QStringLiteral("Received, Sent, Modified, Created")});
    cbDateBase->setCurrentIndex(0);
    cbAction->addItems({QStringLiteral("Move Items"), QStringLiteral("Copy Items"),
                        QStringLiteral("Delete Items")});
    cbAction->setCurrentIndex(0);
    cbPriority->addItems({QStringLiteral("Low"), QStringLiteral("Normal"), QStringLiteral("High")});
    cbPriority->setCurrentIndex(2);
    dtStart->setDate(QDate(1900, 1, 1));
    dtEnd->setDate(QDate(QDate::currentDate().year() - 1, 12, 31));
    const SettingsStore& settings = *m_services.settings;
    txtSrcFileSystemFolder->setText(settings.read(kConfig, QStringLiteral("SourceDiskFolder"), {}));
    txtDstFileSystemFolder->setText(
        settings.read(kConfig, QStringLiteral("DestinationDiskFolder"), {}));
}

void frmMain::PopulateTopLevelFolders()
{
    TopLevelFolders = folders::LoadTopLevelFolders(*OutlookNamespace);
    fillStoreList(*cbTopFolder, TopLevelFolders);
    fillStoreList(*cbArchiveFolder, TopLevelFolders);
}

void frmMain::restoreRemembered()
{
    if (!SelectDefaultStore(*cbTopFolder, TopLevelFolders,
                            folders::GetDefaultStoreID(MapiSession.get())))
        SelectFolder(*cbTopFolder, QStringLiteral("Personal Folders"));

    const QString destination =
        m_services.settings->read(kConfig, QStringLiteral("Destination"), {});
    if (destination.isEmpty() || !SelectFolder(*cbArchiveFolder, destination))
        SelectFolder(*cbArchiveFolder, QStringLiteral("Archive"));

    const QString stored = m_services.settings->read(kConfig, QStringLiteral("Action"), {});
    if (const std::optional<int> action = storedActionPosition(stored)) {
        if (*action >= 0 && *action < cbAction->count())
            cbAction->setCurrentIndex(*action);
    }
}

void frmMain::cbAction_Click()
{
    const QPixmap picture = pictures().actionPicture(cbAction->currentIndex());
    if (!picture.isNull())
        imgAction->setPixmap(picture);
}

const folders::CMapiFolder* frmMain::selectedStore(const QComboBox& list) const
{
    return TopLevelFolders.item(storePosition(list, list.currentIndex()));
}

// The window stays disabled and busy while the source's folders load.
void frmMain::cbTopFolder_Click()
{
    const bool wasEnabled = isEnabled();
    setEnabled(false);
    GoBusy(true);
    const bool disk = IsDiskFolderSelected(*cbTopFolder);
    txtSrcFileSystemFolder->setEnabled(disk);
    cmdPickSrcFileSystemFolder->setEnabled(disk);
    if (disk) {
        fillEmptyDiskFolder(*txtSrcFileSystemFolder);
        tvFolders->ClearChildFolders();
    } else {
        m_loadingFolders = true;
        tvFolders->ShowChildFolders(OutlookNamespace.get(), selectedStore(*cbTopFolder));
        m_loadingFolders = false;
    }
    EnableArchiveButton();
    GoBusy(false);
    setEnabled(wasEnabled);
    if (m_closeAfterLoading) {
        m_closeAfterLoading = false;
        close();
        return;
    }
    processEventsTwice();
    // A disabled window takes no focus: caret and focus come once it is back.
    if (disk) {
        txtSrcFileSystemFolder->end(false);
        txtSrcFileSystemFolder->setFocus();
    }
}

void frmMain::cbArchiveFolder_Click()
{
    const bool disk = IsDiskFolderSelected(*cbArchiveFolder);
    txtDstFileSystemFolder->setEnabled(disk);
    cmdPickDstFileSystemFolder->setEnabled(disk);
    if (disk) {
        fillEmptyDiskFolder(*txtDstFileSystemFolder);
        txtDstFileSystemFolder->end(false);
        txtDstFileSystemFolder->setFocus();
    }
    EnableArchiveButton();
}

// The user's documents folder stands in for an empty disk-folder edit.
void frmMain::fillEmptyDiskFolder(QLineEdit& edit)
{
    if (edit.text().isEmpty())
        edit.setText(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
}

// A cancelled picker leaves the edit's text alone.
void frmMain::pickDiskFolder(QLineEdit& edit)
{
    const QString start = edit.text().trimmed();
    if (const std::optional<QString> chosen = m_services.folderPicker->pickFolder(this, start))
        edit.setText(*chosen);
    edit.setFocus();
}

std::unique_ptr<platform::Folder> frmMain::GetSelectedStore(const QComboBox& list) const
{
    const folders::CMapiFolder* record = selectedStore(list);
    if (!record || !OutlookNamespace)
        return nullptr;
    return folders::GetFolderFromPath(*OutlookNamespace, record->Path);
}

std::unique_ptr<platform::Folder> frmMain::GetSourceRoot() const
{
    return GetSelectedStore(*cbTopFolder);
}

std::unique_ptr<platform::Folder> frmMain::GetArchiveRoot() const
{
    return GetSelectedStore(*cbArchiveFolder);
}

// While a run goes on, Quit is the Stop button.
void frmMain::cmdQuit_Click()
{
    if (flags().TaskRunning) {
        m_runner->RequestStop();
        return;
    }
    Quit();
}

void frmMain::Quit()
{
    SettingsStore& settings = *m_services.settings;
    settings.write(kConfig, QStringLiteral("Destination"), cbArchiveFolder->currentText());
    settings.write(kConfig, QStringLiteral("Action"), QString::number(cbAction->currentIndex()));
    settings.write(kConfig, QStringLiteral("SourceDiskFolder"), txtSrcFileSystemFolder->text());
    settings.write(kConfig, QStringLiteral("DestinationDiskFolder"),
                   txtDstFileSystemFolder->text());
    close();
}

void frmMain::closeEvent(QCloseEvent* event)
{
    // The run is still on the stack below this event: closing now would pull
    // the session from under it. Closing asks it to stop instead.
    if (flags().TaskRunning) {
        m_runner->RequestStop();
        event->ignore();
        return;
    }
    // The folder list being loaded reads the namespace between its yields:
    // the window closes once the load is done.
    if (m_loadingFolders) {
        m_closeAfterLoading = true;
        event->ignore();
        return;
    }
    if (!m_unloaded)
        unload();
    event->accept();
}

// Releases the session objects in the reverse order of their creation.
void frmMain::unload()
{
    m_unloaded = true;
    TaskSettings.ArchiveRoot.reset();
    TaskSettings.SourceRoot.reset();
    CloseRDOSession(MapiSession);
    if (OutlookNamespace) {
        OutlookNamespace->logoff();
        OutlookNamespace.reset();
    }
    if (OutlookApp) {
        OutlookApp->quit();
        OutlookApp.reset();
    }
    hide();
    processEventsTwice();
    if (flags().TasksRunCount > 0)
        dialogs::ShowPerformanceTip(*m_services.settings, *m_services.dialogs, this);
    Q_EMIT programEnded();
}

void frmMain::processEventsTwice()
{
    QApplication::processEvents();
    QApplication::processEvents();
}

bool frmMain::IsFolderSelected() const
{
    return tvFolders->IsFolderSelected();
}

void frmMain::SetAppStatus(const QString& status)
{
    lblAppStatus->setText(status);
    lblAppStatus->repaint();
}

void frmMain::GoBusy(bool busy)
{
    imgLEDIdle->setVisible(!busy);
    imgLEDBusy->setVisible(busy);
    cmdSelectAll->setEnabled(!busy);
    cmdSelectNone->setEnabled(!busy);
    cmdSelectInvert->setEnabled(!busy);
}

void frmMain::EnableArchiveButton()
{
    bool enabled = true;
    if (cbArchiveFolder->currentIndex() < 0)
        enabled = false;
    if (cbTopFolder->currentIndex() == cbArchiveFolder->currentIndex())
        enabled = false;
    if (enabled && !IsDiskFolderSelected(*cbTopFolder))
        enabled = IsFolderSelected();
    cmdArchive->setEnabled(enabled);
    cmdPreview->setEnabled(enabled);
}

void frmMain::setCurrentFolderText(const QString& text)
{
    lblCurrentFolder->setText(text);
}

void frmMain::setCurrentActionText(const QString& text)
{
    lblCurrentAction->setText(text);
}

void frmMain::setProgressMaximum(int maximum)
{
    // A 0..0 bar would show Qt's busy animation; 0..1 at 0 shows it empty.
    pbCurrent->setMaximum(qMax(maximum, 1));
}

void frmMain::setProgressValue(int value)
{
    pbCurrent->setValue(value);
    pbCurrent->repaint();
}

void frmMain::setAppStatusUnpainted(const QString& status)
{
    lblAppStatus->setText(status);
}

void frmMain::setProgressValueUnpainted(int value)
{
    // QProgressBar repaints by itself when the bar grows by a chunk; during
    // the item loop only repaintProgress paints.
    pbCurrent->setUpdatesEnabled(false);
    pbCurrent->setValue(value);
    pbCurrent->setUpdatesEnabled(true);
}

void frmMain::repaintProgress()
{
    for (QWidget* part : std::initializer_list<QWidget*>{lblAppStatus, lblCurrentFolder,
                                                         lblCurrentAction, pbCurrent})
        part->repaint();
}

void frmMain::refreshFolderTree()
{
    if (OutlookNamespace && !TaskSettings.SourceIsDisk)
        tvFolders->RefreshFolderTree(*OutlookNamespace);
}

void frmMain::setProgressVisible(bool visible)
{
    pbCurrent->setVisible(visible);
}

void frmMain::enterRunningState()
{
    lockTaskControls(true);
    cmdArchive->setEnabled(false);
    cmdPreview->setEnabled(false);
    cmdQuit->setText(QStringLiteral("&Stop"));
    cmdQuit->setEnabled(true);
    setCursor(Qt::WaitCursor);
}

void frmMain::showStopping()
{
    cmdQuit->setText(QStringLiteral("WAIT"));
    cmdQuit->setEnabled(false);
}

void frmMain::leaveRunningState()
{
    cmdQuit->setText(QStringLiteral("&Quit"));
    cmdQuit->setEnabled(true);
    lockTaskControls(false);
    unsetCursor();
}

// A change of source, tree, filter or destination during a run would disturb
// the walk. The groups keep each control's own enabled state, so the
// disk-folder edits come back as they were. The action and the pattern stay
// open: the run took its action at its start, and a new pattern applies from
// the next exported item on.
void frmMain::lockTaskControls(bool locked)
{
    for (QWidget* control :
         std::initializer_list<QWidget*>{GroupBox4, GroupBox2, tvFolders, fraArchive, cbPriority})
        control->setEnabled(!locked);
}

void frmMain::yield()
{
    QApplication::processEvents();
}

void frmMain::repaintWindow()
{
    repaint();
}

} // namespace kestrel::shell
