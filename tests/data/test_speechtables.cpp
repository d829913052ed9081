// The lexicon table and the roster's reading column: shipped in a new draft.dat, added to an older
// one by the station and by nothing else, never touching what the file held.
#include "data/speechtables.h"
#include "data/tdm.h"
#include "datafixture.h"
#include "speech/pinyin.h"
#include "testdatabase.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlTableModel>
#include <QTest>

namespace {

// The schema and every row of a file, in a stable order, for before-and-after comparisons.
QStringList dump(const QSqlDatabase& db, const QStringList& skipTables = {})
{
    QStringList lines;
    QSqlQuery schema(db);
    schema.exec(QStringLiteral("SELECT type, name, tbl_name, sql FROM sqlite_master ORDER BY type, name"));
    QStringList tables;
    while (schema.next()) {
        if (skipTables.contains(schema.value(2).toString())) {
            continue;
        }
        lines.append(QStringLiteral("%1 %2: %3")
                         .arg(schema.value(0).toString(), schema.value(1).toString(), schema.value(3).toString()));
        if (schema.value(0).toString() == QLatin1String("table")) {
            tables.append(schema.value(1).toString());
        }
    }
    for (const QString& table : tables) {
        QSqlQuery rows(db);
        rows.exec(QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(table));
        while (rows.next()) {
            QStringList values;
            for (int i = 0; i < rows.record().count(); ++i) {
                values.append(rows.record().fieldName(i) + QLatin1Char('=') + rows.value(i).toString());
            }
            lines.append(table + QStringLiteral(": ") + values.join(QLatin1Char(',')));
        }
    }
    return lines;
}

} // namespace

class TestSpeechTables : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_fixture = std::make_unique<DataFixture>(QDateTime(QDate(2024, 3, 5), QTime(8, 0)), DataFixture::NoDatabase);
        createTestDatabase(m_fixture->folder);
    }
    void cleanup() { m_fixture.reset(); }

    void aNewFileShipsTheSurnamesAndWords()
    {
        TDM tdm(m_fixture->services());
        QVERIFY(tdm.DataModuleCreate());
        QVERIFY(m_fixture->dialogs.takeTexts().isEmpty());
        const QList<LexiconRow> rows = SpeechTables::lexicon(tdm.database());
        QCOMPARE(rows, SpeechTables::shippedLexicon());
        QVERIFY(tdm.Q_lexicon());
        QCOMPARE(tdm.Q_lexicon()->rowCount(), rows.size());
        QVERIFY(SpeechTables::hasReadingColumn(tdm.database()));
        const QStringList surnames
            = { QStringLiteral("曾 zeng1"),      QStringLiteral("单 shan4"),    QStringLiteral("解 xie4"),
                QStringLiteral("仇 qiu2"),       QStringLiteral("朴 piao2"),    QStringLiteral("查 zha1"),
                QStringLiteral("乐 yue4"),       QStringLiteral("覃 qin2"),     QStringLiteral("区 ou1"),
                QStringLiteral("盖 ge3"),        QStringLiteral("华 hua4"),     QStringLiteral("缪 miao4"),
                QStringLiteral("翟 zhai2"),      QStringLiteral("褚 chu3"),     QStringLiteral("种 chong2"),
                QStringLiteral("尉迟 yu4 chi2"), QStringLiteral("万俟 mo4 qi2") };
        QStringList shipped;
        int words = 0;
        for (const LexiconRow& row : rows) {
            if (row.surname) {
                shipped.append(row.word + QLatin1Char(' ') + row.pinyin);
            } else {
                ++words;
            }
            // Every shipped reading is in its stored form and fits its word.
            QCOMPARE(Pinyin::canonical(row.pinyin), row.pinyin);
            QVERIFY2(Pinyin::problem(row.word, row.pinyin).isEmpty(), qPrintable(row.word));
        }
        for (const QString& surname : surnames) {
            QVERIFY2(shipped.contains(surname), qPrintable(surname));
        }
        QVERIFY(words >= 30);
    }

    void anOlderFileGetsTheTableAndTheColumnOnly()
    {
        makeOlder();
        QSqlDatabase before = open(QStringLiteral("before"));
        const QStringList old = dump(before);
        before.close();
        before = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("before"));

        {
            TDM tdm(m_fixture->services());
            QVERIFY(tdm.DataModuleCreate());
            QVERIFY(m_fixture->dialogs.takeTexts().isEmpty());
            QVERIFY(SpeechTables::hasLexicon(tdm.database()));
            QVERIFY(SpeechTables::hasReadingColumn(tdm.database()));
            QCOMPARE(SpeechTables::lexicon(tdm.database()), SpeechTables::shippedLexicon());
            QCOMPARE(tdm.Q_birthday2()->rowCount(), 2);
            QVERIFY(tdm.Q_birthday2()->fieldIndex(QStringLiteral("pinyin")) >= 0);
            QVERIFY(tdm.Q_birthday2()->record(0).value(QStringLiteral("pinyin")).isNull());
        }
        // Everything else as it was: the other tables, their rows, the roster's other columns.
        QSqlDatabase after = open(QStringLiteral("after"));
        QStringList now = dump(after, { QStringLiteral("lexicon"), QStringLiteral("sqlite_sequence") });
        after.close();
        after = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("after"));
        QStringList expected;
        for (const QString& line : old) {
            if (!line.startsWith(QLatin1String("sqlite_sequence"))
                && !line.contains(QLatin1String(" sqlite_sequence"))) {
                expected.append(line);
            }
        }
        for (QString& line : now) {
            line.replace(QStringLiteral(", pinyin TEXT)"), QStringLiteral(")"));
            line.replace(QStringLiteral(",pinyin="), QString());
        }
        QCOMPARE(now, expected);

        // A second start finds nothing to add.
        TDM again(m_fixture->services());
        QVERIFY(again.DataModuleCreate());
        QVERIFY(m_fixture->dialogs.takeTexts().isEmpty());
    }

    void aPreviewReadsAnOlderFileAsItIs()
    {
        makeOlder();
        const QByteArray before = m_fixture->folder.read(QStringLiteral("draft.dat"));
        {
            TDM tdm(m_fixture->services());
            QVERIFY(tdm.openReadOnly());
            QVERIFY(!tdm.Q_lexicon());
            QCOMPARE(SpeechTables::lexicon(tdm.database()), SpeechTables::shippedLexicon());
            const QList<NameReading> names = SpeechTables::readings(tdm.database());
            QCOMPARE(names.size(), 2);
            QCOMPARE(names.at(0).name, QStringLiteral("曾国藩"));
            QVERIFY(names.at(0).pinyin.isEmpty());
            QVERIFY(m_fixture->dialogs.takeTexts().isEmpty());
        }
        QCOMPARE(m_fixture->folder.read(QStringLiteral("draft.dat")), before);
    }

    void readingsAreTrimmedAndBlankNamesLeftOut()
    {
        TDM tdm(m_fixture->services());
        QVERIFY(tdm.DataModuleCreate());
        addEmployee(tdm, QStringLiteral(" 单雄信 "), QStringLiteral("1990-01-01"), QStringLiteral("2020-01-01"));
        addEmployee(tdm, QStringLiteral("  "), QStringLiteral("1990-01-01"), QStringLiteral("2020-01-01"));
        QSqlQuery(tdm.database()).exec(QStringLiteral("UPDATE birthday SET pinyin = ' shan4 xiong2 xin4 '"));
        const QList<NameReading> names = SpeechTables::readings(tdm.database());
        QCOMPARE(names.size(), 1);
        QCOMPARE(names.at(0).name, QStringLiteral("单雄信"));
        QCOMPARE(names.at(0).pinyin, QStringLiteral("shan4 xiong2 xin4"));
    }

    // The names come back as stored, whatever their characters or type; none is lost or cut.
    void readingsKeepEveryName()
    {
        TDM tdm(m_fixture->services());
        QVERIFY(tdm.DataModuleCreate());
        QSqlQuery insert(tdm.database());
        QVERIFY(
            insert.exec(QStringLiteral("INSERT INTO birthday (emp_name, pinyin) VALUES "
                                       "('𠀀曾', 'zeng1'), (42, NULL), (NULL, 'a1'), ('欧阳'||char(10)||'娜娜', ''), "
                                       "(1.5, 7)")));
        const QList<NameReading> names = SpeechTables::readings(tdm.database());
        QStringList read;
        for (const NameReading& person : names) {
            read << person.name + QLatin1Char('|') + person.pinyin;
        }
        QCOMPARE(read, (QStringList { "𠀀曾|zeng1", "42|", "欧阳\n娜娜|", "1.5|7" }));
    }

    // Another program holds the file for writing: the upgrade is refused with the database's words,
    // shown once, and the station still opens with the built-in lexicon.
    void aRefusedUpgradeIsShownAndTheStationGoesOn()
    {
        makeOlder();
        QSqlDatabase holder = open(QStringLiteral("holder"));
        QSqlQuery hold(holder);
        QVERIFY(hold.exec(QStringLiteral("BEGIN IMMEDIATE")));
        {
            TDM tdm(m_fixture->services());
            QVERIFY(tdm.DataModuleCreate());
            const QStringList texts = m_fixture->dialogs.takeTexts();
            QVERIFY(!texts.isEmpty());
            QVERIFY2(texts.first().contains(QStringLiteral("locked")), qPrintable(texts.join(QLatin1Char('|'))));
            QCOMPARE(tdm.Q_birthday2()->rowCount(), 2);
            QCOMPARE(SpeechTables::lexicon(tdm.database()), SpeechTables::shippedLexicon());
        }
        QVERIFY(hold.exec(QStringLiteral("ROLLBACK")));
        hold.finish();
        holder.close();
        holder = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("holder"));
    }

private:
    QSqlDatabase open(const QString& name) const
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(m_fixture->folder.file(QStringLiteral("draft.dat")));
        db.open();
        return db;
    }

    // A file as the station wrote it before the lexicon and the readings, with two people in it.
    void makeOlder()
    {
        {
            QSqlDatabase db = open(QStringLiteral("older"));
            QSqlQuery query(db);
            QVERIFY(query.exec(QStringLiteral("DROP TABLE lexicon")));
            QVERIFY(query.exec(QStringLiteral("ALTER TABLE birthday DROP COLUMN pinyin")));
            QVERIFY(
                addEmployee(db, QStringLiteral("曾国藩"), QStringLiteral("1990-01-01"), QStringLiteral("2020-01-01"))
                > 0);
            QVERIFY(addEmployee(db, QStringLiteral("单雄信"), QStringLiteral("1991-02-03"),
                                QStringLiteral("2020-01-01"), QStringLiteral("部"), QStringLiteral("备注"))
                    > 0);
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("older"));
    }

    std::unique_ptr<DataFixture> m_fixture;
};

QTEST_GUILESS_MAIN(TestSpeechTables)
#include "test_speechtables.moc"
