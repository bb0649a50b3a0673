#include "JournalReader.h"

#include "Journal.h"

#include <QDir>
#include <QHash>
#include <QJsonDocument>
#include <QJsonParseError>

namespace kestrel::engine {

namespace {

std::optional<QJsonObject> parseLine(const QByteArray& line)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}

bool isKind(const QJsonObject& line, const char* kind)
{
    return line.value(QLatin1String(journal::kKind)).toString() == QLatin1String(kind);
}

// Whether the journal's last whole line is its end line, read from the tail
// so that a long journal is not read whole for the list.
bool endsWell(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    constexpr qint64 kTail = 64 * 1024;
    file.seek(qMax<qint64>(0, file.size() - kTail));
    const QByteArray tail = file.readAll();
    if (!tail.endsWith('\n'))
        return false;
    const qsizetype start = tail.lastIndexOf('\n', tail.size() - 2) + 1;
    const std::optional<QJsonObject> last = parseLine(tail.mid(start));
    return last && isKind(*last, journal::kEnd);
}

} // namespace

bool JournalReader::open(const QString& path)
{
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::ReadOnly)) {
        m_lastError = QStringLiteral("Cannot read the run journal ") + path + QStringLiteral(": ") +
                      m_file.errorString();
        return false;
    }
    const std::optional<QJsonObject> header = readObject();
    if (!header || !(isKind(*header, journal::kRun) || isKind(*header, journal::kUndo))) {
        m_lastError = QStringLiteral("The run journal ") + path +
                      QStringLiteral(" does not begin with the run's settings");
        m_file.close();
        return false;
    }
    m_header = *header;
    return true;
}

bool JournalReader::isUndo() const
{
    return isKind(m_header, journal::kUndo);
}

std::optional<QJsonObject> JournalReader::readObject()
{
    while (!m_file.atEnd()) {
        const QByteArray line = m_file.readLine();
        if (line.trimmed().isEmpty())
            continue;
        // A line without its newline was cut short by a kill.
        std::optional<QJsonObject> object = line.endsWith('\n') ? parseLine(line) : std::nullopt;
        if (object)
            return object;
        ++m_unreadable;
    }
    return std::nullopt;
}

std::optional<JournalAction> JournalReader::next()
{
    if (!m_file.isOpen())
        return std::nullopt;
    while (std::optional<QJsonObject> line = readObject()) {
        if (isKind(*line, journal::kEnd)) {
            m_end = *line;
            continue;
        }
        if (std::optional<JournalAction> action = JournalActionFrom(*line))
            return action;
        ++m_unreadable;
    }
    if (m_file.error() != QFileDevice::NoError)
        m_lastError = QStringLiteral("Cannot read the run journal ") + m_file.fileName() +
                      QStringLiteral(": ") + m_file.errorString();
    m_file.close();
    return std::nullopt;
}

std::vector<RunEntry> ListRuns(const QString& directory)
{
    const QDir dir(directory);
    const QStringList names =
        dir.entryList({QStringLiteral("*.jsonl")}, QDir::Files, QDir::Name | QDir::Reversed);
    std::vector<RunEntry> runs;
    QHash<QString, QString> undoneBy;
    for (const QString& name : names) {
        RunEntry entry;
        entry.path = dir.filePath(name);
        entry.name = name;
        JournalReader reader;
        if (!reader.open(entry.path))
            continue;
        entry.header = reader.header();
        entry.ended = endsWell(entry.path);
        if (reader.isUndo() && entry.ended) {
            const QString undone = entry.header.value(QLatin1String(journal::kUndoes)).toString();
            if (!undoneBy.contains(undone))
                undoneBy.insert(undone, name);
        }
        runs.push_back(std::move(entry));
    }
    for (RunEntry& run : runs)
        run.undoneBy = undoneBy.value(run.name);
    return runs;
}

std::optional<RunEntry> LastUndoableRun(const QString& directory)
{
    for (RunEntry& run : ListRuns(directory)) {
        if (isKind(run.header, journal::kRun) && run.undoneBy.isEmpty())
            return std::move(run);
    }
    return std::nullopt;
}

} // namespace kestrel::engine
