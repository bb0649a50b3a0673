// kestrel-archive: the archive task of Kestrel Mailkeep without a window, for
// scripts and timers. It links no widgets.
#include "ArchiveCommand.h"
#include "ArchiveOptions.h"
#include "UndoCommand.h"

#include <QCoreApplication>

#include <cstdio>

using namespace kestrel::cli;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kestrel-archive"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KESTREL_VERSION));

    const ParsedCommand command = parseArchiveCommand(QCoreApplication::arguments());
    switch (command.outcome) {
    case ParsedCommand::Outcome::Printed:
        std::fputs(qUtf8Printable(command.text), stdout);
        return kExitDone;
    case ParsedCommand::Outcome::Refused:
        tell(command.text + QStringLiteral(" (see kestrel-archive --help)"));
        return kExitRefused;
    case ParsedCommand::Outcome::Run:
        break;
    }
    switch (command.options.mode) {
    case CommandMode::Archive:
        return ArchiveCommand(command.options).run();
    case CommandMode::Undo:
        return UndoCommand(command.options).run();
    case CommandMode::ListRuns:
        return listRuns();
    }
    return kExitRefused;
}
