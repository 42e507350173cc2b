// SPDX-License-Identifier: Apache-2.0
#include "shapereading.h"

#include <QtAlgorithms>

#include <algorithm>
#include <cstring>
#include <numeric>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace corvane {

void addShapePoints(std::vector<ShapePoint> &points, RowCollector &rows,
                    const std::function<QString(int shape, int vertex)> &name)
{
    auto before = [&](const ShapePoint &a, const ShapePoint &b) {
        if (a.shape != b.shape) return a.shape < b.shape;
        if (a.vertex != b.vertex) return a.vertex < b.vertex;
        return a.key < b.key;
    };
    // Points already in order (one key per shape, say) are taken as they
    // are; others are ordered through their indices, a fraction of their size.
    std::vector<quint32> order;
    if (!std::is_sorted(points.begin(), points.end(), before)) {
        order.resize(points.size());
        std::iota(order.begin(), order.end(), 0u);
        std::stable_sort(order.begin(), order.end(),
                         [&](quint32 a, quint32 b) { return before(points[a], points[b]); });
    }
    rows.reserve(rows.count() + int(points.size()));
    QString current;
    int shape = -1, vertex = -1;
    for (size_t i = 0; i < points.size(); ++i) {
        const ShapePoint &p = points[order.empty() ? i : order[i]];
        if (p.shape != shape || p.vertex != vertex) {
            current = name(p.shape, p.vertex);
            shape = p.shape;
            vertex = p.vertex;
        }
        rows.addValues(current, p.frame, p.x, p.y);
    }
}

namespace {

bool isBlank(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Bit i set where text[i] is white space, for the 64 bytes at text.
quint64 blanksOf64(const char *text)
{
    quint64 mask = 0;
#if defined(__SSE2__)
    const __m128i space = _mm_set1_epi8(' '), tab = _mm_set1_epi8('\t');
    // '\t' to '\r' as the signed bytes below -123 once moved down by '\t' and flipped.
    const __m128i flip = _mm_set1_epi8(char(0x80)), limit = _mm_set1_epi8(char(0x80 + 5));
    for (int block = 0; block < 4; ++block) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text + 16 * block));
        const __m128i control =
            _mm_cmplt_epi8(_mm_xor_si128(_mm_sub_epi8(bytes, tab), flip), limit);
        const __m128i blank = _mm_or_si128(_mm_cmpeq_epi8(bytes, space), control);
        mask |= quint64(quint16(_mm_movemask_epi8(blank))) << (16 * block);
    }
#else
    for (int i = 0; i < 64; ++i)
        mask |= quint64(isBlank(text[i])) << i;
#endif
    return mask;
}

// Stored a pointer at a time: the compiler would otherwise build the pair
// on the stack and read it back whole, a stall on every field.
void addField(std::vector<Field> &fields, const char *begin, const char *end)
{
    Field &field = fields.emplace_back();
    field.begin = begin;
    field.end = end;
}

} // namespace

void splitFields(Field line, std::vector<Field> &fields)
{
    fields.clear();
    const char *p = line.begin;
    const char *start = nullptr; // of the field being read, if any
    // Whole blocks of 64: a field starts where a blank is followed by
    // another character, and ends where that character is followed by a blank.
    for (; line.end - p >= 64; p += 64) {
        const quint64 blanks = blanksOf64(p);
        quint64 edges = blanks ^ ((blanks << 1) | (start ? 0 : 1));
        while (edges) {
            const char *at = p + qCountTrailingZeroBits(edges);
            edges &= edges - 1;
            if (start) {
                addField(fields, start, at);
                start = nullptr;
            } else {
                start = at;
            }
        }
    }
    for (; p < line.end; ++p) {
        if (isBlank(*p) == !start) continue;
        if (start) {
            addField(fields, start, p);
            start = nullptr;
        } else {
            start = p;
        }
    }
    if (start) addField(fields, start, line.end);
}

namespace {

// Bit i set where p[i] is a brace, a quote or a backslash, for the 16
// bytes at p.
unsigned braceBytesOf16(const char *p)
{
#if defined(__SSE2__)
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
    const __m128i found = _mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('{')), _mm_cmpeq_epi8(v, _mm_set1_epi8('}'))),
        _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('"')),
                     _mm_cmpeq_epi8(v, _mm_set1_epi8('\\'))));
    return unsigned(_mm_movemask_epi8(found));
#else
    unsigned mask = 0;
    for (int i = 0; i < 16; ++i) {
        const char c = p[i];
        mask |= unsigned(c == '{' || c == '}' || c == '"' || c == '\\') << i;
    }
    return mask;
#endif
}

} // namespace

void ScriptBraces::see(Field line, int number)
{
    if (m_depth == 0 && !m_inString) noteNode(line, number);
    const char *p = line.begin;
    bool skipFirst = false; // a backslash ended the last block
    for (; line.end - p >= 16; p += 16) {
        unsigned mask = braceBytesOf16(p) & (skipFirst ? ~1u : ~0u);
        skipFirst = false;
        while (mask) {
            const int at = qCountTrailingZeroBits(mask);
            mask &= mask - 1;
            if (p[at] == '"' && at < 15 && p[at + 1] == '"')
                mask &= ~(1u << (at + 1)); // an empty string: in and out of it again
            else if (p[at] != '\\')
                see(p[at]);
            else if (at == 15) // what follows is taken as it is
                skipFirst = true;
            else
                mask &= ~(2u << at);
        }
    }
    // The rest of the line byte by byte.
    for (p += skipFirst ? 1 : 0; p < line.end; ++p) {
        if (*p == '\\')
            ++p;
        else if (*p == '{' || *p == '}' || *p == '"')
            see(*p);
    }
}

void ScriptBraces::see(char c)
{
    if (c == '"')
        m_inString = !m_inString;
    else if (m_inString)
        return;
    else if (c == '{')
        ++m_depth;
    else if (m_depth > 0)
        --m_depth;
}

void ScriptBraces::noteNode(Field line, int number)
{
    const Field text = trimmed(line);
    const char *brace = std::find(text.begin, text.end, '{');
    if (brace > text.begin && brace < text.end) {
        m_node = fieldToString(trimmed(Field{text.begin, brace}));
        m_nodeLine = number;
    }
}

QString ScriptBraces::unclosed() const
{
    if (m_depth == 0 && !m_inString) return {};
    return QStringLiteral("the file ends inside \"%1\" of line %2: its braces are not closed.")
        .arg(printableText(m_node))
        .arg(m_nodeLine);
}

} // namespace corvane
