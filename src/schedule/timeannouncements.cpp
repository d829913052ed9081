#include "timeannouncements.h"

#include "common/clock.h"
#include "common/errorguard.h"
#include "common/services.h"

#include <QEvent>
#include <QLabel>

TimeAnnouncements::TimeAnnouncements(QLabel* statusPanel1, const Services& services, std::function<void()> applyvoice,
                                     QObject* parent)
    : QObject(parent)
    , m_statusPanel1(statusPanel1)
    , m_statusPanelIdentity(statusPanel1)
    , m_clock(services.clockOrSystem())
    , m_dialogs(services.dialogsOrConsole())
    , m_ownChime(std::make_unique<ResourceChime>(services.sound))
    , m_announcer(m_ownChime.get(), services.voice, std::move(applyvoice))
{
    m_telltime.setObjectName(QStringLiteral("telltime"));
    m_telltime.setInterval(200);
    connect(&m_telltime, &QTimer::timeout, this, [this] { telltimeTimer(); });

    m_due.setSingleShot(true);
    m_due.setTimerType(Qt::PreciseTimer);
    connect(&m_due, &QTimer::timeout, this, [this] { serveDue(); });

    m_next.setObjectName(QStringLiteral("telltime_next"));
    m_next.setSingleShot(true);
    m_next.setTimerType(Qt::PreciseTimer);
    connect(&m_next, &QTimer::timeout, this, [this] { entryTimer(); });

    if (m_statusPanel1) {
        // Hiding a window hides its children; minimising it sends them spontaneous hide events.
        m_statusPanel1->installEventFilter(this);
        followVisibility(m_statusPanel1->isVisible());
    }
    rearm();
}

TimeAnnouncements::~TimeAnnouncements() = default;

void TimeAnnouncements::setChime(ChimePlayer* chime)
{
    m_announcer.setChime(chime ? chime : m_ownChime.get());
}

void TimeAnnouncements::setList(const TellTimeList& list)
{
    m_announcer.setList(list);
    rearm();
}

bool TimeAnnouncements::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_statusPanelIdentity) {
        if (event->type() == QEvent::Show) {
            followVisibility(true);
        } else if (event->type() == QEvent::Hide) {
            followVisibility(false);
        }
    }
    return QObject::eventFilter(watched, event);
}

void TimeAnnouncements::followVisibility(bool shown)
{
    if (shown && !m_telltime.isActive()) {
        telltimeTimer(); // the clock is right at once, not 200 ms later
        m_telltime.start();
    } else if (!shown) {
        m_telltime.stop();
    }
}

void TimeAnnouncements::telltimeTimer()
{
    const QDateTime now = m_clock.now();
    if (m_statusPanel1) {
        m_statusPanel1->setText(statusClockText(now));
    }
    guarded(m_dialogs, [&] { m_announcer.check(now); });
    rearm();
}

void TimeAnnouncements::telltimeing(const QString& t)
{
    guarded(m_dialogs, [&] { m_announcer.telltimeing(t, m_clock.now()); });
    rearm();
}

void TimeAnnouncements::entryTimer()
{
    const QDateTime now = m_clock.now();
    const QDateTime armed = m_armedFor;
    // How far the wall clock moved beyond the time that passed since the arming: a step of the clock.
    const qint64 step = m_armedAt.isValid() ? m_armedAt.msecsTo(now) - (m_clock.elapsedMs() - m_armedElapsed) : 0;
    guarded(m_dialogs, [&] {
        // Reached after its second by a busy moment, the entry is said late rather than never; a clock
        // set forward over it skips it, as it always has (no backlog after a step).
        if (armed.isValid() && armed < now && qAbs(step) < StepToleranceMs) {
            m_announcer.checkLate(armed, now);
        } else {
            m_announcer.check(now);
        }
    });
    rearm();
}

void TimeAnnouncements::serveDue()
{
    guarded(m_dialogs, [this] { m_announcer.serve(m_clock.now()); });
    rearm();
}

void TimeAnnouncements::rearm()
{
    // Both are read from the Clock again on every firing, so a set clock is honoured too.
    const QDateTime now = m_clock.now();
    const qint64 due = m_announcer.nextDueIn(now);
    if (due < 0) {
        m_due.stop();
    } else {
        m_due.start(static_cast<int>(due));
    }
    const QDateTime next = m_announcer.nextEntry(now);
    const qint64 untilNext = next.isValid() ? qMax(qint64(0), now.msecsTo(next)) : -1;
    m_armedAt = now;
    m_armedElapsed = m_clock.elapsedMs();
    if (untilNext >= 0 && untilNext <= SafetyTickMs) {
        m_armedFor = next;
        m_next.start(static_cast<int>(untilNext));
    } else {
        // Far away, or nothing enabled: look again after the safety tick (a list without entries
        // needs no looking at all until it changes).
        m_armedFor = QDateTime();
        if (next.isValid()) {
            m_next.start(SafetyTickMs);
        } else {
            m_next.stop();
        }
    }
}
