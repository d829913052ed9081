#include "schedulepanel.h"

#include "common/clock.h"
#include "common/errorguard.h"
#include "common/eventlog.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimeEdit>

SchedulePanel::SchedulePanel(const ScheduleControls& controls, BroadcastHooks* hooks, QObject* parent)
    : QObject(parent)
    , m_controls(controls)
    , m_hooks(hooks)
{
    m_scheduler.reset();
    m_lastDay = Clock::currentDate();
    for (QTimeEdit* edit : { m_controls.TimeEdit1, m_controls.TimeEdit2 }) {
        connect(edit, &QTimeEdit::timeChanged, this, [this] { m_scheduler.timeRangeChanged(); });
    }
    m_timer_autoplay.setObjectName(QStringLiteral("timer_autoplay"));
    m_timer_autoplay.setInterval(100);
    connect(&m_timer_autoplay, &QTimer::timeout, this, [this] { guarded([this] { timer_autoplayTimer(); }); });
    m_timer_autoplay.start();
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
    const QDateTime now = Clock::currentDateTime();
    const bool newDay = m_lastDay.isValid() && now.date() != m_lastDay;
    m_lastDay = now.date();
    if (newDay && m_controls.chk_rollover && m_controls.chk_rollover->isChecked()) {
        rollover();
    }
    ScheduleInputs in = inputs();
    if (m_calendarDay) {
        in.calendarDay = m_calendarDay(now.date());
    }
    m_scheduler.tick(now, in, *this);
}

void SchedulePanel::rollover()
{
    logEvent(QStringLiteral("new day %1: the announcement is composed again")
                 .arg(Clock::currentDate().toString(Qt::ISODate)));
    pressMusicStop();
    pressReadingStop();
    m_controls.Memo1->clear();
    m_scheduler.reset();
    if (m_hooks) {
        m_hooks->newDay();
    }
}

bool SchedulePanel::repetitionActive() const
{
    return m_hooks && m_hooks->repetitionActive();
}

void SchedulePanel::play_the_song()
{
    if (m_hooks) {
        m_hooks->play_the_song();
    }
}

QString SchedulePanel::song_endtime() const
{
    return m_hooks ? m_hooks->song_endtime() : QStringLiteral("00:00:00");
}

void SchedulePanel::pressRepeat()
{
    m_controls.SB_repeat1->click();
}

void SchedulePanel::pressMusicPlay()
{
    m_controls.bj_play->click();
}

void SchedulePanel::pressMusicStop()
{
    m_controls.bj_stop->click();
}

void SchedulePanel::pressReadingStop()
{
    m_controls.SB_stop->click();
}
