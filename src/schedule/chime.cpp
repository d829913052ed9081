#include "chime.h"

#include "common/sounddevice.h"

#include <QFile>

#include <SDL.h>
#include <SDL_mixer.h>

ChimePlayer::~ChimePlayer() = default;

bool ChimePlayer::isPlaying() const
{
    return false;
}

ResourceChime::ResourceChime(SoundDevice* sound)
    : m_sound(sound)
{
}

ResourceChime::~ResourceChime()
{
    if (m_chunk) {
        if (m_sound) {
            m_sound->haltChannel(SoundDevice::ChimeChannel);
        }
        Mix_FreeChunk(m_chunk);
    }
}

void ResourceChime::play()
{
    // The output opens on demand; the channel holds it open until the chime has sounded.
    if (!m_sound || !m_sound->acquire()) {
        return;
    }
    // The channel is halted before its chunk is freed; the new chime takes the channel over.
    Mix_HaltChannel(SoundDevice::ChimeChannel);
    if (m_chunk) {
        Mix_FreeChunk(m_chunk);
        m_chunk = nullptr;
    }
    QFile file(QStringLiteral(":/sounds/clock.wav"));
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = file.readAll();
        // Decoded (and converted to the device's format) on each play, so a device opened again later
        // never meets a chunk made for the old one.
        m_chunk = Mix_LoadWAV_RW(SDL_RWFromConstMem(bytes.constData(), static_cast<int>(bytes.size())), 1);
        if (m_chunk) {
            m_sound->playChunk(SoundDevice::ChimeChannel, m_chunk, 0);
        }
    }
    m_sound->release();
}

bool ResourceChime::isPlaying() const
{
    return m_sound && m_sound->isChannelPlaying(SoundDevice::ChimeChannel);
}
