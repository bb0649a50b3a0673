// The report of a run through the real main window, offscreen: the "Details"
// link beside the status line, the report window's table, filters and
// "Save as CSV".

#include "TaskWindow.h"
#include "engine/ReportModel.h"
#include "engine/RunReport.h"
#include "shell/frmReport.h"

#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

using namespace kestrel;

namespace {

class ReportWindow : public test::TaskWindow {
protected:
    // The report window opened by a click on the link.
    shell::frmReport* openDetails(shell::frmMain& window)
    {
        EXPECT_TRUE(window.lblDetails->isVisible());
        QTest::mouseClick(window.lblDetails, Qt::LeftButton, {},
                          window.lblDetails->contentsRect().center());
        return window.reportWindow();
    }
    static QStringList column(shell::frmReport& report, engine::ReportColumn c)
    {
        QStringList texts;
        QAbstractItemModel& model = *report.tvReport->model();
        for (int r = 0; r < model.rowCount(); ++r)
            texts << model.index(r, int(c)).data().toString();
        return texts;
    }
};

} // namespace

TEST_F(ReportWindow, DetailsAfterEachRunShowItsRowsFilteredSortedAndSavedAsCsv)
{
    writeStores();
    addMessages("Inbox", 3, "Offer");
    addMessages("Inbox", 2, "Invoice");
    auto window = start();
    window->dtStart->setDate(QDate(2020, 1, 1));
    window->dtEnd->setDate(QDate(2020, 12, 31));
    tick(*window, "Inbox");
    EXPECT_FALSE(window->lblDetails->isVisible()) << "no run yet";

    bool hiddenDuringRun = true;
    test::YieldProbe probe([&] {
        if (window->flags().TaskRunning)
            hiddenDuringRun = hiddenDuringRun && !window->lblDetails->isVisible();
    });
    window->cmdPreview->click();
    const QString summary = window->lblAppStatus->text();
    EXPECT_TRUE(summary.startsWith("5 items would be moved."));
    shell::frmReport* report = openDetails(*window);
    ASSERT_NE(report, nullptr);
    EXPECT_TRUE(report->isVisible());
    EXPECT_EQ(report->lblSummary->text(), summary);
    EXPECT_EQ(report->lblCounts->text(), "5 would move");
    EXPECT_EQ(column(*report, engine::ReportColumn::Outcome), QStringList(5, "would move"));

    // The search box and the outcome filter narrow the table.
    QTest::keyClicks(report->txtSearch, "invoice");
    EXPECT_EQ(column(*report, engine::ReportColumn::Subject).size(), 2);
    EXPECT_EQ(report->lblShown->text(), "2 of 5 rows");
    report->txtSearch->clear();
    ASSERT_EQ(report->cbOutcome->count(), 2);
    EXPECT_EQ(report->cbOutcome->itemText(1), "would move (5)");
    report->tvReport->sortByColumn(int(engine::ReportColumn::Subject), Qt::DescendingOrder);
    EXPECT_EQ(column(*report, engine::ReportColumn::Subject),
              QStringList({"Offer 3", "Offer 2", "Offer 1", "Invoice 2", "Invoice 1"}));

    // "Save as CSV": the whole report, whatever the filter shows.
    const QTemporaryDir dir;
    const QString csv = dir.filePath("preview.csv");
    report->setSavePathAsker([&](QWidget*) { return csv; });
    report->txtSearch->setText("Offer 1");
    QTest::mouseClick(report->cmdSaveCsv, Qt::LeftButton);
    QFile saved(csv);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = saved.readAll().split('\n');
    ASSERT_EQ(lines.size(), 7) << "header, five rows, the end";
    EXPECT_EQ(lines[0], "folder,subject,sender,date,outcome,file\r");
    EXPECT_TRUE(lines[1].endsWith(",would move,\r")) << lines[1].toStdString();
    EXPECT_TRUE(report->lblSaved->text().startsWith("Saved to "));
    report->setSavePathAsker([&](QWidget*) { return dir.filePath("missing/report.csv"); });
    QTest::mouseClick(report->cmdSaveCsv, Qt::LeftButton);
    EXPECT_TRUE(report->lblSaved->text().startsWith("Not saved: "))
        << report->lblSaved->text().toStdString();

    // The Start gets a report of its own; the preview's window keeps its rows.
    window->cmdArchive->click();
    EXPECT_TRUE(hiddenDuringRun);
    EXPECT_EQ(report->model().report().rowCount(), 5);
    shell::frmReport* started = openDetails(*window);
    ASSERT_NE(started, nullptr);
    EXPECT_EQ(column(*started, engine::ReportColumn::Outcome), QStringList(5, "moved"));
    EXPECT_EQ(started->lblCounts->text(), "5 moved");
    QTest::mouseClick(started->cmdClose, Qt::LeftButton);
    EXPECT_FALSE(started->isVisible());
}

TEST_F(ReportWindow, UndoLastRunPutsTheMovedMessagesBackAndShowsWhatItDid)
{
    // Journals of this test's runs only.
    const QTemporaryDir state;
    const QByteArray oldState = qgetenv("XDG_STATE_HOME");
    qputenv("XDG_STATE_HOME", state.path().toLocal8Bit());
    const auto restore = qScopeGuard([&] { qputenv("XDG_STATE_HOME", oldState); });
    writeStores();
    addMessages("Inbox", 3, "Offer");
    const QStringList before = maildir->messageFiles("Inbox");
    auto window = start();
    window->dtStart->setDate(QDate(2020, 1, 1));
    window->dtEnd->setDate(QDate(2020, 12, 31));
    tick(*window, "Inbox");
    window->cmdArchive->click();
    ASSERT_TRUE(window->lblAppStatus->text().startsWith("3 items moved."));
    ASSERT_EQ(maildir->messageFiles("Inbox", "Archive").size(), 3);

    shell::frmReport* report = openDetails(*window);
    ASSERT_NE(report, nullptr);
    ASSERT_TRUE(report->cmdUndo->isVisible());
    ASSERT_TRUE(report->cmdUndo->isEnabled());
    QTest::mouseClick(report->cmdUndo, Qt::LeftButton);

    EXPECT_EQ(maildir->messageFiles("Inbox"), before);
    EXPECT_EQ(maildir->messageFiles("Inbox", "Archive").size(), 0);
    shell::frmReport* undone = window->reportWindow();
    ASSERT_NE(undone, nullptr);
    EXPECT_NE(undone, report);
    EXPECT_EQ(undone->lblSummary->text(),
              "Last run undone: 3 item(s) back as they were, 0 skipped, 0 failed.");
    EXPECT_EQ(column(*undone, engine::ReportColumn::Outcome), QStringList(3, "moved"));
    EXPECT_FALSE(undone->cmdUndo->isEnabled()) << "nothing left to undo";
}
