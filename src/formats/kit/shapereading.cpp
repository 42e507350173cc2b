// SPDX-License-Identifier: Apache-2.0
#include "shapereading.h"

#include <algorithm>
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

bool isBraceByte(char c)
{
    return c == '{' || c == '}' || c == '"' || c == '\\';
}

// The first brace, quote or backslash from p on, or end.
const char *nextBraceByte(const char *p, const char *end)
{
#if defined(__SSE2__)
    const __m128i open = _mm_set1_epi8('{'), close = _mm_set1_epi8('}');
    const __m128i quote = _mm_set1_epi8('"'), backslash = _mm_set1_epi8('\\');
    for (; end - p >= 16; p += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const __m128i found = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi8(bytes, open), _mm_cmpeq_epi8(bytes, close)),
            _mm_or_si128(_mm_cmpeq_epi8(bytes, quote), _mm_cmpeq_epi8(bytes, backslash)));
        if (const int mask = _mm_movemask_epi8(found)) return p + __builtin_ctz(unsigned(mask));
    }
#endif
    while (p < end && !isBraceByte(*p))
        ++p;
    return p;
}

} // namespace

void ScriptBraces::see(Field line, int number)
{
    if (m_depth == 0 && !m_inString) noteNode(line, number);
    for (const char *p = nextBraceByte(line.begin, line.end); p < line.end;
         p = nextBraceByte(p, line.end)) {
        const char c = *p++;
        if (c == '\\')
            ++p; // what follows is taken as it is
        else if (c == '"')
            m_inString = !m_inString;
        else if (m_inString)
            continue;
        else if (c == '{')
            ++m_depth;
        else if (m_depth > 0)
            --m_depth;
    }
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
