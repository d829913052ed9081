#include "scheduler.h"

#include "common/eventlog.h"

#include <QFileInfo>

#include <algorithm>

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

bool Scheduler::afterRange(const QTime& now, const QTime& start, const QTime& end)
{
    return now.isValid() && start.isValid() && end.isValid() && start <= end && now > end;
}

void Scheduler::readingStarted(const QDateTime& now, const ScheduleInputs& inputs, ScheduleActions& actions)
{
    if (afterRange(now.time(), inputs.rangeStart, inputs.rangeEnd)) {
        logEvent(QStringLiteral("after the broadcast range: the reading is stopped"));
        actions.stopReading();
    }
}

void Scheduler::musicStarted(const QDateTime& now, const ScheduleInputs& inputs, ScheduleActions& actions)
{
    if (afterRange(now.time(), inputs.rangeStart, inputs.rangeEnd)) {
        logEvent(QStringLiteral("after the broadcast range: the music is stopped"));
        actions.stopMusic();
    }
}

void Scheduler::timeRangeChanged()
{
    m_auto_started = false;
    m_broadcastDays.clear();
}

bool Scheduler::broadcastDay(const QDate& day, const ScheduleInputs& inputs)
{
    // The company's calendar first: a working day broadcasts whatever its box says, a day off never.
    if (inputs.calendarDay == CalendarDay::WorkingDay) {
        return true;
    }
    if (inputs.calendarDay == CalendarDay::DayOff) {
        return false;
    }
    const int weekday = weekdayNumber(day);
    return weekday >= 1 && weekday <= 7 && inputs.weekdays[static_cast<size_t>(weekday - 1)];
}

bool Scheduler::startDue(const QDateTime& now, const ScheduleInputs& inputs) const
{
    return broadcastDay(now.date(), inputs) && !m_auto_started && !m_broadcastDays.contains(now.date())
        && rangeHolds(now.time(), inputs.rangeStart, inputs.rangeEnd);
}

void Scheduler::reset()
{
    m_auto_started = false;
    m_song_checked = false;
    m_song_started = false;
    m_song_done = false;
    m_afterRange = false;
}

void Scheduler::tick(const QDateTime& now, const ScheduleInputs& inputs, ScheduleActions& actions)
{
    const QTime time = now.time();
    const bool inRange = rangeHolds(time, inputs.rangeStart, inputs.rangeEnd);
    const bool hasText = editorHasText(inputs.editorText);

    // Every flag is set before its action: an action may open a message box whose event loop runs this
    // tick again, and no step may run twice.

    // 1. Start of the broadcast: at most once per date, whatever the wall clock does.
    if (hasText && startDue(now, inputs)) {
        m_auto_started = true;
        m_broadcastDays.insert(now.date());
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

    // 3. The designated song, once the repetition is over (or was never switched on), on a broadcast day
    // only: a day whose box is unticked stays silent.
    if (!actions.repetitionActive() && inRange && !m_song_checked && hasText && broadcastDay(now.date(), inputs)) {
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

    // 4. End of the range: music and readings stop once, on the first tick after it (also the first tick
    // of a run that starts after it). What starts later is stopped as it starts (readingStarted,
    // musicStarted); a time announcement is never cut.
    const bool after = afterRange(time, inputs.rangeStart, inputs.rangeEnd);
    if (after && !m_afterRange) {
        m_afterRange = true;
        actions.stopMusic();
        actions.stopReading();
    }
    m_afterRange = after;
}

qint64 Scheduler::restAfter(const QDateTime& now, const ScheduleInputs& inputs, const ScheduleActions& actions) const
{
    if (actions.repetitionActive() || (m_song_started && !m_song_done)) {
        return BusyTickMs;
    }
    QDateTime next(now.date().addDays(1), QTime(0, 0));
    const auto consider = [&now, &next](const QDateTime& at) {
        if (at.isValid() && at > now && at < next) {
            next = at;
        }
    };
    if (inputs.rangeStart.isValid()) {
        consider(QDateTime(now.date(), inputs.rangeStart));
    }
    if (inputs.rangeEnd.isValid()) {
        // Step 4 holds from the first moment after the end.
        consider(QDateTime(now.date(), inputs.rangeEnd).addMSecs(1));
    }
    return std::clamp(now.msecsTo(next), qint64(1), qint64(SafetyTickMs));
}
