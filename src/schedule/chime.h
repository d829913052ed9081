#pragma once

class SoundDevice;
struct Mix_Chunk;

// The chime before a time announcement.
class ChimePlayer
{
public:
    virtual ~ChimePlayer();
    // Starts the chime and returns at once; a chime still playing is replaced.
    virtual void play() = 0;
    // The chime is still sounding. A player that cannot tell says false.
    virtual bool isPlaying() const;
};

// The chime `clock_wav` from the program's resources, played on the sound device's chime channel, which
// it opens on demand. Silent when no output opens.
class ResourceChime final : public ChimePlayer
{
public:
    // sound may be null: the chime is then never heard. It outlives the chime.
    explicit ResourceChime(SoundDevice* sound);
    ~ResourceChime() override;
    ResourceChime(const ResourceChime&) = delete;
    ResourceChime& operator=(const ResourceChime&) = delete;

    void play() override;
    // The chime is playing on its channel.
    bool isPlaying() const override;

private:
    SoundDevice* m_sound;
    Mix_Chunk* m_chunk = nullptr;
};
