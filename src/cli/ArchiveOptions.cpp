#include "ArchiveOptions.h"

#include "engine/ReportWriter.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <optional>

namespace kestrel::cli {

namespace {

const QStringList kActions = {QStringLiteral("move"), QStringLiteral("copy"),
                              QStringLiteral("delete")};
const QStringList kDateFields = {QStringLiteral("received"), QStringLiteral("sent"),
                                 QStringLiteral("modified"), QStringLiteral("created"),
                                 QStringLiteral("any")};
// By the window's priority list: unchanged, high, idle.
const QStringList kPriorities = {QStringLiteral("normal"), QStringLiteral("high"),
                                 QStringLiteral("idle")};

const char* const kDescription =
    "Archives mail by date without a window, with the same checks, actions and\n"
    "summary as Kestrel Mailkeep.\n"
    "\n"
    "  kestrel-archive [--profile FILE]\n"
    "      (--source STORE (--folder 'Inbox\\Clients' ... | --all-folders) | --source-dir DIR)\n"
    "      --action move|copy|delete --date-field received|sent|modified|created|any\n"
    "      --from YYYY-MM-DD --to YYYY-MM-DD [--include-unread] [--respect-no-archive]\n"
    "      (--dest STORE | --dest-dir DIR) [--pattern PATTERN] [--priority normal|high|idle]\n"
    "      [--dry-run] [--report FILE.csv|FILE.json] [--yes]\n"
    "  kestrel-archive --undo last|RUN [--report FILE.csv|FILE.json] [--yes]\n"
    "  kestrel-archive --list-runs\n"
    "\n"
    "A move or delete asks once on a terminal; without a terminal it needs --yes.\n"
    "Passwords of server stores come from the store's PasswordCommand or the\n"
    "desktop's keyring only: nothing is asked.\n"
    "Exit status: 0 every item succeeded, 1 some failed or the run was stopped,\n"
    "2 bad usage or settings (nothing was done).";

ParsedCommand refused(const QString& text)
{
    ParsedCommand result;
    result.outcome = ParsedCommand::Outcome::Refused;
    result.text = text;
    return result;
}

// The position of value in choices, or -1.
int choiceOf(const QString& value, const QStringList& choices)
{
    return int(choices.indexOf(value.toLower()));
}

QString choiceError(const QString& option, const QString& value, const QStringList& choices)
{
    return QStringLiteral("--%1: \"%2\" is none of %3").arg(option, value, choices.join(u'|'));
}

} // namespace

ParsedCommand parseArchiveCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(kDescription));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Shows this help."));
    const QCommandLineOption version(QStringLiteral("version"),
                                     QStringLiteral("Shows the program's version."));
    const auto valued = [](const char* name, const char* text, const char* value) {
        return QCommandLineOption(QString::fromLatin1(name), QString::fromUtf8(text),
                                  QString::fromLatin1(value));
    };
    const auto flag = [](const char* name, const char* text) {
        return QCommandLineOption(QString::fromLatin1(name), QString::fromUtf8(text));
    };
    const QCommandLineOption profile = valued(
        "profile", "The mail profile (default: ~/.config/kestrel-mailkeep/profile.ini).", "FILE");
    const QCommandLineOption source = valued("source", "The source store, by its name.", "STORE");
    const QCommandLineOption folder =
        valued("folder", "A folder of the source store, levels joined by \\ (repeatable).", "PATH");
    const QCommandLineOption allFolders =
        flag("all-folders", "Every folder of the source store and their subfolders.");
    const QCommandLineOption sourceDir =
        valued("source-dir", "A disk folder of .msg files, sub-folders included.", "DIR");
    const QCommandLineOption action = valued("action", "move, copy or delete.", "ACTION");
    const QCommandLineOption dateField =
        valued("date-field", "received, sent, modified, created or any.", "FIELD");
    const QCommandLineOption from = valued("from", "The first day of the range.", "YYYY-MM-DD");
    const QCommandLineOption to = valued("to", "The last day of the range.", "YYYY-MM-DD");
    const QCommandLineOption includeUnread = flag("include-unread", "Unread items too.");
    const QCommandLineOption respectNoArchive =
        flag("respect-no-archive", "Leaves items marked \"No Archive\".");
    const QCommandLineOption dest = valued("dest", "The destination store, by its name.", "STORE");
    const QCommandLineOption destDir =
        valued("dest-dir", "A disk folder: every item becomes one .msg file.", "DIR");
    const QCommandLineOption pattern =
        valued("pattern", "The .msg file name pattern (default: the window's).", "PATTERN");
    const QCommandLineOption priority =
        valued("priority", "normal, high or idle (default idle).", "PRIORITY");
    const QCommandLineOption dryRun = flag("dry-run", "Preview: changes nothing.");
    const QCommandLineOption report =
        valued("report", "Writes one row per item to FILE.csv or FILE.json.", "FILE");
    const QCommandLineOption yes = flag("yes", "Moves or deletes without asking.");
    const QCommandLineOption undo = valued("undo", "Undoes the last run, or the run named.", "RUN");
    const QCommandLineOption listRuns = flag("list-runs", "Lists the runs that can be undone.");
    parser.addOptions({help,       version,       profile,          source,    folder,
                       allFolders, sourceDir,     action,           dateField, from,
                       to,         includeUnread, respectNoArchive, dest,      destDir,
                       pattern,    priority,      dryRun,           report,    yes,
                       undo,       listRuns});

    if (!parser.parse(arguments))
        return refused(parser.errorText());
    ParsedCommand result;
    if (parser.isSet(help)) {
        result.outcome = ParsedCommand::Outcome::Printed;
        result.text = parser.helpText();
        return result;
    }
    if (parser.isSet(version)) {
        result.outcome = ParsedCommand::Outcome::Printed;
        result.text = QCoreApplication::applicationName() + u' ' +
                      QCoreApplication::applicationVersion() + u'\n';
        return result;
    }
    if (!parser.positionalArguments().isEmpty())
        return refused(QStringLiteral("unexpected argument \"%1\"")
                           .arg(parser.positionalArguments().constFirst()));

    ArchiveOptions& o = result.options;
    o.profile = parser.value(profile);
    o.yes = parser.isSet(yes);
    // A run and an undo take --report alike.
    const auto takeReport = [&]() -> std::optional<ParsedCommand> {
        o.report = parser.value(report);
        if (parser.isSet(report) && !engine::reportFormatFor(o.report))
            return refused(
                QStringLiteral("--report: \"%1\" ends in neither .csv nor .json").arg(o.report));
        return std::nullopt;
    };
    const int modes = int(parser.isSet(undo)) + int(parser.isSet(listRuns));
    if (modes > 0) {
        // Nothing of a run goes with them but the profile, --yes and an undo's report.
        const QStringList given = parser.optionNames();
        for (const QString& name : given) {
            if (name != QLatin1String("profile") && name != QLatin1String("yes") &&
                name != QLatin1String("undo") && name != QLatin1String("list-runs") &&
                !(name == QLatin1String("report") && parser.isSet(undo)))
                return refused(
                    QStringLiteral("--%1 does not go with --undo or --list-runs").arg(name));
        }
        if (modes > 1)
            return refused(QStringLiteral("--undo and --list-runs go alone"));
        o.mode = parser.isSet(undo) ? CommandMode::Undo : CommandMode::ListRuns;
        o.undoRun = parser.value(undo);
        if (std::optional<ParsedCommand> refusal = takeReport())
            return *refusal;
        result.outcome = ParsedCommand::Outcome::Run;
        return result;
    }

    if (parser.isSet(source))
        o.source = parser.value(source);
    if (parser.isSet(sourceDir))
        o.sourceDir = parser.value(sourceDir);
    if (o.source && o.sourceDir)
        return refused(QStringLiteral("--source and --source-dir do not go together"));
    o.folders = parser.values(folder);
    o.allFolders = parser.isSet(allFolders);
    if (!o.source && (o.allFolders || !o.folders.isEmpty()))
        return refused(QStringLiteral("--folder and --all-folders choose folders of --source"));
    if (o.source && o.allFolders && !o.folders.isEmpty())
        return refused(QStringLiteral("--folder and --all-folders do not go together"));
    if (o.source && !o.allFolders && o.folders.isEmpty())
        return refused(QStringLiteral("--source needs --folder or --all-folders"));
    if (parser.isSet(dest))
        o.dest = parser.value(dest);
    if (parser.isSet(destDir))
        o.destDir = parser.value(destDir);
    if (o.dest && o.destDir)
        return refused(QStringLiteral("--dest and --dest-dir do not go together"));

    if (!parser.isSet(action))
        return refused(QStringLiteral("--action is needed: move, copy or delete"));
    o.action = choiceOf(parser.value(action), kActions);
    if (o.action < 0)
        return refused(choiceError(QStringLiteral("action"), parser.value(action), kActions));
    if (!parser.isSet(dateField))
        return refused(QStringLiteral("--date-field is needed: %1").arg(kDateFields.join(u'|')));
    o.dateBase = choiceOf(parser.value(dateField), kDateFields);
    if (o.dateBase < 0)
        return refused(
            choiceError(QStringLiteral("date-field"), parser.value(dateField), kDateFields));
    for (const auto& [option, date] : {std::pair{&from, &o.from}, std::pair{&to, &o.to}}) {
        const QString name = option->names().constFirst();
        if (!parser.isSet(*option))
            return refused(QStringLiteral("--%1 is needed: a day as YYYY-MM-DD").arg(name));
        *date = QDate::fromString(parser.value(*option), Qt::ISODate);
        if (!date->isValid())
            return refused(QStringLiteral("--%1: \"%2\" is not a day as YYYY-MM-DD")
                               .arg(name, parser.value(*option)));
    }
    o.includeUnread = parser.isSet(includeUnread);
    o.respectNoArchive = parser.isSet(respectNoArchive);
    if (parser.isSet(pattern))
        o.pattern = parser.value(pattern);
    if (parser.isSet(priority)) {
        o.priorityPosition = choiceOf(parser.value(priority), kPriorities);
        if (o.priorityPosition < 0)
            return refused(
                choiceError(QStringLiteral("priority"), parser.value(priority), kPriorities));
    }
    o.dryRun = parser.isSet(dryRun);
    if (std::optional<ParsedCommand> refusal = takeReport())
        return *refusal;
    result.outcome = ParsedCommand::Outcome::Run;
    return result;
}

} // namespace kestrel::cli
