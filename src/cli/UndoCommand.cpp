#include "UndoCommand.h"

#include "StoreSelection.h"
#include "engine/ItemReportSink.h"
#include "engine/Journal.h"
#include "engine/JournalReader.h"
#include "engine/ReportRow.h"
#include "engine/ReportWriter.h"
#include "engine/Undo.h"

#include <QFileInfo>

namespace kestrel::cli {

namespace {

QString text(const QJsonObject& header, const char* key)
{
    return header.value(QLatin1String(key)).toString();
}

// "move 2023-01-01..2023-12-31 \\Personal Folders -> \\Archive"
QString describeRun(const engine::RunEntry& run)
{
    const QJsonObject& h = run.header;
    if (text(h, engine::journal::kKind) == QLatin1String(engine::journal::kUndo))
        return QStringLiteral("undo of ") + text(h, engine::journal::kUndoes);
    return QStringLiteral("%1 %2..%3 %4 -> %5")
        .arg(text(h, engine::journal::kAction), text(h, "from").left(10), text(h, "to").left(10),
             text(h, "source"), text(h, "destination"));
}

QString stateOf(const engine::RunEntry& run)
{
    if (!run.ended)
        return QStringLiteral("cut short");
    if (!run.undoneBy.isEmpty())
        return QStringLiteral("undone by ") + run.undoneBy;
    if (run.header.value(QLatin1String(engine::journal::kKind)).toString() ==
        QLatin1String(engine::journal::kUndo))
        return QStringLiteral("ended");
    return QStringLiteral("can be undone");
}

// What the undo does to each item, into the --report file.
class ReportFileSink : public engine::ItemReportSink {
public:
    explicit ReportFileSink(engine::ReportWriter& writer) : m_writer(writer) {}
    void ItemDone(const engine::ItemReport& report) override
    {
        if (!m_failed && !m_writer.write(engine::ReportRow::from(report)))
            m_failed = true;
    }
    bool failed() const { return m_failed; }

private:
    engine::ReportWriter& m_writer;
    bool m_failed = false;
};

} // namespace

ExitCode listRuns()
{
    for (const engine::RunEntry& run : engine::ListRuns(engine::JournalDirectory())) {
        const QString name = QFileInfo(run.name).completeBaseName();
        std::printf("%s  %s  (%s)\n", qUtf8Printable(name), qUtf8Printable(describeRun(run)),
                    qUtf8Printable(stateOf(run)));
    }
    std::fflush(stdout);
    return kExitDone;
}

ExitCode UndoCommand::run()
{
    const ArchiveOptions& o = m_options;
    if (!o.profile.isEmpty())
        qputenv("KESTREL_PROFILE", QFile::encodeName(QFileInfo(o.profile).absoluteFilePath()));

    const QString directory = engine::JournalDirectory();
    std::optional<engine::RunEntry> chosen;
    const bool last = o.undoRun == QLatin1String("last");
    if (last) {
        chosen = engine::LastUndoableRun(directory);
        if (!chosen) {
            tell(QStringLiteral("no run to undo in ") + directory);
            return kExitRefused;
        }
    } else {
        for (engine::RunEntry& run : engine::ListRuns(directory)) {
            if (run.name == o.undoRun || QFileInfo(run.name).completeBaseName() == o.undoRun)
                chosen = std::move(run);
        }
        if (!chosen) {
            tell(QStringLiteral("no run \"%1\" in %2 (see --list-runs)").arg(o.undoRun, directory));
            return kExitRefused;
        }
        if (text(chosen->header, engine::journal::kKind) != QLatin1String(engine::journal::kRun)) {
            tell(QStringLiteral("\"%1\" is an undo; only a run can be undone").arg(o.undoRun));
            return kExitRefused;
        }
        if (!chosen->undoneBy.isEmpty()) {
            tell(
                QStringLiteral("\"%1\" was undone already by %2").arg(o.undoRun, chosen->undoneBy));
            return kExitRefused;
        }
    }
    const QString name = QFileInfo(chosen->name).completeBaseName();
    // An undo removes the run's copies and files: asked once, like a move.
    if (!confirm(o.yes, QStringLiteral("UNDO %1: %2. Go on?").arg(name, describeRun(*chosen)),
                 "give --yes to undo unattended"))
        return kExitRefused;

    std::optional<engine::ReportWriter> report;
    if (!o.report.isEmpty()) {
        report.emplace(o.report, *engine::reportFormatFor(o.report));
        if (!report->open()) {
            tell(QStringLiteral("--report: ") + report->lastError());
            return kExitRefused;
        }
    }
    StoreSelection stores;
    if (!stores.open() || !stores.session()) {
        tell(stores.lastError().isEmpty() ? QStringLiteral("The mail stores cannot be opened.")
                                          : stores.lastError());
        return kExitRefused;
    }
    engine::Undo undo(*stores.session());
    std::optional<ReportFileSink> sink;
    if (report) {
        sink.emplace(*report);
        undo.setSink(&*sink);
    }
    if (!undo.undoRun(chosen->path)) {
        tell(QStringLiteral("The run cannot be undone: ") + undo.lastError());
        return kExitRefused;
    }
    const bool reportFailed = report && (sink->failed() || !report->commit());
    const engine::UndoCounts& counts = undo.counts();
    const QString summary =
        (last ? QStringLiteral("Last run undone") : QStringLiteral("Run %1 undone").arg(name)) +
        QStringLiteral(": %1 item(s) back as they were, %2 skipped, %3 failed.")
            .arg(counts.undone)
            .arg(counts.skipped)
            .arg(counts.failed);
    std::printf("%s\n", qUtf8Printable(summary));
    std::fflush(stdout);
    if (reportFailed)
        tell(QStringLiteral("the report %1 could not be written: %2")
                 .arg(o.report, report->lastError()));
    return counts.failed > 0 || reportFailed ? kExitSomeFailed : kExitDone;
}

} // namespace kestrel::cli
