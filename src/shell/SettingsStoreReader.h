#pragma once

#include "dialogs/SettingsStore.h"
#include "engine/SettingsReader.h"

namespace kestrel::shell {

// The engine's read access to the user's settings store.
class SettingsStoreReader : public engine::SettingsReader {
public:
    explicit SettingsStoreReader(const dialogs::SettingsStore& store) : m_store(store) {}

    QString readSetting(const QString& section, const QString& key,
                        const QString& defaultValue) const override
    {
        return m_store.read(section, key, defaultValue);
    }

private:
    const dialogs::SettingsStore& m_store;
};

} // namespace kestrel::shell
