#pragma once

#include "ArchiveOptions.h"

#include <QString>

#include <cstdio>

namespace kestrel::cli {

// The exit status of the program.
enum ExitCode {
    kExitDone = 0,       // every item succeeded
    kExitSomeFailed = 1, // some items failed, or the run was stopped
    kExitRefused = 2,    // bad usage or settings: nothing was done
};

// One archive run from the command line, from the checks to the summary.
// Refusals and messages go to standard error (one line each), the summary
// line to standard output.
class ArchiveCommand {
public:
    explicit ArchiveCommand(ArchiveOptions options) : m_options(std::move(options)) {}

    ExitCode run();

private:
    ExitCode refuse(const QString& text);

    ArchiveOptions m_options;
};

// "kestrel-archive: text" on standard error.
void tell(const QString& text);

// A yes/no question on the terminal, true for yes; yes (--yes) answers it
// beforehand. Without a terminal there is nobody to answer: false, saying so
// and whyNeeded.
bool confirm(bool yes, const QString& question, const char* whyNeeded);

} // namespace kestrel::cli
