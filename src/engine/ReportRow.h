#pragma once

// One row of a run's report as the report window, "Save as CSV" and the
// command line show it, and its outcome as text.

#include "ItemReport.h"

#include <QDateTime>
#include <QString>

#include <array>

namespace kestrel::engine {

inline constexpr int kReportOutcomeCount = int(ReportOutcome::Failed) + 1;

// Why an item was skipped.
inline constexpr const char* kSkippedUnread = "unread";
inline constexpr const char* kSkippedNoArchive = "No Archive";
inline constexpr const char* kSkippedOutsideRange = "outside the range";
inline constexpr const char* kSkippedNotMail = "not a mail item";

struct ReportRow {
    QString folderPath;
    QString subject;
    QString sender;
    QDateTime judgedBy;
    ReportOutcome outcome = ReportOutcome::Failed;
    QString reason;
    QString file;

    static ReportRow from(const ItemReport& report);
    bool operator==(const ReportRow&) const = default;
};

// "would move" ... "already gone"; the bare word for skipped and failed.
QString outcomeName(ReportOutcome outcome);
// The outcome column: outcomeName, with ": REASON" after "skipped" and "failed".
QString outcomeText(ReportOutcome outcome, const QString& reason);
// "yyyy-MM-dd HH:mm:ss" in local time; "" for no date.
QString reportDateText(const QDateTime& date);

// The report's columns, in their order.
enum class ReportColumn { Folder, Subject, Sender, Date, Outcome, File };
inline constexpr int kReportColumnCount = int(ReportColumn::File) + 1;
// The column's name in a CSV header and as a JSON key.
QString reportColumnKey(ReportColumn column);
QString reportCellText(const ReportRow& row, ReportColumn column);

} // namespace kestrel::engine
