#include "textscan.h"

#include <QFile>

#include <charconv>
#include <cstring>

namespace corvane {

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

} // namespace

bool Field::equals(const char *text) const
{
    size_t n = std::strlen(text);
    return size_t(end - begin) == n && std::memcmp(begin, text, n) == 0;
}

bool readFileBytes(const QString &path, QByteArray &out)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    out = file.readAll();
    return true;
}

bool LineScanner::next(Field &line)
{
    if (m_pos >= m_end) return false;
    const char *nl = static_cast<const char *>(std::memchr(m_pos, '\n', size_t(m_end - m_pos)));
    const char *stop = nl ? nl : m_end;
    line.begin = m_pos;
    line.end = stop;
    if (line.end > line.begin && line.end[-1] == '\r') --line.end;
    m_pos = nl ? nl + 1 : m_end;
    return true;
}

void splitWhitespace(Field line, std::vector<Field> &fields)
{
    fields.clear();
    const char *p = line.begin;
    const char *start = p;
    while (p < line.end) {
        if (isSpace(*p)) {
            fields.push_back({start, p});
            while (p < line.end && isSpace(*p))
                ++p;
            start = p;
        } else {
            ++p;
        }
    }
    fields.push_back({start, line.end});
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
    bool good = b < f.end && res.ec == std::errc() && res.ptr == f.end;
    if (!good && res.ec == std::errc::result_out_of_range && res.ptr == f.end) {
        // QString::toDouble fails on overflow as well
        good = false;
    }
    if (ok) *ok = good;
    return good ? value : 0.0;
}

QString fieldToString(Field f)
{
    return QString::fromLocal8Bit(f.begin, qsizetype(f.end - f.begin));
}

} // namespace corvane
