#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QString>

// One row of the pronunciation lexicon: a word and its reading in pinyin with tone numbers. A
// surname row is read so only at the start of a roster name.
struct LexiconRow
{
    QString word;
    QString pinyin;
    bool surname = false;

    bool operator==(const LexiconRow&) const = default;
};

// A roster name (trimmed) and the person's own reading; the reading is empty when none is set.
struct NameReading
{
    QString name;
    QString pinyin;
};

// What the speech of names and words reads from draft.dat: the table lexicon and the roster's
// column pinyin. Files made before them lack both; the station adds them, a preview only reads.
namespace SpeechTables {

inline const QString LexiconTable = QStringLiteral("lexicon");
inline const QString ReadingColumn = QStringLiteral("pinyin");

// The lexicon rows draft.sql ships with: the built-in seeds. Throws RuntimeError.
QList<LexiconRow> shippedLexicon();
bool hasLexicon(const QSqlDatabase& db);
bool hasReadingColumn(const QSqlDatabase& db);
// Adds what an older file lacks: the table lexicon with the shipped rows, and the column pinyin of
// the roster. Nothing else is touched; one transaction. Throws RuntimeError with the database's text.
void upgrade(const QSqlDatabase& db);
// The file's lexicon, or the shipped rows when it has none. Throws RuntimeError.
QList<LexiconRow> lexicon(const QSqlDatabase& db);
// Every roster name with its reading (empty without the column). Throws RuntimeError.
QList<NameReading> readings(const QSqlDatabase& db);

} // namespace SpeechTables
