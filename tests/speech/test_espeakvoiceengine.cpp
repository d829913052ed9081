#include "common/runtimeerror.h"
#include "common/sounddevice.h"
#include "sanitizers.h"
#include "speech/espeakvoiceengine.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QTest>

#include <thread>

namespace {
// Seconds of 16-bit mono PCM.
double seconds(const QByteArray& pcm, int rate)
{
    return double(pcm.size()) / 2.0 / rate;
}

int peak(const QByteArray& pcm)
{
    const auto* samples = reinterpret_cast<const qint16*>(pcm.constData());
    int best = 0;
    for (qsizetype i = 0; i < pcm.size() / 2; ++i) {
        best = std::max(best, std::abs(int(samples[i])));
    }
    return best;
}

const QString Announcement = QStringLiteral("今天是公司员工的生日，祝他们生日快乐。");
} // namespace

class TestEspeakVoiceEngine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The mixer opens on the main thread, as the station's start-up opens it, and closes at the end.
        QVERIFY(m_sound.open());
        m_engine = std::make_unique<EspeakVoiceEngine>(&m_sound);
        QVERIFY2(m_engine->isAvailable(), qPrintable(m_engine->failure()));
    }

    void init()
    {
        m_engine->setVoice(0);
        m_engine->setRate(0);
        m_engine->setVolume(100);
    }

    void cleanupTestCase()
    {
        m_engine.reset();
        m_sound.close();
    }

    void voiceListStartsWithMandarin()
    {
        const QStringList voices = m_engine->voices();
        QVERIFY(voices.size() > 10);
        QVERIFY2(voices.first().contains(QLatin1String("Mandarin")) && voices.first().contains(QLatin1String("Pinyin")),
                 qPrintable(voices.first()));
        // The other Chinese voices follow before any other language.
        int firstOther = 1;
        while (firstOther < voices.size() && voices.at(firstOther).contains(QLatin1String("Chinese"))) {
            ++firstOther;
        }
        QVERIFY(firstOther >= 3);
        for (int i = firstOther; i < voices.size(); ++i) {
            QVERIFY2(!voices.at(i).contains(QLatin1String("Chinese")), qPrintable(voices.at(i)));
        }
        // Stable: a second engine lists the same names in the same order.
        EspeakVoiceEngine other(&m_sound);
        QCOMPARE(other.voices(), voices);
        QCOMPARE(m_engine->rate(), 0);
        QCOMPARE(m_engine->volume(), 100);
    }

    void voiceOutsideTheListThrows()
    {
        QVERIFY_THROWS_EXCEPTION(RuntimeError, m_engine->setVoice(-1));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, m_engine->setVoice(int(m_engine->voices().size())));
    }

    void chineseTextGivesPlausiblePcm()
    {
        const QByteArray pcm = m_engine->synthesize(Announcement);
        const double length = seconds(pcm, m_engine->sampleRate());
        // 18 syllables at a normal pace: a few seconds, not a spelled-out string of letters.
        QVERIFY2(length > 2.0 && length < 8.0, qPrintable(QString::number(length)));
        QVERIFY(peak(pcm) > 2000);
    }

    void wordsPerMinute_data()
    {
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("wpm");
        QTest::newRow("normal") << 0 << 175;
        QTest::newRow("+2") << 2 << 218;
        QTest::newRow("+5") << 5 << 303;
        QTest::newRow("+10 clamped") << 10 << 450;
        QTest::newRow("+15 clamped") << 15 << 450;
        QTest::newRow("-5") << -5 << 101;
        QTest::newRow("-10 clamped") << -10 << 80;
        QTest::newRow("absurd") << 1000000 << 450;
        QTest::newRow("absurd low") << -1000000 << 80;
    }

    void wordsPerMinute()
    {
        QFETCH(int, rate);
        QFETCH(int, wpm);
        QCOMPARE(EspeakVoiceEngine::wordsPerMinute(rate), wpm);
    }

    void higherRateGivesShorterAudio()
    {
        m_engine->setRate(0);
        const QByteArray normal = m_engine->synthesize(Announcement);
        m_engine->setRate(8);
        QCOMPARE(m_engine->rate(), 8);
        const QByteArray fast = m_engine->synthesize(Announcement);
        QVERIFY2(fast.size() < normal.size() * 0.75,
                 qPrintable(QStringLiteral("%1 vs %2").arg(fast.size()).arg(normal.size())));
    }

    void volumeScalesTheSamples()
    {
        m_engine->setVolume(20);
        const int quiet = peak(m_engine->synthesize(Announcement));
        m_engine->setVolume(250);
        QCOMPARE(m_engine->volume(), 100);
        const int loud = peak(m_engine->synthesize(Announcement));
        QVERIFY2(quiet * 2 < loud, qPrintable(QStringLiteral("%1 vs %2").arg(quiet).arg(loud)));
    }

    void textsTheEngineCannotSpeak_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("control characters") << QString::fromUtf16(u"\u0001\u0002\u0007\u001b[0m\u0000\u007f生日");
        QTest::newRow("unknown script") << QStringLiteral("𓀀𓀁𓀂 ꙮ 𝄞");
        QTest::newRow("lone surrogates") << QString::fromUtf16(u"\xD800\xDC00\xDBFF") + QString(QChar(0xDC00));
        QTest::newRow("markup") << QStringLiteral("<speak>[[a]] &amp; </speak>");
        QTest::newRow("blank") << QStringLiteral(" \t\n ");
    }

    void textsTheEngineCannotSpeak()
    {
        QFETCH(QString, text);
        const QByteArray pcm = m_engine->synthesize(text);
        QVERIFY(seconds(pcm, m_engine->sampleRate()) < 10.0);
        QElapsedTimer timer;
        timer.start();
        m_engine->speak(text, VoiceEngine::Async);
        m_engine->speak(QString(), VoiceEngine::PurgeBeforeSpeak);
        QVERIFY(timer.elapsed() < Sanitizers::scaled(1000));
    }

    void synchronousSpeakReturnsWhenPlayed()
    {
        const QString text = QStringLiteral("你好");
        const double length = seconds(m_engine->synthesize(text), m_engine->sampleRate());
        QElapsedTimer timer;
        timer.start();
        m_engine->speak(text, VoiceEngine::Synchronous);
        QVERIFY2(timer.elapsed() >= length * 1000 * 0.8, qPrintable(QString::number(timer.elapsed())));
        QVERIFY(m_engine->lastFirstSampleLatencyUs() >= 0);
    }

    void purgeStopsASynchronousSpeakAtOnce()
    {
        // About twenty seconds of speech, played at the device's real pace.
        const QString text = QString(Announcement).repeated(6);
        QElapsedTimer timer;
        std::atomic<qint64> returnedAfter { -1 };
        std::thread reader([&] {
            timer.start();
            m_engine->speak(text, VoiceEngine::PurgeBeforeSpeak);
            returnedAfter = timer.elapsed();
        });
        QTest::qSleep(600);
        QCOMPARE(returnedAfter.load(), -1); // still speaking
        QElapsedTimer purge;
        purge.start();
        m_engine->speak(QString(), VoiceEngine::PurgeBeforeSpeak);
        reader.join();
        QVERIFY2(purge.elapsed() < Sanitizers::scaled(500), qPrintable(QString::number(purge.elapsed())));
        QVERIFY(returnedAfter.load() < Sanitizers::scaled(2000));
    }

    void asynchronousTextsPlayInOrder()
    {
        QMutex mutex;
        QStringList started;
        m_engine->setUtteranceObserver([&](const QString& text) {
            QMutexLocker lock(&mutex);
            started.append(text);
        });
        const QStringList texts = { QStringLiteral("一"), QStringLiteral("二"), QStringLiteral("三") };
        QElapsedTimer timer;
        timer.start();
        m_engine->speak(texts.at(0), VoiceEngine::Async);
        m_engine->speak(texts.at(1), VoiceEngine::Async);
        QVERIFY(timer.elapsed() < Sanitizers::scaled(300)); // queued, not played
        m_engine->speak(texts.at(2), VoiceEngine::Synchronous);
        m_engine->setUtteranceObserver({});
        QMutexLocker lock(&mutex);
        QCOMPARE(started, texts);
    }

    // What the music's ducking under a time announcement waits for: speaking from the queued sentence
    // until it has played, not after a purge.
    void speakingLastsUntilTheQueueHasPlayed()
    {
        QVERIFY(!m_engine->isSpeaking());
        m_engine->speak(QStringLiteral("现在是北京时间九点整"), VoiceEngine::Async);
        QVERIFY(m_engine->isSpeaking());
        QTRY_VERIFY_WITH_TIMEOUT(!m_engine->isSpeaking(), 10000);
        m_engine->speak(QString(Announcement).repeated(3), VoiceEngine::Async);
        QVERIFY(m_engine->isSpeaking());
        m_engine->speak(QString(), VoiceEngine::PurgeBeforeSpeak);
        QTRY_VERIFY_WITH_TIMEOUT(!m_engine->isSpeaking(), 2000);
    }

    void purgeDropsWhatIsQueued()
    {
        QMutex mutex;
        QStringList started;
        m_engine->setUtteranceObserver([&](const QString& text) {
            QMutexLocker lock(&mutex);
            started.append(text);
        });
        m_engine->speak(QString(Announcement).repeated(3), VoiceEngine::Async);
        m_engine->speak(QStringLiteral("不该听到"), VoiceEngine::Async);
        m_engine->speak(QStringLiteral("好"), VoiceEngine::PurgeBeforeSpeak);
        m_engine->setUtteranceObserver({});
        QMutexLocker lock(&mutex);
        QVERIFY(!started.contains(QStringLiteral("不该听到")));
        QCOMPARE(started.last(), QStringLiteral("好"));
    }

    // The end of the program: the piece being spoken stops at once, and no later piece starts, however
    // late the reading asks for it.
    void closingRefusesNewSpeech()
    {
        EspeakVoiceEngine closing(&m_sound);
        QVERIFY(closing.isAvailable());
        std::atomic<int> started { 0 };
        closing.setUtteranceObserver([&](const QString&) { ++started; });
        std::atomic<bool> returned { false };
        std::thread reader([&] {
            try {
                closing.speak(QString(Announcement).repeated(6), VoiceEngine::PurgeBeforeSpeak);
            } catch (const RuntimeError&) {
            }
            returned = true;
        });
        QTRY_COMPARE(started.load(), 1); // about twenty seconds of speech are playing
        QElapsedTimer timer;
        timer.start();
        closing.close();
        reader.join();
        QVERIFY(returned);
        QVERIFY2(timer.elapsed() < 500, qPrintable(QString::number(timer.elapsed())));
        // What comes later is refused before it reaches the queue: a reading's next piece ends the
        // reading, an announcement is dropped, a stop has nothing left to stop.
        QVERIFY_THROWS_EXCEPTION(VoiceClosed, closing.speak(QStringLiteral("再见"), VoiceEngine::PurgeBeforeSpeak));
        closing.speak(QStringLiteral("现在是北京时间"), VoiceEngine::Async);
        closing.speak(QString(), VoiceEngine::PurgeBeforeSpeak);
        closing.setUtteranceObserver({});
        QCOMPARE(started.load(), 1);
    }

    void longTextIsStoppable()
    {
        const QString huge = QString(Announcement).repeated(100 * 1024 / Announcement.toUtf8().size());
        QVERIFY(huge.toUtf8().size() > 90 * 1024);
        m_engine->speak(huge, VoiceEngine::Async);
        QTest::qSleep(300);
        QElapsedTimer timer;
        timer.start();
        m_engine->speak(QString(), VoiceEngine::PurgeBeforeSpeak);
        m_engine->speak(QStringLiteral("好"), VoiceEngine::Synchronous);
        QVERIFY2(timer.elapsed() < Sanitizers::scaled(2000), qPrintable(QString::number(timer.elapsed())));
    }

private:
    SoundDevice m_sound;
    std::unique_ptr<EspeakVoiceEngine> m_engine;
};

QTEST_GUILESS_MAIN(TestEspeakVoiceEngine)
#include "test_espeakvoiceengine.moc"
