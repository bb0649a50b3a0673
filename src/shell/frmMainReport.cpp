// The main window's part in a run's report: it keeps the rows the engine
// hands it and opens them in the report window from the "Details" link,
// where "Undo last run" reverses the newest Start from its journal.

#include "engine/ItemReportSink.h"
#include "engine/JournalReader.h"
#include "engine/ReportRow.h"
#include "engine/RunReport.h"
#include "engine/Undo.h"
#include "frmMain.h"
#include "frmReport.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>

namespace kestrel::shell {

namespace {

// The undo's rows go into a report of their own, as a run's do.
class ReportRows : public engine::ItemReportSink {
public:
    explicit ReportRows(engine::RunReport& report) : m_report(report) {}
    void ItemDone(const engine::ItemReport& report) override
    {
        m_report.append(engine::ReportRow::from(report));
    }

private:
    engine::RunReport& m_report;
};

} // namespace

void frmMain::beginReport()
{
    // The last run's window keeps its own report; this run starts afresh.
    m_report = std::make_shared<engine::RunReport>();
}

void frmMain::endReport()
{
    lblDetails->show();
}

void frmMain::ItemDone(const engine::ItemReport& report)
{
    if (m_report)
        m_report->append(engine::ReportRow::from(report));
}

void frmMain::showReport()
{
    if (!m_report)
        return;
    openReport(lblAppStatus->text());
}

void frmMain::openReport(const QString& summary)
{
    if (m_reportWindow)
        m_reportWindow->close();
    auto* window = new frmReport(m_report, summary, this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setUndoAction([this] { undoLastRun(); });
    window->cmdUndo->setEnabled(engine::LastUndoableRun(engine::JournalDirectory()).has_value());
    m_reportWindow = window;
    window->show();
    window->raise();
    window->activateWindow();
}

frmReport* frmMain::reportWindow() const
{
    return m_reportWindow.data();
}

void frmMain::undoLastRun()
{
    if (flags().TaskRunning || !MapiSession)
        return;
    const std::optional<engine::RunEntry> last =
        engine::LastUndoableRun(engine::JournalDirectory());
    if (!last)
        return;
    m_report = std::make_shared<engine::RunReport>();
    ReportRows rows(*m_report);
    engine::Undo undo(*MapiSession);
    undo.setSink(&rows);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool finished = undo.undoRun(last->path);
    QApplication::restoreOverrideCursor();
    const engine::UndoCounts& counts = undo.counts();
    QString summary = QStringLiteral("Last run undone: %1 item(s) back as they were, %2 skipped, "
                                     "%3 failed.")
                          .arg(counts.undone)
                          .arg(counts.skipped)
                          .arg(counts.failed);
    if (!finished)
        summary = QStringLiteral("The last run cannot be undone: ") + undo.lastError();
    refreshFolderTree();
    openReport(summary);
}

} // namespace kestrel::shell
