#include "ansiindex.h"

#include "common/ansi.h"

#include <algorithm>

AnsiIndex::AnsiIndex(const QString& text)
    : m_text(text)
{
    const QByteArray bytes = Ansi::encode(text);
    const int n = static_cast<int>(text.size());
    m_offsets.resize(static_cast<size_t>(n) + 1);
    // GB18030 sequences: one byte below 0x80; four when the second byte is a digit; otherwise two.
    // Each code point of the text (a surrogate pair is one) is one sequence.
    int b = 0;
    const int total = static_cast<int>(bytes.size());
    for (int i = 0; i < n;) {
        m_offsets[static_cast<size_t>(i)] = b;
        int units = 1;
        if (text.at(i).isHighSurrogate() && i + 1 < n && text.at(i + 1).isLowSurrogate()) {
            units = 2;
            m_offsets[static_cast<size_t>(i) + 1] = b;
        }
        const auto lead = static_cast<unsigned char>(b < total ? bytes.at(b) : 0);
        int size = 1;
        if (lead >= 0x80 && b + 1 < total) {
            const auto second = static_cast<unsigned char>(bytes.at(b + 1));
            size = (second >= 0x30 && second <= 0x39) ? 4 : 2;
        }
        b = std::min(total, b + size);
        i += units;
    }
    m_offsets[static_cast<size_t>(n)] = total;
}

int AnsiIndex::byteOffset(int charPos) const
{
    if (m_offsets.empty()) {
        return 0;
    }
    const int pos = std::clamp(charPos, 0, static_cast<int>(m_text.size()));
    return m_offsets[static_cast<size_t>(pos)];
}

int AnsiIndex::charPosition(int bytes) const
{
    if (m_offsets.empty() || bytes <= 0) {
        return 0;
    }
    // The last character boundary at or before `bytes`; a surrogate pair's low half shares its high
    // half's offset, and upper_bound - 1 would land on it, so step back to the first of equal offsets.
    auto it = std::upper_bound(m_offsets.begin(), m_offsets.end(), bytes);
    --it;
    it = std::lower_bound(m_offsets.begin(), it + 1, *it);
    return static_cast<int>(it - m_offsets.begin());
}

QString AnsiIndex::window(int start, int maxBytes) const
{
    const int from = charPosition(start);
    const int to = charPosition(byteOffset(from) + std::max(0, maxBytes));
    return m_text.mid(from, std::max(0, to - from));
}
