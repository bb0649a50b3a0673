#pragma once

// One message file and the facts read from it on demand: the name and stat
// give the times and size, the header block the rest. Nothing beyond the
// header block is read, and each fact is read at most once.

#include "../PlatformError.h"
#include "HeaderFields.h"
#include "MaildirBackend.h"
#include "MessageFileName.h"
#include "MessageHeaders.h"

#include <memory>
#include <optional>

struct stat;

namespace kestrel::platform::maildir {

// What a listing's filter read of a file, handed to the item made for it so
// that the action reads nothing twice. A Maildir message's content never
// changes (a flag change renames the same file), so the header block stays true.
struct FileFacts {
    bool statLoaded = false;
    qint64 mtime = 0;
    qint64 ctime = 0;
    qint64 size = 0;
    std::optional<QByteArray> headerBlock;

    // What a stat of the file tells (times in epoch milliseconds).
    static FileFacts ofStat(const struct stat& st);
};

class MessageFile {
public:
    MessageFile(QString folderDir, MessageEntry entry);

    const QString& path() const
    {
        if (m_path.isEmpty())
            m_path = MaildirBackend::messagePath(m_dir, m_entry);
        return m_path;
    }
    const QString& folderDir() const { return m_dir; }
    const MessageEntry& entry() const { return m_entry; }
    const MessageFileName& name() const
    {
        if (!m_name)
            m_name = MessageFileName::parse(m_entry.fileName);
        return *m_name;
    }
    // The file moved (a flag change) or was re-found: forget what was read from the name.
    void relocate(const MessageEntry& entry);

    // Epoch milliseconds.
    std::optional<qint64> receivedMsecs(PlatformError* error); // mtime
    std::optional<qint64> creationMsecs(PlatformError* error); // from the unique name, else mtime
    std::optional<qint64> lastModifiedMsecs(PlatformError* error); // later of creation and ctime
    std::optional<qint64> size(PlatformError* error);              // ",S=" else stat
    // Reads the header block once; the field readers below then cannot fail
    // for want of the file.
    bool loadHeaderBlock(PlatformError* error);
    bool headerBlockLoaded() const { return m_headers || m_headerBlock; }
    // The same through the open directory (cur/ or new/) that holds the file.
    bool loadHeaderBlockAt(int dirFd, PlatformError* error);
    // The stat and header block of the file, opened by the caller as a
    // regular file; fd is closed. A failed read is left to the next look.
    void readOpened(int fd, const struct stat& st);
    // What was read so far (the header block moved out), and taking it over.
    FileFacts takeFacts();
    // fields: of facts.headerBlock, when scanned already.
    void adoptFacts(FileFacts facts, std::shared_ptr<const HeaderFields> fields = {});
    // Date:; NotFound when the message has none or it is not a date.
    std::optional<qint64> sentOnMsecs(PlatformError* error);
    std::optional<QString> subject(PlatformError* error);
    std::optional<QList<MailAddress>> from(PlatformError* error);
    // Every field, through a full parse of the header block.
    const MessageHeaders* headers(PlatformError* error);
    std::optional<ContentKind> kind(PlatformError* error);
    // The file is a regular file (not a link, FIFO or device); Invalid otherwise.
    bool checkRegular(PlatformError* error);
    // Takes the times and size from a stat made by the caller (for example
    // relative to an open directory, which spares the path walk).
    void setStat(const struct stat& st);

private:
    bool loadStat(PlatformError* error);
    // The fields read without a parse, or nullptr when the block needs one.
    const HeaderFields* fields();

    QString m_dir;
    MessageEntry m_entry;
    mutable QString m_path; // built once: every read and stat of the file needs it
    mutable std::optional<MessageFileName> m_name; // parsed on first use
    bool m_statLoaded = false;
    qint64 m_mtime = 0;
    qint64 m_ctime = 0;
    qint64 m_statSize = 0;
    std::optional<QByteArray> m_headerBlock;
    std::optional<HeaderFields> m_fields;
    std::optional<QList<MailAddress>> m_from; // both the sender's name and address need it
    std::optional<MessageHeaders> m_headers;
};

} // namespace kestrel::platform::maildir
