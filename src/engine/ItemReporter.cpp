#include "ItemReporter.h"

#include "DateFilter.h"
#include "TaskCounters.h"
#include "TaskSettings.h"
#include "TaskView.h"
#include "platform/DateRestriction.h"
#include "platform/MailPlatform.h"

namespace kestrel::engine {

QString errorReason(const platform::PlatformError& error)
{
    if (error.text.isEmpty() && error.detail.isEmpty())
        return QStringLiteral("no reason given");
    if (error.detail.isEmpty() || error.text.isEmpty())
        return error.text + error.detail;
    return error.text + QStringLiteral(": ") + error.detail;
}

ItemReporter::ItemReporter(const TaskSettings& settings, TaskView& view)
    : m_settings(settings), m_view(view)
{
}

ItemReport ItemReporter::describe(platform::MailItem& item, const QString& folderPath,
                                  const QString& folderId) const
{
    ItemReport row;
    row.folderPath = folderPath;
    row.sourceFolderId = folderId;
    row.subject = item.subject().value_or(QString());
    const QString name = item.senderName().value_or(QString());
    const QString address = item.senderEmailAddress().value_or(QString());
    if (name.isEmpty() || address.isEmpty() || name == address)
        row.sender = name.isEmpty() ? address : name;
    else
        row.sender = name + QStringLiteral(" <") + address + QLatin1Char('>');
    if (const std::optional<platform::DateProperty> property =
            datePropertyOf(m_settings.DateBase)) {
        // Kept as an instant: the report converts the rows it shows to local time.
        if (const std::optional<qint64> msecs = item.dateMsecs(*property))
            row.judgedBy = QDateTime::fromMSecsSinceEpoch(*msecs, Qt::UTC);
    }
    row.sourceId = item.entryId().value_or(QString());
    row.size = item.size().value_or(-1);
    return row;
}

ReportOutcome ItemReporter::actedOutcome() const
{
    const bool preview = m_settings.PreviewMode;
    switch (TaskAction(m_settings.Action)) {
    case TaskAction::Delete:
        return preview ? ReportOutcome::WouldDelete : ReportOutcome::Deleted;
    case TaskAction::Move:
    case TaskAction::Copy:
        break;
    }
    // Into a disk folder a store's message becomes a file; from one, a file
    // becomes a store's message.
    if (m_settings.DestinationIsDisk && !m_settings.SourceIsDisk)
        return preview ? ReportOutcome::WouldExport : ReportOutcome::Exported;
    if (TaskAction(m_settings.Action) == TaskAction::Move)
        return preview ? ReportOutcome::WouldMove : ReportOutcome::Moved;
    return preview ? ReportOutcome::WouldCopy : ReportOutcome::Copied;
}

void ItemReporter::report(ItemReport row, ReportOutcome outcome, const QString& reason)
{
    row.outcome = outcome;
    row.reason = reason;
    m_view.ItemDone(row);
}

void ItemReporter::failed(ItemReport row, const platform::PlatformError& error)
{
    report(std::move(row), ReportOutcome::Failed, errorReason(error));
}

void ItemReporter::notDone(ItemReport row, const platform::PlatformError& error)
{
    if (error.kind == platform::ErrorKind::NotFound)
        report(std::move(row), ReportOutcome::AlreadyGone);
    else
        failed(std::move(row), error);
}

} // namespace kestrel::engine
