#pragma once

#include <QString>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

struct Mix_Chunk;

// The one SDL mixer output shared by music, speech, the chime and the voice samples. The program makes
// one and hands it to each of them. Music uses SDL_mixer's music stream; the others play chunks on
// channels reserved for them.
//
// The output is open only while something plays: whoever is about to play holds it (acquire), and
// once the last hold is released and the output has been idle for a moment it is closed, together with
// SDL's audio subsystem. Even a paused SDL device wakes its thread dozens of times a second to feed
// silence, and a station that waits all night for its next broadcast should sleep meanwhile.
class SoundDevice final
{
public:
    enum Channel { SpeechChannel = 0, ChimeChannel = 1, SampleChannel = 2, ReservedChannels = 3 };
    // How long the output stays open after the last hold, so that the pieces of a reading and the
    // tracks of a list do not each open it anew.
    static constexpr std::chrono::milliseconds DefaultIdleClose { 3000 };

    explicit SoundDevice(std::chrono::milliseconds idleClose = DefaultIdleClose);
    ~SoundDevice();
    SoundDevice(const SoundDevice&) = delete;
    SoundDevice& operator=(const SoundDevice&) = delete;

    // Chooses SDL's audio driver for the whole process: the default output when one opens, else SDL's
    // silent dummy driver, so that sound keeps its natural timing. It sets the process environment, so
    // it runs once, on the main thread, before any other thread starts. An environment that already
    // names a driver is kept. Returns the reason the default output failed, or an empty text.
    static QString chooseDriver();

    // Holds the output open: the first hold opens it (on the chosen driver; when that fails and no
    // choice was made before, the silent driver takes its place as chooseDriver() would have chosen
    // it). False when no output (real or silent) could open; no hold is taken then. Every true answer
    // is matched by one release(). Thread-safe.
    bool acquire();
    // Ends one hold. Thread-safe, also from SDL's audio thread; it never closes the output itself.
    void release();
    // Opens the output now (to learn whether one opens and what it is); it closes again once idle
    // unless somebody holds it. Returns true when an output (real or silent) is open.
    bool open();
    // Plays a chunk on one of the reserved channels, first ending whatever the channel played. The
    // output is held until the channel ends (the chunk finished, was halted, or the output was closed).
    // False when no output could open or the mixer refused the chunk. The chunk must have been made
    // for the open output (load it while holding it).
    bool playChunk(int channel, Mix_Chunk* chunk, int loops = 0);
    // Halts a channel, and tells whether one plays, without racing the closing of an idle output
    // (the mixer's channels are gone once it closes; a closed output plays nothing).
    void haltChannel(int channel);
    bool isChannelPlaying(int channel) const;
    // Runs work with the mixer, only while the output is open, and keeps it from closing meanwhile.
    void whileOpen(const std::function<void()>& work);

    bool isOpen() const { return m_open; }
    // Holds taken and not yet released.
    int holds() const { return m_holds; }
    // How many times the output has been opened since this object was made.
    int openings() const { return m_openings; }
    // True when no real output could be opened and the silent driver stands in.
    bool isSilentFallback() const { return m_silentFallback; }
    // The reason the real output failed, when it did.
    QString failure() const;

    // The format of the output while it is open, and of the last one after it closed.
    int frequency() const { return m_frequency; }
    int channels() const { return m_channels; }
    // SDL audio format of the device (AUDIO_S16SYS and the like).
    unsigned short format() const { return m_format; }

    // Sees every buffer handed to the device, on SDL's audio thread (benchmarks and tests: when the
    // first sample of a sound arrives). Takes effect at the next opening.
    using OutputObserver = std::function<void(const unsigned char* stream, int bytes)>;
    void setOutputObserver(OutputObserver observer);

    // Closes the output at once, whoever holds it; a later acquire() opens it again.
    void close();

private:
    bool openLocked();
    void closeLocked();
    void closeWhenIdle();
    static void channelFinished(int channel);
    static void postMix(void* udata, unsigned char* stream, int bytes);

    const std::chrono::milliseconds m_idleClose;
    mutable std::mutex m_mutex; // opening and closing
    std::atomic<bool> m_open { false };
    std::atomic<bool> m_silentFallback { false };
    std::atomic<int> m_holds { 0 };
    std::atomic<int> m_openings { 0 };
    std::array<std::atomic<bool>, ReservedChannels> m_channelHeld {};
    QString m_failure;
    std::atomic<int> m_frequency { 0 };
    std::atomic<int> m_channels { 0 };
    std::atomic<unsigned short> m_format { 0 };
    OutputObserver m_observer;

    // The closer: sleeps until the last hold goes, then until the output has been idle long enough.
    std::mutex m_idleMutex;
    std::condition_variable m_idleChanged;
    std::chrono::steady_clock::time_point m_idleSince;
    bool m_quitting = false;
    std::thread m_closer;
};
