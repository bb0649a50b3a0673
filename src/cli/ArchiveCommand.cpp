#include "ArchiveCommand.h"

#include "KeyringPasswordSource.h"
#include "StopSignals.h"
#include "StoreSelection.h"
#include "TerminalView.h"
#include "engine/ReportRow.h"
#include "engine/ReportWriter.h"
#include "engine/SoundPlayer.h"
#include "engine/TaskCounters.h"
#include "engine/TaskSettings.h"
#include "engine/TaskVerification.h"
#include "platform/imap/Credentials.h"
#include "shell/Keyring.h"
#include "shell/SettingsStore.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace kestrel::cli {

namespace {

// The user's settings (the .msg file name pattern), with --pattern before them.
class CommandSettings : public engine::SettingsReader {
public:
    CommandSettings(const engine::SettingsReader& user, std::optional<QString> pattern)
        : m_user(user), m_pattern(std::move(pattern))
    {
    }
    QString readSetting(const QString& section, const QString& key,
                        const QString& defaultValue) const override
    {
        if (m_pattern && section == QLatin1String("MSG") && key == QLatin1String("Pattern"))
            return *m_pattern;
        return m_user.readSetting(section, key, defaultValue);
    }

private:
    const engine::SettingsReader& m_user;
    std::optional<QString> m_pattern;
};

// A command line plays no sound.
class Silence : public engine::SoundPlayer {
public:
    void playAsync(const QString&) override {}
};

const char* const kActionTexts[] = {"MOVE MATCHING MESSAGES", "COPY MATCHING MESSAGES",
                                    "DELETE MATCHING MESSAGES"};

} // namespace

void tell(const QString& text)
{
    // The window's texts may hold a line break; here each is one line.
    QString line = text;
    line.remove(QStringLiteral("\r\n"));
    std::fprintf(stderr, "kestrel-archive: %s\n", qUtf8Printable(line));
    std::fflush(stderr);
}

ExitCode ArchiveCommand::refuse(const QString& text)
{
    tell(text);
    return kExitRefused;
}

bool confirm(bool yes, const QString& question, const char* whyNeeded)
{
    if (yes)
        return true;
    if (!::isatty(STDIN_FILENO) || !::isatty(STDERR_FILENO)) {
        tell(question + QStringLiteral(": not asked without a terminal; ") +
             QString::fromUtf8(whyNeeded));
        return false;
    }
    std::fprintf(stderr, "%s [y/N] ", qUtf8Printable(question));
    std::fflush(stderr);
    QTextStream in(stdin);
    const QString answer = in.readLine().trimmed().toLower();
    const bool answeredYes = answer == QLatin1String("y") || answer == QLatin1String("yes");
    if (!answeredYes)
        tell(QStringLiteral("nothing was done"));
    return answeredYes;
}

ExitCode ArchiveCommand::run()
{
    const ArchiveOptions& o = m_options;
    if (!o.profile.isEmpty())
        qputenv("KESTREL_PROFILE", QFile::encodeName(QFileInfo(o.profile).absoluteFilePath()));

    // Server passwords: PasswordCommand, else the keyring; nobody is asked.
    shell::SystemKeyring keyring;
    KeyringPasswordSource passwords(keyring);
    platform::imap::setPasswordSource(&passwords);
    struct PasswordSourceReset {
        ~PasswordSourceReset() { platform::imap::setPasswordSource(nullptr); }
    } passwordSourceReset;

    // Opened by the check when it must know whether the source can be written.
    StoreSelection stores;
    std::optional<bool> storesOpen;
    const auto openStores = [&] {
        if (!storesOpen)
            storesOpen = stores.open();
        return *storesOpen;
    };

    // The window's checks, in its order, over the options' choices.
    engine::TaskChoices choices;
    choices.sourceChosen = o.source || o.sourceDir;
    choices.destinationChosen = o.dest || o.destDir;
    choices.sameEntry = (o.sourceDir && o.destDir) || (o.source && o.dest && *o.source == *o.dest);
    choices.Action = o.action;
    choices.SourceIsDisk = o.sourceDir.has_value();
    choices.sourceDiskFolder = o.sourceDir.value_or(QString());
    // A store that cannot be opened is told when the run opens it.
    choices.isSourceReadOnly = [&] {
        const std::unique_ptr<platform::Folder> root =
            o.source && openStores() ? stores.storeRoot(*o.source, QString()) : nullptr;
        return root && root->isReadOnly();
    };
    choices.DestinationIsDisk = o.destDir.has_value();
    choices.destinationDiskFolder = o.destDir.value_or(QString());
    const engine::TaskVerification check = engine::VerifyTaskChoices(choices);
    if (check.step == engine::VerifyStep::RootFolder) {
        if (!confirm(o.yes, check.text + u'?', "give --yes to write there"))
            return kExitRefused;
    } else if (!check.passed()) {
        return refuse(check.text);
    }

    engine::TaskSettings settings;
    settings.PreviewMode = o.dryRun;
    settings.Action = o.action;
    settings.SourceIsDisk = choices.SourceIsDisk;
    settings.SourceDiskFolder = choices.sourceDiskFolder;
    settings.DestinationIsDisk = choices.DestinationIsDisk;
    settings.DestinationPath = check.DestinationPath;
    settings.IncludeUnread = o.includeUnread;
    settings.RespectNoArchive = o.respectNoArchive;
    settings.StartDate = QDateTime(o.from, QTime(0, 0, 0));
    settings.EndDate = QDateTime(o.to, QTime(23, 59, 59));
    settings.DateBase = o.dateBase;

    if (!openStores())
        return refuse(stores.lastError());
    QList<engine::TaskFolder> folders;
    if (o.source) {
        settings.SourceRoot =
            stores.storeRoot(*o.source, QStringLiteral("Cannot open the 'Source' Root."));
        if (!settings.SourceRoot)
            return refuse(stores.lastError());
        folders = o.allFolders ? stores.allFolders(*settings.SourceRoot)
                               : stores.namedFolders(*settings.SourceRoot, o.folders);
        if (folders.isEmpty() && !o.allFolders)
            return refuse(stores.lastError());
    }
    if (o.dest) {
        settings.ArchiveRoot =
            stores.storeRoot(*o.dest, QStringLiteral("Cannot open the 'Destination' Root."));
        if (!settings.ArchiveRoot)
            return refuse(stores.lastError());
    }

    // A move or delete takes mail away: asked once, as the window confirms.
    const bool destructive = !o.dryRun && o.action != int(engine::TaskAction::Copy);
    if (destructive) {
        const QString sourceName = settings.SourceRoot
                                       ? settings.SourceRoot->name().value_or(*o.source)
                                       : settings.SourceDiskFolder;
        QString question = QString::fromLatin1(kActionTexts[o.action]) +
                           QStringLiteral(" from \"%1\"").arg(sourceName);
        if (o.action != int(engine::TaskAction::Delete))
            question +=
                QStringLiteral(" to \"%1\"")
                    .arg(settings.ArchiveRoot ? settings.ArchiveRoot->name().value_or(*o.dest)
                                              : settings.DestinationPath);
        if (!confirm(o.yes,
                     question + QStringLiteral(", dated %1 to %2. Go on?")
                                    .arg(o.from.toString(Qt::ISODate), o.to.toString(Qt::ISODate)),
                     "give --yes to run it unattended"))
            return kExitRefused;
    }

    // The report file is opened before anything changes, so that a run is
    // never done without the report asked for.
    std::optional<engine::ReportWriter> report;
    if (!o.report.isEmpty()) {
        report.emplace(o.report, *engine::reportFormatFor(o.report));
        if (!report->open())
            return refuse(QStringLiteral("--report: ") + report->lastError());
    }

    TerminalView view(::isatty(STDERR_FILENO));
    qint64 failedItems = 0;
    bool reportFailed = false;
    view.onItem = [&](const engine::ItemReport& item) {
        if (item.outcome == engine::ReportOutcome::Failed)
            ++failedItems;
        if (report && !reportFailed && !report->write(engine::ReportRow::from(item)))
            reportFailed = true;
    };
    shell::SettingsStore userSettings;
    CommandSettings reader(userSettings, o.pattern);
    Silence silence;
    engine::TaskRunner runner(view, silence, reader, QCoreApplication::applicationDirPath());
    StopSignals stop([&runner] { runner.RequestStop(); });
    if (!stop.installed())
        tell(QStringLiteral("Ctrl+C cannot stop the run at a safe point here: ") +
             QString::fromLocal8Bit(std::strerror(errno)));
    QCoreApplication::processEvents();
    if (stop.received()) {
        tell(QStringLiteral("Task interrupted."));
        return kExitSomeFailed;
    }

    runner.Run(settings, o.priorityPosition, stores.ns(), stores.session(), folders);

    const bool stopped = runner.flags().StopRequested;
    if (report && !reportFailed && !report->commit())
        reportFailed = true;
    std::fprintf(stdout, "%s\n", qUtf8Printable(view.status()));
    std::fflush(stdout);
    if (stopped)
        tell(QStringLiteral("Task interrupted."));
    if (reportFailed)
        tell(QStringLiteral("the report %1 could not be written: %2")
                 .arg(o.report, report->lastError()));
    // A Start that cannot be undone in full is not a clean one.
    const bool journalFailed = !runner.journalError().isEmpty();
    if (journalFailed)
        tell(QStringLiteral("the run's journal %1 is not whole: %2")
                 .arg(runner.lastJournal(), runner.journalError()));
    const bool someFailed = failedItems > 0 || runner.counters().FailedCount > 0;
    return someFailed || stopped || reportFailed || journalFailed ? kExitSomeFailed : kExitDone;
}

} // namespace kestrel::cli
