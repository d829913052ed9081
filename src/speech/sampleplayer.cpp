#include "sampleplayer.h"

#include "common/runtimeerror.h"
#include "common/sounddevice.h"

#include <QFile>

#include <SDL_mixer.h>

SamplePlayer::~SamplePlayer() = default;

SdlSamplePlayer::SdlSamplePlayer(SoundDevice& sound)
    : m_sound(sound)
{
}

SdlSamplePlayer::~SdlSamplePlayer()
{
    stop();
}

void SdlSamplePlayer::play(const QString& path)
{
    stop();
    SoundDevice& device = m_sound;
    if (!device.open()) {
        throw RuntimeError(QStringLiteral("没有可用的声音设备：%1").arg(device.failure()));
    }
    Mix_Chunk* chunk = Mix_LoadWAV(QFile::encodeName(path).constData());
    if (!chunk) {
        throw RuntimeError(QStringLiteral("无法播放 %1：%2").arg(path, QString::fromUtf8(Mix_GetError())));
    }
    if (Mix_PlayChannel(SoundDevice::SampleChannel, chunk, 0) < 0) {
        const QString reason = QString::fromUtf8(Mix_GetError());
        Mix_FreeChunk(chunk);
        throw RuntimeError(QStringLiteral("无法播放 %1：%2").arg(path, reason));
    }
    m_chunk = chunk;
}

void SdlSamplePlayer::stop()
{
    if (!m_chunk) {
        return;
    }
    Mix_HaltChannel(SoundDevice::SampleChannel);
    Mix_FreeChunk(static_cast<Mix_Chunk*>(m_chunk));
    m_chunk = nullptr;
}

bool SdlSamplePlayer::isPlaying()
{
    return m_chunk && Mix_Playing(SoundDevice::SampleChannel) != 0;
}
