#include "telltime.h"

#include "chime.h"
#include "common/eventlog.h"
#include "common/helpers.h"
#include "common/modelrows.h"
#include "common/readingstate.h"
#include "speech/spokenform.h"
#include "speech/voiceengine.h"

#include <QSqlQueryModel>
#include <QSqlRecord>

#include <cstdlib>

const QString TellTimeList::Checked = QStringLiteral("√");

bool isplayValue(const QVariant& value)
{
    if (value.isNull()) {
        return false;
    }
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString().trimmed().toLower();
        return text == QLatin1String("yes") || text == QLatin1String("true") || text == QLatin1String("y")
            || text == TellTimeList::Checked || (text.toLongLong() != 0);
    }
    return value.toBool();
}

TellTimeList filltelltime(QSqlQueryModel* Q_telltime)
{
    TellTimeList list;
    if (!Q_telltime) {
        return list;
    }
    fetchAllRows(*Q_telltime);
    const QSqlRecord fields = Q_telltime->record();
    const int id = fields.indexOf(QStringLiteral("id"));
    const int stime = fields.indexOf(QStringLiteral("stime"));
    const int text = fields.indexOf(QStringLiteral("text"));
    const int speaker = fields.indexOf(QStringLiteral("speaker"));
    const int isplay = fields.indexOf(QStringLiteral("isplay"));
    const auto cell = [Q_telltime](int row, int column) {
        return column < 0 ? QVariant() : Q_telltime->data(Q_telltime->index(row, column), Qt::EditRole);
    };
    for (int row = 0; row < Q_telltime->rowCount(); ++row) {
        TellTimeRow entry;
        entry.id = cell(row, id).toString();
        entry.stime = cell(row, stime).toString();
        entry.text = cell(row, text).toString();
        entry.speaker = cell(row, speaker).toString();
        entry.isplay = isplayValue(cell(row, isplay)) ? TellTimeList::Checked : QString();
        list.rows.append(entry);
    }
    return list;
}

QString telltimeSentence(const QString& t)
{
    const QString prefix = QStringLiteral("现在是北京时间");
    const QString h = t.left(5);
    if (h.left(2) != QLatin1String("00")) {
        if (h.mid(3, 2) != QLatin1String("00")) {
            return prefix + h;
        }
        return prefix + h + QStringLiteral("正");
    }
    if (h == QLatin1String("00:00")) {
        return QStringLiteral("现在是北京时间 零点正");
    }
    if (h == QLatin1String("00:30")) {
        return QStringLiteral("现在是北京时间 零点30");
    }
    return QString();
}

QString statusClockText(const QDateTime& now)
{
    return now.date().toString(QStringLiteral("yyyy-MM-dd")) + QLatin1Char(' ') + weekdayName(now.date())
        + QLatin1Char(' ') + now.time().toString(QStringLiteral("HH:mm:ss"));
}

TimeAnnouncer::TimeAnnouncer(ChimePlayer* chime, VoiceEngine* voice, std::function<void()> applyvoice)
    : m_chime(chime)
    , m_voice(voice)
    , m_applyvoice(std::move(applyvoice))
{
}

TimeAnnouncer::~TimeAnnouncer()
{
    endSounding();
}

void TimeAnnouncer::setReadingState(ReadingState* state)
{
    if (m_sounding && m_state) {
        m_state->announcementEnded();
    }
    m_state = state;
    if (m_sounding && m_state) {
        m_state->announcementStarted();
    }
}

void TimeAnnouncer::startSounding()
{
    if (!m_sounding) {
        m_sounding = true;
        if (m_state) {
            m_state->announcementStarted();
        }
    }
}

void TimeAnnouncer::endSounding()
{
    if (m_sounding) {
        m_sounding = false;
        if (m_state) {
            m_state->announcementEnded();
        }
    }
}

namespace {

QDateTime wholeSecond(const QDateTime& when)
{
    return when.addMSecs(-when.time().msec());
}

} // namespace

void TimeAnnouncer::fireSecond(const QDateTime& second, const QDateTime& now)
{
    // A clock set back by a few seconds (a time correction) does not repeat what was just announced.
    const bool seen
        = m_lastSecond.isValid() && second <= m_lastSecond && second.secsTo(m_lastSecond) < RepeatGuardSeconds;
    if (m_list.hasData() && !seen) {
        m_lastSecond = second;
        if (m_silentOn && m_silentOn(second.date())) {
            return;
        }
        const QString T = second.time().toString(QStringLiteral("HH:mm:ss"));
        for (const TellTimeRow& row : std::as_const(m_list.rows)) {
            if (row.stime == T && row.isplay == TellTimeList::Checked) {
                telltimeing(row.stime, now);
            }
        }
    }
}

void TimeAnnouncer::check(const QDateTime& now)
{
    // The timers may come several times a second; an entry fires at the first of its second only.
    fireSecond(wholeSecond(now), now);
    serve(now);
}

void TimeAnnouncer::checkLate(const QDateTime& second, const QDateTime& now)
{
    const QDateTime late = wholeSecond(second);
    if (late < wholeSecond(now)) {
        fireSecond(late, now);
    }
    check(now);
}

QDateTime TimeAnnouncer::nextEntry(const QDateTime& now) const
{
    const QDateTime second = wholeSecond(now);
    const bool secondChecked = m_lastSecond.isValid() && second <= m_lastSecond;
    QDateTime next;
    for (const TellTimeRow& row : std::as_const(m_list.rows)) {
        if (row.isplay != TellTimeList::Checked) {
            continue;
        }
        // Only a time written as the comparison writes it can ever match.
        const QTime time = QTime::fromString(row.stime, QStringLiteral("HH:mm:ss"));
        if (!time.isValid() || time.toString(QStringLiteral("HH:mm:ss")) != row.stime) {
            continue;
        }
        QDateTime at(now.date(), time);
        if (at < second || (at == second && secondChecked)) {
            at = QDateTime(now.date().addDays(1), time);
        }
        if (!next.isValid() || at < next) {
            next = at;
        }
    }
    return next;
}

qint64 TimeAnnouncer::nextEntryIn(const QDateTime& now) const
{
    const QDateTime next = nextEntry(now);
    return next.isValid() ? qMax(qint64(0), now.msecsTo(next)) : -1;
}

void TimeAnnouncer::telltimeing(const QString& t, const QDateTime& now)
{
    m_queue.enqueue(telltimeSentence(t));
    serve(now);
}

void TimeAnnouncer::serve(const QDateTime& now)
{
    while (!m_queue.isEmpty()) {
        if (!m_headChimed) {
            m_headChimed = true;
            m_speakAt = now.addMSecs(ChimeLeadMs);
            // The music goes down with the chime, not only under the sentence.
            startSounding();
            if (m_chime) {
                m_chime->play();
            }
        }
        if (now.msecsTo(m_speakAt) > ChimeLeadMs) {
            // The clock was set back: wait the lead from the time seen now, not until the old time returns.
            m_speakAt = now.addMSecs(ChimeLeadMs);
        }
        if (now < m_speakAt) {
            return;
        }
        // Taken off the queue before speaking, so a failing voice never repeats the sentence.
        const QString text = m_queue.dequeue();
        m_headChimed = false;
        m_lastHanded = now;
        if (m_applyvoice) {
            m_applyvoice();
        }
        if (m_voice && !text.isEmpty()) {
            logEvent(QStringLiteral("time announcement: ") + text);
            // The log keeps the written sentence (09:30); the voice is handed the time in words.
            m_voice->speak(m_spokenForm ? m_spokenForm->spoken(text) : text, VoiceEngine::Async);
        }
    }
    if (m_sounding) {
        // Everything is handed over: the announcement sounds until its chime and its sentence are over.
        const bool chime = m_chime && m_chime->isPlaying();
        const bool voice = m_voice && m_voice->isSpeaking();
        const bool limit = !m_lastHanded.isValid() || std::abs(m_lastHanded.msecsTo(now)) >= SoundingLimitMs;
        if ((!chime && !voice) || limit) {
            endSounding();
        }
    }
}

qint64 TimeAnnouncer::nextDueIn(const QDateTime& now) const
{
    if (m_queue.isEmpty()) {
        return m_sounding ? SoundingPollMs : -1;
    }
    if (!m_headChimed) {
        return 0;
    }
    return qBound(qint64(0), now.msecsTo(m_speakAt), qint64(ChimeLeadMs));
}
