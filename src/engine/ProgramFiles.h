#pragma once

#include <QString>

namespace kestrel::engine {

// The folder that holds one of the program's own files ("task complete.wav",
// the icons): beside the program first, so that a build tree or an unpacked
// copy uses its own, then the installed data folder, relative to the program
// (dataFromProgram, e.g. "../share/kestrel-mailkeep"). When neither has it,
// the program's folder, so that the caller's own fallback applies.
QString ProgramDataDirectory(const QString& programDirectory, const QString& fileName,
                             const QString& dataFromProgram);
// The same with the data folder this program is installed with.
QString ProgramDataDirectory(const QString& programDirectory, const QString& fileName);

} // namespace kestrel::engine
