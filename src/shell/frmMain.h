#pragma once

#include "ShellServices.h"
#include "StatusLine.h"
#include "engine/TaskRunner.h"
#include "engine/TaskSettings.h"
#include "engine/TaskView.h"
#include "folders/TopLevelFolders.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class QComboBox;
class QDateEdit;
class QCheckBox;
class QFileDialog;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace kestrel::folders {
class FolderTreeView;
}
namespace kestrel::engine {
class RunReport;
}
namespace kestrel::dialogs {
class BorderShape;
class WindowDragger;
class frmPictures;
} // namespace kestrel::dialogs

namespace kestrel::shell {

class ImageList;
class frmReport;

// How start-up ended; main() acts on it.
enum class StartupOutcome {
    Running,       // the window is up and idle
    NoApplication, // no mail application: end at once, nothing saved
    SessionFailed, // no session: the window was unloaded, end
};

// The program's only working window: store choice, folder tree, filter and
// task settings, progress and the command buttons.
class frmMain : public QWidget, public engine::TaskView {
    Q_OBJECT
public:
    explicit frmMain(ShellServices services, QWidget* parent = nullptr);
    ~frmMain() override;

    // The start-up sequence; shows the window.
    StartupOutcome startUp();
    // The Quit button while idle: writes "Config", then unloads.
    void Quit();
    bool isUnloaded() const { return m_unloaded; }

    // engine::TaskView
    void SetAppStatus(const QString& status) override;
    void GoBusy(bool busy) override;
    void EnableArchiveButton() override;
    void setCurrentFolderText(const QString& text) override;
    void setCurrentActionText(const QString& text) override;
    void setProgressMaximum(int maximum) override;
    void setProgressValue(int value) override;
    void setProgressVisible(bool visible) override;
    void enterRunningState() override;
    void showStopping() override;
    void leaveRunningState() override;
    void yield() override;
    void repaintWindow() override;
    void setAppStatusUnpainted(const QString& status) override;
    void setProgressValueUnpainted(int value) override;
    void repaintProgress() override;
    void refreshFolderTree() override;
    void ItemDone(const engine::ItemReport& report) override;

    bool IsFolderSelected() const;
    // The store record an entry of a store list stands for, or nullptr.
    const folders::CMapiFolder* selectedStore(const QComboBox& list) const;
    // The root folder of the store chosen in list; nullptr for no entry,
    // "[Disk Folder]" or a store that cannot be opened.
    std::unique_ptr<platform::Folder> GetSelectedStore(const QComboBox& list) const;
    std::unique_ptr<platform::Folder> GetSourceRoot() const;
    std::unique_ptr<platform::Folder> GetArchiveRoot() const;

    // frmMainTask.cpp: Start (PreviewMode false) and Preview.
    void DoTask(bool previewMode);
    // Checks the choices of the window before a run; every refusal has told
    // the user (and moved the focus where the user has to act).
    bool VerifyTaskSettings();
    // Go on with the run? False when the user cancelled the confirmation.
    bool ConfirmAction();

    // Session objects, held from start-up to shutdown.
    std::unique_ptr<platform::Application> OutlookApp;
    std::unique_ptr<platform::Namespace> OutlookNamespace;
    std::unique_ptr<platform::Session> MapiSession;
    folders::TopLevelFolders TopLevelFolders;

    // The parameters of the current or last run; the roots stay held until
    // the run ends or the window unloads.
    engine::TaskSettings TaskSettings;
    // TaskRunning, StopRequested and TasksRunCount.
    engine::TaskRunFlags& flags() { return m_runner->flags(); }
    const engine::TaskRunner& runner() const { return *m_runner; }

    // Controls, by group, in layout order.
    QGroupBox* GroupBox4;
    QComboBox* cbTopFolder;
    QLineEdit* txtSrcFileSystemFolder;
    QPushButton* cmdPickSrcFileSystemFolder;
    QPushButton* cmdStores;
    QLabel* Label13;
    QGroupBox* GroupBox2;
    QComboBox* cbArchiveFolder;
    QLineEdit* txtDstFileSystemFolder;
    QPushButton* cmdPickDstFileSystemFolder;
    QLabel* Label12;
    QGroupBox* GroupBox1;
    folders::FolderTreeView* tvFolders;
    ImageList* imgCheckBoxes;
    QPushButton* cmdSelectAll;
    QPushButton* cmdSelectNone;
    QPushButton* cmdSelectInvert;
    QGroupBox* fraArchive;
    QLabel* Label2;
    QComboBox* cbDateBase;
    QLabel* Label3;
    QDateEdit* dtStart;
    QLabel* Label4;
    QDateEdit* dtEnd;
    QCheckBox* chkIncludeUnread;
    QCheckBox* chkNoAging;
    QGroupBox* GroupBox3;
    QLabel* Label8;
    QComboBox* cbAction;
    QLabel* imgAction;
    QLabel* Label10;
    QComboBox* cbPriority;
    QPushButton* cmdConfig;
    QGroupBox* fraProgress;
    QLabel* Label5;
    QLabel* lblCurrentFolder;
    QLabel* Label6;
    QLabel* lblCurrentAction;
    QProgressBar* pbCurrent;
    QPushButton* cmdArchive;
    QPushButton* cmdPreview;
    QPushButton* cmdQuit;
    QPushButton* cmdMinimize;
    StatusLine* lblAppStatus;
    // Beside the status line after a run: opens the run's report.
    QLabel* lblDetails;
    QLabel* imgLEDIdle;
    QLabel* imgLEDBusy;
    QLabel* imgAppName;
    QLabel* lblVer;
    QLabel* Label9;
    QFileDialog* cmdDialog;
    dialogs::BorderShape* shaBorder;

    // frmMainReport.cpp: the report of the last run, in its window.
    void showReport();
    frmReport* reportWindow() const;
    // Undoes the newest Start not undone yet from its journal, and shows
    // what the undo did in the report window.
    void undoLastRun();
    const engine::RunReport* lastReport() const { return m_report.get(); }

    dialogs::WindowDragger* dragger() const { return m_dragger; }
    // Loaded on first use, hidden for the window's life.
    dialogs::frmPictures& pictures();

Q_SIGNALS:
    // The shutdown sequence has run: the program ends.
    void programEnded();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // frmMainControls.cpp
    void createControls();
    QWidget* createHeader();
    QWidget* createFooter();
    void layOutControls();
    void connectControls();

    void fillFixedControls();
    void restoreRemembered();
    void PopulateTopLevelFolders();
    // frmMainStores.cpp
    std::unique_ptr<platform::Application> setUpFirstStores();
    static QString openingFailedText(const platform::Namespace* ns);
    void reportUnusableStores();
    void cmdStores_Click();
    bool reopenStores();

    void cmdQuit_Click();
    void cmdArchive_Click();
    void cmdPreview_Click();
    void cbAction_Click();
    void cbTopFolder_Click();
    void cbArchiveFolder_Click();
    void pickDiskFolder(QLineEdit& edit);
    void fillEmptyDiskFolder(QLineEdit& edit);
    void lockTaskControls(bool locked);
    void unload();
    void processEventsTwice();

    // frmMainReport.cpp
    void beginReport();
    void endReport();
    void openReport(const QString& summary);

    ShellServices m_services;
    std::unique_ptr<engine::TaskRunner> m_runner;
    dialogs::WindowDragger* m_dragger = nullptr;
    std::unique_ptr<dialogs::frmPictures> m_pictures;
    bool m_unloaded = false;
    bool m_loadingFolders = false;
    bool m_closeAfterLoading = false;
    std::shared_ptr<engine::RunReport> m_report;
    QPointer<frmReport> m_reportWindow;
};

} // namespace kestrel::shell
