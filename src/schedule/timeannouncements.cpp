#include "timeannouncements.h"

#include "common/clock.h"
#include "common/errorguard.h"
#include "common/services.h"

#include <QLabel>

TimeAnnouncements::TimeAnnouncements(QLabel* statusPanel1, const Services& services, std::function<void()> applyvoice,
                                     QObject* parent)
    : QObject(parent)
    , m_statusPanel1(statusPanel1)
    , m_clock(services.clockOrSystem())
    , m_dialogs(services.dialogsOrConsole())
    , m_ownChime(std::make_unique<ResourceChime>(services.sound))
    , m_announcer(m_ownChime.get(), services.voice, std::move(applyvoice))
{
    m_telltime.setObjectName(QStringLiteral("telltime"));
    m_telltime.setInterval(200);
    connect(&m_telltime, &QTimer::timeout, this, [this] { telltimeTimer(); });
    m_telltime.start();

    m_due.setSingleShot(true);
    m_due.setTimerType(Qt::PreciseTimer);
    connect(&m_due, &QTimer::timeout, this, [this] { serveDue(); });
}

TimeAnnouncements::~TimeAnnouncements() = default;

void TimeAnnouncements::setChime(ChimePlayer* chime)
{
    m_announcer.setChime(chime ? chime : m_ownChime.get());
}

void TimeAnnouncements::setList(const TellTimeList& list)
{
    m_announcer.setList(list);
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

void TimeAnnouncements::serveDue()
{
    guarded(m_dialogs, [this] { m_announcer.serve(m_clock.now()); });
    rearm();
}

void TimeAnnouncements::rearm()
{
    // The due time is read from the Clock again on every firing, so a set clock is honoured too.
    const qint64 due = m_announcer.nextDueIn(m_clock.now());
    if (due < 0) {
        m_due.stop();
    } else {
        m_due.start(static_cast<int>(due));
    }
}
