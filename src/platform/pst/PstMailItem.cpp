#include "PstMailItem.h"

#include "../msg/AtomicFileWriter.h"
#include "../msg/MsgLimits.h"
#include "../msg/MsgStorageWriter.h"
#include "../msg/MsgToMime.h"
#include "../msg/PropertyAccess.h"
#include "PstEntryId.h"
#include "PstFolder.h"

namespace kestrel::platform::pst {

namespace {

using namespace kestrel::platform::msg;

constexpr std::uint16_t kPidMessageSize = 0x0E08;
constexpr std::uint32_t kRecipientTo = 1;

std::uint16_t dateId(DateProperty property)
{
    switch (property) {
    case DateProperty::ReceivedTime:
        return pid::MessageDeliveryTime;
    case DateProperty::SentOn:
        return pid::ClientSubmitTime;
    case DateProperty::LastModificationTime:
        return pid::LastModificationTime;
    case DateProperty::CreationTime:
        return pid::CreationTime;
    }
    return 0;
}

} // namespace

std::optional<QDateTime> summaryDate(const PstMessageSummary& summary, DateProperty property)
{
    const std::optional<QDateTime> time = summary.time(dateId(property));
    if (!time)
        return std::nullopt;
    return time->toLocalTime();
}

PstMailItem::PstMailItem(std::shared_ptr<PstBackend> backend, int store, std::uint32_t folder,
                         std::shared_ptr<const PstMessageSummary> summary)
    : m_backend(std::move(backend)), m_store(store), m_folder(folder), m_summary(std::move(summary))
{
}

bool PstMailItem::readable()
{
    if (!m_summary->damage.ok()) {
        setError(m_summary->damage);
        return false;
    }
    clearError();
    return true;
}

QString PstMailItem::typeName()
{
    const QString cls = m_summary->text(pid::MessageClass).value_or(QString());
    const auto is = [&cls](const char* prefix) {
        return cls.startsWith(QLatin1String(prefix), Qt::CaseInsensitive);
    };
    if (is("IPM.Schedule.Meeting"))
        return QLatin1String(kMeetingItemType);
    if (is("REPORT."))
        return QLatin1String(kReportItemType);
    if (is("IPM.Appointment"))
        return QStringLiteral("AppointmentItem");
    if (is("IPM.Contact"))
        return QStringLiteral("ContactItem");
    if (is("IPM.DistList"))
        return QStringLiteral("DistListItem");
    if (is("IPM.TaskRequest"))
        return QStringLiteral("TaskRequestItem");
    if (is("IPM.Task"))
        return QStringLiteral("TaskItem");
    if (is("IPM.StickyNote"))
        return QStringLiteral("NoteItem");
    if (is("IPM.Activity"))
        return QStringLiteral("JournalItem");
    if (is("IPM.Post"))
        return QStringLiteral("PostItem");
    return QLatin1String(kMailItemType);
}

std::optional<QString> PstMailItem::entryId()
{
    const PstStore* store = m_backend->store(m_store);
    if (!store) {
        setError(ErrorKind::NotFound, QStringLiteral("The Outlook data file is closed"));
        return std::nullopt;
    }
    clearError();
    return PstEntryId{PstEntryId::Kind::Message, store->name, m_folder, m_summary->id}.toString();
}

std::optional<QString> PstMailItem::text(std::uint16_t id)
{
    if (!readable())
        return std::nullopt;
    // A missing text reads as an empty one, as in the desktop client.
    return m_summary->text(id).value_or(QString());
}

std::optional<QString> PstMailItem::subject()
{
    return text(pid::Subject);
}

std::optional<QString> PstMailItem::senderName()
{
    if (!readable())
        return std::nullopt;
    return m_summary->text(pid::SenderName)
        .value_or(m_summary->text(pid::SentRepresentingName).value_or(QString()));
}

std::optional<QString> PstMailItem::senderEmailAddress()
{
    if (!readable())
        return std::nullopt;
    return m_summary->text(pid::SenderEmail)
        .value_or(m_summary->text(pid::SentRepresentingEmail).value_or(QString()));
}

std::optional<QString> PstMailItem::receivedByName()
{
    return text(pid::ReceivedByName);
}

const PropertyMap* PstMailItem::firstRecipient()
{
    const MsgObject* message = whole();
    if (!message)
        return nullptr;
    for (const PropertyMap& row : message->recipients) {
        if (getLong(row, pid::RecipientType).value_or(0) == kRecipientTo)
            return &row;
    }
    if (!message->recipients.empty())
        return &message->recipients.front();
    setError(ErrorKind::NotFound, QStringLiteral("The message has no recipients"));
    return nullptr;
}

std::optional<QString> PstMailItem::firstRecipientName()
{
    const PropertyMap* row = firstRecipient();
    if (!row)
        return std::nullopt;
    return getString(*row, pid::DisplayName, m_summary->codepage()).value_or(QString());
}

std::optional<QString> PstMailItem::firstRecipientAddress()
{
    const PropertyMap* row = firstRecipient();
    if (!row)
        return std::nullopt;
    if (auto smtp = getString(*row, pid::SmtpAddress, m_summary->codepage()))
        return smtp;
    return getString(*row, pid::EmailAddress, m_summary->codepage()).value_or(QString());
}

std::optional<QDateTime> PstMailItem::date(DateProperty property)
{
    if (!readable())
        return std::nullopt;
    std::optional<QDateTime> time = summaryDate(*m_summary, property);
    if (!time)
        setError(ErrorKind::NotFound, QStringLiteral("The message has no such time"));
    return time;
}

std::optional<QDateTime> PstMailItem::creationTime()
{
    return date(DateProperty::CreationTime);
}

std::optional<QDateTime> PstMailItem::receivedTime()
{
    return date(DateProperty::ReceivedTime);
}

std::optional<QDateTime> PstMailItem::sentOn()
{
    return date(DateProperty::SentOn);
}

std::optional<QDateTime> PstMailItem::lastModificationTime()
{
    return date(DateProperty::LastModificationTime);
}

std::optional<bool> PstMailItem::noAging()
{
    if (!readable())
        return std::nullopt;
    const auto found = m_summary->bag.named.find(NamedKey{psetidCommon(), LidAgingDontAgeMe});
    return found != m_summary->bag.named.end() && tagType(found->second.tag) == PtBoolean &&
           (found->second.fixed & 0xFFFF) != 0;
}

std::optional<bool> PstMailItem::unRead()
{
    if (!readable())
        return std::nullopt;
    return !(getLong(m_summary->bag.props, pid::MessageFlags).value_or(0) & MsgFlagRead);
}

std::optional<qint64> PstMailItem::size()
{
    if (!readable())
        return std::nullopt;
    return qint64(getLong(m_summary->bag.props, kPidMessageSize).value_or(0));
}

bool PstMailItem::refuse()
{
    setError(readOnlyRefusal());
    return false;
}

bool PstMailItem::deleteItem()
{
    return refuse();
}

bool PstMailItem::deletePermanently()
{
    return refuse();
}

std::unique_ptr<MailItem> PstMailItem::move(Folder&)
{
    refuse();
    return nullptr;
}

bool PstMailItem::save()
{
    return refuse();
}

bool PstMailItem::importFile(const QString&, int)
{
    return refuse();
}

bool PstMailItem::copyTo(Folder& destination)
{
    if (destination.isReadOnly())
        return refuse();
    PlatformError error;
    m_made = copyAcross(*this, destination, &error);
    if (!m_made) {
        setError(error);
        return false;
    }
    clearError();
    return true;
}

std::unique_ptr<MailItem> PstMailItem::takeMade()
{
    return std::move(m_made);
}

const MsgObject* PstMailItem::whole()
{
    if (!readable())
        return nullptr;
    if (!m_whole) {
        PlatformError error;
        const PffItem item = m_backend->item(m_store, m_summary->id, &error);
        std::optional<MsgObject> read;
        if (item)
            read = readMessage(item.get(), &error);
        if (!read) {
            setError(error);
            return nullptr;
        }
        m_whole = std::make_unique<MsgObject>(std::move(*read));
    }
    clearError();
    return m_whole.get();
}

std::optional<RawMessage> PstMailItem::rawMessage()
{
    const MsgObject* message = whole();
    if (!message)
        return std::nullopt;
    return msg::rawMessageOf(msgToMime(*message));
}

bool PstMailItem::saveAs(const QString& path, int format)
{
    if (format != kMsgFormat) {
        setError(ErrorKind::Unsupported, QStringLiteral("Only .msg files can be written"));
        return false;
    }
    const MsgObject* message = whole();
    if (!message)
        return false;
    QString why;
    const std::optional<QByteArray> bytes = writeMsgObject(*message, &why);
    if (!bytes) {
        setError(ErrorKind::Io, QStringLiteral("Cannot build the .msg file"), why);
        return false;
    }
    if (bytes->size() > limits::MaxFileSize) {
        setError(ErrorKind::Invalid, QStringLiteral("The message does not fit a .msg file"),
                 QStringLiteral("the file would have %1 MB").arg(bytes->size() >> 20));
        return false;
    }
    PlatformError error;
    if (!writeFileAtomically(path, *bytes, &error)) {
        setError(error);
        return false;
    }
    clearError();
    return true;
}

} // namespace kestrel::platform::pst
