#pragma once

#include <QString>

// How Mandarin says numbers written in digits. Every function takes ASCII digits only.
namespace ChineseNumbers {

enum class Style {
    Plain, // a number on its own: 2 → 二, 200 → 两百, 12 → 十二
    Counting, // before a measure word: 2 → 两 (两个, 两岁, 两点)
    Naming, // an ordinal, a month or a day: 二 throughout (第二, 二月, 二百二十二号)
};

// Numbers up to this many digits are said as amounts; longer ones digit by digit.
constexpr int MaxCardinalDigits = 16;

// The amount: 0 → 零, 10 → 十, 110 → 一百一十, 1005 → 一千零五, 20000 → 两万. Leading zeros are
// ignored. digits must hold 1..MaxCardinalDigits digits.
QString cardinal(const QString& digits, Style style = Style::Plain);
// Digit by digit, as a code or a telephone number is said: 1 is 幺 when oneAsYao, 0 is 零.
QString digitByDigit(const QString& digits, bool oneAsYao = true);
// A year: digit by digit with 〇 (2006 → 二〇〇六).
QString year(const QString& digits);
// The digits after a decimal point: each said alone, zeros kept (50 → 五零).
QString fraction(const QString& digits);
// A decimal number: the integer part as an amount, then 点 and the fraction (36.5 → 三十六点五).
QString decimal(const QString& integer, const QString& fraction);

} // namespace ChineseNumbers
