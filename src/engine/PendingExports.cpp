#include "PendingExports.h"

#include "ItemActions.h"
#include "ItemReporter.h"
#include "TaskCounters.h"
#include "TaskSettings.h"
#include "platform/MailPlatform.h"
#include "platform/msg/AtomicFileWriter.h"

#include <QFile>
#include <QStringList>

#include <unistd.h>

namespace kestrel::engine {

bool PendingExports::IsUsedFor(const TaskSettings& settings)
{
    const TaskAction action = TaskAction(settings.Action);
    return settings.DestinationIsDisk && !settings.SourceIsDisk && !settings.PreviewMode &&
           (action == TaskAction::Move || action == TaskAction::Copy);
}

PendingExports::PendingExports(const TaskSettings& settings, platform::Session* session,
                               MsgExporter& exporter, TaskCounters& counters,
                               ItemReporter& reporter, QString directory)
    : m_settings(settings), m_session(session), m_exporter(exporter), m_counters(counters),
      m_reporter(reporter), m_directory(std::move(directory))
{
}

PendingExports::~PendingExports()
{
    finish();
}

void PendingExports::add(std::unique_ptr<platform::MailItem> item, ItemReport row)
{
    Entry entry{std::move(item), nullptr, std::move(row), {}};
    entry.message = GetRDOMail(m_session, *entry.item);
    if (!entry.message) // never counted as done
        return notDone(entry, UnreachableReason(m_session, *entry.item));
    if (!m_sync)
        m_sync = std::make_unique<platform::msg::FileSystemSync>(m_directory);
    std::optional<PreparedMsg> file = m_exporter.PrepareFile(*entry.message, m_directory);
    if (!file)
        return notDone(entry, m_exporter.lastError());
    entry.file = std::move(*file);
    m_bytes += std::max<qint64>(entry.row.size, 0);
    m_entries.push_back(std::move(entry));
    if (m_entries.size() >= kLargestSet || m_bytes >= kLargestSetBytes)
        finish();
}

void PendingExports::finish()
{
    if (m_entries.empty())
        return;
    std::vector<Entry> entries = std::move(m_entries);
    m_entries.clear();
    m_bytes = 0;
    const std::unique_ptr<platform::msg::FileSystemSync> sync = std::move(m_sync);
    QStringList written;
    written.reserve(qsizetype(entries.size()));
    for (const Entry& entry : entries)
        written.append(entry.file.temporary);

    // The files whole on disk before they take their names, and the names
    // on disk before a message leaves its store.
    platform::PlatformError error;
    if (!sync->sync(written, &error)) {
        for (Entry& entry : entries) {
            ::unlink(QFile::encodeName(entry.file.temporary).constData());
            failed(entry, error);
        }
        return;
    }
    // Each file under its name, in the order of the walk, so that equal
    // names are numbered as the items came.
    std::vector<bool> placed(entries.size(), false);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        Entry& entry = entries[i];
        if (!m_exporter.PlaceFile(entry.file)) {
            failed(entry, m_exporter.lastError());
        } else {
            entry.row.file = m_exporter.lastFile();
            entry.row.destinationId = entry.row.file;
            placed[i] = true;
        }
    }
    // A file whose name may not be on disk stays, and its message too.
    const bool named = platform::msg::syncDirectory(m_directory, &error);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        Entry& entry = entries[i];
        if (!placed[i])
            continue;
        if (!named)
            failed(entry, error);
        else if (!entry.file.stamped)
            failed(entry, entry.file.stampError);
        else if (TaskAction(m_settings.Action) == TaskAction::Move &&
                 !entry.message->deletePermanently())
            notDone(entry, entry.message->lastError());
        else
            done(entry);
    }
}

void PendingExports::notDone(Entry& entry, const platform::PlatformError& error)
{
    ++m_counters.FailedCount;
    m_reporter.notDone(std::move(entry.row), error);
}

void PendingExports::failed(Entry& entry, const platform::PlatformError& error)
{
    // A file lost on its way is no message gone from its store.
    ++m_counters.FailedCount;
    m_reporter.failed(std::move(entry.row), error);
}

void PendingExports::done(Entry& entry)
{
    if (const std::optional<qint64> size = entry.item->size())
        m_counters.TotalSize += *size;
    ++m_counters.ProcessedCount;
    m_reporter.acted(std::move(entry.row));
}

} // namespace kestrel::engine
