// The end of the program while a reading runs: wherever the speaking thread stands in its piece loop,
// the program ends within 100 ms of the purge, and no further piece starts. The thread is held at each
// point by hooks in the voice, the editor and the clock until the purge has begun.
#include "common/clock.h"
#include "common/readingstate.h"
#include "datafixture.h"
#include "fakereadingview.h"
#include "gatevoice.h"
#include "recordingdialogs.h"
#include "speech/pausesymbols.h"
#include "speech/readingcontroller.h"

#include <QElapsedTimer>
#include <QTest>

#include <atomic>
#include <functional>

namespace {

// The machine's clock with a hook at each wait of the speaking thread (its pauses sleep really).
class HookClock final : public Clock
{
public:
    QDateTime now() const override { return m_system.now(); }
    qint64 elapsedMs() const override { return m_system.elapsedMs(); }
    void wait(int ms) override { m_system.wait(ms); }
    void sleep(int ms) override
    {
        if (onSleep) {
            onSleep(ms);
        }
        m_system.sleep(ms);
    }

    std::function<void(int)> onSleep;

private:
    SystemClock m_system;
};

const QString First = QStringLiteral("第一，");
const QString Second = QStringLiteral("第二。");
constexpr int Long = 900000; // a quarter of an hour

} // namespace

class TestReadingShutdown : public QObject
{
    Q_OBJECT

private slots:
    // A first reading and its end, untimed: what a process does only once (loading, the first thread)
    // is not the end of a reading.
    void initTestCase()
    {
        GateVoice voice;
        FakeReadingView view(m_clock, &voice);
        view.setText(First);
        Services services = fakeServices(m_clock, m_dialogs);
        services.voice = &voice;
        ReadingState state;
        ReadingController reading(view, services, state, m_pauses);
        reading.play();
        QTRY_COMPARE(state.readings(), 0);
        reading.shutdown();
    }

    void init()
    {
        m_voice = std::make_unique<GateVoice>();
        m_view = std::make_unique<FakeReadingView>(m_clock, m_voice.get());
        m_view->setText(First + QStringLiteral("※") + Second);
        Services services = fakeServices(m_clock, m_dialogs);
        services.voice = m_voice.get();
        m_reading = std::make_unique<ReadingController>(*m_view, services, m_state, m_pauses);
        m_arrived = false;
    }

    void cleanup()
    {
        m_reading.reset();
        m_view.reset();
        m_voice.reset();
        m_clock.onSleep = {};
        m_dialogs.verifyAllSeen();
    }

    void endsAtOnceWhereverTheReadingStands_data()
    {
        QTest::addColumn<QString>("point");
        QTest::addColumn<int>("comma"); // the pause after the first piece
        QTest::addColumn<int>("mark"); // the wait before the second piece
        QTest::addColumn<int>("stop"); // the pause after the second piece
        QTest::addColumn<QStringList>("spoken"); // before the purge; nothing after it
        const QStringList first { First };
        const QStringList both { First, Second };
        QTest::newRow("a second reading waits for its turn") << QStringLiteral("turn") << 0 << 0 << Long << first;
        QTest::newRow("the next piece is about to be highlighted")
            << QStringLiteral("highlight") << 0 << 0 << Long << first;
        QTest::newRow("in the pause after a piece") << QStringLiteral("pause") << Long << 0 << Long << first;
        QTest::newRow("in the wait before a marked piece") << QStringLiteral("mark") << 0 << Long << Long << first;
        QTest::newRow("between the last check and the voice") << QStringLiteral("speak") << 0 << 0 << Long << first;
        QTest::newRow("while a piece is spoken") << QStringLiteral("speaking") << 0 << 0 << Long << both;
        QTest::newRow("in the end steps") << QStringLiteral("end") << 0 << 0 << 0 << both;
    }

    void endsAtOnceWhereverTheReadingStands()
    {
        QFETCH(QString, point);
        QFETCH(int, comma);
        QFETCH(int, mark);
        QFETCH(int, stop);
        m_pauses.publish(std::make_shared<const PauseTable>(
            QStringLiteral("，。"), QHash<char32_t, int> { { U'，', comma }, { U'。', stop } }));
        m_pauses.setMarkdelay(mark);

        // Each hook tells the test that the thread has reached its point; the ones that hold it there
        // let it go only once the program's end has begun.
        GateVoice* voice = m_voice.get();
        if (point == QStringLiteral("turn")) {
            voice->hold(true);
        } else if (point == QStringLiteral("highlight")) {
            m_view->onHighlight = [this, voice](int count) {
                if (count == 2) {
                    arrive();
                    voice->waitUntilClosed();
                }
            };
        } else if (point == QStringLiteral("pause") || point == QStringLiteral("mark")) {
            m_clock.onSleep = [this](int) { arrive(); }; // the first wait of the reading, which goes on
        } else if (point == QStringLiteral("speak")) {
            voice->onSpeak = [this, voice](const QString& text) {
                if (text == Second) {
                    arrive();
                    voice->waitUntilClosed();
                }
            };
        } else if (point == QStringLiteral("speaking")) {
            voice->onSpeak = [this, voice](const QString& text) {
                if (text == Second) {
                    voice->hold(true);
                    arrive(); // recorded and held a moment later: the test waits for the piece as well
                }
            };
        } else if (point == QStringLiteral("end")) {
            m_view->onEndSteps = [this, voice] {
                arrive();
                voice->waitUntilClosed();
            };
        }

        m_reading->play();
        if (point == QStringLiteral("turn")) {
            QTRY_VERIFY_WITH_TIMEOUT(voice->texts().size() >= 1, 20000);
            m_reading->play(); // the second reading waits behind the held piece
            QCOMPARE(m_state.readings(), 2);
            arrive();
        }
        QTRY_VERIFY_WITH_TIMEOUT(m_arrived.load(), 20000);
        if (point == QStringLiteral("speaking")) {
            QTRY_VERIFY_WITH_TIMEOUT(voice->texts().size() >= 2, 20000);
        }

        QElapsedTimer timer;
        timer.start();
        m_reading->shutdown(); // the program's end: Tf_speaker::endWithoutSaving
        const qint64 took = timer.elapsed();
        QVERIFY2(took < 100, qPrintable(QStringLiteral("%1 ms").arg(took)));
        QCOMPARE(m_reading->runningThreads(), 0);
        QCOMPARE(m_state.readings(), 0);
        QVERIFY(!m_state.isreading());
        QFETCH(QStringList, spoken);
        QCOMPARE(voice->texts(), spoken);

        // Nothing starts any more.
        m_reading->play();
        QCOMPARE(m_reading->runningThreads(), 0);
        QCOMPARE(voice->texts(), spoken);
    }

private:
    void arrive() { m_arrived = true; }

    HookClock m_clock;
    RecordingDialogs m_dialogs;
    ReadingState m_state;
    PauseSymbols m_pauses;
    std::unique_ptr<GateVoice> m_voice;
    std::unique_ptr<FakeReadingView> m_view;
    std::unique_ptr<ReadingController> m_reading;
    std::atomic<bool> m_arrived { false };
};

QTEST_GUILESS_MAIN(TestReadingShutdown)
#include "test_readingshutdown.moc"
