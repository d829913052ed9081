// The schema of setinfo.ini: the defaults and ranges every reader gets from one place.
#include "common/inifile.h"
#include "common/stationsettings.h"
#include "testfolder.h"

#include <QDir>
#include <QTest>

using namespace StationSettings;

class TestStationSettings : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_folder = std::make_unique<TestFolder>(); }
    void cleanup() { m_folder.reset(); }

    // Without a file every reader gets the documented default.
    void defaultsWithoutAFile()
    {
        const IniFile ini(m_folder->file(QStringLiteral("setinfo.ini")));
        QCOMPARE(read(ini, VoiceIndex), 0);
        QCOMPARE(read(ini, Rate), 2);
        QCOMPARE(read(ini, Volume), 120);
        QCOMPARE(readWithin(ini, Volume), 100); // shown at the slider's end
        QCOMPARE(read(ini, Datetimetype), 1);
        QCOMPARE(read(ini, MusicVolume), 40);
        QCOMPARE(read(ini, SpeakingVolume), 10);
        QCOMPARE(read(ini, Playmode), 0);
        QCOMPARE(read(ini, Readtimes), 2);
        QCOMPARE(read(ini, Intervaltime), 60);
        QCOMPARE(read(ini, Mp3file), QString());
        QCOMPARE(read(ini, CheckBox[0]), false); // Sunday
        for (size_t day = 1; day < CheckBox.size(); ++day) {
            QVERIFY(read(ini, CheckBox[day]));
        }
        QCOMPARE(read(ini, Playtime1), QStringLiteral("09:00:00"));
        QCOMPARE(read(ini, Playtime2), QStringLiteral("14:00:00"));
        QCOMPARE(read(ini, Days), 90);
        QCOMPARE(read(ini, Showdays), 1);
        for (const BooleanKey& key : ReadAdd) {
            QVERIFY(!read(ini, key));
        }
        QVERIFY(read(ini, NextMonth));
        QCOMPARE(read(ini, Delay2), 800);
        QVERIFY(!read(ini, TtsInformation));
        QVERIFY(read(ini, Rollover)); // each day composes its own announcement
        const int bounds[3] = { 20, 25, 50 };
        for (size_t group = 0; group < AgeGroups.size(); ++group) {
            QCOMPARE(read(ini, AgeGroups[group].agegroup), bounds[group]);
            QVERIFY(!read(ini, AgeGroups[group].readage));
            QCOMPARE(read(ini, AgeGroups[group].addtext), QString());
        }
        // One default of the fixed text, for start-up and the content settings alike.
        QCOMPARE(
            read(ini, Mainread),
            QStringLiteral("在这里我们祝他生日快乐，感谢你们辛勤付出，公司将为你准备神秘小礼物一件，请赶快来领取吧！"));
        QVERIFY(!m_folder->exists(QStringLiteral("setinfo.ini")));
    }

    void readWithinHoldsTheControlsRange_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("volume");
        QTest::addColumn<int>("showdays");
        QTest::addColumn<int>("days");
        QTest::newRow("inside") << QByteArray("Rate=-3\r\nVolume=30\r\nShowdays=2\r\nDays=0x1E") << -3 << 30 << 2 << 30;
        QTest::newRow("above") << QByteArray("Rate=99\r\nVolume=101\r\nShowdays=7\r\nDays=2147483647") << 15 << 100 << 3
                               << 2147483647;
        QTest::newRow("below") << QByteArray("Rate=-11\r\nVolume=-1\r\nShowdays=-1\r\nDays=-5") << -10 << 0 << 0 << 0;
        QTest::newRow("not numbers") << QByteArray("Rate=x\r\nVolume=\r\nShowdays=abc\r\nDays=1.5") << 2 << 100 << 1
                                     << 90;
    }

    void readWithinHoldsTheControlsRange()
    {
        QFETCH(QByteArray, line);
        // Rate and Volume live in [Speaker], Showdays and Days in [System]: the lines go to both.
        m_folder->write(QStringLiteral("setinfo.ini"), "[Speaker]\r\n" + line + "\r\n[System]\r\n" + line + "\r\n");
        const IniFile ini(m_folder->file(QStringLiteral("setinfo.ini")));
        QTEST(readWithin(ini, Rate), "rate");
        QTEST(readWithin(ini, Volume), "volume");
        QTEST(readWithin(ini, Showdays), "showdays");
        QTEST(readWithin(ini, Days), "days");
    }

    void aSaveWritesTheKeysItNames()
    {
        IniChanges changes;
        set(changes, Readtimes, 3);
        set(changes, CheckBox[0], true);
        set(changes, AgeGroups[2].addtext, QStringLiteral("祝福"));
        IniFile ini(m_folder->file(QStringLiteral("setinfo.ini")));
        ini.write(changes);
        QCOMPARE(m_folder->read(QStringLiteral("setinfo.ini")),
                 QByteArray("[System]\r\nReadtimes=3\r\nCheckBox1=1\r\n[Addread3]\r\naddtext=\xd7\xa3\xb8\xa3\r\n"));
        QCOMPARE(read(IniFile(ini.path()), Readtimes), 3);
    }

    void musicFolder_data()
    {
        QTest::addColumn<QString>("stored"); // "-": no key; a name relative to the program folder
        QTest::addColumn<bool>("mp3files");
        QTest::addColumn<QString>("expected"); // "": the program folder itself
        // A fresh install: the music shipped beside the program plays.
        QTest::newRow("no key") << QStringLiteral("-") << true << QStringLiteral("mp3files");
        QTest::newRow("no key, without mp3files") << QStringLiteral("-") << false << QString();
        QTest::newRow("the program folder itself") << QStringLiteral(".") << true << QStringLiteral(".");
        QTest::newRow("a folder") << QStringLiteral("music") << true << QStringLiteral("music");
        QTest::newRow("a folder that has gone") << QStringLiteral("gone") << true << QStringLiteral("mp3files");
        QTest::newRow("gone, without mp3files") << QStringLiteral("gone") << false << QString();
        QTest::newRow("empty") << QString() << true << QStringLiteral("mp3files");
    }

    void musicFolder()
    {
        QFETCH(QString, stored);
        QFETCH(bool, mp3files);
        QFETCH(QString, expected);
        QDir(m_folder->path()).mkdir(QStringLiteral("music"));
        if (mp3files) {
            QDir(m_folder->path()).mkdir(QStringLiteral("mp3files"));
        }
        if (stored != QStringLiteral("-")) {
            IniChanges changes;
            set(changes, Mp3bj, stored.isEmpty() ? QString() : m_folder->file(stored));
            IniFile(m_folder->file(QStringLiteral("setinfo.ini"))).write(changes);
        }
        const IniFile ini(m_folder->file(QStringLiteral("setinfo.ini")));
        QCOMPARE(StationSettings::musicFolder(ini, m_folder->path()), m_folder->path() + expected);
    }

private:
    std::unique_ptr<TestFolder> m_folder;
};

QTEST_GUILESS_MAIN(TestStationSettings)
#include "test_stationsettings.moc"
