#pragma once

// State shared by every object of one Maildir application: the profile, the
// logon, and per folder a map from a message's unique name to its current file
// (a flag change renames the file, a move takes it elsewhere), so that finding
// a message by its identifier costs O(log n) and a folder is rescanned only
// when a lookup misses.

#include "../MailProfile.h"
#include "FolderIndex.h"
#include "FolderRef.h"
#include "RootListing.h"

#include <QHash>
#include <QList>
#include <QString>

#include <array>
#include <memory>
#include <optional>

namespace kestrel::platform::maildir {

class MaildirBackend {
public:
    explicit MaildirBackend(MailProfile profile) : m_profile(std::move(profile)) {}

    const MailProfile& profile() const { return m_profile; }
    const StoreEntry& store(int index) const { return m_profile.stores.at(index); }
    int storeCount() const { return int(m_profile.stores.size()); }
    // The profile position of the store at this path, or -1.
    int storeIndexForPath(const QString& path) const;

    bool loggedOn = false;
    QList<PlatformError> leftOut; // stores of the profile that cannot be opened, not in profile()

    // Absolute directory of a folder; the Maildir root for the store root too.
    QString folderDir(const FolderRef& folder) const;
    static QString messagePath(const QString& folderDir, const MessageEntry& entry);

    // The folder directories of a store's root, sorted; read again only when
    // the root changed.
    std::shared_ptr<const RootDirectories> folderDirectories(int storeIndex) const
    {
        return m_rootListing.folderDirectories(store(storeIndex).path);
    }
    // A folder was made in the store: its root is read again at the next look.
    void forgetFolderDirectories(int storeIndex) const
    {
        m_rootListing.forget(store(storeIndex).path);
    }

    // Whether the directory is a store's Maildir root (Inbox).
    bool isStoreRootDir(const QString& folderDir) const;
    // Lists cur/ and new/ (names only), sorted by unique name, and refreshes the
    // folder's index, which shares the listing. A folder without cur/ or new/
    // lists what is there; one whose directories are links or no directories
    // lists nothing and says why in *error.
    std::shared_ptr<const FolderListing> scan(const QString& folderDir,
                                              PlatformError* error = nullptr);
    // The message's current file; rescans the folder when the remembered one
    // (or the one the caller knows, when given) is gone.
    std::optional<MessageEntry> locate(const QString& folderDir, const QString& unique,
                                       const MessageEntry* known = nullptr);
    void remember(const QString& folderDir, const QString& unique, const MessageEntry& entry);
    // Whether the folder holds a message of that unique name, with any flags.
    // Scans a folder once; after that it trusts its index and what remember()
    // adds, so that filling a folder costs O(1) per message.
    bool holdsUnique(const QString& folderDir, const QString& unique);
    void forget(const QString& folderDir, const QString& unique);

    // checkFolderDirs, remembered for a second when the folder was sound: a
    // run moving thousands of messages between two folders checks them once
    // a second rather than seven lstat calls a message.
    bool checkFolderDirsRecently(const QString& dir, bool storeRoot, bool withTmp,
                                 PlatformError* error);

    // The clock of noteRead (monotonic, coarse, in ns).
    static qint64 clockNs();
    // The message file read last: the session taking up the same message a
    // moment later (as a run does with each item it acts on) need not look
    // for it again. What was noted answers one lookup, within a second.
    void noteRead(const QString& folderDir, const MessageEntry& entry,
                  std::optional<qint64> readAtNs = std::nullopt); // monotonic; now by default
    bool takeJustRead(const QString& folderDir, const MessageEntry& entry);
    // The identifier an item gave last, with its folder and file: the
    // session asked for that message next (as a run is, for each item it
    // acts on) need not parse it and look it up. Answers one request.
    struct IdHint {
        QString id;
        FolderRef folder;
        QString unique;
        MessageEntry entry;
    };
    void noteId(IdHint hint) { m_idHint = std::move(hint); }
    std::optional<IdHint> takeIdHint(const QString& id);

private:
    bool unchangedSinceScan(const QString& folderDir, const FolderIndex& index) const;

    MailProfile m_profile;
    mutable RootListing m_rootListing;
    QHash<QString, FolderIndex> m_indexes;
    QHash<QString, qint64> m_soundFolders; // key -> checked at (ns, monotonic)
    // The last few found sound, looked up first: a move asks about its
    // source, its destination and the destination with tmp/ in turn.
    struct SoundFolder {
        QString key;
        qint64 at = 0;
    };
    std::array<SoundFolder, 4> m_lastSound;
    std::size_t m_nextLastSound = 0;
    std::optional<IdHint> m_idHint;
    QString m_justReadDir;
    MessageEntry m_justRead;
    qint64 m_justReadAt = 0;
};

} // namespace kestrel::platform::maildir
