#include "sdlaudiolibrary.h"

#include "common/helpers.h"
#include "common/sounddevice.h"
#include "common/tsanannotations.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QObject>

#include <SDL.h>
#include <SDL_mixer.h>
#include <cmath>
#include <limits>

namespace {

// The library version the player was written against (2.4) and the one below it.
constexpr quint32 SuitableVersion = 0x0204;
constexpr quint32 UnsuitableVersion = 0x0203;

// Stands in for the device format before the device is open.
constexpr int FallbackFrequency = 44100;
constexpr int FallbackFrameBytes = 4;

// The library whose streams SDL_mixer's one music-finished hook reports (the hook takes no argument).
std::atomic<SdlAudioLibrary*> hooked { nullptr };

// Runs the end of a track on the main thread. The hook posts a bare event and hands the stream over
// through an atomic, so nothing but the event itself is built on the audio thread and read on the
// main thread.
class EndReceiver final : public QObject
{
public:
    static constexpr QEvent::Type Ended = QEvent::User;

    explicit EndReceiver(std::function<void()> ended)
        : m_ended(std::move(ended))
    {
    }

    bool event(QEvent* event) override
    {
        // Allocated on the audio thread; Qt's queue hands it over behind locks ThreadSanitizer cannot see.
        KELVORA_TSAN_ACQUIRE(event);
        if (event->type() == Ended) {
            m_ended();
            return true;
        }
        return QObject::event(event);
    }

private:
    std::function<void()> m_ended;
};

} // namespace

SdlAudioLibrary::SdlAudioLibrary(SoundDevice& sound)
    : m_sound(sound)
    , m_mainThread(std::make_unique<EndReceiver>([this] { deliverEnd(m_ended.load(std::memory_order_acquire)); }))
{
}

SdlAudioLibrary::~SdlAudioLibrary()
{
    SdlAudioLibrary* self = this;
    if (hooked.compare_exchange_strong(self, nullptr) && m_sound.isOpen()) {
        // Taken under the mixer's lock: no hook runs any more once this returns. Ends already posted
        // go with m_mainThread.
        Mix_HookMusicFinished(nullptr);
    }
    if (m_stream.music) {
        Mix_FreeMusic(m_stream.music);
        m_sound.release();
    }
}

void SdlAudioLibrary::setEndHandler(std::function<void(Handle)> handler)
{
    m_endHandler = std::move(handler);
}

void SdlAudioLibrary::musicFinished()
{
    SdlAudioLibrary* library = hooked.load();
    if (!library) {
        return;
    }
    // No SDL_mixer call may be made in here; the main thread looks at the stream.
    library->m_ended.store(library->m_playing.load(), std::memory_order_release);
    auto* ended = new QEvent(EndReceiver::Ended);
    KELVORA_TSAN_RELEASE(ended);
    QCoreApplication::postEvent(library->m_mainThread.get(), ended);
}

void SdlAudioLibrary::deliverEnd(Handle handle)
{
    // A halt (a stop, a free, a new track) also runs the hook: only a current stream that was playing
    // and no longer plays has ended by itself.
    if (!isCurrent(handle) || !m_stream.started || m_stream.stopped || !m_sound.isOpen() || Mix_PlayingMusic() != 0) {
        return;
    }
    if (m_endHandler) {
        m_endHandler(handle);
    }
}

quint32 SdlAudioLibrary::version()
{
    const SDL_version* linked = Mix_Linked_Version();
    const bool hasLengthAndPosition = linked->major > 2 || (linked->major == 2 && linked->minor >= 6);
    // Mix_Init loads the MP3 decoder; once the device is open, the decoder list says it too.
    bool decodesMp3 = (Mix_Init(MIX_INIT_MP3) & MIX_INIT_MP3) != 0;
    if (decodesMp3 && m_sound.isOpen()) {
        decodesMp3 = Mix_HasMusicDecoder("MP3") == SDL_TRUE;
    }
    const quint32 high = hasLengthAndPosition && decodesMp3 ? SuitableVersion : UnsuitableVersion;
    return (high << 16) | (quint32(linked->minor) << 8) | quint32(linked->patch);
}

bool SdlAudioLibrary::init()
{
    // The output is opened to learn what it is; it closes again until a stream plays.
    const bool open = m_sound.open();
    m_initialised = true;
    // Music on the silent stand-in would only pretend to play: refuse it, as without a device.
    m_refuseStreams = !open || m_sound.isSilentFallback();
    if (!m_refuseStreams) {
        hooked = this;
        Mix_HookMusicFinished(&SdlAudioLibrary::musicFinished);
    }
    return !m_refuseStreams;
}

QString SdlAudioLibrary::initFailure() const
{
    return m_sound.failure();
}

AudioLibrary::Handle SdlAudioLibrary::streamCreateFile(const QString& path)
{
    if (m_current != 0) {
        streamFree(m_current);
    }
    if (!m_initialised || m_refuseStreams) {
        return 0;
    }
    const QFileInfo info(path);
    if (!info.isFile() || info.size() == 0) {
        return 0;
    }
    // A stream holds the output open from its creation to its end; the decoder needs its format.
    if (!m_sound.acquire()) {
        return 0;
    }
    SDL_RWops* file = SDL_RWFromFile(QFile::encodeName(info.absoluteFilePath()).constData(), "rb");
    // Decoded as MP3 whatever the name says; the RWops is closed with the music.
    Mix_Music* music = file ? Mix_LoadMUSType_RW(file, MUS_MP3, SDL_TRUE) : nullptr;
    const double seconds = music ? Mix_MusicDuration(music) : 0.0;
    if (!(seconds > 0.0)) {
        // Nothing decodable in it (a tag without frames, a file cut off before its first frame).
        if (music) {
            Mix_FreeMusic(music);
        }
        m_sound.release();
        return 0;
    }
    m_stream = Stream();
    m_stream.music = music;
    m_stream.seconds = seconds;
    m_current = m_nextHandle;
    m_nextHandle = m_nextHandle == std::numeric_limits<Handle>::max() ? LastInvalidHandle + 1 : m_nextHandle + 1;
    return m_current;
}

void SdlAudioLibrary::streamFree(Handle handle)
{
    if (!isCurrent(handle)) {
        return;
    }
    // Mix_FreeMusic halts the music first when it is the one playing.
    Mix_FreeMusic(m_stream.music);
    m_stream = Stream();
    m_current = 0;
    m_sound.release();
}

void SdlAudioLibrary::channelPlay(Handle handle, bool restart)
{
    if (!isCurrent(handle)) {
        return;
    }
    const bool playing = m_stream.started && !m_stream.stopped && Mix_PlayingMusic() != 0;
    if (playing && !restart) {
        if (Mix_PausedMusic() != 0) {
            Mix_ResumeMusic();
        }
        return;
    }
    // Volume first, so the first samples already have the stream's level.
    applyVolume(m_stream.volume);
    if (Mix_PlayMusic(m_stream.music, 0) != 0) {
        return;
    }
    m_playing = handle;
    if (m_stream.stopped && !restart && m_stream.stoppedAt > 0.0) {
        Mix_SetMusicPosition(m_stream.stoppedAt);
    }
    m_stream.started = true;
    m_stream.stopped = false;
    m_stream.stoppedAt = 0.0;
}

void SdlAudioLibrary::channelStop(Handle handle)
{
    if (!isCurrent(handle) || !m_stream.started || m_stream.stopped) {
        return;
    }
    const double position = Mix_GetMusicPosition(m_stream.music);
    const bool finished = Mix_PlayingMusic() == 0;
    Mix_HaltMusic();
    m_stream.stopped = true;
    m_stream.stoppedAt = finished ? m_stream.seconds : qBound(0.0, position, m_stream.seconds);
}

void SdlAudioLibrary::channelSetVolume(Handle handle, float volume)
{
    if (!isCurrent(handle)) {
        return;
    }
    m_stream.volume = qBound(0.0f, volume, 1.0f);
    if (m_stream.started && !m_stream.stopped) {
        applyVolume(m_stream.volume);
    }
}

quint64 SdlAudioLibrary::channelGetLength(Handle handle)
{
    return isCurrent(handle) ? secondsToBytes(m_stream.seconds) : InvalidBytes;
}

quint64 SdlAudioLibrary::channelGetPosition(Handle handle)
{
    if (!isCurrent(handle)) {
        return InvalidBytes;
    }
    if (!m_stream.started) {
        return 0;
    }
    if (m_stream.stopped) {
        return secondsToBytes(m_stream.stoppedAt);
    }
    if (Mix_PlayingMusic() == 0) {
        return secondsToBytes(m_stream.seconds); // played to its end
    }
    const double position = Mix_GetMusicPosition(m_stream.music);
    return secondsToBytes(qBound(0.0, position, m_stream.seconds));
}

double SdlAudioLibrary::channelBytes2Seconds(Handle handle, quint64 bytes)
{
    if (!isCurrent(handle) || bytes == InvalidBytes) {
        return -1.0;
    }
    return double(bytes) / double(bytesPerSecond());
}

quint64 SdlAudioLibrary::bytesPerSecond() const
{
    const SoundDevice& device = m_sound;
    if (!device.isOpen() || device.frequency() <= 0 || device.channels() <= 0) {
        return quint64(FallbackFrequency) * FallbackFrameBytes;
    }
    const quint64 frameBytes = quint64(device.channels()) * (SDL_AUDIO_BITSIZE(device.format()) / 8);
    return quint64(device.frequency()) * frameBytes;
}

quint64 SdlAudioLibrary::secondsToBytes(double seconds) const
{
    // Whole frames, so that the bytes divide back into the same seconds.
    const SoundDevice& device = m_sound;
    const quint64 frequency
        = device.isOpen() && device.frequency() > 0 ? quint64(device.frequency()) : FallbackFrequency;
    const quint64 frameBytes = bytesPerSecond() / frequency;
    return quint64(std::floor(qMax(0.0, seconds) * double(frequency))) * frameBytes;
}

void SdlAudioLibrary::applyVolume(float volume) const
{
    Mix_VolumeMusic(int(std::lround(double(volume) * MIX_MAX_VOLUME)));
}

bool init_bass(AudioLibrary* library, Dialogs& dialogs)
{
    if (!library) {
        return false;
    }
    bool ok = true;
    const quint32 version = library->version();
    if ((version >> 16) != SuitableVersion) {
        errorbox(dialogs, QStringLiteral("\"Bass.dll\" 文件版本不合适! "),
                 QStringLiteral("SDL_mixer 2.%1.%2: the music needs SDL_mixer 2.6 or later with its MP3 decoder "
                                "(package libsdl2-mixer-2.0-0)")
                     .arg((version >> 8) & 0xff)
                     .arg(version & 0xff));
        ok = false; // the device is still started: the program goes on with the library it has
    }
    if (!library->init()) {
        const QString reason = library->initFailure();
        errorbox(dialogs, QStringLiteral("初始化错误"),
                 QStringLiteral("no sound device for the music%1; the readings play on SDL's silent driver")
                     .arg(reason.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(reason)));
        ok = false;
    }
    return ok;
}
