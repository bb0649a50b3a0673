#pragma once

// A run's report, kept in a temporary file as its rows come so that a run of
// any size costs only a few bytes of memory per row (its offset and outcome).

#include "ReportRow.h"

#include <QString>
#include <QTemporaryFile>

#include <array>
#include <functional>
#include <optional>
#include <vector>

namespace kestrel::engine {

class RunReport {
public:
    RunReport();
    RunReport(const RunReport&) = delete;
    RunReport& operator=(const RunReport&) = delete;

    // Writes the row at the end of the file. False when it could not be
    // written: the row is then counted in lostRows() and lastError() says why.
    bool append(const ReportRow& row);

    qsizetype rowCount() const { return qsizetype(m_outcomes.size()); }
    // The row read back from the file; nullopt when it cannot be read.
    std::optional<ReportRow> row(qsizetype index) const;
    // Every row from the first, read in large pieces; visit returns false to
    // stop. False when the file could not be read (lastError() says why).
    bool scan(const std::function<bool(qsizetype, const ReportRow&)>& visit) const;
    ReportOutcome outcomeAt(qsizetype index) const { return ReportOutcome(m_outcomes[index]); }
    qsizetype count(ReportOutcome outcome) const { return m_counts[std::size_t(outcome)]; }

    // Rows the run handed in that are not in the file.
    qsizetype lostRows() const { return m_lost; }
    QString lastError() const { return m_lastError; }

private:
    bool fail(const QString& error);
    bool readAt(qint64 start, qint64 length, QByteArray& bytes) const;

    mutable QTemporaryFile m_file;
    std::vector<qint64> m_offsets; // where each row starts; the file's end follows the last
    std::vector<quint8> m_outcomes;
    std::array<qsizetype, kReportOutcomeCount> m_counts{};
    qint64 m_end = 0;
    qsizetype m_lost = 0;
    bool m_open = false;
    mutable QString m_lastError;
};

} // namespace kestrel::engine
