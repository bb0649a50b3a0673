// The main window's mail stores: chosen on the first start, changed with
// "Stores…", and the stores of the profile that cannot be opened.
#include "ProductName.h"
#include "RdoSession.h"
#include "StoreLists.h"
#include "StoresSetup.h"
#include "dialogs/MessageBoxService.h"
#include "folders/FolderTreeView.h"
#include "folders/mdlMAPI.h"
#include "frmMain.h"

#include <QComboBox>
#include <QPushButton>

namespace kestrel::shell {

namespace {

QString describe(const platform::PlatformError& error)
{
    return error.detail.isEmpty() ? error.text : error.text + QStringLiteral(":\n") + error.detail;
}

QString listed(const QList<platform::PlatformError>& stores)
{
    QStringList lines;
    for (const platform::PlatformError& store : stores)
        lines.append(describe(store));
    return lines.join(QStringLiteral("\n\n"));
}

} // namespace

std::unique_ptr<platform::Application> frmMain::setUpFirstStores()
{
    StoresSetup setup(*m_services.dialogs, *m_services.folderPicker, m_services.keyring.get(),
                      m_services.profileLocation(), m_services.mailPlaces());
    QString text;
    switch (setup.run(this)) {
    case StoresSetup::Outcome::Written:
        if (auto application = m_services.createApplication())
            return application;
        text = QStringLiteral("The mail profile %1 was written but cannot be read.")
                   .arg(m_services.profileLocation());
        break;
    case StoresSetup::Outcome::Cancelled:
        text = QStringLiteral("No mail stores are set up, so there is no mail to archive.\n\nStart "
                              "the program again to choose them in the \"Mail stores\" dialog.");
        break;
    case StoresSetup::Outcome::Failed:
        text = QStringLiteral("The mail stores could not be set up.\n\n") + setup.lastError();
        break;
    }
    m_services.messages->stop(this, text);
    return nullptr;
}

QString frmMain::openingFailedText(const platform::Namespace* ns)
{
    QString text = QStringLiteral("The mail stores cannot be opened.");
    if (!ns)
        return text;
    if (!ns->lastError().text.isEmpty())
        text += QStringLiteral("\n\n") + describe(ns->lastError());
    if (const QList<platform::PlatformError> left = ns->unusableStores(); !left.isEmpty())
        text += QStringLiteral("\n\n") + listed(left);
    return text;
}

void frmMain::reportUnusableStores()
{
    const QList<platform::PlatformError> left =
        OutlookNamespace ? OutlookNamespace->unusableStores() : QList<platform::PlatformError>{};
    if (left.isEmpty())
        return;
    const QString text =
        (left.size() == 1
             ? QStringLiteral("This mail store cannot be used and is left out of the lists:")
             : QStringLiteral("These mail stores cannot be used and are left out of the lists:")) +
        QStringLiteral("\n\n") + listed(left) +
        QStringLiteral("\n\nChoose \"Stores…\" beside the Source list to change them.");
    m_services.messages->ask(this,
                             {text, dialogs::MessageIcon::Exclamation, dialogs::MessageButtons::Ok,
                              dialogs::MessageAnswer::Ok, QString::fromUtf8(kProductName)});
}

void frmMain::cmdStores_Click()
{
    // The button is locked with the source group while a run goes on.
    if (flags().TaskRunning || m_loadingFolders)
        return;
    StoresSetup setup(*m_services.dialogs, *m_services.folderPicker, m_services.keyring.get(),
                      m_services.profileLocation(), m_services.mailPlaces());
    switch (setup.run(this)) {
    case StoresSetup::Outcome::Cancelled:
        return;
    case StoresSetup::Outcome::Failed:
        m_services.messages->stop(
            this, QStringLiteral("The mail stores could not be changed.\n\n") + setup.lastError());
        return;
    case StoresSetup::Outcome::Written:
        reopenStores();
        return;
    }
}

// The new profile is opened before the old one is let go, so that a profile
// that cannot be opened leaves the window as it was.
bool frmMain::reopenStores()
{
    const QString source = cbTopFolder->currentText();
    const QString destination = cbArchiveFolder->currentText();

    std::unique_ptr<platform::Application> application = m_services.createApplication();
    std::unique_ptr<platform::Namespace> ns =
        application ? application->getNamespace(QStringLiteral("MAPI")) : nullptr;
    if (ns)
        ns->logon();
    std::unique_ptr<platform::Session> session = ns ? OpenRDOSession(*ns) : nullptr;
    if (!session) {
        m_services.messages->stop(this, openingFailedText(ns.get()));
        return false;
    }

    TaskSettings.ArchiveRoot.reset();
    TaskSettings.SourceRoot.reset();
    tvFolders->ClearChildFolders();
    CloseRDOSession(MapiSession);
    if (OutlookNamespace)
        OutlookNamespace->logoff();
    OutlookNamespace.reset();
    if (OutlookApp)
        OutlookApp->quit();
    OutlookApp = std::move(application);
    OutlookNamespace = std::move(ns);
    MapiSession = std::move(session);

    PopulateTopLevelFolders();
    if (const int at = cbTopFolder->findText(source); at >= 0)
        cbTopFolder->setCurrentIndex(at);
    else if (!SelectDefaultStore(*cbTopFolder, TopLevelFolders,
                                 folders::GetDefaultStoreID(MapiSession.get())))
        SelectFolder(*cbTopFolder, QStringLiteral("Personal Folders"));
    if (const int at = cbArchiveFolder->findText(destination); at >= 0)
        cbArchiveFolder->setCurrentIndex(at);
    else
        SelectFolder(*cbArchiveFolder, QStringLiteral("Archive"));
    EnableArchiveButton();
    reportUnusableStores();
    return true;
}

} // namespace kestrel::shell
