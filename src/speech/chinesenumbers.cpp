#include "chinesenumbers.h"

#include <QList>

#include <algorithm>

namespace {

const char16_t Digits[] = u"零一二三四五六七八九";
const QString GroupUnits[] = { QString(), QStringLiteral("万"), QStringLiteral("亿"), QStringLiteral("万亿") };
const char16_t PlaceUnits[] = { 0, u'十', u'百', u'千' };

QString stripZeros(const QString& digits)
{
    qsizetype first = 0;
    while (first + 1 < digits.size() && digits.at(first) == QLatin1Char('0')) {
        ++first;
    }
    return digits.mid(first);
}

// One group of up to four digits (value 1..9999). leading: the group opens the whole number.
// twoAsLiang: the number's first digit, when it is 2, is 两.
QString group(int value, bool leading, bool twoAsLiang)
{
    QString out;
    bool pendingZero = false;
    bool first = true;
    for (int place = 3; place >= 0; --place) {
        int divisor = 1;
        for (int i = 0; i < place; ++i) {
            divisor *= 10;
        }
        const int digit = (value / divisor) % 10;
        if (digit == 0) {
            pendingZero = !out.isEmpty();
            continue;
        }
        if (pendingZero) {
            out += QChar(Digits[0]);
            pendingZero = false;
        }
        if (first && leading && place == 1 && digit == 1) {
            // 10..19 at the start of a number: 十五, not 一十五.
        } else if (first && leading && digit == 2 && twoAsLiang && place >= 2) {
            out += QStringLiteral("两");
        } else {
            out += QChar(Digits[digit]);
        }
        if (place > 0) {
            out += QChar(PlaceUnits[place]);
        }
        first = false;
    }
    return out;
}

} // namespace

namespace ChineseNumbers {

QString cardinal(const QString& digits, Style style)
{
    const QString number = stripZeros(digits);
    if (number == QLatin1String("0") || number.isEmpty()) {
        return QString(QChar(Digits[0]));
    }
    if (number == QLatin1String("2")) {
        return style == Style::Counting ? QStringLiteral("两") : QStringLiteral("二");
    }
    // Groups of four from the right: 万, 亿, 万亿.
    QList<int> groups;
    for (qsizetype end = number.size(); end > 0; end -= 4) {
        const qsizetype start = std::max<qsizetype>(0, end - 4);
        groups.prepend(number.mid(start, end - start).toInt());
    }
    // Before 百, 千, 万 and 亿 a leading 2 is 两, except in a name (第二百).
    const bool twoAsLiang = style != Style::Naming;
    QString out;
    bool zeroPending = false;
    for (qsizetype i = 0; i < groups.size(); ++i) {
        const int value = groups.at(i);
        const qsizetype unit = groups.size() - 1 - i;
        if (value == 0) {
            zeroPending = !out.isEmpty();
            continue;
        }
        // A gap inside the number is one 零: 一万零五, 一亿零五百万.
        if (!out.isEmpty() && (zeroPending || value < 1000)) {
            out += QChar(Digits[0]);
        }
        const bool leading = out.isEmpty();
        QString part = group(value, leading, twoAsLiang);
        if (leading && twoAsLiang && unit > 0 && value == 2) {
            part = QStringLiteral("两"); // 两万, 两亿
        }
        out += part + GroupUnits[unit];
        zeroPending = false;
    }
    return out;
}

QString digitByDigit(const QString& digits, bool oneAsYao)
{
    QString out;
    out.reserve(digits.size());
    for (const QChar c : digits) {
        const int d = c.digitValue();
        if (d < 0) {
            continue;
        }
        out += d == 1 && oneAsYao ? QChar(u'幺') : QChar(Digits[d]);
    }
    return out;
}

QString year(const QString& digits)
{
    QString out = digitByDigit(digits, false);
    out.replace(QChar(Digits[0]), QChar(u'〇'));
    return out;
}

QString fraction(const QString& digits)
{
    return digitByDigit(digits, false);
}

QString decimal(const QString& integer, const QString& fractionDigits)
{
    return cardinal(integer, Style::Naming) + QStringLiteral("点") + fraction(fractionDigits);
}

} // namespace ChineseNumbers
