#pragma once

// Export of store messages as .msg files into a disk folder.

#include "platform/PlatformError.h"

#include <QDateTime>
#include <QSet>
#include <QString>

#include <optional>

namespace kestrel::platform {
class MailItem;
class Session;
} // namespace kestrel::platform

namespace kestrel::engine {

class SettingsReader;
struct TaskSettings;

// The export counter behind "%ii%": lives as long as the window, only grows.
struct MsgFileCounter {
    qint64 value = 0;
};

// Sets the file's modification time to d (access time unchanged). False when
// there is no file at path or the time cannot be set.
bool SetFileModifiedTime(const QString& path, const QDateTime& d);

// Writes the message as a .msg file at path and stamps it with the message's
// creation time. False when the save fails or the creation time cannot be
// read (the file then stays); a failing stamp is ignored.
bool SaveMailAsMsg(platform::MailItem& message, const QString& path);

// A message written under a temporary name beside the file it is to become,
// not yet durable.
struct PreparedMsg {
    QString temporary;
    QString path;        // the file's name before numbering
    bool stamped = true; // false: the creation time could not be read
    platform::PlatformError stampError;
};

class MsgExporter {
public:
    // session gives the profile user's address for "%td%"; it may be null.
    MsgExporter(const TaskSettings& settings, platform::Session* session,
                const SettingsReader& settingsReader, MsgFileCounter& counter);

    // Move (action 0) and Copy (1) into the directory fileSystemFolder: the
    // name comes from the "MSG"/"Pattern" setting, numbered "[n].msg" when
    // taken; an existing file is never replaced. For Move the message is
    // removed from its store only after its file exists whole; when it cannot
    // be removed the file stays and the result is false. Any other action, a
    // name with no room in the directory, or 512 taken numbers: false.
    // lastFile() is then the file written (also when the move failed after
    // it), lastError() why it failed.
    bool PerformFileSystemAction(platform::MailItem& message, const QString& fileSystemFolder);

    // The steps of PerformFileSystemAction, for many messages at once: the
    // name and the file under a temporary name (nullopt and lastError() when
    // there is none); then, once the caller made it durable, the file under
    // its name or the first free numbered one (lastFile()), or false and
    // lastError() with the temporary file removed.
    std::optional<PreparedMsg> PrepareFile(platform::MailItem& message,
                                           const QString& fileSystemFolder);
    bool PlaceFile(const PreparedMsg& file);

    // The file PerformFileSystemAction would write for message, with the
    // numbers the files named before it in this run would take, or nullopt
    // (lastError() says why). Counts on a counter of its own, from the value
    // the window's counter had when the exporter was made, and writes nothing.
    std::optional<QString> PlanFileSystemAction(platform::MailItem& message,
                                                const QString& fileSystemFolder);

    const QString& lastFile() const { return m_lastFile; }
    const platform::PlatformError& lastError() const { return m_lastError; }

    // The pattern as stored: "%ct% %su%" when missing, "%ct% - %su%" when empty.
    QString MsgPattern() const;

private:
    bool noRoom(const QString& folder);
    bool allTaken(const QString& path);

    const TaskSettings& m_settings;
    platform::Session* m_session;
    const SettingsReader& m_settingsReader;
    MsgFileCounter& m_counter;
    qint64 m_planCounter;
    // Hashes of the paths planned in m_planDirectory: a few bytes each, so
    // that a preview of any size stays small.
    QString m_planDirectory;
    QSet<size_t> m_planned;
    QString m_lastFile;
    platform::PlatformError m_lastError;
};

} // namespace kestrel::engine
