#include "common/inifile.h"
#include "common/linebreaks.h"
#include "testfolder.h"

#include <QTest>

// The escaping of multi-line texts for setinfo.ini: every text comes back from the file as typed,
// apart from the blanks at both ends, which the file's reader always drops.
class TestLineBreaks : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("stored");
        QTest::newRow("plain") << QStringLiteral("生日快乐！") << QStringLiteral("生日快乐！");
        QTest::newRow("line feed") << QStringLiteral("第一行\n第二行") << QStringLiteral("第一行\\n第二行");
        QTest::newRow("lone cr") << QStringLiteral("a\rb") << QStringLiteral("a\\rb");
        QTest::newRow("backslash") << QStringLiteral("C:\\new") << QStringLiteral("C:\\\\new");
        QTest::newRow("backslash n typed") << QStringLiteral("\\n") << QStringLiteral("\\\\n");
        QTest::newRow("trailing backslash") << QStringLiteral("a\\") << QStringLiteral("a\\\\");
        QTest::newRow("blank lines") << QStringLiteral("a\n\n\nb") << QStringLiteral("a\\n\\n\\nb");
        QTest::newRow("break at both ends") << QStringLiteral("\nmiddle\n") << QStringLiteral("\\nmiddle\\n");
        QTest::newRow("enclosing quotes") << QStringLiteral("\"引号\"") << QStringLiteral("\\\"引号\"");
        QTest::newRow("enclosing single quotes") << QStringLiteral("'x'") << QStringLiteral("\\'x'");
        QTest::newRow("inner quotes") << QStringLiteral("他说\"好\"") << QStringLiteral("他说\"好\"");
        QTest::newRow("empty") << QString() << QString();
    }

    void roundTrip()
    {
        QFETCH(QString, text);
        QFETCH(QString, stored);
        QCOMPARE(escapeLineBreaks(text), stored);
        QVERIFY(!escapeLineBreaks(text).contains(QLatin1Char('\n')));
        QCOMPARE(unescapeLineBreaks(escapeLineBreaks(text)), text);

        // Through the settings file itself.
        TestFolder folder;
        IniFile ini(IniFile::defaultPath());
        ini.writeString(QStringLiteral("Addread1"), QStringLiteral("addtext"), escapeLineBreaks(text));
        ini.writeInteger(QStringLiteral("Addread1"), QStringLiteral("Agegroup"), 20);
        const IniFile reread(IniFile::defaultPath());
        QCOMPARE(
            unescapeLineBreaks(reread.readString(QStringLiteral("Addread1"), QStringLiteral("addtext"), QString())),
            text);
        QCOMPARE(reread.readInteger(QStringLiteral("Addread1"), QStringLiteral("Agegroup"), 0), 20);
    }

    void crlfIsOneLineBreak()
    {
        // The editors give line feeds; a pasted CR LF is the same one line break.
        QCOMPARE(escapeLineBreaks(QStringLiteral("a\r\nb")), QStringLiteral("a\\nb"));
        QCOMPARE(unescapeLineBreaks(escapeLineBreaks(QStringLiteral("a\r\nb"))), QStringLiteral("a\nb"));
    }

    void oldValuesReadUnchanged_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("text");
        QTest::newRow("unknown escape") << QStringLiteral("a\\tb") << QStringLiteral("a\\tb");
        QTest::newRow("cut after a backslash") << QStringLiteral("abc\\") << QStringLiteral("abc\\");
    }

    void oldValuesReadUnchanged()
    {
        QFETCH(QString, stored);
        QFETCH(QString, text);
        QCOMPARE(unescapeLineBreaks(stored), text);
    }
};

QTEST_GUILESS_MAIN(TestLineBreaks)
#include "test_linebreaks.moc"
