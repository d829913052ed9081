// The lexicon's tab and the names' readings inside the running station, on a real draft.dat: edited in
// the windows, heard through 试听, used by every speaking path, and still there after a restart.
#include "birthdays/rosterfiltermodel.h"
#include "birthdays/tfbirthday.h"
#include "data/speechtables.h"
#include "data/tdm.h"
#include "datafixture.h"
#include "recordingvoice.h"
#include "schedule/timeannouncements.h"
#include "shell/station.h"
#include "shell/tf_speaker.h"
#include "shell/tfdelaytime.h"
#include "speech/lexicontab.h"
#include "testdatabase.h"
#include "ui_lexicontab.h"
#include "ui_tf_speaker.h"
#include "ui_tfbirthday.h"

#include <QMenu>
#include <QSqlQuery>
#include <QSqlTableModel>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

using Reading = VoiceEngine::ChineseReading;

class TestReadingsStation : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_fixture = std::make_unique<StationFixture>(QDateTime(QDate(2024, 3, 14), QTime(8, 0)));
        m_voice = std::make_unique<RecordingVoice>(
            QStringList { QStringLiteral("Chinese (Mandarin, latin as Pinyin)"), QStringLiteral("English") });
        m_voice->setChineseReadings({ Reading::Pinyin, Reading::None });
        m_voice->setTones({ { u'是', 4 } });
        m_voice->setVoice(0); // as the engine starts on its first voice
    }

    void cleanup()
    {
        m_fixture.reset();
        m_voice.reset();
    }

    void theTabIsTheFourthPageAndShowsTheLexicon()
    {
        start();
        QTabWidget* pages = m_fixture->station->settingsWindow()->pages();
        QCOMPARE(pages->count(), 6); // the calendar's page before it, the start-up's after it
        QCOMPARE(pages->tabText(4), QStringLiteral("读音词典"));
        LexiconTab* tab = lexiconTab();
        QVERIFY(tab);
        const QAbstractItemModel* grid = tab->form()->DBGridLexicon->model();
        QCOMPARE(grid->rowCount(), SpeechTables::shippedLexicon().size());
        QStringList titles;
        for (int column = 0; column < grid->columnCount(); ++column) {
            if (!tab->form()->DBGridLexicon->isColumnHidden(column)) {
                titles.append(grid->headerData(column, Qt::Horizontal).toString());
            }
        }
        QVERIFY(titles.contains(QStringLiteral("词语")) && titles.contains(QStringLiteral("读音"))
                && titles.contains(QStringLiteral("姓氏")));
        // Selecting a row puts its entry into the fields.
        tab->form()->DBGridLexicon->selectRow(0);
        QCOMPARE(tab->form()->edt_word->text(), SpeechTables::shippedLexicon().first().word);
        QCOMPARE(tab->form()->chk_surname->isChecked(), SpeechTables::shippedLexicon().first().surname);
    }

    void addChangeListenAndDelete()
    {
        start();
        LexiconTab* tab = lexiconTab();
        const QString sentence = QStringLiteral("我的银行卡号不是");
        QCOMPARE(main()->spokenForm().spoken(sentence), QStringLiteral("我的yin2 hang2 ka3号bu2是"));

        setFields(tab, QStringLiteral("银行卡号"), QStringLiteral("Yínháng kǎ hào"), false);
        tab->form()->BitBtn_add->click();
        QVERIFY(m_fixture->dialogs.takeTexts().isEmpty());
        QCOMPARE(storedReading(QStringLiteral("银行卡号")), QStringLiteral("yin2 hang2 ka3 hao4"));
        // At once for every reading from now on.
        QCOMPARE(main()->spokenForm().spoken(sentence), QStringLiteral("我的yin2 hang2 ka3 hao4 bu2是"));

        tab->form()->BitBtn_listen->click();
        QCOMPARE(m_voice->spoken().last().text, QStringLiteral("yin2 hang2 ka3 hao4"));
        QCOMPARE(m_voice->spoken().last().flags, int(VoiceEngine::Async | VoiceEngine::PurgeBeforeSpeak));
        QCOMPARE(m_voice->currentVoice(), 0);

        tab->form()->edt_pinyin->setText(QStringLiteral("yin2 hang2 ka3 hao5"));
        tab->form()->BitBtn_change->click();
        QCOMPARE(m_fixture->dialogs.takeTexts().join(QLatin1Char('|')), QString());
        QCOMPARE(storedReading(QStringLiteral("银行卡号")), QStringLiteral("yin2 hang2 ka3 hao5"));
        QCOMPARE(main()->spokenForm().spoken(QStringLiteral("银行卡号")), QStringLiteral("yin2 hang2 ka3 hao5"));

        m_fixture->dialogs.answerNextQuestion(true);
        tab->form()->BitBtn_delete->click();
        QCOMPARE(m_fixture->dialogs.takeTexts(), QStringList { QStringLiteral("真的要删除这条记录吗?") });
        QVERIFY(storedReading(QStringLiteral("银行卡号")).isNull());
        QCOMPARE(main()->spokenForm().spoken(sentence), QStringLiteral("我的yin2 hang2 ka3号bu2是"));
    }

    void entriesThatCannotBeStored_data()
    {
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("pinyin");
        QTest::addColumn<bool>("surname");
        QTest::addColumn<QString>("message");
        QTest::newRow("no word") << ""
                                 << "yin2" << false << "请输入词语和读音!";
        QTest::newRow("no reading") << "银"
                                    << "" << false << "请输入词语和读音!";
        QTest::newRow("no tones") << "银行卡号"
                                  << "yin hang ka hao" << false << "不是带声调的拼音";
        QTest::newRow("too many syllables") << "单"
                                            << "shan4 dan1" << true << "有 2 个音节";
        QTest::newRow("already there") << "银行"
                                       << "yin2 hang2" << false << "“银行”已在词典中";
        QTest::newRow("already there as a surname") << "曾"
                                                    << "zeng1" << true << "“曾”已在词典中";
    }
    void entriesThatCannotBeStored()
    {
        QFETCH(QString, word);
        QFETCH(QString, pinyin);
        QFETCH(bool, surname);
        QFETCH(QString, message);
        start();
        LexiconTab* tab = lexiconTab();
        const int rows = m_fixture->station->dataModule()->Q_lexicon()->rowCount();
        setFields(tab, word, pinyin, surname);
        tab->form()->BitBtn_add->click();
        const QStringList texts = m_fixture->dialogs.takeTexts();
        QCOMPARE(texts.size(), 1);
        QVERIFY2(texts.first().contains(message), qPrintable(texts.first()));
        QCOMPARE(m_fixture->station->dataModule()->Q_lexicon()->rowCount(), rows);
        QVERIFY(m_voice->spoken().isEmpty());
    }

    void aSurnameEntryAndAPersonsReadingSurviveARestart()
    {
        addEmployee(*dataModuleOfFolder(), QStringLiteral("鲜于明"), QStringLiteral("1990-03-14"),
                    QStringLiteral("2010-01-01"));
        m_setupModule.reset();
        start();
        setFields(lexiconTab(), QStringLiteral("鲜于"), QStringLiteral("xian1 yu2"), true);
        lexiconTab()->form()->BitBtn_add->click();
        whileEditorOpen([](Tfbirthday* editor) {
            editor->form()->edt_emp_name->setText(QStringLiteral("单雄信"));
            editor->form()->edt_pinyin->setText(QStringLiteral("Shàn Xióngxìn"));
            editor->form()->Date1->setDate(QDate(1990, 3, 14));
            editor->form()->Date2->setDate(QDate(2010, 1, 1));
            editor->BitBtn1Click();
        });
        main()->sb_editClick();
        QVERIFY(m_fixture->dialogs.takeTexts().isEmpty());
        const QString text = QStringLiteral("祝鲜于明、单雄信生日快乐");
        const QString expected = QStringLiteral("祝xian1 yu2明、shan4 xiong2 xin4生日快乐");
        QCOMPARE(main()->spokenForm().spoken(text), expected);

        m_fixture->station.reset();
        start();
        QCOMPARE(main()->spokenForm().spoken(text), expected);
    }

    void theRosterEditorsReading()
    {
        start();
        Tfbirthday* editor = m_fixture->station->rosterEditor();
        // A reading that does not fit the name is refused before anything is stored.
        editor->form()->edt_emp_name->setText(QStringLiteral("单雄信"));
        editor->form()->edt_pinyin->setText(QStringLiteral("shan4 xiong2"));
        editor->BitBtn1Click();
        QStringList texts = m_fixture->dialogs.takeTexts();
        QCOMPARE(texts.size(), 1);
        QVERIFY2(texts.first().contains(QStringLiteral("有 2 个音节")), qPrintable(texts.first()));
        QCOMPARE(editor->shownRoster()->rowCount(), 0);

        // 试听 speaks what the station would: the reading typed, or the name with its surname entry.
        editor->form()->BitBtn2->click();
        QCOMPARE(m_fixture->dialogs.takeTexts().size(), 1);
        QVERIFY(m_voice->spoken().isEmpty());
        editor->form()->edt_pinyin->setText(QStringLiteral("shan4 xiong2 xin4"));
        editor->form()->BitBtn2->click();
        QCOMPARE(m_voice->texts().last(), QStringLiteral("shan4 xiong2 xin4"));
        editor->form()->edt_pinyin->clear();
        editor->form()->BitBtn2->click();
        QCOMPARE(m_voice->texts().last(), QStringLiteral("shan4雄信"));

        editor->form()->edt_pinyin->setText(QStringLiteral("shàn xióng xìn"));
        editor->BitBtn1Click();
        QVERIFY(m_fixture->dialogs.takeTexts().isEmpty());
        RosterFilterModel* shown = editor->shownRoster();
        QCOMPARE(shown->rowCount(), 1);
        const QModelIndex reading = shown->index(0, RosterFilterModel::Pinyin);
        QCOMPARE(reading.data().toString(), QStringLiteral("shan4 xiong2 xin4"));
        QCOMPARE(shown->headerData(RosterFilterModel::Pinyin, Qt::Horizontal).toString(), QStringLiteral("读音"));

        // In the grid: a wrong reading is refused and undone, a right one stored in its stored form,
        // an empty one removed.
        QVERIFY(!shown->setData(reading, QStringLiteral("shan")));
        texts = m_fixture->dialogs.takeTexts();
        QCOMPARE(texts.size(), 1);
        QVERIFY2(texts.first().contains(QStringLiteral("不是带声调的拼音")), qPrintable(texts.first()));
        QCOMPARE(reading.data().toString(), QStringLiteral("shan4 xiong2 xin4"));
        QVERIFY(shown->setData(reading, QStringLiteral("Dan1 Xiong2 Xin4")));
        QVERIFY(shown->submit());
        QCOMPARE(storedPersonReading(QStringLiteral("单雄信")), QStringLiteral("dan1 xiong2 xin4"));
        QVERIFY(shown->setData(reading, QStringLiteral("  ")));
        QVERIFY(shown->submit());
        QVERIFY(storedPersonReading(QStringLiteral("单雄信")).isNull());

        // The grid's menu speaks the current person.
        editor->form()->DBGridEh1->setCurrentIndex(shown->index(0, RosterFilterModel::EmpName));
        auto* N2 = editor->findChild<QAction*>(QStringLiteral("N2"));
        QVERIFY(N2);
        N2->trigger();
        QCOMPARE(m_voice->texts().last(), QStringLiteral("shan4雄信"));
    }

    void listeningWaitsForTheBroadcast()
    {
        start();
        m_fixture->station->readingState().claim();
        setFields(lexiconTab(), QStringLiteral("银行"), QStringLiteral("yin2 hang2"), false);
        lexiconTab()->form()->BitBtn_listen->click();
        QCOMPARE(m_fixture->dialogs.takeTexts(), QStringList { QStringLiteral("正在播报，请在播报结束后再试听。") });
        QVERIFY(m_voice->spoken().isEmpty());
        m_fixture->station->readingState().release();
    }

    // The time announcement is handed the time in words, the reading each piece in words.
    void everySpeakingPathHandsTheWords()
    {
        start();
        TimeAnnouncements* announcements = main()->timeAnnouncements();
        announcements->setChime(nullptr);
        announcements->telltimeing(QStringLiteral("09:30:00"));
        m_fixture->clock.advance(1300);
        announcements->telltimeTimer();
        QCOMPARE(m_voice->texts(), QStringList { QStringLiteral("现在是北京时间九点三十分") });

        m_voice->clear();
        main()->form()->Memo1->setPlainText(QStringLiteral("体温36.5度。不是"));
        main()->form()->SB_play->click();
        QTRY_VERIFY(!m_fixture->station->readingState().isreading());
        QCOMPARE(m_voice->texts(), QStringList({ QStringLiteral("体温三十六点五度。"), QStringLiteral("bu2是") }));
        // The editor keeps the text as written.
        QCOMPARE(main()->form()->Memo1->toPlainText(), QStringLiteral("体温36.5度。不是"));
    }

private:
    void start()
    {
        Services services;
        services.voice = m_voice.get();
        m_fixture->start(services);
    }
    Tf_speaker* main() const { return m_fixture->main(); }

    LexiconTab* lexiconTab() const
    {
        QTabWidget* pages = m_fixture->station->settingsWindow()->pages();
        for (int page = 0; page < pages->count(); ++page) {
            if (auto* tab = qobject_cast<LexiconTab*>(pages->widget(page))) {
                return tab;
            }
        }
        return nullptr;
    }

    static void setFields(LexiconTab* tab, const QString& word, const QString& pinyin, bool surname)
    {
        tab->form()->edt_word->setText(word);
        tab->form()->edt_pinyin->setText(pinyin);
        tab->form()->chk_surname->setChecked(surname);
    }

    TDM* dataModuleOfFolder()
    {
        m_setupModule = std::make_unique<TDM>(m_fixture->services());
        if (!m_setupModule->DataModuleCreate()) {
            qFatal("draft.dat does not open");
        }
        return m_setupModule.get();
    }

    QVariant query(const QString& sql, const QString& value) const
    {
        QSqlQuery q(m_fixture->station->dataModule()->database());
        q.prepare(sql);
        q.addBindValue(value);
        if (!q.exec() || !q.next()) {
            return QVariant();
        }
        return q.value(0);
    }
    QString storedReading(const QString& word) const
    {
        const QVariant value = query(QStringLiteral("SELECT pinyin FROM lexicon WHERE word = ?"), word);
        return value.isValid() ? value.toString() : QString();
    }
    QString storedPersonReading(const QString& name) const
    {
        const QVariant value = query(QStringLiteral("SELECT pinyin FROM birthday WHERE emp_name = ?"), name);
        return value.isNull() ? QString() : value.toString();
    }

    void whileEditorOpen(const std::function<void(Tfbirthday*)>& steps)
    {
        Tfbirthday* editor = m_fixture->station->rosterEditor();
        QTimer::singleShot(0, editor, [editor, steps] {
            steps(editor);
            editor->reject();
        });
    }

    std::unique_ptr<StationFixture> m_fixture;
    std::unique_ptr<RecordingVoice> m_voice;
    std::unique_ptr<TDM> m_setupModule;
};

QTEST_MAIN(TestReadingsStation)
#include "test_readingsstation.moc"
