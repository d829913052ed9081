#include "tonesandhi.h"

#include "pinyin.h"

namespace {

// Characters of context the voice gets for the next syllable: enough for its dictionary's words.
constexpr int LookAhead = 4;

const QStringView Numerals = u"〇零一二两三四五六七八九十";
// After these 一 is a number, a date or an hour: 一点五, 一月, 一日, 一号.
const QStringView NumberWords = u"点月日号";
// Words that end in 一: 第一, 之一, 统一, 唯一, 专一, 单一, 划一, 同一, 逐一, 归一, 合一, 初一, 纯一.
const QStringView EndsWithYi = u"第之统唯专单划同逐归合初纯";
// After 万, 一 is 万一 unless the number goes on (一万一千).
const QStringView NumberGoesOn = u"千百十";

struct Following
{
    QString text; // the next characters, Chinese only
    int pinyinTone = -1; // the tone when a reading in pinyin comes next
    QChar first;
};

Following following(const SpokenParts& parts, qsizetype part, qsizetype from)
{
    Following next;
    for (qsizetype p = part; p < parts.size() && next.text.size() < LookAhead; ++p) {
        const SpokenPart& current = parts.at(p);
        if (current.kind == SpokenPart::Pinyin) {
            if (next.text.isEmpty()) {
                const QStringList syllables = Pinyin::syllables(current.text);
                next.pinyinTone = syllables.isEmpty() ? 0 : Pinyin::tone(syllables.first());
                next.first = QLatin1Char('p');
            }
            break;
        }
        const QString& text = current.text;
        for (qsizetype i = p == part ? from : 0; i < text.size(); ++i) {
            if (!Pinyin::isHan(text.at(i).unicode()) || next.text.size() >= LookAhead) {
                return next;
            }
            if (next.text.isEmpty()) {
                next.first = text.at(i);
            }
            next.text += text.at(i);
        }
    }
    return next;
}

QChar previous(const SpokenParts& parts, qsizetype part, qsizetype at)
{
    if (at > 0) {
        return parts.at(part).text.at(at - 1);
    }
    if (part > 0 && parts.at(part - 1).kind != SpokenPart::Pinyin && !parts.at(part - 1).text.isEmpty()) {
        return parts.at(part - 1).text.back();
    }
    return QChar();
}

int toneOfNext(const Following& next, const ToneSandhi::ToneOf& toneOf)
{
    if (next.pinyinTone >= 0) {
        return next.pinyinTone;
    }
    return toneOf ? toneOf(next.text) : 0;
}

QString yi(QChar before, const Following& next, const ToneSandhi::ToneOf& toneOf)
{
    if (next.text.isEmpty() && next.pinyinTone < 0) {
        return QString(); // the end of a word: 统一, 一
    }
    if (Numerals.contains(before) || EndsWithYi.contains(before)
        || (before == u'万' && !NumberGoesOn.contains(next.first))) {
        return QString();
    }
    if (Numerals.contains(next.first) || NumberWords.contains(next.first)) {
        return QString();
    }
    const int tone = toneOfNext(next, toneOf);
    if (tone == 4 || (tone == 5 && next.first == u'个')) { // 个 is a fourth tone said lightly
        return QStringLiteral("yi2");
    }
    if (tone >= 1 && tone <= 3) {
        return QStringLiteral("yi4");
    }
    return QString();
}

QString bu(const Following& next, const ToneSandhi::ToneOf& toneOf)
{
    if (next.text.isEmpty() && next.pinyinTone < 0) {
        return QString();
    }
    return toneOfNext(next, toneOf) == 4 ? QStringLiteral("bu2") : QString();
}

} // namespace

namespace ToneSandhi {

SpokenParts apply(const SpokenParts& parts, const ToneOf& toneOf)
{
    SpokenParts out;
    for (qsizetype p = 0; p < parts.size(); ++p) {
        const SpokenPart& part = parts.at(p);
        if (part.kind != SpokenPart::Text) {
            out.append(part);
            continue;
        }
        QString pending;
        for (qsizetype i = 0; i < part.text.size(); ++i) {
            const QChar c = part.text.at(i);
            QString reading;
            if (c == u'一') {
                reading = yi(previous(parts, p, i), following(parts, p, i + 1), toneOf);
            } else if (c == u'不') {
                reading = bu(following(parts, p, i + 1), toneOf);
            }
            if (reading.isEmpty()) {
                pending += c;
                continue;
            }
            if (!pending.isEmpty()) {
                out.append({ SpokenPart::Text, pending });
                pending.clear();
            }
            out.append({ SpokenPart::Pinyin, reading });
        }
        if (!pending.isEmpty()) {
            out.append({ SpokenPart::Text, pending });
        }
    }
    return out;
}

} // namespace ToneSandhi
