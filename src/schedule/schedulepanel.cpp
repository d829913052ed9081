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
    for (QTimeEdit* edit : { m_controls.TimeEdit1, m_controls.TimeEdit2 }) {
        connect(edit, &QTimeEdit::timeChanged, this, [this] { m_scheduler.timeRangeChanged(); });
    }
    m_timer_autoplay.setObjectName(QStringLiteral("timer_autoplay"));
    m_timer_autoplay.setInterval(100);
    connect(&m_timer_autoplay, &QTimer::timeout, this,
            [this] { guarded(m_dialogs, [this] { timer_autoplayTimer(); }); });
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
    if (!m_actions) {
        return;
    }
    const QDateTime now = m_clock.now();
    const bool newDay = m_lastDay.isValid() && now.date() != m_lastDay;
    m_lastDay = now.date();
    if (newDay && m_controls.chk_rollover && m_controls.chk_rollover->isChecked()) {
        rollover();
    }
    m_scheduler.tick(now, inputs(), *m_actions);
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
