#include "WaveSoundPlayer.h"

#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>

namespace kestrel::shell {

WaveSoundPlayer::WaveSoundPlayer(std::function<void()> beep, QObject* parent)
    : QObject(parent), m_beep(std::move(beep))
{
}

WaveSoundPlayer::~WaveSoundPlayer() = default;

void WaveSoundPlayer::playAsync(const QString& wavePath)
{
    if (!QFileInfo(wavePath).isFile()) {
        if (m_beep)
            m_beep();
        return;
    }
    // Made on first use: a machine without sound never builds the effect
    // unless a run ends.
    if (!m_effect) {
        m_effect = new QSoundEffect(this);
        connect(m_effect, &QSoundEffect::statusChanged, this, [this] {
            if (m_effect->status() == QSoundEffect::Ready)
                m_effect->play();
            else if (m_effect->status() == QSoundEffect::Error && m_beep)
                m_beep();
        });
    }
    const QUrl source = QUrl::fromLocalFile(wavePath);
    if (m_effect->source() == source && m_effect->status() == QSoundEffect::Ready) {
        m_effect->play();
        return;
    }
    m_effect->setSource(source);
}

} // namespace kestrel::shell
