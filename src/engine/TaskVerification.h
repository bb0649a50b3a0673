#pragma once

// The check of a run's choices before it starts, without widgets: the window
// shows its result in message boxes, the command line on standard error.

#include <QString>

#include <functional>

namespace kestrel::engine {

// What the user chose, as the window's lists and fields or the command
// line's options hold it.
struct TaskChoices {
    bool sourceChosen = false;
    bool destinationChosen = false;
    bool sameEntry = false; // source and destination are the same entry
    int Action = 0;         // TaskAction
    bool SourceIsDisk = false;
    QString sourceDiskFolder; // as typed
    // Whether the source store can only be read. Asked only when the action
    // would take items out of a store, since opening one may log on to a
    // server; nothing means it can be written.
    std::function<bool()> isSourceReadOnly;
    bool DestinationIsDisk = false;
    QString destinationDiskFolder; // as typed
};

// The check that refused, in the order they are made.
enum class VerifyStep {
    Passed,
    NoSource,            // information
    NoDestination,       // information
    SameEntry,           // stop
    NoSourceFolder,      // stop
    MissingSourceFolder, // stop
    ReadOnlySource,      // stop
    NoDestinationFolder, // stop
    RootFolder,          // a question: Yes goes on, No refuses
};

struct TaskVerification {
    VerifyStep step = VerifyStep::Passed;
    QString text;            // the message, or the question of RootFolder
    QString DestinationPath; // a disk destination, ending in "/", once it passed its check

    bool passed() const { return step == VerifyStep::Passed; }
    // Told with the information icon rather than the stop icon.
    bool isInformation() const
    {
        return step == VerifyStep::NoSource || step == VerifyStep::NoDestination;
    }
};

// Makes the checks in order; the first that fails ends them.
TaskVerification VerifyTaskChoices(const TaskChoices& choices);

} // namespace kestrel::engine
