#include "sounddevice.h"

#include <QByteArray>

#include <SDL.h>
#include <SDL_mixer.h>
#include <cstdlib>

namespace {

// Why the default output failed when chooseDriver() fell back to the silent driver.
QString g_chosenFallback;

const char* const SilentDriver = "dummy";

// SDL_mixer has one channel-finished callback per process: it reaches the device that opened last.
std::atomic<SoundDevice*> g_device { nullptr };

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

// The subsystem goes too: some of SDL's drivers keep a thread of their own for it (ALSA's looks for
// new devices ten times a second).
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

SoundDevice::SoundDevice(std::chrono::milliseconds idleClose)
    : m_idleClose(idleClose)
{
}

SoundDevice::~SoundDevice()
{
    {
        std::lock_guard lock(m_idleMutex);
        m_quitting = true;
    }
    m_idleChanged.notify_all();
    if (m_closer.joinable()) {
        m_closer.join();
    }
    close();
    SoundDevice* self = this;
    g_device.compare_exchange_strong(self, nullptr);
}

bool SoundDevice::openLocked()
{
    if (m_open) {
        return true;
    }
    QString failure;
    bool silent = false;
    if (!openSdlMixer(&failure)) {
        m_failure = failure;
        // Without a choice made on the main thread before (tests, tools), the silent driver is asked for
        // through SDL's own setting: the process environment is not touched from whatever thread this is.
        SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, SilentDriver, SDL_HINT_OVERRIDE);
        if (!openSdlMixer(&failure)) {
            return false;
        }
        silent = true;
    } else if (silentDriverChosen() && !g_chosenFallback.isEmpty()) {
        silent = true;
        m_failure = g_chosenFallback;
    } else if (m_silentFallback) {
        // A silent stand-in asked for earlier through SDL's setting stays for the process.
        const char* driver = SDL_GetCurrentAudioDriver();
        silent = driver && qstrcmp(driver, SilentDriver) == 0;
    }
    m_silentFallback = silent;
    int frequency = 0;
    int channels = 0;
    Uint16 format = 0;
    Mix_QuerySpec(&frequency, &format, &channels);
    m_frequency = frequency;
    m_channels = channels;
    m_format = format;
    Mix_AllocateChannels(16);
    Mix_ReserveChannels(ReservedChannels);
    g_device = this;
    Mix_ChannelFinished(&SoundDevice::channelFinished);
    if (m_observer) {
        Mix_SetPostMix(&SoundDevice::postMix, this);
    }
    m_open = true;
    ++m_openings;
    if (!m_closer.joinable()) {
        m_closer = std::thread([this] { closeWhenIdle(); });
    }
    return true;
}

bool SoundDevice::acquire()
{
    std::lock_guard lock(m_mutex);
    if (!openLocked()) {
        return false;
    }
    ++m_holds;
    return true;
}

void SoundDevice::release()
{
    int holds = m_holds.load();
    do {
        if (holds <= 0) {
            return; // an unmatched release changes nothing
        }
    } while (!m_holds.compare_exchange_weak(holds, holds - 1));
    if (holds == 1) {
        {
            std::lock_guard lock(m_idleMutex);
            m_idleSince = std::chrono::steady_clock::now();
        }
        m_idleChanged.notify_all();
    }
}

bool SoundDevice::open()
{
    if (!acquire()) {
        return false;
    }
    release();
    return true;
}

bool SoundDevice::playChunk(int channel, Mix_Chunk* chunk, int loops)
{
    if (channel < 0 || channel >= ReservedChannels || !chunk || !acquire()) {
        return false;
    }
    // The chunk before ends here, and its hold with it (the mixer reports the halt).
    Mix_HaltChannel(channel);
    m_channelHeld[size_t(channel)] = true;
    if (Mix_PlayChannel(channel, chunk, loops) < 0) {
        if (m_channelHeld[size_t(channel)].exchange(false)) {
            release();
        }
        return false;
    }
    return true;
}

void SoundDevice::haltChannel(int channel)
{
    std::lock_guard lock(m_mutex);
    if (m_open) {
        Mix_HaltChannel(channel);
    }
}

bool SoundDevice::isChannelPlaying(int channel) const
{
    std::lock_guard lock(m_mutex);
    return m_open && Mix_Playing(channel) != 0;
}

void SoundDevice::whileOpen(const std::function<void()>& work)
{
    std::lock_guard lock(m_mutex);
    if (m_open) {
        work();
    }
}

void SoundDevice::channelFinished(int channel)
{
    // On SDL's audio thread with the mixer locked, or inside a halt: only counts change here.
    SoundDevice* device = g_device.load();
    if (device && channel >= 0 && channel < ReservedChannels
        && device->m_channelHeld[size_t(channel)].exchange(false)) {
        device->release();
    }
}

void SoundDevice::postMix(void* udata, unsigned char* stream, int bytes)
{
    auto* device = static_cast<SoundDevice*>(udata);
    if (device->m_observer) {
        device->m_observer(stream, bytes);
    }
}

void SoundDevice::setOutputObserver(OutputObserver observer)
{
    std::lock_guard lock(m_mutex);
    if (m_open) {
        Mix_SetPostMix(nullptr, nullptr); // waits for a mix in progress
    }
    m_observer = std::move(observer);
    if (m_open && m_observer) {
        Mix_SetPostMix(&SoundDevice::postMix, this);
    }
}

QString SoundDevice::failure() const
{
    std::lock_guard lock(m_mutex);
    return m_failure;
}

void SoundDevice::closeLocked()
{
    if (!m_open) {
        return;
    }
    // Halting reports each held channel's end, which ends its hold.
    Mix_HaltChannel(-1);
    Mix_HaltMusic();
    Mix_SetPostMix(nullptr, nullptr);
    closeSdlMixer();
    m_open = false;
}

void SoundDevice::close()
{
    std::lock_guard lock(m_mutex);
    closeLocked();
}

void SoundDevice::closeWhenIdle()
{
    std::unique_lock idle(m_idleMutex);
    for (;;) {
        if (m_quitting) {
            return;
        }
        // Nothing to do until the last hold goes: this thread sleeps without a timeout meanwhile.
        if (!m_open || m_holds > 0) {
            m_idleChanged.wait(idle);
            continue;
        }
        const auto due = m_idleSince + m_idleClose;
        if (std::chrono::steady_clock::now() < due) {
            m_idleChanged.wait_until(idle, due);
            continue;
        }
        idle.unlock();
        {
            // Holds are taken under this lock, so none can come between the check and the close.
            std::lock_guard lock(m_mutex);
            bool stillIdle = false;
            {
                std::lock_guard since(m_idleMutex);
                stillIdle = m_holds == 0 && std::chrono::steady_clock::now() >= m_idleSince + m_idleClose;
            }
            if (stillIdle) {
                closeLocked();
            }
        }
        idle.lock();
    }
}
