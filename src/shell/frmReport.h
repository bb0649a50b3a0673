#pragma once

#include "engine/ReportRow.h"

#include <QDialog>

#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace kestrel::engine {
class ReportModel;
class RunReport;
} // namespace kestrel::engine

namespace kestrel::shell {

// The report of the last run: every item it looked at in a table that sorts
// by any column and filters by outcome and text, the row counts per outcome,
// and "Save as CSV".
class frmReport : public QDialog {
    Q_OBJECT
public:
    // summary: the run's status line.
    frmReport(std::shared_ptr<const engine::RunReport> report, const QString& summary,
              QWidget* owner = nullptr);
    ~frmReport() override;

    // Asks where to save the CSV file; "" cancels. A file dialog unless set.
    void setSavePathAsker(std::function<QString(QWidget*)> asker)
    {
        m_askSavePath = std::move(asker);
    }

    // What "Undo last run" does; the button shows once this is set.
    void setUndoAction(std::function<void()> undo);

    engine::ReportModel& model() { return *m_model; }

    QLabel* lblSummary;
    QLabel* lblCounts;
    QLabel* lblLost;
    QLineEdit* txtSearch;
    QComboBox* cbOutcome;
    QTableView* tvReport;
    QLabel* lblShown;
    QLabel* lblSaved;
    QPushButton* cmdUndo;
    QPushButton* cmdSaveCsv;
    QPushButton* cmdClose;

private:
    void fillOutcomes();
    void outcomeChosen();
    void showRowCount();
    void saveAsCsv();

    std::shared_ptr<const engine::RunReport> m_report;
    engine::ReportModel* m_model;
    std::function<QString(QWidget*)> m_askSavePath;
    std::function<void()> m_undo;
};

} // namespace kestrel::shell
