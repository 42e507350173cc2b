// SPDX-License-Identifier: Apache-2.0
// Fast reading of track files: whole file in memory, lines without their
// line ends (LF or CR LF, the last line with or without one) and with their
// numbers, fields split at runs of white space, numbers read strictly.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstring>
#include <vector>

namespace corvane {

struct Field
{
    const char *begin;
    const char *end;
    bool isEmpty() const { return begin == end; }
    // Inline, so that a literal's length is known where it is compared.
    bool equals(const char *text) const
    {
        const size_t n = std::strlen(text);
        return size_t(end - begin) == n && std::memcmp(begin, text, n) == 0;
    }
    QByteArray bytes() const { return QByteArray(begin, int(end - begin)); }
    // Whether the text occurs in the field: its first character found by
    // the system's quick search, then the rest compared (on short lines
    // this beats a general search, which prepares before it looks).
    bool contains(const char *text) const
    {
        const size_t n = std::strlen(text);
        if (n == 0) return true;
        for (const char *p = begin; size_t(end - p) >= n; ++p) {
            p = static_cast<const char *>(std::memchr(p, text[0], size_t(end - p) - n + 1));
            if (!p) return false;
            if (std::memcmp(p + 1, text + 1, n - 1) == 0) return true;
        }
        return false;
    }
};

class LineScanner
{
public:
    explicit LineScanner(const QByteArray &data)
        : m_pos(data.constData()), m_end(m_pos + data.size())
    {
    }
    // The lines of [begin, end), numbered on from linesBefore.
    LineScanner(const char *begin, const char *end, int linesBefore = 0)
        : m_pos(begin), m_end(end), m_number(linesBefore)
    {
    }
    bool next(Field &line); // false at the end of the data
    bool atEnd() const { return m_pos >= m_end; }
    int number() const { return m_number; }        // of the last line given, from 1
    const char *position() const { return m_pos; } // where the next line starts

private:
    const char *m_pos;
    const char *m_end;
    int m_number = 0;
};

// The line numbers of places in a text, each counted on from the place
// asked before it: readers that jump through a text ask in order, so the
// text is counted once in all.
class LineCounter
{
public:
    explicit LineCounter(const char *begin) : m_begin(begin), m_counted(begin) {}
    int lineAt(const char *at);

private:
    const char *m_begin, *m_counted;
    int m_line = 1;
};

// Splits at runs of white space keeping empty parts, as QString::split with
// QRegularExpression("\\s+") does: a line with leading or trailing white
// space has an empty first or last field; an empty line is one empty field.
void splitWhitespace(Field line, std::vector<Field> &fields);
// The whole lines within the first `bytes` of data, without copying: what a
// format's sniff reads for its evidence, so that detection does not read a
// large file through before the reader does.
QByteArray headLines(const QByteArray &data, qsizetype bytes = 256 * 1024);

// Large texts are read in pieces of at least this many bytes, one per thread.
constexpr qsizetype MinimumPieceBytes = 1 << 20;
// How many pieces a text of `bytes` is read in.
int textPieces(qsizetype bytes);
// Cuts data into up to `pieces` parts of about the same size, each starting
// at a line start: the parts' bounds, from the data's start to its end.
std::vector<const char *> cutAtLines(const QByteArray &data, int pieces);

// The field without the white space at its ends.
Field trimmed(Field f);
// The fields of a line with the white space at its ends dropped, split at
// runs of white space; none for a blank line.
void splitTrimmed(Field line, std::vector<Field> &fields);
// Splits at every single blank, keeping empty parts.
void splitSpaces(Field line, std::vector<Field> &fields);

// Number texts: the whole field must be the number (a decimal integer; a
// finite decimal number, with an optional exponent); otherwise 0 and
// *ok = false. "nan", "inf", hexadecimal and out-of-range values fail.
int fieldToInt(Field f, bool *ok = nullptr);
double fieldToDouble(Field f, bool *ok = nullptr);

// Whether the text is a number that is not finite ("inf", "nan", "1e309"
// that overflows), with what it reads as: such a value is wrong, not an
// expression or a name.
bool isNonFiniteNumber(Field f, double *value = nullptr);
// What is wrong with it, for a message: the value "1e309" is not a finite
// number (it reads as inf).
QString nonFiniteMessage(Field f);

// Text of a name: UTF-8 where the bytes are UTF-8, otherwise Latin-1, so
// that every byte reads as a character.
QString fieldToString(Field f);

// A text for a message: control characters (an escape sequence from a file
// that would reach a terminal raw) written as "\x1B"; line ends and tabs stay.
QString printableText(const QString &text);

} // namespace corvane
