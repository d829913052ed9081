// What the voice is handed: pinyin readings, the lexicon and the roster's names, the tone changes of
// 一 and 不, and which voices get what. Tones come from a fake voice, so the rules are tested alone.
#include "recordingvoice.h"
#include "speech/lexicon.h"
#include "speech/pinyin.h"
#include "speech/spokenform.h"
#include "speech/tonesandhi.h"

#include <QTest>

using Reading = VoiceEngine::ChineseReading;

namespace {

// The citation tones of the characters these tests put after 一 and 不 (个 is neutral in the voice).
const QHash<QChar, int> Tones = {
    { u'件', 4 }, { u'是', 4 }, { u'个', 5 }, { u'天', 1 }, { u'年', 2 }, { u'起', 3 },
    { u'百', 3 }, { u'千', 1 }, { u'万', 4 }, { u'切', 4 }, { u'好', 3 }, { u'要', 4 },
    { u'样', 4 }, { u'的', 5 }, { u'战', 4 }, { u'次', 4 }, { u'定', 4 }, { u'会', 4 },
};

QList<LexiconRow> seeds()
{
    return {
        { QStringLiteral("曾"), QStringLiteral("zeng1"), true },
        { QStringLiteral("单"), QStringLiteral("shan4"), true },
        { QStringLiteral("尉迟"), QStringLiteral("yu4 chi2"), true },
        { QStringLiteral("尉"), QStringLiteral("wei4"), true },
        { QStringLiteral("银行"), QStringLiteral("yin2 hang2"), false },
        { QStringLiteral("银行卡"), QStringLiteral("yin2 hang2 ka3"), false },
        { QStringLiteral("长大"), QStringLiteral("zhang3 da4"), false },
        { QStringLiteral("CEO"), QStringLiteral("C E O"), false }, // not pinyin: left out
        { QStringLiteral("HR"), QStringLiteral("hei1 er4"), false },
        { QStringLiteral("坏"), QStringLiteral(""), false },
    };
}

QList<NameReading> roster()
{
    return {
        { QStringLiteral("曾国藩"), QString() },
        { QStringLiteral("单雄信"), QStringLiteral("shan4 xiong2 xin4") },
        { QStringLiteral("尉迟恭"), QString() },
        { QStringLiteral("王一博"), QString() },
        { QStringLiteral("王一"), QString() },
        { QStringLiteral("李"), QStringLiteral("li3") }, // one character: no name to find
        { QStringLiteral("曾国藩"), QStringLiteral("zeng1 guo2 fan1") }, // the same name with a reading
    };
}

int fakeTone(const QString& text)
{
    return text.isEmpty() ? 0 : Tones.value(text.front(), 0);
}

} // namespace

class TestSpokenForm : public QObject
{
    Q_OBJECT

private slots:
    void canonicalReadings_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");
        QTest::newRow("tone numbers") << "zeng1 guo2 fan1"
                                      << "zeng1 guo2 fan1";
        QTest::newRow("run together") << "Zeng1Guo2fan1"
                                      << "zeng1 guo2 fan1";
        QTest::newRow("tone marks") << "Zēng Guófān"
                                    << "zeng1 guo2 fan1";
        QTest::newRow("ü as v") << "lǚ"
                                << "lv3";
        QTest::newRow("a mark and its number") << "zēng1"
                                               << "zeng1";
        QTest::newRow("an unmarked syllable among marked ones is neutral") << "māma"
                                                                           << "ma1 ma5";
        QTest::newRow("u colon") << "nu:3"
                                 << "nv3";
        QTest::newRow("neutral tone") << "ma5"
                                      << "ma5";
        QTest::newRow("extra blanks") << "  shan4   xiong2 "
                                      << "shan4 xiong2";
        QTest::newRow("apostrophe") << "xi1'an1"
                                    << "xi1 an1";
        QTest::newRow("no tone") << "zeng guo fan"
                                 << "";
        QTest::newRow("not a syllable") << "xyz1"
                                        << "";
        QTest::newRow("tone 6") << "ma6"
                                << "";
        QTest::newRow("two tones") << "mā2"
                                   << "";
        QTest::newRow("Chinese") << "曾"
                                 << "";
        QTest::newRow("empty") << ""
                               << "";
    }
    void canonicalReadings()
    {
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        QCOMPARE(Pinyin::canonical(typed), expected);
    }

    void readingProblems_data()
    {
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("problem"); // a part of the message; empty when none
        QTest::newRow("fits") << "单雄信"
                              << "shan4 xiong2 xin4"
                              << "";
        QTest::newRow("latin word, any count") << "HR"
                                               << "hei1 er4"
                                               << "";
        QTest::newRow("too few syllables") << "单雄信"
                                           << "shan4 xiong2"
                                           << "2 个音节";
        QTest::newRow("not pinyin") << "单"
                                    << "shan"
                                    << "不是带声调的拼音";
        QTest::newRow("empty") << "单"
                               << " "
                               << "请输入读音";
    }
    void readingProblems()
    {
        QFETCH(QString, word);
        QFETCH(QString, typed);
        QFETCH(QString, problem);
        const QString found = Pinyin::problem(word, typed);
        if (problem.isEmpty()) {
            QCOMPARE(found, QString());
        } else {
            QVERIFY2(found.contains(problem), qPrintable(found));
        }
    }

    void lexiconParts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("joined");
        // A surname entry only at the start of a full roster name.
        QTest::newRow("surname at a name's start") << "祝曾国藩生日快乐"
                                                   << "祝zeng1 guo2 fan1生日快乐";
        QTest::newRow("a surname entry alone stays") << "曾经"
                                                     << "曾经";
        QTest::newRow("an unknown name stays") << "曾小明"
                                               << "曾小明";
        QTest::newRow("the person's own reading") << "单雄信，"
                                                  << "shan4 xiong2 xin4，";
        QTest::newRow("单 elsewhere stays") << "单位"
                                            << "单位";
        QTest::newRow("compound surname first") << "尉迟恭"
                                                << "yu4 chi2恭";
        QTest::newRow("longest word first") << "银行卡和银行"
                                            << "yin2 hang2 ka3和yin2 hang2";
        QTest::newRow("a word") << "长大了"
                                << "zhang3 da4了";
        QTest::newRow("a latin entry only as a whole word") << "HR部门和CHRIS"
                                                            << "hei1 er4部门和CHRIS";
        QTest::newRow("a reading that is no pinyin is left out") << "CEO"
                                                                 << "CEO";
        QTest::newRow("two readings are spaced") << "银行长大"
                                                 << "yin2 hang2 zhang3 da4";
        QTest::newRow("a one-character name is no name") << "李"
                                                         << "李";
    }
    void lexiconParts()
    {
        QFETCH(QString, text);
        QFETCH(QString, joined);
        const Lexicon lexicon(seeds(), roster());
        QCOMPARE(joinParts(lexicon.apply(text)), joined);
    }

    void counts()
    {
        const Lexicon lexicon(seeds(), roster());
        QCOMPARE(lexicon.wordCount(), 4); // 银行, 银行卡, 长大, HR
        QCOMPARE(lexicon.nameCount(), 5); // 曾国藩 once, 单雄信, 尉迟恭, 王一博, 王一
    }

    void sandhi_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("joined");
        QTest::newRow("一 before a fourth tone") << "一件"
                                                 << "yi2件";
        QTest::newRow("不 before a fourth tone") << "不是"
                                                 << "bu2是";
        QTest::newRow("不 before another tone") << "不好"
                                                << "不好";
        QTest::newRow("一 before a first tone") << "一天"
                                                << "yi4天";
        QTest::newRow("一 before a second tone") << "一年"
                                                 << "yi4年";
        QTest::newRow("一 before a third tone") << "一起"
                                                << "yi4起";
        QTest::newRow("一 before 个") << "一个人"
                                      << "yi2个人";
        QTest::newRow("一 before another neutral tone") << "之一的"
                                                        << "之一的";
        QTest::newRow("一百 and 一千 and 一万") << "一百一千一万"
                                                << "yi4百yi4千yi2万";
        QTest::newRow("一 inside a number") << "十一，二〇一九，一九九〇"
                                            << "十一，二〇一九，一九九〇";
        QTest::newRow("一 before 十 inside a number") << "一百一十"
                                                      << "yi4百一十";
        QTest::newRow("一 in an hour and a decimal") << "一点，一点五"
                                                     << "一点，一点五";
        QTest::newRow("一 in a date") << "一月一日一号"
                                      << "一月一日一号";
        QTest::newRow("ordinal") << "第一次"
                                 << "第一次";
        QTest::newRow("word ends with 一") << "统一战线"
                                           << "统一战线";
        QTest::newRow("万一 but 一万一千") << "万一，一万一千"
                                           << "万一，yi2万yi4千";
        QTest::newRow("一 at the end") << "唯一。一"
                                       << "唯一。一";
        QTest::newRow("不一样") << "不一样"
                                << "不yi2样";
        QTest::newRow("before a reading in pinyin") << "一银行"
                                                    << "yi4 yin2 hang2";
        QTest::newRow("inside a roster name nothing changes") << "王一博不会"
                                                              << "王一博bu2会";
        QTest::newRow("unknown tone changes nothing") << "一米"
                                                      << "一米";
    }
    void sandhi()
    {
        QFETCH(QString, text);
        QFETCH(QString, joined);
        const Lexicon lexicon(seeds(), roster());
        QCOMPARE(joinParts(ToneSandhi::apply(lexicon.apply(text), fakeTone)), joined);
    }

    // The whole way for each kind of voice: what a Chinese listener expects, in one table.
    void spokenForEachVoice_data()
    {
        QTest::addColumn<int>("reading");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        const int pinyin = int(Reading::Pinyin);
        const int characters = int(Reading::Characters);
        const int none = int(Reading::None);
        QTest::newRow("pinyin voice: a date") << pinyin << "今天是2026-12-09，"
                                              << "今天是二〇二六年十二月九日，";
        QTest::newRow("pinyin voice: names and numbers") << pinyin << "祝曾国藩30岁生日快乐，送1个蛋糕"
                                                         << "祝zeng1 guo2 fan1三十岁生日快乐，送yi2个蛋糕";
        QTest::newRow("pinyin voice: 100 people") << pinyin << "100人"
                                                  << "yi4百人";
        QTest::newRow("characters voice: numbers only") << characters << "祝曾国藩30岁，一件"
                                                        << "祝曾国藩三十岁，一件";
        QTest::newRow("a voice that cannot read: as written") << none << "2026-12-09 一件"
                                                              << "2026-12-09 一件";
    }
    void spokenForEachVoice()
    {
        QFETCH(int, reading);
        QFETCH(QString, text);
        QFETCH(QString, expected);
        const Lexicon lexicon(seeds(), roster());
        QCOMPARE(SpokenForm::spoken(text, Reading(reading), lexicon, fakeTone), expected);
    }

    void theCurrentVoiceDecides()
    {
        RecordingVoice voice({ QStringLiteral("Mandarin"), QStringLiteral("Cantonese"), QStringLiteral("English") });
        voice.setChineseReadings({ Reading::Pinyin, Reading::Characters, Reading::None });
        voice.setTones(Tones);
        SpokenForm form(&voice);
        form.publish(std::make_shared<const Lexicon>(seeds(), roster()));
        const QString text = QStringLiteral("曾国藩不是9:30");
        voice.setVoice(0);
        QCOMPARE(form.spoken(text), QStringLiteral("zeng1 guo2 fan1 bu2是九点三十分"));
        voice.setVoice(1);
        QCOMPARE(form.spoken(text), QStringLiteral("曾国藩不是九点三十分"));
        voice.setVoice(2);
        QCOMPARE(form.spoken(text), text);
        QCOMPARE(SpokenForm().spoken(text), text); // no voice at all
    }

    void theVoiceIsAskedOnceForEachFollowingText()
    {
        RecordingVoice voice({ QStringLiteral("Mandarin") });
        voice.setChineseReadings({ Reading::Pinyin });
        voice.setTones(Tones);
        voice.setVoice(0);
        SpokenForm form(&voice);
        form.spoken(QStringLiteral("不是，不是，不是"));
        QCOMPARE(voice.toneQuestions(), QStringList({ QStringLiteral("是") }));
        // The next syllable comes with the word it begins, so the voice's dictionary has its context.
        form.spoken(QStringLiteral("一切顺利"));
        QCOMPARE(voice.toneQuestions().last(), QStringLiteral("切顺利"));
    }

    void aNewLexiconTakesEffectAtTheNextText()
    {
        RecordingVoice voice({ QStringLiteral("Mandarin") });
        voice.setChineseReadings({ Reading::Pinyin });
        voice.setVoice(0);
        SpokenForm form(&voice);
        QCOMPARE(form.spoken(QStringLiteral("银行")), QStringLiteral("银行"));
        form.publish(std::make_shared<const Lexicon>(seeds(), QList<NameReading>()));
        QCOMPARE(form.spoken(QStringLiteral("银行")), QStringLiteral("yin2 hang2"));
        form.publish(nullptr);
        QCOMPARE(form.spoken(QStringLiteral("银行")), QStringLiteral("银行"));
    }

    void listeningToAnEntry_data()
    {
        QTest::addColumn<int>("reading");
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("pinyin");
        QTest::addColumn<bool>("isName");
        QTest::addColumn<QString>("expected");
        const int pinyin = int(Reading::Pinyin);
        QTest::newRow("a word's reading") << pinyin << "银行"
                                          << "yin2 hang2" << false << "yin2 hang2";
        QTest::newRow("a name's own reading") << pinyin << "单雄信"
                                              << "shan4 xiong2 xin4" << true << "shan4 xiong2 xin4";
        QTest::newRow("a name without one: its surname entry") << pinyin << "曾小明"
                                                               << "" << true << "zeng1小明";
        QTest::newRow("another voice hears the characters") << int(Reading::Characters) << "银行"
                                                            << "yin2 hang2" << false << "银行";
    }
    void listeningToAnEntry()
    {
        QFETCH(int, reading);
        QFETCH(QString, word);
        QFETCH(QString, pinyin);
        QFETCH(bool, isName);
        QFETCH(QString, expected);
        RecordingVoice voice({ QStringLiteral("voice") });
        voice.setChineseReadings({ Reading(reading) });
        voice.setVoice(0);
        SpokenForm form(&voice);
        form.publish(std::make_shared<const Lexicon>(seeds(), roster()));
        QCOMPARE(form.entry(word, pinyin, isName), expected);
    }
};

QTEST_APPLESS_MAIN(TestSpokenForm)
#include "test_spokenform.moc"
