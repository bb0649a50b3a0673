#pragma once

// While one of these lives, warnings that libgsf and GLib log on this thread are
// collected here instead of going to stderr, so callers can put them in their
// own error text.

#include <QString>

namespace kestrel::platform::msg {

class GLibLogCapture {
public:
    GLibLogCapture();
    ~GLibLogCapture();
    GLibLogCapture(const GLibLogCapture&) = delete;
    GLibLogCapture& operator=(const GLibLogCapture&) = delete;

    bool isEmpty() const { return m_text.isEmpty(); }
    const QString& text() const { return m_text; }
    void append(const QString& line);

private:
    GLibLogCapture* m_previous;
    QString m_text;
};

} // namespace kestrel::platform::msg
