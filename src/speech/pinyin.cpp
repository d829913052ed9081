#include "pinyin.h"

#include <QList>
#include <QRegularExpression>

#include <algorithm>

namespace {

// Vowels with a tone mark: the plain vowel and the tone.
struct Marked
{
    char16_t marked;
    char16_t plain;
    int tone;
};

constexpr Marked MarkedVowels[] = {
    { u'ā', u'a', 1 }, { u'á', u'a', 2 }, { u'ǎ', u'a', 3 }, { u'à', u'a', 4 }, { u'ē', u'e', 1 },
    { u'é', u'e', 2 }, { u'ě', u'e', 3 }, { u'è', u'e', 4 }, { u'ī', u'i', 1 }, { u'í', u'i', 2 },
    { u'ǐ', u'i', 3 }, { u'ì', u'i', 4 }, { u'ō', u'o', 1 }, { u'ó', u'o', 2 }, { u'ǒ', u'o', 3 },
    { u'ò', u'o', 4 }, { u'ū', u'u', 1 }, { u'ú', u'u', 2 }, { u'ǔ', u'u', 3 }, { u'ù', u'u', 4 },
    { u'ǖ', u'v', 1 }, { u'ǘ', u'v', 2 }, { u'ǚ', u'v', 3 }, { u'ǜ', u'v', 4 }, { u'ü', u'v', 0 },
};

// An initial (or none) and a final of Mandarin; loose enough for every real syllable, strict enough
// to catch a typing slip.
const QRegularExpression& syllableBody()
{
    static const QRegularExpression body(QStringLiteral(
        "^(?:(?:zh|ch|sh|[bpmfdtnlgkhjqxrzcsyw])?"
        "(?:a|ai|an|ang|ao|e|ei|en|eng|er|i|ia|ian|iang|iao|ie|in|ing|io|iong|iu|o|ong|ou|u|ua|uai|uan|uang|ue|ui|un|"
        "uo|v|ve|van|vn)|ng|m|hm|n)$"));
    return body;
}

// A typed letter without its tone mark, and the mark's tone (0 for none).
QChar plainLetter(QChar c, int* tone)
{
    *tone = 0;
    for (const Marked& m : MarkedVowels) {
        if (m.marked == c.unicode()) {
            *tone = m.tone;
            return QChar(m.plain);
        }
    }
    return c;
}

// Splits letters (tone marks already taken off, marks[i] the tone marked on letter i) into syllables,
// the longest first: "guofan" is guo fan. Each syllable carries at most one mark; one without a mark is
// in the neutral tone. False when the letters are no run of syllables.
bool splitMarked(const QString& letters, const QList<int>& marks, qsizetype from, QStringList* out)
{
    if (from == letters.size()) {
        return true;
    }
    for (qsizetype length = std::min<qsizetype>(6, letters.size() - from); length > 0; --length) {
        const QString body = letters.mid(from, length);
        if (!syllableBody().match(body).hasMatch()) {
            continue;
        }
        int tone = 0;
        bool twoMarks = false;
        for (qsizetype i = from; i < from + length; ++i) {
            if (marks.at(i) != 0) {
                twoMarks = twoMarks || tone != 0;
                tone = marks.at(i);
            }
        }
        if (twoMarks) {
            continue;
        }
        out->append(body + QString::number(tone == 0 ? 5 : tone));
        if (splitMarked(letters, marks, from + length, out)) {
            return true;
        }
        out->removeLast();
    }
    return false;
}

// One typed stretch without separators: a syllable with its tone number ("zeng1"), or syllables
// with tone marks ("guófān"). False when it is neither.
bool parseStretch(const QString& typed, QStringList* out)
{
    QString letters;
    QList<int> marks;
    int number = 0;
    for (const QChar c : typed) {
        if (c >= QLatin1Char('1') && c <= QLatin1Char('5')) {
            number = c.digitValue();
            continue;
        }
        int tone = 0;
        letters += plainLetter(c, &tone);
        marks.append(tone);
    }
    const bool marked = std::any_of(marks.cbegin(), marks.cend(), [](int tone) { return tone != 0; });
    if (number != 0) {
        // A tone number ends one syllable; a mark on it must agree.
        const auto mark = std::find_if(marks.cbegin(), marks.cend(), [](int tone) { return tone != 0; });
        if (!syllableBody().match(letters).hasMatch() || (marked && *mark != number)
            || std::count_if(marks.cbegin(), marks.cend(), [](int tone) { return tone != 0; }) > 1) {
            return false;
        }
        out->append(letters + QString::number(number));
        return true;
    }
    // Without any tone the reading is unknown: a forgotten tone is no neutral one.
    return marked && splitMarked(letters, marks, 0, out);
}

} // namespace

namespace Pinyin {

bool isHan(char32_t c)
{
    return (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x20000 && c <= 0x3134F)
        || (c >= 0xF900 && c <= 0xFAFF) || c == 0x3007;
}

int hanCount(const QString& text)
{
    int count = 0;
    for (const char32_t c : text.toUcs4()) {
        count += isHan(c) ? 1 : 0;
    }
    return count;
}

QString canonical(const QString& typed)
{
    QString text = typed.toLower();
    text.replace(QStringLiteral("u:"), QStringLiteral("v"));
    QStringList out;
    QString current;
    bool ok = true;
    const auto flush = [&] {
        if (current.isEmpty()) {
            return;
        }
        if (!parseStretch(current, &out)) {
            ok = false;
        }
        current.clear();
    };
    for (const QChar c : text) {
        if (c.isSpace() || c == QLatin1Char('\'') || c == QLatin1Char('-') || c == u'’') {
            flush();
        } else if (c >= QLatin1Char('1') && c <= QLatin1Char('5')) {
            current += c; // a tone number ends its syllable: "zeng1guo2" is two
            flush();
        } else {
            current += c;
        }
    }
    flush();
    return ok && !out.isEmpty() ? out.join(QLatin1Char(' ')) : QString();
}

QStringList syllables(const QString& reading)
{
    return reading.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

int tone(const QString& syllable)
{
    if (syllable.isEmpty()) {
        return 0;
    }
    const QChar last = syllable.back();
    return last >= QLatin1Char('1') && last <= QLatin1Char('5') ? last.digitValue() : 0;
}

QString problem(const QString& word, const QString& typed)
{
    if (typed.trimmed().isEmpty()) {
        return QStringLiteral("请输入读音。");
    }
    const QString reading = canonical(typed);
    if (reading.isEmpty()) {
        return QStringLiteral("读音“%1”不是带声调的拼音：每个音节写声调数字 1-5（5 为轻声）或声调符号，"
                              "音节之间用空格，ü 写作 v，例如 zeng1 guo2 fan1。")
            .arg(typed.trimmed());
    }
    const int han = hanCount(word);
    const int count = static_cast<int>(syllables(reading).size());
    if (han > 0 && han != count) {
        return QStringLiteral("读音“%1”有 %2 个音节，“%3”却有 %4 个字。")
            .arg(reading)
            .arg(count)
            .arg(word.trimmed())
            .arg(han);
    }
    return QString();
}

} // namespace Pinyin
