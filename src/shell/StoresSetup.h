#pragma once

// Runs the "Mail stores" dialog over the profile and the mail found on this
// computer, and on Okay writes the profile and makes the new empty stores.
// Looking only reads: nothing found is moved, renamed or created.

#include "ProfileFile.h"
#include "platform/imap/ImapAccount.h"
#include "platform/maildir/LocalMailFinder.h"

class QWidget;

namespace kestrel::dialogs {
class DialogRunner;
}

namespace kestrel::shell {

class FolderPicker;
class SecretStore;

class StoresSetup {
public:
    // keyring: where the passwords of added server accounts go, or nullptr.
    StoresSetup(dialogs::DialogRunner& runner, FolderPicker& picker, SecretStore* keyring,
                QString profileFile, platform::maildir::LocalMailPlaces places);

    enum class Outcome { Written, Cancelled, Failed };
    Outcome run(QWidget* owner);
    // Why run() failed.
    const QString& lastError() const { return m_lastError; }

    // The dialog's rows: the profile's stores (ticked), then the trees found
    // and not listed yet, and an empty "Archive" store when none is named so.
    // Without a profile, what was found and the archive store come ticked.
    QList<StoreChoice> proposals() const;
    // The row for a folder or an Outlook data file the user picked.
    static StoreChoice describe(const QString& path, const QString& home);
    // The row of a server account.
    static StoreChoice describe(const platform::imap::ImapAccount& account);

private:
    std::optional<StoreChoice> addAccount(QWidget* owner, QString* note);

    dialogs::DialogRunner& m_runner;
    FolderPicker& m_picker;
    SecretStore* m_keyring;
    ProfileFile m_profile;
    platform::maildir::LocalMailPlaces m_places;
    QString m_lastError;
};

} // namespace kestrel::shell
