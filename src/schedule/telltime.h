#pragma once

#include <QDateTime>
#include <QList>
#include <QQueue>
#include <QString>

#include <functional>

class ChimePlayer;
class QSqlQueryModel;
class ReadingState;
class SpokenForm;
class VoiceEngine;

// One row of the announcement list, as the list keeps it: texts only.
struct TellTimeRow
{
    QString id;
    QString stime;
    QString text;
    QString speaker; // empty when missing
    QString isplay; // "√" when the entry is announced, else empty
};

// The announcement list `sgrid3`: a copy of the table telltime as it was at the last rebuild, so that
// a change in the grid takes effect only when the list is rebuilt.
class TellTimeList final
{
public:
    static const QString Checked; // "√"

    QList<TellTimeRow> rows;

    // The grid's row count: row 0 is the empty title row, and an empty table still has one empty row.
    int rowCount() const { return rows.isEmpty() ? 2 : static_cast<int>(rows.size()) + 1; }
    bool hasData() const { return !rows.isEmpty(); }
};

// Rebuilds the list from the telltime query (columns id, stime, text, speaker, isplay), in the query's
// order. Fetches every row of a lazily fetching model.
TellTimeList filltelltime(QSqlQueryModel* Q_telltime);
// An isplay value as the database may hold it (1/0, true/false, yes/no).
bool isplayValue(const QVariant& value);

// The sentence for an entry's time text "hh:nn:ss"; empty for the minutes of hour 00 other than :00 and :30.
QString telltimeSentence(const QString& t);
// Status-bar panel 1: "yyyy-MM-dd 星期X HH:mm:ss".
QString statusClockText(const QDateTime& now);

// The time announcements: each enabled entry fires once in its second; its chime starts at once and its
// sentence follows 1.3 s later, queued asynchronously on the voice. The wait does not block: pending
// announcements queue up and are served from the clock's time, one chime and one sentence after another.
// From the chime until the voice and the chime have fallen silent the announcement counts as sounding in
// the reading state, so the music ducks under it.
class TimeAnnouncer final
{
public:
    static constexpr int ChimeLeadMs = 1300;
    // A clock set back by less than this does not fire the seconds it already passed again.
    static constexpr int RepeatGuardSeconds = 60;

    // Any of chime and voice may be null (absent): that step is left out.
    TimeAnnouncer(ChimePlayer* chime, VoiceEngine* voice, std::function<void()> applyvoice);
    ~TimeAnnouncer();
    TimeAnnouncer(const TimeAnnouncer&) = delete;
    TimeAnnouncer& operator=(const TimeAnnouncer&) = delete;

    // Where an announcement marks itself as sounding (null: nowhere). It outlives the announcer.
    void setReadingState(ReadingState* state);
    bool sounding() const { return m_sounding; }
    // How often the end of the sound is looked for, and how long after its sentence an announcement
    // counts as sounding at most (a voice busy with a long reading meanwhile).
    static constexpr int SoundingPollMs = 100;
    static constexpr int SoundingLimitMs = 20000;

    // What the voice is handed for a sentence (the time in words); null hands it as written.
    void setSpokenForm(const SpokenForm* spokenForm) { m_spokenForm = spokenForm; }

    void setList(const TellTimeList& list) { m_list = list; }
    // Days on which the entries stay silent (the calendar's days off); none when not set.
    void setSilentOn(std::function<bool(const QDate&)> silent) { m_silentOn = std::move(silent); }
    const TellTimeList& list() const { return m_list; }
    void setChime(ChimePlayer* chime) { m_chime = chime; }

    // One tick of `telltime`: the entries of now's second, each once per second of the clock, then the
    // announcements that are due.
    void check(const QDateTime& now);
    // The entries of an earlier second, which a timer armed for it reached late (a busy moment), once,
    // as check() would have fired them in their second; then check(now).
    void checkLate(const QDateTime& second, const QDateTime& now);
    // Milliseconds from now to the start of the next second whose enabled entries have not fired yet
    // (0 when now's own second has not been checked); -1 when no entry is enabled.
    qint64 nextEntryIn(const QDateTime& now) const;
    // The second that nextEntryIn() counts to; invalid when no entry is enabled.
    QDateTime nextEntry(const QDateTime& now) const;
    // Announces one entry: queued behind any announcement still waiting, served by serve().
    void telltimeing(const QString& t, const QDateTime& now);
    // Plays the chimes and says the sentences that are due at now.
    void serve(const QDateTime& now);
    // Milliseconds from now until serve() has something to do; -1 when nothing waits.
    qint64 nextDueIn(const QDateTime& now) const;
    int pending() const { return static_cast<int>(m_queue.size()); }

private:
    // Fires the enabled entries of second unless that second has fired already.
    void fireSecond(const QDateTime& second, const QDateTime& now);
    void startSounding();
    void endSounding();

    ChimePlayer* m_chime;
    VoiceEngine* m_voice;
    ReadingState* m_state = nullptr;
    bool m_sounding = false;
    QDateTime m_lastHanded; // when the last sentence went to the voice
    std::function<void()> m_applyvoice;
    const SpokenForm* m_spokenForm = nullptr;
    std::function<bool(const QDate&)> m_silentOn;
    TellTimeList m_list;
    QQueue<QString> m_queue; // sentences; the head's chime may already be playing
    bool m_headChimed = false;
    QDateTime m_speakAt;
    QDateTime m_lastSecond; // the second whose entries have fired
};
