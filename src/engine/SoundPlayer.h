#pragma once

#include <QString>

namespace kestrel::engine {

// Plays a wave file without waiting for it; the platform's beep when the file
// is missing. Tests replace it.
class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    virtual void playAsync(const QString& wavePath) = 0;
};

} // namespace kestrel::engine
