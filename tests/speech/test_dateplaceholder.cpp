#include "speech/dateplaceholder.h"

#include <QTest>

class TestDatePlaceholder : public QObject
{
    Q_OBJECT

private slots:
    void formats_data();
    void formats();
    void substitution_data();
    void substitution();
};

namespace {
const QDateTime Monday(QDate(2014, 4, 7), QTime(9, 5, 30));
}

void TestDatePlaceholder::formats_data()
{
    QTest::addColumn<int>("datetimetype");
    QTest::addColumn<QDateTime>("moment");
    QTest::addColumn<QString>("expected");

    // The tests run with a Chinese locale, so names are the Chinese ones.
    QTest::newRow("1 date") << 1 << Monday << "2014-04-07";
    QTest::newRow("2 time, no leading zero") << 2 << Monday << "9:05:30";
    QTest::newRow("2 afternoon") << 2 << QDateTime(QDate(2014, 4, 7), QTime(14, 7, 9)) << "14:07:09";
    QTest::newRow("3 short time") << 3 << Monday << "09:05";
    QTest::newRow("4 month and day") << 4 << Monday << "04月07日";
    QTest::newRow("5 date and time") << 5 << Monday << "2014-04-07 09:05";
    QTest::newRow("6 short weekday") << 6 << Monday << "周一";
    QTest::newRow("7 long month") << 7 << Monday << "四月";
    QTest::newRow("8 long date") << 8 << Monday << "2014年04月07日 星期一";
    QTest::newRow("8 Sunday at new year") << 8 << QDateTime(QDate(2023, 1, 1), QTime(0, 0)) << "2023年01月01日 星期日";
    QTest::newRow("0 none") << 0 << Monday << "";
    QTest::newRow("9 none") << 9 << Monday << "";
}

void TestDatePlaceholder::formats()
{
    QFETCH(int, datetimetype);
    QFETCH(QDateTime, moment);
    QFETCH(QString, expected);
    QCOMPARE(DatePlaceholder::format(datetimetype, moment), expected);
}

void TestDatePlaceholder::substitution_data()
{
    QTest::addColumn<QString>("piece");
    QTest::addColumn<int>("datetimetype");
    QTest::addColumn<QString>("expected");

    QTest::newRow("replaced") << "今天是%Date%，" << 1 << "今天是2014-04-07，";
    QTest::newRow("every occurrence in any case")
        << "%Date% 与 %DATE% 与 %date%" << 4 << "04月07日 与 04月07日 与 04月07日";
    QTest::newRow("capitals only stay") << "今天是%DATE%" << 1 << "今天是%DATE%";
    QTest::newRow("type 0 stays") << "今天是%Date%" << 0 << "今天是%Date%";
    QTest::newRow("type 9 stays") << "今天是%Date%" << 9 << "今天是%Date%";
    QTest::newRow("cut placeholder stays") << "今天是%Da" << 1 << "今天是%Da";
    QTest::newRow("no placeholder") << "生日快乐" << 1 << "生日快乐";
}

void TestDatePlaceholder::substitution()
{
    QFETCH(QString, piece);
    QFETCH(int, datetimetype);
    QFETCH(QString, expected);
    QCOMPARE(DatePlaceholder::substitute(piece, datetimetype, Monday), expected);
}

QTEST_GUILESS_MAIN(TestDatePlaceholder)
#include "test_dateplaceholder.moc"
