#pragma once

#include "data/speechtables.h"

#include <QHash>
#include <QList>
#include <QString>

// One stretch of a text on its way to the engine.
struct SpokenPart
{
    enum Kind {
        Text, // as written
        Pinyin, // a reading in pinyin with tone numbers, handed on instead of the characters
        Name // a roster name left in characters: nothing inside it is read differently
    };
    Kind kind = Text;
    QString text;

    bool operator==(const SpokenPart&) const = default;
};
using SpokenParts = QList<SpokenPart>;

// The pronunciation lexicon and the roster's names, as the voice that reads pinyin is to hear them.
// Immutable; the station publishes a new one when the lexicon or the roster changes.
class Lexicon final
{
public:
    Lexicon() = default;
    // Rows whose reading is not pinyin with tone numbers are left out, and so are names of fewer than
    // two characters.
    Lexicon(const QList<LexiconRow>& rows, const QList<NameReading>& names);

    // The text in parts, left to right, the longest match first: where a full roster name stands, its
    // person's own reading, or else a surname entry for its first characters followed by the rest of
    // the name; elsewhere the words of the lexicon; the rest as it stands. An entry that begins or
    // ends with a latin letter or a digit matches only a whole latin word.
    SpokenParts apply(const QString& text) const;
    // A name as it reads where the roster holds it: its own reading when given, else the surname
    // entry and the rest.
    SpokenParts name(const QString& name, const QString& pinyin = QString()) const;

    int wordCount() const { return m_wordCount; }
    int nameCount() const { return m_nameCount; }

private:
    struct Entry
    {
        QString text;
        QString pinyin;
    };
    bool wordFits(const QString& text, qsizetype at, const Entry& word) const;

    QHash<QChar, QList<Entry>> m_words; // by first character, longest first
    QHash<QString, QList<Entry>> m_names; // by first two characters, longest first
    QHash<QString, QString> m_surnames;
    qsizetype m_longestSurname = 0;
    int m_wordCount = 0;
    int m_nameCount = 0;
};

// Joins parts into the text handed to the engine: a reading in pinyin is set off by a space from a
// neighbouring reading and from latin letters and digits, so that syllables never run together.
QString joinParts(const SpokenParts& parts);
