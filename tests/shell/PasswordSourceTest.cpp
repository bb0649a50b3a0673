#include "ShellRecorders.h"
#include "dialogs/RecordingServices.h"
#include "shell/Keyring.h"
#include "shell/WindowPasswordSource.h"
#include "shell/frmPassword.h"
#include "support/TempDir.h"

#include <QCheckBox>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

using kestrel::platform::imap::ImapAccount;
using kestrel::shell::frmPassword;
using kestrel::shell::WindowPasswordSource;
using kestrel::test::MemoryKeyring;
using kestrel::test::RecordingDialogRunner;

namespace {

ImapAccount account()
{
    ImapAccount account;
    account.host = "mail.example.org";
    account.user = "demo";
    return account;
}

class PasswordSource : public ::testing::Test {
protected:
    void SetUp() override
    {
        dialogs.answer = [](QDialog& shown) { return shown.result(); };
        dialogs.inspect = [this](QDialog& shown) {
            auto& dialog = dynamic_cast<frmPassword&>(shown);
            prompts.append(dialog.lblPrompt->text() + " / " + dialog.lblReason->text());
            rememberTicked.append(dialog.chkRemember->isChecked());
            if (typed.isEmpty()) {
                dialog.cmdCancel->click();
                return;
            }
            dialog.txtPassword->setText(typed.takeFirst());
            dialog.chkRemember->setChecked(remember);
            dialog.cmdOkay->click();
        };
    }

    MemoryKeyring keyring;
    RecordingDialogRunner dialogs;
    QStringList typed; // what the user types in each dialog; Cancel when none
    bool remember = true;
    QStringList prompts;
    QList<bool> rememberTicked;
    const QString key = account().keyringKey();
};

} // namespace

TEST_F(PasswordSource, TheKeyringAnswersFirstAndARefusedPasswordIsAskedForWithTheServersWords)
{
    keyring.secrets.insert(key, "old");
    WindowPasswordSource source(keyring, dialogs);
    EXPECT_EQ(source.password(account(), {}), "old");
    EXPECT_TRUE(prompts.isEmpty());

    typed = {"new"};
    EXPECT_EQ(source.password(account(), "AUTHENTICATIONFAILED Authentication failed."), "new");
    EXPECT_EQ(prompts, QStringList{"Password for demo@mail.example.org / "
                                   "AUTHENTICATIONFAILED Authentication failed."});
    EXPECT_EQ(rememberTicked, QList<bool>{true});
    EXPECT_EQ(keyring.secrets.value(key), "old") << "only a password the server took is kept";
    source.accepted(account(), "new");
    EXPECT_EQ(keyring.secrets.value(key), "new");

    EXPECT_EQ(source.password(account(), "refused again"), std::nullopt) << "Cancel";
}

TEST_F(PasswordSource, APasswordNotRememberedStaysInMemoryForTheRunOnly)
{
    typed = {"typed"};
    remember = false;
    WindowPasswordSource source(keyring, dialogs);
    EXPECT_EQ(source.password(account(), {}), "typed");
    source.accepted(account(), "typed");
    EXPECT_TRUE(keyring.secrets.isEmpty());
    EXPECT_EQ(source.password(account(), {}), "typed") << "a reconnection asks nobody";
    EXPECT_EQ(prompts.size(), 1);
}

TEST(SystemKeyring, WithoutAKeyringServiceTheDialogAsksAndNothingIsWrittenToAFile)
{
    kestrel::test::TempDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", home.filePath(".config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", home.filePath(".local/share").toLocal8Bit());
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + home.filePath("no-bus").toLocal8Bit());
    kestrel::shell::SystemKeyring keyring(5000);
    RecordingDialogRunner dialogs;
    dialogs.answer = [](QDialog& shown) { return shown.result(); };
    dialogs.inspect = [](QDialog& shown) {
        auto& dialog = dynamic_cast<frmPassword&>(shown);
        EXPECT_FALSE(dialog.lblReason->text().isEmpty()) << "the keyring's failure is told";
        dialog.txtPassword->setText("typed");
        dialog.cmdOkay->click();
    };
    WindowPasswordSource source(keyring, dialogs);

    EXPECT_EQ(source.password(account(), {}), "typed");
    source.accepted(account(), "typed");
    kestrel::platform::PlatformError error;
    EXPECT_FALSE(keyring.write("imap://x@y:1", "typed", &error));
    EXPECT_FALSE(error.text.isEmpty());
    QDirIterator it(home.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    EXPECT_FALSE(it.hasNext()) << it.next().toStdString();
}
