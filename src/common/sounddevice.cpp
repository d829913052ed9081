#include "sounddevice.h"

#include <QByteArray>

#include <SDL.h>
#include <SDL_mixer.h>
#include <cstdlib>

namespace {

// Why the default output failed when chooseDriver() fell back to the silent driver.
QString g_chosenFallback;

const char* const SilentDriver = "dummy";

bool silentDriverChosen()
{
    return qgetenv("SDL_AUDIODRIVER") == SilentDriver;
}

// The audio subsystem brings SDL's event loop, which would take SIGINT and SIGTERM for an event queue
// nobody reads: the program's own handlers keep them.
bool openSdlMixer(QString* failure)
{
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        *failure = QString::fromUtf8(SDL_GetError());
        return false;
    }
    // 1024 frames (23 ms): short enough for speech to start promptly, long enough not to stutter.
    if (Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 1024) != 0) {
        *failure = QString::fromUtf8(Mix_GetError());
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    return true;
}

void closeSdlMixer()
{
    Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

} // namespace

QString SoundDevice::chooseDriver()
{
    if (qEnvironmentVariableIsSet("SDL_AUDIODRIVER")) {
        return QString();
    }
    // The real test is opening the output; the driver of the default one is kept for the station.
    QString failure;
    if (openSdlMixer(&failure)) {
        closeSdlMixer();
        return QString();
    }
    setenv("SDL_AUDIODRIVER", SilentDriver, 1);
    g_chosenFallback = failure;
    return failure;
}

SoundDevice::~SoundDevice()
{
    close();
}

bool SoundDevice::openMixer()
{
    QString failure;
    const bool opened = openSdlMixer(&failure);
    if (!opened) {
        m_failure = failure;
    }
    return opened;
}

bool SoundDevice::open()
{
    std::lock_guard lock(m_mutex);
    if (m_open) {
        return true;
    }
    if (!openMixer()) {
        // Without a choice made on the main thread before (tests, tools), the silent driver is asked for
        // through SDL's own setting: the process environment is not touched from whatever thread this is.
        SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, SilentDriver, SDL_HINT_OVERRIDE);
        if (!openMixer()) {
            return false;
        }
        m_silentFallback = true;
    } else if (silentDriverChosen() && !g_chosenFallback.isEmpty()) {
        m_silentFallback = true;
        m_failure = g_chosenFallback;
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

QString SoundDevice::failure() const
{
    std::lock_guard lock(m_mutex);
    return m_failure;
}

void SoundDevice::close()
{
    std::lock_guard lock(m_mutex);
    if (!m_open) {
        return;
    }
    Mix_HaltChannel(-1);
    Mix_HaltMusic();
    closeSdlMixer();
    m_open = false;
    m_silentFallback = false;
}
