#pragma once

#include "platform/MailPlatform.h"

#include <QDateTime>
#include <QString>

#include <memory>

namespace kestrel::engine {

// The parameters of one run. The window fills them before the run (the two
// roots included); the engine only reads them, and releases the roots when
// the run ends.
struct TaskSettings {
    bool PreviewMode = false;
    int Action = 0; // TaskAction: 0 move, 1 copy, 2 delete
    bool SourceIsDisk = false;
    QString SourceDiskFolder; // the source disk folder as typed, when SourceIsDisk
    bool DestinationIsDisk = false;
    QString DestinationPath; // the destination disk folder, ending in "/"
    std::unique_ptr<platform::Folder> SourceRoot;
    std::unique_ptr<platform::Folder> ArchiveRoot;
    int YieldInterval = 10; // set by the runner from the priority choice
    bool IncludeUnread = false;
    bool RespectNoArchive = false;
    QDateTime StartDate; // the first day at 00:00:00
    QDateTime EndDate;   // the last day at 23:59:59
    int DateBase = 0;    // DateBase: 0 received .. 3 created, 4 any of the four
};

} // namespace kestrel::engine
