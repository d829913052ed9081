#pragma once

#include "chime.h"
#include "telltime.h"

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

// The time announcements on the main window: owns the timer `telltime` (200 ms, always running), which
// keeps the clock in status-bar panel 1 and fires the enabled entries of the announcement list, and a
// single-shot timer that says each sentence 1.3 s after its chime without freezing the window.
class TimeAnnouncements final : public QObject
{
    Q_OBJECT
public:
    // services.voice may be null (no speech); applyvoice assigns the chosen voice before each sentence.
    TimeAnnouncements(QLabel* statusPanel1, const Services& services, std::function<void()> applyvoice,
                      QObject* parent = nullptr);
    ~TimeAnnouncements() override;

    // Replaces the built-in chime (tests); the caller keeps ownership.
    void setChime(ChimePlayer* chime);
    // The list the timer reads (a copy: it changes only when the settings rebuild it).
    void setList(const TellTimeList& list);

    void telltimeTimer();
    void telltimeing(const QString& t);
    QTimer* telltime() { return &m_telltime; }
    QTimer* dueTimer() { return &m_due; }
    const TimeAnnouncer& announcer() const { return m_announcer; }
    void setSpokenForm(const SpokenForm* spokenForm) { m_announcer.setSpokenForm(spokenForm); }
    // An announcement counts as sounding there while its chime and sentence play (the music ducks).
    void setReadingState(ReadingState* state) { m_announcer.setReadingState(state); }
    void setSilentOn(std::function<bool(const QDate&)> silent) { m_announcer.setSilentOn(std::move(silent)); }

private:
    void serveDue();
    void rearm();

    QPointer<QLabel> m_statusPanel1;
    Clock& m_clock;
    Dialogs& m_dialogs;
    std::unique_ptr<ResourceChime> m_ownChime;
    TimeAnnouncer m_announcer;
    QTimer m_telltime;
    QTimer m_due;
};
