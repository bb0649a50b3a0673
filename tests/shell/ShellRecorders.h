#pragma once

// The folder picker, the sound and the keyring of the main window, answered
// and recorded.

#include "engine/SoundPlayer.h"
#include "shell/FolderPicker.h"
#include "shell/Keyring.h"

#include <QMap>
#include <QStringList>

#include <optional>

namespace kestrel::test {

class AnsweringFolderPicker : public shell::FolderPicker {
public:
    std::optional<QString> pickFolder(QWidget*, const QString& startFolder) override
    {
        startFolders.append(startFolder);
        return answer;
    }
    std::optional<QString> pickFolderOrDataFile(QWidget* owner, const QString& startFolder) override
    {
        return pickFolder(owner, startFolder);
    }
    std::optional<QString> answer; // nothing: the user cancels
    QStringList startFolders;
};

class RecordingSound : public engine::SoundPlayer {
public:
    void playAsync(const QString& wavePath) override { played.append(wavePath); }
    QStringList played;
};

// A keyring in memory: no desktop keyring runs here, and a test must never
// write into the one of the machine it runs on.
class MemoryKeyring : public shell::SecretStore {
public:
    std::optional<QString> read(const QString& key, platform::PlatformError* error) override
    {
        if (secrets.contains(key))
            return secrets.value(key);
        if (error)
            *error = {platform::ErrorKind::NotFound, -1, QStringLiteral("none"), key};
        return std::nullopt;
    }
    bool write(const QString& key, const QString& secret, platform::PlatformError* error) override
    {
        if (!reachable) {
            if (error)
                *error = {platform::ErrorKind::Unsupported, -1,
                          QStringLiteral("The keyring cannot be used: no service"), key};
            return false;
        }
        secrets.insert(key, secret);
        return true;
    }
    QMap<QString, QString> secrets;
    bool reachable = true;
};

} // namespace kestrel::test
