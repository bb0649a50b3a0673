#include "MsgExporter.h"

#include "MsgFileNaming.h"
#include "PathRoutines.h"
#include "SettingsReader.h"
#include "TaskCounters.h"
#include "TaskSettings.h"
#include "platform/MailPlatform.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>

namespace kestrel::engine {

namespace {

MsgNameFacts nameFacts(platform::MailItem& message, platform::Session* session)
{
    MsgNameFacts facts;
    facts.subject = message.subject();
    facts.receivedTime = message.receivedTime();
    facts.sentOn = message.sentOn();
    facts.creationTime = message.creationTime();

    QString recipient = message.receivedByName().value_or(QString());
    if (!recipient.isEmpty()) {
        const QString user =
            session ? session->currentUserAddress().value_or(QString()) : QString();
        facts.recipientDomain = GetMailDomain(user);
    } else {
        recipient = message.firstRecipientName().value_or(QString());
        facts.recipientDomain = GetMailDomain(message.firstRecipientAddress().value_or(QString()));
    }
    facts.recipientText = StripDisplayName(GetFirstListEntry(recipient));

    const QString address = message.senderEmailAddress().value_or(QString());
    QString sender = message.senderName().value_or(QString());
    if (sender.isEmpty())
        sender = address;
    facts.senderText = StripDisplayName(sender);
    facts.senderDomain = GetMailDomain(address);
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
    const qint64 seconds = d.toMSecsSinceEpoch() / 1000 - (d.toMSecsSinceEpoch() % 1000 < 0);
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
    : m_settings(settings), m_session(session), m_settingsReader(settingsReader), m_counter(counter)
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
    MsgNameFacts facts = nameFacts(message, m_session);
    facts.fileCounter = m_counter.value;
    const QString name = ApplyMsgPattern(MsgPattern(), facts);
    ++m_counter.value; // used up whether or not the save succeeds

    const std::optional<QString> path = BuildMsgPath(AddPathSeparator(fileSystemFolder), name);
    if (!path)
        return false;
    const TaskAction action = TaskAction(m_settings.Action);
    if (action != TaskAction::Move && action != TaskAction::Copy)
        return false;
    // lstat skips the names taken already; the writer never replaces a file,
    // so a name taken meanwhile sends us on to the next number.
    for (int number = 0; number <= kMaxMsgNumber; ++number) {
        const QString candidate = NumberedMsgPath(*path, number);
        if (entryExists(candidate))
            continue;
        if (!SaveMailAsMsg(message, candidate)) {
            if (message.lastError().kind == platform::ErrorKind::Exists)
                continue;
            return false;
        }
        // A message that stays in its store is no moved message, though its
        // file stays written.
        return action == TaskAction::Copy || message.deletePermanently();
    }
    return false;
}

} // namespace kestrel::engine
