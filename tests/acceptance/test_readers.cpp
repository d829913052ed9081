#include "ciskip.h"
#include "testdatabase.h"
#include "testfolder.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

namespace {

using Rows = QList<QStringList>;

// Chinese names, quotes, semicolons, commas, line breaks, the euro sign and characters that code
// page 936 lacks (a CJK extension B character, an emoji, a check mark).
const QByteArray Roster = "姓名,读音,生日,入职,部门,备注,农历\r\n"
                          "张三,zhang1 san1,1990-03-14,2020-01-05,生产部,\"他说：\"\"你好\"\"; 再见\",是\r\n"
                          "李四,Lǐ Sì,1988-07-08,2021-06-01,\"财务部, 二科\",\"第一行\n第二行\",0\r\n"
                          "欧阳𪛖,,1975-12-31,1999-01-01,😀,✓ 已核对,\r\n"
                          "\"Smith; John\",,1961-01-01,1980-01-01,\"\"\"总部\"\"\",,yes\r\n";
const QByteArray Euro = "姓名,生日,入职,部门,备注\r\n王€五,2000-02-29,2020-02-29,,价格 5€\r\n";

// What a file in code page 936 holds for a text: every character the code page lacks is "?".
QString inCodePage936(const QString& text)
{
    QString result;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype units = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString one = text.mid(i, units);
        QStringEncoder encoder("windows-936", QStringConverter::Flag::Stateless);
        QStringDecoder decoder("windows-936", QStringConverter::Flag::Stateless);
        const QByteArray bytes = encoder.encode(one);
        result += decoder.decode(bytes) == one ? one : QStringLiteral("?");
        i += units;
    }
    return result;
}

QString flattened(QString text)
{
    return text.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\t'), QLatin1Char(' '));
}

Rows rowsOf(const QJsonValue& value)
{
    Rows rows;
    for (const QJsonValue& row : value.toArray()) {
        QStringList cells;
        for (const QJsonValue& cell : row.toArray()) {
            cells.append(cell.toString());
        }
        while (!cells.isEmpty() && cells.last().isEmpty()) {
            cells.removeLast();
        }
        rows.append(cells);
    }
    return rows;
}

Rows withoutTrailingEmpties(Rows rows)
{
    for (QStringList& row : rows) {
        while (!row.isEmpty() && row.last().isEmpty()) {
            row.removeLast();
        }
    }
    return rows;
}

} // namespace

// The built program imports a roster and exports it in every format; readers that owe nothing to
// it read the files back: xlrd, openpyxl, the csv module, html.parser and LibreOffice.
class TestReaders final : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestFolder> m_folder;
    QString m_program;
    Rows m_roster; // No, 姓名, 入职, 生日, 部门, 备注: the captions, then the people in the grid's order
    QMap<QString, QString> m_notices; // export file -> what the program said about altered values

    struct Run
    {
        int code = -1;
        QString out;
        QString err;
    };

    Run kelvora(const QStringList& arguments)
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setProcessEnvironment(environment);
        process.start(m_program, arguments);
        Run run;
        if (!process.waitForFinished(60000)) {
            return run;
        }
        run.code = process.exitCode();
        run.out = QString::fromUtf8(process.readAllStandardOutput());
        run.err = QString::fromUtf8(process.readAllStandardError());
        return run;
    }

    QJsonObject read(const QStringList& kindsAndPaths)
    {
        QProcess process;
        process.start(QStringLiteral("/usr/bin/python3"),
                      QStringList { QStringLiteral(KELVORA_READERS) } + kindsAndPaths);
        if (!process.waitForFinished(120000) || process.exitCode() != 0) {
            qWarning() << process.readAllStandardError();
            return {};
        }
        return QJsonDocument::fromJson(process.readAllStandardOutput()).object();
    }

    // The roster as a file of the format holds it.
    Rows expected(const QString& format) const
    {
        Rows rows = m_roster;
        for (QStringList& row : rows) {
            for (QString& cell : row) {
                if (format == QLatin1String("xls") || format == QLatin1String("csv")
                    || format == QLatin1String("txt")) {
                    cell = inCodePage936(cell);
                }
                if (format == QLatin1String("txt")) {
                    cell = flattened(cell);
                }
            }
        }
        return withoutTrailingEmpties(rows);
    }

private slots:
    void initTestCase()
    {
        QFile python(QStringLiteral("/usr/bin/python3"));
        if (!(python.exists())) {
            KELVORA_SKIP("/usr/bin/python3 is not installed");
        }
        m_folder = std::make_unique<TestFolder>();
        createTestDatabase(*m_folder);
        m_program = m_folder->file(QStringLiteral("kelvora"));
        QVERIFY(QFile::copy(QStringLiteral(KELVORA_BINARY), m_program));

        // The plain GBK roster first (xlrd's own reading of code page 936 has no euro sign), then the
        // rest; both imports are written even though nobody is refused... and each says so.
        m_folder->write(QStringLiteral("roster.csv"), Roster);
        Run run = kelvora({ QStringLiteral("--import"), m_folder->file(QStringLiteral("roster.csv")) });
        QCOMPARE(run.code, 0);
        QCOMPARE(run.out, QStringLiteral("导入完成：新增 4 人，更新 0 人，跳过 0 行。\n"));
        run = kelvora({ QStringLiteral("--export"), m_folder->file(QStringLiteral("gbk.xls")) });
        QCOMPARE(run.code, 0);
        m_folder->write(QStringLiteral("euro.csv"), Euro);
        run = kelvora({ QStringLiteral("--import"), m_folder->file(QStringLiteral("euro.csv")) });
        QCOMPARE(run.code, 0);

        const QList<std::pair<QString, QStringList>> exports = {
            { QStringLiteral("out.xls"), {} },
            { QStringLiteral("out.txt"), {} },
            { QStringLiteral("out.csv"), {} },
            { QStringLiteral("out.html"), {} },
            { QStringLiteral("out.rtf"), {} },
            { QStringLiteral("out.xlsx"), {} },
            { QStringLiteral("outu.csv"), { QStringLiteral("--format"), QStringLiteral("csv-utf8") } },
        };
        for (const auto& [name, options] : exports) {
            run = kelvora(QStringList { QStringLiteral("--export"), m_folder->file(name) } + options);
            QVERIFY2(run.code == 0, qPrintable(run.err));
            QVERIFY2(run.out.contains(QStringLiteral(": 5 people written as ")), qPrintable(run.out));
            m_notices.insert(name, run.err);
        }

        // What the roster holds, in the grid's order (by date of joining).
        m_roster.append({ QStringLiteral("No"), QStringLiteral("姓名"), QStringLiteral("读音"), QStringLiteral("入职"),
                          QStringLiteral("生日"), QStringLiteral("农历"), QStringLiteral("部门"),
                          QStringLiteral("备注") });
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("readers"));
        db.setDatabaseName(m_folder->file(QStringLiteral("draft.dat")));
        QVERIFY(db.open());
        {
            QSqlQuery query(db);
            QVERIFY(query.exec(QStringLiteral(
                "SELECT id, emp_name, pinyin, indate, birthday, CASE lunar WHEN 1 THEN '是' ELSE '否' END, dept, "
                "remark1 FROM birthday ORDER BY indate, id")));
            while (query.next()) {
                QStringList row;
                for (int i = 0; i < 8; ++i) {
                    row.append(query.value(i).toString());
                }
                m_roster.append(row);
            }
        }
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("readers"));
        QCOMPARE(m_roster.size(), 6);
        QCOMPARE(m_roster.at(1).at(1), QStringLiteral("Smith; John"));
        QCOMPARE(m_roster.at(3).at(7), QStringLiteral("他说：\"你好\"; 再见"));
        // The lunar box came in as 是, 0, nothing and yes.
        QCOMPARE(m_roster.at(1).at(5) + m_roster.at(2).at(5) + m_roster.at(3).at(5) + m_roster.at(4).at(5),
                 QStringLiteral("是否是否"));
        QCOMPARE(m_roster.at(5).at(2), QStringLiteral("li3 si4")); // the reading in its stored form
    }

    void cleanupTestCase() { m_folder.reset(); }

    void alteredValuesAreAnnounced_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("altered");
        // 欧阳𪛖's name and 😀, and the check mark; the TXT also flattens 李四's two lines.
        QTest::newRow("xls") << "out.xls" << 3;
        QTest::newRow("csv") << "out.csv" << 3;
        QTest::newRow("txt") << "out.txt" << 4;
        QTest::newRow("html") << "out.html" << 0;
        QTest::newRow("rtf") << "out.rtf" << 0;
        QTest::newRow("xlsx") << "out.xlsx" << 0;
        QTest::newRow("csv-utf8") << "outu.csv" << 0;
    }

    void alteredValuesAreAnnounced()
    {
        QFETCH(QString, file);
        QFETCH(int, altered);
        const QString notice = m_notices.value(file);
        QCOMPARE(notice.count(QStringLiteral("：写成“")), altered);
        if (altered > 0) {
            QVERIFY2(notice.contains(QStringLiteral("“姓名”：写成“欧阳?”")), qPrintable(notice));
        }
    }

    void pythonReaders_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("format");
        QTest::newRow("xlrd") << "xls-euro"
                              << "out.xls"
                              << "xls";
        QTest::newRow("openpyxl") << "xlsx"
                                  << "out.xlsx"
                                  << "xlsx";
        QTest::newRow("csv module, TXT") << "txt"
                                         << "out.txt"
                                         << "txt";
        QTest::newRow("csv module, CSV") << "csv"
                                         << "out.csv"
                                         << "csv";
        QTest::newRow("csv module, CSV UTF-8") << "csv-utf8"
                                               << "outu.csv"
                                               << "csv-utf8";
        QTest::newRow("html.parser") << "html"
                                     << "out.html"
                                     << "html";
    }

    void pythonReaders()
    {
        QFETCH(QString, kind);
        QFETCH(QString, file);
        QFETCH(QString, format);
        const QString path = m_folder->file(file);
        const QJsonObject result = read({ kind, path });
        QVERIFY2(!result.value(path).toObject().contains(QStringLiteral("error")),
                 qPrintable(result.value(path).toObject().value(QStringLiteral("error")).toString()));
        QCOMPARE(rowsOf(result.value(path).toObject().value(QStringLiteral("rows"))), expected(format));
    }

    void xlrdReadsGbkWithoutHelp()
    {
        // The workbook's own CODEPAGE record is all xlrd goes by.
        const QString path = m_folder->file(QStringLiteral("gbk.xls"));
        const QJsonObject result = read({ QStringLiteral("xls"), path });
        const QJsonObject file = result.value(path).toObject();
        QVERIFY2(!file.contains(QStringLiteral("error")), qPrintable(file.value(QStringLiteral("error")).toString()));
        Rows want = expected(QStringLiteral("xls"));
        want.removeIf([](const QStringList& row) { return row.value(1).contains(QStringLiteral("€")); });
        QCOMPARE(rowsOf(file.value(QStringLiteral("rows"))), want);
    }

    void libreOffice_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("format");
        // Separator, quote, character set (61: code page 936, 76: UTF-8), first line, every column text.
        const QString text = QStringLiteral(",34,%1,1,1/2/2/2/3/2/4/2/5/2/6/2/7/2");
        QTest::newRow("xls") << "out.xls"
                             << "MS Excel 97"
                             << "xls";
        QTest::newRow("xlsx") << "out.xlsx"
                              << "Calc MS Excel 2007 XML"
                              << "xlsx";
        QTest::newRow("txt") << "out.txt" << QStringLiteral("Text - txt - csv (StarCalc):9") + text.arg(61) << "txt";
        QTest::newRow("csv") << "out.csv" << QStringLiteral("Text - txt - csv (StarCalc):59") + text.arg(61) << "csv";
        QTest::newRow("csv-utf8") << "outu.csv" << QStringLiteral("Text - txt - csv (StarCalc):44") + text.arg(76)
                                  << "csv-utf8";
        QTest::newRow("html") << "out.html"
                              << "HTML (StarCalc)"
                              << "html";
        QTest::newRow("rtf") << "out.rtf"
                             << "Rich Text Format (StarCalc)"
                             << "rtf";
    }

    void libreOffice()
    {
        QFETCH(QString, file);
        QFETCH(QString, filter);
        QFETCH(QString, format);
        const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
        if (!(!soffice.isEmpty())) {
            KELVORA_SKIP("LibreOffice (soffice) is not installed");
        }
        QTemporaryDir profile;
        QTemporaryDir converted;
        QProcess process;
        QElapsedTimer timer;
        timer.start();
        process.start(soffice,
                      { QStringLiteral("-env:UserInstallation=file://") + profile.path(), QStringLiteral("--headless"),
                        QStringLiteral("--infilter=") + filter, QStringLiteral("--convert-to"),
                        QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76,1"), QStringLiteral("--outdir"),
                        converted.path(), m_folder->file(file) });
        QVERIFY(process.waitForFinished(120000));
        qInfo("LibreOffice converted %s in %.1f s", qPrintable(file), double(timer.elapsed()) / 1000);
        const QString csv = converted.filePath(QFileInfo(file).completeBaseName() + QStringLiteral(".csv"));
        QVERIFY2(QFile::exists(csv), qPrintable(QString::fromUtf8(process.readAllStandardError())));
        const QJsonObject result = read({ QStringLiteral("lo-csv"), csv });
        QCOMPARE(rowsOf(result.value(csv).toObject().value(QStringLiteral("rows"))), expected(format));
    }
};

QTEST_GUILESS_MAIN(TestReaders)
#include "test_readers.moc"
