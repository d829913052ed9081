#include "schedulepanel.h"

#include "common/clock.h"
#include "common/errorguard.h"
#include "common/eventlog.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimeEdit>

SchedulePanel::SchedulePanel(const ScheduleControls& controls, Clock& clock, Dialogs& dialogs, QObject* parent)
    : QObject(parent)
    , m_controls(controls)
    , m_clock(clock)
    , m_dialogs(dialogs)
{
    m_scheduler.reset();
    m_lastDay = m_clock.currentDate();
    m_composedOn = m_lastDay;
    // Whatever changes the editor (a composition, the rollover, the user) makes its text today's.
    connect(m_controls.Memo1, &QPlainTextEdit::textChanged, this, [this] {
        m_composedOn = m_clock.currentDate();
        lookSoon();
    });
    for (QTimeEdit* edit : { m_controls.TimeEdit1, m_controls.TimeEdit2 }) {
        connect(edit, &QTimeEdit::timeChanged, this, [this] {
            m_scheduler.timeRangeChanged();
            lookSoon();
        });
    }
    // What the clock cannot foresee: an edited control changes what the next tick does.
    for (QCheckBox* box : m_controls.chk) {
        if (box) {
            connect(box, &QCheckBox::toggled, this, &SchedulePanel::lookSoon);
        }
    }
    if (m_controls.chk_rollover) {
        connect(m_controls.chk_rollover, &QCheckBox::toggled, this, &SchedulePanel::lookSoon);
    }
    if (m_controls.edt_song) {
        connect(m_controls.edt_song, &QLineEdit::textChanged, this, &SchedulePanel::lookSoon);
    }
    m_timer_autoplay.setObjectName(QStringLiteral("timer_autoplay"));
    m_timer_autoplay.setSingleShot(true);
    m_timer_autoplay.setTimerType(Qt::PreciseTimer);
    connect(&m_timer_autoplay, &QTimer::timeout, this,
            [this] { guarded(m_dialogs, [this] { timer_autoplayTimer(); }); });
    lookSoon();
}

void SchedulePanel::lookSoon()
{
    m_timer_autoplay.start(0);
}

SchedulePanel::~SchedulePanel() = default;

ScheduleInputs SchedulePanel::inputs() const
{
    ScheduleInputs in;
    in.rangeStart = m_controls.TimeEdit1->time();
    in.rangeEnd = m_controls.TimeEdit2->time();
    for (size_t day = 0; day < in.weekdays.size(); ++day) {
        in.weekdays[day] = m_controls.chk[day]->isChecked();
    }
    in.editorText = m_controls.Memo1->toPlainText();
    in.songFile = m_controls.edt_song->text();
    return in;
}

void SchedulePanel::timer_autoplayTimer()
{
    // Armed first: whatever this tick runs into, the scheduler looks again.
    m_timer_autoplay.start(Scheduler::SafetyTickMs);
    if (!m_actions) {
        return;
    }
    const QDateTime now = m_clock.now();
    const bool newDay = m_lastDay.isValid() && now.date() != m_lastDay;
    m_lastDay = now.date();
    const bool rolloverOn = m_controls.chk_rollover && m_controls.chk_rollover->isChecked();
    if (newDay && rolloverOn) {
        rollover();
    }
    // The panel as this tick sees it, with what the company's calendar says of today.
    const auto tickInputs = [this, &now] {
        ScheduleInputs in = inputs();
        if (m_calendarDay) {
            in.calendarDay = m_calendarDay(now.date());
        }
        return in;
    };
    ScheduleInputs in = tickInputs();
    if (!rolloverOn && m_composedOn != now.date() && m_scheduler.startDue(now, in)) {
        // Without the rollover one broadcast per run, but never of an announcement composed for another
        // day (a restart in the afternoon composes that day's people, the broadcast is the next morning's).
        logEvent(QStringLiteral("the announcement in the editor was composed on %1: today's (%2) is composed "
                                "before the broadcast")
                     .arg(m_composedOn.toString(Qt::ISODate), now.date().toString(Qt::ISODate)));
        m_controls.Memo1->clear();
        m_composedOn = now.date();
        if (m_recompose) {
            m_recompose();
        }
        in = tickInputs();
    }
    m_scheduler.tick(now, in, *m_actions);
    // The actions may have taken their time (a message box): the rest counts from the clock as it is now.
    m_timer_autoplay.start(int(m_scheduler.restAfter(m_clock.now(), in, *m_actions)));
}

void SchedulePanel::readingStarted()
{
    if (m_actions) {
        m_scheduler.readingStarted(m_clock.now(), inputs(), *m_actions);
    }
    // A repetition started by hand ends in the designated song: the scheduler follows it from now.
    lookSoon();
}

void SchedulePanel::musicStarted()
{
    if (m_actions) {
        m_scheduler.musicStarted(m_clock.now(), inputs(), *m_actions);
    }
    lookSoon();
}

void SchedulePanel::rollover()
{
    logEvent(QStringLiteral("new day %1: the announcement is composed again")
                 .arg(m_clock.currentDate().toString(Qt::ISODate)));
    if (m_actions) {
        m_actions->stopMusic();
        m_actions->stopReading();
    }
    m_controls.Memo1->clear();
    m_scheduler.reset();
    if (m_newDay) {
        m_newDay();
    }
}
