// The real program's previews of what the voice is handed (--spoken) and of its sound (--render), in a
// program folder of their own: what a Chinese listener expects to hear, read through the station itself.
#include "common/inifile.h"
#include "testdatabase.h"
#include "testfolder.h"

#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QtEndian>

namespace {

struct Run
{
    int code = -1;
    QStringList lines;
    QString err;
};

void exec(QSqlDatabase db, const QString& sql)
{
    QSqlQuery query(db);
    QVERIFY2(query.exec(sql), qPrintable(sql));
}

double wavSeconds(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return -1;
    }
    const QByteArray bytes = file.readAll();
    if (bytes.size() < 44) {
        return -1;
    }
    return double(qFromLittleEndian<quint32>(bytes.constData() + 40) / 2)
        / qFromLittleEndian<quint32>(bytes.constData() + 24);
}

} // namespace

class TestSpokenPreview final : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_folder = std::make_unique<TestFolder>();
        createTestDatabase(*m_folder);
        QVERIFY(QFile::copy(QStringLiteral(KELVORA_BINARY), m_folder->file(QStringLiteral("kelvora"))));
        onDatabase(*m_folder, [](QSqlDatabase db) {
            for (const char* name : { "曾国藩", "单雄信", "解晓东", "仇思" }) {
                QVERIFY(
                    addEmployee(db, QString::fromUtf8(name), QStringLiteral("1990-05-01"), QStringLiteral("2010-01-01"))
                    > 0);
            }
        });
    }
    void cleanup() { m_folder.reset(); }

    // The table of what a listener heard and what is expected, through the station: each piece
    // (cut after the shipped pause symbols) as the voice is handed it.
    void theListenersTable_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("pieces");
        QTest::newRow("a date") << "2026-12-09" << QStringList { QStringLiteral("二〇二六年十二月九日") };
        QTest::newRow("a time") << "13:43:18" << QStringList { QStringLiteral("十三点四十三分十八秒") };
        QTest::newRow("minutes") << "9:05:30" << QStringList { QStringLiteral("九点零五分三十秒") };
        QTest::newRow("a written date") << "2027年3月15日" << QStringList { QStringLiteral("二〇二七年三月十五日") };
        QTest::newRow("Beijing time") << "现在是北京时间09:30"
                                      << QStringList { QStringLiteral("现在是北京时间九点三十分") };
        QTest::newRow("sharp") << "12:00正" << QStringList { QStringLiteral("十二点正") };
        QTest::newRow("numbers") << "36.5度 / 100% / 5/6"
                                 << QStringList { QStringLiteral("三十六点五度 / 百分之百 / 六分之五") };
        QTest::newRow("surnames") << "曾国藩, 单雄信, 解晓东, 仇思"
                                  << QStringList { QStringLiteral("zeng1国藩,"), QStringLiteral(" shan4雄信,"),
                                                   QStringLiteral(" xie4晓东,"), QStringLiteral(" qiu2思") };
        QTest::newRow("words") << "银行, 重庆, 长大"
                               << QStringList { QStringLiteral("yin2 hang2,"), QStringLiteral(" chong2 qing4,"),
                                                QStringLiteral(" zhang3 da4") };
        QTest::newRow("一 and 不") << "一件, 不是"
                                   << QStringList { QStringLiteral("yi2件,"), QStringLiteral(" bu2是") };
        QTest::newRow("a line break inside a piece")
            << "第1行\n第2行" << QStringList { QStringLiteral("第一行\\n第二行") };
    }
    void theListenersTable()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, pieces);
        const Run run = kelvora({ QStringLiteral("--spoken"), text });
        QCOMPARE(run.code, 0);
        QCOMPARE(run.lines, pieces);
    }

    // Weekday and month names are Chinese whatever the language of the system.
    void theDatePlaceholderUnderAnEnglishSystem_data()
    {
        QTest::addColumn<int>("datetimetype");
        QTest::addColumn<QString>("piece");
        QTest::newRow("6 short weekday") << 6 << "今天是周三";
        QTest::newRow("7 long month") << 7 << "今天是十二月";
        QTest::newRow("8 long date") << 8 << "今天是二〇二六年十二月九日 星期三";
        QTest::newRow("1 date") << 1 << "今天是二〇二六年十二月九日";
        QTest::newRow("4 month and day") << 4 << "今天是十二月九日";
    }
    void theDatePlaceholderUnderAnEnglishSystem()
    {
        QFETCH(int, datetimetype);
        QFETCH(QString, piece);
        IniFile(m_folder->file(QStringLiteral("setinfo.ini")))
            .writeInteger(QStringLiteral("Speaker"), QStringLiteral("Datetimetype"), datetimetype);
        const Run run = kelvora({ QStringLiteral("--spoken"), QStringLiteral("今天是%Date%"), QStringLiteral("--date"),
                                  QStringLiteral("2026-12-09") },
                                QStringLiteral("en_US.UTF-8"));
        QCOMPARE(run.code, 0);
        QCOMPARE(run.lines, QStringList { piece });
    }

    void theDaysAnnouncementWithAPersonsReading()
    {
        onDatabase(*m_folder, [](QSqlDatabase db) {
            exec(db, QStringLiteral("UPDATE birthday SET pinyin = 'shan4 xiong2 xin4' WHERE emp_name = '单雄信'"));
        });
        IniFile ini(m_folder->file(QStringLiteral("setinfo.ini")));
        for (int group = 1; group <= 3; ++group) {
            ini.writeBool(QStringLiteral("System"), QStringLiteral("Read_add%1").arg(group), true);
            ini.writeBool(QStringLiteral("Addread%1").arg(group), QStringLiteral("Readage"), true);
        }
        ini.writeString(QStringLiteral("System"), QStringLiteral("Company"), QStringLiteral("银行"));
        ini.writeString(QStringLiteral("System"), QStringLiteral("Mainread"), QStringLiteral("祝一切顺利！"));
        const Run run = kelvora({ QStringLiteral("--spoken"), QStringLiteral("--date"), QStringLiteral("2024-05-01") });
        QCOMPARE(run.code, 0);
        const QString all = run.lines.join(QLatin1Char('|'));
        QVERIFY2(all.contains(QStringLiteral("yin2 hang2员工")), qPrintable(all));
        QVERIFY2(all.contains(QStringLiteral("shan4 xiong2 xin4")), qPrintable(all));
        QVERIFY2(all.contains(QStringLiteral("zeng1国藩")), qPrintable(all));
        QVERIFY2(all.contains(QStringLiteral("三十四岁")), qPrintable(all));
        QVERIFY2(all.contains(QStringLiteral("祝yi2切顺利！")), qPrintable(all));
    }

    // A preview of a file made before the lexicon: the built-in one speaks, and the file is not touched.
    void aPreviewOfAnOlderFileChangesNothing()
    {
        onDatabase(*m_folder, [](QSqlDatabase db) {
            exec(db, QStringLiteral("DROP TABLE lexicon"));
            exec(db, QStringLiteral("ALTER TABLE birthday DROP COLUMN pinyin"));
        });
        const QByteArray before = m_folder->read(QStringLiteral("draft.dat"));
        const Run run = kelvora({ QStringLiteral("--spoken"), QStringLiteral("曾国藩在银行") });
        QCOMPARE(run.code, 0);
        QCOMPARE(run.lines, QStringList { QStringLiteral("zeng1国藩在yin2 hang2") });
        const QString wav = m_folder->file(QStringLiteral("old.wav"));
        QCOMPARE(kelvora({ QStringLiteral("--render"), wav, QStringLiteral("--text"), QStringLiteral("银行") }).code,
                 0);
        QVERIFY(wavSeconds(wav) > 0.3);
        QCOMPARE(m_folder->read(QStringLiteral("draft.dat")), before);
    }

    // --render speaks what --spoken prints: the table's text lasts as long as the readings it is handed.
    void renderSpeaksWhatSpokenPrints()
    {
        const QString table = QStringLiteral("今天是2026-12-09，现在是北京时间09:30，曾国藩一件不是");
        const QString expected
            = QStringLiteral("今天是二〇二六年十二月九日，现在是北京时间九点三十分，zeng1国藩yi2件bu2是");
        QCOMPARE(kelvora({ QStringLiteral("--spoken"), table }).lines.join(QString()), expected);
        const QString a = m_folder->file(QStringLiteral("table.wav"));
        const QString b = m_folder->file(QStringLiteral("expected.wav"));
        QCOMPARE(kelvora({ QStringLiteral("--render"), a, QStringLiteral("--text"), table }).code, 0);
        // The expected words in characters of their own, so that nothing is left to normalise.
        QCOMPARE(kelvora({ QStringLiteral("--render"), b, QStringLiteral("--text"), expected }).code, 0);
        const double tableSeconds = wavSeconds(a);
        const double expectedSeconds = wavSeconds(b);
        QVERIFY(tableSeconds > 3);
        QVERIFY2(qAbs(tableSeconds - expectedSeconds) < 0.02 * expectedSeconds,
                 qPrintable(QStringLiteral("%1 s against %2 s").arg(tableSeconds).arg(expectedSeconds)));
    }

private:
    Run kelvora(const QStringList& arguments, const QString& lang = QStringLiteral("zh_CN.UTF-8"))
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("LANG"), lang);
        environment.insert(QStringLiteral("LC_ALL"), lang);
        process.setProcessEnvironment(environment);
        process.start(m_folder->file(QStringLiteral("kelvora")), arguments);
        Run run;
        if (!process.waitForFinished(60000)) {
            run.err = process.errorString();
            return run;
        }
        run.code = process.exitCode();
        run.lines = QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        run.err = QString::fromUtf8(process.readAllStandardError());
        if (run.code != 0) {
            qWarning().noquote() << run.err;
        }
        return run;
    }

    std::unique_ptr<TestFolder> m_folder;
};

QTEST_GUILESS_MAIN(TestSpokenPreview)
#include "test_spokenpreview.moc"
