#pragma once

#include "engine/SoundPlayer.h"

#include <QObject>

#include <functional>

class QSoundEffect;

namespace kestrel::shell {

// Plays a wave file through QSoundEffect without waiting for it. A missing
// file, or one the sound system cannot load, gives the platform's beep.
class WaveSoundPlayer : public QObject, public engine::SoundPlayer {
    Q_OBJECT
public:
    explicit WaveSoundPlayer(std::function<void()> beep, QObject* parent = nullptr);
    ~WaveSoundPlayer() override;

    void playAsync(const QString& wavePath) override;

private:
    std::function<void()> m_beep;
    QSoundEffect* m_effect = nullptr;
};

} // namespace kestrel::shell
