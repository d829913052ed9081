// The Mandarin the real engine makes of what the station hands it, heard through espeak-ng's phonemes
// (nothing is played): whole sentences against the pinyin a listener expects, the probe of the voices,
// the tones the changes of 一 and 不 ask for, and the one lock around the library.
#include "data/speechtables.h"
#include "speech/espeakvoiceengine.h"
#include "speech/spokenform.h"

#include <QTest>

#include <atomic>
#include <thread>

using Reading = VoiceEngine::ChineseReading;

class TestMandarinVoice : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_engine = std::make_unique<EspeakVoiceEngine>(nullptr); // synthesis only
        QVERIFY2(m_engine->isAvailable(), qPrintable(m_engine->failure()));
        m_pinyinVoice = int(m_engine->voices().indexOf(QStringLiteral("Chinese (Mandarin, latin as Pinyin)")));
        QVERIFY(m_pinyinVoice >= 0);
        m_form = std::make_unique<SpokenForm>(m_engine.get());
        const QList<NameReading> roster = {
            { QStringLiteral("曾国藩"), QString() },
            { QStringLiteral("单雄信"), QString() },
            { QStringLiteral("解晓东"), QString() },
            { QStringLiteral("仇思"), QString() },
            { QStringLiteral("查理"), QStringLiteral("zha1 li3") },
        };
        m_form->publish(std::make_shared<const Lexicon>(SpeechTables::shippedLexicon(), roster));
    }

    void init() { m_engine->setVoice(m_pinyinVoice); }

    void cleanupTestCase()
    {
        m_form.reset();
        m_engine.reset();
    }

    void eachChineseVoiceIsProbedForWhatItReads()
    {
        const QStringList voices = m_engine->voices();
        const auto reading = [&](const QString& name) {
            const int index = int(voices.indexOf(name));
            return index < 0 ? std::optional<Reading>() : std::optional<Reading>(m_engine->chineseReading(index));
        };
        QCOMPARE(reading(QStringLiteral("Chinese (Mandarin, latin as Pinyin)")), Reading::Pinyin);
        QCOMPARE(reading(QStringLiteral("Chinese (Cantonese)")), Reading::Characters);
        // These two say "Chinese letter" or English letters for the characters.
        QCOMPARE(reading(QStringLiteral("Chinese (Mandarin, latin as English)")), Reading::None);
        QCOMPARE(reading(QStringLiteral("Hakka Chinese")), Reading::None);
        QCOMPARE(reading(QStringLiteral("English (Great Britain)")), Reading::None);
        QCOMPARE(m_engine->chineseReading(-1), Reading::None);

        // Those that read Chinese come first, the one that reads pinyin before them all; the Chinese
        // voices that cannot read it follow before every other language.
        QCOMPARE(m_pinyinVoice, 0);
        int i = 1;
        while (i < voices.size() && m_engine->chineseReading(i) == Reading::Characters) {
            ++i;
        }
        QVERIFY(i >= 2);
        const int unreadable = int(voices.indexOf(QStringLiteral("Chinese (Mandarin, latin as English)")));
        const int hakka = int(voices.indexOf(QStringLiteral("Hakka Chinese")));
        QVERIFY(unreadable >= i && hakka >= i);
        for (int other = 0; other < voices.size(); ++other) {
            if (other > std::max(unreadable, hakka)) {
                QVERIFY2(!voices.at(other).contains(QLatin1String("Chinese")), qPrintable(voices.at(other)));
            }
        }
    }

    void theToneOfTheNextSyllable_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("tone");
        QTest::newRow("first") << "天" << 1;
        QTest::newRow("second") << "年" << 2;
        QTest::newRow("third") << "好" << 3;
        QTest::newRow("fourth") << "件" << 4;
        QTest::newRow("the voice's neutral 个") << "个" << 5;
        QTest::newRow("in its word") << "切顺利" << 4;
        QTest::newRow("pinyin") << "ma3" << 3;
        QTest::newRow("nothing") << "" << 0;
    }
    void theToneOfTheNextSyllable()
    {
        QFETCH(QString, text);
        QFETCH(int, tone);
        QCOMPARE(m_engine->firstSyllableTone(text), tone);
    }

    // What a Chinese listener expects, sentence by sentence: what the station hands the voice must
    // sound exactly as the pinyin a listener expects.
    void sentencesSoundAsExpected_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("a date") << "今天是2026-12-09，"
                                << "jin1 tian1 shi4 er4 ling2 er4 liu4 nian2 shi2 er4 yue4 jiu3 ri4，";
        QTest::newRow("a time") << "13:43:18"
                                << "shi2 san1 dian3 si4 shi2 san1 fen1 shi2 ba1 miao3";
        QTest::newRow("minutes with zero") << "9:05:30"
                                           << "jiu3 dian3 ling2 wu3 fen1 san1 shi2 miao3";
        QTest::newRow("a written date") << "2027年3月15日"
                                        << "er4 ling2 er4 qi1 nian2 san1 yue4 shi2 wu3 ri4";
        QTest::newRow("the time announcement") << "现在是北京时间09:30"
                                               << "xian4 zai4 shi4 bei3 jing1 shi2 jian1 jiu3 dian3 san1 shi2 fen1";
        QTest::newRow("sharp") << "12:00正"
                               << "shi2 er4 dian3 zheng4";
        QTest::newRow("a temperature") << "36.5度"
                                       << "san1 shi2 liu4 dian3 wu3 du4";
        QTest::newRow("all") << "100%"
                             << "bai3 fen1 zhi1 bai3";
        QTest::newRow("five sixths") << "5/6"
                                     << "liu4 fen1 zhi1 wu3";
        QTest::newRow("surnames") << "曾国藩，单雄信，解晓东，仇思"
                                  << "zeng1 guo2 fan1，shan4 xiong2 xin4，xie4 xiao3 dong1，qiu2 si1";
        QTest::newRow("a person's own reading") << "查理"
                                                << "zha1 li3";
        QTest::newRow("words") << "银行，重庆，长大"
                               << "yin2 hang2，chong2 qing4，zhang3 da4";
        QTest::newRow("一 and 不") << "一件，不是"
                                   << "yi2 jian4，bu2 shi4";
        QTest::newRow("two") << "2:30，2个，2岁"
                             << "liang3 dian3 san1 shi2 fen1，liang3 ge5，liang3 sui4";
    }
    void sentencesSoundAsExpected()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        const QString handed = m_form->spoken(text);
        QCOMPARE(m_engine->phonemes(handed), m_engine->phonemes(expected));
    }

    // The notation the tone of 一 and 不 is read from: if espeak-ng writes its tones otherwise, this
    // shows it first.
    void thePhonemeNotation()
    {
        QCOMPARE(m_engine->phonemes(QStringLiteral("yi2 jian4 bu2 shi4")),
                 QStringLiteral("j'i35_| tS;'iE51n_| p'u35_| s.'i.51_|"));
        QCOMPARE(m_engine->phonemes(QStringLiteral("天年好件")),
                 QStringLiteral("th'iE55n_| n'iE35n_| X'Au214_| tS;'iE51n_|"));
    }

    void aVoiceThatCannotReadChineseGetsTheTextAsWritten()
    {
        const int english = int(m_engine->voices().indexOf(QStringLiteral("English (Great Britain)")));
        QVERIFY(english >= 0);
        m_engine->setVoice(english);
        QCOMPARE(m_form->spoken(QStringLiteral("9:30 一件")), QStringLiteral("9:30 一件"));
        const int cantonese = int(m_engine->voices().indexOf(QStringLiteral("Chinese (Cantonese)")));
        m_engine->setVoice(cantonese);
        QCOMPARE(m_form->spoken(QStringLiteral("9:30 一件 曾国藩")), QStringLiteral("九点三十分 一件 曾国藩"));
    }

    // espeak-ng keeps its state in globals: synthesis, the phonemes and a second engine's probe take
    // turns on one lock, and the voice in use is there again after another engine probed them all.
    void oneLockForTheLibrary()
    {
        const QString text = QStringLiteral("今天是公司员工的生日");
        const double seconds = m_engine->synthesize(text).size() / 2.0 / m_engine->sampleRate();
        const QString phonemes = m_engine->phonemes(text);
        std::atomic<bool> done { false };
        std::atomic<int> asked { 0 };
        std::atomic<int> differing { 0 };
        std::thread asking([&] {
            while (!done) {
                // 0: the library was busy for longer than the tone waits (the probe's listing).
                const int tone = m_engine->firstSyllableTone(QStringLiteral("件"));
                if (m_engine->phonemes(text) != phonemes || (tone != 4 && tone != 0)) {
                    ++differing;
                }
                ++asked;
            }
        });
        QList<double> lengths;
        for (int i = 0; i < 3; ++i) {
            lengths.append(m_engine->synthesize(text).size() / 2.0 / m_engine->sampleRate());
        }
        int voices = 0;
        {
            EspeakVoiceEngine probing(nullptr); // lists and probes every voice meanwhile
            voices = int(probing.voices().size());
        }
        done = true;
        asking.join();
        QVERIFY(voices > 10);
        QVERIFY(asked.load() > 0);
        QCOMPARE(differing.load(), 0);
        // espeak-ng's sound varies by a few samples from run to run; its length stays.
        for (const double length : lengths) {
            QVERIFY2(std::abs(length - seconds) < 0.02 * seconds, qPrintable(QString::number(length)));
        }
        QCOMPARE(m_engine->phonemes(text), phonemes);
        QCOMPARE(m_engine->currentChineseReading(), Reading::Pinyin);
    }

private:
    std::unique_ptr<EspeakVoiceEngine> m_engine;
    std::unique_ptr<SpokenForm> m_form;
    int m_pinyinVoice = -1;
};

QTEST_GUILESS_MAIN(TestMandarinVoice)
#include "test_mandarinvoice.moc"
