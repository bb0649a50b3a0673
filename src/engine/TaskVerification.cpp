#include "TaskVerification.h"

#include "FolderExists.h"
#include "PathRoutines.h"
#include "TaskCounters.h"

#include <QDir>

namespace kestrel::engine {

namespace {

TaskVerification refused(VerifyStep step, const QString& text)
{
    TaskVerification result;
    result.step = step;
    result.text = text;
    return result;
}

} // namespace

TaskVerification VerifyTaskChoices(const TaskChoices& choices)
{
    if (!choices.sourceChosen)
        return refused(VerifyStep::NoSource,
                       QStringLiteral("Select a 'Source' data store to archive"));
    if (!choices.destinationChosen)
        return refused(VerifyStep::NoDestination,
                       QStringLiteral("Select a ' Destination' data store in which archived items "
                                      "can be saved."));
    if (choices.sameEntry)
        return refused(VerifyStep::SameEntry,
                       QStringLiteral("The 'Source' and 'Destination' cannot be the same."));
    if (choices.SourceIsDisk) {
        const QString& typed = choices.sourceDiskFolder;
        if (typed.trimmed().isEmpty())
            return refused(VerifyStep::NoSourceFolder,
                           QStringLiteral("You must specify a 'Source' folder."));
        if (!FolderExists(typed))
            return refused(VerifyStep::MissingSourceFolder,
                           QStringLiteral("The folder: ") + typed +
                               QStringLiteral("\r\n does not exist."));
    } else if (choices.Action != int(TaskAction::Copy) && choices.isSourceReadOnly &&
               choices.isSourceReadOnly()) {
        return refused(VerifyStep::ReadOnlySource,
                       QStringLiteral("The 'Source' data store can only be read: its items can "
                                      "be copied, but not moved or deleted."));
    }
    if (!choices.DestinationIsDisk)
        return {};

    const QString destination = choices.destinationDiskFolder.trimmed();
    if (destination.isEmpty())
        return refused(VerifyStep::NoDestinationFolder,
                       QStringLiteral("You must select a 'Destination' Folder."));
    TaskVerification result;
    result.DestinationPath = AddPathSeparator(destination);
    // The root of the file system stands for a drive's root folder.
    if (QDir::cleanPath(result.DestinationPath) == QLatin1String("/")) {
        result.step = VerifyStep::RootFolder;
        result.text =
            QStringLiteral("Are you sure you want to place messages in the ROOT folder of your ") +
            result.DestinationPath + QStringLiteral(" drive");
    }
    return result;
}

} // namespace kestrel::engine
