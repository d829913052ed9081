#pragma once

#include "common/clock.h"
#include "common/services.h"
#include "data/tdm.h"

#include <QDate>
#include <QDateTime>
#include <QFileInfo>
#include <QTextStream>

// The clock of a command standing on a chosen day at the time of day the command runs, so that the
// stored queries' today(), the ages and the composition are that day's, as a start-up on it would
// see them. The month's plan moves it from day to day.
class DayClock final : public Clock
{
public:
    DayClock(const QDate& day, Clock& base)
        : m_now(day, base.currentTime())
        , m_base(base)
    {
    }
    void setDay(const QDate& day) { m_now = QDateTime(day, m_base.currentTime()); }
    QDateTime now() const override { return m_now; }
    qint64 elapsedMs() const override { return m_base.elapsedMs(); }
    void wait(int ms) override { m_base.wait(ms); }
    void sleep(int ms) override { m_base.sleep(ms); }

private:
    QDateTime m_now;
    Clock& m_base;
};

// The services of a command: its clock, no boxes (messages go to the error stream).
inline Services commandServices(Clock& clock)
{
    Services services;
    services.clock = &clock;
    return services;
}

// The station's database for a command: read-only for the previews, the export and the plan; the
// imports write. Says on the error stream why it cannot be opened.
inline bool openCommandDatabase(TDM& tdm, QTextStream& err, bool forWriting = false)
{
    if (!QFileInfo::exists(TDM::databasePath())) {
        err << "kelvora: " << TDM::databasePath() << " does not exist" << Qt::endl;
        return false;
    }
    if (!(forWriting ? tdm.openForWriting() : tdm.openReadOnly())) {
        err << "kelvora: cannot open the database " << tdm.failure() << Qt::endl;
        return false;
    }
    return true;
}
