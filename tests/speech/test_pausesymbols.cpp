#include "common/ansi.h"
#include "common/runtimeerror.h"
#include "speech/pausesymbols.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlTableModel>
#include <QTest>
#include <QThread>

namespace {
QHash<char32_t, int> pauses(std::initializer_list<std::pair<char32_t, int>> list)
{
    QHash<char32_t, int> hash;
    for (const auto& [c, ms] : list) {
        hash.insert(c, ms);
    }
    return hash;
}

const QList<PauseRow> StandardRows = {
    { QStringLiteral("，"), 300, true },
    { QStringLiteral("。"), 600, true },
    { QStringLiteral("."), 500, false },
    { QStringLiteral(" ！？ "), 700, true },
};
} // namespace

class TestPauseSymbols : public QObject
{
    Q_OBJECT

private slots:
    void tableFromRows()
    {
        const PauseTable table = PauseTable::fromRows(StandardRows);
        QCOMPARE(table.delaysymbols(), QStringLiteral("，。！？"));
        QCOMPARE(table.pauseFor(U'，'), 300);
        QCOMPARE(table.pauseFor(U'。'), 600);
        // Several characters in one row: each is a symbol with the row's pause.
        QCOMPARE(table.pauseFor(U'！'), 700);
        QCOMPARE(table.pauseFor(U'？'), 700);
        // A row with candelete off contributes nothing, and the trimmed blanks are no symbols.
        QVERIFY(!table.isPauseSymbol(U'.'));
        QVERIFY(!table.isPauseSymbol(U' '));
        QCOMPARE(table.pauseFor(U'.'), 0);
    }

    void oddRows_data()
    {
        QTest::addColumn<QList<PauseRow>>("rows");
        QTest::addColumn<QString>("symbols");
        QTest::addColumn<int>("commaPause");

        QTest::newRow("empty symbol") << QList<PauseRow> { { QString(), 400, true },
                                                           { QStringLiteral("，"), 300, true } }
                                      << QStringLiteral("，") << 300;
        QTest::newRow("blank symbol") << QList<PauseRow> { { QStringLiteral("   "), 400, true },
                                                           { QStringLiteral("，"), 300, true } }
                                      << QStringLiteral("，") << 300;
        QTest::newRow("negative pause") << QList<PauseRow> { { QStringLiteral("，"), -50, true } }
                                        << QStringLiteral("，") << 0;
        QTest::newRow("huge pause") << QList<PauseRow> { { QStringLiteral("，"), 2000000000, true } }
                                    << QStringLiteral("，") << PauseTable::MaxPause;
        QTest::newRow("first row wins") << QList<PauseRow> { { QStringLiteral("，"), 100, true },
                                                             { QStringLiteral("，"), 900, true } }
                                        << QStringLiteral("，，") << 100;
        QTest::newRow("mark never cuts") << QList<PauseRow> { { QStringLiteral("※，"), 100, true } }
                                         << QStringLiteral("，") << 100;
    }

    void oddRows()
    {
        QFETCH(QList<PauseRow>, rows);
        QFETCH(QString, symbols);
        QFETCH(int, commaPause);
        const PauseTable table = PauseTable::fromRows(rows);
        QCOMPARE(table.delaysymbols(), symbols);
        QCOMPARE(table.pauseFor(U'，'), commaPause);
        QVERIFY(!table.isPauseSymbol(PauseMark));
        QCOMPARE(cutPiece(QStringLiteral("甲※乙"), table).text, QStringLiteral("甲※乙"));
    }

    void cutting_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("piece");
        QTest::addColumn<int>("piecedelay");

        QTest::newRow("chinese comma") << QStringLiteral("今天是，公司员工") << QStringLiteral("今天是，") << 300;
        QTest::newRow("first of several") << QStringLiteral("甲。乙，丙") << QStringLiteral("甲。") << 600;
        QTest::newRow("symbol first") << QStringLiteral("，后面") << QStringLiteral("，") << 300;
        QTest::newRow("no symbol") << QStringLiteral("生日快乐") << QStringLiteral("生日快乐") << 0;
        QTest::newRow("symbol off is text") << QStringLiteral("3.5元，好") << QStringLiteral("3.5元，") << 300;
        QTest::newRow("multi-character row") << QStringLiteral("真的？是的") << QStringLiteral("真的？") << 700;
        QTest::newRow("empty") << QString() << QString() << 0;
        QTest::newRow("beyond BMP") << QStringLiteral("𠀀𠀁，x") << QStringLiteral("𠀀𠀁，") << 300;
        // A symbol between two digits is part of the number.
        QTest::newRow("decimal point") << QStringLiteral("体温36.5度。好") << QStringLiteral("体温36.5度。") << 600;
        QTest::newRow("time") << QStringLiteral("9:30开会：地点") << QStringLiteral("9:30开会：") << 300;
        QTest::newRow("fullwidth colon in a time") << QStringLiteral("9：30，好") << QStringLiteral("9：30，") << 300;
        QTest::newRow("thousands") << QStringLiteral("1,000元,好") << QStringLiteral("1,000元,") << 200;
        QTest::newRow("a sentence's end between numbers cuts")
            << QStringLiteral("共3。5人") << QStringLiteral("共3。") << 600;
        QTest::newRow("a Chinese comma between numbers cuts") << QStringLiteral("3，5") << QStringLiteral("3，") << 300;
        QTest::newRow("after a number it cuts") << QStringLiteral("共3.再见") << QStringLiteral("共3.") << 100;
        QTest::newRow("before a number it cuts") << QStringLiteral("第.5") << QStringLiteral("第.") << 100;
        QTest::newRow("at the window's end it cuts") << QStringLiteral("12:") << QStringLiteral("12:") << 100;
    }

    void cutting()
    {
        QFETCH(QString, window);
        QFETCH(QString, piece);
        QFETCH(int, piecedelay);
        QList<PauseRow> rows = StandardRows;
        // The shipped table's ASCII symbols.
        rows.append({ QStringLiteral(".:"), 100, true });
        rows.first().descript += QStringLiteral("：");
        rows.append({ QStringLiteral(","), 200, true });
        const Piece cut = cutPiece(window, PauseTable::fromRows(rows));
        QCOMPARE(cut.text, piece);
        QCOMPARE(cut.piecedelay, piecedelay);
    }

    void longWindowWithoutSymbol_data()
    {
        QTest::addColumn<QString>("window");
        // 250 Chinese characters are exactly 500 bytes; with one ASCII letter in front the last whole
        // character ends at byte 499.
        QTest::newRow("even") << QString(260, QChar(u'生'));
        QTest::newRow("odd") << (QStringLiteral("a") + QString(260, QChar(u'生')));
        QTest::newRow("four-byte") << (QStringLiteral("ab") + QString(248, QChar(u'生')) + QStringLiteral("𠀀𠀀"));
    }

    void longWindowWithoutSymbol()
    {
        QFETCH(QString, window);
        const Piece cut = cutPiece(window, PauseTable::fromRows(StandardRows));
        QCOMPARE(cut.piecedelay, 0);
        const int bytes = Ansi::length(cut.text);
        QVERIFY2(bytes <= PieceWindowBytes && bytes > PieceWindowBytes - 4, qPrintable(QString::number(bytes)));
        // A whole character: the bytes decode back to the same text, and the piece is a prefix.
        QCOMPARE(Ansi::decode(Ansi::encode(cut.text)), cut.text);
        QVERIFY(window.startsWith(cut.text));
        QVERIFY(!cut.text.back().isHighSurrogate());
    }

    void symbolBeyondTheWindowDoesNotCut()
    {
        const QString window = QString(250, QChar(u'生')) + QStringLiteral("，");
        const Piece cut = cutPiece(window, PauseTable::fromRows(StandardRows));
        QCOMPARE(cut.text.size(), 250);
        QCOMPARE(cut.piecedelay, 0);
    }

    void marks()
    {
        QVERIFY(containsMark(QStringLiteral("甲※乙※")));
        QVERIFY(!containsMark(QStringLiteral("甲乙")));
        QCOMPARE(withoutMarks(QStringLiteral("※甲※乙※※")), QStringLiteral("甲乙"));
        QCOMPARE(withoutMarks(QStringLiteral("※")), QString());
    }

    void explicitConstructorKeepsPausesSane()
    {
        const PauseTable table(QStringLiteral("，※"), pauses({ { U'，', -3 }, { PauseMark, 100 } }));
        QCOMPARE(table.pauseFor(U'，'), 0);
        QVERIFY(table.isPauseSymbol(U'，'));
        QVERIFY(!table.isPauseSymbol(PauseMark));
    }

    void markdelay()
    {
        PauseSymbols symbols;
        QCOMPARE(symbols.markdelay(), 800);
        symbols.setMarkdelay(1200);
        QCOMPARE(symbols.markdelay(), 1200);
        symbols.setMarkdelay(-5);
        QCOMPARE(symbols.markdelay(), 0);
    }

    void getdelaystringReadsEveryRowInOrder()
    {
        QSqlDatabase db = openDatabase();
        QSqlQuery insert(db);
        QVERIFY(insert.prepare(
            QStringLiteral("insert into delaytime(name, descript, delaytime, candelete) values (?, ?, ?, ?)")));
        // More rows than the old 30-slot store, so the later rows must still count.
        for (int i = 0; i < 40; ++i) {
            insert.addBindValue(QStringLiteral("row%1").arg(i));
            insert.addBindValue(QString(QChar(0x4E00 + i)));
            insert.addBindValue(10 * i);
            insert.addBindValue(i % 2 == 0 ? 1 : 0);
            QVERIFY(insert.exec());
        }
        QVERIFY(insert.exec(QStringLiteral(
            "insert into delaytime(name, descript, delaytime, candelete) values ('x', 'ab', 'oops', 'true')")));

        QSqlTableModel model(nullptr, db);
        model.setTable(QStringLiteral("delaytime"));
        QVERIFY(model.select());

        PauseSymbols symbols;
        const PauseTablePtr before = symbols.current();
        QVERIFY(before);
        QCOMPARE(before->size(), 0);
        symbols.getdelaystring(&model);
        const PauseTablePtr table = symbols.current();
        QVERIFY(table != before);
        QCOMPARE(table->size(), 22);
        QCOMPARE(table->pauseFor(char32_t(0x4E00 + 38)), 380);
        QVERIFY(!table->isPauseSymbol(char32_t(0x4E00 + 39)));
        QCOMPARE(table->pauseFor(U'a'), 0);
        QVERIFY(table->isPauseSymbol(U'b'));
        QVERIFY(table->delaysymbols().startsWith(QString(QChar(0x4E00)) + QChar(0x4E02)));
        // The snapshot the reader holds does not change under it.
        QCOMPARE(before->size(), 0);
    }

    void getdelaystringStoresPendingEdit()
    {
        QSqlDatabase db = openDatabase();
        QSqlTableModel model(nullptr, db);
        fillWithComma(model);
        QVERIFY(model.setData(model.index(0, model.fieldIndex(QStringLiteral("delaytime"))), 450));

        PauseSymbols symbols;
        symbols.getdelaystring(&model);
        QCOMPARE(symbols.current()->pauseFor(U'，'), 450);
        QSqlQuery check(db);
        QVERIFY(check.exec(QStringLiteral("select delaytime from delaytime")) && check.next());
        QCOMPARE(check.value(0).toInt(), 450);
    }

    void getdelaystringFailureKeepsTable()
    {
        QSqlDatabase db = openDatabase();
        QSqlTableModel model(nullptr, db);
        fillWithComma(model);
        PauseSymbols symbols;
        symbols.getdelaystring(&model);
        const PauseTablePtr before = symbols.current();

        QVERIFY(model.setData(model.index(0, model.fieldIndex(QStringLiteral("delaytime"))), 999));
        QSqlQuery(db).exec(QStringLiteral("drop table delaytime"));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, symbols.getdelaystring(&model));
        QCOMPARE(symbols.current(), before);
    }

    void publishIsSafeAcrossThreads()
    {
        PauseSymbols symbols;
        std::atomic<bool> done { false };
        std::atomic<int> seen { 0 };
        QThread* reader = QThread::create([&] {
            do {
                const PauseTablePtr table = symbols.current();
                // Every snapshot is whole: its symbol and pause agree.
                if (table->pauseFor(U'，') != table->pauseFor(U'。')) {
                    return;
                }
                ++seen;
            } while (!done);
        });
        reader->start();
        for (int i = 0; i < 2000; ++i) {
            symbols.publish(
                std::make_shared<const PauseTable>(PauseTable::fromRows({ { QStringLiteral("，。"), i, true } })));
        }
        done = true;
        reader->wait();
        delete reader;
        QVERIFY(seen > 0);
        QCOMPARE(symbols.current()->pauseFor(U'，'), 1999);
        symbols.publish(nullptr);
        QVERIFY(symbols.current());
    }

private:
    QSqlDatabase openDatabase()
    {
        const QString name = QStringLiteral("pauses%1").arg(++m_connections);
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(QStringLiteral(":memory:"));
        [&] {
            QVERIFY(db.open());
            QVERIFY(QSqlQuery(db).exec(QStringLiteral(
                "create table delaytime (name text, descript text, delaytime integer, candelete integer)")));
        }();
        return db;
    }

    // One comma row of 300 ms, in a model that keeps its edits until submitted.
    static void fillWithComma(QSqlTableModel& model)
    {
        QVERIFY(QSqlQuery(model.database())
                    .exec(QStringLiteral("insert into delaytime(name, descript, delaytime, candelete) "
                                         "values ('逗号', '，', 300, 1)")));
        model.setTable(QStringLiteral("delaytime"));
        model.setEditStrategy(QSqlTableModel::OnManualSubmit);
        QVERIFY(model.select());
    }

    int m_connections = 0;
};

QTEST_GUILESS_MAIN(TestPauseSymbols)
#include "test_pausesymbols.moc"
