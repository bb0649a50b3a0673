#pragma once

// The folder picker and the sound of the main window, answered and recorded.

#include "engine/SoundPlayer.h"
#include "shell/FolderPicker.h"

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
    std::optional<QString> answer; // nothing: the user cancels
    QStringList startFolders;
};

class RecordingSound : public engine::SoundPlayer {
public:
    void playAsync(const QString& wavePath) override { played.append(wavePath); }
    QStringList played;
};

} // namespace kestrel::test
