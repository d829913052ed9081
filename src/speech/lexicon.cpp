#include "lexicon.h"

#include "pinyin.h"

#include <algorithm>

namespace {

bool isWordChar(QChar c)
{
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
        || (c >= QLatin1Char('0') && c <= QLatin1Char('9'));
}

template <typename Map> void longestFirst(Map& map)
{
    for (auto& list : map) {
        std::stable_sort(list.begin(), list.end(),
                         [](const auto& a, const auto& b) { return a.text.size() > b.text.size(); });
    }
}

void append(SpokenParts& parts, SpokenPart::Kind kind, const QString& text)
{
    if (text.isEmpty()) {
        return;
    }
    if (kind == SpokenPart::Text && !parts.isEmpty() && parts.back().kind == SpokenPart::Text) {
        parts.back().text += text;
        return;
    }
    parts.append({ kind, text });
}

} // namespace

Lexicon::Lexicon(const QList<LexiconRow>& rows, const QList<NameReading>& names)
{
    QHash<QString, bool> seenWords;
    for (const LexiconRow& row : rows) {
        const QString word = row.word.trimmed();
        const QString reading = Pinyin::canonical(row.pinyin);
        if (word.isEmpty() || reading.isEmpty()) {
            continue;
        }
        if (row.surname) {
            m_surnames.insert(word, reading);
            m_longestSurname = std::max(m_longestSurname, word.size());
        } else if (!seenWords.contains(word)) {
            seenWords.insert(word, true);
            m_words[word.at(0)].append({ word, reading });
            ++m_wordCount;
        }
    }
    // Where each name went in its list: a roster whose names share their first two characters would
    // otherwise be searched name by name (quadratic in a roster of 100,000).
    QHash<QString, qsizetype> seenNames;
    for (const NameReading& person : names) {
        const QString name = person.name.trimmed();
        if (name.size() < 2) {
            continue;
        }
        const QString reading = Pinyin::canonical(person.pinyin);
        // Two people of one name: the one with a reading speaks for both.
        auto& list = m_names[name.left(2)];
        const auto same = seenNames.constFind(name);
        if (same != seenNames.cend()) {
            Entry& entry = list[*same];
            if (entry.pinyin.isEmpty()) {
                entry.pinyin = reading;
            }
            continue;
        }
        seenNames.insert(name, list.size());
        list.append({ name, reading });
        ++m_nameCount;
    }
    longestFirst(m_words);
    longestFirst(m_names);
}

bool Lexicon::wordFits(const QString& text, qsizetype at, const Entry& word) const
{
    if (QStringView(text).mid(at, word.text.size()) != word.text) {
        return false;
    }
    if (isWordChar(word.text.front()) && at > 0 && isWordChar(text.at(at - 1))) {
        return false;
    }
    const qsizetype end = at + word.text.size();
    return !(isWordChar(word.text.back()) && end < text.size() && isWordChar(text.at(end)));
}

SpokenParts Lexicon::name(const QString& name, const QString& pinyin) const
{
    SpokenParts parts;
    const QString reading = Pinyin::canonical(pinyin);
    if (!reading.isEmpty()) {
        append(parts, SpokenPart::Pinyin, reading);
        return parts;
    }
    // A compound surname (尉迟) before a single one (尉); the surname alone is not a full name.
    for (qsizetype length = std::min(m_longestSurname, name.size() - 1); length > 0; --length) {
        const auto surname = m_surnames.constFind(name.left(length));
        if (surname != m_surnames.constEnd()) {
            append(parts, SpokenPart::Pinyin, *surname);
            append(parts, SpokenPart::Name, name.mid(length));
            return parts;
        }
    }
    append(parts, SpokenPart::Name, name);
    return parts;
}

SpokenParts Lexicon::apply(const QString& text) const
{
    SpokenParts parts;
    if (m_words.isEmpty() && m_names.isEmpty()) {
        append(parts, SpokenPart::Text, text);
        return parts;
    }
    qsizetype i = 0;
    while (i < text.size()) {
        const auto names = i + 1 < text.size() ? m_names.constFind(text.mid(i, 2)) : m_names.constEnd();
        if (names != m_names.constEnd()) {
            const auto found = std::find_if(names->begin(), names->end(), [&](const Entry& person) {
                return QStringView(text).mid(i, person.text.size()) == person.text;
            });
            if (found != names->end()) {
                for (const SpokenPart& part : name(found->text, found->pinyin)) {
                    append(parts, part.kind, part.text);
                }
                i += found->text.size();
                continue;
            }
        }
        const auto words = m_words.constFind(text.at(i));
        if (words != m_words.constEnd()) {
            const auto found = std::find_if(words->begin(), words->end(),
                                            [&](const Entry& word) { return wordFits(text, i, word); });
            if (found != words->end()) {
                append(parts, SpokenPart::Pinyin, found->pinyin);
                i += found->text.size();
                continue;
            }
        }
        append(parts, SpokenPart::Text, text.mid(i, 1));
        ++i;
    }
    return parts;
}

QString joinParts(const SpokenParts& parts)
{
    QString out;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const SpokenPart& part = parts.at(i);
        if (part.text.isEmpty()) {
            continue;
        }
        if (!out.isEmpty()) {
            const bool afterPinyin = i > 0 && parts.at(i - 1).kind == SpokenPart::Pinyin;
            const bool pinyin = part.kind == SpokenPart::Pinyin;
            const bool spaced = out.back().isSpace() || part.text.front().isSpace();
            if (!spaced
                && ((pinyin && (afterPinyin || isWordChar(out.back())))
                    || (afterPinyin && isWordChar(part.text.front())))) {
                out += QLatin1Char(' ');
            }
        }
        out += part.text;
    }
    return out;
}
