#pragma once

#include "audiolibrary.h"

#include <QHash>

#include <atomic>
#include <functional>
#include <memory>

class Dialogs;
class QObject;
class SoundDevice;
struct _Mix_Music;

// The audio library on SDL2_mixer: MP3 files play as SDL_mixer's one music stream on the shared
// sound device. Byte counts are PCM frames at the device's rate and format, so lengths and positions
// turn back into seconds exactly. The end of a track comes from SDL_mixer's music-finished hook, handed
// from SDL's audio thread to the main thread.
class SdlAudioLibrary final : public AudioLibrary
{
public:
    // Plays on the sound device, which outlives the library.
    explicit SdlAudioLibrary(SoundDevice& sound);
    ~SdlAudioLibrary() override;
    Q_DISABLE_COPY_MOVE(SdlAudioLibrary)

    // 0x0204xxxx when the linked SDL_mixer (2.6 or later) has track length and position and decodes
    // MP3; a lower version otherwise. The low word carries SDL_mixer's own minor and patch numbers.
    quint32 version() override;
    // Opens the shared sound device to learn what it is (it closes again until a stream holds it). False
    // when only the silent stand-in could be opened: every later stream is then refused.
    bool init() override;
    QString initFailure() const override;
    // The file is decoded as MP3 whatever its name; an empty, damaged or other kind of file gives 0.
    // Opening a stream frees the one open before, so there is never more than one. A stream holds the
    // sound device open until it is freed.
    Handle streamCreateFile(const QString& path) override;
    void streamFree(Handle handle) override;
    // Without restart a stopped stream goes on where it stopped, a new one starts at its beginning.
    void channelPlay(Handle handle, bool restart) override;
    void channelStop(Handle handle) override;
    void channelSetVolume(Handle handle, float volume) override;
    // Byte counts of a handle that is not open are quint64(-1); their seconds are -1.0.
    quint64 channelGetLength(Handle handle) override;
    quint64 channelGetPosition(Handle handle) override;
    double channelBytes2Seconds(Handle handle, quint64 bytes) override;
    // Construct the library on the main thread: that is where the handler is called.
    void setEndHandler(std::function<void(Handle)> handler) override;

    static constexpr quint64 InvalidBytes = quint64(-1);

private:
    struct Stream
    {
        _Mix_Music* music = nullptr;
        double seconds = 0.0;
        float volume = 1.0f;
        bool started = false; // handed to the mixer at least once
        bool stopped = false; // halted by channelStop; play without restart resumes here
        double stoppedAt = 0.0;
    };

    bool isCurrent(Handle handle) const { return m_current != 0 && handle == m_current; }
    quint64 bytesPerSecond() const;
    quint64 secondsToBytes(double seconds) const;
    void applyVolume(float volume) const;
    // SDL_mixer's music-finished hook: on the audio thread at a track's end, on the calling thread when
    // the music is halted. It only posts the end to the main thread.
    static void musicFinished();
    // On the main thread: a stream still current that has stopped playing by itself ended.
    void deliverEnd(Handle handle);

    SoundDevice& m_sound;
    bool m_initialised = false;
    bool m_refuseStreams = false;
    Handle m_current = 0;
    Stream m_stream;
    Handle m_nextHandle = LastInvalidHandle + 1;
    std::function<void(Handle)> m_endHandler;
    std::unique_ptr<QObject> m_mainThread; // receives the ends posted by the hook
    std::atomic<Handle> m_playing { 0 }; // the stream last handed to the mixer, as the hook reads it
    std::atomic<Handle> m_ended { 0 }; // the stream the hook last told the end of
};

// Checks the audio library at start-up and starts its output. Shows "\"Bass.dll\" 文件版本不合适! " when
// the library cannot do what the player needs, and "初始化错误" when no output device could be opened
// (the music is then silent without further messages). True only when neither happened. A null
// library (tests without sound) does nothing and answers false.
bool init_bass(AudioLibrary* library, Dialogs& dialogs);
