#include "sounddevice.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <cstdlib>

SoundDevice& SoundDevice::instance()
{
    static SoundDevice device;
    return device;
}

bool SoundDevice::openMixer()
{
    // The audio subsystem brings SDL's event loop, which would take SIGINT and SIGTERM for an event
    // queue nobody reads: the program's own handlers keep them.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        m_failure = QString::fromUtf8(SDL_GetError());
        return false;
    }
    // 1024 frames (23 ms): short enough for speech to start promptly, long enough not to stutter.
    if (Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 1024) != 0) {
        m_failure = QString::fromUtf8(Mix_GetError());
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    return true;
}

bool SoundDevice::open()
{
    std::lock_guard lock(m_mutex);
    if (m_open) {
        return true;
    }
    if (!openMixer()) {
        // No sound device: run on the silent driver so speech and music keep their timing.
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        if (!openMixer()) {
            return false;
        }
        m_silentFallback = true;
    }
    int frequency = 0;
    int channels = 0;
    Uint16 format = 0;
    Mix_QuerySpec(&frequency, &format, &channels);
    m_frequency = frequency;
    m_channels = channels;
    m_format = format;
    Mix_AllocateChannels(16);
    Mix_ReserveChannels(ReservedChannels);
    m_open = true;
    return true;
}

void SoundDevice::close()
{
    std::lock_guard lock(m_mutex);
    if (!m_open) {
        return;
    }
    Mix_HaltChannel(-1);
    Mix_HaltMusic();
    Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    m_open = false;
    m_silentFallback = false;
}
