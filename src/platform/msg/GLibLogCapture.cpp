#include "GLibLogCapture.h"

#include <glib.h>

#include <mutex>

namespace kestrel::platform::msg {

namespace {

thread_local GLibLogCapture* t_current = nullptr;

void handler(const gchar* domain, GLogLevelFlags level, const gchar* message, gpointer)
{
    if (!t_current) {
        g_log_default_handler(domain, level, message, nullptr);
        return;
    }
    t_current->append(QString::fromUtf8(message ? message : ""));
}

void installHandlers()
{
    static std::once_flag once;
    std::call_once(once, [] {
        const auto levels =
            GLogLevelFlags(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING | G_LOG_LEVEL_MESSAGE |
                           G_LOG_LEVEL_INFO | G_LOG_LEVEL_DEBUG);
        // libgsf's child lookups log without a domain.
        for (const char* domain : {"libgsf:msole", "libgsf", "GLib-GObject", (const char*)nullptr})
            g_log_set_handler(domain, levels, handler, nullptr);
    });
}

} // namespace

GLibLogCapture::GLibLogCapture() : m_previous(t_current)
{
    installHandlers();
    t_current = this;
}

GLibLogCapture::~GLibLogCapture()
{
    t_current = m_previous;
}

void GLibLogCapture::append(const QString& line)
{
    // Hostile files can make libgsf complain at length: keep the start.
    if (m_text.size() > 2000)
        return;
    if (!m_text.isEmpty())
        m_text += QLatin1String("; ");
    m_text += line;
}

} // namespace kestrel::platform::msg
