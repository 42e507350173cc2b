// SPDX-License-Identifier: Apache-2.0
#include "textscan.h"

#include "table/parallel.h"

#include <QStringDecoder>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace corvane {

namespace {

// White space as a table: readers ask it of every byte they split.
struct SpaceTable
{
    bool space[256] = {};
    constexpr SpaceTable()
    {
        for (unsigned char c : {' ', '\t', '\n', '\r', '\v', '\f'})
            space[c] = true;
    }
};
constexpr SpaceTable spaces;

inline bool isSpace(char c)
{
    return spaces.space[static_cast<unsigned char>(c)];
}

} // namespace

bool LineScanner::next(Field &line)
{
    if (m_pos >= m_end) return false;
    const char *nl = static_cast<const char *>(std::memchr(m_pos, '\n', size_t(m_end - m_pos)));
    const char *stop = nl ? nl : m_end;
    line.begin = m_pos;
    line.end = stop;
    if (line.end > line.begin && line.end[-1] == '\r') --line.end;
    m_pos = nl ? nl + 1 : m_end;
    ++m_number;
    return true;
}

int textPieces(qsizetype bytes)
{
    return int(std::clamp<qsizetype>(bytes / MinimumPieceBytes, 1, workerThreads()));
}

std::vector<const char *> cutAtLines(const QByteArray &data, int pieces)
{
    const char *begin = data.constData();
    const char *end = begin + data.size();
    std::vector<const char *> cuts{begin};
    for (int p = 1; p < pieces; ++p) {
        const char *aim = std::max(begin + data.size() * p / pieces, cuts.back());
        const void *nl = aim < end ? std::memchr(aim, '\n', size_t(end - aim)) : nullptr;
        if (!nl) break;
        cuts.push_back(static_cast<const char *>(nl) + 1);
    }
    cuts.push_back(end);
    return cuts;
}

void splitWhitespace(Field line, std::vector<Field> &fields)
{
    fields.clear();
    const char *p = line.begin;
    const char *end = line.end;
    while (true) {
        const char *start = p;
        while (p < end && !isSpace(*p))
            ++p;
        fields.push_back({start, p});
        if (p == end) return;
        while (p < end && isSpace(*p))
            ++p;
    }
}

QByteArray headLines(const QByteArray &data, qsizetype bytes)
{
    if (data.size() <= bytes) return data;
    const qsizetype end = data.lastIndexOf('\n', bytes - 1);
    return QByteArray::fromRawData(data.constData(), end < 0 ? bytes : end + 1);
}

Field trimmed(Field f)
{
    while (f.begin < f.end && isSpace(*f.begin))
        ++f.begin;
    while (f.end > f.begin && isSpace(f.end[-1]))
        --f.end;
    return f;
}

void splitTrimmed(Field line, std::vector<Field> &fields)
{
    line = trimmed(line);
    if (line.isEmpty()) {
        fields.clear();
        return;
    }
    splitWhitespace(line, fields);
}

void splitSpaces(Field line, std::vector<Field> &fields)
{
    fields.clear();
    const char *start = line.begin;
    for (const char *p = line.begin; p < line.end; ++p) {
        if (*p == ' ') {
            fields.push_back({start, p});
            start = p + 1;
        }
    }
    fields.push_back({start, line.end});
}

int fieldToInt(Field f, bool *ok)
{
    const char *b = f.begin;
    if (b < f.end && *b == '+') ++b;
    int value = 0;
    auto res = std::from_chars(b, f.end, value);
    bool good = b < f.end && res.ec == std::errc() && res.ptr == f.end;
    if (ok) *ok = good;
    return good ? value : 0;
}

double fieldToDouble(Field f, bool *ok)
{
    const char *b = f.begin;
    if (b < f.end && *b == '+') ++b;
    double value = 0;
    auto res = std::from_chars(b, f.end, value);
    bool good = b < f.end && res.ec == std::errc() && res.ptr == f.end && std::isfinite(value);
    if (ok) *ok = good;
    return good ? value : 0.0;
}

QString printableText(const QString &text)
{
    auto control = [](QChar c) {
        return c.category() == QChar::Other_Control && c != QLatin1Char('\n') &&
               c != QLatin1Char('\t');
    };
    if (std::none_of(text.begin(), text.end(), control)) return text;
    QString out;
    out.reserve(text.size() + 16);
    for (QChar c : text) {
        if (control(c))
            out += QStringLiteral("\\x") +
                   QString::number(c.unicode(), 16).toUpper().rightJustified(2, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

bool isNonFiniteNumber(Field f, double *value)
{
    f = trimmed(f);
    const bool negative = !f.isEmpty() && *f.begin == '-';
    if (!f.isEmpty() && *f.begin == '+') ++f.begin;
    double v = 0;
    const auto [end, error] = std::from_chars(f.begin, f.end, v);
    if (f.isEmpty() || end != f.end) return false;
    if (error == std::errc::result_out_of_range) {
        // Too large or too small: only a number too large is not finite.
        const char *e = std::find_if(f.begin, f.end, [](char c) { return c == 'e' || c == 'E'; });
        if (e + 1 < f.end && e[1] == '-') return false;
        v = negative ? -HUGE_VAL : HUGE_VAL;
    } else if (error != std::errc() || std::isfinite(v)) {
        return false;
    }
    if (value) *value = v;
    return true;
}

QString nonFiniteMessage(Field f)
{
    double v = 0;
    isNonFiniteNumber(f, &v);
    return QStringLiteral("the value \"%1\" is not a finite number (it reads as %2).")
        .arg(printableText(fieldToString(trimmed(f))), QString::asprintf("%g", v));
}

QString fieldToString(Field f)
{
    const qsizetype size = qsizetype(f.end - f.begin);
    if (std::all_of(f.begin, f.end, [](char c) { return (c & 0x80) == 0; }))
        return QString::fromLatin1(f.begin, size);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(QByteArrayView(f.begin, size));
    return utf8.hasError() ? QString::fromLatin1(f.begin, size) : text;
}

int LineCounter::lineAt(const char *at)
{
    if (at < m_counted) {
        m_counted = m_begin;
        m_line = 1;
    }
    m_line += int(std::count(m_counted, at, '\n'));
    m_counted = at;
    return m_line;
}

} // namespace corvane
