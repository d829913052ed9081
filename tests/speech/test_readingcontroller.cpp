// The reading rules without a window: pieces, pauses, highlights and the repeated reading on the fake
// clock, and the one truth of `isreading` however a start and an end interleave.
#include "common/ansi.h"
#include "common/readingstate.h"
#include "datafixture.h"
#include "fakeclock.h"
#include "fakereadingview.h"
#include "gatevoice.h"
#include "recordingdialogs.h"
#include "recordingvoice.h"
#include "speech/pausesymbols.h"
#include "speech/readingcontroller.h"

#include <QDeadlineTimer>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <thread>

namespace {

// A voice that notices two pieces in the engine at once; each piece holds the engine a moment.
class OverlapVoice final : public VoiceEngine
{
public:
    QStringList voices() override { return m_inner.voices(); }
    void setVoice(int index) override { m_inner.setVoice(index); }
    int rate() override { return m_inner.rate(); }
    void setRate(int rate) override { m_inner.setRate(rate); }
    int volume() override { return m_inner.volume(); }
    void setVolume(int volume) override { m_inner.setVolume(volume); }
    void speak(const QString& text, int flags) override
    {
        if (++m_active > 1) {
            m_overlapped = true;
        }
        QThread::usleep(500); // the engine is busy with the piece
        m_inner.speak(text, flags);
        --m_active;
    }
    void close() override { m_inner.close(); }

    RecordingVoice m_inner;
    std::atomic<int> m_active { 0 };
    std::atomic<bool> m_overlapped { false };
};

} // namespace

class TestReadingController : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void piecesPausesAndHighlights();
    void dateTakenWhenEachPieceIsSpoken();
    void windowsWithoutSymbols();
    void longTextIsReadToTheEnd();
    void caretLoopEdges_data();
    void caretLoopEdges();
    void rangeWithEmptySelection();
    void repetition_data();
    void repetition();
    void repetitionAcrossMidnight();
    void intervalIsElapsedTime_data();
    void intervalIsElapsedTime();
    void repetitionSignals();
    void stopDuringInterval();
    void stopDuringReading_data();
    void stopDuringReading();
    void playWithoutVoice();
    void playBlankTextStartsNothing();
    void endReadingsNeverEmptiesTheVoice();
    void engineFailureStillEnds();
    void quickPressesNeverOverlap();
    void memo2VoiceReadsTheHiddenCopy();
    void aReadingByHandEndingBeforeTheFirstTick();
    void startAndEndInEveryOrder_data();
    void startAndEndInEveryOrder();
    void aQueuedReadingShowsThroughTheEndBeforeIt();
    void everyPieceIsSpokenWhileReading();

private:
    void build(VoiceEngine* voice);
    // A voice that holds pieces, kept until the controller has gone.
    GateVoice& buildGate();
    void setText(const QString& text);
    void waitForEnd();
    QStringList spoken() const { return m_voice->texts(); }

    std::unique_ptr<FakeClock> m_clock;
    std::unique_ptr<RecordingDialogs> m_dialogs;
    std::unique_ptr<RecordingVoice> m_voice;
    std::unique_ptr<GateVoice> m_gate;
    std::unique_ptr<ReadingState> m_state;
    std::unique_ptr<PauseSymbols> m_pauses;
    std::unique_ptr<FakeReadingView> m_view;
    std::unique_ptr<ReadingController> m_reading;
};

void TestReadingController::init()
{
    m_clock = std::make_unique<FakeClock>(2024, 3, 4, 9, 0, 0);
    m_dialogs = std::make_unique<RecordingDialogs>();
    m_voice = std::make_unique<RecordingVoice>();
    m_state = std::make_unique<ReadingState>();
    m_pauses = std::make_unique<PauseSymbols>();
    m_pauses->publish(std::make_shared<const PauseTable>(QStringLiteral("，。"),
                                                         QHash<char32_t, int> { { U'，', 300 }, { U'。', 500 } }));
    m_pauses->setMarkdelay(800);
    build(m_voice.get());
}

void TestReadingController::build(VoiceEngine* voice)
{
    m_reading.reset();
    m_view = std::make_unique<FakeReadingView>(*m_clock, voice);
    Services services = fakeServices(*m_clock, *m_dialogs);
    services.voice = voice;
    m_reading = std::make_unique<ReadingController>(*m_view, services, *m_state, *m_pauses);
    QCOMPARE(m_reading->readcycled()->interval(), 1000);
    // Ticks are driven by the test under the fake clock, never by real time.
    m_reading->readcycled()->setInterval(24 * 3600 * 1000);
}

GateVoice& TestReadingController::buildGate()
{
    m_gate = std::make_unique<GateVoice>();
    build(m_gate.get());
    return *m_gate;
}

void TestReadingController::cleanup()
{
    if (m_gate) {
        m_gate->onSpeak = {};
        m_gate->hold(false);
    }
    m_reading.reset();
    m_gate.reset();
    QCOMPARE(m_state->readings(), 0);
    m_view.reset();
    m_dialogs->verifyAllSeen();
    m_dialogs.reset();
    m_pauses.reset();
    m_state.reset();
    m_voice.reset();
    m_clock.reset();
}

void TestReadingController::setText(const QString& text)
{
    m_view->setText(text);
    m_view->clearHighlights();
}

void TestReadingController::waitForEnd()
{
    // Serves the thread's editor calls as they come (the window's editor answers on the main thread).
    QTimer wake;
    wake.start(20);
    const QDeadlineTimer deadline(30000);
    while ((m_reading->runningThreads() > 0 || m_state->readings() > 0) && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    QCoreApplication::processEvents(); // the thread's last queued calls
    QCOMPARE(m_reading->runningThreads(), 0);
    QCOMPARE(m_state->readings(), 0);
}

void TestReadingController::piecesPausesAndHighlights()
{
    m_voice->setSpeakDuration(1000, *m_clock);
    setText(QStringLiteral("今天是%Date%，※祝你生日快乐。再见"));
    const QDateTime start = m_clock->now();
    m_reading->play();
    QVERIFY(!m_view->controlsEnabled);
    QVERIFY(m_state->isreading());
    waitForEnd();

    QCOMPARE(spoken(),
             (QStringList { QStringLiteral("今天是2024-03-04，"), QStringLiteral("祝你生日快乐。"),
                            QStringLiteral("再见") }));
    for (const RecordingVoice::Spoken& s : m_voice->spoken()) {
        QCOMPARE(s.flags, int(VoiceEngine::PurgeBeforeSpeak));
        QCOMPARE(s.voice, 0);
    }
    const QList<FakeReadingView::Highlight> highlights = m_view->highlights();
    QCOMPARE(highlights.size(), 3);
    // The highlight covers the editor's own text, placeholder and mark included.
    QCOMPARE(highlights[0].start, 0);
    QCOMPARE(highlights[0].length, 14);
    QCOMPARE(highlights[1].start, 14);
    QCOMPARE(highlights[1].length, 16);
    QCOMPARE(highlights[2].start, 30);
    QCOMPARE(highlights[2].length, 4);
    // Speaking 1 s, then the symbol's pause; the mark waits before its piece.
    QCOMPARE(highlights[0].at, start);
    QCOMPARE(start.msecsTo(highlights[1].at), 1000 + 300);
    QCOMPARE(highlights[1].at.msecsTo(highlights[2].at), 800 + 1000 + 500);

    QVERIFY(!m_state->isreading());
    QCOMPARE(m_state->lastreadend(), highlights[2].at.addMSecs(1000));
    QCOMPARE(m_state->lastreadendElapsed(), m_clock->elapsedMs());
    QVERIFY(m_view->controlsEnabled);
    QCOMPARE(m_view->enableControlsCalls(), 1);
    QCOMPARE(m_view->selectionStart(), Ansi::length(m_view->text()));
    QCOMPARE(m_view->selectionLength(), 0);
}

void TestReadingController::dateTakenWhenEachPieceIsSpoken()
{
    m_reading->setDatetimetype(2);
    m_voice->setSpeakDuration(2000, *m_clock);
    setText(QStringLiteral("%Date%，%DATE%。%Date%"));
    m_reading->play();
    waitForEnd();
    QCOMPARE(spoken(),
             (QStringList { QStringLiteral("9:00:00，"), QStringLiteral("%DATE%。"), QStringLiteral("9:00:04") }));
}

void TestReadingController::windowsWithoutSymbols()
{
    // 1 + 1198 + 1 bytes: the 500-byte limit would fall inside a character twice.
    const QString text = QLatin1Char('a') + QString(599, QChar(u'好')) + QLatin1Char('b');
    QCOMPARE(Ansi::length(text), 1200);
    setText(text);
    m_reading->play();
    waitForEnd();
    QCOMPARE(spoken().size(), 3);
    QCOMPARE(spoken().join(QString()), text);
    QCOMPARE(Ansi::length(spoken()[0]), 499);
    QCOMPARE(Ansi::length(spoken()[1]), 500);
    QCOMPARE(Ansi::length(spoken()[2]), 201);
    const QList<FakeReadingView::Highlight> highlights = m_view->highlights();
    QCOMPARE(highlights.size(), 3);
    QCOMPARE(highlights[1].start, 499);
    QCOMPARE(highlights[2].start, 999);
    QCOMPARE(m_clock->waited(), 0); // no pauses
}

void TestReadingController::longTextIsReadToTheEnd()
{
    // A long paragraph (16 KB of ANSI bytes), a comma now and then: every piece is spoken once, in order.
    QString text;
    while (Ansi::length(text) < (1 << 14)) {
        text += QStringLiteral("祝大家生日快乐，身体健康万事如意abc ");
    }
    setText(text);
    m_reading->play();
    waitForEnd();
    QCOMPARE(spoken().join(QString()), text);
    QVERIFY(!m_state->isreading());
    QVERIFY(m_view->controlsEnabled);
}

void TestReadingController::caretLoopEdges_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected"); // trimmed spoken pieces
    QTest::addColumn<qint64>("waited");

    const QString spaces300(300, QLatin1Char(' '));
    QTest::newRow("500+ blank bytes skipped")
        << QStringLiteral("开始，") + spaces300 + QLatin1Char('\n') + spaces300 + QStringLiteral("\n结束。\n尾声")
        << QStringList { QStringLiteral("开始，"), QStringLiteral("结束。"), QStringLiteral("尾声") }
        << qint64(300 + 500);
    QTest::newRow("blanks at the end end the reading")
        << QStringLiteral("你好。") + QString(600, QLatin1Char(' ')) + QStringLiteral("\n\n")
        << QStringList { QStringLiteral("你好。") } << qint64(500);
    QTest::newRow("mark only") << QStringLiteral("※") << QStringList { QString() } << qint64(800);
    QTest::newRow("two marks wait once") << QStringLiteral("※好※") << QStringList { QStringLiteral("好") }
                                         << qint64(800);
    QTest::newRow("symbols only") << QStringLiteral("，。，")
                                  << QStringList { QStringLiteral("，"), QStringLiteral("。"), QStringLiteral("，") }
                                  << qint64(300 + 500 + 300);
}

void TestReadingController::caretLoopEdges()
{
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    QFETCH(qint64, waited);
    setText(text);
    m_reading->play();
    waitForEnd();
    QStringList trimmed;
    for (const QString& piece : spoken()) {
        trimmed.append(piece.trimmed());
    }
    QCOMPARE(trimmed, expected);
    QCOMPARE(m_clock->waited(), waited);
    QVERIFY(!m_state->isreading());
    QVERIFY(m_view->controlsEnabled);
}

void TestReadingController::rangeWithEmptySelection()
{
    setText(QStringLiteral("你好，世界。"));
    m_state->readmode = 1;
    m_state->standalone = false;
    m_reading->readtxt();
    waitForEnd();
    QVERIFY(spoken().isEmpty());
    QVERIFY(!m_state->isreading());
    QCOMPARE(m_state->lastreadend(), m_clock->now());
}

void TestReadingController::repetition_data()
{
    QTest::addColumn<int>("readtimes");
    QTest::newRow("once") << 1;
    QTest::newRow("twice") << 2;
    QTest::newRow("three times") << 3;
}

void TestReadingController::repetition()
{
    QFETCH(int, readtimes);
    m_voice->setSpeakDuration(2500, *m_clock);
    setText(QStringLiteral("生日快乐"));
    m_view->readtimes = readtimes;
    m_view->intervaltime = 10;
    QVERIFY(m_reading->startRepetition());
    QVERIFY(m_reading->repetitionActive());
    QVERIFY(m_state->isreading());
    QVERIFY(!m_state->standalone);
    QCOMPARE(m_view->selectedText(), QStringLiteral("生日快乐"));

    // Ticks once a second on the fake clock; a tick that falls inside a reading comes when it ended.
    const QDateTime t0 = m_clock->now();
    QList<QDateTime> ends;
    QList<QDateTime> starts;
    for (int k = 0; k < 200 && m_reading->repetitionActive(); ++k) {
        const QDateTime tick = t0.addSecs(k);
        if (m_clock->now() < tick) {
            m_clock->advance(m_clock->now().msecsTo(tick));
        }
        const int before = spoken().size();
        const QDateTime tickedAt = m_clock->now();
        m_reading->readcycledTimer();
        if (k > 0) {
            QVERIFY(!m_view->controlsEnabled || !m_reading->repetitionActive());
        }
        waitForEnd();
        if (spoken().size() > before) {
            starts.append(tickedAt); // the first piece is spoken at once
            ends.append(m_state->lastreadend());
            QCOMPARE(ends.last(), tickedAt.addMSecs(2500));
        }
    }
    QVERIFY(!m_reading->repetitionActive());
    QCOMPARE(spoken().size(), readtimes);
    QCOMPARE(starts.size(), readtimes);
    QCOMPARE(starts[0], t0);
    for (int i = 1; i < readtimes; ++i) {
        const qint64 gap = ends[i - 1].msecsTo(starts[i]);
        QVERIFY2(gap > 10000 && gap <= 11000, qPrintable(QString::number(gap)));
    }
    // Each reading reads the captured range, which stays selected.
    QCOMPARE(m_view->selectedText(), QStringLiteral("生日快乐"));
    QVERIFY(m_view->controlsEnabled);
    QVERIFY(!m_state->isreading());
}

void TestReadingController::repetitionAcrossMidnight()
{
    m_clock->set(QDateTime(QDate(2024, 3, 4), QTime(23, 59, 55)));
    setText(QStringLiteral("生日快乐"));
    m_view->readtimes = 2;
    m_view->intervaltime = 10;
    m_reading->startRepetition();
    m_reading->readcycledTimer();
    waitForEnd();
    QCOMPARE(spoken().size(), 1);
    QDateTime second;
    for (int k = 0; k < 12 && spoken().size() < 2; ++k) {
        m_clock->advance(1000);
        second = m_clock->now();
        m_reading->readcycledTimer();
        waitForEnd();
    }
    QCOMPARE(spoken().size(), 2);
    QCOMPARE(second.date(), QDate(2024, 3, 5));
}

void TestReadingController::intervalIsElapsedTime_data()
{
    QTest::addColumn<qint64>("step"); // the wall clock is set by this much during the interval
    QTest::newRow("an hour back") << qint64(-3600 * 1000);
    QTest::newRow("an hour ahead") << qint64(3600 * 1000);
    QTest::newRow("not set") << qint64(0);
}

void TestReadingController::intervalIsElapsedTime()
{
    QFETCH(qint64, step);
    setText(QStringLiteral("生日快乐"));
    m_view->readtimes = 2;
    m_view->intervaltime = 10;
    m_reading->startRepetition();
    m_reading->readcycledTimer();
    waitForEnd();
    QCOMPARE(spoken().size(), 1);
    const qint64 firstEnd = m_clock->elapsedMs();
    m_clock->set(m_clock->now().addMSecs(step));
    qint64 secondStart = -1;
    for (int k = 0; k < 20 && secondStart < 0; ++k) {
        m_clock->advance(1000);
        m_reading->readcycledTimer();
        waitForEnd();
        if (spoken().size() == 2) {
            secondStart = m_clock->elapsedMs();
        }
    }
    QCOMPARE(secondStart - firstEnd, qint64(11000)); // the first tick later than 10 s after the end
}

void TestReadingController::repetitionSignals()
{
    QSignalSpy started(m_reading.get(), &ReadingController::repetitionStarted);
    QSignalSpy ended(m_reading.get(), &ReadingController::repetitionEnded);
    QSignalSpy readings(m_reading.get(), &ReadingController::readingEnded);
    setText(QStringLiteral("生日快乐"));
    m_view->readtimes = 1;
    m_reading->startRepetition();
    QCOMPARE(started.size(), 1);
    m_reading->readcycledTimer();
    waitForEnd();
    QCOMPARE(readings.size(), 1);
    QCOMPARE(ended.size(), 0);
    m_reading->readcycledTimer();
    QCOMPARE(ended.size(), 1);
    m_reading->stop(); // the timer is off already: no second end
    QCOMPARE(ended.size(), 1);
}

void TestReadingController::stopDuringInterval()
{
    setText(QStringLiteral("生日快乐"));
    m_view->readtimes = 3;
    m_view->intervaltime = 10;
    m_reading->startRepetition();
    m_reading->readcycledTimer();
    waitForEnd();
    QCOMPARE(spoken().size(), 1);
    m_clock->advance(3000);
    m_reading->stop();
    QVERIFY(!m_reading->repetitionActive());
    QVERIFY(m_view->controlsEnabled);
    QVERIFY(!m_state->isreading());
    // A thread reading has run, so stop does not purge the voice.
    QCOMPARE(spoken().size(), 1);
    m_clock->advance(60000);
    QCoreApplication::processEvents();
    QCOMPARE(m_reading->runningThreads(), 0);
    QCOMPARE(spoken().size(), 1);
}

void TestReadingController::stopDuringReading_data()
{
    QTest::addColumn<bool>("repeated");
    QTest::addColumn<int>("expected");
    // A range reading speaks the highlighted piece; the caret loop looks at the stop before it.
    QTest::newRow("repetition") << true << 2;
    QTest::newRow("play") << false << 1;
}

void TestReadingController::stopDuringReading()
{
    QFETCH(bool, repeated);
    QFETCH(int, expected);
    setText(QStringLiteral("第一，第二，第三，第四。"));
    // The user presses stop when the second piece lights up; the window serves the highlight on the
    // main thread meanwhile.
    // The queued call captures nothing: ThreadSanitizer cannot see Qt's event queue hand the call's
    // storage to the main thread, and the controller is set before the speaking thread starts.
    static ReadingController* reading = nullptr;
    reading = m_reading.get();
    m_view->onHighlight = [](int count) {
        if (count == 2) {
            QMetaObject::invokeMethod(
                reading, [] { reading->stop(); }, Qt::BlockingQueuedConnection);
        }
    };
    m_view->readtimes = 2;
    if (repeated) {
        m_reading->startRepetition();
        m_reading->readcycledTimer();
    } else {
        m_reading->play();
    }
    waitForEnd();
    QCOMPARE(spoken().size(), expected);
    QVERIFY(!m_reading->repetitionActive());
    QVERIFY(!m_state->isreading());
    QVERIFY(m_view->controlsEnabled);
    m_clock->advance(60000);
    QCOMPARE(spoken().size(), expected);
    m_view->onHighlight = {};
}

void TestReadingController::playWithoutVoice()
{
    RecordingVoice silent(QStringList {});
    build(&silent);
    setText(QStringLiteral("你好"));
    m_reading->play();
    QCOMPARE(m_dialogs->takeTexts(), QStringList { QStringLiteral("请选择语音引擎!") });
    QVERIFY(!m_state->isreading());
    QVERIFY(m_view->controlsEnabled);
    QVERIFY(!m_reading->startRepetition());
    QCOMPARE(m_dialogs->takeTexts(), QStringList { QStringLiteral("请选择语音引擎!") });
    QVERIFY(!m_reading->repetitionActive());
    QVERIFY(!m_state->isreading());
    QCOMPARE(m_reading->runningThreads(), 0);
    m_reading.reset();
}

void TestReadingController::playBlankTextStartsNothing()
{
    setText(QStringLiteral(" \n\t \n"));
    m_reading->play();
    QVERIFY(!m_reading->startRepetition());
    QCOMPARE(m_reading->runningThreads(), 0);
    QVERIFY(!m_reading->repetitionActive());
    QVERIFY(!m_state->isreading());
    // Stop before any thread reading purges the voice.
    m_reading->stop();
    QCOMPARE(m_voice->spoken().size(), 1);
    QCOMPARE(m_voice->spoken()[0].text, QString());
    QCOMPARE(m_voice->spoken()[0].flags, int(VoiceEngine::PurgeBeforeSpeak));
}

// The schedule's stop: like stop, but a sentence queued on the voice (a time announcement) stays.
void TestReadingController::endReadingsNeverEmptiesTheVoice()
{
    QSignalSpy started(m_reading.get(), &ReadingController::readingStarted);
    setText(QStringLiteral("生日快乐"));
    m_view->readtimes = 3;
    QVERIFY(m_reading->startRepetition());
    m_reading->endReadings();
    QVERIFY(!m_reading->repetitionActive());
    QVERIFY(!m_state->isreading());
    QVERIFY(m_view->controlsEnabled);
    QVERIFY(m_voice->spoken().isEmpty());
    QCOMPARE(started.size(), 0);

    // A reading by hand tells its start; ended at once, it speaks nothing after its current piece.
    m_reading->play();
    QCOMPARE(started.size(), 1);
    m_reading->endReadings();
    waitForEnd();
    QVERIFY(!m_state->isreading());
    QVERIFY(spoken().size() <= 1);
    for (const RecordingVoice::Spoken& s : m_voice->spoken()) {
        QVERIFY(!s.text.isEmpty());
    }
}

void TestReadingController::engineFailureStillEnds()
{
    setText(QStringLiteral("第一，第二。"));
    m_voice->failNextSpeak(QStringLiteral("engine gone"));
    m_reading->play();
    waitForEnd();
    QVERIFY(spoken().isEmpty());
    QVERIFY(!m_state->isreading());
    QCOMPARE(m_state->lastreadend(), m_clock->now());
    QVERIFY(m_view->controlsEnabled);
    // The queue moved on: the next reading runs.
    m_reading->play();
    waitForEnd();
    QCOMPARE(spoken(), (QStringList { QStringLiteral("第一，"), QStringLiteral("第二。") }));
}

void TestReadingController::quickPressesNeverOverlap()
{
    OverlapVoice voice;
    build(&voice);
    setText(QStringLiteral("第一，第二，第三，第四，第五。"));
    for (int i = 0; i < 12; ++i) {
        m_reading->play();
    }
    QVERIFY(m_reading->runningThreads() > 0);
    waitForEnd();
    QVERIFY(!voice.m_overlapped);
    QVERIFY(voice.m_inner.texts().size() >= 5);
    QVERIFY(!m_state->isreading());
    QVERIFY(m_view->controlsEnabled);
    m_reading.reset();
}

void TestReadingController::memo2VoiceReadsTheHiddenCopy()
{
    RecordingVoice sinji(QStringList { QStringLiteral("Sin-Ji_Full_22kHz (Cantonese)") });
    build(&sinji);
    setText(QStringLiteral("甲乙，丙丁。"));
    m_view->setMemo2(QStringLiteral("ABCD，EFGH。")); // aligned byte for byte
    m_reading->play();
    waitForEnd();
    QCOMPARE(sinji.texts(), (QStringList { QStringLiteral("ABCD，"), QStringLiteral("EFGH。") }));
    m_reading.reset();
}

void TestReadingController::aReadingByHandEndingBeforeTheFirstTick()
{
    // A reading by hand still runs when the scheduler starts the whole-text loop, and ends before the
    // loop's first tick: the repetition is in progress all the same and its first tick starts it.
    GateVoice& voice = buildGate();
    voice.hold(true);
    setText(QStringLiteral("生日快乐"));
    m_view->readtimes = 1;
    m_reading->play();
    QTRY_VERIFY_WITH_TIMEOUT(voice.texts().size() >= 1, 20000);
    QVERIFY(m_reading->startRepetition());
    QSignalSpy ended(m_reading.get(), &ReadingController::readingEnded);
    voice.hold(false);
    voice.release();
    QTRY_COMPARE(ended.size(), 1);
    QCOMPARE(m_state->readings(), 0);
    QVERIFY(m_state->isreading());
    m_reading->readcycledTimer();
    QCOMPARE(m_reading->readcount(), 1);
    QTRY_COMPARE(ended.size(), 2);
    waitForEnd();
    m_reading->readcycledTimer();
    QVERIFY(!m_reading->repetitionActive());
    QVERIFY(!m_state->isreading());
}

void TestReadingController::startAndEndInEveryOrder_data()
{
    // Reading A is running; the main thread starts reading B while A's thread runs its end steps. Each
    // row is one order of the steps (A: the end; B: the start; S: the user's stop before B's start).
    QTest::addColumn<QString>("order");
    QTest::newRow("end, then start") << QStringLiteral("AB");
    QTest::newRow("start, then end") << QStringLiteral("BA");
    QTest::newRow("stop, end, start") << QStringLiteral("SAB");
    QTest::newRow("stop, start, end") << QStringLiteral("SBA");
    QTest::newRow("end, stop, start") << QStringLiteral("ASB");
}

void TestReadingController::startAndEndInEveryOrder()
{
    QFETCH(QString, order);
    ReadingState state;
    state.readingStarted(); // A
    // Each step runs on the thread that takes it in the program: A's end on a thread of its own.
    bool aRunning = true;
    bool bRunning = false;
    bool stopped = false;
    for (const QChar step : order) {
        if (step == u'A') {
            std::thread speaking([&] { state.readingEnded(m_clock->now(), m_clock->elapsedMs()); });
            speaking.join();
            aRunning = false;
        } else if (step == u'B') {
            state.readingStarted();
            bRunning = true;
            stopped = false;
        } else {
            state.release();
            stopped = true;
        }
        // B, once started, is in progress whatever A does; A only until the user stops it.
        QVERIFY2(state.isreading() == (bRunning || (aRunning && !stopped)), qPrintable(order));
    }
    state.readingEnded(m_clock->now(), m_clock->elapsedMs()); // B
    QVERIFY(!state.isreading());
    QCOMPARE(state.readings(), 0);
}

void TestReadingController::aQueuedReadingShowsThroughTheEndBeforeIt()
{
    // The race of two writers: the reading before ends while the next one waits for its turn. At every
    // piece of the next reading `isreading` holds, and only its own end clears it. Both read the
    // selection, as the repetition's readings do: B reads the last piece that A highlighted.
    GateVoice& voice = buildGate();
    setText(QStringLiteral("第一，第二。"));
    m_view->setSelection(0, Ansi::length(m_view->text()));
    m_state->readmode = 1;
    m_state->standalone = false;
    voice.hold(true);
    ReadingState* state = m_state.get();
    auto notReading = std::make_shared<std::atomic<int>>(0);
    voice.onSpeak = [state, notReading](const QString&) {
        if (!state->isreading()) {
            ++*notReading;
        }
    };
    m_reading->readtxt(); // A: its first piece is held
    QTRY_VERIFY_WITH_TIMEOUT(voice.texts().size() >= 1, 20000);
    m_reading->readtxt(); // B: waits for its turn
    QCOMPARE(m_state->readings(), 2);
    voice.hold(false);
    voice.release(); // A goes on and ends; B takes its turn
    waitForEnd();
    QCOMPARE(voice.texts(),
             (QStringList { QStringLiteral("第一，"), QStringLiteral("第二。"), QStringLiteral("第二。") }));
    QCOMPARE(notReading->load(), 0);
    QVERIFY(!m_state->isreading());
}

void TestReadingController::everyPieceIsSpokenWhileReading()
{
    // Presses as fast as they come while readings end on their own threads, on every interleaving the
    // machine happens to take: no piece is ever spoken without `isreading`.
    GateVoice& voice = buildGate();
    ReadingState* state = m_state.get();
    auto notReading = std::make_shared<std::atomic<int>>(0);
    voice.onSpeak = [state, notReading](const QString&) {
        if (!state->isreading()) {
            ++*notReading;
        }
    };
    setText(QStringLiteral("一，二。"));
    for (int i = 0; i < 200; ++i) {
        m_reading->play();
        if (i % 7 == 0) {
            QCoreApplication::processEvents();
        }
    }
    waitForEnd();
    QVERIFY(voice.texts().size() >= 2);
    QCOMPARE(notReading->load(), 0);
    QVERIFY(!m_state->isreading());
}

QTEST_GUILESS_MAIN(TestReadingController)
#include "test_readingcontroller.moc"
