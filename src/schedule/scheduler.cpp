#include "scheduler.h"

#include "common/eventlog.h"

#include <QFileInfo>

ScheduleActions::~ScheduleActions() = default;

namespace {

bool isBlank(QChar c)
{
    return c.unicode() <= 0x20 || c.isSpace() || c.category() == QChar::Other_Control;
}

} // namespace

int Scheduler::weekdayNumber(const QDate& date)
{
    // Qt counts Monday 1 .. Sunday 7.
    return date.dayOfWeek() % 7 + 1;
}

bool Scheduler::editorHasText(const QString& text)
{
    for (const QChar c : text) {
        if (!isBlank(c)) {
            return true;
        }
    }
    return false;
}

bool Scheduler::rangeHolds(const QTime& now, const QTime& start, const QTime& end)
{
    return now.isValid() && start.isValid() && end.isValid() && start <= now && now <= end;
}

QString Scheduler::timeText(const QTime& time)
{
    return time.toString(QStringLiteral("HH:mm:ss"));
}

void Scheduler::reset()
{
    m_auto_started = false;
    m_song_checked = false;
    m_song_started = false;
    m_song_done = false;
}

void Scheduler::tick(const QDateTime& now, const ScheduleInputs& inputs, ScheduleActions& actions)
{
    const QTime time = now.time();
    const bool inRange = rangeHolds(time, inputs.rangeStart, inputs.rangeEnd);
    const bool hasText = editorHasText(inputs.editorText);

    // Every flag is set before its action: an action may open a message box whose event loop runs this
    // tick again, and no step may run twice.

    // 1. Start of the broadcast.
    const int weekday = weekdayNumber(now.date());
    const bool dayTicked = weekday >= 1 && weekday <= 7 && inputs.weekdays[static_cast<size_t>(weekday - 1)];
    if (dayTicked && !m_auto_started && inRange && hasText) {
        m_auto_started = true;
        logEvent(QStringLiteral("broadcast started"));
        actions.startRepetition();
        actions.playMusic();
    }

    // 2. End of the designated song. Zero-padded times compare as text in time order.
    if (m_song_started && !m_song_done && timeText(time) > actions.song_endtime()) {
        m_song_done = true;
        logEvent(QStringLiteral("designated song over"));
        actions.stopMusic();
    }

    // 3. The designated song, once the repetition is over (or was never switched on).
    if (!actions.repetitionActive() && inRange && !m_song_checked && hasText) {
        m_song_checked = true;
        const QString song = inputs.songFile.trimmed();
        if (!song.isEmpty()) {
            m_song_started = true;
            if (QFileInfo(song).isFile()) {
                actions.play_the_song(song);
            } else {
                logEvent(QStringLiteral("designated song missing: ") + song);
                actions.stopMusic();
            }
        }
    }

    // 4. End of the range: whatever was started by hand is stopped again, every tick until midnight.
    if (time.isValid() && inputs.rangeEnd.isValid() && time > inputs.rangeEnd) {
        actions.stopMusic();
        actions.stopReading();
    }
}
