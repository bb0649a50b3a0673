#pragma once

#include <QString>

namespace kestrel::engine {

// Read access to the per-user settings, so that the engine needs no widgets
// and tests can hand in fixed values.
class SettingsReader {
public:
    virtual ~SettingsReader() = default;
    // The stored text, or defaultValue when the key does not exist.
    virtual QString readSetting(const QString& section, const QString& key,
                                const QString& defaultValue) const = 0;
};

} // namespace kestrel::engine
