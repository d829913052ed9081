#include "chinesetext.h"

#include "chinesenumbers.h"

#include <QDate>
#include <QList>
#include <QRegularExpression>

#include <algorithm>

namespace {

using ChineseNumbers::Style;

// What follows a number decides how it is said.
enum class Unit { None, Year, Month, Day, Hour, Naming, Counting };

struct UnitWord
{
    QString word;
    Unit unit;
};

// Longest first, so that 个月 counts and 年级 names.
const QList<UnitWord>& unitWords()
{
    static const QList<UnitWord> words = [] {
        QList<UnitWord> list;
        const auto add = [&list](Unit unit, const char16_t* words) {
            for (const QString& word : QString::fromUtf16(words).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
                list.append({ word, unit });
            }
        };
        add(Unit::Year, u"年");
        add(Unit::Month, u"月份 月");
        add(Unit::Day, u"日 号");
        add(Unit::Hour, u"点");
        add(Unit::Naming, u"年级 楼 路 班 期 版 等 级 章 节");
        add(Unit::Counting,
            u"个 岁 人 位 名 天 元 块 角 毛 分 秒 次 件 本 张 条 只 份 种 辆 台 家 所 间 套 层 周 倍 斤 克 吨 米 里 亩 "
            u"杯 瓶 碗 盒 包 箱 袋 双 对 把 支 枝 头 匹 架 部 首 句 篇 页 步 遍 趟 回 场 届 批 组 队 排 列 项 门 封 片 "
            u"颗 粒 棵 座 栋 幢 户 口 代 季 度 下 声 样 百 千 万 亿 小时 钟头 分钟 秒钟 星期 礼拜 公斤 千克 公里 千米 "
            u"厘米 毫米 平方米 平米 点钟 周岁");
        std::stable_sort(list.begin(), list.end(),
                         [](const UnitWord& a, const UnitWord& b) { return a.word.size() > b.word.size(); });
        return list;
    }();
    return words;
}

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool isLatin(QChar c)
{
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
}

bool isMinus(QChar c)
{
    return c == QLatin1Char('-') || c == u'－' || c == u'−';
}

// Chinese numerals that can stand before 点 as an hour (零点30).
bool isChineseNumeral(QChar c)
{
    return QStringView(u"零〇一二两三四五六七八九十").contains(c);
}

// An amount, or digit by digit when it is too long to be one.
QString amount(const QString& digits, Style style)
{
    QString significant = digits;
    while (significant.size() > 1 && significant.startsWith(QLatin1Char('0'))) {
        significant.remove(0, 1);
    }
    if (significant.size() > ChineseNumbers::MaxCardinalDigits) {
        return ChineseNumbers::digitByDigit(digits);
    }
    return ChineseNumbers::cardinal(significant, style);
}

// A number with nothing after it that tells what it counts: a code (leading zero) or a telephone
// number (seven digits or more) digit by digit, anything else as an amount.
QString bare(const QString& digits)
{
    if ((digits.size() > 1 && digits.startsWith(QLatin1Char('0'))) || digits.size() >= 7) {
        return ChineseNumbers::digitByDigit(digits);
    }
    return ChineseNumbers::cardinal(digits, Style::Plain);
}

QString numberFor(const QString& digits, Unit unit)
{
    switch (unit) {
    case Unit::Year:
        // Only four digits before 年 are a year: 2026年, but 3年 and 10年 are lengths of time.
        return digits.size() == 4 ? ChineseNumbers::year(digits) : amount(digits, Style::Counting);
    case Unit::Month:
    case Unit::Day:
    case Unit::Naming:
        return amount(digits, Style::Naming);
    case Unit::Hour:
    case Unit::Counting:
        return amount(digits, Style::Counting);
    case Unit::None:
        break;
    }
    return bare(digits);
}

// Minutes or seconds of a clock time: 零五 for a single digit, 二十二 as an amount.
QString clockPart(int value)
{
    const QString digits = QString::number(value);
    return value < 10 ? QStringLiteral("零") + ChineseNumbers::digitByDigit(digits, false)
                      : ChineseNumbers::cardinal(digits, Style::Naming);
}

// A time of day: the minutes are left out only when minutes and seconds are both zero.
QString clock(int hour, int minute, int second)
{
    QString out = ChineseNumbers::cardinal(QString::number(hour), Style::Counting) + QStringLiteral("点");
    if (minute == 0 && second == 0) {
        return out;
    }
    out += (minute == 0 ? QStringLiteral("零") : clockPart(minute)) + QStringLiteral("分");
    if (second > 0) {
        out += clockPart(second) + QStringLiteral("秒");
    }
    return out;
}

QString fullwidthDigitsAsAscii(const QString& text)
{
    QString out = text;
    for (QChar& c : out) {
        if (c >= u'０' && c <= u'９') {
            c = QChar(u'0' + (c.unicode() - u'０'));
        }
    }
    return out;
}

QRegularExpression pattern(const char16_t* text)
{
    return QRegularExpression(QString::fromUtf16(text));
}

class Scanner
{
public:
    explicit Scanner(const QString& text)
        : m_s(text)
    {
        m_out.reserve(text.size() * 2);
    }

    QString run()
    {
        while (m_i < m_s.size()) {
            const QChar c = m_s.at(m_i);
            if (isDigit(c)) {
                number();
            } else if (isMinus(c) && m_i + 1 < m_s.size() && isDigit(m_s.at(m_i + 1))) {
                sign();
            } else {
                m_out += c;
                ++m_i;
            }
        }
        return m_out;
    }

private:
    QRegularExpressionMatch at(const QRegularExpression& re) const
    {
        return re.match(m_s, m_i, QRegularExpression::NormalMatch, QRegularExpression::AnchorAtOffsetMatchOption);
    }

    void take(const QRegularExpressionMatch& match, const QString& spoken)
    {
        m_out += spoken;
        m_i = match.capturedEnd(0);
    }

    QChar before(qsizetype position) const { return position > 0 ? m_s.at(position - 1) : QChar(); }

    Unit unitAt(qsizetype position) const
    {
        while (position < m_s.size() && m_s.at(position) == QLatin1Char(' ')) {
            ++position;
        }
        for (const UnitWord& word : unitWords()) {
            if (QStringView(m_s).mid(position).startsWith(word.word)) {
                return word.unit;
            }
        }
        return Unit::None;
    }

    // A minus sign: 负 before a number, a pause between two numbers the rules did not join.
    void sign()
    {
        const QChar previous = before(m_i);
        if (isDigit(previous)) {
            m_out += QLatin1Char(' ');
        } else if (isLatin(previous)) {
            m_out += m_s.at(m_i); // part of a code such as A-3
        } else {
            m_out += QStringLiteral("负");
        }
        ++m_i;
    }

    void number()
    {
        if (latinWord()) {
            return;
        }
        if (date() || clockTime() || ratio() || range() || percent() || fraction() || dotted() || decimal()
            || thousands() || telephone() || hour() || minutesAfterChineseHour()) {
            return;
        }
        integer();
    }

    // Digits that touch a latin letter belong to a latin word and stay as written: pinyin with its tone
    // numbers (zeng1), MP3, 5G.
    bool latinWord()
    {
        qsizetype end = m_i;
        while (end < m_s.size() && isDigit(m_s.at(end))) {
            ++end;
        }
        if (!isLatin(before(m_i)) && !(end < m_s.size() && isLatin(m_s.at(end)))) {
            return false;
        }
        // A version after a letter (v2.0.1) stays whole.
        while (isLatin(before(m_i)) && end + 1 < m_s.size() && m_s.at(end) == QLatin1Char('.')
               && isDigit(m_s.at(end + 1))) {
            end += 2;
            while (end < m_s.size() && isDigit(m_s.at(end))) {
                ++end;
            }
        }
        m_out += QStringView(m_s).mid(m_i, end - m_i);
        m_i = end;
        return true;
    }

    // 2026-12-09, 2026/12/09, 2026.12.09; a day that does not exist reads as separate numbers.
    bool date()
    {
        static const QRegularExpression re
            = pattern(u"(\\d{4})([-/.／．－])(\\d{1,2})\\2(\\d{1,2})(?!\\d|[-/.／．－]\\d)");
        const QRegularExpressionMatch m = at(re);
        if (!m.hasMatch()) {
            return false;
        }
        const QString y = m.captured(1);
        const QString mo = m.captured(3);
        const QString d = m.captured(4);
        if (QDate(y.toInt(), mo.toInt(), d.toInt()).isValid() && y.toInt() > 0) {
            take(m,
                 ChineseNumbers::year(y) + QStringLiteral("年") + amount(mo, Style::Naming) + QStringLiteral("月")
                     + amount(d, Style::Naming) + QStringLiteral("日"));
        } else if (m.captured(2) == QLatin1String(".") || m.captured(2) == QStringLiteral("．")) {
            take(m, dottedParts({ y, mo, d }));
        } else {
            take(m, bare(y) + QLatin1Char(' ') + bare(mo) + QLatin1Char(' ') + bare(d));
        }
        return true;
    }

    // 9:05, 13:43:18, 9:05 AM; a range of times reads 到 between them.
    bool clockTime()
    {
        static const QRegularExpression re = pattern(u"(\\d{1,2})[:：](\\d{2})(?:[:：](\\d{2}))?(?!\\d|[:：]\\d)");
        static const QRegularExpression meridiem = pattern(u"\\s*([AaPp])\\.?[Mm]\\.?(?![A-Za-z])");
        static const QRegularExpression until = pattern(u"\\s*[-~～－—–至到]\\s*(?=\\d{1,2}[:：]\\d{2})");
        const QRegularExpressionMatch m = at(re);
        if (!m.hasMatch()) {
            return false;
        }
        const int h = m.captured(1).toInt();
        const int mi = m.captured(2).toInt();
        const int s = m.captured(3).isEmpty() ? 0 : m.captured(3).toInt();
        const bool valid = mi <= 59 && s <= 59 && (h <= 23 || (h == 24 && mi == 0 && s == 0));
        if (!valid) {
            return false;
        }
        QString spoken = clock(h, mi, s);
        take(m, QString());
        if (const QRegularExpressionMatch am = at(meridiem); am.hasMatch()) {
            const bool pm = am.captured(1).compare(QLatin1String("p"), Qt::CaseInsensitive) == 0;
            spoken = (pm ? QStringLiteral("下午") : QStringLiteral("上午")) + spoken;
            m_i = am.capturedEnd(0);
        }
        m_out += spoken;
        if (const QRegularExpressionMatch to = at(until); to.hasMatch()) {
            take(to, QStringLiteral("到"));
        }
        return true;
    }

    // 3:1 and any pair that is not a time: 三比一.
    bool ratio()
    {
        static const QRegularExpression re = pattern(u"(\\d+)[:：](\\d+)(?!\\d|[:：]\\d)");
        const QRegularExpressionMatch m = at(re);
        if (!m.hasMatch()) {
            return false;
        }
        take(m, bare(m.captured(1)) + QStringLiteral("比") + bare(m.captured(2)));
        return true;
    }

    // 3-5天 → 三到五天, 10%-20%, 1990-2000年. Only rising pairs without leading zeros are ranges, so
    // 2026-12 and 010-6234 are not.
    bool range()
    {
        static const QRegularExpression re
            = pattern(u"(\\d+)(?:[.．](\\d+))?([%％‰])?\\s*[-~～－—–至]\\s*(\\d+)(?:[.．](\\d+))?([%％‰])?"
                      u"(?!\\d|[.．:：/／\\-－~～]\\d)");
        const QRegularExpressionMatch m = at(re);
        if (!m.hasMatch()) {
            return false;
        }
        const QString li = m.captured(1);
        const QString lf = m.captured(2);
        const QString ri = m.captured(4);
        const QString rf = m.captured(5);
        const auto leadingZero = [](const QString& integer, const QString& frac) {
            return integer.size() > 1 && integer.startsWith(QLatin1Char('0')) && frac.isEmpty();
        };
        const auto value = [](const QString& integer, const QString& frac) {
            const QString number = integer + QLatin1Char('.') + (frac.isEmpty() ? QStringLiteral("0") : frac);
            return number.toDouble();
        };
        if (leadingZero(li, lf) || leadingZero(ri, rf) || li.size() > 12 || ri.size() > 12
            || value(li, lf) >= value(ri, rf)) {
            return false;
        }
        const QString percentSign = m.captured(6).isEmpty() ? m.captured(3) : m.captured(6);
        const Unit unit = percentSign.isEmpty() ? unitAt(m.capturedEnd(0)) : Unit::None;
        const bool ordinal = before(m_i) == u'第';
        const auto side = [&](const QString& integer, const QString& frac, const QString& sign) {
            QString spoken;
            if (!frac.isEmpty()) {
                spoken = ChineseNumbers::decimal(integer, frac);
            } else if (!percentSign.isEmpty()) {
                spoken = amount(integer, Style::Naming);
            } else if (ordinal) {
                spoken = amount(integer, Style::Naming);
            } else if (unit == Unit::Year && (li.size() != 4 || ri.size() != 4)) {
                spoken = amount(integer, Style::Counting);
            } else {
                spoken = numberFor(integer, unit);
            }
            const QString s = sign.isEmpty() ? percentSign : sign;
            return s.isEmpty() ? spoken : percentPrefix(s) + spoken;
        };
        take(m, side(li, lf, m.captured(3)) + QStringLiteral("到") + side(ri, rf, m.captured(6)));
        return true;
    }

    static QString percentPrefix(const QString& sign)
    {
        return sign == QStringLiteral("‰") ? QStringLiteral("千分之") : QStringLiteral("百分之");
    }

    // 20% → 百分之二十, 100% → 百分之百, 2.5% → 百分之二点五.
    bool percent()
    {
        static const QRegularExpression re = pattern(u"(\\d+)(?:[.．](\\d+))?\\s*([%％‰])");
        const QRegularExpressionMatch m = at(re);
        if (!m.hasMatch()) {
            return false;
        }
        const QString integer = m.captured(1);
        const QString frac = m.captured(2);
        QString spoken;
        if (!frac.isEmpty()) {
            spoken = ChineseNumbers::decimal(integer, frac);
        } else if (integer.toInt() == 100 && integer.size() <= 3) {
            spoken = QStringLiteral("百");
        } else {
            spoken = amount(integer, Style::Naming);
        }
        take(m, percentPrefix(m.captured(3)) + spoken);
        return true;
    }

    // 5/6 → 六分之五.
    bool fraction()
    {
        static const QRegularExpression re = pattern(u"(\\d+)\\s*[/／]\\s*(\\d+)(?!\\d|[/／]\\d)");
        const QRegularExpressionMatch m = at(re);
        if (!m.hasMatch()) {
            return false;
        }
        take(m, amount(m.captured(2), Style::Naming) + QStringLiteral("分之") + amount(m.captured(1), Style::Naming));
        return true;
    }

    static QString dottedParts(const QStringList& parts)
    {
        QStringList spoken;
        for (const QString& part : parts) {
            spoken.append(ChineseNumbers::digitByDigit(part, false));
        }
        return spoken.join(QStringLiteral("点"));
    }

    // 1.2.3 and 192.168.1.1: each part digit by digit, joined by 点.
    bool dotted()
    {
        static const QRegularExpression re = pattern(u"\\d+(?:[.．]\\d+){2,}(?!\\d)");
        const QRegularExpressionMatch m = at(re);
        if (!m.hasMatch()) {
            return false;
        }
        take(m, dottedParts(m.captured(0).split(QRegularExpression(QStringLiteral("[.．]")))));
        return true;
    }

    // 36.5 → 三十六点五, 1.50 → 一点五零: the digits after the point are said one by one.
    bool decimal()
    {
        static const QRegularExpression re = pattern(u"(\\d+)[.．](\\d+)(?!\\d)");
        const QRegularExpressionMatch m = at(re);
        if (!m.hasMatch()) {
            return false;
        }
        const QString integer = m.captured(1);
        take(m,
             integer.size() > ChineseNumbers::MaxCardinalDigits ? ChineseNumbers::digitByDigit(integer, false)
                     + QStringLiteral("点") + ChineseNumbers::fraction(m.captured(2))
                                                                : ChineseNumbers::decimal(integer, m.captured(2)));
        return true;
    }

    // 1,000 and 1,234.5: the separators are left out.
    bool thousands()
    {
        static const QRegularExpression re = pattern(u"(\\d{1,3}(?:,\\d{3})+)(?:[.．](\\d+))?(?!\\d|,\\d)");
        const QRegularExpressionMatch m = at(re);
        if (!m.hasMatch()) {
            return false;
        }
        const QString integer = m.captured(1).remove(QLatin1Char(','));
        const QString frac = m.captured(2);
        take(m,
             frac.isEmpty()
                 ? amount(integer, unitAt(m.capturedEnd(0)) == Unit::Counting ? Style::Counting : Style::Plain)
                 : ChineseNumbers::decimal(integer, frac));
        return true;
    }

    // 010-62345678, 400-820-8820: digit by digit, a pause between the groups.
    bool telephone()
    {
        static const QRegularExpression re = pattern(u"\\d+(?:[-－]\\d+)+(?!\\d)");
        const QRegularExpressionMatch m = at(re);
        if (!m.hasMatch()) {
            return false;
        }
        const QStringList groups = m.captured(0).split(QRegularExpression(QStringLiteral("[-－]")));
        const qsizetype digits = m.captured(0).size() - (groups.size() - 1);
        if (digits < 7 && !groups.first().startsWith(QLatin1Char('0'))) {
            return false;
        }
        QStringList spoken;
        for (const QString& group : groups) {
            spoken.append(ChineseNumbers::digitByDigit(group));
        }
        take(m, spoken.join(QLatin1Char(' ')));
        return true;
    }

    // 10点 → 十点, 2点 → 两点, 10点30分 and 10点30 → 十点三十分, 8点5分 → 八点零五分.
    bool hour()
    {
        static const QRegularExpression re = pattern(u"(\\d{1,2})(\\s*)点(?:(\\d{1,2})(\\s*分)?(?![\\d.．]))?");
        const QRegularExpressionMatch m = at(re);
        if (!m.hasMatch() || m.captured(1).toInt() > 24) {
            return false;
        }
        QString spoken = amount(m.captured(1), Style::Counting) + m.captured(2) + QStringLiteral("点");
        const QString minutes = m.captured(3);
        const bool withFen = !m.captured(4).isEmpty();
        const int minute = minutes.toInt();
        if (!minutes.isEmpty() && minute <= 59 && (withFen || minutes.size() == 2)) {
            if (withFen || minute > 0) {
                spoken += (minute == 0 ? QStringLiteral("零") : clockPart(minute)) + QStringLiteral("分");
            }
            take(m, spoken);
        } else {
            m_out += spoken;
            m_i = m.capturedStart(2) + m.capturedLength(2) + 1; // up to and with 点
        }
        return true;
    }

    // The time announcement's 零点30: two digits after an hour in Chinese numerals are its minutes.
    bool minutesAfterChineseHour()
    {
        static const QRegularExpression re = pattern(u"(\\d{2})(\\s*分)?(?!\\d)");
        if (before(m_i) != u'点' || !isChineseNumeral(before(m_i - 1))) {
            return false;
        }
        const QRegularExpressionMatch m = at(re);
        if (!m.hasMatch() || m.captured(1).toInt() > 59) {
            return false;
        }
        const int minute = m.captured(1).toInt();
        const bool withFen = !m.captured(2).isEmpty();
        take(m,
             minute == 0 && !withFen ? QString()
                                     : (minute == 0 ? QStringLiteral("零") : clockPart(minute)) + QStringLiteral("分"));
        return true;
    }

    void integer()
    {
        static const QRegularExpression re = pattern(u"\\d+");
        const QRegularExpressionMatch m = at(re);
        const QString digits = m.captured(0);
        // 第2 is an ordinal: 第二, 第二百.
        const Unit unit = before(m_i) == u'第' ? Unit::Naming : unitAt(m.capturedEnd(0));
        take(m, numberFor(digits, unit));
    }

    const QString& m_s;
    qsizetype m_i = 0;
    QString m_out;
};

} // namespace

namespace ChineseText {

QString normalise(const QString& text)
{
    bool digits = false;
    for (const QChar c : text) {
        if (isDigit(c) || (c >= u'０' && c <= u'９')) {
            digits = true;
            break;
        }
    }
    if (!digits) {
        return text; // nothing to say differently
    }
    const QString ascii = fullwidthDigitsAsAscii(text);
    return Scanner(ascii).run();
}

} // namespace ChineseText
