#pragma once

// The destination side of the disk-folder source: new items from .msg files,
// and the store folder that mirrors a disk folder. Relative paths are in
// store form ("2004\Jan"), escaped as folder paths are (see folders/mdlMAPI.h).

#include "platform/PlatformError.h"

#include <QString>

#include <memory>

namespace kestrel::platform {
class Folder;
class MailItem;
class Session;
} // namespace kestrel::platform

namespace kestrel::engine {

// A new, unsaved item of folder holding the .msg file at path, or nullptr
// when the item cannot be made or the file cannot be read as a message
// (error, when given, says why).
std::unique_ptr<platform::MailItem> ImportMsgFile(const QString& path, platform::Folder* folder,
                                                  platform::PlatformError* error = nullptr);

// root opened again through the session, by its EntryID; nullptr when it
// cannot be.
std::unique_ptr<platform::Folder> OpenRootFolder(platform::Session* session,
                                                 platform::Folder* root);

// The folder at relativePath below root (root itself for ""), or nullptr when
// a level is missing.
std::unique_ptr<platform::Folder> GetStoreFolderByPath(platform::Session* session,
                                                       platform::Folder* root,
                                                       const QString& relativePath);

// Finds or creates every level of relativePath below root. nullptr for ""
// and when a level can be neither found nor created (levels made stay).
std::unique_ptr<platform::Folder> CreateStoreFolderPath(platform::Session* session,
                                                        platform::Folder* root,
                                                        const QString& relativePath);

} // namespace kestrel::engine
