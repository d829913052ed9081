#pragma once

#include <QString>

// The Chinese text normaliser: what a text writes in digits and signs becomes what a Mandarin reader
// says for it. Dates (2026-12-09, 2026/12/09, 2026年12月9日, 12月9日) read the year digit by digit with
// 〇 and drop leading zeros; times (9:05, 13:43:18, 10点30分) read as 点, 分 and 秒; amounts before a
// measure word, decimals, percentages, fractions, ranges and negative numbers read as amounts; codes and
// telephone numbers digit by digit. Everything else is left as it stands.
namespace ChineseText {

QString normalise(const QString& text);

} // namespace ChineseText
