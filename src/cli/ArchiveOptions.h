#pragma once

// The command line of kestrel-archive, read into the choices of one run (or
// of an undo, or the list of runs). Reading only checks the form of each
// option; whether the choices make a run is the task verification's to say.

#include <QDate>
#include <QString>
#include <QStringList>

#include <optional>

namespace kestrel::cli {

enum class CommandMode { Archive, Undo, ListRuns };

struct ArchiveOptions {
    CommandMode mode = CommandMode::Archive;
    QString profile; // empty: the user's own

    std::optional<QString> source;    // a store's name
    std::optional<QString> sourceDir; // a disk folder of .msg files, as typed
    QStringList folders;              // relative to the source store, "Inbox\Clients"
    bool allFolders = false;

    int action = 0;   // TaskAction
    int dateBase = 0; // DateBase
    QDate from;
    QDate to;
    bool includeUnread = false;
    bool respectNoArchive = false;

    std::optional<QString> dest;    // a store's name
    std::optional<QString> destDir; // a disk folder for .msg files, as typed
    std::optional<QString> pattern; // the file name pattern, else the user's setting

    int priorityPosition = 2; // the window's list: 0 unchanged, 1 high, 2 idle
    bool dryRun = false;
    QString report; // FILE.csv or FILE.json
    bool yes = false;

    QString undoRun; // "last" or a run's name
};

// What reading the command line came to.
struct ParsedCommand {
    enum class Outcome { Run, Printed, Refused };
    Outcome outcome = Outcome::Refused;
    ArchiveOptions options;
    QString text; // Printed: the help or version for stdout; Refused: one line why
};

ParsedCommand parseArchiveCommand(const QStringList& arguments);

} // namespace kestrel::cli
