#pragma once

#include "engine/SettingsReader.h"

#include <QString>

#include <memory>

class QSettings;

namespace kestrel::shell {

// The per-user settings: text values by section ("Config", "Dialogs", "MSG")
// and key, kept under the application name "Kestrel Mailkeep". Reading a
// missing key gives the caller's default; nothing is ever deleted. The engine
// reads it through its SettingsReader.
class SettingsStore : public engine::SettingsReader {
public:
    // The user's own store (an INI file in the user's configuration folder).
    SettingsStore();
    // A store in the INI file at iniPath; tests use a temporary file.
    explicit SettingsStore(const QString& iniPath);
    ~SettingsStore() override;

    QString read(const QString& section, const QString& key, const QString& defaultValue) const;
    // Returns false when the file could not be written.
    bool write(const QString& section, const QString& key, const QString& value);

    QString fileName() const;

    QString readSetting(const QString& section, const QString& key,
                        const QString& defaultValue) const override
    {
        return read(section, key, defaultValue);
    }

private:
    std::unique_ptr<QSettings> m_settings;
};

} // namespace kestrel::shell
