#pragma once

#include <QString>
#include <QStringList>

// Readings written in pinyin, as the lexicon and the roster keep them and as the Mandarin voice that
// reads latin as pinyin takes them: lower-case syllables, each with its tone number 1..5 (5 the
// neutral tone), ü written v, separated by single spaces ("zeng1 guo2 fan1").
namespace Pinyin {

// A reading as a person types it (tone numbers or tone marks, any case, ü as ü, v or u:) in the
// stored form; empty when it is not a reading.
QString canonical(const QString& typed);
// Syllables of a stored reading.
QStringList syllables(const QString& reading);
// Tone number 1..5 of a syllable with its tone digit; 0 without one.
int tone(const QString& syllable);
// Chinese characters in a text (the syllables a reading of it needs).
int hanCount(const QString& text);
bool isHan(char32_t c);
// Why typed cannot be the reading of word, in the user's words; empty when it can. A reading of a
// word made of Chinese characters has one syllable for each of them.
QString problem(const QString& word, const QString& typed);

} // namespace Pinyin
