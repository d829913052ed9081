#pragma once

#include <QString>

class SoundDevice;

// Plays one short recorded sample at a time on a mixer channel of its own, beside the music.
class SamplePlayer
{
public:
    virtual ~SamplePlayer();
    // Stops a sample still playing, then plays the file in the background. Throws RuntimeError with
    // the reason when the file cannot be played.
    virtual void play(const QString& path) = 0;
    virtual void stop() = 0;
    virtual bool isPlaying() = 0;
};

// The real player: SDL_mixer chunks on the sample channel of the shared sound device.
class SdlSamplePlayer final : public SamplePlayer
{
public:
    // Plays on the sound device, which outlives the player.
    explicit SdlSamplePlayer(SoundDevice& sound);
    ~SdlSamplePlayer() override;
    SdlSamplePlayer(const SdlSamplePlayer&) = delete;
    SdlSamplePlayer& operator=(const SdlSamplePlayer&) = delete;

    void play(const QString& path) override;
    void stop() override;
    bool isPlaying() override;

private:
    SoundDevice& m_sound;
    void* m_chunk = nullptr; // Mix_Chunk, freed only after its channel has been halted
};
