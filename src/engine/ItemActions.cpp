#include "ItemActions.h"

#include "MsgExporter.h"
#include "TaskCounters.h"
#include "TaskSettings.h"
#include "platform/MailPlatform.h"

namespace kestrel::engine {

namespace {

// The destination as the session sees it.
std::unique_ptr<platform::Folder> sessionFolder(platform::Session& session,
                                                platform::Folder& destination)
{
    const std::optional<QString> id = destination.entryId();
    return id ? session.getFolderFromId(*id) : nullptr;
}

} // namespace

std::unique_ptr<platform::MailItem> GetRDOMail(platform::Session* session, platform::MailItem& item)
{
    if (!session)
        return nullptr;
    const std::optional<QString> id = item.entryId();
    return id ? session->getMessageFromId(*id) : nullptr;
}

bool MoveMailItem(platform::Session& session, std::unique_ptr<platform::MailItem>& message,
                  platform::Folder& destination)
{
    const std::unique_ptr<platform::Folder> folder = sessionFolder(session, destination);
    if (!folder)
        return false;
    std::unique_ptr<platform::MailItem> moved = message->move(*folder);
    if (!moved)
        return false;
    message = std::move(moved);
    return true;
}

bool CopyMailItem(platform::Session& session, platform::MailItem& message,
                  platform::Folder& destination)
{
    const std::unique_ptr<platform::Folder> folder = sessionFolder(session, destination);
    return folder && message.copyTo(*folder);
}

ItemActions::ItemActions(const TaskSettings& settings, platform::Session* session,
                         MsgExporter& exporter)
    : m_settings(settings), m_session(session), m_exporter(exporter)
{
}

bool ItemActions::PerformAction(platform::MailItem* item, platform::Folder* destFolder,
                                const QString& fileSystemFolder)
{
    m_lastError = {};
    m_lastFile.clear();
    if (!item)
        return fail({platform::ErrorKind::Invalid, -1, QStringLiteral("No item"), {}});
    std::unique_ptr<platform::MailItem> message = GetRDOMail(m_session, *item);
    if (!message) // also in a preview: an unreachable message is never counted as done
        return fail(UnreachableReason(m_session, *item));
    const bool deleting = TaskAction(m_settings.Action) == TaskAction::Delete;
    if (m_settings.PreviewMode) {
        if (m_settings.DestinationIsDisk && !deleting) {
            if (const std::optional<QString> file =
                    m_exporter.PlanFileSystemAction(*message, fileSystemFolder))
                m_lastFile = *file;
            else
                m_lastError = m_exporter.lastError();
        }
        return true;
    }
    if (deleting)
        return item->deleteItem() || fail(item->lastError());
    if (m_settings.DestinationIsDisk) {
        const bool done = m_exporter.PerformFileSystemAction(*message, fileSystemFolder);
        m_lastFile = m_exporter.lastFile();
        return done || fail(m_exporter.lastError());
    }
    if (PerformMailAction(message, destFolder))
        return true;
    if (message && !message->lastError().ok())
        return fail(message->lastError());
    return fail(m_session ? m_session->lastError() : platform::PlatformError{});
}

bool ItemActions::fail(const platform::PlatformError& error)
{
    m_lastError = error;
    return false;
}

platform::PlatformError UnreachableReason(platform::Session* session, platform::MailItem& item)
{
    if (!session)
        return {platform::ErrorKind::Unsupported, -1, QStringLiteral("No session"), {}};
    if (!item.entryId())
        return item.lastError();
    return session->lastError();
}

bool ItemActions::PerformMailAction(std::unique_ptr<platform::MailItem>& message,
                                    platform::Folder* destFolder)
{
    if (!m_session || !message || !destFolder)
        return false;
    switch (TaskAction(m_settings.Action)) {
    case TaskAction::Move:
        return MoveMailItem(*m_session, message, *destFolder);
    case TaskAction::Copy:
        return CopyMailItem(*m_session, *message, *destFolder);
    default:
        return false;
    }
}

} // namespace kestrel::engine
