#include "ReportRow.h"

namespace kestrel::engine {

ReportRow ReportRow::from(const ItemReport& report)
{
    return {report.folderPath, report.subject, report.sender, report.judgedBy,
            report.outcome,    report.reason,  report.file};
}

QString outcomeName(ReportOutcome outcome)
{
    switch (outcome) {
    case ReportOutcome::WouldMove:
        return QStringLiteral("would move");
    case ReportOutcome::WouldCopy:
        return QStringLiteral("would copy");
    case ReportOutcome::WouldDelete:
        return QStringLiteral("would delete");
    case ReportOutcome::WouldExport:
        return QStringLiteral("would export");
    case ReportOutcome::Moved:
        return QStringLiteral("moved");
    case ReportOutcome::Copied:
        return QStringLiteral("copied");
    case ReportOutcome::Deleted:
        return QStringLiteral("deleted");
    case ReportOutcome::Exported:
        return QStringLiteral("exported");
    case ReportOutcome::Skipped:
        return QStringLiteral("skipped");
    case ReportOutcome::AlreadyGone:
        return QStringLiteral("already gone");
    case ReportOutcome::Failed:
        break;
    }
    return QStringLiteral("failed");
}

QString outcomeText(ReportOutcome outcome, const QString& reason)
{
    if (outcome == ReportOutcome::Skipped || outcome == ReportOutcome::Failed)
        return outcomeName(outcome) + QStringLiteral(": ") + reason;
    return outcomeName(outcome);
}

QString reportDateText(const QDateTime& date)
{
    return date.isValid() ? date.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                          : QString();
}

QString reportColumnKey(ReportColumn column)
{
    static const std::array<const char*, kReportColumnCount> keys = {"folder", "subject", "sender",
                                                                     "date",   "outcome", "file"};
    return QString::fromLatin1(keys[std::size_t(column)]);
}

QString reportCellText(const ReportRow& row, ReportColumn column)
{
    switch (column) {
    case ReportColumn::Folder:
        return row.folderPath;
    case ReportColumn::Subject:
        return row.subject;
    case ReportColumn::Sender:
        return row.sender;
    case ReportColumn::Date:
        return reportDateText(row.judgedBy);
    case ReportColumn::Outcome:
        return outcomeText(row.outcome, row.reason);
    case ReportColumn::File:
        break;
    }
    return row.file;
}

} // namespace kestrel::engine
