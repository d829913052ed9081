#pragma once

#include <QString>

#include <atomic>
#include <mutex>

// The one SDL mixer output shared by music, speech, the chime and the voice samples. The program makes
// one and hands it to each of them. Music uses SDL_mixer's music stream; the others play chunks on
// channels reserved for them.
class SoundDevice final
{
public:
    enum Channel { SpeechChannel = 0, ChimeChannel = 1, SampleChannel = 2, ReservedChannels = 3 };

    SoundDevice() = default;
    ~SoundDevice();
    SoundDevice(const SoundDevice&) = delete;
    SoundDevice& operator=(const SoundDevice&) = delete;

    // Chooses SDL's audio driver for the whole process: the default output when one opens, else SDL's
    // silent dummy driver, so that sound keeps its natural timing. It sets the process environment, so
    // it runs once, on the main thread, before any other thread starts. An environment that already
    // names a driver is kept. Returns the reason the default output failed, or an empty text.
    static QString chooseDriver();

    // Opens the output on the chosen driver; when it fails and no choice was made before, the silent
    // driver takes its place as chooseDriver() would have chosen it. Returns true when an output (real
    // or silent) is open. Safe to call again: an open device stays as it is. Thread-safe.
    bool open();
    bool isOpen() const { return m_open; }
    // True when no real output could be opened and the silent driver stands in.
    bool isSilentFallback() const { return m_silentFallback; }
    // The reason the real output failed, when it did.
    QString failure() const;

    int frequency() const { return m_frequency; }
    int channels() const { return m_channels; }
    // SDL audio format of the device (AUDIO_S16SYS and the like).
    unsigned short format() const { return m_format; }

    void close();

private:
    bool openMixer();

    mutable std::mutex m_mutex;
    std::atomic<bool> m_open { false };
    std::atomic<bool> m_silentFallback { false };
    QString m_failure;
    std::atomic<int> m_frequency { 0 };
    std::atomic<int> m_channels { 0 };
    std::atomic<unsigned short> m_format { 0 };
};
