#pragma once

#include <QString>

#include <atomic>
#include <mutex>

// The one SDL mixer output shared by music, speech, the chime and the voice samples.
// Music uses SDL_mixer's music stream; the others play chunks on channels reserved for them.
class SoundDevice final
{
public:
    enum Channel { SpeechChannel = 0, ChimeChannel = 1, SampleChannel = 2, ReservedChannels = 3 };

    static SoundDevice& instance();

    // Opens the default output; when there is none, SDL's silent dummy driver takes its place so that
    // sound keeps its natural timing. Returns true when an output (real or silent) is open. Safe to call
    // again: an open device stays as it is. Thread-safe (the speech worker may open it first).
    bool open();
    bool isOpen() const { return m_open; }
    // True when no real output could be opened and the silent driver stands in.
    bool isSilentFallback() const { return m_silentFallback; }
    // The reason the real output failed, when it did.
    QString failure() const { return m_failure; }

    int frequency() const { return m_frequency; }
    int channels() const { return m_channels; }
    // SDL audio format of the device (AUDIO_S16SYS and the like).
    unsigned short format() const { return m_format; }

    void close();

private:
    SoundDevice() = default;
    bool openMixer();

    std::mutex m_mutex;
    std::atomic<bool> m_open { false };
    bool m_silentFallback = false;
    QString m_failure;
    int m_frequency = 0;
    int m_channels = 0;
    unsigned short m_format = 0;
};
