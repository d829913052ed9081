#include "common/ansi.h"
#include "common/readingstate.h"
#include "common/sounddevice.h"
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

    RecordingVoice m_inner;
    std::atomic<int> m_active { 0 };
    std::atomic<bool> m_overlapped { false };
};

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
    void stopDuringInterval();
    void stopDuringReading_data();
    void stopDuringReading();
    void playWithoutVoice();
    void playBlankTextStartsNothing();
    void caretPositionInStatusBar();
    void longParagraphScrollsOneLineAtATime();
    void engineFailureStillEnds();
    void quickPressesNeverOverlap();
    void memo2CopiesMemo1();
    void endingDuringPauseWait();
    void realEspeakReadsToTheEnd();

private:
    void build(VoiceEngine* voice);
    void setText(const QString& text);
    void waitForEnd();
    QStringList spoken() const { return m_voice->texts(); }

    std::unique_ptr<FakeClock> m_clock;
    std::unique_ptr<RecordingDialogs> m_dialogs;
    std::unique_ptr<RecordingVoice> m_voice;
    std::unique_ptr<ReadingState> m_state;
    std::unique_ptr<PauseSymbols> m_pauses;
    std::unique_ptr<QWidget> m_window;
    QPlainTextEdit* m_memo1 = nullptr;
    QPlainTextEdit* m_memo2 = nullptr;
    QComboBox* m_voices = nullptr;
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
    m_delay = new QToolButton;
    m_times = new QSpinBox;
    m_times->setRange(1, 1000000);
    m_interval = new QSpinBox;
    m_interval->setRange(1, 10000000);
    m_panel = new QLabel;
    for (QWidget* w :
         std::initializer_list<QWidget*> { m_memo1, m_memo2, m_voices, m_delay, m_times, m_interval, m_panel }) {
        layout->addWidget(w);
    }
    m_window->resize(400, 300);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));

    ReadingWidgets widgets;
    widgets.Memo1 = m_memo1;
    widgets.Memo2 = m_memo2;
    widgets.flatComboBox1 = m_voices;
    widgets.sb_delay = m_delay;
    widgets.SpinEdit1 = m_times;
    widgets.SpinEdit2 = m_interval;
    widgets.statusPanel0 = m_panel;
    m_reading = std::make_unique<ReadingCommands>(voice, *m_state, *m_pauses, widgets, std::function<void()>());
    QCOMPARE(m_reading->readcycled()->interval(), 1000);
    // Ticks are driven by the test under the fake clock, never by real time.
    m_reading->readcycled()->setInterval(24 * 3600 * 1000);

    connect(m_memo1, &QPlainTextEdit::selectionChanged, m_reading.get(), [this] {
        const QTextCursor cursor = m_memo1->textCursor();
        if (cursor.hasSelection()) {
            const QString text = m_memo1->toPlainText();
            const int start = Ansi::byteOffset(text, cursor.selectionStart());
            m_highlights.append({ start, Ansi::byteOffset(text, cursor.selectionEnd()) - start,
                                  Clock::currentDateTime(), m_memo1->verticalScrollBar()->value() });
        }
    });
}

void TestReading::cleanup()
{
    m_reading.reset();
    m_window.reset();
    QCOMPARE(Tts::pendingReadings(), 0);
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
    QTRY_COMPARE(m_reading->runningThreads(), 0);
    QTRY_COMPARE(Tts::pendingReadings(), 0);
    QCoreApplication::processEvents(); // the thread's last queued calls
}

void TestReading::piecesPausesAndHighlights()
{
    m_voice->setSpeakDuration(1000);
    setText(QStringLiteral("今天是%Date%，※祝你生日快乐。再见"));
    const QDateTime start = Clock::currentDateTime();
    m_reading->ToolButton9Click();
    QVERIFY(!m_delay->isEnabled());
    QVERIFY(!m_times->isEnabled());
    QVERIFY(m_state->isreading);
    waitForEnd();

    QCOMPARE(spoken(),
             (QStringList { QStringLiteral("今天是2024-03-04，"), QStringLiteral("祝你生日快乐。"),
                            QStringLiteral("再见") }));
    for (const RecordingVoice::Spoken& s : m_voice->spoken()) {
        QCOMPARE(s.flags, int(VoiceEngine::PurgeBeforeSpeak));
        QCOMPARE(s.voice, 0);
    }
    QCOMPARE(m_highlights.size(), 3);
    // The highlight covers the editor's own text, placeholder and mark included.
    QCOMPARE(m_highlights[0].start, 0);
    QCOMPARE(m_highlights[0].length, 14);
    QCOMPARE(m_highlights[1].start, 14);
    QCOMPARE(m_highlights[1].length, 16);
    QCOMPARE(m_highlights[2].start, 30);
    QCOMPARE(m_highlights[2].length, 4);
    // Speaking 1 s, then the symbol's pause; the mark waits before its piece.
    QCOMPARE(m_highlights[0].at, start);
    QCOMPARE(start.msecsTo(m_highlights[1].at), 1000 + 300);
    QCOMPARE(m_highlights[1].at.msecsTo(m_highlights[2].at), 800 + 1000 + 500);

    QVERIFY(!m_state->isreading);
    QCOMPARE(m_state->lastreadend(), m_highlights[2].at.addMSecs(1000));
    QVERIFY(m_delay->isEnabled());
    QVERIFY(m_times->isEnabled());
    QVERIFY(m_interval->isEnabled());
    QCOMPARE(m_memo1->textCursor().position(), m_memo1->toPlainText().size());
}

void TestReading::dateTakenWhenEachPieceIsSpoken()
{
    m_reading->setDatetimetype(2);
    m_voice->setSpeakDuration(2000);
    setText(QStringLiteral("%Date%，%DATE%。%Date%"));
    m_reading->ToolButton9Click();
    waitForEnd();
    QCOMPARE(spoken(),
             (QStringList { QStringLiteral("9:00:00，"), QStringLiteral("%DATE%。"), QStringLiteral("9:00:04") }));
}

void TestReading::windowsWithoutSymbols()
{
    // 1 + 1198 + 1 bytes: the 500-byte limit would fall inside a character twice.
    const QString text = QLatin1Char('a') + QString(599, QChar(u'好')) + QLatin1Char('b');
    QCOMPARE(Ansi::length(text), 1200);
    setText(text);
    m_reading->ToolButton9Click();
    waitForEnd();
    QCOMPARE(spoken().size(), 3);
    QCOMPARE(spoken().join(QString()), text);
    QCOMPARE(Ansi::length(spoken()[0]), 499);
    QCOMPARE(Ansi::length(spoken()[1]), 500);
    QCOMPARE(Ansi::length(spoken()[2]), 201);
    QCOMPARE(m_highlights.size(), 3);
    QCOMPARE(m_highlights[1].start, 499);
    QCOMPARE(m_highlights[2].start, 999);
    QCOMPARE(m_clock->waited(), 0); // no pauses
}

void TestReading::longTextIsReadToTheEnd()
{
    // A long paragraph (16 KB of ANSI bytes), a comma now and then: every piece is spoken once, in order.
    QString text;
    while (Ansi::length(text) < (1 << 14)) {
        text += QStringLiteral("祝大家生日快乐，身体健康万事如意abc ");
    }
    setText(text);
    m_reading->ToolButton9Click();
    QTRY_COMPARE_WITH_TIMEOUT(m_reading->runningThreads(), 0, 20000);
    waitForEnd();
    QCOMPARE(spoken().join(QString()), text);
    QVERIFY(!m_state->isreading);
    QVERIFY(m_delay->isEnabled());
}

void TestReading::caretLoopEdges_data()
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

void TestReading::caretLoopEdges()
{
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    QFETCH(qint64, waited);
    setText(text);
    m_reading->ToolButton9Click();
    waitForEnd();
    QStringList trimmed;
    for (const QString& piece : spoken()) {
        trimmed.append(piece.trimmed());
    }
    QCOMPARE(trimmed, expected);
    QCOMPARE(m_clock->waited(), waited);
    QVERIFY(!m_state->isreading);
    QVERIFY(m_delay->isEnabled());
}

void TestReading::rangeWithEmptySelection()
{
    setText(QStringLiteral("你好，世界。"));
    m_state->readmode = 1;
    m_state->standalone = false;
    m_state->isreading = true;
    m_reading->readtxt();
    waitForEnd();
    QVERIFY(spoken().isEmpty());
    QVERIFY(!m_state->isreading);
    QCOMPARE(m_state->lastreadend(), Clock::currentDateTime());
}

void TestReading::repetition_data()
{
    QTest::addColumn<int>("readtimes");
    QTest::newRow("once") << 1;
    QTest::newRow("twice") << 2;
    QTest::newRow("three times") << 3;
}

void TestReading::repetition()
{
    QFETCH(int, readtimes);
    m_voice->setSpeakDuration(2500);
    setText(QStringLiteral("生日快乐"));
    m_times->setValue(readtimes);
    m_interval->setValue(10);
    m_reading->SB_repeat1Click();
    QVERIFY(m_reading->repetitionActive());
    QVERIFY(m_state->isreading);
    QVERIFY(!m_state->standalone);
    QCOMPARE(m_memo1->textCursor().selectedText(), QStringLiteral("生日快乐"));

    // Ticks once a second on the fake clock; a tick that falls inside a reading comes when it ended.
    const QDateTime t0 = Clock::currentDateTime();
    QList<QDateTime> ends;
    QList<QDateTime> starts;
    for (int k = 0; k < 200 && m_reading->repetitionActive(); ++k) {
        const QDateTime tick = t0.addSecs(k);
        if (Clock::currentDateTime() < tick) {
            m_clock->set(tick);
        }
        const int before = spoken().size();
        const QDateTime tickedAt = Clock::currentDateTime();
        m_reading->readcycledTimer();
        if (k > 0) {
            QVERIFY(!m_delay->isEnabled() || !m_reading->repetitionActive());
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
    QCOMPARE(m_memo1->textCursor().selectedText(), QStringLiteral("生日快乐"));
    QVERIFY(m_delay->isEnabled());
    QVERIFY(m_times->isEnabled());
    QVERIFY(!m_state->isreading);
}

void TestReading::repetitionAcrossMidnight()
{
    m_clock->set(QDateTime(QDate(2024, 3, 4), QTime(23, 59, 55)));
    setText(QStringLiteral("生日快乐"));
    m_times->setValue(2);
    m_interval->setValue(10);
    m_reading->SB_repeat1Click();
    m_reading->readcycledTimer();
    waitForEnd();
    QCOMPARE(spoken().size(), 1);
    QDateTime second;
    for (int k = 0; k < 12 && spoken().size() < 2; ++k) {
        m_clock->advance(1000);
        second = Clock::currentDateTime();
        m_reading->readcycledTimer();
        waitForEnd();
    }
    QCOMPARE(spoken().size(), 2);
    QCOMPARE(second.date(), QDate(2024, 3, 5));
}

void TestReading::stopDuringInterval()
{
    setText(QStringLiteral("生日快乐"));
    m_times->setValue(3);
    m_interval->setValue(10);
    m_reading->SB_repeat1Click();
    m_reading->readcycledTimer();
    waitForEnd();
    QCOMPARE(spoken().size(), 1);
    m_clock->advance(3000);
    m_reading->SB_stopClick();
    QVERIFY(!m_reading->repetitionActive());
    QVERIFY(m_delay->isEnabled());
    QVERIFY(m_times->isEnabled());
    QVERIFY(!m_state->isreading);
    // A thread reading has run, so stop does not purge the voice.
    QCOMPARE(spoken().size(), 1);
    m_clock->advance(60000);
    QCoreApplication::processEvents();
    QCOMPARE(m_reading->runningThreads(), 0);
    QCOMPARE(spoken().size(), 1);
}

void TestReading::stopDuringReading_data()
{
    QTest::addColumn<bool>("repeated");
    QTest::addColumn<int>("expected");
    // A range reading speaks the highlighted piece; the caret loop looks at the stop before it.
    QTest::newRow("repetition") << true << 2;
    QTest::newRow("play") << false << 1;
}

void TestReading::stopDuringReading()
{
    QFETCH(bool, repeated);
    QFETCH(int, expected);
    setText(QStringLiteral("第一，第二，第三，第四。"));
    // The user presses stop when the second piece lights up.
    connect(m_memo1, &QPlainTextEdit::selectionChanged, m_reading.get(), [this] {
        const QTextCursor cursor = m_memo1->textCursor();
        if (cursor.selectionStart() == 3 && cursor.selectionEnd() == 6) {
            m_reading->SB_stopClick();
        }
    });
    m_times->setValue(2);
    if (repeated) {
        m_reading->SB_repeat1Click();
        m_reading->readcycledTimer();
    } else {
        m_reading->ToolButton9Click();
    }
    waitForEnd();
    QCOMPARE(spoken().size(), expected);
    QVERIFY(!m_reading->repetitionActive());
    QVERIFY(!m_state->isreading);
    QVERIFY(m_delay->isEnabled());
    m_clock->advance(60000);
    QCOMPARE(spoken().size(), expected);
}

void TestReading::playWithoutVoice()
{
    RecordingVoice silent(QStringList {});
    build(&silent);
    setText(QStringLiteral("你好"));
    m_reading->ToolButton9Click();
    QCOMPARE(m_dialogs->takeTexts(), QStringList { QStringLiteral("请选择语音引擎!") });
    QVERIFY(!m_state->isreading);
    QVERIFY(m_delay->isEnabled());
    m_reading->SB_repeat1Click();
    QCOMPARE(m_dialogs->takeTexts(), QStringList { QStringLiteral("请选择语音引擎!") });
    QVERIFY(!m_reading->repetitionActive());
    QVERIFY(!m_state->isreading);
    QCOMPARE(m_reading->runningThreads(), 0);
    m_reading.reset();
}

void TestReading::playBlankTextStartsNothing()
{
    setText(QStringLiteral(" \n\t \n"));
    m_reading->ToolButton9Click();
    m_reading->SB_repeat1Click();
    QCOMPARE(m_reading->runningThreads(), 0);
    QVERIFY(!m_reading->repetitionActive());
    QVERIFY(!m_state->isreading);
    // Stop before any thread reading purges the voice.
    m_reading->SB_stopClick();
    QCOMPARE(m_voice->spoken().size(), 1);
    QCOMPARE(m_voice->spoken()[0].text, QString());
    QCOMPARE(m_voice->spoken()[0].flags, int(VoiceEngine::PurgeBeforeSpeak));
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
    m_reading->ToolButton9Click();
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

void TestReading::engineFailureStillEnds()
{
    setText(QStringLiteral("第一，第二。"));
    m_voice->failNextSpeak(QStringLiteral("engine gone"));
    m_reading->ToolButton9Click();
    waitForEnd();
    QVERIFY(spoken().isEmpty());
    QVERIFY(!m_state->isreading);
    QCOMPARE(m_state->lastreadend(), Clock::currentDateTime());
    QVERIFY(m_delay->isEnabled());
    // The lock was released: the next reading runs.
    m_reading->ToolButton9Click();
    waitForEnd();
    QCOMPARE(spoken(), (QStringList { QStringLiteral("第一，"), QStringLiteral("第二。") }));
}

void TestReading::quickPressesNeverOverlap()
{
    OverlapVoice voice;
    build(&voice);
    setText(QStringLiteral("第一，第二，第三，第四，第五。"));
    for (int i = 0; i < 12; ++i) {
        m_reading->ToolButton9Click();
    }
    QVERIFY(m_reading->runningThreads() > 0);
    waitForEnd();
    QVERIFY(!voice.m_overlapped);
    QVERIFY(voice.m_inner.texts().size() >= 5);
    QVERIFY(!m_state->isreading);
    QVERIFY(m_delay->isEnabled());
    QVERIFY(m_times->isEnabled());
    m_reading.reset();
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
    m_reading->ToolButton9Click();
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
    QVERIFY(station->readingState().isreading);
    station.reset(); // must neither hang nor crash
    QCOMPARE(Tts::pendingReadings(), 0);
    QCOMPARE(voice.texts().first(), QStringLiteral("第一，"));
    m_clock = std::make_unique<FakeClock>();
}

void TestReading::realEspeakReadsToTheEnd()
{
    SoundDevice::instance().open(); // the dummy driver in tests
    EspeakVoiceEngine espeak;
    QVERIFY2(espeak.isAvailable(), qPrintable(espeak.failure()));
    build(&espeak);
    QVERIFY(m_voices->currentText().contains(QLatin1String("Mandarin")));
    setText(QStringLiteral("你好，%Date%。再见"));
    m_reading->ToolButton9Click();
    QTRY_COMPARE_WITH_TIMEOUT(m_reading->runningThreads(), 0, 20000);
    waitForEnd();
    QCOMPARE(m_highlights.size(), 3);
    QCOMPARE(m_highlights[2].start, Ansi::length(QStringLiteral("你好，%Date%。")));
    QCOMPARE(m_highlights[2].length, 4);
    QCOMPARE(m_clock->waited(), 300 + 500); // both pauses, after pieces the engine finished
    QVERIFY(!m_state->isreading);
    QVERIFY(m_delay->isEnabled());
    QCOMPARE(m_memo1->textCursor().position(), m_memo1->toPlainText().size());
    m_reading.reset();
}

QTEST_MAIN(TestReading)
#include "test_reading.moc"
