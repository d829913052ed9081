#pragma once

#include "chime.h"
#include "telltime.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>

class Clock;
class Dialogs;
class QLabel;
class ReadingState;
struct Services;

// The time announcements on the main window. The timer `telltime` (200 ms) keeps the clock in
// status-bar panel 1 while that panel can be seen; the announcements do not poll: a single-shot timer
// is armed for the next second that has an enabled entry (and re-armed at least every SafetyTickMs, so
// a wall clock that is set meanwhile is followed), and another says each sentence 1.3 s after its chime
// without freezing the window.
class TimeAnnouncements final : public QObject
{
    Q_OBJECT
public:
    // The longest the entry timer waits before it looks at the clock again.
    static constexpr int SafetyTickMs = 10000;
    // A wall clock that moved this much more (or less) than the time that passed was set.
    static constexpr int StepToleranceMs = 1000;

    // services.voice may be null (no speech); applyvoice assigns the chosen voice before each sentence.
    TimeAnnouncements(QLabel* statusPanel1, const Services& services, std::function<void()> applyvoice,
                      QObject* parent = nullptr);
    ~TimeAnnouncements() override;

    // Replaces the built-in chime (tests); the caller keeps ownership.
    void setChime(ChimePlayer* chime);
    // The list the timers read (a copy: it changes only when the settings rebuild it).
    void setList(const TellTimeList& list);

    void telltimeTimer();
    void telltimeing(const QString& t);
    // The entry timer's handler: the entries of the second it was armed for, then the next arming.
    void entryTimer();
    QTimer* telltime() { return &m_telltime; }
    QTimer* dueTimer() { return &m_due; }
    QTimer* nextEntryTimer() { return &m_next; }
    // The second the entry timer is armed for; invalid while it only waits for the safety tick.
    QDateTime armedFor() const { return m_armedFor; }
    const TimeAnnouncer& announcer() const { return m_announcer; }
    void setSpokenForm(const SpokenForm* spokenForm) { m_announcer.setSpokenForm(spokenForm); }
    // An announcement counts as sounding there while its chime and sentence play (the music ducks).
    void setReadingState(ReadingState* state) { m_announcer.setReadingState(state); }
    void setSilentOn(std::function<bool(const QDate&)> silent) { m_announcer.setSilentOn(std::move(silent)); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void serveDue();
    void rearm();
    // The status-bar clock runs while its panel is on the screen (shown and not minimised).
    void followVisibility(bool shown);

    QPointer<QLabel> m_statusPanel1;
    // Only compared with what the filter is shown, never used: while the label is destroyed it is no
    // longer a QLabel, and the QPointer's cast to one would be undefined.
    const QObject* m_statusPanelIdentity = nullptr;
    Clock& m_clock;
    Dialogs& m_dialogs;
    std::unique_ptr<ResourceChime> m_ownChime;
    TimeAnnouncer m_announcer;
    QTimer m_telltime;
    QTimer m_due;
    QTimer m_next;
    QDateTime m_armedFor;
    QDateTime m_armedAt;
    qint64 m_armedElapsed = 0;
};
