// Thirty days of a station that is never restarted, with the daily rollover on: the scheduler, the
// repetition timer and the music timers are driven by hand on the fake clock, finely only where
// something happens (the range's edges, the broadcast, midnight) and coarsely through quiet hours.

#include "common/inifile.h"
#include "data/tdm.h"
#include "fakeclock.h"
#include "music/musicpanel.h"
#include "recordingaudiolibrary.h"
#include "recordingdialogs.h"
#include "recordingvoice.h"
#include "schedule/schedulepanel.h"
#include "shell/station.h"
#include "shell/tf_speaker.h"
#include "speech/readingcommands.h"
#include "speech/tts.h"
#include "testdatabase.h"
#include "testfolder.h"
#include "ui_tf_speaker.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QDeadlineTimer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <map>

namespace {

const QDate FirstDay(2024, 3, 1); // a Friday
constexpr int Days = 30;
const QTime RangeStart(9, 0, 0);
const QTime RangeEnd(10, 0, 0);
// Days with nobody to greet: a Tuesday and a Thursday, both enabled weekdays.
const QList<QDate> NobodysDays = {QDate(2024, 3, 12), QDate(2024, 3, 21)};

// Sunday (1) and Saturday (7) are switched off.
bool enabledWeekday(const QDate& day)
{
    return day.dayOfWeek() != Qt::Saturday && day.dayOfWeek() != Qt::Sunday;
}

QString personOf(const QDate& day)
{
    // One made-up name per day of March, so each day's announcement is told apart.
    return QStringLiteral("寿星") + QChar(char16_t(0x7532 + day.day()));
}

// What could pile up in a station that runs for months.
using Census = std::map<QString, qsizetype>;

QString describe(const QList<Census>& days)
{
    QString text;
    for (const auto& [name, unused] : days.first()) {
        text += QStringLiteral("\n  %1:").arg(name, -22);
        for (const Census& day : days) {
            text += QLatin1Char(' ') + QString::number(day.at(name));
        }
    }
    return text;
}

} // namespace

class TestSoak : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void thirtyDaysWithRollover();

private:
    Tf_speaker* main() const { return m_station->mainWindow(); }
    QDateTime now() const { return Clock::currentDateTime(); }
    // One tick of every timer that is due at the clock's time.
    void tick();
    // Steps the clock to `until` in steps of stepMs, ticking after each.
    void runTo(const QDateTime& until, qint64 stepMs);
    void waitForReading();
    Census census() const;

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

void TestSoak::init()
{
    m_folder = std::make_unique<TestFolder>();
    m_clock = std::make_unique<FakeClock>(QDateTime(FirstDay, QTime(8, 0)));
    m_dialogs = std::make_unique<RecordingDialogs>();
    m_voice = std::make_unique<RecordingVoice>();
    m_voice->setSpeakDuration(1500);
    m_audio = std::make_unique<RecordingAudioLibrary>();

    createTestDatabase(*m_folder);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("soak"));
        db.setDatabaseName(m_folder->file(QStringLiteral("draft.dat")));
        QVERIFY2(db.open(), qPrintable(db.lastError().text()));
        for (int d = 0; d < Days; ++d) {
            const QDate day = FirstDay.addDays(d);
            if (!NobodysDays.contains(day)) {
                QVERIFY(addEmployee(db, personOf(day), day.addYears(-30).toString(Qt::ISODate), QStringLiteral("2010-01-04"))
                        > 0);
            }
        }
        // The time announcements have their own tests; here they would only speak into the count.
        QSqlQuery query(db);
        QVERIFY2(query.exec(QStringLiteral("UPDATE telltime SET isplay = 0")), qPrintable(query.lastError().text()));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("soak"));

    for (const QString& name : {QStringLiteral("mp3files/a.mp3"), QStringLiteral("mp3files/b.mp3"),
                                QStringLiteral("song.mp3")}) {
        m_folder->write(name, "ID3");
        m_audio->addFile(m_folder->file(name), name == QStringLiteral("song.mp3") ? 30.0 : 200.0);
    }
    m_song = m_folder->file(QStringLiteral("song.mp3"));

    IniFile ini(m_folder->file(QStringLiteral("setinfo.ini")));
    const QString system = QStringLiteral("System");
    ini.writeBool(system, QStringLiteral("Tts_information"), true);
    ini.writeBool(system, QStringLiteral("Rollover"), true);
    ini.writeInteger(system, QStringLiteral("Readtimes"), 2);
    ini.writeInteger(system, QStringLiteral("Intervaltime"), 60);
    for (int day = 1; day <= 7; ++day) {
        ini.writeBool(system, QStringLiteral("CheckBox%1").arg(day), day != 1 && day != 7);
    }
    ini.writeString(system, QStringLiteral("playtime1"), RangeStart.toString(QStringLiteral("HH:mm:ss")));
    ini.writeString(system, QStringLiteral("playtime2"), RangeEnd.toString(QStringLiteral("HH:mm:ss")));
    ini.writeString(system, QStringLiteral("Mp3bj"), m_folder->file(QStringLiteral("mp3files")));
    ini.writeString(system, QStringLiteral("mp3file"), m_song);
    ini.writeBool(system, QStringLiteral("Next_month"), false);

    Services services;
    services.voice = m_voice.get();
    services.audio = m_audio.get();
    m_station = std::make_unique<Station>(services);
    QVERIFY(m_station->start());
    // The test ticks every timer itself; the real ones must not fire between its steps.
    for (QTimer* timer : main()->findChildren<QTimer*>()) {
        timer->setInterval(24 * 3600 * 1000);
    }
    main()->schedulePanel()->timer_autoplay()->setInterval(24 * 3600 * 1000);
    connect(main()->form()->SB_repeat1, &QAbstractButton::clicked, this, [this] { m_broadcasts.append(now()); });
    m_lastSecondTick = now();
}

void TestSoak::cleanup()
{
    m_station.reset();
    m_dialogs->verifyAllSeen();
    m_dialogs.reset();
    m_audio.reset();
    m_voice.reset();
    m_clock.reset();
    m_folder.reset();
}

void TestSoak::waitForReading()
{
    // The speaking thread asks the main thread to move the selection; serve it until it has ended.
    QDeadlineTimer deadline(10000);
    while ((main()->readingCommands()->runningThreads() > 0 || Tts::pendingReadings() > 0) && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    QCoreApplication::processEvents();
}

void TestSoak::tick()
{
    main()->schedulePanel()->timer_autoplayTimer();
    main()->musicPanel()->bj_timer2Timer();
    if (m_lastSecondTick.msecsTo(now()) >= 1000) {
        m_lastSecondTick = now();
        main()->readingCommands()->readcycledTimer();
        main()->musicPanel()->bj_timer1Timer();
    }
    waitForReading();
}

void TestSoak::runTo(const QDateTime& until, qint64 stepMs)
{
    while (now() < until) {
        m_clock->set(std::min(now().addMSecs(stepMs), until));
        tick();
    }
}

Census TestSoak::census() const
{
    Census c;
    c[QStringLiteral("speaking threads")] = main()->readingCommands()->runningThreads();
    c[QStringLiteral("pending readings")] = Tts::pendingReadings();
    // The recording library numbers its streams from 45 on.
    qsizetype open = 0;
    for (AudioLibrary::Handle handle = 45; RecordingAudioLibrary::Stream* stream = m_audio->stream(handle); ++handle) {
        open += stream->freed ? 0 : 1;
    }
    c[QStringLiteral("open streams")] = open;
    c[QStringLiteral("database connections")] = QSqlDatabase::connectionNames().size();
    QList<QObject*> roots = {m_station.get(), m_station->dataModule(), qApp};
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        roots.append(widget);
    }
    qsizetype objects = 0;
    qsizetype timers = 0;
    qsizetype models = 0;
    qsizetype threads = 0;
    for (QObject* root : roots) {
        const QList<QObject*> all = root->findChildren<QObject*>();
        objects += all.size();
        for (QObject* object : all) {
            timers += qobject_cast<QTimer*>(object) ? 1 : 0;
            models += qobject_cast<QAbstractItemModel*>(object) ? 1 : 0;
            threads += qobject_cast<QThread*>(object) ? 1 : 0;
        }
    }
    c[QStringLiteral("objects")] = objects;
    c[QStringLiteral("timers")] = timers;
    c[QStringLiteral("models")] = models;
    c[QStringLiteral("threads")] = threads;
    c[QStringLiteral("top-level windows")] = QApplication::topLevelWidgets().size();
    c[QStringLiteral("widgets")] = QApplication::allWidgets().size();
    return c;
}

void TestSoak::thirtyDaysWithRollover()
{
    QList<Census> censuses;
    QStringList story;
    for (int d = 0; d < Days; ++d) {
        const QDate day = FirstDay.addDays(d);
        const qsizetype broadcastsBefore = m_broadcasts.size();
        const qsizetype spokenBefore = m_voice->texts().size();
        const qsizetype callsBefore = m_audio->calls.size();
        if (d > 0) {
            // Midnight, tick by tick: the rollover composes the new day's announcement.
            runTo(QDateTime(day, QTime(0, 0, 3)), 100);
        }
        runTo(QDateTime(day, RangeStart.addSecs(-2)), 10 * 60 * 1000);
        runTo(QDateTime(day, RangeStart.addSecs(3)), 100);
        // The broadcast: two readings a minute apart, then the designated song of 30 s.
        runTo(QDateTime(day, RangeStart.addSecs(5 * 60)), 1000);
        runTo(QDateTime(day, RangeEnd.addSecs(-2)), 10 * 60 * 1000);
        runTo(QDateTime(day, RangeEnd.addSecs(3)), 100);
        runTo(QDateTime(day, QTime(12, 0)), 10 * 60 * 1000);
        censuses.append(census());
        runTo(QDateTime(day, QTime(23, 59, 58)), 10 * 60 * 1000);
        runTo(QDateTime(day.addDays(1), QTime(0, 0)), 100);

        const QList<QDateTime> todays = m_broadcasts.mid(broadcastsBefore);
        const QStringList spoken = m_voice->texts().mid(spokenBefore);
        const bool expected = enabledWeekday(day) && !NobodysDays.contains(day);
        story << QStringLiteral("%1 %2: %3 broadcast(s) %4, %5 pieces naming today's person")
                     .arg(day.toString(Qt::ISODate), QLocale::c().dayName(day.dayOfWeek(), QLocale::ShortFormat))
                     .arg(todays.size())
                     .arg(todays.isEmpty() ? QString() : todays.first().time().toString(QStringLiteral("HH:mm:ss.zzz")))
                     .arg(spoken.filter(personOf(day)).size());
        const QString context = QStringLiteral("\n") + story.join(QLatin1Char('\n'));
        QVERIFY2(todays.size() == (expected ? 1 : 0), qPrintable(QStringLiteral("wrong number of broadcasts") + context));
        if (expected) {
            // At the first 100 ms tick of the range, with that day's own announcement, read twice.
            QVERIFY2(todays.first() == QDateTime(day, RangeStart), qPrintable(QStringLiteral("late broadcast") + context));
            QVERIFY2(spoken.filter(personOf(day)).size() == 2, qPrintable(QStringLiteral("not two readings") + context));
        }
        // Nobody else is ever greeted: not yesterday's person, not tomorrow's.
        for (int other = 0; other < Days; ++other) {
            if (other != d) {
                QVERIFY2(spoken.filter(personOf(FirstDay.addDays(other))).isEmpty(),
                         qPrintable(QStringLiteral("another day's person greeted") + context));
            }
        }
        // The designated song once a day whenever the editor holds an announcement (its step does not
        // look at the weekday boxes), after the readings on broadcast days.
        const bool song = !NobodysDays.contains(day);
        QVERIFY2(m_audio->calls.mid(callsBefore).count(QStringLiteral("create ") + m_song) == (song ? 1 : 0),
                 qPrintable(QStringLiteral("the designated song played a wrong number of times") + context));
    }

    qInfo().noquote() << story.join(QLatin1Char('\n')) << "\nAt noon, day 1 to day 30:" << describe(censuses);
    // Nothing accumulates: from day 2 on every count stays where it was.
    const Census& reference = censuses.at(1);
    for (int d = 2; d < Days; ++d) {
        for (const auto& [name, value] : censuses.at(d)) {
            QVERIFY2(value <= reference.at(name),
                     qPrintable(QStringLiteral("%1 grew from %2 on day 2 to %3 on day %4:%5")
                                    .arg(name)
                                    .arg(reference.at(name))
                                    .arg(value)
                                    .arg(d + 1)
                                    .arg(describe(censuses))));
        }
    }
    QCOMPARE(censuses.last().at(QStringLiteral("speaking threads")), 0);
    QCOMPARE(censuses.last().at(QStringLiteral("pending readings")), 0);
    QVERIFY(censuses.last().at(QStringLiteral("open streams")) <= 1);
}

QTEST_MAIN(TestSoak)
#include "test_soak.moc"
