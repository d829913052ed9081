#include "ciskip.h"
#include "common/inifile.h"
#include "common/runtimeerror.h"
#include "common/services.h"
#include "common/sounddevice.h"
#include "fakeclock.h"
#include "fulldisk.h"
#include "recordingdesktop.h"
#include "recordingdialogs.h"
#include "recordingsampleplayer.h"
#include "recordingvoice.h"
#include "speech/espeakvoiceengine.h"
#include "speech/sampleplayer.h"
#include "speech/tf_information.h"
#include "speech/voicenotice.h"
#include "testfolder.h"
#include "ui_tf_information.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

class TestVoiceNotice : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_folder = std::make_unique<TestFolder>();
        m_dialogs = std::make_unique<RecordingDialogs>();
        // The samples go to the temporary folder: give each test its own.
        qputenv("TMPDIR", m_folder->file(QStringLiteral("tmp")).toUtf8());
        QDir().mkpath(m_folder->file(QStringLiteral("tmp")));
    }

    void cleanup()
    {
        m_dialogs->verifyAllSeen();
        m_dialogs.reset();
        m_folder.reset();
    }

    void status_data()
    {
        QTest::addColumn<QStringList>("engine");
        QTest::addColumn<QStringList>("expected"); // Mandarin (pinyin), Mandarin, Cantonese
        const QString yes = QStringLiteral("是");
        const QString no = QStringLiteral("否");
        QTest::newRow("pinyin only") << QStringList { QStringLiteral("Chinese (Mandarin, latin as Pinyin)"),
                                                      QStringLiteral("English") }
                                     << QStringList { yes, no, no };
        // Whole names: the Jyutping voice is not the Cantonese one.
        QTest::newRow("names are whole") << QStringList { QStringLiteral("Chinese (Mandarin, latin as English)"),
                                                          QStringLiteral("Chinese (Cantonese, latin as Jyutping)") }
                                         << QStringList { no, yes, no };
        QTest::newRow("all three") << QStringList { QStringLiteral("Chinese (Cantonese)"),
                                                    QStringLiteral("chinese (mandarin, latin as english)"),
                                                    QStringLiteral("Chinese (Mandarin, latin as Pinyin)") }
                                   << QStringList { yes, yes, yes };
        QTest::newRow("Windows voices are none of them")
            << QStringList { QStringLiteral("VW Liang"),
                             QStringLiteral("Microsoft HuiHui Desktop - Chinese (Simplified)") }
            << QStringList { no, no, no };
        QTest::newRow("empty engine") << QStringList {} << QStringList { no, no, no };
    }

    void status()
    {
        QFETCH(QStringList, engine);
        QFETCH(QStringList, expected);
        RecordingVoice voice(engine);
        Tf_information window(services(&voice, nullptr));
        const auto& rows = VoiceNotice::recommendedVoices();
        QCOMPARE(rows.size(), expected.size());
        for (int row = 0; row < rows.size(); ++row) {
            QCOMPARE(window.findChild<QLabel*>(rows.at(row).statusName)->text(), expected.at(row));
            QCOMPARE(window.findChild<QLabel*>(QStringLiteral("Label_") + rows.at(row).statusName.mid(4))->text(),
                     rows.at(row).caption);
        }
    }

    // The rows name voices the real engine can have: each is in espeak-ng-data, installed here.
    void everyRowIsARealVoice()
    {
        EspeakVoiceEngine engine(nullptr); // lists the voices, plays nothing
        if (!engine.isAvailable()) {
            KELVORA_SKIP("espeak-ng cannot start here");
        }
        const QStringList voices = engine.voices();
        for (const auto& row : VoiceNotice::recommendedVoices()) {
            QVERIFY2(voices.contains(row.voiceName), qPrintable(row.voiceName));
            QCOMPARE(VoiceNotice::installedStatus(row.voiceName, voices), QStringLiteral("是"));
        }
    }

    // Advice for this system only: how to add the voices with apt, nothing about Windows errors or
    // virus scanners.
    void theNotesAreAboutThisSystem()
    {
        Tf_information window(services(nullptr, nullptr));
        QStringList texts;
        for (const QLabel* label : window.findChildren<QLabel*>()) {
            texts << label->text();
        }
        const QString all = texts.join(QLatin1Char('\n'));
        QVERIFY(all.contains(QStringLiteral("sudo apt install espeak-ng-data")));
        for (const char* windowsOnly : { "没有注册类", "杀毒", "修复程序", "Liang", "HuiHui", "HanHan" }) {
            QVERIFY2(!all.contains(QString::fromUtf8(windowsOnly)), windowsOnly);
        }
    }

    void greetingNamesOnlyTheVoicesThatReadChinese()
    {
        using Reading = VoiceEngine::ChineseReading;
        RecordingVoice voice({ QStringLiteral("Chinese (Mandarin, latin as Pinyin)"), QStringLiteral("English"),
                               QStringLiteral("Chinese (Cantonese)"), QStringLiteral("Hakka Chinese") });
        voice.setChineseReadings({ Reading::Pinyin, Reading::None, Reading::Characters, Reading::None });
        QCOMPARE(VoiceNotice::chineseVoices(voice),
                 QStringList(
                     { QStringLiteral("Chinese (Mandarin, latin as Pinyin)"), QStringLiteral("Chinese (Cantonese)") }));
        Tf_information window(services(&voice, nullptr));
        const QString greeting = window.form()->Label_greeting->text();
        QVERIFY(greeting.contains(
            QStringLiteral("本机可用的中文语音：Chinese (Mandarin, latin as Pinyin)、Chinese (Cantonese)")));
        QVERIFY(!greeting.contains(QStringLiteral("Hakka")));
        QVERIFY(!greeting.contains(QStringLiteral("English")));
        QVERIFY(VoiceNotice::greeting({}).contains(QStringLiteral("尚未安装")));
    }

    void sampleIsWrittenOnceAndNeverRewritten()
    {
        const auto& pinyin = VoiceNotice::recommendedVoices().at(0);
        const QString folder = m_folder->file(QStringLiteral("tmp"));
        const QString path = VoiceNotice::ensureSampleFile(pinyin, folder);
        QCOMPARE(path, folder + QStringLiteral("/pinyin1.mp3"));
        QFile written(path);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QVERIFY(written.readAll().size() > 1000);
        written.close();
        m_folder->write(QStringLiteral("tmp/pinyin1.mp3"), "mine");
        VoiceNotice::ensureSampleFile(pinyin, folder);
        QCOMPARE(m_folder->read(QStringLiteral("tmp/pinyin1.mp3")), QByteArray("mine"));
    }

    // On a full disk the sample is refused naming it, and nothing is left that would later play as a
    // broken sample; an empty file left by an older failure is written anew.
    void aFullDiskLeavesNoBrokenSample()
    {
        FullDisk disk;
        if (!disk.available()) {
            KELVORA_SKIP("a tmpfs cannot be mounted here (not root?)");
        }
        const auto& cantonese = VoiceNotice::recommendedVoices().at(2);
        QFile empty(disk.file(cantonese.fileName));
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        disk.fill();
        QVERIFY_THROWS_EXCEPTION(RuntimeError,
                                 VoiceNotice::ensureSampleFile(VoiceNotice::recommendedVoices().at(0), disk.path()));
        try {
            VoiceNotice::ensureSampleFile(cantonese, disk.path());
            QFAIL("no error");
        } catch (const RuntimeError& error) {
            QVERIFY2(error.message().contains(disk.file(cantonese.fileName)), qPrintable(error.message()));
        }
        QCOMPARE(QDir(disk.path()).entryList(QDir::Files), QStringList { cantonese.fileName });
        disk.release();
        const QString path = VoiceNotice::ensureSampleFile(cantonese, disk.path());
        QVERIFY(QFileInfo(path).size() > 1000);
    }

    void unwritableFolderNamesTheFile()
    {
        m_folder->write(QStringLiteral("notafolder"), "x");
        try {
            VoiceNotice::ensureSampleFile(VoiceNotice::recommendedVoices().at(1),
                                          m_folder->file(QStringLiteral("notafolder")));
            QFAIL("no error");
        } catch (const RuntimeError& error) {
            QVERIFY(error.message().contains(QStringLiteral("mandarin1.mp3")));
        }
        // From the window: the box names the file, nothing plays, the window stays open.
        qputenv("TMPDIR", m_folder->file(QStringLiteral("notafolder")).toUtf8());
        RecordingVoice voice;
        RecordingSamplePlayer player;
        Tf_information window(services(&voice, &player));
        window.show();
        window.form()->btn_mandarin->click();
        const QStringList texts = m_dialogs->takeTexts();
        QCOMPARE(texts.size(), 1);
        QVERIFY2(texts.first().contains(QStringLiteral("mandarin1.mp3")), qPrintable(texts.first()));
        QVERIFY(player.calls.isEmpty());
        QVERIFY(window.isVisible());
        window.close();
    }

    void secondSampleStopsTheFirstAndStopHidesNothing()
    {
        RecordingVoice voice;
        RecordingSamplePlayer player;
        Tf_information window(services(&voice, &player));
        window.show();
        QVERIFY(window.form()->sb_stop->isHidden());
        window.form()->btn_pinyin->click();
        QVERIFY(!window.form()->sb_stop->isHidden());
        window.form()->btn_cantonese->click();
        const QString tmp = m_folder->file(QStringLiteral("tmp/"));
        QCOMPARE(player.calls,
                 (QStringList { QStringLiteral("play ") + tmp + QStringLiteral("pinyin1.mp3"), QStringLiteral("stop"),
                                QStringLiteral("play ") + tmp + QStringLiteral("cantonese1.mp3") }));
        window.form()->sb_stop->click();
        QVERIFY(!player.isPlaying());
        QVERIFY(!window.form()->sb_stop->isHidden());
        window.close();
    }

    void closingStoresTheCheckBox()
    {
        RecordingVoice voice;
        RecordingSamplePlayer player;
        {
            Tf_information window(services(&voice, &player));
            window.show();
            QVERIFY(!window.form()->CheckBox1->isChecked());
            window.form()->CheckBox1->setChecked(true);
            QVERIFY(window.close());
            QVERIFY(window.isHidden());
        }
        QVERIFY(IniFile(IniFile::defaultPath())
                    .readBool(QStringLiteral("System"), QStringLiteral("Tts_information"), false));
        Tf_information again(services(&voice, &player));
        again.show();
        QVERIFY(again.form()->CheckBox1->isChecked());
        again.form()->CheckBox1->setChecked(false);
        QTest::keyClick(&again, Qt::Key_Escape);
        QVERIFY(again.isHidden());
        QVERIFY(!IniFile(IniFile::defaultPath())
                     .readBool(QStringLiteral("System"), QStringLiteral("Tts_information"), true));
    }

    void linksOpenInTheBrowser()
    {
        RecordingDesktop desktop;
        Tf_information window(services(nullptr, nullptr, &desktop));
        emit window.form()->Label_down1->linkActivated(Tf_information::DownloadAddress1);
        QCOMPARE(desktop.opened, QList<QUrl> { QUrl(Tf_information::DownloadAddress1) });
        QVERIFY(window.form()->Label_down2->text().contains(QStringLiteral("语音库下载地址2")));
    }

    void realPlayerPlaysASampleAndRefusesGarbage()
    {
        SoundDevice sound;
        SdlSamplePlayer player(sound);
        const QString path = VoiceNotice::ensureSampleFile(VoiceNotice::recommendedVoices().at(2),
                                                           m_folder->file(QStringLiteral("tmp")));
        player.play(path);
        QVERIFY(player.isPlaying());
        player.stop();
        QVERIFY(!player.isPlaying());

        // A sample replaced by garbage: the box names the reason and the window stays open.
        m_folder->write(QStringLiteral("tmp/cantonese1.mp3"), QByteArray(4000, '\x07'));
        RecordingVoice voice;
        Tf_information window(services(&voice, &player));
        window.show();
        window.form()->btn_cantonese->click();
        const QStringList texts = m_dialogs->takeTexts();
        QCOMPARE(texts.size(), 1);
        QVERIFY2(texts.first().contains(QStringLiteral("cantonese1.mp3")), qPrintable(texts.first()));
        QVERIFY(window.isVisible());
        window.close();
    }

private:
    Services services(VoiceEngine* voice, SamplePlayer* samples, Desktop* desktop = nullptr)
    {
        Services given;
        given.dialogs = m_dialogs.get();
        given.desktop = desktop;
        given.voice = voice;
        given.samples = samples;
        return given;
    }

    std::unique_ptr<TestFolder> m_folder;
    std::unique_ptr<RecordingDialogs> m_dialogs;
};

QTEST_MAIN(TestVoiceNotice)
#include "test_voicenotice.moc"
