#include "ciskip.h"
#include "common/ansi.h"
#include "common/eventlog.h"
#include "common/inifile.h"
#include "common/runtimeerror.h"
#include "fulldisk.h"
#include "renamewatch.h"
#include "testfolder.h"

#include <QDir>
#include <QFile>
#include <QTest>

class TestIniFile : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_folder = std::make_unique<TestFolder>(); }
    void cleanup() { m_folder.reset(); }

    void missingFileGivesDefaults()
    {
        const IniFile ini(m_folder->file(QStringLiteral("setinfo.ini")));
        QCOMPARE(ini.readInteger(QStringLiteral("System"), QStringLiteral("Days"), 90), 90);
        QCOMPARE(ini.readBool(QStringLiteral("System"), QStringLiteral("Next_month"), true), true);
        QCOMPARE(ini.readString(QStringLiteral("System"), QStringLiteral("mp3file"), QStringLiteral("x")),
                 QStringLiteral("x"));
        QVERIFY(!m_folder->exists(QStringLiteral("setinfo.ini")));
    }

    void integers_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<int>("expected");
        QTest::newRow("decimal") << QByteArray("30") << 30;
        QTest::newRow("negative") << QByteArray("-7") << -7;
        QTest::newRow("hex 0x") << QByteArray("0x1E") << 30;
        QTest::newRow("hex 0X") << QByteArray("0X1e") << 30;
        QTest::newRow("hex dollar") << QByteArray("$1E") << 30;
        QTest::newRow("hex full pattern") << QByteArray("$FFFFFFFF") << -1;
        QTest::newRow("letters") << QByteArray("abc") << 90;
        QTest::newRow("trailing letters") << QByteArray("12abc") << 90;
        QTest::newRow("empty") << QByteArray("") << 90;
        QTest::newRow("blanks around") << QByteArray("  42  ") << 42;
        QTest::newRow("quoted") << QByteArray("\"42\"") << 42;
        QTest::newRow("overflow") << QByteArray("99999999999") << 90;
        QTest::newRow("lone prefix") << QByteArray("0x") << 90;
        QTest::newRow("decimal point") << QByteArray("1.5") << 90;
    }

    void integers()
    {
        QFETCH(QByteArray, value);
        QFETCH(int, expected);
        m_folder->write(QStringLiteral("setinfo.ini"), "[System]\r\nDays=" + value + "\r\n");
        const IniFile ini(m_folder->file(QStringLiteral("setinfo.ini")));
        QCOMPARE(ini.readInteger(QStringLiteral("System"), QStringLiteral("Days"), 90), expected);
    }

    void booleans_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<bool>("defaultValue");
        QTest::addColumn<bool>("expected");
        QTest::newRow("one") << QByteArray("1") << false << true;
        QTest::newRow("zero") << QByteArray("0") << true << false;
        QTest::newRow("any other number") << QByteArray("-5") << false << true;
        QTest::newRow("text keeps default true") << QByteArray("yes") << true << true;
        QTest::newRow("text keeps default false") << QByteArray("yes") << false << false;
    }

    void booleans()
    {
        QFETCH(QByteArray, value);
        QFETCH(bool, defaultValue);
        QFETCH(bool, expected);
        m_folder->write(QStringLiteral("setinfo.ini"), "[System]\r\nNext_month=" + value + "\r\n");
        const IniFile ini(m_folder->file(QStringLiteral("setinfo.ini")));
        QCOMPARE(ini.readBool(QStringLiteral("System"), QStringLiteral("Next_month"), defaultValue), expected);
    }

    void texts_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("expected");
        QTest::newRow("blanks trimmed") << QByteArray("mp3file=  a b  ") << QStringLiteral("a b");
        QTest::newRow("double quotes") << QByteArray("mp3file=\" a \"") << QStringLiteral(" a ");
        QTest::newRow("single quotes") << QByteArray("mp3file='x'") << QStringLiteral("x");
        QTest::newRow("one pair only") << QByteArray("mp3file=\"\"x\"\"") << QStringLiteral("\"x\"");
        QTest::newRow("unbalanced quote kept") << QByteArray("mp3file=\"x") << QStringLiteral("\"x");
        QTest::newRow("empty value") << QByteArray("mp3file=") << QString();
        QTest::newRow("after first equals") << QByteArray("mp3file=a=b") << QStringLiteral("a=b");
        QTest::newRow("key blanks and case") << QByteArray("  MP3FILE  =v") << QStringLiteral("v");
        QTest::newRow("gbk text") << QByteArray("mp3file=\xc9\xfa\xc8\xd5") << QStringLiteral("生日");
    }

    void texts()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, expected);
        m_folder->write(QStringLiteral("setinfo.ini"), "[system]\r\n" + line + "\r\n");
        const IniFile ini(m_folder->file(QStringLiteral("setinfo.ini")));
        QCOMPARE(ini.readString(QStringLiteral("System"), QStringLiteral("mp3file"), QStringLiteral("default")),
                 expected);
    }

    void longTextIsCutTo2047Bytes()
    {
        IniFile ini(m_folder->file(QStringLiteral("setinfo.ini")));
        // 1500 Chinese characters are 3000 bytes; the cut keeps whole characters only.
        ini.writeString(QStringLiteral("Addread1"), QStringLiteral("addtext"), QString(1500, QChar(0x795D)));
        const IniFile again(ini.path());
        const QString read = again.readString(QStringLiteral("Addread1"), QStringLiteral("addtext"), QString());
        QCOMPARE(read, QString(1023, QChar(0x795D)));
    }

    void firstMatchingSectionAndKeyOnly()
    {
        m_folder->write(QStringLiteral("setinfo.ini"),
                        "[Other]\r\nDays=1\r\n[System]\r\nDays=2\r\nDays=3\r\n[System2]\r\nDays=4\r\n");
        const IniFile ini(m_folder->file(QStringLiteral("setinfo.ini")));
        QCOMPARE(ini.readInteger(QStringLiteral("System"), QStringLiteral("Days"), 0), 2);
    }

    void newFileHoldsOnlyTheWrittenKey()
    {
        IniFile ini(m_folder->file(QStringLiteral("setinfo.ini")));
        ini.writeBool(QStringLiteral("System"), QStringLiteral("Next_month"), true);
        QCOMPARE(m_folder->read(QStringLiteral("setinfo.ini")), QByteArray("[System]\r\nNext_month=1\r\n"));
    }

    void writesKeepEveryOtherLine()
    {
        const QByteArray before = "; comment\r\n[Speaker]\r\nRate=3\r\nUnknown = keep me\r\n\r\n"
                                  "[System]\r\nDays=90\r\n\r\n[Addread1]\r\naddtext=x\r\n";
        m_folder->write(QStringLiteral("setinfo.ini"), before);
        IniFile ini(m_folder->file(QStringLiteral("setinfo.ini")));
        ini.writeInteger(QStringLiteral("speaker"), QStringLiteral("RATE"), -4); // in place
        ini.writeInteger(QStringLiteral("System"), QStringLiteral("Showdays"), 2); // end of its section
        ini.writeString(QStringLiteral("Addread3"), QStringLiteral("addtext"), QStringLiteral("祝福")); // new section
        const QByteArray expected = "; comment\r\n[Speaker]\r\nRATE=-4\r\nUnknown = keep me\r\n\r\n"
                                    "[System]\r\nDays=90\r\nShowdays=2\r\n\r\n[Addread1]\r\naddtext=x\r\n"
                                    "[Addread3]\r\naddtext=\xd7\xa3\xb8\xa3\r\n";
        QCOMPARE(m_folder->read(QStringLiteral("setinfo.ini")), expected);
    }

    void lineBreakInTextReadsFirstLineOnly()
    {
        IniFile ini(m_folder->file(QStringLiteral("setinfo.ini")));
        ini.writeString(QStringLiteral("System"), QStringLiteral("Mainread"), QStringLiteral("one\r\ntwo"));
        const IniFile again(ini.path());
        QCOMPARE(again.readString(QStringLiteral("System"), QStringLiteral("Mainread"), QString()),
                 QStringLiteral("one"));
    }

    void damagedFileNeverStopsReading()
    {
        QByteArray garbage("[Sys");
        garbage += QByteArray(1 << 20, 'x');
        garbage += "\r\n\x01\x02\xff\xfe=\r\nno equals here\r\n[System\r\nDays=abc\r\n[System]\r\nShowdays=2\r\n";
        m_folder->write(QStringLiteral("setinfo.ini"), garbage);
        IniFile ini(m_folder->file(QStringLiteral("setinfo.ini")));
        QCOMPARE(ini.readInteger(QStringLiteral("System"), QStringLiteral("Days"), 90), 90);
        QCOMPARE(ini.readInteger(QStringLiteral("System"), QStringLiteral("Showdays"), 1), 2);
        ini.writeInteger(QStringLiteral("System"), QStringLiteral("Days"), 30);
        QCOMPARE(IniFile(ini.path()).readInteger(QStringLiteral("System"), QStringLiteral("Days"), 90), 30);
    }

    void refusedWriteNamesTheFileAndKeepsTheOld()
    {
        // A folder standing where the file should be: refused even for root.
        const QString path = m_folder->file(QStringLiteral("blocked/setinfo.ini"));
        QDir().mkpath(path);
        IniFile ini(path);
        try {
            ini.writeInteger(QStringLiteral("System"), QStringLiteral("Days"), 5);
            QFAIL("the write was not refused");
        } catch (const RuntimeError& error) {
            QVERIFY2(error.message().contains(path), qPrintable(error.message()));
        }
        QVERIFY(!ini.hasKey(QStringLiteral("System"), QStringLiteral("Days")));
    }

    void writeLeavesNoTemporaryFiles()
    {
        IniFile ini(m_folder->file(QStringLiteral("setinfo.ini")));
        for (int i = 0; i < 20; ++i) {
            ini.writeInteger(QStringLiteral("System"), QStringLiteral("Days"), i);
        }
        QCOMPARE(QDir(m_folder->path()).entryList(QDir::Files), QStringList { QStringLiteral("setinfo.ini") });
    }

    // Files saved by other tools: what is read, and what a write leaves in the file.
    void filesFromOtherTools_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("encoding");
        QTest::addColumn<QByteArray>("written"); // the file after Days=30 is written
        const QByteArray bom("\xEF\xBB\xBF");
        const QByteArray utf8 = QStringLiteral("祝你生日快乐").toUtf8();
        const QByteArray gb = "\xd7\xa3\xc4\xe3\xc9\xfa\xc8\xd5\xbf\xec\xc0\xd6"; // the same text in GB18030
        QTest::newRow("UTF-8 with a byte-order mark")
            << bom + "[System]\r\nMainread=" + utf8 + "\r\n"
            << "UTF-8 with a byte-order mark" << bom + "[System]\r\nMainread=" + utf8 + "\r\nDays=30\r\n";
        QTest::newRow("UTF-8 without a mark, LF") << "[System]\nMainread=" + utf8 + "\n"
                                                  << "UTF-8"
                                                  << "[System]\r\nMainread=" + utf8 + "\r\nDays=30\r\n";
        QTest::newRow("GB18030, CR only") << "[System]\rMainread=" + gb + "\r"
                                          << "GB18030"
                                          << "[System]\r\nMainread=" + gb + "\r\nDays=30\r\n";
        QTest::newRow("GB18030, CR LF") << "[System]\r\nMainread=" + gb + "\r\n"
                                        << "GB18030"
                                        << "[System]\r\nMainread=" + gb + "\r\nDays=30\r\n";
        QTest::newRow("GB18030 after a mark") << bom + "[System]\r\nMainread=" + gb << "GB18030 after a byte-order mark"
                                              << bom + "[System]\r\nMainread=" + gb + "\r\nDays=30\r\n";
        QTest::newRow("mixed line ends") << "[System]\r\nMainread=" + utf8 + "\n\r[Speaker]\rRate=1\n"
                                         << "UTF-8"
                                         << "[System]\r\nMainread=" + utf8
                + "\r\nDays=30\r\n\r\n[Speaker]\r\nRate=1\r\n";
    }

    void filesFromOtherTools()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, encoding);
        QFETCH(QByteArray, written);
        m_folder->write(QStringLiteral("setinfo.ini"), file);
        EventLog::open(m_folder->file(QStringLiteral("kelvora.log")), false);
        IniFile ini(m_folder->file(QStringLiteral("setinfo.ini")));
        const IniFile twice(ini.path());
        QCOMPARE(ini.readString(QStringLiteral("System"), QStringLiteral("Mainread"), QString()),
                 QStringLiteral("祝你生日快乐"));
        ini.writeInteger(QStringLiteral("System"), QStringLiteral("Days"), 30);
        QCOMPARE(m_folder->read(QStringLiteral("setinfo.ini")), written);
        // Read again as it was written.
        QCOMPARE(IniFile(ini.path()).readString(QStringLiteral("System"), QStringLiteral("Mainread"), QString()),
                 QStringLiteral("祝你生日快乐"));
        EventLog::close();
        const QString log = QString::fromUtf8(m_folder->read(QStringLiteral("kelvora.log")));
        QCOMPARE(log.count(QStringLiteral("settings file %1 read as %2\n").arg(ini.path(), encoding)), 1);
        QCOMPARE(log.count(QStringLiteral("settings file")), 1);
    }

    // The limit counts code-page bytes of the text, whatever the file's encoding: 1500 characters are
    // 4500 bytes of UTF-8 but 3000 of GB18030, cut to 1023 whole characters either way.
    void limitCountsCodePageBytes()
    {
        const QByteArray text = QString(1500, QChar(0x795D)).toUtf8();
        m_folder->write(QStringLiteral("setinfo.ini"), "[Addread1]\r\naddtext=" + text + "\r\n");
        const IniFile ini(m_folder->file(QStringLiteral("setinfo.ini")));
        QCOMPARE(ini.encoding(), IniFile::Encoding::Utf8);
        QCOMPARE(ini.readString(QStringLiteral("Addread1"), QStringLiteral("addtext"), QString()),
                 QString(1023, QChar(0x795D)));
    }

    // GB18030 pairs that happen to be valid two-byte UTF-8 ("祝" is D7 A3, Hebrew in UTF-8) stay GB18030.
    void gb18030ThatLooksLikeUtf8()
    {
        m_folder->write(QStringLiteral("setinfo.ini"), "[Addread1]\r\naddtext=\xd7\xa3\xd7\xa3\r\n");
        const IniFile ini(m_folder->file(QStringLiteral("setinfo.ini")));
        QCOMPARE(ini.encoding(), IniFile::Encoding::Gb18030);
        QCOMPARE(ini.readString(QStringLiteral("Addread1"), QStringLiteral("addtext"), QString()),
                 QStringLiteral("祝祝"));
    }

    // A save action's keys go into the file as it is on disk now, in one rename, and only they change.
    void aSaveIsOneRewriteOfTheFileAsItIsNow()
    {
        const QString path = m_folder->file(QStringLiteral("setinfo.ini"));
        m_folder->write(QStringLiteral("setinfo.ini"),
                        "; kept\r\n[system]\r\nDAYS=5\r\nOther=x\r\n\r\n[Addread1]\r\naddtext=hi\r\n");
        IniFile opened(path); // read before the hand edit below
        m_folder->write(QStringLiteral("setinfo.ini"), m_folder->read(QStringLiteral("setinfo.ini")) + "Hand=1\r\n");
        IniChanges changes;
        changes.setInteger(QStringLiteral("System"), QStringLiteral("Days"), 30);
        changes.setBool(QStringLiteral("System"), QStringLiteral("Next_month"), false);
        changes.setString(QStringLiteral("Addread2"), QStringLiteral("addtext"), QStringLiteral("好"));
        changes.setInteger(QStringLiteral("Addread1"), QStringLiteral("Agegroup"), 19);
        RenameWatch watch(m_folder->path());
        QVERIFY(watch.isWatching());
        opened.write(changes);
        QCOMPARE(watch.renames(QStringLiteral("setinfo.ini")), 1);
        QCOMPARE(watch.writesInPlace(QStringLiteral("setinfo.ini")), 0);
        // In place, case-insensitive; new keys at the end of their section; a new section at the end.
        QCOMPARE(m_folder->read(QStringLiteral("setinfo.ini")),
                 QByteArray("; kept\r\n[system]\r\nDays=30\r\nOther=x\r\nNext_month=0\r\n\r\n[Addread1]\r\n"
                            "addtext=hi\r\nHand=1\r\nAgegroup=19\r\n[Addread2]\r\naddtext=")
                     + Ansi::encode(QStringLiteral("好")) + "\r\n");
        QCOMPARE(opened.readInteger(QStringLiteral("Addread1"), QStringLiteral("Hand"), 0), 1);
    }

    // Two windows' files open at once: each save keeps what the other one saved meanwhile.
    void twoWritersAliveAtOnceKeepEachOthersKeys()
    {
        const QString path = m_folder->file(QStringLiteral("setinfo.ini"));
        IniFile schedule(path);
        IniFile content(path);
        schedule.writeInteger(QStringLiteral("System"), QStringLiteral("Readtimes"), 3);
        IniChanges changes;
        changes.setString(QStringLiteral("System"), QStringLiteral("Company"), QStringLiteral("示例公司"));
        content.write(changes);
        schedule.writeInteger(QStringLiteral("System"), QStringLiteral("Intervaltime"), 30);
        const IniFile now(path);
        QCOMPARE(now.readInteger(QStringLiteral("System"), QStringLiteral("Readtimes"), 0), 3);
        QCOMPARE(now.readInteger(QStringLiteral("System"), QStringLiteral("Intervaltime"), 0), 30);
        QCOMPARE(now.readString(QStringLiteral("System"), QStringLiteral("Company"), QString()),
                 QStringLiteral("示例公司"));
    }

    // A full disk refuses the rewrite: the file keeps every byte, none of the action's keys is in it.
    void aRefusedSaveWritesNoneOfItsKeys()
    {
        FullDisk disk;
        if (!disk.available()) {
            KELVORA_SKIP("a tmpfs cannot be mounted here (not root?)");
        }
        const QString path = disk.file(QStringLiteral("setinfo.ini"));
        const QByteArray before = "[System]\r\nReadtimes=2\r\nDays=90\r\n";
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QCOMPARE(file.write(before), before.size());
        }
        disk.fill();
        IniChanges changes;
        for (int i = 0; i < 20; ++i) {
            changes.setString(QStringLiteral("System"), QStringLiteral("Key%1").arg(i), QString(100, QLatin1Char('x')));
        }
        changes.setInteger(QStringLiteral("System"), QStringLiteral("Readtimes"), 5);
        IniFile ini(path);
        QVERIFY_THROWS_EXCEPTION(RuntimeError, ini.write(changes));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
        QCOMPARE(ini.readInteger(QStringLiteral("System"), QStringLiteral("Readtimes"), 0), 2);
        QStringList files = QDir(disk.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
        files.sort();
        QCOMPARE(files, QStringList({ QStringLiteral(".filler"), QStringLiteral("setinfo.ini") }));
    }

private:
    std::unique_ptr<TestFolder> m_folder;
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "test_inifile.moc"
