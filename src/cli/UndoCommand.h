#pragma once

#include "ArchiveCommand.h"
#include "ArchiveOptions.h"

namespace kestrel::cli {

// --list-runs: the runs kept in the journal, the newest first, one a line.
ExitCode listRuns();

// --undo last|RUN: reverses a Start from its journal, as far as the journal
// reaches, with the summary line of the window's "Undo last run".
class UndoCommand {
public:
    explicit UndoCommand(ArchiveOptions options) : m_options(std::move(options)) {}
    ExitCode run();

private:
    ArchiveOptions m_options;
};

} // namespace kestrel::cli
