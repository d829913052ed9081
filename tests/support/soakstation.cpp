#include "soakstation.h"

#include "common/inifile.h"
#include "common/runtimeerror.h"
#include "data/tdm.h"
#include "fakeclock.h"
#include "music/musicpanel.h"
#include "recordingaudiolibrary.h"
#include "recordingdialogs.h"
#include "recordingvoice.h"
#include "schedule/schedulepanel.h"
#include "shell/station.h"
#include "shell/tf_speaker.h"
#include "speech/readingcontroller.h"
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
#include <QThread>
#include <QTimer>
#include <QWidget>

SoakStation::SoakStation(int days, int crowd)
    : m_days(days)
    , m_crowd(crowd)
{
}

SoakStation::~SoakStation()
{
    stop();
    m_audio.reset();
    m_voice.reset();
    m_dialogs.reset();
    m_clock.reset();
    m_folder.reset();
}

void SoakStation::stop()
{
    m_station.reset();
}

Tf_speaker* SoakStation::main() const
{
    return m_station->mainWindow();
}

QDateTime SoakStation::now() const
{
    return m_clock->now();
}

bool SoakStation::enabledWeekday(const QDate& day)
{
    // Sunday (1) and Saturday (7) are switched off.
    return day.dayOfWeek() != Qt::Saturday && day.dayOfWeek() != Qt::Sunday;
}

QString SoakStation::personOf(const QDate& day)
{
    // One made-up name per day of the month, so each day's announcement is told apart.
    return QStringLiteral("寿星") + QChar(char16_t(0x7532 + day.day()));
}

QString SoakStation::describe(const QList<Census>& days)
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

namespace {

QString fillRoster(const QString& file, int days, int crowd, int* people)
{
    const QString connection = QStringLiteral("soak");
    QString failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(file);
        if (!db.open()) {
            failure = db.lastError().text();
        } else {
            db.transaction();
            for (int d = 0; d < days && failure.isEmpty(); ++d) {
                const QDate day = SoakStation::FirstDay.addDays(d);
                if (SoakStation::NobodysDays.contains(day)) {
                    continue;
                }
                if (addEmployee(db, SoakStation::personOf(day), day.addYears(-30).toString(Qt::ISODate),
                                QStringLiteral("2010-01-04"))
                    <= 0) {
                    failure = QStringLiteral("the roster refused ") + SoakStation::personOf(day);
                }
                ++*people;
            }
            // The crowd: birthdays on every day of a common year, in forty different years.
            QSqlQuery insert(db);
            insert.prepare(QStringLiteral("INSERT INTO birthday (emp_name, birthday, dept, remark1, indate) "
                                          "VALUES (?, ?, ?, NULL, '2005-01-01')"));
            for (int i = 0; i < crowd && failure.isEmpty(); ++i) {
                const QDate monthDay = QDate(2023, 1, 1).addDays((i * 37) % 365);
                insert.addBindValue(QStringLiteral("员工%1").arg(i));
                insert.addBindValue(QDate(1960 + i % 40, monthDay.month(), monthDay.day()).toString(Qt::ISODate));
                insert.addBindValue(QStringLiteral("部门%1").arg(i % 40));
                if (!insert.exec()) {
                    failure = insert.lastError().text();
                }
                ++*people;
            }
            // The time announcements have their own tests; here they would only speak into the count.
            QSqlQuery query(db);
            if (failure.isEmpty() && !query.exec(QStringLiteral("UPDATE telltime SET isplay = 0"))) {
                failure = query.lastError().text();
            }
            if (failure.isEmpty() && !db.commit()) {
                failure = db.lastError().text();
            }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(connection);
    return failure;
}

} // namespace

QString SoakStation::start()
{
    m_folder = std::make_unique<TestFolder>();
    m_clock = std::make_unique<FakeClock>(QDateTime(FirstDay, QTime(8, 0)));
    m_dialogs = std::make_unique<RecordingDialogs>();
    m_voice = std::make_unique<RecordingVoice>();
    m_voice->setSpeakDuration(1500, *m_clock);
    m_audio = std::make_unique<RecordingAudioLibrary>();

    try {
        TDM::createDatabase(m_folder->file(QStringLiteral("draft.dat")));
    } catch (const RuntimeError& error) {
        return error.message();
    }
    m_rosterSize = 0;
    const QString failure = fillRoster(m_folder->file(QStringLiteral("draft.dat")), m_days, m_crowd, &m_rosterSize);
    if (!failure.isEmpty()) {
        return failure;
    }

    for (const QString& name :
         { QStringLiteral("mp3files/a.mp3"), QStringLiteral("mp3files/b.mp3"), QStringLiteral("song.mp3") }) {
        m_folder->write(name, "ID3");
        m_audio->addFile(m_folder->file(name), name == QStringLiteral("song.mp3") ? 30.0 : 200.0);
    }
    m_song = m_folder->file(QStringLiteral("song.mp3"));

    try {
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
    } catch (const RuntimeError& error) {
        return error.message();
    }

    Services services;
    services.clock = m_clock.get();
    services.dialogs = m_dialogs.get();
    services.voice = m_voice.get();
    services.audio = m_audio.get();
    m_station = std::make_unique<Station>(services);
    if (!m_station->start()) {
        return QStringLiteral("the station did not start");
    }
    // The driver ticks every timer itself; the real ones must not fire between its steps.
    for (QTimer* timer : main()->findChildren<QTimer*>()) {
        timer->setInterval(24 * 3600 * 1000);
    }
    main()->schedulePanel()->timer_autoplay()->setInterval(24 * 3600 * 1000);
    connect(&main()->readingController(), &ReadingController::repetitionStarted, this,
            [this] { m_broadcasts.append(now()); });
    m_lastSecondTick = now();
    return QString();
}

void SoakStation::waitForReading()
{
    // The speaking thread asks the main thread to move the selection; serve it until it has ended.
    QDeadlineTimer deadline(10000);
    const ReadingController& reading = main()->readingController();
    while ((reading.runningThreads() > 0 || m_station->readingState().readings() > 0) && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    QCoreApplication::processEvents();
}

void SoakStation::tick()
{
    main()->schedulePanel()->timer_autoplayTimer();
    main()->musicPanel()->bj_timer2Timer();
    if (m_lastSecondTick.msecsTo(now()) >= 1000) {
        m_lastSecondTick = now();
        main()->readingController().readcycledTimer();
        main()->musicPanel()->bj_timer1Timer();
    }
    waitForReading();
    // The scheduler arms its own timer at each tick; here the driver is the only one to tick.
    main()->schedulePanel()->timer_autoplay()->stop();
}

void SoakStation::runTo(const QDateTime& until, qint64 stepMs)
{
    while (now() < until) {
        m_clock->advance(now().msecsTo(std::min(now().addMSecs(stepMs), until)));
        tick();
    }
}

SoakStation::Day SoakStation::runDay(int index)
{
    Day result;
    result.date = FirstDay.addDays(index);
    const QDate day = result.date;
    if (index > 0) {
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
    result.noon = census();
    runTo(QDateTime(day, QTime(23, 59, 58)), 10 * 60 * 1000);
    runTo(QDateTime(day.addDays(1), QTime(0, 0)), 100);

    result.broadcasts = m_broadcasts;
    result.spoken = m_voice->texts();
    result.audioCalls = m_audio->calls;
    m_broadcasts.clear();
    m_voice->clear();
    m_audio->calls.clear();
    m_audio->clearVolumes();
    return result;
}

SoakStation::Census SoakStation::census() const
{
    Census c;
    c[QStringLiteral("speaking threads")] = main()->readingController().runningThreads();
    c[QStringLiteral("pending readings")] = m_station->readingState().readings();
    // The recording library numbers its streams from 45 on.
    qsizetype open = 0;
    for (AudioLibrary::Handle handle = 45; RecordingAudioLibrary::Stream* stream = m_audio->stream(handle); ++handle) {
        open += stream->freed ? 0 : 1;
    }
    c[QStringLiteral("open streams")] = open;
    c[QStringLiteral("database connections")] = QSqlDatabase::connectionNames().size();
    QList<QObject*> roots = { m_station.get(), m_station->dataModule(), qApp };
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
