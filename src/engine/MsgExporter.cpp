#include "MsgExporter.h"

#include "MsgFileNaming.h"
#include "PathRoutines.h"
#include "SettingsReader.h"
#include "TaskCounters.h"
#include "TaskSettings.h"
#include "platform/MailPlatform.h"
#include "platform/msg/AtomicFileWriter.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrel::engine {

namespace {

// Reads only what the pattern's tokens need, and what the tokens that the
// values replaced before them bring in: the recipient's name needs the whole
// header block read.
MsgNameFacts nameFacts(platform::MailItem& message, platform::Session* session,
                       const QString& pattern)
{
    MsgNameFacts facts;
    QString tokens = pattern;
    const auto wanted = [&tokens](const char* token) {
        return tokens.contains(QLatin1String(token));
    };
    if (wanted("%su%")) {
        facts.subject = message.subject();
        tokens += facts.subject.value_or(QString());
    }
    if (wanted("%rt%"))
        facts.receivedTime = message.receivedTime();
    if (wanted("%st%"))
        facts.sentOn = message.sentOn();
    if (wanted("%ct%"))
        facts.creationTime = message.creationTime();

    if (wanted("%to%") || wanted("%td%")) {
        QString recipient = message.receivedByName().value_or(QString());
        if (!recipient.isEmpty()) {
            const QString user =
                session ? session->currentUserAddress().value_or(QString()) : QString();
            facts.recipientDomain = GetMailDomain(user);
        } else {
            recipient = message.firstRecipientName().value_or(QString());
            facts.recipientDomain =
                GetMailDomain(message.firstRecipientAddress().value_or(QString()));
        }
        facts.recipientText = StripDisplayName(GetFirstListEntry(recipient));
        tokens += facts.recipientText + facts.recipientDomain;
    }

    if (wanted("%fm%") || wanted("%fd%")) {
        const QString address = message.senderEmailAddress().value_or(QString());
        QString sender = message.senderName().value_or(QString());
        if (sender.isEmpty())
            sender = address;
        facts.senderText = StripDisplayName(sender);
        facts.senderDomain = GetMailDomain(address);
    }
    return facts;
}

bool entryExists(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

} // namespace

bool SetFileModifiedTime(const QString& path, const QDateTime& d)
{
    if (!d.isValid() || !QFileInfo(path).isFile())
        return false;
    // Whole seconds: the stamp carries no milliseconds.
    // One conversion: each of a local time asks the C library for the zone.
    const qint64 msecs = d.toMSecsSinceEpoch();
    const qint64 seconds = msecs / 1000 - (msecs % 1000 < 0);
    const struct timespec times[2] = {{0, UTIME_OMIT}, {time_t(seconds), 0}};
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0;
}

bool SaveMailAsMsg(platform::MailItem& message, const QString& path)
{
    if (!message.saveAs(path, platform::kMsgFormat))
        return false;
    const std::optional<QDateTime> created = message.creationTime();
    if (!created)
        return false;
    SetFileModifiedTime(path, *created);
    return true;
}

MsgExporter::MsgExporter(const TaskSettings& settings, platform::Session* session,
                         const SettingsReader& settingsReader, MsgFileCounter& counter)
    : m_settings(settings), m_session(session), m_settingsReader(settingsReader),
      m_counter(counter), m_planCounter(counter.value)
{
}

QString MsgExporter::MsgPattern() const
{
    const QString pattern = m_settingsReader.readSetting(
        QStringLiteral("MSG"), QStringLiteral("Pattern"), QLatin1String(kDefaultMsgPattern));
    return pattern.isEmpty() ? QLatin1String(kEmptyMsgPattern) : pattern;
}

bool MsgExporter::PerformFileSystemAction(platform::MailItem& message,
                                          const QString& fileSystemFolder)
{
    platform::msg::FileSystemSync sync(fileSystemFolder);
    const std::optional<PreparedMsg> file = PrepareFile(message, fileSystemFolder);
    if (!file)
        return false;
    const QString directory = QFileInfo(file->path).absolutePath();
    if (!sync.sync({file->temporary}, &m_lastError)) {
        ::unlink(QFile::encodeName(file->temporary).constData());
        return false;
    }
    if (!PlaceFile(*file))
        return false;
    if (!platform::msg::syncDirectory(directory, &m_lastError))
        return false;
    if (!file->stamped) {
        m_lastError = file->stampError;
        return false;
    }
    // A message that stays in its store is no moved message, though its
    // file stays written.
    if (TaskAction(m_settings.Action) == TaskAction::Copy || message.deletePermanently())
        return true;
    m_lastError = message.lastError();
    return false;
}

std::optional<PreparedMsg> MsgExporter::PrepareFile(platform::MailItem& message,
                                                    const QString& fileSystemFolder)
{
    m_lastFile.clear();
    m_lastError = {};
    const QString pattern = MsgPattern();
    MsgNameFacts facts = nameFacts(message, m_session, pattern);
    facts.fileCounter = m_counter.value;
    const QString name = ApplyMsgPattern(pattern, facts);
    ++m_counter.value; // used up whether or not the save succeeds

    const std::optional<QString> path = BuildMsgPath(AddPathSeparator(fileSystemFolder), name);
    if (!path) {
        noRoom(fileSystemFolder);
        return std::nullopt;
    }
    const TaskAction action = TaskAction(m_settings.Action);
    if (action != TaskAction::Move && action != TaskAction::Copy) {
        m_lastError = {platform::ErrorKind::Invalid,
                       -1,
                       QStringLiteral("Only a move or copy writes .msg files"),
                       {}};
        return std::nullopt;
    }
    PreparedMsg file;
    file.path = *path;
    file.temporary = platform::msg::temporaryPath(QFileInfo(*path).absolutePath());
    // The caller syncs many files at once; saveAs never replaces a file.
    const platform::msg::DeferredSync deferred;
    if (!message.saveAs(file.temporary, platform::kMsgFormat)) {
        m_lastError = message.lastError();
        return std::nullopt;
    }
    // The name's creation time, when it has one, stamps the file too.
    const std::optional<QDateTime> created =
        facts.creationTime ? facts.creationTime : message.creationTime();
    if (created) {
        SetFileModifiedTime(file.temporary, *created);
    } else {
        file.stamped = false;
        file.stampError = message.lastError();
    }
    return file;
}

bool MsgExporter::PlaceFile(const PreparedMsg& file)
{
    m_lastFile.clear();
    m_lastError = {};
    // lstat skips the names taken already; the rename never replaces a file,
    // so a name taken meanwhile sends us on to the next number.
    for (int number = 0; number <= kMaxMsgNumber; ++number) {
        const QString candidate = NumberedMsgPath(file.path, number);
        if (entryExists(candidate))
            continue;
        if (platform::msg::renameNoReplace(file.temporary, candidate, &m_lastError)) {
            m_lastFile = candidate;
            m_lastError = {};
            return true;
        }
        if (m_lastError.kind != platform::ErrorKind::Exists)
            break;
    }
    ::unlink(QFile::encodeName(file.temporary).constData());
    return m_lastError.kind == platform::ErrorKind::Exists || m_lastError.ok() ? allTaken(file.path)
                                                                               : false;
}

std::optional<QString> MsgExporter::PlanFileSystemAction(platform::MailItem& message,
                                                         const QString& fileSystemFolder)
{
    m_lastError = {};
    const QString pattern = MsgPattern();
    MsgNameFacts facts = nameFacts(message, m_session, pattern);
    facts.fileCounter = m_planCounter++;
    const QString name = ApplyMsgPattern(pattern, facts);
    const std::optional<QString> path = BuildMsgPath(AddPathSeparator(fileSystemFolder), name);
    if (!path) {
        noRoom(fileSystemFolder);
        return std::nullopt;
    }
    if (fileSystemFolder != m_planDirectory) {
        m_planDirectory = fileSystemFolder;
        m_planned.clear();
    }
    for (int number = 0; number <= kMaxMsgNumber; ++number) {
        const QString candidate = NumberedMsgPath(*path, number);
        const size_t key = qHash(candidate);
        if (entryExists(candidate) || m_planned.contains(key))
            continue;
        m_planned.insert(key);
        return candidate;
    }
    allTaken(*path);
    return std::nullopt;
}

bool MsgExporter::noRoom(const QString& folder)
{
    m_lastError = {platform::ErrorKind::Invalid, -1,
                   QStringLiteral("The folder's path leaves no room for a file name"), folder};
    return false;
}

bool MsgExporter::allTaken(const QString& path)
{
    m_lastError = {platform::ErrorKind::Exists, -1,
                   QStringLiteral("Every numbered file name is taken"), path};
    return false;
}

} // namespace kestrel::engine
