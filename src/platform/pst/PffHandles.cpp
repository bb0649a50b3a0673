#include "PffHandles.h"

namespace kestrel::platform::pst {

QString PffError::text() const
{
    if (m_error == nullptr)
        return {};
    char buffer[1024] = {};
    if (libpff_error_sprint(m_error, buffer, sizeof buffer) <= 0)
        return {};
    // The backtrace's first line names the failing step; the rest repeats it.
    return QString::fromLocal8Bit(buffer).section(QLatin1Char('\n'), 0, 0).trimmed();
}

} // namespace kestrel::platform::pst
