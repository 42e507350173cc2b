// Fast, tolerant reading of track files: whole file in memory, lines without
// their line ends (LF or CR LF, the last line with or without one), fields
// split at runs of white space, numbers read as QString would read them.
#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

namespace corvane {

struct Field
{
    const char *begin;
    const char *end;
    bool isEmpty() const { return begin == end; }
    bool equals(const char *text) const;
    QByteArray bytes() const { return QByteArray(begin, int(end - begin)); }
};

// Reads a whole file; false when it cannot be opened.
bool readFileBytes(const QString &path, QByteArray &out);

class LineScanner
{
public:
    explicit LineScanner(const QByteArray &data)
        : m_pos(data.constData()), m_end(m_pos + data.size())
    {
    }
    bool next(Field &line); // false at the end of the data
    bool atEnd() const { return m_pos >= m_end; }

private:
    const char *m_pos;
    const char *m_end;
};

// Splits at runs of white space keeping empty parts, as QString::split with
// QRegularExpression("\\s+") does: a line with leading or trailing white
// space has an empty first or last field; an empty line is one empty field.
void splitWhitespace(Field line, std::vector<Field> &fields);
// Splits at every single blank, keeping empty parts.
void splitSpaces(Field line, std::vector<Field> &fields);

// Number texts read as QString::toInt (base 10) and QString::toDouble read
// them: the whole field must be the number; otherwise 0 and *ok = false.
int fieldToInt(Field f, bool *ok = nullptr);
double fieldToDouble(Field f, bool *ok = nullptr);

// Text in the system's 8-bit encoding, as a text stream reads it.
QString fieldToString(Field f);

} // namespace corvane
