#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QStringList>

#include <map>
#include <memory>

class FakeClock;
class RecordingAudioLibrary;
class RecordingDialogs;
class RecordingVoice;
class Station;
class Tf_speaker;
class TestFolder;

// A station that is never restarted, driven day after day on the fake clock with the daily rollover
// on: the scheduler, the repetition timer and the music timers are ticked by hand, finely only where
// something happens (the range's edges, the broadcast, midnight) and coarsely through quiet hours.
// Shared by the soak test, which judges each day, and the soak benchmark, which measures memory.
class SoakStation : public QObject
{
    Q_OBJECT

public:
    static inline const QDate FirstDay { 2024, 3, 1 }; // a Friday
    static inline const QTime RangeStart { 9, 0, 0 };
    static inline const QTime RangeEnd { 10, 0, 0 };
    // Days with nobody of the day's own to greet: a Tuesday and a Thursday, both enabled weekdays.
    static inline const QList<QDate> NobodysDays { QDate(2024, 3, 12), QDate(2024, 3, 21) };

    // What could pile up in a station that runs for months.
    using Census = std::map<QString, qsizetype>;

    // What one day brought.
    struct Day
    {
        QDate date;
        QList<QDateTime> broadcasts; // each time the repetition started a broadcast
        QStringList spoken;
        QStringList audioCalls;
        Census noon; // the census at noon
    };

    // `days` days from FirstDay, one made-up person born on each of them but NobodysDays, plus
    // `crowd` more people whose birthdays are spread over the whole year.
    explicit SoakStation(int days, int crowd = 0);
    ~SoakStation() override;

    // Makes the program folder, roster, settings and music, and starts the station. Returns what
    // went wrong, or an empty text.
    QString start();
    // Ends the station (the fakes stay until the object goes).
    void stop();
    // Runs day `index` (0 = FirstDay) from where the clock stands to the following midnight.
    // The fakes' own logs are emptied afterwards, so that only the station's memory grows.
    Day runDay(int index);
    Census census() const;

    static bool enabledWeekday(const QDate& day);
    static QString personOf(const QDate& day);
    static QString describe(const QList<Census>& days);

    int days() const { return m_days; }
    int rosterSize() const { return m_rosterSize; }
    QString song() const { return m_song; }
    RecordingDialogs& dialogs() const { return *m_dialogs; }
    Tf_speaker* main() const;

private:
    QDateTime now() const;
    // One tick of every timer that is due at the clock's time.
    void tick();
    // Steps the clock to `until` in steps of stepMs, ticking after each.
    void runTo(const QDateTime& until, qint64 stepMs);
    void waitForReading();

    int m_days;
    int m_crowd;
    int m_rosterSize = 0;
    std::unique_ptr<TestFolder> m_folder;
    std::unique_ptr<FakeClock> m_clock;
    std::unique_ptr<RecordingDialogs> m_dialogs;
    std::unique_ptr<RecordingVoice> m_voice;
    std::unique_ptr<RecordingAudioLibrary> m_audio;
    std::unique_ptr<Station> m_station;
    QDateTime m_lastSecondTick;
    QList<QDateTime> m_broadcasts;
    QString m_song;
};
