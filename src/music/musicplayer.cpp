#include "musicplayer.h"

#include "common/clock.h"
#include "common/eventlog.h"
#include "common/readingstate.h"

#include <QFileInfo>
#include <QRandomGenerator>

#include <climits>
#include <cmath>

MusicView::~MusicView() = default;

void MusicView::setLevelTimer(bool) { }

MusicPlayer::MusicPlayer(AudioLibrary* library, MusicView& view, const ReadingState& state, Clock& clock,
                         RandomDraw random)
    : m_library(library)
    , m_view(view)
    , m_state(state)
    , m_clock(clock)
    , m_random(std::move(random))
{
    if (!m_random) {
        m_random = [](int bound) { return int(QRandomGenerator::global()->bounded(bound)); };
    }
    if (m_library) {
        m_library->setEndHandler([this](AudioLibrary::Handle handle) { streamEnded(handle); });
    }
}

MusicPlayer::~MusicPlayer()
{
    if (m_library) {
        m_library->setEndHandler({});
    }
}

bool MusicPlayer::voiceSounds() const
{
    return m_state.voiceSounds();
}

int MusicPlayer::draw(int bound)
{
    if (bound <= 1) {
        return 0;
    }
    return qBound(0, m_random(bound), bound - 1);
}

int MusicPlayer::drawOtherThan(int count, int except)
{
    if (count <= 1) {
        return 0;
    }
    if (except < 0 || except >= count) {
        return draw(count);
    }
    // One of the count - 1 others, each as likely.
    const int drawn = draw(count - 1);
    return drawn >= except ? drawn + 1 : drawn;
}

void MusicPlayer::setVolume(int level)
{
    if (m_library) {
        m_library->channelSetVolume(m_stream, float(level) / 100.0f);
    }
}

double MusicPlayer::positionSeconds()
{
    if (!streamOpen()) {
        return 0.0;
    }
    return m_library->channelBytes2Seconds(m_stream, m_library->channelGetPosition(m_stream));
}

bool MusicPlayer::startTrack(const QString& path, const std::function<void()>& onLength)
{
    // The old stream goes before the new file is opened, so a file that fails leaves silence.
    if (streamOpen()) {
        m_library->streamFree(m_stream);
    }
    m_stream = m_library ? m_library->streamCreateFile(path) : 0;
    if (!streamOpen()) {
        m_view.setLevelTimer(false);
        return false;
    }
    if (voiceSounds()) {
        m_level = m_speakingLevel;
    } else if (m_level >= m_musicLevel) {
        // A music level at or below the speaking level: the track starts at the music level, since
        // the fade only ever rises towards it.
        m_level = m_musicLevel;
    }
    // Set before the first sample, so a new track never starts at the library's full volume; outside
    // a reading the level timer then fades it up from here.
    setVolume(m_level);

    const double seconds = m_library->channelBytes2Seconds(m_stream, m_library->channelGetLength(m_stream));
    m_lengthSeconds = seconds > 0.0 ? seconds : 0.0;
    m_length = seconds > 0.0 ? int(qMin(std::trunc(seconds), double(INT_MAX))) : 0;
    if (onLength) {
        onLength();
    }
    m_library->channelPlay(m_stream, false);
    m_stopped = false;
    m_songPlaying = false;
    m_trackPath = path;
    logEvent(QStringLiteral("music started: ") + path);
    m_view.setPositionTimer(true);
    m_view.setLevelTimer(true);
    if (m_started) {
        m_started();
    }
    return true;
}

bool MusicPlayer::reportUnplayable(const QString& path, bool inList)
{
    const QFileInfo file(path);
    if (inList && !m_view.folderExists()) {
        // Said once, not once per file of the list.
        const QString folder = file.absolutePath();
        if (m_missingFolder != folder) {
            m_missingFolder = folder;
            logEvent(QStringLiteral("music folder missing: ") + folder);
        }
        return false;
    }
    if (!m_unplayable.contains(path)) {
        m_unplayable.insert(path);
        logEvent(QStringLiteral("music file does not play: %1 (%2)")
                     .arg(path,
                          !file.exists()         ? QStringLiteral("missing")
                              : file.size() == 0 ? QStringLiteral("empty")
                                                 : QStringLiteral("no MP3 audio in it")));
    }
    return true;
}

void MusicPlayer::bj_playClick()
{
    const int count = m_view.count();
    if (count <= 0) {
        m_view.setPositionTimer(false);
        // Said each time the music is asked for (once per broadcast), so a station that plays no music
        // says why.
        logEvent(QStringLiteral("music not started: no MP3 file in the music folder ") + m_view.folderPath());
        return;
    }
    const int selected = m_view.selectedIndex();
    if (selected >= 0 && selected < count) {
        m_index = selected;
    } else if (m_playOrder == Random) {
        // Not the track that played last, when there is another.
        m_index = drawOtherThan(count, m_played ? m_index : -1);
    } else {
        m_index = 0;
    }
    // A file that does not play is passed over for the next one in list order; once every file of
    // the list has failed in a row the music rests until it is started again.
    for (int tried = 0; tried < count; ++tried) {
        const QString path = m_view.entryPath(m_index);
        m_view.showStatus(path);
        m_level = m_speakingLevel;
        if (startTrack(path)) {
            m_played = true;
            m_unplayable.remove(path);
            m_missingFolder.clear();
            m_silentListReported = false;
            return;
        }
        if (!reportUnplayable(path, true)) {
            break;
        }
        m_index = m_index < count - 1 ? m_index + 1 : 0;
        m_view.select(m_index);
    }
    m_stopped = true;
    m_view.setPositionTimer(false);
    if (m_missingFolder.isEmpty() && !m_silentListReported) {
        m_silentListReported = true;
        logEvent(QStringLiteral("no file of the music list plays (%1 files)").arg(count));
    }
}

void MusicPlayer::bj_stopClick()
{
    if (!m_stopped && streamOpen()) {
        logEvent(QStringLiteral("music stopped: ") + m_trackPath);
    }
    if (streamOpen()) {
        m_library->channelStop(m_stream);
        m_library->streamFree(m_stream);
    }
    // Nothing advances until a track is started again, and the timers rest until then; the display
    // shows once what its next tick would have shown.
    m_stopped = true;
    m_songPlaying = false;
    showPosition();
    m_view.setPositionTimer(false);
    m_view.setLevelTimer(false);
}

void MusicPlayer::bj_nextClick()
{
    const int count = m_view.count();
    if (count <= 0) {
        return;
    }
    m_index = m_index >= count - 1 ? 0 : m_index + 1;
    m_view.select(m_index);
    BJListBox1Change();
    bj_playClick();
}

void MusicPlayer::bj_prevClick()
{
    const int count = m_view.count();
    if (count <= 0) {
        return;
    }
    if (m_index > 0) {
        // The selection is the base; with none (a re-read list) the current track is.
        const int selected = m_view.selectedIndex();
        const int base = selected >= 0 ? selected : m_index;
        m_index = qBound(0, base - 1, count - 1);
    }
    m_view.select(qMin(m_index, count - 1));
    BJListBox1Change();
    bj_playClick();
}

double MusicPlayer::showPosition()
{
    const double position = positionSeconds();
    const int shown = position > 0.0 ? int(qMin(std::trunc(position), double(INT_MAX))) : 0;
    m_view.showPosition(QString::asprintf(" %.2d / %.2d ", shown, m_length));
    return position;
}

void MusicPlayer::bj_timer1Timer()
{
    const double position = showPosition();

    // Only the fallback: the library tells the end itself as it happens (streamEnded). A track is over
    // once its position has reached its whole length, never cut within its last second.
    if (m_stopped || !streamOpen() || position < m_lengthSeconds) {
        return;
    }
    trackEnded();
}

void MusicPlayer::streamEnded(AudioLibrary::Handle handle)
{
    // An end told late, of a track already replaced or stopped, changes nothing.
    if (m_stopped || !streamOpen() || handle != m_stream) {
        return;
    }
    trackEnded();
}

void MusicPlayer::trackEnded()
{
    if (m_songPlaying) {
        // Nothing of the list after the designated song: the broadcast ends in silence.
        logEvent(QStringLiteral("designated song over"));
        bj_stopClick();
        return;
    }
    const int count = m_view.count();
    if (m_playOrder == Random) {
        // Any entry but the one that just ended.
        m_index = drawOtherThan(count, m_index);
    } else {
        m_index = m_index < count - 1 ? m_index + 1 : 0;
    }
    if (count > 0) {
        m_view.select(m_index);
    }
    bj_playClick();
}

void MusicPlayer::bj_timer2Timer()
{
    if (!streamOpen()) {
        m_view.setLevelTimer(false);
        return;
    }
    if (voiceSounds()) {
        const int s = m_speakingLevel;
        if (m_level <= s) {
            m_level = s;
        } else {
            m_level = qMax(m_level - 10, s);
        }
        setVolume(m_level);
        return;
    }
    const int m = m_musicLevel;
    if (m_level == m) {
        return;
    }
    // Never louder than the music level: above it (after a reading with a higher speaking level) the
    // level drops at once; below it, it rises one step per tick.
    m_level = m_level > m ? m : m_level + 1;
    setVolume(m_level);
}

void MusicPlayer::bj_vChange(int level)
{
    m_musicLevel = level;
    if (!voiceSounds()) {
        m_level = level;
        setVolume(level);
    }
}

void MusicPlayer::bj_v1Change(int level)
{
    m_speakingLevel = level;
    if (voiceSounds()) {
        m_level = level;
        setVolume(level);
    }
}

void MusicPlayer::BJListBox1Change()
{
    if (streamOpen()) {
        setVolume(voiceSounds() ? m_speakingLevel : m_musicLevel);
    }
}

void MusicPlayer::play_the_song(const QString& path)
{
    logEvent(QStringLiteral("designated song: ") + path);
    m_view.showStatus(path);
    m_level = m_speakingLevel;
    if (startTrack(path, [this] {
            m_songEndtime = m_clock.currentTime().addSecs(m_length).toString(QStringLiteral("HH:mm:ss"));
        })) {
        m_songPlaying = true;
    } else {
        reportUnplayable(path, false);
    }
}
