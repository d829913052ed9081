// What a Mandarin listener hears for numbers, dates and times: text in, the words handed on out.
#include "speech/chinesenumbers.h"
#include "speech/chinesetext.h"

#include <QTest>

class TestChineseText : public QObject
{
    Q_OBJECT

private slots:
    void cardinals_data();
    void cardinals();
    void normalised_data();
    void normalised();
};

void TestChineseText::cardinals_data()
{
    QTest::addColumn<QString>("digits");
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("expected");

    const int plain = int(ChineseNumbers::Style::Plain);
    const int counting = int(ChineseNumbers::Style::Counting);
    const int naming = int(ChineseNumbers::Style::Naming);
    QTest::newRow("zero") << "0" << plain << "零";
    QTest::newRow("leading zeros") << "007" << plain << "七";
    QTest::newRow("ten without one") << "10" << plain << "十";
    QTest::newRow("teens") << "15" << plain << "十五";
    QTest::newRow("ten inside") << "110" << plain << "一百一十";
    QTest::newRow("one zero for a gap") << "1005" << plain << "一千零五";
    QTest::newRow("zero between groups") << "20500" << plain << "两万零五百";
    QTest::newRow("round ten thousands") << "100000" << plain << "十万";
    QTest::newRow("hundred million") << "100010000" << plain << "一亿零一万";
    QTest::newRow("two alone") << "2" << plain << "二";
    QTest::newRow("two counting") << "2" << counting << "两";
    QTest::newRow("two before 百") << "200" << plain << "两百";
    QTest::newRow("two before 千") << "2000" << counting << "两千";
    QTest::newRow("two before 万") << "20000" << plain << "两万";
    QTest::newRow("inner two") << "1200" << counting << "一千二百";
    QTest::newRow("twelve keeps 二") << "12" << counting << "十二";
    QTest::newRow("twenty-two keeps 二") << "22" << counting << "二十二";
    QTest::newRow("an ordinal keeps 二") << "200" << naming << "二百";
    QTest::newRow("sixteen digits") << "1234567890123456" << plain
                                    << "一千二百三十四万亿五千六百七十八亿九千零一十二万三千四百五十六";
}

void TestChineseText::cardinals()
{
    QFETCH(QString, digits);
    QFETCH(int, style);
    QFETCH(QString, expected);
    QCOMPARE(ChineseNumbers::cardinal(digits, ChineseNumbers::Style(style)), expected);
}

void TestChineseText::normalised_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    // Dates: the year digit by digit with 〇, no leading zeros in months and days.
    QTest::newRow("%Date% type 1") << "2026-12-09"
                                   << "二〇二六年十二月九日";
    QTest::newRow("slashes") << "2026/12/09"
                             << "二〇二六年十二月九日";
    QTest::newRow("dots") << "2026.12.09"
                          << "二〇二六年十二月九日";
    QTest::newRow("written date") << "2027年3月15日"
                                  << "二〇二七年三月十五日";
    QTest::newRow("%Date% type 4") << "04月07日"
                                   << "四月七日";
    QTest::newRow("%Date% type 8") << "2014年04月07日 星期一"
                                   << "二〇一四年四月七日 星期一";
    QTest::newRow("%Date% type 5") << "2014-04-07 09:05"
                                   << "二〇一四年四月七日 九点零五分";
    QTest::newRow("year 2000") << "2000年"
                               << "二〇〇〇年";
    QTest::newRow("01月") << "01月"
                          << "一月";
    QTest::newRow("February is 二月") << "2月2日"
                                      << "二月二日";
    QTest::newRow("2号 is a name") << "2号楼"
                                   << "二号楼";
    QTest::newRow("no 29 February 2027") << "2027-02-29"
                                         << "两千零二十七 零二 二十九";
    QTest::newRow("a leap day") << "2028-02-29"
                                << "二〇二八年二月二十九日";
    QTest::newRow("no 31 April") << "2026/04/31"
                                 << "两千零二十六 零四 三十一";
    QTest::newRow("no month 13") << "2026.13.01"
                                 << "二零二六点一三点零一";
    // Only four digits before 年 are a year.
    QTest::newRow("3年 is a length") << "工作3年"
                                     << "工作三年";
    QTest::newRow("2年 is 两年") << "2年"
                                 << "两年";
    QTest::newRow("10周年") << "10周年"
                            << "十周年";
    QTest::newRow("100年") << "100年"
                           << "一百年";
    QTest::newRow("二年级") << "2年级"
                            << "二年级";

    // Times: 点, 分, 秒; the minutes left out only when minutes and seconds are both zero.
    QTest::newRow("%Date% type 2") << "13:43:18"
                                   << "十三点四十三分十八秒";
    QTest::newRow("single-digit minutes") << "9:05:30"
                                          << "九点零五分三十秒";
    QTest::newRow("zero minutes, seconds") << "13:00:18"
                                           << "十三点零分十八秒";
    QTest::newRow("12:00") << "12:00"
                           << "十二点";
    QTest::newRow("12:00:00") << "12:00:00"
                              << "十二点";
    QTest::newRow("zero seconds left out") << "9:30:00"
                                           << "九点三十分";
    QTest::newRow("single-digit seconds") << "9:30:05"
                                          << "九点三十分零五秒";
    QTest::newRow("leading zero hour") << "现在是北京时间09:30"
                                       << "现在是北京时间九点三十分";
    QTest::newRow("sharp") << "12:00正"
                           << "十二点正";
    QTest::newRow("0:00") << "0:00"
                          << "零点";
    QTest::newRow("2:30 is 两点") << "2:30"
                                  << "两点三十分";
    QTest::newRow("22:02") << "22:02"
                           << "二十二点零二分";
    QTest::newRow("a range of times") << "9:00-10:30"
                                      << "九点到十点三十分";
    QTest::newRow("AM") << "9:05 AM"
                        << "上午九点零五分";
    QTest::newRow("PM") << "3:15 PM"
                        << "下午三点十五分";
    QTest::newRow("not a time: a score") << "3:1"
                                         << "三比一";
    QTest::newRow("not a time: 25 hours") << "25:61"
                                          << "二十五比六十一";
    QTest::newRow("10点") << "10点"
                          << "十点";
    QTest::newRow("10 点 with a space") << "10 点"
                                        << "十 点";
    QTest::newRow("0点") << "0点"
                         << "零点";
    QTest::newRow("2点") << "2点"
                         << "两点";
    QTest::newRow("10点30分") << "10点30分"
                              << "十点三十分";
    QTest::newRow("10点30") << "10点30"
                            << "十点三十分";
    QTest::newRow("8点5分") << "8点5分"
                            << "八点零五分";
    QTest::newRow("10点半") << "10点半"
                            << "十点半";
    QTest::newRow("the next number is not the minutes") << "10点 10 点 12:00:00"
                                                        << "十点 十 点 十二点";
    QTest::newRow("hour after Chinese numerals") << "现在是北京时间 零点30"
                                                 << "现在是北京时间 零点三十分";
    QTest::newRow("零点正 stays") << "现在是北京时间 零点正"
                                  << "现在是北京时间 零点正";

    // Amounts before measure words, 两.
    QTest::newRow("2个") << "2个"
                         << "两个";
    QTest::newRow("2岁") << "2岁"
                         << "两岁";
    QTest::newRow("12岁") << "12岁"
                          << "十二岁";
    QTest::newRow("22岁") << "22岁"
                          << "二十二岁";
    QTest::newRow("30岁生日") << "30岁生日"
                              << "三十岁生日";
    QTest::newRow("100人") << "100人"
                           << "一百人";
    QTest::newRow("1000元") << "1000元"
                            << "一千元";
    QTest::newRow("2万元") << "2万元"
                           << "两万元";
    QTest::newRow("2个月") << "2个月"
                           << "两个月";
    QTest::newRow("leading zero before a unit") << "05个"
                                                << "五个";
    QTest::newRow("a unit after a space") << "3 个"
                                          << "三 个";
    QTest::newRow("第2名") << "第2名"
                           << "第二名";
    QTest::newRow("第200") << "第200"
                           << "第二百";
    QTest::newRow("thousands separator") << "1,000元"
                                         << "一千元";
    QTest::newRow("thousands with a fraction") << "1,234.5"
                                               << "一千二百三十四点五";
    QTest::newRow("a bare number") << "共10"
                                   << "共十";
    QTest::newRow("a bare 2") << "2"
                              << "二";

    // Decimals, percentages, fractions, ranges, signs.
    QTest::newRow("36.5度") << "36.5度"
                            << "三十六点五度";
    QTest::newRow("1.50 keeps its zero") << "1.50"
                                         << "一点五零";
    QTest::newRow("0.5") << "0.5"
                         << "零点五";
    QTest::newRow("2.5 keeps 二") << "2.5"
                                  << "二点五";
    QTest::newRow("20%") << "20%"
                         << "百分之二十";
    QTest::newRow("100%") << "100%"
                          << "百分之百";
    QTest::newRow("2.5%") << "2.5%"
                          << "百分之二点五";
    QTest::newRow("fullwidth percent") << "5％"
                                       << "百分之五";
    QTest::newRow("per mille") << "3‰"
                               << "千分之三";
    QTest::newRow("5/6") << "5/6"
                         << "六分之五";
    QTest::newRow("1/2") << "1/2"
                         << "二分之一";
    QTest::newRow("3-5天") << "3-5天"
                           << "三到五天";
    QTest::newRow("2-3个") << "2-3个"
                           << "两到三个";
    QTest::newRow("range with a tilde") << "10~20人"
                                        << "十到二十人";
    QTest::newRow("percent range") << "10-20%"
                                   << "百分之十到百分之二十";
    QTest::newRow("range of years") << "1990-2000年"
                                    << "一九九〇到二〇〇〇年";
    QTest::newRow("falling pair is no range") << "2026-12"
                                              << "两千零二十六 十二";
    QTest::newRow("negative") << "-5度"
                              << "负五度";
    QTest::newRow("negative after text") << "气温-3.5度"
                                         << "气温负三点五度";
    QTest::newRow("negative percent") << "-20%"
                                      << "负百分之二十";
    QTest::newRow("a code's hyphen") << "A-3"
                                     << "A-三";

    // Codes and telephone numbers digit by digit, 1 as 幺.
    QTest::newRow("mobile number") << "13812345678"
                                   << "幺三八幺二三四五六七八";
    QTest::newRow("landline with area code") << "010-62345678"
                                             << "零幺零 六二三四五六七八";
    QTest::newRow("service number") << "400-820-8820"
                                    << "四零零 八二零 八八二零";
    QTest::newRow("a code with a leading zero") << "0571"
                                                << "零五七幺";
    QTest::newRow("a version") << "1.2.3"
                               << "一点二点三";
    QTest::newRow("fullwidth digits") << "２０２６年"
                                      << "二〇二六年";

    // Digits of a latin word stay as written.
    QTest::newRow("pinyin with tone numbers") << "zeng1国藩yi2件"
                                              << "zeng1国藩yi2件";
    QTest::newRow("run-together pinyin") << "zeng1guo2fan1"
                                         << "zeng1guo2fan1";
    QTest::newRow("a product") << "MP3和5G"
                               << "MP3和5G";
    QTest::newRow("a version") << "v2.0.1版本，36.5度"
                               << "v2.0.1版本，三十六点五度";
    QTest::newRow("no digits") << "生日快乐！"
                               << "生日快乐！";
    QTest::newRow("empty") << ""
                           << "";
}

void TestChineseText::normalised()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(ChineseText::normalise(text), expected);
}

QTEST_APPLESS_MAIN(TestChineseText)
#include "test_chinesetext.moc"
