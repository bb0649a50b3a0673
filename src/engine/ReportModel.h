#pragma once

// The report window's table: the rows of a RunReport read back from its file
// as the view asks for them, filtered by outcome and a search text, sorted by
// any column. Only the order of the shown rows is held (4 bytes each) and a
// few hundred decoded rows.

#include "ReportRow.h"

#include <QAbstractTableModel>
#include <QCache>

#include <memory>
#include <optional>
#include <vector>

namespace kestrel::engine {

class RunReport;

class ReportModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ReportModel(std::shared_ptr<const RunReport> report, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    // Stable: rows that compare equal keep the run's order. Texts compare as
    // people read them (letter case aside, numbers by value); dates by time.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // Rows holding text in any column, letter case aside; "" shows all.
    void setSearchText(const QString& text);
    // Rows of one outcome (skipped and failed whatever their reason), or all.
    void setOutcomeFilter(std::optional<ReportOutcome> outcome);

    const RunReport& report() const { return *m_report; }
    // The shown row's place in the report.
    qsizetype reportRow(int row) const { return qsizetype(m_rows[std::size_t(row)]); }

private:
    void rebuild();
    void sortRows();
    const ReportRow* cachedRow(quint32 reportRow) const;

    std::shared_ptr<const RunReport> m_report;
    std::vector<quint32> m_rows;
    QString m_search;
    std::optional<ReportOutcome> m_outcome;
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    mutable QCache<quint32, ReportRow> m_cache{512};
};

} // namespace kestrel::engine
