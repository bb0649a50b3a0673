// The main window's part in a run's report: it keeps the rows the engine
// hands it and opens them in the report window from the "Details" link.

#include "engine/ReportRow.h"
#include "engine/RunReport.h"
#include "frmMain.h"
#include "frmReport.h"

#include <QLabel>

namespace kestrel::shell {

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
    if (m_reportWindow)
        m_reportWindow->close();
    auto* window = new frmReport(m_report, lblAppStatus->text(), this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    m_reportWindow = window;
    window->show();
    window->raise();
    window->activateWindow();
}

frmReport* frmMain::reportWindow() const
{
    return m_reportWindow.data();
}

} // namespace kestrel::shell
