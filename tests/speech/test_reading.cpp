#include "common/ansi.h"
#include "common/readingstate.h"
#include "common/sounddevice.h"
#include "datafixture.h"
#include "fakeclock.h"
#include "recordingdialogs.h"
#include "recordingvoice.h"
#include "shell/station.h"
#include "shell/tf_speaker.h"
#include "speech/espeakvoiceengine.h"
#include "speech/pausesymbols.h"
#include "speech/readingcommands.h"
#include "speech/tts.h"
#include "testdatabase.h"
#include "testfolder.h"
#include "ui_tf_speaker.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSpinBox>
#include <QTest>
#include <QTextBlock>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <atomic>

namespace {

struct Highlight
{
    int start; // bytes
    int length;
    QDateTime at;
    int scroll;
};

} // namespace

class TestReading : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void piecesLightUpInTheEditor();
    void buttonsCallTheController();
    void stopButtonDuringReading_data();
    void stopButtonDuringReading();
    void playWithoutVoice();
    void caretPositionInStatusBar();
    void longParagraphScrollsOneLineAtATime();
    void memo2CopiesMemo1();
    void endingDuringPauseWait();
    void realEspeakReadsToTheEnd();

private:
    void build(VoiceEngine* voice);
    void setText(const QString& text);
    void waitForEnd();
    QStringList spoken() const { return m_voice->texts(); }
    ReadingController& controller() { return m_reading->controller(); }

    std::unique_ptr<FakeClock> m_clock;
    std::unique_ptr<RecordingDialogs> m_dialogs;
    std::unique_ptr<RecordingVoice> m_voice;
    std::unique_ptr<ReadingState> m_state;
    std::unique_ptr<PauseSymbols> m_pauses;
    std::unique_ptr<QWidget> m_window;
    QPlainTextEdit* m_memo1 = nullptr;
    QPlainTextEdit* m_memo2 = nullptr;
    QComboBox* m_voices = nullptr;
    QToolButton* m_play = nullptr;
    QToolButton* m_stop = nullptr;
    QToolButton* m_repeat = nullptr;
    QToolButton* m_delay = nullptr;
    QSpinBox* m_times = nullptr;
    QSpinBox* m_interval = nullptr;
    QLabel* m_panel = nullptr;
    std::unique_ptr<ReadingCommands> m_reading;
    QList<Highlight> m_highlights;
};

void TestReading::init()
{
    m_clock = std::make_unique<FakeClock>(2024, 3, 4, 9, 0, 0);
    m_dialogs = std::make_unique<RecordingDialogs>();
    m_voice = std::make_unique<RecordingVoice>();
    m_state = std::make_unique<ReadingState>();
    m_pauses = std::make_unique<PauseSymbols>();
    m_pauses->publish(std::make_shared<const PauseTable>(QStringLiteral("，。"),
                                                         QHash<char32_t, int> { { U'，', 300 }, { U'。', 500 } }));
    m_pauses->setMarkdelay(800);
    m_highlights.clear();
    build(m_voice.get());
}

void TestReading::build(VoiceEngine* voice)
{
    m_reading.reset();
    m_window = std::make_unique<QWidget>();
    auto* layout = new QVBoxLayout(m_window.get());
    m_memo1 = new QPlainTextEdit;
    m_memo1->setReadOnly(true);
    m_memo2 = new QPlainTextEdit;
    m_memo2->setVisible(false);
    m_voices = new QComboBox;
    for (const QString& name : voice->voices()) {
        m_voices->addItem(name);
    }
    m_play = new QToolButton;
    m_stop = new QToolButton;
    m_repeat = new QToolButton;
    m_repeat->setVisible(false);
    m_delay = new QToolButton;
    m_times = new QSpinBox;
    m_times->setRange(1, 1000000);
    m_interval = new QSpinBox;
    m_interval->setRange(1, 10000000);
    m_panel = new QLabel;
    for (QWidget* w : std::initializer_list<QWidget*> { m_memo1, m_memo2, m_voices, m_play, m_stop, m_repeat, m_delay,
                                                        m_times, m_interval, m_panel }) {
        layout->addWidget(w);
    }
    m_window->resize(400, 300);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));

    ReadingWidgets widgets;
    widgets.Memo1 = m_memo1;
    widgets.Memo2 = m_memo2;
    widgets.flatComboBox1 = m_voices;
    widgets.SB_play = m_play;
    widgets.SB_stop = m_stop;
    widgets.SB_repeat1 = m_repeat;
    widgets.sb_delay = m_delay;
    widgets.SpinEdit1 = m_times;
    widgets.SpinEdit2 = m_interval;
    widgets.statusPanel0 = m_panel;
    Services services = fakeServices(*m_clock, *m_dialogs);
    services.voice = voice;
    m_reading = std::make_unique<ReadingCommands>(widgets, services, *m_state, *m_pauses, std::function<void()>());
    // Ticks are driven by the test under the fake clock, never by real time.
    controller().readcycled()->setInterval(24 * 3600 * 1000);

    connect(m_memo1, &QPlainTextEdit::selectionChanged, m_reading.get(), [this] {
        const QTextCursor cursor = m_memo1->textCursor();
        if (cursor.hasSelection()) {
            const QString text = m_memo1->toPlainText();
            const int start = Ansi::byteOffset(text, cursor.selectionStart());
            m_highlights.append({ start, Ansi::byteOffset(text, cursor.selectionEnd()) - start, m_clock->now(),
                                  m_memo1->verticalScrollBar()->value() });
        }
    });
}

void TestReading::cleanup()
{
    m_reading.reset();
    m_window.reset();
    QCOMPARE(m_state->readings(), 0);
    m_dialogs->verifyAllSeen();
    m_dialogs.reset();
    m_pauses.reset();
    m_state.reset();
    m_voice.reset();
    m_clock.reset();
}

void TestReading::setText(const QString& text)
{
    m_memo1->setPlainText(text);
    m_highlights.clear();
}

void TestReading::waitForEnd()
{
    QTRY_COMPARE(controller().runningThreads(), 0);
    QTRY_COMPARE(m_state->readings(), 0);
    QCoreApplication::processEvents(); // the thread's last queued calls
}

void TestReading::piecesLightUpInTheEditor()
{
    // The rules are the controller's (test_readingcontroller); here the window's editor serves them.
    m_voice->setSpeakDuration(1000, *m_clock);
    setText(QStringLiteral("今天是%Date%，※祝你生日快乐。再见"));
    const QDateTime start = m_clock->now();
    m_play->click();
    QVERIFY(!m_delay->isEnabled());
    QVERIFY(!m_times->isEnabled());
    QVERIFY(!m_interval->isEnabled());
    QVERIFY(m_state->isreading());
    waitForEnd();

    QCOMPARE(spoken().size(), 3);
    QCOMPARE(m_highlights.size(), 3);
    // The highlight covers the editor's own text, placeholder and mark included.
    QCOMPARE(m_highlights[0].start, 0);
    QCOMPARE(m_highlights[0].length, 14);
    QCOMPARE(m_highlights[1].start, 14);
    QCOMPARE(m_highlights[1].length, 16);
    QCOMPARE(m_highlights[2].start, 30);
    QCOMPARE(m_highlights[2].length, 4);
    QCOMPARE(m_highlights[0].at, start);
    QCOMPARE(start.msecsTo(m_highlights[1].at), 1000 + 300);
    QCOMPARE(m_highlights[1].at.msecsTo(m_highlights[2].at), 800 + 1000 + 500);
    // The end steps re-enable the controls on the main thread; the caret stands after the text.
    QVERIFY(m_delay->isEnabled());
    QVERIFY(m_times->isEnabled());
    QVERIFY(m_interval->isEnabled());
    QCOMPARE(m_memo1->textCursor().position(), m_memo1->toPlainText().size());
}

void TestReading::buttonsCallTheController()
{
    setText(QStringLiteral("生日快乐"));
    m_times->setValue(3);
    m_interval->setValue(10);
    m_repeat->click(); // hidden, but its handler is the whole-text loop
    QVERIFY(controller().repetitionActive());
    QCOMPARE(controller().readtimes(), 3);
    QCOMPARE(controller().intervaltime(), 10);
    QCOMPARE(m_memo1->textCursor().selectedText(), QStringLiteral("生日快乐"));
    controller().readcycledTimer();
    QVERIFY(!m_delay->isEnabled());
    waitForEnd();
    m_stop->click();
    QVERIFY(!controller().repetitionActive());
    QVERIFY(m_delay->isEnabled());
    QVERIFY(!m_state->isreading());
    QCOMPARE(spoken().size(), 1);
}

void TestReading::stopButtonDuringReading_data()
{
    QTest::addColumn<bool>("repeated");
    QTest::addColumn<int>("expected");
    // A range reading speaks the highlighted piece; the caret loop looks at the stop before it.
    QTest::newRow("repetition") << true << 2;
    QTest::newRow("play") << false << 1;
}

void TestReading::stopButtonDuringReading()
{
    QFETCH(bool, repeated);
    QFETCH(int, expected);
    setText(QStringLiteral("第一，第二，第三，第四。"));
    // The user presses stop when the second piece lights up.
    connect(m_memo1, &QPlainTextEdit::selectionChanged, m_reading.get(), [this] {
        const QTextCursor cursor = m_memo1->textCursor();
        if (cursor.selectionStart() == 3 && cursor.selectionEnd() == 6) {
            m_stop->click();
        }
    });
    m_times->setValue(2);
    if (repeated) {
        m_repeat->click();
        controller().readcycledTimer();
    } else {
        m_play->click();
    }
    waitForEnd();
    QCOMPARE(spoken().size(), expected);
    QVERIFY(!controller().repetitionActive());
    QVERIFY(!m_state->isreading());
    QVERIFY(m_delay->isEnabled());
}

void TestReading::playWithoutVoice()
{
    RecordingVoice silent(QStringList {});
    build(&silent);
    setText(QStringLiteral("你好"));
    m_play->click();
    QCOMPARE(m_dialogs->takeTexts(), QStringList { QStringLiteral("请选择语音引擎!") });
    QVERIFY(!m_state->isreading());
    QVERIFY(m_delay->isEnabled());
    m_repeat->click();
    QCOMPARE(m_dialogs->takeTexts(), QStringList { QStringLiteral("请选择语音引擎!") });
    QVERIFY(!controller().repetitionActive());
    QCOMPARE(controller().runningThreads(), 0);
    m_reading.reset();
}

void TestReading::caretPositionInStatusBar()
{
    setText(QStringLiteral("第一行\n第二行abc"));
    QTextCursor cursor = m_memo1->textCursor();
    cursor.setPosition(4); // start of the second line
    m_memo1->setTextCursor(cursor);
    QTest::keyRelease(m_memo1, Qt::Key_Down);
    QCOMPARE(m_panel->text(), QStringLiteral("   2:1"));
    cursor.setPosition(6); // after two Chinese characters
    m_memo1->setTextCursor(cursor);
    QTest::mouseRelease(m_memo1->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    // The click itself may move the caret; take the position the test set.
    m_memo1->setTextCursor(cursor);
    m_reading->showcaretpos();
    QCOMPARE(m_panel->text(), QStringLiteral("   2:5"));
    cursor.setPosition(10);
    m_memo1->setTextCursor(cursor);
    m_reading->showcaretpos();
    QCOMPARE(m_panel->text(), QStringLiteral("   2:10"));
}

void TestReading::longParagraphScrollsOneLineAtATime()
{
    m_window->resize(140, 300);
    m_memo1->setFixedSize(120, 70);
    QCoreApplication::processEvents();
    QString text;
    for (int i = 0; i < 40; ++i) {
        text += QStringLiteral("祝第%1位同事生日快乐，").arg(i);
    }
    setText(text);
    QCoreApplication::processEvents();
    QCOMPARE(m_memo1->document()->blockCount(), 1);
    QList<int> scrolls;
    connect(m_memo1->verticalScrollBar(), &QScrollBar::valueChanged, this, [&](int value) {
        const int last = scrolls.isEmpty() ? 0 : scrolls.last();
        if (value != last) { // a view put back where it was is no scroll
            scrolls.append(value);
        }
    });
    m_play->click();
    waitForEnd();

    QCOMPARE(spoken().join(QString()), text);
    QVERIFY(m_memo1->verticalScrollBar()->maximum() > 3);
    QVERIFY2(scrolls.size() > 3, "the view never moved");
    for (int i = 0; i < scrolls.size(); ++i) {
        QCOMPARE(scrolls[i], i + 1); // one line down at a time, never back
    }
    for (int i = 1; i < m_highlights.size(); ++i) {
        QVERIFY(m_highlights[i].scroll - m_highlights[i - 1].scroll <= 1);
    }
    // What the view shows at its top is the display line the scroll bar names.
    const int topChar = m_memo1->cursorForPosition(QPoint(2, 2)).position();
    QCOMPARE(m_memo1->document()->firstBlock().layout()->lineForTextPosition(topChar).lineNumber(),
             m_memo1->verticalScrollBar()->value());
    // The loop ended with the caret on the last display line.
    const QTextBlock block = m_memo1->document()->firstBlock();
    const QTextLayout* layout = block.layout();
    QVERIFY(layout->lineCount() > 5);
    QCOMPARE(layout->lineForTextPosition(m_memo1->textCursor().position()).lineNumber(), layout->lineCount() - 1);
}

void TestReading::memo2CopiesMemo1()
{
    setText(QStringLiteral("新的公告，内容。"));
    QCOMPARE(m_memo2->toPlainText(), m_memo1->toPlainText());
    // The voice that reads Memo2 speaks Memo2's text at the highlighted positions.
    RecordingVoice sinji(QStringList { QStringLiteral("Sin-Ji_Full_22kHz (Cantonese)") });
    build(&sinji);
    setText(QStringLiteral("甲乙，丙丁。"));
    m_memo2->setPlainText(QStringLiteral("ABCD，EFGH。")); // aligned byte for byte
    m_play->click();
    waitForEnd();
    QCOMPARE(sinji.texts(), (QStringList { QStringLiteral("ABCD，"), QStringLiteral("EFGH。") }));
    m_reading.reset();
}

void TestReading::endingDuringPauseWait()
{
    // The real clock: the reading really sits in a pause of a quarter of an hour when the station ends.
    m_reading.reset();
    m_window.reset();
    m_clock.reset();
    TestFolder folder;
    createTestDatabase(folder);
    // On the real clock the scheduler runs too: a range that holds all day on no weekday keeps it
    // from stopping this reading (after the range) or starting one of its own.
    folder.write(QStringLiteral("setinfo.ini"),
                 "[System]\r\nplaytime1=00:00:00\r\nplaytime2=23:59:59\r\nCheckBox1=0\r\nCheckBox2=0\r\n"
                 "CheckBox3=0\r\nCheckBox4=0\r\nCheckBox5=0\r\nCheckBox6=0\r\nCheckBox7=0\r\nTts_information=1\r\n");
    RecordingVoice voice;
    Services services;
    services.dialogs = m_dialogs.get();
    services.voice = &voice;
    auto station = std::make_unique<Station>(services);
    QVERIFY(station->start());
    Tf_speaker* main = station->mainWindow();
    QCOMPARE(main->form()->flatComboBox1->currentText(), voice.voices().first());
    main->pauseSymbols().publish(
        std::make_shared<const PauseTable>(QStringLiteral("，"), QHash<char32_t, int> { { U'，', 900000 } }));
    main->form()->Memo1->setPlainText(QStringLiteral("第一，第二，第三。"));
    QVERIFY(main->readingCommands() != nullptr);
    main->form()->SB_play->click();
    QTRY_COMPARE(voice.texts().size(), 1);
    QVERIFY(station->readingState().isreading());
    // The end of the session's path: the pause of a quarter of an hour is not waited out (the bound of
    // 100 ms at each point of the piece loop is test_readingshutdown's; here the whole window ends).
    QElapsedTimer timer;
    timer.start();
    main->endWithoutSaving();
    QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(station->readingState().readings(), 0);
    station.reset(); // must neither hang nor crash
    QCOMPARE(voice.texts(), QStringList { QStringLiteral("第一，") });
    m_clock = std::make_unique<FakeClock>();
}

void TestReading::realEspeakReadsToTheEnd()
{
    SoundDevice sound; // the dummy driver in tests
    EspeakVoiceEngine espeak(&sound);
    QVERIFY2(espeak.isAvailable(), qPrintable(espeak.failure()));
    build(&espeak);
    QVERIFY(m_voices->currentText().contains(QLatin1String("Mandarin")));
    setText(QStringLiteral("你好，%Date%。再见"));
    m_play->click();
    QTRY_COMPARE_WITH_TIMEOUT(controller().runningThreads(), 0, 20000);
    waitForEnd();
    QCOMPARE(m_highlights.size(), 3);
    QCOMPARE(m_highlights[2].start, Ansi::length(QStringLiteral("你好，%Date%。")));
    QCOMPARE(m_highlights[2].length, 4);
    QCOMPARE(m_clock->waited(), 300 + 500); // both pauses, after pieces the engine finished
    QVERIFY(!m_state->isreading());
    QVERIFY(m_delay->isEnabled());
    QCOMPARE(m_memo1->textCursor().position(), m_memo1->toPlainText().size());
    m_reading.reset();
}

QTEST_MAIN(TestReading)
#include "test_reading.moc"
