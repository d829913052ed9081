#include "common/eventlog.h"
#include "common/inifile.h"
#include "recordingdialogs.h"
#include "recordingvoice.h"
#include "speech/voicepanel.h"
#include "testfolder.h"

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSlider>
#include <QTest>

// The panel on widgets set up as the main window's form sets them up.
class TestVoicePanel : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_folder = std::make_unique<TestFolder>();
        m_dialogs = std::make_unique<RecordingDialogs>();
        m_voice = std::make_unique<RecordingVoice>(QStringList { QStringLiteral("Chinese (Mandarin, latin as Pinyin)"),
                                                                 QStringLiteral("Chinese (Cantonese)"),
                                                                 QStringLiteral("English") });
        m_window = std::make_unique<QWidget>();
        m_combo = new QComboBox(m_window.get());
        m_rate = new QSlider(m_window.get());
        m_rate->setRange(-10, 15);
        m_rate->setValue(0);
        m_rateLabel = new QLabel(QStringLiteral("0"), m_window.get());
        m_volume = new QSlider(m_window.get());
        m_volume->setRange(0, 100);
        m_volume->setValue(95);
        m_volumeLabel = new QLabel(QStringLiteral("95"), m_window.get());
        m_memo = new QPlainTextEdit(m_window.get());
    }

    void cleanup()
    {
        m_panel.reset();
        m_window.reset();
        m_dialogs->verifyAllSeen();
        m_dialogs.reset();
        m_folder.reset();
    }

    void defaultsWithoutSettings()
    {
        m_voice->setRate(3); // the platform's own default rate
        m_voice->setVolume(77);
        start();
        QCOMPARE(m_panel->baserate(), 3);
        QCOMPARE(m_rate->value(), 2);
        QCOMPARE(m_rateLabel->text(), QStringLiteral("2"));
        QCOMPARE(m_voice->rate(), 5);
        // The default 120 is held at 100, and the moved slider applies it.
        QCOMPARE(m_volume->value(), 100);
        QCOMPARE(m_volumeLabel->text(), QStringLiteral("100"));
        QCOMPARE(m_voice->volume(), 100);
        QCOMPARE(m_combo->count(), 3);
        QCOMPARE(m_combo->currentIndex(), 0);
        QVERIFY(m_panel->hasVoice());
    }

    void storedVolume95KeepsTheEngineVolume()
    {
        m_folder->write(QStringLiteral("setinfo.ini"), "[Speaker]\r\nVolume=95\r\nRate=0\r\nSpeaker=2\r\n");
        m_voice->setVolume(77);
        start();
        QCOMPARE(m_volume->value(), 95);
        QCOMPARE(m_volumeLabel->text(), QStringLiteral("95"));
        QCOMPARE(m_voice->volume(), 77);
        // The rate change runs even though the position stayed at 0.
        m_voice->setRate(9);
        m_panel->TrackBar2Change();
        QCOMPARE(m_voice->rate(), 0);
        QCOMPARE(m_combo->currentIndex(), 2);

        m_volume->setValue(40);
        QCOMPARE(m_voice->volume(), 40);
        QCOMPARE(m_volumeLabel->text(), QStringLiteral("40"));
    }

    void storedValuesAreHeldInRange_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("volume");
        QTest::addColumn<int>("index");
        // A voice outside the list falls back to the first Chinese voice.
        QTest::newRow("beyond") << QByteArray("[Speaker]\r\nRate=40\r\nVolume=500\r\nSpeaker=3\r\n") << 15 << 100 << 0;
        QTest::newRow("below") << QByteArray("[Speaker]\r\nRate=-40\r\nVolume=-5\r\nSpeaker=-1\r\n") << -10 << 0 << 0;
        QTest::newRow("inside") << QByteArray("[Speaker]\r\nRate=-3\r\nVolume=60\r\nSpeaker=1\r\n") << -3 << 60 << 1;
    }

    void storedValuesAreHeldInRange()
    {
        QFETCH(QByteArray, ini);
        QFETCH(int, rate);
        QFETCH(int, volume);
        QFETCH(int, index);
        m_folder->write(QStringLiteral("setinfo.ini"), ini);
        start();
        QCOMPARE(m_rate->value(), rate);
        // Not limited: baserate 0 plus the position reaches the engine as it is.
        QCOMPARE(m_voice->rate(), rate);
        QCOMPARE(m_volume->value(), volume);
        QCOMPARE(m_combo->currentIndex(), index);
        QCOMPARE(m_panel->hasVoice(), index >= 0);
    }

    void applyvoiceAssignsTheListIndex()
    {
        start();
        m_combo->setCurrentIndex(1);
        QCOMPARE(m_voice->currentVoice(), -1); // only a speaking path assigns it
        m_panel->applyvoice();
        QCOMPARE(m_voice->currentVoice(), 1);
        m_combo->setCurrentIndex(-1);
        m_panel->applyvoice(); // nothing selected: the voice stays
        QCOMPARE(m_voice->currentVoice(), 1);
    }

    void slidersGiveTheFocusBackToTheEditor()
    {
        start();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        m_combo->setFocus();
        m_rate->setValue(7);
        QCOMPARE(m_rateLabel->text(), QStringLiteral("7"));
        QCOMPARE(m_voice->rate(), 7);
        QCOMPARE(QApplication::focusWidget(), m_memo);
        m_combo->setFocus();
        m_volume->setValue(30);
        QCOMPARE(QApplication::focusWidget(), m_memo);
    }

    void withoutAnEngine()
    {
        m_panel = std::make_unique<VoicePanel>(nullptr, widgets(), *m_dialogs);
        m_panel->loadRateAndVolume(IniFile(IniFile::defaultPath()));
        m_panel->fillVoiceList(IniFile(IniFile::defaultPath()));
        QCOMPARE(m_combo->count(), 0);
        QCOMPARE(m_combo->currentIndex(), -1);
        QVERIFY(!m_panel->hasVoice());
        QCOMPARE(m_rateLabel->text(), QStringLiteral("2"));
        m_panel->applyvoice();
    }

    void applyvoiceThrowsForAVoiceTheEngineLacks()
    {
        start();
        // The engine's refusal reaches the calling handler's guard.
        auto shortVoice = std::make_unique<RecordingVoice>(QStringList { QStringLiteral("only") });
        m_panel = std::make_unique<VoicePanel>(shortVoice.get(), widgets(), *m_dialogs);
        m_combo->setCurrentIndex(2);
        QVERIFY_THROWS_EXCEPTION(std::exception, m_panel->applyvoice());
        m_panel.reset();
    }

    void theStoredVoiceIsFoundByNameThenIndexThenChinese_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QStringList>("identifiers"); // of the three voices
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("note"); // what the log says, empty for nothing
        const QStringList espeak = { "gmw/en", "sit/cmn-Latn-pinyin", "sit/yue" };
        QTest::newRow("name wins over index")
            << QByteArray("[Speaker]\r\nSpeaker=0\r\nVoiceName=sit/yue\r\n") << espeak << 2 << QString();
        QTest::newRow("index when the name is gone")
            << QByteArray("[Speaker]\r\nSpeaker=0\r\nVoiceName=sit/hak\r\n") << espeak << 0
            << "the voice sit/hak is not installed; voice 0 (English) instead";
        QTest::newRow("first Chinese when neither is there")
            << QByteArray("[Speaker]\r\nSpeaker=500\r\nVoiceName=sit/hak\r\n") << espeak << 1
            << "sit/hak is not a voice of the 3 installed; voice 1 (Pinyin) instead";
        QTest::newRow("index beyond the list")
            << QByteArray("[Speaker]\r\nSpeaker=500\r\n") << espeak << 1
            << "Speaker=500 is not a voice of the 3 installed; voice 1 (Pinyin) instead";
        QTest::newRow("-1 from a start without voices")
            << QByteArray("[Speaker]\r\nSpeaker=-1\r\n") << espeak << 1
            << "Speaker=-1 is not a voice of the 3 installed; voice 1 (Pinyin) instead";
        QTest::newRow("index inside the list") << QByteArray("[Speaker]\r\nSpeaker=2\r\n") << espeak << 2 << QString();
        QTest::newRow("Chinese told by the engine's name")
            << QByteArray("[Speaker]\r\nSpeaker=9\r\n") << QStringList { "a", "b", "sit/cmn" } << 2
            << "Speaker=9 is not a voice of the 3 installed; voice 2 (Jyutping) instead";
    }

    void theStoredVoiceIsFoundByNameThenIndexThenChinese()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QStringList, identifiers);
        QFETCH(int, index);
        QFETCH(QString, note);
        // English first, so that the fallback is not simply the first voice; the names say nothing of
        // the language, so the engine's identifiers must.
        const QStringList names = { QStringLiteral("English"), QStringLiteral("Pinyin"), QStringLiteral("Jyutping") };
        m_voice = std::make_unique<RecordingVoice>(names, identifiers);
        m_folder->write(QStringLiteral("setinfo.ini"), ini);
        EventLog::open(m_folder->file(QStringLiteral("kelvora.log")), false);
        start();
        EventLog::close();
        QCOMPARE(m_combo->currentIndex(), index);
        const QString log = QString::fromUtf8(m_folder->read(QStringLiteral("kelvora.log")));
        QCOMPARE(log.contains(QStringLiteral("voice: ")), !note.isEmpty());
        QVERIFY2(log.contains(note), qPrintable(log));

        // Kept by name as well as by position.
        IniChanges changes;
        m_panel->saveVoice(changes);
        IniFile(IniFile::defaultPath()).write(changes);
        const IniFile saved(IniFile::defaultPath());
        QCOMPARE(saved.readInteger(QStringLiteral("Speaker"), QStringLiteral("Speaker"), -99), index);
        QCOMPARE(saved.readString(QStringLiteral("Speaker"), QStringLiteral("VoiceName"), QString()),
                 identifiers.at(index));
    }

    // The engine knows which voices read Chinese characters ("sit/cmn" alone spells many of them):
    // its word comes before the names.
    void theEnginesWordOnChineseComesFirst()
    {
        m_voice = std::make_unique<RecordingVoice>(
            QStringList { QStringLiteral("English"), QStringLiteral("Chinese (Mandarin)"), QStringLiteral("Pinyin") },
            QStringList { QStringLiteral("gmw/en"), QStringLiteral("sit/cmn"), QStringLiteral("sit/cmn-Latn-pinyin") });
        m_voice->setChineseReadings({ VoiceEngine::ChineseReading::None, VoiceEngine::ChineseReading::None,
                                      VoiceEngine::ChineseReading::Pinyin });
        m_folder->write(QStringLiteral("setinfo.ini"), "[Speaker]\r\nSpeaker=7\r\n");
        start();
        QCOMPARE(m_combo->currentIndex(), 2);
    }

    void aStartWithoutVoicesKeepsTheChoiceForTheNext()
    {
        m_folder->write(QStringLiteral("setinfo.ini"), "[Speaker]\r\nSpeaker=2\r\nVoiceName=English\r\n");
        const QByteArray before = m_folder->read(QStringLiteral("setinfo.ini"));
        m_voice = std::make_unique<RecordingVoice>(QStringList());
        start();
        QVERIFY(!m_panel->hasVoice());
        IniChanges changes;
        m_panel->saveVoice(changes);
        IniFile(IniFile::defaultPath()).write(changes);
        QCOMPARE(m_folder->read(QStringLiteral("setinfo.ini")), before);

        // The voices are back: the choice is found again.
        m_voice = std::make_unique<RecordingVoice>(
            QStringList { QStringLiteral("Chinese (Mandarin, latin as Pinyin)"), QStringLiteral("English") });
        start();
        QCOMPARE(m_combo->currentText(), QStringLiteral("English"));
    }

private:
    VoicePanel::Widgets widgets() const { return { m_combo, m_rate, m_rateLabel, m_volume, m_volumeLabel, m_memo }; }

    void start()
    {
        m_panel = std::make_unique<VoicePanel>(m_voice.get(), widgets(), *m_dialogs);
        m_panel->loadRateAndVolume(IniFile(IniFile::defaultPath()));
        m_panel->fillVoiceList(IniFile(IniFile::defaultPath()));
    }

    std::unique_ptr<TestFolder> m_folder;
    std::unique_ptr<RecordingDialogs> m_dialogs;
    std::unique_ptr<RecordingVoice> m_voice;
    std::unique_ptr<QWidget> m_window;
    std::unique_ptr<VoicePanel> m_panel;
    QComboBox* m_combo = nullptr;
    QSlider* m_rate = nullptr;
    QLabel* m_rateLabel = nullptr;
    QSlider* m_volume = nullptr;
    QLabel* m_volumeLabel = nullptr;
    QPlainTextEdit* m_memo = nullptr;
};

QTEST_MAIN(TestVoicePanel)
#include "test_voicepanel.moc"
