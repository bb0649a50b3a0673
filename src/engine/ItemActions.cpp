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
    if (!item)
        return false;
    std::unique_ptr<platform::MailItem> message = GetRDOMail(m_session, *item);
    if (!message)
        return false; // also in a preview: an unreachable message is never counted as done
    if (m_settings.PreviewMode)
        return true;
    if (TaskAction(m_settings.Action) == TaskAction::Delete)
        return item->deleteItem();
    if (m_settings.DestinationIsDisk)
        return m_exporter.PerformFileSystemAction(*message, fileSystemFolder);
    return PerformMailAction(message, destFolder);
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
