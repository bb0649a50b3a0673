#include "frmReport.h"

#include "dialogs/BorderShape.h"
#include "dialogs/NoticeStyle.h"
#include "dialogs/WindowChrome.h"
#include "dialogs/WindowDragger.h"
#include "engine/ReportModel.h"
#include "engine/ReportWriter.h"
#include "engine/RunReport.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSizeGrip>
#include <QTableView>
#include <QVBoxLayout>

namespace kestrel::shell {

namespace {

QString askCsvPath(QWidget* owner)
{
    QString path = QFileDialog::getSaveFileName(owner, QStringLiteral("Save as CSV"),
                                                QDir::homePath() + QStringLiteral("/report.csv"),
                                                QStringLiteral("CSV files (*.csv)"));
    if (!path.isEmpty() && !engine::reportFormatFor(path))
        path += QStringLiteral(".csv");
    return path;
}

// "3 moved, 1 skipped, 2 failed": the outcomes the run had, in their order.
QString countsText(const engine::RunReport& report)
{
    QStringList parts;
    for (int o = 0; o < engine::kReportOutcomeCount; ++o)
        if (const qsizetype n = report.count(engine::ReportOutcome(o)))
            parts << QString::number(n) + QLatin1Char(' ') +
                         engine::outcomeName(engine::ReportOutcome(o));
    return parts.isEmpty() ? QStringLiteral("No items were looked at.")
                           : parts.join(QStringLiteral(", "));
}

} // namespace

frmReport::frmReport(std::shared_ptr<const engine::RunReport> report, const QString& summary,
                     QWidget* owner)
    : QDialog(owner), m_report(std::move(report)), m_askSavePath(askCsvPath)
{
    setObjectName(QStringLiteral("frmReport"));
    setWindowTitle(QStringLiteral("{APP} : Report"));

    auto* heading = dialogs::noticeHeading(this, "Label1", QStringLiteral("Report"), 14.25);
    lblSummary = new QLabel(summary, this);
    lblSummary->setObjectName(QStringLiteral("lblSummary"));
    lblSummary->setTextFormat(Qt::PlainText);
    lblCounts = new QLabel(countsText(*m_report), this);
    lblCounts->setObjectName(QStringLiteral("lblCounts"));
    lblLost = new QLabel(this);
    lblLost->setObjectName(QStringLiteral("lblLost"));
    lblLost->setTextFormat(Qt::PlainText);
    lblLost->setWordWrap(true);
    dialogs::setTextColor(lblLost, QColor(Qt::red));
    if (m_report->lostRows() > 0)
        lblLost->setText(QStringLiteral("%1 row(s) of this run could not be kept: %2")
                             .arg(m_report->lostRows())
                             .arg(m_report->lastError()));
    lblLost->setVisible(m_report->lostRows() > 0);

    txtSearch = new QLineEdit(this);
    txtSearch->setObjectName(QStringLiteral("txtSearch"));
    txtSearch->setPlaceholderText(QStringLiteral("Search"));
    txtSearch->setClearButtonEnabled(true);
    cbOutcome = new QComboBox(this);
    cbOutcome->setObjectName(QStringLiteral("cbOutcome"));
    fillOutcomes();

    m_model = new engine::ReportModel(m_report, this);
    tvReport = new QTableView(this);
    tvReport->setObjectName(QStringLiteral("tvReport"));
    tvReport->setModel(m_model);
    tvReport->setSelectionBehavior(QAbstractItemView::SelectRows);
    tvReport->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tvReport->setWordWrap(false);
    tvReport->verticalHeader()->setDefaultSectionSize(tvReport->fontMetrics().height() + 6);
    tvReport->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    // The run's order until a column is chosen.
    tvReport->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    tvReport->setSortingEnabled(true);
    tvReport->horizontalHeader()->setStretchLastSection(true);
    const int widths[engine::kReportColumnCount] = {170, 200, 170, 130, 210, 200};
    for (int c = 0; c < engine::kReportColumnCount; ++c)
        tvReport->setColumnWidth(c, widths[c]);

    lblShown = new QLabel(this);
    lblShown->setObjectName(QStringLiteral("lblShown"));
    lblSaved = new QLabel(this);
    lblSaved->setObjectName(QStringLiteral("lblSaved"));
    lblSaved->setTextFormat(Qt::PlainText);
    cmdUndo = new QPushButton(QStringLiteral("&Undo last run"), this);
    cmdUndo->setObjectName(QStringLiteral("cmdUndo"));
    cmdUndo->hide();
    cmdSaveCsv = new QPushButton(QStringLiteral("Save as &CSV"), this);
    cmdSaveCsv->setObjectName(QStringLiteral("cmdSaveCsv"));
    cmdClose = new QPushButton(QStringLiteral("&Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setDefault(true);
    for (QPushButton* button : {cmdUndo, cmdSaveCsv, cmdClose})
        button->setMinimumWidth(100);

    auto* filters = new QHBoxLayout;
    filters->addWidget(txtSearch, 1);
    filters->addWidget(cbOutcome);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(lblShown);
    buttons->addWidget(lblSaved, 1);
    buttons->addWidget(cmdUndo);
    buttons->addWidget(cmdSaveCsv);
    buttons->addWidget(cmdClose);
    // Without a system frame the corner grip is the way to resize.
    buttons->addWidget(new QSizeGrip(this), 0, Qt::AlignBottom | Qt::AlignRight);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(14, 14, 14, 8);
    outer->addWidget(heading);
    outer->addWidget(lblSummary);
    outer->addWidget(lblCounts);
    outer->addWidget(lblLost);
    outer->addLayout(filters);
    outer->addWidget(tvReport, 1);
    outer->addLayout(buttons);

    connect(txtSearch, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_model->setSearchText(text);
        showRowCount();
    });
    connect(cbOutcome, &QComboBox::currentIndexChanged, this, &frmReport::outcomeChosen);
    connect(cmdUndo, &QPushButton::clicked, this, [this] {
        if (m_undo)
            m_undo();
    });
    connect(cmdSaveCsv, &QPushButton::clicked, this, &frmReport::saveAsCsv);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::close);
    showRowCount();

    new dialogs::BorderShape(this);
    dialogs::fillWindowBackground(*this);
    resize(1000, 560);
    dialogs::applyWindowChrome(*this);
    auto* dragger = new dialogs::WindowDragger(*this);
    dragger->watch(*this);
    dragger->watch(*heading);
}

frmReport::~frmReport() = default;

void frmReport::fillOutcomes()
{
    cbOutcome->addItem(QStringLiteral("All outcomes"), -1);
    for (int o = 0; o < engine::kReportOutcomeCount; ++o)
        if (const qsizetype n = m_report->count(engine::ReportOutcome(o)))
            cbOutcome->addItem(engine::outcomeName(engine::ReportOutcome(o)) +
                                   QStringLiteral(" (") + QString::number(n) + QLatin1Char(')'),
                               o);
}

void frmReport::outcomeChosen()
{
    const int o = cbOutcome->currentData().toInt();
    m_model->setOutcomeFilter(
        o < 0 ? std::nullopt : std::optional<engine::ReportOutcome>(engine::ReportOutcome(o)));
    showRowCount();
}

void frmReport::showRowCount()
{
    lblShown->setText(
        QStringLiteral("%1 of %2 rows").arg(m_model->rowCount()).arg(m_report->rowCount()));
}

void frmReport::saveAsCsv()
{
    const QString path = m_askSavePath(this);
    if (path.isEmpty())
        return;
    engine::ReportWriter writer(path, engine::ReportFormat::Csv);
    if (writer.writeAll(*m_report)) {
        lblSaved->setText(QStringLiteral("Saved to %1").arg(QDir::toNativeSeparators(path)));
        dialogs::setTextColor(lblSaved, palette().color(QPalette::WindowText));
    } else {
        lblSaved->setText(QStringLiteral("Not saved: %1").arg(writer.lastError()));
        dialogs::setTextColor(lblSaved, QColor(Qt::red));
    }
}

void frmReport::setUndoAction(std::function<void()> undo)
{
    m_undo = std::move(undo);
    cmdUndo->show();
}

} // namespace kestrel::shell
