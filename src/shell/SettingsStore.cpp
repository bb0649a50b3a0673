#include "SettingsStore.h"

#include "ProductName.h"

#include <QSettings>

namespace kestrel::shell {

SettingsStore::SettingsStore()
    : m_settings(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                             QString::fromUtf8(kProductName)))
{
}

SettingsStore::SettingsStore(const QString& iniPath)
    : m_settings(std::make_unique<QSettings>(iniPath, QSettings::IniFormat))
{
}

SettingsStore::~SettingsStore() = default;

static QString settingsKey(const QString& section, const QString& key)
{
    return section + QLatin1Char('/') + key;
}

QString SettingsStore::read(const QString& section, const QString& key,
                            const QString& defaultValue) const
{
    const QVariant value = m_settings->value(settingsKey(section, key));
    return value.isValid() ? value.toString() : defaultValue;
}

bool SettingsStore::write(const QString& section, const QString& key, const QString& value)
{
    m_settings->setValue(settingsKey(section, key), value);
    // Written at once: the program may end without unwinding (no Outlook).
    m_settings->sync();
    return m_settings->status() == QSettings::NoError;
}

QString SettingsStore::fileName() const
{
    return m_settings->fileName();
}

} // namespace kestrel::shell
