#pragma once

#include <QString>

namespace kestrel::demo {

struct DemoSummary {
    int messages = 0;
    qint64 bytes = 0;
    int folders = 0;
};

// Writes DIR/profile.ini and the three stores below DIR. Refuses a DIR that
// exists and is not empty. Returns false and sets errorText() on failure.
class DemoProfileBuilder {
public:
    DemoProfileBuilder(const QString& directory, int messages, quint64 seed);

    bool build();
    const DemoSummary& summary() const { return m_summary; }
    const QString& errorText() const { return m_error; }

private:
    bool prepareDirectory();
    bool writeProfile();
    bool fail(const QString& text);

    QString m_directory;
    int m_messages;
    quint64 m_seed;
    DemoSummary m_summary;
    QString m_error;
};

} // namespace kestrel::demo
