#include "ShellFixture.h"
#include "shell/WindowPasswordSource.h"
#include "shell/frmImapAccount.h"
#include "shell/frmPassword.h"
#include "shell/frmStores.h"
#include "support/ImapTestServer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QTreeWidget>

using kestrel::shell::frmImapAccount;
using kestrel::shell::frmStores;
using kestrel::test::ShellFixture;

namespace {

const QString kPassword = QStringLiteral("Kx7-unusual-Secret");

// The files below root that hold needle.
QStringList filesHolding(const QString& root, const QString& needle)
{
    QStringList found;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (file.open(QIODevice::ReadOnly) && file.readAll().contains(needle.toUtf8()))
            found.append(file.fileName());
    }
    return found;
}

void fillAccount(frmImapAccount& account)
{
    account.txtHost->setText("127.0.0.1");
    account.cbSecurity->setCurrentIndex(1); // STARTTLS
    account.txtUser->setText("demo");
    account.txtPassword->setText(kPassword);
    account.txtName->setText("Work mail");
}

class ImapAccountDialog : public ShellFixture {
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        settings->write("Dialogs", "ShowFirstWarning", "0");
        dialogs.answer = [](QDialog& shown) { return shown.result(); };
        profile = writeProfile({{"Personal Folders", demoStoreDir("Personal Folders")},
                                {"Archive", demoStoreDir("Archive")}});
        useProfile(profile);
    }

    // Adds the account that fill describes in the stores dialog and presses
    // Okay there; rows gets the dialog's rows, note its red line.
    void addAccount(const std::function<void(frmImapAccount&)>& fill)
    {
        dialogs.inspect = [&](QDialog& shown) {
            if (auto* account = qobject_cast<frmImapAccount*>(&shown)) {
                fill(*account);
                account->cmdOkay->click();
            } else if (auto* stores = qobject_cast<frmStores*>(&shown)) {
                stores->cmdAddImap->click();
                for (int i = 0; i < stores->lstStores->topLevelItemCount(); ++i)
                    rows.append(stores->lstStores->topLevelItem(i)->text(0) + " | " +
                                stores->lstStores->topLevelItem(i)->text(2));
                note = stores->lblProblem->text();
                stores->cmdOkay->click();
            }
        };
        window = start();
        window->cmdStores->click();
    }

    std::unique_ptr<kestrel::shell::frmMain> window;
    QString profile;
    QStringList rows;
    QString note;
};

} // namespace

TEST_F(ImapAccountDialog, AnAddedAccountIsAStoreWithoutPathAndItsPasswordIsOnlyInTheKeyring)
{
    addAccount([](frmImapAccount& account) {
        fillAccount(account);
        EXPECT_EQ(account.txtPort->value(), 143) << "STARTTLS proposes its port";
    });

    EXPECT_EQ(rows.last(), "Work mail | demo@127.0.0.1");
    EXPECT_TRUE(note.isEmpty()) << note.toStdString();
    QSettings written(profile, QSettings::IniFormat);
    written.beginGroup("Store3");
    EXPECT_EQ(written.childKeys(),
              (QStringList{"Host", "Name", "Port", "Security", "Type", "User"}));
    EXPECT_EQ(written.value("Name").toString(), "Work mail");
    EXPECT_EQ(written.value("Type").toString(), "imap");
    EXPECT_EQ(written.value("Host").toString(), "127.0.0.1");
    EXPECT_EQ(written.value("Port").toString(), "143");
    EXPECT_EQ(written.value("Security").toString(), "starttls");
    EXPECT_EQ(written.value("User").toString(), "demo");
    written.endGroup();
    EXPECT_EQ(keyring->secrets, (QMap<QString, QString>{{"imap://demo@127.0.0.1:143", kPassword}}));
    EXPECT_EQ(filesHolding(dir.path(), kPassword), QStringList{});

    // Opened again, the server's row is read back (the port its security's
    // when none is written) and written as it was.
    QSettings(profile, QSettings::IniFormat).remove("Store3/Port");
    rows.clear();
    dialogs.inspect = [&](QDialog& shown) {
        if (auto* stores = qobject_cast<frmStores*>(&shown)) {
            const QTreeWidgetItem* row = stores->lstStores->topLevelItem(2);
            rows.append(row->text(1) + " | " + row->text(2));
            stores->cmdOkay->click();
        }
    };
    window->cmdStores->click();
    EXPECT_EQ(rows, QStringList{"127.0.0.1:143 | demo@127.0.0.1"});
    QSettings again(profile, QSettings::IniFormat);
    EXPECT_FALSE(again.contains("Store3/Path"));
    EXPECT_EQ(again.value("Store3/Host").toString(), "127.0.0.1");
}

TEST_F(ImapAccountDialog, WithoutAKeyringTheAccountIsAddedAndTheDialogSaysThePasswordWillBeAsked)
{
    keyring->reachable = false;
    addAccount([](frmImapAccount& account) {
        fillAccount(account);
        account.txtName->clear(); // the host names the store then
    });

    EXPECT_EQ(rows.last(), "127.0.0.1 | demo@127.0.0.1");
    EXPECT_TRUE(note.contains("demo@127.0.0.1")) << note.toStdString();
    EXPECT_TRUE(note.contains("no service")) << note.toStdString();
    QSettings written(profile, QSettings::IniFormat);
    EXPECT_EQ(written.value("Store3/Name").toString(), "127.0.0.1");
    EXPECT_EQ(filesHolding(dir.path(), kPassword), QStringList{});
}

namespace {

// "Test connection" against a real Dovecot, through the dialog's controls.
class ImapConnectionTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.start()) << server.lastError().toStdString(); }

    // Presses "Test connection" and waits for what it shows.
    void test()
    {
        QSignalSpy tested(&dialog, &frmImapAccount::connectionTested);
        dialog.cmdTest->click();
        ASSERT_TRUE(tested.wait(30000)) << "no outcome";
    }
    QStringList folders() const
    {
        QStringList names;
        for (int i = 0; i < dialog.lstFolders->count(); ++i)
            names.append(dialog.lstFolders->item(i)->text());
        return names;
    }
    static QString hexOnly(QString fingerprint) { return fingerprint.remove(':').toLower(); }

    kestrel::test::ImapTestServer server;
    kestrel::test::MemoryKeyring keyring;
    frmImapAccount dialog{&keyring};
};

} // namespace

TEST_F(ImapConnectionTest, ShowsTheFoldersOrTheServersReason)
{
    ASSERT_TRUE(server.createMailbox("Archive/2020"));
    dialog.txtHost->setText(server.host());
    dialog.cbSecurity->setCurrentIndex(2); // None
    dialog.txtPort->setValue(server.port());
    dialog.txtUser->setText(server.user());
    dialog.txtPassword->setText(server.password() + "x");
    dialog.show();

    // The window's password source is installed, as in the program.
    kestrel::test::RecordingDialogRunner asked;
    kestrel::shell::WindowPasswordSource source(keyring, asked);
    kestrel::platform::imap::setPasswordSource(&source);
    test();
    kestrel::platform::imap::setPasswordSource(nullptr);
    EXPECT_EQ(asked.shown, QStringList{}) << "the typed password is the one tested";
    EXPECT_FALSE(dialog.lstFolders->isVisible());
    EXPECT_TRUE(dialog.lblTest->text().contains("uthentication failed"))
        << dialog.lblTest->text().toStdString();

    dialog.txtPassword->setText(server.password());
    test();
    EXPECT_TRUE(dialog.lstFolders->isVisible()) << dialog.lblTest->text().toStdString();
    const QStringList names = folders();
    for (const char* name : {"Inbox", "Trash", "Archive/2020"})
        EXPECT_TRUE(names.contains(name)) << name << " in " << names.join(", ").toStdString();
}

TEST_F(ImapConnectionTest, AnUntrustedCertificateIsShownAndTrustedWhenTheUserTicksIt)
{
    dialog.txtHost->setText(server.host());
    dialog.txtPort->setValue(server.tlsPort()); // TLS
    dialog.txtUser->setText(server.user());
    dialog.txtPassword->setText(server.password());
    dialog.show();

    test();
    ASSERT_TRUE(dialog.chkTrust->isVisible()) << dialog.lblTest->text().toStdString();
    EXPECT_FALSE(dialog.lstFolders->isVisible());
    const QString shown = dialog.lblCertificate->text().section('\n', -1);
    EXPECT_EQ(hexOnly(shown), server.certificateFingerprint());

    dialog.chkTrust->setChecked(true);
    test();
    EXPECT_TRUE(folders().contains("Inbox")) << dialog.lblTest->text().toStdString();
    EXPECT_EQ(hexOnly(dialog.account().certificateFingerprint), server.certificateFingerprint());
}

TEST_F(ImapAccountDialog, AtLogonTheWindowAsksForThePasswordAndTheKeyringKeepsIt)
{
    kestrel::test::ImapTestServer server;
    ASSERT_TRUE(server.start()) << server.lastError().toStdString();
    {
        QFile file(profile);
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write(QStringLiteral("\n[Store3]\nName=Work\nType=imap\nHost=%1\nPort=%2\n"
                                  "Security=none\nUser=%3\n")
                       .arg(server.host())
                       .arg(server.port())
                       .arg(server.user())
                       .toUtf8());
    }
    kestrel::shell::WindowPasswordSource source(*keyring, dialogs);
    kestrel::platform::imap::setPasswordSource(&source);
    QStringList typed{"wrong", server.password()};
    QStringList asked;
    dialogs.inspect = [&](QDialog& shown) {
        auto* password = qobject_cast<kestrel::shell::frmPassword*>(&shown);
        ASSERT_TRUE(password);
        asked.append(password->lblReason->text());
        password->txtPassword->setText(typed.takeFirst());
        password->cmdOkay->click();
    };
    window = start();
    EXPECT_EQ(asked.size(), 2);
    EXPECT_EQ(asked.value(0), "");
    EXPECT_TRUE(asked.value(1).contains("uthentication failed")) << asked.value(1).toStdString();
    EXPECT_TRUE(window->cbTopFolder->findText("Work") >= 0) << log.join('\n').toStdString();
    EXPECT_EQ(keyring->secrets.values(), QStringList{server.password()});

    // The next run finds it there.
    window.reset();
    kestrel::shell::WindowPasswordSource nextRun(*keyring, dialogs);
    kestrel::platform::imap::setPasswordSource(&nextRun);
    asked.clear();
    window = start();
    kestrel::platform::imap::setPasswordSource(nullptr);
    EXPECT_EQ(asked, QStringList{});
    EXPECT_TRUE(window->cbTopFolder->findText("Work") >= 0);
}
