#pragma once

#include "RecordingPlatform.h"
#include "ShellRecorders.h"
#include "dialogs/RecordingServices.h"
#include "platform/PlatformRegistry.h"
#include "platform/maildir/LocalMailFinder.h"
#include "shell/SettingsStore.h"
#include "shell/frmMain.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <memory>

namespace kestrel::test {

// Starts the real frmMain offscreen on a real profile (KESTREL_PROFILE) with a
// temporary settings file; message boxes, dialogs, beep and link are recorded
// in one ordered log together with the platform calls.
class ShellFixture : public ::testing::Test {
protected:
    // The three-store demo profile, built once for the suite.
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    static QString demoProfile();
    static QString demoStoreDir(const QString& name);

    void SetUp() override;
    void TearDown() override;

    void useProfile(const QString& profileIni);
    // A profile.ini in a fresh folder of this test with the given stores
    // (name, folder) and default store.
    QString writeProfile(const QList<QPair<QString, QString>>& stores);

    // A new window, started; expects the outcome.
    std::unique_ptr<shell::frmMain>
    start(shell::StartupOutcome expected = shell::StartupOutcome::Running);
    // Counts programEnded of every window started here.
    int programEndedCount() const { return m_ended; }

    QStringList configKeys();

    TempDir dir;
    std::unique_ptr<shell::SettingsStore> settings;
    RecordingMessageBoxService messages;
    RecordingDialogRunner dialogs;
    QStringList log;
    int beeps = 0;
    QList<QUrl> openedUrls;
    // Stores whose root the platform cannot open from now on.
    QStringList unopenableStores;
    std::shared_ptr<AnsweringFolderPicker> picker = std::make_shared<AnsweringFolderPicker>();
    std::shared_ptr<RecordingSound> sound = std::make_shared<RecordingSound>();
    std::shared_ptr<MemoryKeyring> keyring = std::make_shared<MemoryKeyring>();
    // The backends the window opens the profile with.
    platform::BackendRegistry backends = platform::installedBackends();
    // Where the stores dialog looks for mail: a fake home in dir, without Dovecot.
    platform::maildir::LocalMailPlaces places;

private:
    int m_ended = 0;
    int m_profiles = 0;
};

} // namespace kestrel::test
