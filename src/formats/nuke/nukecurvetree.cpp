// SPDX-License-Identifier: Apache-2.0
// A curve tree is nested braces: "{{v 1.2} {f 0} {n {layer Root …}}}". A
// layer is "{layer NAME {f FLAGS} {t …} {a …} CHILDREN}", its children
// layers, shapes ("{curvegroup NAME FLAGS TYPE {{cc …} {cc …}} {t …} {a …}}",
// the first cubic curve the shape, the second its feather or "idem") and
// paint strokes ("{cubiccurve NAME FLAGS catmullrom {cc …} {tx …} {a …}}").
// A cubic curve lists its control points in "{px TIME …}" (every key at
// TIME; a key gives its value only) or "{p …}" (keys give "{TIME VALUE …}").
// A shape has three per vertex: a tangent, the vertex, the other tangent
// (tangents relative to their vertex); an empty point "{}" is at 0, 0 (a
// feather point on its vertex), and an open spline's points begin with
// their own attributes ("{{a osw … osf …} X Y}"). A stroke has one point a
// vertex: X, Y and the pen's pressure. A value is a number (it does not
// change), an animation curve "{KEY KEY …}", "{r {{KEY N}}}", a key repeated
// on N frames in a row, or "{=EXPRESSION VALUE}", a value linked to another
// knob with the value Nuke last worked out. A transform "{t V …}" (or "{tx TIME
// V …}") gives its parts in order: centre x, y, z, translation x, y, z,
// rotation x, y, z (degrees), scale x, y, z, skew. Numbers are decimal or
// "x" and the eight hexadecimal digits of an IEEE single.
#include "nukecurvetree.h"

#include "formats/kit/shapes.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>

#include <QMap>

namespace corvane {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A number as the tree writes it: decimal, or the bits of a single in hex.
bool treeNumber(Field f, double &out)
{
    const char *b = f.begin;
    const bool negative = b < f.end && *b == '-';
    if (negative) ++b;
    if (f.end - b >= 2 && b[0] == '0' && b[1] == 'x') ++b;
    if (b < f.end && *b == 'x') {
        ++b;
        if (f.end - b < 1 || f.end - b > 8) return false;
        quint32 bits = 0;
        for (; b < f.end; ++b) {
            const int d = hexDigit(*b);
            if (d < 0) return false;
            bits = bits << 4 | quint32(d);
        }
        float value = 0;
        std::memcpy(&value, &bits, sizeof value);
        out = negative ? -double(value) : double(value);
        return std::isfinite(out);
    }
    bool ok = false;
    out = fieldToDouble(f, &ok);
    return ok;
}

class Tokens
{
public:
    enum Kind { Open, Close, Word, End };

    Tokens(const char *begin, const char *end) : m_pos(begin), m_end(end) {}

    // The next token; word is the token's text (empty for a brace or the end).
    Kind next(Field &word)
    {
        while (m_pos < m_end && isBlank(*m_pos))
            ++m_pos;
        word = {m_pos, m_pos};
        if (m_pos >= m_end) return End;
        const char c = *m_pos;
        if (c == '{' || c == '}') {
            ++m_pos;
            return c == '{' ? Open : Close;
        }
        word.begin = m_pos;
        if (c == '"') {
            for (++m_pos; m_pos < m_end && *m_pos != '"'; ++m_pos)
                if (*m_pos == '\\' && m_pos + 1 < m_end) ++m_pos;
            if (m_pos < m_end) ++m_pos;
            word.end = m_pos;
            return Word;
        }
        while (m_pos < m_end && !isBlank(*m_pos) && *m_pos != '{' && *m_pos != '}' && *m_pos != '"')
            ++m_pos;
        word.end = m_pos;
        return Word;
    }

    Kind peek(Field &word)
    {
        const char *at = m_pos;
        const Kind kind = next(word);
        m_pos = at;
        return kind;
    }

    // After an Open: on to just past its Close; false where the text ends first.
    bool skipBlock()
    {
        int depth = 1;
        for (; m_pos < m_end; ++m_pos) {
            const char c = *m_pos;
            if (c == '"') {
                for (++m_pos; m_pos < m_end && *m_pos != '"'; ++m_pos)
                    if (*m_pos == '\\' && m_pos + 1 < m_end) ++m_pos;
                if (m_pos >= m_end) return false;
            } else if (c == '{') {
                ++depth;
            } else if (c == '}' && --depth == 0) {
                ++m_pos;
                return true;
            }
        }
        return false;
    }

    const char *position() const { return m_pos; }
    void seek(const char *at) { m_pos = at; }

private:
    const char *m_pos, *m_end;
};

// Keys given as runs: `count` keys on consecutive frames from `time` (or,
// where the keys share times, on `count` consecutive shared times).
struct Run
{
    double time = 0, value = 0;
    qint64 count = 1;
    double last() const { return time + double(count - 1); }
};

struct Curve
{
    std::vector<Run> runs; // in time order
    double constant = 0;   // the value when nothing is keyed
    qint64 keys = 0;       // the runs' keys together

    bool keyed() const { return !runs.empty(); }
    bool varies() const
    {
        return std::any_of(runs.begin(), runs.end(),
                           [&](const Run &r) { return r.value != runs.front().value; });
    }
    // The value at a time: a key's own, linear between keys, the end keys' beyond.
    double at(double t) const
    {
        if (runs.empty()) return constant;
        auto after = std::upper_bound(runs.begin(), runs.end(), t,
                                      [](double time, const Run &r) { return time < r.time; });
        if (after == runs.begin()) return runs.front().value;
        const Run &before = *(after - 1);
        if (t <= before.last() || after == runs.end()) return before.value;
        const double f = (t - before.last()) / (after->time - before.last());
        return before.value + f * (after->value - before.value);
    }
    bool inOrder() const
    {
        for (size_t k = 1; k < runs.size(); ++k)
            if (!(runs[k].time > runs[k - 1].last())) return false;
        return true;
    }
};

// A transform's parts, as the tree lists them.
enum Part {
    CentreX,
    CentreY,
    MoveX = 3,
    MoveY,
    TurnX = 6,
    TurnY,
    TurnZ,
    ScaleX,
    ScaleY,
    Skew = 12
};
constexpr int AppliedParts = 13;

struct Transform
{
    QString owner; // "the layer \"t1\"", "the shape \"Bezier1\""
    std::vector<Curve> parts;
    bool unapplied = false; // parts Corvane does not apply hold something
    mutable bool noted = false;

    double part(int p, double t) const
    {
        if (size_t(p) < parts.size()) return parts[size_t(p)].at(t);
        return p == ScaleX || p == ScaleY || p == ScaleY + 1 ? 1.0 : 0.0;
    }
    bool animated() const
    {
        for (size_t p = MoveX; p < parts.size() && p < size_t(AppliedParts); ++p)
            if (parts[p].varies()) return true;
        return false;
    }
    // About the centre: scale, then rotate, then translate.
    void apply(double t, double &x, double &y) const
    {
        const double mx = part(MoveX, t), my = part(MoveY, t), turn = part(TurnZ, t),
                     sx = part(ScaleX, t), sy = part(ScaleY, t);
        if (turn != 0 || sx != 1 || sy != 1) {
            const double cx = part(CentreX, t), cy = part(CentreY, t);
            const double dx = (x - cx) * sx, dy = (y - cy) * sy;
            const double a = turn * 3.14159265358979323846 / 180.0, c = std::cos(a),
                         s = std::sin(a);
            x = cx + (dx * c - dy * s);
            y = cy + (dx * s + dy * c);
        }
        x += mx;
        y += my;
    }
    void check()
    {
        for (int p : {int(TurnX), int(TurnY), int(Skew)})
            if (size_t(p) < parts.size() &&
                (parts[size_t(p)].varies() || parts[size_t(p)].at(0) != 0))
                unapplied = true;
        // Parts after these are an extra matrix, applied only as the identity.
        for (size_t p = AppliedParts; p < parts.size(); ++p) {
            const size_t k = p - AppliedParts;
            const double identity = k < 16 && k % 5 == 0 ? 1.0 : 0.0;
            if (k >= 16 || parts[p].varies() || parts[p].at(0) != identity) unapplied = true;
        }
    }
};

struct ControlPoint
{
    Curve x, y;
    bool linked = false; // its position follows an expression
};

struct ParsedShape
{
    QString name;
    std::vector<ControlPoint> points;
    std::vector<double> sharedTimes;
    Transform transform;
    double lifetimeStart = 0;
    bool hasLifetime = false;
    bool hasCurve = false;
    bool stroke = false;             // a paint stroke: one point a vertex
    bool open = false;               // its last vertex does not join its first
    std::vector<int> linkedVertices; // vertices (from 1) whose position follows an expression
};

constexpr int MaxDepth = 200;
// Keys one curve may give; a run claims frames without the bytes to show for them.
constexpr qint64 MaxKeys = 10000000;

// Reads one tree; notes naming its node wait for the node's name, which
// follows the knob.
class TreeReader
{
public:
    TreeReader(const char *begin, const char *end, const char *fileStart, RowCollector &rows,
               int &shape)
        : m_tokens(begin, end), m_lines(fileStart), m_rows(rows), m_shape(shape)
    {
    }

    // Reads the tree starting at its "{"; where it ends (or the text's end).
    const char *read()
    {
        Field w;
        if (m_tokens.next(w) != Tokens::Open) return m_tokens.position();
        children(0);
        return m_tokens.position();
    }

    // A note waiting for its node's name: what, where, and what it cost.
    struct Note
    {
        QString what;
        int line;
        ReaderNotes::Lost lost;
    };
    std::vector<Note> notes;
    int firstShape = 0, lastShape = 0;
    QStringList shapeNames;
    int shapesSeen = 0, strokesSeen = 0;
    int strokes = 0, openSplines = 0, fractionalKeys = 0; // of those read
    QMap<QString, int> strokeKinds;                       // "brush", "clone", … and how many

private:
    int line() { return m_lines.lineAt(m_tokens.position()); }

    void note(const QString &what, ReaderNotes::Lost lost = ReaderNotes::Shapes)
    {
        notes.push_back({what, line(), lost});
    }

    // The elements of a block up to its Close: layers, shapes and strokes
    // wherever they are nested; anything else is passed over.
    void children(int depth)
    {
        Field w;
        for (;;) {
            const Tokens::Kind kind = m_tokens.next(w);
            if (kind == Tokens::End || kind == Tokens::Close) return;
            if (kind != Tokens::Open) continue;
            const char *start = m_tokens.position();
            Field head;
            const Tokens::Kind first = m_tokens.peek(head);
            bool ok = true;
            if (first == Tokens::Word && head.equals("layer")) {
                m_tokens.next(head);
                ok = layer(depth + 1);
            } else if (first == Tokens::Word &&
                       (head.equals("curvegroup") || head.equals("cubiccurve"))) {
                m_tokens.next(head);
                ok = curveGroup(start, head.equals("cubiccurve"));
            } else if (depth < MaxDepth) {
                children(depth + 1); // "{n …}" and the like hold the layers
            } else {
                ok = m_tokens.skipBlock();
            }
            if (!ok) return;
        }
    }

    bool layer(int depth)
    {
        if (depth > MaxDepth) {
            note(QStringLiteral("layers nest deeper than Corvane reads; the deeper ones were "
                                "left out"));
            return m_tokens.skipBlock();
        }
        Field name{}; // a layer without a name has an empty one
        if (m_tokens.peek(name) == Tokens::Word) m_tokens.next(name);
        Transform transform;
        transform.owner = QStringLiteral("the layer \"%1\"").arg(fieldToString(name));
        // The layer's own blocks come before its children: the transform is
        // known before any shape that it moves.
        Field w;
        for (;;) {
            Field head;
            const char *start = m_tokens.position();
            const Tokens::Kind kind = m_tokens.peek(head);
            if (kind == Tokens::Close || kind == Tokens::End) {
                m_tokens.next(w);
                return kind == Tokens::Close;
            }
            m_tokens.next(w);
            if (kind != Tokens::Open) continue;
            const Tokens::Kind first = m_tokens.peek(head);
            if (first == Tokens::Word && (head.equals("f") || head.equals("a"))) {
                if (!m_tokens.skipBlock()) return false;
                continue;
            }
            if (first == Tokens::Word && (head.equals("t") || head.equals("tx"))) {
                m_tokens.next(head);
                if (!readTransform(head.equals("tx"), transform)) {
                    note(QStringLiteral("%1 has a transform Corvane cannot read; its shapes are "
                                        "placed without it")
                             .arg(transform.owner),
                         ReaderNotes::Changed);
                    m_tokens.seek(start);
                    m_tokens.next(w);
                    if (!m_tokens.skipBlock()) return false;
                    transform.parts.clear();
                    transform.unapplied = false;
                }
                continue;
            }
            // The first child: from here on the layer's blocks are children.
            m_tokens.seek(start);
            break;
        }
        m_layers.push_back(&transform);
        children(depth);
        m_layers.pop_back();
        return true;
    }

    // A value: a number (it does not change) or an animation curve. With
    // shared times, keys give their values only and take the times in order.
    bool readValue(Curve &curve, const std::vector<double> *shared, bool *linked = nullptr)
    {
        Field w;
        Tokens::Kind kind = m_tokens.next(w);
        if (kind == Tokens::Word) return treeNumber(w, curve.constant);
        if (kind != Tokens::Open) return false;
        Field head;
        if (m_tokens.peek(head) == Tokens::Word && head.begin < head.end && *head.begin == '=') {
            if (linked) *linked = true;
            return readExpression(curve);
        }
        if (m_tokens.peek(head) == Tokens::Word && head.equals("r")) {
            m_tokens.next(head);
            return !shared && readRuns(curve) && m_tokens.next(w) == Tokens::Close && settle(curve);
        }
        size_t used = 0; // shared times taken
        while ((kind = m_tokens.next(w)) != Tokens::Close) {
            if (kind == Tokens::End) return false;
            Run run;
            if (kind == Tokens::Word) { // a key of its value alone
                if (!shared || used >= shared->size() || !treeNumber(w, run.value)) return false;
                run.time = (*shared)[used++];
                if (!addRun(curve, run)) return false;
                continue;
            }
            if (m_tokens.peek(head) == Tokens::Word && head.equals("x")) {
                m_tokens.next(head);
                if (!shared || !readRepeat(curve, *shared, used)) return false;
                continue;
            }
            bool valued = true;
            if (!readKey(run, shared, used, valued)) return false;
            if (valued && !addRun(curve, run)) return false;
        }
        return settle(curve);
    }

    // After "{": "=EXPRESSION VALUE}", the value Nuke stored when it last
    // worked the expression out standing last. The link itself is not kept.
    bool readExpression(Curve &curve)
    {
        Field w, last;
        bool valued = false;
        int depth = 0;
        for (;;) {
            const Tokens::Kind kind = m_tokens.next(w);
            if (kind == Tokens::End) return false;
            if (kind == Tokens::Open) {
                ++depth;
            } else if (kind == Tokens::Close) {
                if (depth-- == 0) break;
            } else if (depth == 0) {
                last = w;
                valued = true;
            }
        }
        return valued && *last.begin != '=' && treeNumber(last, curve.constant);
    }

    // After "{r": "{{KEY N} …}", each key on N frames in a row, then the Close.
    bool readRuns(Curve &curve)
    {
        Field w;
        Tokens::Kind kind;
        if (m_tokens.next(w) != Tokens::Open) return false;
        size_t unused = 0;
        while ((kind = m_tokens.next(w)) == Tokens::Open) {
            Run run;
            bool valued = true;
            if (m_tokens.next(w) != Tokens::Open || !readKey(run, nullptr, unused, valued))
                return false;
            double count = 0;
            if (m_tokens.next(w) != Tokens::Word || !treeNumber(w, count) || count < 1 ||
                count > double(MaxKeys) || count != std::trunc(count))
                return false;
            run.count = qint64(count);
            if ((valued && !addRun(curve, run)) || m_tokens.next(w) != Tokens::Close) return false;
        }
        return kind == Tokens::Close;
    }

    // After "{x": "N KEY}", the key on the next N shared times.
    bool readRepeat(Curve &curve, const std::vector<double> &shared, size_t &used)
    {
        Field w;
        double count = 0;
        if (m_tokens.next(w) != Tokens::Word || !treeNumber(w, count) || count < 1 ||
            count != std::trunc(count) || count > double(shared.size() - used))
            return false;
        Run run;
        bool valued = true;
        size_t first = used;
        if (m_tokens.next(w) != Tokens::Open || !readKey(run, &shared, first, valued)) return false;
        for (qint64 k = 0; k < qint64(count); ++k)
            if (!addRun(curve, {shared[used++], run.value, 1})) return false;
        return m_tokens.next(w) == Tokens::Close;
    }

    static bool addRun(Curve &curve, const Run &run)
    {
        if (curve.keys + run.count > MaxKeys) return false;
        curve.keys += run.count;
        curve.runs.push_back(run);
        return true;
    }

    // Keys out of order would be read as Nuke sorts them.
    static bool settle(Curve &curve)
    {
        if (!curve.inOrder())
            std::stable_sort(curve.runs.begin(), curve.runs.end(),
                             [](const Run &a, const Run &b) { return a.time < b.time; });
        return true;
    }

    // After a key's "{": its time (unless shared) and value; tangents and
    // flags after them are passed over. A key of a time alone holds no
    // value (`valued` false) and is passed over too.
    bool readKey(Run &run, const std::vector<double> *shared, size_t &used, bool &valued)
    {
        Field w;
        double numbers[2] = {0, 0};
        int count = 0;
        Tokens::Kind kind;
        while ((kind = m_tokens.next(w)) != Tokens::Close) {
            if (kind == Tokens::End) return false;
            if (kind == Tokens::Open) {
                if (!m_tokens.skipBlock()) return false;
                continue;
            }
            if (count < (shared ? 1 : 2)) {
                if (!treeNumber(w, numbers[count])) return false;
                ++count;
            }
        }
        if (shared) {
            if (count < 1 || used >= shared->size()) return false;
            run.time = (*shared)[used++];
            run.value = numbers[0];
            return true;
        }
        valued = count == 2;
        run.time = numbers[0];
        run.value = numbers[1];
        return count >= 1;
    }

    // The times keys share: one number, or a block of them.
    bool readTimes(std::vector<double> &times)
    {
        Field w;
        Tokens::Kind kind = m_tokens.next(w);
        double t = 0;
        if (kind == Tokens::Word) {
            if (!treeNumber(w, t)) return false;
            times.push_back(t);
            return true;
        }
        if (kind != Tokens::Open) return false;
        while ((kind = m_tokens.next(w)) == Tokens::Word) {
            if (!treeNumber(w, t) || times.size() >= size_t(MaxKeys)) return false;
            times.push_back(t);
        }
        return kind == Tokens::Close && !times.empty();
    }

    // After "t" or "tx": the parts up to the block's Close.
    bool readTransform(bool sharedTime, Transform &transform)
    {
        std::vector<double> time;
        Field w;
        if (sharedTime && !readTimes(time)) return false;
        transform.parts.clear();
        for (;;) {
            const Tokens::Kind kind = m_tokens.peek(w);
            if (kind == Tokens::Close) {
                m_tokens.next(w);
                transform.check();
                return true;
            }
            if (kind == Tokens::End || transform.parts.size() > 64) return false;
            transform.parts.emplace_back();
            if (!readValue(transform.parts.back(), sharedTime ? &time : nullptr)) return false;
        }
    }

    // After "{cc": the control points of its "p" or "px" block.
    bool readCubicCurve(ParsedShape &shape)
    {
        Field w, head;
        Tokens::Kind kind;
        while ((kind = m_tokens.next(w)) == Tokens::Open) {
            if (m_tokens.next(head) != Tokens::Word || !(head.equals("p") || head.equals("px"))) {
                if (!m_tokens.skipBlock()) return false;
                continue;
            }
            const bool shared = head.equals("px");
            if (shared && !readTimes(shape.sharedTimes)) return false;
            while ((kind = m_tokens.next(w)) == Tokens::Open) {
                shape.points.emplace_back();
                if (!readPoint(shape.points.back(), shape, shared)) return false;
            }
            if (kind != Tokens::Close) return false;
            shape.hasCurve = true;
        }
        return kind == Tokens::Close;
    }

    // After a point's "{": its position, up to its Close.
    bool readPoint(ControlPoint &point, ParsedShape &shape, bool shared)
    {
        Field w;
        if (m_tokens.peek(w) == Tokens::Close) { // "{}": at 0, 0
            m_tokens.next(w);
            return true;
        }
        // An open spline's point: its width and feather first ("{a osw … osf …}").
        const char *at = m_tokens.position();
        Field head;
        if (m_tokens.next(w) == Tokens::Open && m_tokens.next(head) == Tokens::Word &&
            head.equals("a")) {
            if (!m_tokens.skipBlock()) return false;
            shape.open = true;
        } else {
            m_tokens.seek(at);
        }
        const std::vector<double> *times = shared ? &shape.sharedTimes : nullptr;
        bool linked = false;
        if (!readValue(point.x, times, &linked) || !readValue(point.y, times, &linked))
            return false;
        if (linked) point.linked = true;
        // Further values of a point (a stroke's pressure) are passed over.
        Tokens::Kind kind;
        while ((kind = m_tokens.next(w)) != Tokens::Close)
            if (kind == Tokens::End || (kind == Tokens::Open && !m_tokens.skipBlock()))
                return false;
        return true;
    }

    // After "{curvegroup" or "{cubiccurve": the shape or stroke, read and
    // given its rows; one that breaks the grammar is named in a note and
    // passed over.
    bool curveGroup(const char *start, bool stroke)
    {
        ++(stroke ? strokesSeen : shapesSeen);
        ParsedShape shape;
        shape.stroke = shape.open = stroke;
        Field w;
        if (m_tokens.peek(w) == Tokens::Word) {
            m_tokens.next(w);
            shape.name = fieldToString(w);
            if (shape.name.startsWith(QLatin1Char('"')) && shape.name.size() >= 2)
                shape.name = shape.name.mid(1, shape.name.size() - 2);
        }
        shape.transform.owner = QStringLiteral("the %1 \"%2\"").arg(itemWord(shape), shape.name);
        if (!readShapeBlocks(shape)) {
            note(QStringLiteral("the %1 \"%2\" has a curve Corvane cannot read; it was left out")
                     .arg(itemWord(shape), shape.name));
            m_tokens.seek(start);
            return m_tokens.skipBlock();
        }
        addShape(shape);
        return true;
    }

    bool readShapeBlocks(ParsedShape &shape)
    {
        Field w, head;
        Tokens::Kind kind;
        while ((kind = m_tokens.next(w)) != Tokens::Close) {
            if (kind == Tokens::End) return false;
            if (kind == Tokens::Word) continue; // flags and type
            const Tokens::Kind first = m_tokens.next(head);
            if (first == Tokens::Open) {
                // The cubic curves: the first is the shape, the rest its feather.
                if (m_tokens.next(head) != Tokens::Word || !head.equals("cc") ||
                    !readCubicCurve(shape) || !m_tokens.skipBlock())
                    return false;
            } else if (first == Tokens::Word && head.equals("cc")) {
                // A second cubic curve is the feather, which is not read.
                if (shape.hasCurve ? !m_tokens.skipBlock() : !readCubicCurve(shape)) return false;
            } else if (first == Tokens::Word && (head.equals("t") || head.equals("tx"))) {
                if (!readTransform(head.equals("tx"), shape.transform)) return false;
            } else if (first == Tokens::Word && head.equals("a")) {
                if (!readAttributes(shape)) return false;
            } else if (first != Tokens::Close && !m_tokens.skipBlock()) {
                return false;
            }
        }
        return shape.hasCurve;
    }

    // The attributes: only the lifetime's start is wanted, as the frame of
    // a shape whose points name none.
    bool readAttributes(ParsedShape &shape)
    {
        Field w;
        Tokens::Kind kind;
        bool lifetimeNext = false;
        while ((kind = m_tokens.next(w)) != Tokens::Close) {
            if (kind == Tokens::End) return false;
            if (kind == Tokens::Open) {
                if (!m_tokens.skipBlock()) return false;
                lifetimeNext = false;
                continue;
            }
            if (lifetimeNext) shape.hasLifetime = treeNumber(w, shape.lifetimeStart);
            lifetimeNext = w.equals("ltn");
        }
        return true;
    }

    // The frames a vertex is keyed at.
    static std::vector<double> keyTimes(const ControlPoint &p, const ParsedShape &shape)
    {
        std::vector<double> times;
        for (const Curve *c : {&p.x, &p.y})
            for (const Run &r : c->runs)
                for (qint64 k = 0; k < r.count && qint64(times.size()) < MaxKeys; ++k)
                    times.push_back(r.time + double(k));
        if (times.empty()) times = shape.sharedTimes;
        if (times.empty() && shape.hasLifetime) times.push_back(shape.lifetimeStart);
        std::sort(times.begin(), times.end());
        times.erase(std::unique(times.begin(), times.end()), times.end());
        return times;
    }

    void noteTransform(const Transform &t)
    {
        if (t.noted) return;
        if (t.unapplied) {
            t.noted = true;
            note(QStringLiteral("%1 rotates about X or Y, skews or has an extra matrix, which "
                                "Corvane does not apply")
                     .arg(t.owner),
                 ReaderNotes::Changed);
        } else if (t.animated()) {
            t.noted = true;
            note(QStringLiteral("%1 is animated: its shapes are placed as it stands at their "
                                "own keys (Nuke moves them between those keys)")
                     .arg(t.owner),
                 ReaderNotes::Changed);
        }
    }

    static QString itemWord(const ParsedShape &shape)
    {
        return shape.stroke ? QStringLiteral("stroke") : QStringLiteral("shape");
    }

    // A stroke's kind, from the name Nuke gives it ("Brush3", "Clone1").
    static QString strokeKind(const QString &name)
    {
        qsizetype end = 0;
        while (end < name.size() && name.at(end).isLetter())
            ++end;
        return end == 0 ? QStringLiteral("stroke") : name.left(end).toLower();
    }

    struct Placed
    {
        int vertex, frame;
        double x, y;
    };

    // Each vertex at each of its keys, through the shape's and its layers'
    // transforms; false when a vertex names no frame.
    bool place(ParsedShape &shape, std::vector<Placed> &placed)
    {
        const size_t stride = shape.stroke ? 1 : 3, middle = shape.stroke ? 0 : 1;
        bool unplaced = false;
        for (size_t v = 0; v * stride + middle < shape.points.size(); ++v) {
            const ControlPoint &p = shape.points[v * stride + middle];
            if (p.linked) shape.linkedVertices.push_back(int(v) + 1);
            const std::vector<double> times = keyTimes(p, shape);
            unplaced = unplaced || times.empty();
            for (double t : times) {
                int frame = 0;
                double x = p.x.at(t), y = p.y.at(t);
                shape.transform.apply(t, x, y);
                for (auto layer = m_layers.rbegin(); layer != m_layers.rend(); ++layer)
                    (*layer)->apply(t, x, y);
                if (!wholeFrame(t, frame) || !std::isfinite(x) || !std::isfinite(y))
                    ++fractionalKeys;
                else
                    placed.push_back({int(v) + 1, frame, x, y});
            }
        }
        return !unplaced;
    }

    void addShape(ParsedShape &shape)
    {
        if (shape.points.empty() || (!shape.stroke && shape.points.size() % 3 != 0)) {
            note(QStringLiteral("the shape \"%1\" has %2 control points, not three per vertex; "
                                "it was left out")
                     .arg(shape.name)
                     .arg(shape.points.size()));
            return;
        }
        std::vector<Placed> placed;
        const bool everyVertexPlaced = place(shape, placed);
        if (!placed.empty()) {
            // A shape with rows takes the next number.
            const int number = ++m_shape;
            if (firstShape == 0) firstShape = number;
            lastShape = number;
            if (shapeNames.size() < 10) shapeNames << shape.name;
            if (shape.stroke)
                ++strokes, ++strokeKinds[strokeKind(shape.name)];
            else if (shape.open)
                ++openSplines;
            noteTransform(shape.transform);
            for (const Transform *t : m_layers)
                noteTransform(*t);
            noteLinks(shape, number);
            QString name;
            int named = 0;
            for (const Placed &p : placed) {
                if (p.vertex != named)
                    name = shape.open ? openShapeVertexName(number, named = p.vertex)
                                      : shapeVertexName(number, named = p.vertex);
                m_rows.addValues(name, p.frame, p.x, p.y);
            }
        }
        if (!everyVertexPlaced)
            note(QStringLiteral("the %1 \"%2\" names no frame; it was left out")
                     .arg(itemWord(shape), shape.name));
    }

    // Points linked to other knobs keep the value Nuke stored, not the link.
    void noteLinks(const ParsedShape &shape, int number)
    {
        if (shape.linkedVertices.empty()) return;
        QStringList vertices;
        for (int v : shape.linkedVertices)
            vertices << QString::number(v);
        note(QStringLiteral("the %1 \"%2\" (%3) has %4 points that follow expressions (vertices "
                            "%5): they are read at the values Nuke stored, and the links are not "
                            "kept")
                 .arg(itemWord(shape), shape.name, shapePrefix(shapeVertexName(number, 1)))
                 .arg(shape.linkedVertices.size())
                 .arg(vertices.join(QStringLiteral(", "))),
             ReaderNotes::Changed);
    }

    Tokens m_tokens;
    LineCounter m_lines;
    RowCollector &m_rows;
    int &m_shape;
    std::vector<const Transform *> m_layers; // outermost first
};

// The name of the node whose knob ended at `from`: its "name" line, before
// the line that closes the node.
QString nodeNameAfter(const char *from, const char *end)
{
    LineScanner scanner(from, end);
    Field line;
    scanner.next(line); // the rest of the knob's last line
    for (int lines = 0; scanner.next(line) && lines < 5000; ++lines) {
        Field text = trimmed(line);
        if (text.equals("}")) break;
        if (text.end - text.begin > 5 && std::memcmp(text.begin, "name ", 5) == 0)
            return fieldToString(trimmed({text.begin + 5, text.end}));
    }
    return QStringLiteral("a node without a name");
}

const char treeStart[] = "{{v ";

} // namespace

void NodeBraces::see(Field line, int number)
{
    if (m_depth == 0 && !m_inString) {
        const Field text = trimmed(line);
        const char *brace = std::find(text.begin, text.end, '{');
        if (brace > text.begin && brace < text.end) {
            m_node = fieldToString(trimmed(Field{text.begin, brace}));
            m_nodeLine = number;
        }
    }
    for (const char *p = line.begin; p < line.end; ++p) {
        const char c = *p;
        if (c == '\\')
            ++p;
        else if (c == '"')
            m_inString = !m_inString;
        else if (!m_inString && c == '{')
            ++m_depth;
        else if (!m_inString && c == '}' && m_depth > 0)
            --m_depth;
    }
}

QString NodeBraces::unclosed() const
{
    if (m_depth == 0 && !m_inString) return {};
    return QStringLiteral("the file ends inside \"%1\" of line %2: its braces are not closed.")
        .arg(printableText(m_node))
        .arg(m_nodeLine);
}

bool hasCurveTrees(const QByteArray &data)
{
    return data.contains(treeStart) &&
           (data.contains("{curvegroup ") || data.contains("{cubiccurve "));
}

namespace {

// "2 brush, 1 clone"
QString kindsText(const QMap<QString, int> &kinds)
{
    QStringList parts;
    for (auto it = kinds.cbegin(); it != kinds.cend(); ++it)
        parts << QStringLiteral("%1 %2").arg(it.value()).arg(it.key());
    return parts.join(QStringLiteral(", "));
}

// The node note: which shapes came from it, and which of them are open.
QString nodeNote(const QString &node, const TreeReader &reader)
{
    const QString numbers =
        reader.firstShape == reader.lastShape
            ? QStringLiteral("shape %1").arg(shapePrefix(shapeVertexName(reader.firstShape, 1)))
            : QStringLiteral("shapes %1 to %2")
                  .arg(shapePrefix(shapeVertexName(reader.firstShape, 1)),
                       shapePrefix(shapeVertexName(reader.lastShape, 1)));
    QString names =
        QLatin1Char('"') + reader.shapeNames.join(QStringLiteral("\", \"")) + QLatin1Char('"');
    if (reader.lastShape - reader.firstShape + 1 > reader.shapeNames.size())
        names += QStringLiteral(", …");
    QString text = QStringLiteral("%1: %2 (%3)").arg(node, numbers, names);
    QStringList open;
    if (reader.strokes > 0)
        open << QStringLiteral("%1 paint strokes (%2)")
                    .arg(reader.strokes)
                    .arg(kindsText(reader.strokeKinds));
    if (reader.openSplines > 0) open << QStringLiteral("%1 open splines").arg(reader.openSplines);
    if (!open.isEmpty())
        text += QStringLiteral("; %1, read as open shapes (named S…_Open_…)")
                    .arg(open.join(QStringLiteral(" and ")));
    return text + QLatin1Char('.');
}

} // namespace

CurveTreeContents readCurveTrees(const QByteArray &data, RowCollector &rows, ReaderNotes &notes,
                                 int &shape)
{
    const char *begin = data.constData(), *end = begin + data.size();
    CurveTreeContents contents;
    int fractional = 0;
    for (qsizetype at = data.indexOf(treeStart); at >= 0; at = data.indexOf(treeStart, at)) {
        TreeReader reader(begin + at, end, begin, rows, shape);
        const char *after = reader.read();
        const QString node = nodeNameAfter(after, end);
        for (const TreeReader::Note &n : reader.notes)
            notes.leftOut(
                QStringLiteral("%1.curves, line %2: %3.").arg(node).arg(n.line).arg(n.what), n.lost,
                1, n.line);
        if (reader.firstShape > 0) notes.add(nodeNote(node, reader));
        ++contents.trees;
        contents.shapes += reader.shapesSeen;
        contents.strokes += reader.strokesSeen;
        fractional += reader.fractionalKeys;
        at = std::max<qsizetype>(after - begin, at + 1);
    }
    if (fractional > 0)
        notes.leftOut(QStringLiteral("%1 shape keys between whole frames (or placed beyond any "
                                     "number) were left out.")
                          .arg(fractional),
                      ReaderNotes::Keys, fractional);
    return contents;
}

} // namespace corvane
