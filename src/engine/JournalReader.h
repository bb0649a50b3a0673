#pragma once

// Reading a run's journal line by line, and the list of journals kept.

#include "JournalLine.h"

#include <QFile>
#include <QJsonObject>
#include <QString>

#include <optional>
#include <vector>

namespace kestrel::engine {

class JournalReader {
public:
    // Opens the journal and reads its first line; false when there is no
    // readable first line (lastError() says why).
    bool open(const QString& path);
    const QJsonObject& header() const { return m_header; }
    bool isUndo() const;

    // The next action; nullopt at the end. A line that is not whole (the
    // last one of a killed run) is passed over.
    std::optional<JournalAction> next();
    // Known once next() gave nullopt: the run's last line was written, and
    // what it says.
    bool ended() const { return !m_end.isEmpty(); }
    const QJsonObject& end() const { return m_end; }
    // Lines passed over as unreadable.
    int unreadableLines() const { return m_unreadable; }

    QString lastError() const { return m_lastError; }

private:
    std::optional<QJsonObject> readObject();

    QFile m_file;
    QJsonObject m_header;
    QJsonObject m_end;
    int m_unreadable = 0;
    QString m_lastError;
};

struct RunEntry {
    QString path;
    QString name; // the file name, which names the run
    QJsonObject header;
    bool ended = false; // its last line was written
    QString undoneBy;   // the name of the undo that ended for it
};

// The journals of directory, the newest first, each with whether it ended
// and which undo undid it; files without a readable first line are left out.
std::vector<RunEntry> ListRuns(const QString& directory);
// The newest Start that was not undone, or nullopt.
std::optional<RunEntry> LastUndoableRun(const QString& directory);

} // namespace kestrel::engine
