#pragma once

#include "audiolibrary.h"

#include <QSet>
#include <QString>

#include <functional>

class Clock;
class ReadingState;

// What the player needs of its window: the file list, the position display, the status-bar panel
// and the position timer.
class MusicView
{
public:
    virtual ~MusicView();

    virtual int count() const = 0;
    // -1 when nothing is selected.
    virtual int selectedIndex() const = 0;
    // Selects the entry without running the list's change notification (the player runs it).
    virtual void select(int index) = 0;
    // The full path of the entry at index (0 <= index < count()).
    virtual QString entryPath(int index) const = 0;
    // False when the music folder itself has gone (a removed folder, an unplugged disk).
    virtual bool folderExists() const = 0;
    // The music folder the list shows, for the log.
    virtual QString folderPath() const = 0;
    virtual void showPosition(const QString& text) = 0;
    // Status-bar panel 2: the file the player last tried to start.
    virtual void showStatus(const QString& path) = 0;
    virtual void setPositionTimer(bool on) = 0;
    // The 20 ms level timer runs only while a stream is open: without one its tick has nothing to do.
    virtual void setLevelTimer(bool on);
};

// The background music player's rules: playing a list in order or at random, the position display
// and end-of-track advance, ducking under the voice every 20 ms, and the designated song. Owns the one
// music stream (bj_stream) of the audio library; reads the reading state, never writes it. The next
// track starts when the library tells the end of the last one (the position timer is only the fallback
// of a library that cannot tell), and the designated song is followed by silence.
class MusicPlayer final
{
public:
    // A position drawn uniformly from 0 .. bound - 1 (bound >= 1).
    using RandomDraw = std::function<int(int bound)>;
    enum PlayOrder { Sequential = 0, Random = 1 };

    // The library may be null: then nothing is ever audible.
    MusicPlayer(AudioLibrary* library, MusicView& view, const ReadingState& state, Clock& clock,
                RandomDraw random = {});
    ~MusicPlayer();
    Q_DISABLE_COPY_MOVE(MusicPlayer)

    // Levels 0..100 (bj_v, bj_v1) and the play order (ComBox1), as the controls hold them. Setting them
    // applies nothing; the handlers below do.
    void setMusicLevel(int level) { m_musicLevel = level; }
    void setSpeakingLevel(int level) { m_speakingLevel = level; }
    void setPlayOrder(int order) { m_playOrder = order; }
    int musicLevel() const { return m_musicLevel; }
    int speakingLevel() const { return m_speakingLevel; }

    void bj_playClick();
    void bj_stopClick();
    void bj_nextClick();
    void bj_prevClick();
    void bj_timer1Timer();
    void bj_timer2Timer();
    void bj_vChange(int level);
    void bj_v1Change(int level);
    void BJListBox1Change();
    // Plays the file named; the time of day it will end is kept as song_endtime.
    void play_the_song(const QString& path);
    // The library's word that a stream played to its end: the next track of the list at once, or after
    // the designated song, silence.
    void streamEnded(AudioLibrary::Handle handle);
    // The designated song started by play_the_song is still playing.
    bool songPlaying() const { return m_songPlaying; }

    // "HH:mm:ss", zero-padded 24-hour, so that text comparison is time order.
    QString song_endtime() const { return m_songEndtime; }
    void setSong_endtime(const QString& text) { m_songEndtime = text; }
    // Told after each track has started (from the list or the designated song), inside the call that
    // started it: a handler that stops the music defers the stop to the event loop.
    void setStartedHandler(std::function<void()> handler) { m_started = std::move(handler); }

    AudioLibrary::Handle bj_stream() const { return m_stream; }
    int bj_length() const { return m_length; }
    int bj_index() const { return m_index; }
    void setBj_index(int index) { m_index = index; }
    int bj_level() const { return m_level; }
    void setBj_level(int level) { m_level = level; }
    // True from a stop until the next track starts: the position timer rests and nothing advances.
    bool isStopped() const { return m_stopped; }

private:
    bool streamOpen() const { return m_library && AudioLibrary::isOpen(m_stream); }
    // The music ducks: a reading or a time announcement sounds.
    bool voiceSounds() const;
    void setVolume(int level);
    double positionSeconds();
    // Shows the position in the display; returns it in seconds.
    double showPosition();
    // Frees the open stream and opens path; on success sets the level, reads the length and plays.
    // onLength runs between reading the length and starting the stream.
    bool startTrack(const QString& path, const std::function<void()>& onLength = {});
    int draw(int bound);
    // A position of a list of count entries other than except (when there are two or more).
    int drawOtherThan(int count, int except);
    // The track has played to its end: the next one, or silence after the designated song.
    void trackEnded();
    // Logs a file that did not open, once per file; false when it is a file of the list and the whole
    // music folder is gone (logged once).
    bool reportUnplayable(const QString& path, bool inList);

    AudioLibrary* m_library;
    MusicView& m_view;
    const ReadingState& m_state;
    Clock& m_clock;
    RandomDraw m_random;
    std::function<void()> m_started;

    AudioLibrary::Handle m_stream = 0;
    QString m_trackPath; // the file of the track that plays, for the log
    int m_length = 0;
    double m_lengthSeconds = 0.0; // unrounded: the position the track ends at
    int m_index = 0;
    int m_level = 10;
    int m_musicLevel = 40;
    int m_speakingLevel = 10;
    int m_playOrder = Sequential;
    bool m_stopped = false;
    bool m_played = false; // a track of the list has started this run (m_index is the last one)
    bool m_songPlaying = false;
    QSet<QString> m_unplayable; // files already logged as not playing
    QString m_missingFolder; // the vanished folder already logged
    bool m_silentListReported = false;
    QString m_songEndtime = QStringLiteral("00:00:00");
};
