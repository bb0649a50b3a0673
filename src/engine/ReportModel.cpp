#include "ReportModel.h"

#include "RunReport.h"

#include <QCollator>

#include <algorithm>
#include <limits>

namespace kestrel::engine {

namespace {

bool matches(const ReportRow& row, const QString& text)
{
    for (int c = 0; c < kReportColumnCount; ++c)
        if (reportCellText(row, ReportColumn(c)).contains(text, Qt::CaseInsensitive))
            return true;
    return false;
}

} // namespace

ReportModel::ReportModel(std::shared_ptr<const RunReport> report, QObject* parent)
    : QAbstractTableModel(parent), m_report(std::move(report))
{
    rebuild();
}

int ReportModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int ReportModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kReportColumnCount;
}

QVariant ReportModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() ||
        (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    const ReportRow* row = cachedRow(m_rows[std::size_t(index.row())]);
    if (!row)
        return role == Qt::DisplayRole ? QVariant(QStringLiteral("(cannot be read)")) : QVariant();
    return reportCellText(*row, ReportColumn(index.column()));
}

QVariant ReportModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    static const char* const titles[kReportColumnCount] = {"Folder", "Subject", "Sender",
                                                           "Date",   "Outcome", "File"};
    return section >= 0 && section < kReportColumnCount ? QString::fromLatin1(titles[section])
                                                        : QVariant();
}

void ReportModel::sort(int column, Qt::SortOrder order)
{
    m_sortColumn = column;
    m_sortOrder = order;
    beginResetModel();
    sortRows();
    endResetModel();
}

void ReportModel::setSearchText(const QString& text)
{
    if (text == m_search)
        return;
    m_search = text;
    rebuild();
}

void ReportModel::setOutcomeFilter(std::optional<ReportOutcome> outcome)
{
    if (outcome == m_outcome)
        return;
    m_outcome = outcome;
    rebuild();
}

void ReportModel::rebuild()
{
    beginResetModel();
    m_rows.clear();
    m_rows.shrink_to_fit();
    const qsizetype total = m_report->rowCount();
    if (m_search.isEmpty()) {
        for (qsizetype i = 0; i < total; ++i)
            if (!m_outcome || m_report->outcomeAt(i) == *m_outcome)
                m_rows.push_back(quint32(i));
    } else {
        // A row that cannot be read is shown: its failure is not hidden by a filter.
        const bool read = m_report->scan([this](qsizetype i, const ReportRow& row) {
            if ((!m_outcome || row.outcome == *m_outcome) && matches(row, m_search))
                m_rows.push_back(quint32(i));
            return true;
        });
        if (!read)
            for (qsizetype i = m_rows.empty() ? 0 : qsizetype(m_rows.back()) + 1; i < total; ++i)
                m_rows.push_back(quint32(i));
    }
    sortRows();
    endResetModel();
}

void ReportModel::sortRows()
{
    if (m_sortColumn < 0 || m_sortColumn >= kReportColumnCount)
        return;
    const auto column = ReportColumn(m_sortColumn);
    std::vector<char> shown(std::size_t(m_report->rowCount()), 0);
    for (quint32 r : m_rows)
        shown[r] = 1;
    const bool descending = m_sortOrder == Qt::DescendingOrder;
    if (column == ReportColumn::Date) {
        std::vector<std::pair<qint64, quint32>> keys;
        keys.reserve(m_rows.size());
        m_report->scan([&](qsizetype i, const ReportRow& row) {
            if (shown[std::size_t(i)])
                keys.emplace_back(row.judgedBy.isValid() ? row.judgedBy.toMSecsSinceEpoch()
                                                         : std::numeric_limits<qint64>::min(),
                                  quint32(i));
            return true;
        });
        std::stable_sort(keys.begin(), keys.end(), [descending](const auto& a, const auto& b) {
            return descending ? b.first < a.first : a.first < b.first;
        });
        if (keys.size() == m_rows.size())
            for (std::size_t k = 0; k < keys.size(); ++k)
                m_rows[k] = keys[k].second;
        return;
    }
    std::vector<std::pair<QString, quint32>> keys;
    keys.reserve(m_rows.size());
    m_report->scan([&](qsizetype i, const ReportRow& row) {
        if (shown[std::size_t(i)])
            keys.emplace_back(reportCellText(row, column), quint32(i));
        return true;
    });
    // The C locale's collation is byte order, which puts "Item 10" before "item 2".
    QCollator collator(QLocale().language() == QLocale::C ? QLocale(QLocale::English) : QLocale());
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(true);
    std::stable_sort(keys.begin(), keys.end(), [&](const auto& a, const auto& b) {
        return descending ? collator.compare(b.first, a.first) < 0
                          : collator.compare(a.first, b.first) < 0;
    });
    // A report that could not be read whole keeps the order it had.
    if (keys.size() == m_rows.size())
        for (std::size_t k = 0; k < keys.size(); ++k)
            m_rows[k] = keys[k].second;
}

const ReportRow* ReportModel::cachedRow(quint32 reportRow) const
{
    if (const ReportRow* row = m_cache.object(reportRow))
        return row;
    std::optional<ReportRow> row = m_report->row(reportRow);
    if (!row)
        return nullptr;
    auto* kept = new ReportRow(std::move(*row));
    m_cache.insert(reportRow, kept);
    return kept;
}

} // namespace kestrel::engine
