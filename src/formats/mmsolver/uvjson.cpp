// SPDX-License-Identifier: Apache-2.0
#include "uvjson.h"

#include "formats/kit/rowcollector.h"
#include "table/framelimit.h"
#include "table/namerule.h"

#include <QLocale>
#include <QString>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace corvane {

namespace {

// What the reading keeps of a value it does not walk into: its kind and,
// for a number or a text, what it is.
struct Scalar
{
    enum Kind { Missing, Null, Bool, Number, Text, Array, Object };
    Kind kind = Missing;
    double number = 0;
    QString text; // a text, or "true"/"false"

    bool isNumber() const { return kind == Number; }
    // As a JSON value's whole number is taken: 0 unless an integer in range.
    int toInt() const
    {
        if (kind != Number || number != std::floor(number) ||
            number < std::numeric_limits<int>::min() || number > std::numeric_limits<int>::max())
            return 0;
        return int(number);
    }
    // As the version is named in a message.
    QString shown() const
    {
        if (kind == Number) return QString::number(number, 'g', QLocale::FloatingPointShortest);
        return kind == Text || kind == Bool ? text : QString();
    }
};

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    const char lower = char(c | 0x20);
    return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

// The text's values one after another, each walked into or passed over.
// A line end is white space between tokens (within a text, a line end).
class JsonText
{
public:
    JsonText(LineSource &lines, Field first) : m_lines(lines), m_p(first.begin), m_end(first.end) {}

    bool failed() const { return m_error != nullptr; }
    const char *error() const { return m_error; }
    int errorLine() const { return m_errorLine; }
    bool fail(const char *what)
    {
        if (!m_error) {
            m_error = what;
            m_errorLine = m_lines.number();
        }
        return false;
    }

    bool atEnd()
    {
        skipSpace();
        return m_p == m_end;
    }
    char ahead()
    {
        skipSpace();
        return m_p < m_end ? *m_p : '\0';
    }

    // An object's members: member(key) takes each member's value.
    template <typename Member> bool object(Member member)
    {
        if (!enter('{')) return false;
        if (take('}')) return leave();
        QString key; // one buffer for every member's key
        for (;;) {
            if (ahead() != '"') return fail("object is missing after a comma");
            if (!string(key)) return false;
            if (!take(':')) return fail("missing name separator");
            if (!member(key)) return false;
            if (take(',')) continue;
            if (take('}')) return leave();
            return fail("unterminated object");
        }
    }

    // An array's elements: element() takes each one.
    template <typename Element> bool array(Element element)
    {
        if (!enter('[')) return false;
        if (take(']')) return leave();
        for (;;) {
            if (!element()) return false;
            if (take(',')) continue;
            if (take(']')) return leave();
            return fail("unterminated array");
        }
    }

    // Any value, passed over.
    bool skip()
    {
        Scalar ignored;
        return scalar(ignored);
    }

    // Any value; a number or a text is kept, an array or object passed over.
    bool scalar(Scalar &out)
    {
        out = Scalar();
        switch (ahead()) {
        case '{':
            out.kind = Scalar::Object;
            return object([this](const QString &) { return skip(); });
        case '[':
            out.kind = Scalar::Array;
            return array([this] { return skip(); });
        case '"':
            out.kind = Scalar::Text;
            return string(out.text);
        case 't':
        case 'f':
            out.kind = Scalar::Bool;
            out.text = *m_p == 't' ? QStringLiteral("true") : QStringLiteral("false");
            return word(*m_p == 't' ? "true" : "false");
        case 'n':
            out.kind = Scalar::Null;
            return word("null");
        default:
            out.kind = Scalar::Number;
            return number(out.number);
        }
    }

private:
    bool nextLine()
    {
        Field line;
        if (!m_lines.next(line)) return false;
        m_p = line.begin;
        m_end = line.end;
        return true;
    }
    void skipSpace()
    {
        do {
            while (m_p < m_end && (*m_p == ' ' || *m_p == '\t' || *m_p == '\r'))
                ++m_p;
        } while (m_p == m_end && nextLine());
    }
    bool take(char c)
    {
        if (ahead() != c) return false;
        ++m_p;
        return true;
    }
    // A hostile file of nothing but brackets must not exhaust the stack.
    bool enter(char open)
    {
        if (!take(open)) return fail("illegal value");
        return ++m_depth <= 1024 || fail("too deeply nested document");
    }
    bool leave()
    {
        --m_depth;
        return true;
    }
    bool word(const char *w)
    {
        const qsizetype n = qsizetype(std::strlen(w));
        if (m_end - m_p < n || std::memcmp(m_p, w, size_t(n)) != 0) return fail("illegal value");
        m_p += n;
        return true;
    }

    bool number(double &out)
    {
        const char *start = m_p;
        auto digits = [this] {
            const char *from = m_p;
            while (m_p < m_end && *m_p >= '0' && *m_p <= '9')
                ++m_p;
            return m_p > from;
        };
        if (m_p < m_end && *m_p == '-') ++m_p;
        if (m_p < m_end && *m_p == '0')
            ++m_p;
        else if (!digits())
            return fail("illegal value");
        if (m_p < m_end && *m_p == '.') {
            ++m_p;
            if (!digits()) return fail("illegal number");
        }
        if (m_p < m_end && (*m_p == 'e' || *m_p == 'E')) {
            ++m_p;
            if (m_p < m_end && (*m_p == '+' || *m_p == '-')) ++m_p;
            if (!digits()) return fail("illegal number");
        }
        bool ok = false;
        out = fieldToDouble({start, m_p}, &ok);
        return ok || fail("illegal number"); // out of range
    }

    bool string(QString &out)
    {
        ++m_p;         // the opening quote
        out.resize(0); // its room kept for the next text
        const char *run = m_p;
        bool ascii = true; // the run so far: taken as it is, with nothing to decode
        auto flush = [&] {
            if (m_p == run) return;
            if (ascii)
                out.append(QLatin1String(run, m_p - run));
            else
                out.append(QString::fromUtf8(run, m_p - run));
            ascii = true;
        };
        for (;;) {
            if (m_p == m_end) { // a line end within the text
                flush();
                if (!nextLine()) return fail("unterminated string");
                out += QLatin1Char('\n');
                run = m_p;
                continue;
            }
            const unsigned char c = static_cast<unsigned char>(*m_p);
            if (c == '"') {
                flush();
                ++m_p;
                return true;
            }
            if (c != '\\') {
                ascii = ascii && c < 0x80;
                ++m_p;
                continue;
            }
            flush();
            if (!escape(out)) return false;
            run = m_p;
        }
    }

    bool escape(QString &out)
    {
        ++m_p; // the backslash
        if (m_p >= m_end) return fail("unterminated string");
        const char c = *m_p++;
        static constexpr char named[] = "\"\\/bfnrt", meant[] = "\"\\/\b\f\n\r\t";
        if (const char *at = std::strchr(named, c); at && c != '\0') {
            out += QLatin1Char(meant[at - named]);
            return true;
        }
        if (c != 'u' || m_end - m_p < 4) return fail("illegal escape sequence");
        ushort unit = 0;
        for (int i = 0; i < 4; ++i) {
            const int digit = hexDigit(*m_p++);
            if (digit < 0) return fail("illegal escape sequence");
            unit = ushort(unit * 16 + digit);
        }
        out += QChar(unit); // a surrogate pair comes as two escapes, each a half
        return true;
    }

    LineSource &m_lines;
    const char *m_p, *m_end;
    int m_depth = 0;
    const char *m_error = nullptr;
    int m_errorLine = 0;
};

// A key of a point's "per_frame" list, as read.
struct Key
{
    bool valid = false;
    int frame = 0;
    double u = 0, v = 0, weight = 1;
    bool undistortedDiffers = false;
};

// A position [u, v]: valid when it is exactly two numbers.
bool position(JsonText &json, bool &valid, double &u, double &v)
{
    valid = false;
    if (json.ahead() != '[') return json.skip();
    int count = 0;
    bool numbers = true;
    const bool read = json.array([&] {
        Scalar s;
        if (!json.scalar(s)) return false;
        (count == 0 ? u : v) = s.number;
        numbers = numbers && s.isNumber();
        ++count;
        return true;
    });
    valid = numbers && count == 2;
    return read;
}

Key readKey(JsonText &json, bool &ok)
{
    Key key;
    bool hasFrame = false, hasDist = false, distValid = false, posValid = false, weightOk = true;
    double frame = 0, du = 0, dv = 0, pu = 0, pv = 0;
    if (json.ahead() != '{') {
        ok = json.skip();
        return key;
    }
    ok = json.object([&](const QString &name) {
        if (name == QLatin1String("frame")) {
            Scalar s;
            if (!json.scalar(s)) return false;
            hasFrame = s.isNumber();
            frame = s.number;
            return true;
        }
        if (name == QLatin1String("pos_dist")) {
            hasDist = true;
            return position(json, distValid, du, dv);
        }
        if (name == QLatin1String("pos")) return position(json, posValid, pu, pv);
        if (name == QLatin1String("weight")) {
            Scalar s;
            if (!json.scalar(s)) return false;
            weightOk = s.isNumber();
            key.weight = s.number;
            return true;
        }
        return json.skip();
    });
    const bool placed = hasDist ? distValid : posValid;
    key.valid = hasFrame && wholeFrame(frame, key.frame) && placed && weightOk;
    key.u = hasDist ? du : pu;
    key.v = hasDist ? dv : pv;
    key.undistortedDiffers = hasDist && posValid && (pu != du || pv != dv);
    return key;
}

// The points as the file holds them, into rows; the first fault of any
// point is the reading's error.
class Points
{
public:
    bool read(JsonText &json)
    {
        *this = Points(); // a later "points" is the one that counts
        if (json.ahead() != '[') return json.skip();
        present = true;
        return json.array([&] { return point(json); });
    }

    bool present = false;
    qsizetype count = 0;
    RowCollector rows;
    UvWeights weights;
    int undistortedDiffer = 0;
    QString error;
    ErrorKind errorKind = ErrorKind::UnsupportedLayout;

private:
    bool point(JsonText &json)
    {
        ++count;
        QString name;
        bool hasKeys = false;
        std::vector<Key> keys;
        bool ok = true;
        if (json.ahead() == '{') {
            ok = json.object([&](const QString &member) {
                if (member == QLatin1String("name")) {
                    Scalar s;
                    if (!json.scalar(s)) return false;
                    name = s.kind == Scalar::Text ? s.text : QString();
                    return true;
                }
                if (member == QLatin1String("per_frame")) {
                    keys.clear();
                    hasKeys = json.ahead() == '[';
                    if (!hasKeys) return json.skip();
                    return json.array([&] {
                        bool read = true;
                        keys.push_back(readKey(json, read));
                        return read;
                    });
                }
                return json.skip();
            });
        } else {
            ok = json.skip();
        }
        if (ok && error.isEmpty()) take(applyNameRule(name), hasKeys, keys);
        return ok;
    }

    void take(const QString &name, bool hasKeys, const std::vector<Key> &keys)
    {
        if (name.isEmpty() || !hasKeys) {
            error = QStringLiteral("point %1 has no name or no \"per_frame\" list.").arg(count);
            return;
        }
        for (const Key &key : keys) {
            if (!key.valid) {
                error = QStringLiteral("a frame of point \"%1\" lacks a whole frame number, a "
                                       "position [u, v] or a numeric weight.")
                            .arg(name);
                errorKind = ErrorKind::BadNumber;
                return;
            }
            undistortedDiffer += key.undistortedDiffers;
            if (key.weight == 0) {
                ++weights.zero;
                continue;
            }
            if (key.weight != 1) ++weights.other;
            rows.addValues(name, key.frame, key.u, key.v);
        }
    }
};

} // namespace

void UvWeights::into(ReaderNotes &notes) const
{
    if (zero)
        notes.leftOut(QStringLiteral("%1 keys of weight 0 (frames the solver leaves out) were "
                                     "left out.")
                          .arg(zero),
                      ReaderNotes::Keys, zero);
    if (other)
        notes.add(QStringLiteral("%1 keys have weights other than 1: Corvane keeps their "
                                 "positions, not their weights.")
                      .arg(other));
}

ReadResult readUvJson(LineSource &lines, Field first)
{
    JsonText json(lines, first);
    Scalar version, promised;
    Points points;
    int width = 0, height = 0;
    auto camera = [&] {
        width = height = 0; // the last camera is the one that counts
        if (json.ahead() != '{') return json.skip();
        return json.object([&](const QString &member) {
            if (member != QLatin1String("resolution")) {
                return json.skip();
            }
            width = height = 0;
            if (json.ahead() != '[') return json.skip();
            std::vector<int> sides;
            const bool ok = json.array([&] {
                Scalar s;
                if (!json.scalar(s)) return false;
                sides.push_back(s.toInt());
                return true;
            });
            width = sides.size() == 2 && sides[0] > 0 && sides[1] > 0 ? sides[0] : 0;
            height = width > 0 ? sides[1] : 0;
            return ok;
        });
    };
    bool ok = true;
    if (json.ahead() == '{') {
        ok = json.object([&](const QString &member) {
            if (member == QLatin1String("version")) return json.scalar(version);
            if (member == QLatin1String("num_points")) return json.scalar(promised);
            if (member == QLatin1String("points")) return points.read(json);
            if (member == QLatin1String("camera")) return camera();
            return json.skip();
        });
    } else {
        ok = json.skip(); // not an object: the document holds no version
    }
    if (ok && !json.atEnd()) json.fail("garbage at the end of the document");
    if (json.failed())
        return ReadResult::failure(
            QStringLiteral("the file is not JSON: %1.").arg(QLatin1String(json.error())),
            json.errorLine(), ErrorKind::NotATrackFile);
    if (version.toInt() < 2 || version.toInt() > 5)
        return ReadResult::failure(
            QStringLiteral("the file is a .uv file of version %1; Corvane reads versions 1 to 5.")
                .arg(version.shown()));
    if (!points.present)
        return ReadResult::failure(QStringLiteral("the file has no list of \"points\"."));
    RowCollector &rows = points.rows;
    if (!points.error.isEmpty()) rows.fail(points.error, 0, points.errorKind);
    if (!rows.failed() && promised.isNumber() && promised.toInt() != points.count)
        rows.cutShort(QStringLiteral("the file promises %1 points and holds %2.")
                          .arg(promised.toInt())
                          .arg(points.count));
    ReadResult result = rows.finish(QStringLiteral("the file holds no point with a frame."));
    if (!result.ok()) return result;
    if (width > 0) {
        result.set.plateWidth = width;
        result.set.plateHeight = height;
    }
    ReaderNotes notes;
    points.weights.into(notes);
    if (points.undistortedDiffer)
        notes.add(QStringLiteral("%1 keys were read where they are on the plate (\"pos_dist\"); "
                                 "their positions without lens distortion (\"pos\") were not.")
                      .arg(points.undistortedDiffer));
    notes.into(result);
    return result;
}

} // namespace corvane
