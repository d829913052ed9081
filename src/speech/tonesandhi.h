#pragma once

#include "lexicon.h"

#include <functional>

// The tone changes of 一 and 不, which the voice does not make itself: 不 before a fourth tone is
// bu2; 一 before a fourth tone (and before 个) is yi2, before the other tones yi4. 一 keeps its own
// tone where it is a number (十一, 一九九〇, 一点五, 一月, 第一, 之一) and at the end of a word.
namespace ToneSandhi {

// The tone (1..5) of the first syllable of a text as the voice reads it; 0 when unknown.
using ToneOf = std::function<int(const QString& text)>;

// The parts with each 一 and 不 whose tone changes handed on as pinyin. Only Text parts change.
SpokenParts apply(const SpokenParts& parts, const ToneOf& toneOf);

} // namespace ToneSandhi
