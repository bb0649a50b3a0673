#pragma once

// The task's action on one selected mail item.

#include "platform/PlatformError.h"

#include <QString>

#include <memory>

namespace kestrel::platform {
class Folder;
class MailItem;
class Session;
} // namespace kestrel::platform

namespace kestrel::engine {

class MsgExporter;
struct TaskSettings;

// The same stored message reached through the session, or nullptr.
std::unique_ptr<platform::MailItem> GetRDOMail(platform::Session* session,
                                               platform::MailItem& item);
// Why GetRDOMail gave nullptr.
platform::PlatformError UnreachableReason(platform::Session* session, platform::MailItem& item);
// On success message is replaced by the moved message.
bool MoveMailItem(platform::Session& session, std::unique_ptr<platform::MailItem>& message,
                  platform::Folder& destination);
bool CopyMailItem(platform::Session& session, platform::MailItem& message,
                  platform::Folder& destination);

class ItemActions {
public:
    ItemActions(const TaskSettings& settings, platform::Session* session, MsgExporter& exporter);

    // True when the item was acted on (in a preview: when its message can be
    // reached). Delete uses the item's own delete (into "Deleted Items");
    // Move and Copy go to destFolder, or to fileSystemFolder as a .msg file
    // when the destination is a disk folder.
    // In a preview into a disk folder, the file a Start would write is
    // planned: lastFile() names it, or is empty when the Start would fail.
    bool PerformAction(platform::MailItem* item, platform::Folder* destFolder,
                       const QString& fileSystemFolder);
    platform::Session* session() const { return m_session; }
    MsgExporter& exporter() const { return m_exporter; }
    // Move (0) or Copy (1) into a store folder; any other action: false.
    bool PerformMailAction(std::unique_ptr<platform::MailItem>& message,
                           platform::Folder* destFolder);

    // Of the last PerformAction: why it failed (or, planning a file, why the
    // Start would), and the .msg file written or planned.
    const platform::PlatformError& lastError() const { return m_lastError; }
    const QString& lastFile() const { return m_lastFile; }

private:
    bool fail(const platform::PlatformError& error);

    const TaskSettings& m_settings;
    platform::Session* m_session;
    MsgExporter& m_exporter;
    platform::PlatformError m_lastError;
    QString m_lastFile;
};

} // namespace kestrel::engine
