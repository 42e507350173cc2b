// SPDX-License-Identifier: Apache-2.0
// Nuke scripts with tracking nodes. A script is a list of nodes, each its
// class, "{", knobs of a name and a value, and "}"; a value is a word, a
// quoted string or a braced group. Animated values are curves in Nuke's
// serialisation, "{curve x1 1087 1093.4 …}": "x" sets the frame of the next
// key, keys without one follow the last two keys' step, and letters and
// slopes between them say how the curve runs (not read: only keys are).
// Tracks come from Tracker3 (track1 … track4), Tracker4 (the rows of its
// "tracks" table), CornerPin2D (to1 … to4), Transform (center plus
// translate), PlanarTracker (its output corners) and Reconcile3D (output);
// nodes inside groups count. A class is known by its stem: plug-ins carry
// their version in the class's name ("PlanarTracker1_0"), and a Tracker of
// any version is read by the knobs it has.
// Bottom-left pixels, as the other Nuke formats.
#include "formats/families.h"
#include "formats/kit/rowcollector.h"
#include "table/numbers.h"

#include <QSet>

#include <algorithm>
#include <climits>
#include <cstring>
#include <map>
#include <optional>

namespace corvane {

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

enum class NodeKind { Other, Root, Tracker, CornerPin, Planar, Reconcile, Transform };

// A node's kind by its class's stem: the class, or the class and a version
// of digits and "_" ("Tracker3", "Tracker4", "PlanarTracker1_0").
NodeKind kindOf(Field type)
{
    static const std::pair<const char *, NodeKind> stems[] = {{"Root", NodeKind::Root},
                                                              {"Tracker", NodeKind::Tracker},
                                                              {"CornerPin2D", NodeKind::CornerPin},
                                                              {"PlanarTracker", NodeKind::Planar},
                                                              {"Reconcile3D", NodeKind::Reconcile},
                                                              {"Transform", NodeKind::Transform}};
    for (const auto &[stem, kind] : stems) {
        const qsizetype length = qsizetype(std::strlen(stem));
        if (type.end - type.begin < length || std::memcmp(type.begin, stem, size_t(length)) != 0)
            continue;
        const char *version = type.begin + length;
        if (kind == NodeKind::Root && version != type.end) continue;
        if (version < type.end && !(*version >= '0' && *version <= '9')) continue;
        if (std::all_of(version, type.end,
                        [](char c) { return (c >= '0' && c <= '9') || c == '_'; }))
            return kind;
    }
    return NodeKind::Other;
}

// A node's first line, "Class {", as its class; none for any other line.
std::optional<Field> nodeClass(Field line)
{
    const Field text = trimmed(line);
    if (text.end - text.begin < 3 || text.end[-1] != '{' || text.end[-2] != ' ') return {};
    const Field type = trimmed(Field{text.begin, text.end - 1});
    if (type.isEmpty() || std::any_of(type.begin, type.end, [](char c) { return isSpace(c); }))
        return {};
    return type;
}

// Values of a script: words, quoted strings and braced groups, with
// backslash escapes in all of them.
class Tokens
{
public:
    Tokens(const char *begin, const char *end) : m_p(begin), m_end(end) {}
    // The next value; false at the end, or when a group or string is not closed.
    bool next(Field &value, bool &closed)
    {
        skip();
        closed = true;
        if (m_p >= m_end) return false;
        const char *start = m_p;
        if (*m_p == '{') {
            int depth = 0;
            for (; m_p < m_end; ++m_p) {
                if (*m_p == '\\') {
                    ++m_p;
                } else if (*m_p == '"') {
                    m_p = stringEnd(m_p);
                    if (m_p >= m_end) break;
                } else if (*m_p == '{') {
                    ++depth;
                } else if (*m_p == '}' && --depth == 0) {
                    value = {start, ++m_p};
                    return true;
                }
            }
            closed = false;
            value = {start, m_end};
            return true;
        }
        if (*m_p == '"') {
            m_p = stringEnd(m_p);
            closed = m_p < m_end;
            if (closed) ++m_p;
            value = {start, m_p};
            return true;
        }
        while (m_p < m_end && !isSpace(*m_p) && *m_p != '{' && *m_p != '}')
            m_p += *m_p == '\\' ? 2 : 1;
        if (m_p == start) ++m_p; // a lone "}"
        value = {start, std::min(m_p, m_end)};
        return true;
    }
    const char *position() const { return m_p; }

private:
    void skip()
    {
        while (m_p < m_end && isSpace(*m_p))
            ++m_p;
    }
    // The closing quote of the string opening at p (or the end).
    const char *stringEnd(const char *p) const
    {
        for (++p; p < m_end; ++p) {
            if (*p == '\\')
                ++p;
            else if (*p == '"')
                return p;
        }
        return m_end;
    }

    const char *m_p, *m_end;
};

// A quoted string's text, its backslash escapes undone.
QString unescaped(Field text)
{
    QByteArray out;
    for (const char *p = text.begin; p < text.end; ++p) {
        if (*p == '\\' && p + 1 < text.end) ++p;
        out += *p;
    }
    return QString::fromUtf8(out);
}

// The inside of a braced group (the group itself when it is not one).
Field inside(Field group)
{
    if (group.end - group.begin >= 2 && *group.begin == '{' && group.end[-1] == '}')
        return {group.begin + 1, group.end - 1};
    return group;
}

// A knob's value as the script gives it: a curve, a number or an expression.
struct Channel
{
    enum Kind { Curve, Number, Expression, Missing } kind = Missing;
    std::vector<std::pair<int, double>> keys; // a curve's keys; a number's value at frame 0
    QString error;                            // a curve that does not read
    ErrorKind errorKind = ErrorKind::UnsupportedLayout;
    bool wrong = false; // the error is a value that is wrong (not finite), not one left out
};

// A knob whose value is a number that is not finite: wrong, not an expression.
Channel nonFinite(Field value)
{
    Channel c;
    c.kind = Channel::Number;
    c.error = nonFiniteMessage(value);
    c.errorKind = ErrorKind::BadNumber;
    c.wrong = true;
    return c;
}

bool startsWith(Field f, const char *word)
{
    const size_t n = std::strlen(word);
    return size_t(f.end - f.begin) >= n && std::memcmp(f.begin, word, n) == 0;
}

// The keys of a curve, after its "curve" word, each moved by offset.
Channel curveChannel(Field list, double offset = 0)
{
    Channel c;
    c.kind = Channel::Curve;
    Tokens tokens(list.begin, list.end);
    Field t;
    bool closed = true;
    bool framed = false; // an "x" gave the next key's frame
    double frame = 0, last = 0, before = 0;
    int keys = 0;
    while (tokens.next(t, closed)) {
        const char first = *t.begin;
        const Field rest{t.begin + 1, t.end};
        bool ok = false;
        if (first == 'x') {
            frame = fieldToDouble(rest, &ok);
            framed = true;
            if (!ok) {
                c.error = QStringLiteral("\"%1\" is not a frame.").arg(fieldToString(t));
                c.errorKind = ErrorKind::BadNumber;
                return c;
            }
            continue;
        }
        if (t.end - t.begin == 1 && std::isalpha(uchar(first)))
            continue; // K, L, S, C, R, k, l, i, I
        if (first == 's' || first == 't' || first == 'u' || first == 'v') continue;
        const double value = fieldToDouble(t, &ok);
        if (!ok && isNonFiniteNumber(t)) return nonFinite(t);
        if (!ok) {
            c.error = QStringLiteral("\"%1\" is not a key of a curve.").arg(fieldToString(t));
            return c;
        }
        // A key without its frame follows the step of the last two.
        const double at = framed      ? frame
                          : keys == 0 ? 0
                          : keys == 1 ? last + 1
                                      : last + (last - before);
        framed = false;
        int whole = 0;
        if (!wholeFrame(at, whole)) {
            c.error = QStringLiteral("frame %1 is not a whole frame Corvane can handle.").arg(at);
            c.errorKind = ErrorKind::BadNumber;
            return c;
        }
        c.keys.push_back({whole, value + offset});
        before = last;
        last = at;
        ++keys;
    }
    if (!closed) c.error = QStringLiteral("the curve is not closed.");
    return c;
}

// One element of a knob's value: {curve …}, a number, or an expression.
Channel channelOf(Field element)
{
    const Field body = trimmed(inside(element));
    if (startsWith(body, "curve")) {
        // "curve" alone, or the expression "curve+5": the curve moved by a number.
        const char *word = std::find_if(body.begin, body.end, isSpace);
        const Field suffix{body.begin + 5, word};
        bool ok = suffix.isEmpty();
        double offset = 0;
        if (!ok && (*suffix.begin == '+' || *suffix.begin == '-'))
            offset = fieldToDouble({suffix.begin + (*suffix.begin == '+'), suffix.end}, &ok);
        if (ok) return curveChannel({word, body.end}, offset);
        Channel expression;
        expression.kind = Channel::Expression;
        return expression;
    }
    // Nuke 7 may quote the word: {"curve " x374 1008.35 …}.
    if (startsWith(body, "\"curve")) {
        const char *close = std::find(body.begin + 1, body.end, '"');
        if (close != body.end && trimmed(Field{body.begin + 1, close}).equals("curve"))
            return curveChannel({close + 1, body.end});
    }
    Channel c;
    bool ok = false;
    const double v = fieldToDouble(body, &ok);
    if (ok) {
        c.kind = Channel::Number;
        c.keys.push_back({0, v});
    } else if (isNonFiniteNumber(body)) {
        return nonFinite(body);
    } else {
        c.kind = Channel::Expression;
    }
    return c;
}

// The elements of a group value ("{A B}": A and B).
std::vector<Field> elements(Field value)
{
    std::vector<Field> out;
    const Field body = inside(value);
    Tokens tokens(body.begin, body.end);
    Field t;
    bool closed = true;
    while (tokens.next(t, closed))
        out.push_back(t);
    return out;
}

struct Node
{
    QString type, name;
    NodeKind kind = NodeKind::Other;
    int line = 0;
    std::vector<std::pair<QByteArray, Field>> knobs;
    Field knob(const char *name) const
    {
        for (const auto &[k, v] : knobs)
            if (k == name) return v;
        return {nullptr, nullptr};
    }
};

class ScriptReader
{
public:
    explicit ScriptReader(const QByteArray &data)
        : m_begin(data.constData()), m_end(m_begin + data.size()), m_lines(m_begin)
    {
    }
    ReadResult read();

private:
    void node(const Node &n);
    void trackingNode(const Node &n);
    void tracker4(const Node &n);
    // A track from an X and a Y channel; false when neither is animated.
    bool track(const Node &n, const QString &knob, const QString &name, Channel x, Channel y,
               bool add = true);
    void rootFormat(const Node &n);
    void transform(const Node &n, std::pair<Channel, Channel> centre,
                   std::pair<Channel, Channel> translate);
    // A track read, before its name is known: it takes its node's name in
    // front only where several nodes give tracks.
    struct Pending
    {
        QString node, name; // name empty: the node's own (a Transform's position)
        struct Row
        {
            int frame;
            double x, y;
        };
        std::vector<Row> rows;
    };
    Pending &pendingTrack(const Node &n, const QString &name);
    void addPending();
    std::vector<Pending> m_pending;
    // A node's tracks that hold numbers, not curves: read only where none
    // of the node's tracks is animated.
    struct Static
    {
        QString name;
        double x, y;
    };
    std::vector<Static> m_statics;
    void addStatics(const Node &n);
    bool m_keepStatic = true; // false for a Tracker3 track that is not enabled
    int m_scriptFrame = 1;    // the Root's current frame

    const char *m_begin, *m_end;
    LineCounter m_lines;
    int lineAt(const char *at) { return m_lines.lineAt(at); }
    RowCollector m_rows;
    ReaderNotes m_notes;
    int m_width = 0, m_height = 0, m_nodes = 0;
};

ScriptReader::Pending &ScriptReader::pendingTrack(const Node &n, const QString &name)
{
    m_pending.push_back({n.name, name, {}});
    return m_pending.back();
}

void ScriptReader::addPending()
{
    QSet<QString> nodes;
    for (const Pending &p : m_pending)
        if (!p.rows.empty()) nodes.insert(p.node);
    const bool several = nodes.size() > 1;
    for (const Pending &p : m_pending) {
        QString name = p.name.isEmpty() ? p.node : p.name;
        if (several && !p.name.isEmpty())
            name = p.node + QLatin1Char('_') +
                   QString(p.name).replace(QLatin1Char(' '), QLatin1Char('_'));
        for (const Pending::Row &r : p.rows)
            m_rows.addValues(name, r.frame, r.x, r.y);
    }
}

bool ScriptReader::track(const Node &n, const QString &knob, const QString &name, Channel x,
                         Channel y, bool add)
{
    for (const Channel *c : {&x, &y})
        if (!c->error.isEmpty()) {
            // Where the knob stands (a Tracker4 track: its table).
            const char *at = n.knob(knob.toUtf8().constData()).begin;
            if (!at) at = n.knob("tracks").begin;
            const int line = at ? lineAt(at) : n.line;
            if (c->wrong) {
                m_rows.fail(QStringLiteral("node %1, knob %2: %3").arg(n.name, knob, c->error),
                            line, c->errorKind);
                return false;
            }
            m_notes.leftOut(QStringLiteral("line %1: node %2, knob %3: %4 The knob is left out.")
                                .arg(line)
                                .arg(n.name, knob, c->error),
                            ReaderNotes::Tracks, 1, line);
            return false;
        }
    if (x.kind == Channel::Expression || y.kind == Channel::Expression) {
        m_notes.leftOut(QStringLiteral("node %1, knob %2 follows an expression; it is left out.")
                            .arg(n.name, knob),
                        ReaderNotes::Tracks, 1, n.line);
        return false;
    }
    const bool animated = x.kind == Channel::Curve || y.kind == Channel::Curve;
    if (!animated && add && m_keepStatic && x.kind == Channel::Number && y.kind == Channel::Number)
        m_statics.push_back({name, x.keys.front().second, y.keys.front().second});
    if (!animated || !add) return animated;
    Pending &pending = pendingTrack(n, name);
    // Keys at the frames either curve keys; the other curve keyed there too,
    // or a number.
    std::map<int, std::pair<std::optional<double>, std::optional<double>>> keys;
    for (const auto &[f, v] : x.keys)
        keys[x.kind == Channel::Curve ? f : INT_MIN].first = v;
    for (const auto &[f, v] : y.keys)
        keys[y.kind == Channel::Curve ? f : INT_MIN].second = v;
    const auto fixed = keys.find(INT_MIN);
    std::optional<double> fixedX, fixedY;
    if (fixed != keys.end()) {
        fixedX = fixed->second.first;
        fixedY = fixed->second.second;
        keys.erase(fixed);
    }
    int unmatched = 0;
    for (const auto &[f, xy] : keys) {
        const std::optional<double> kx = xy.first ? xy.first : fixedX;
        const std::optional<double> ky = xy.second ? xy.second : fixedY;
        if (!kx || !ky) {
            ++unmatched;
            continue;
        }
        pending.rows.push_back({f, *kx, *ky});
    }
    if (unmatched > 0)
        m_notes.leftOut(QStringLiteral("node %1, knob %2: %3 keys of one coordinate have no key "
                                       "of the other at their frame; they are left out.")
                            .arg(n.name, knob)
                            .arg(unmatched),
                        ReaderNotes::Keys, unmatched, n.line);
    return true;
}

// Tracker4's "tracks" knob: { {1 31 rows} {columns} {rows} }, each column
// "{ type flag width name label … }", each row a value per column.
void ScriptReader::tracker4(const Node &n)
{
    const std::vector<Field> parts = elements(n.knob("tracks"));
    if (parts.size() < 3) return;
    const std::vector<Field> columns = elements(parts[1]);
    int nameColumn = -1, xColumn = -1, yColumn = -1;
    for (size_t c = 0; c < columns.size(); ++c) {
        const std::vector<Field> described = elements(columns[c]);
        if (described.size() < 4) continue;
        const Field id = described[3];
        if (id.equals("name")) nameColumn = int(c);
        if (id.equals("track_x")) xColumn = int(c);
        if (id.equals("track_y")) yColumn = int(c);
    }
    if (xColumn < 0 || yColumn < 0) return;
    int index = 0;
    for (Field row : elements(parts[2])) {
        const std::vector<Field> values = elements(row);
        ++index;
        if (int(values.size()) <= std::max({nameColumn, xColumn, yColumn})) continue;
        QString name = QStringLiteral("track %1").arg(index);
        if (nameColumn >= 0) {
            Field quoted = values[size_t(nameColumn)];
            if (quoted.end - quoted.begin >= 2 && *quoted.begin == '"')
                quoted = {quoted.begin + 1, quoted.end - 1};
            name = unescaped(quoted);
        }
        track(n, name, name, channelOf(values[size_t(xColumn)]),
              channelOf(values[size_t(yColumn)]));
    }
}

// A channel's value at a frame: its key there, else the straight line
// between the keys around it (the nearest key's value beyond them).
double valueAt(const Channel &c, int frame, bool &between)
{
    if (c.kind != Channel::Curve) return c.keys.empty() ? 0 : c.keys.front().second;
    auto after =
        std::lower_bound(c.keys.begin(), c.keys.end(), frame,
                         [](const std::pair<int, double> &k, int f) { return k.first < f; });
    if (after != c.keys.end() && after->first == frame) return after->second;
    between = true;
    if (after == c.keys.begin()) return after->second;
    if (after == c.keys.end()) return c.keys.back().second;
    const auto before = after - 1;
    const double t = (double(frame) - before->first) / (double(after->first) - before->first);
    return before->second + t * (after->second - before->second);
}

// Transform: a position, its centre moved by its translation, at the frames
// where either is keyed.
void ScriptReader::transform(const Node &n, std::pair<Channel, Channel> centre,
                             std::pair<Channel, Channel> translate)
{
    if (!n.knob("center").begin) {
        centre.first.kind = centre.second.kind = Channel::Number;
        centre.first.keys = centre.second.keys = {{0, 0.0}};
    }
    const Channel *parts[] = {&centre.first, &centre.second, &translate.first, &translate.second};
    bool animated = false;
    for (const Channel *c : parts) {
        if (c->kind == Channel::Expression || !c->error.isEmpty() || c->kind == Channel::Missing) {
            m_notes.leftOut(QStringLiteral("node %1: its center and translate are not both "
                                           "numbers or curves; it is left out.")
                                .arg(n.name),
                            ReaderNotes::Tracks, 1, n.line);
            return;
        }
        animated = animated || c->kind == Channel::Curve;
    }
    if (!animated) return;
    std::vector<int> frames;
    for (const Channel *c : parts)
        if (c->kind == Channel::Curve)
            for (const auto &key : c->keys)
                frames.push_back(key.first);
    std::sort(frames.begin(), frames.end());
    frames.erase(std::unique(frames.begin(), frames.end()), frames.end());
    bool between = false;
    Pending &pending = pendingTrack(n, QString()); // the node's own position
    for (int f : frames)
        pending.rows.push_back(
            {f, valueAt(centre.first, f, between) + valueAt(translate.first, f, between),
             valueAt(centre.second, f, between) + valueAt(translate.second, f, between)});
    if (between)
        m_notes.leftOut(QStringLiteral("node %1: center and translate are keyed at different "
                                       "frames; where one has no key, its value is taken on the "
                                       "straight line between its keys.")
                            .arg(n.name),
                        ReaderNotes::Changed, 1, n.line);
}

void ScriptReader::addStatics(const Node &n)
{
    // At the node's reference frame, else the script's current frame.
    int frame = m_scriptFrame;
    bool ok = false;
    const double reference = fieldToDouble(n.knob("reference_frame"), &ok);
    if (n.knob("reference_frame").begin && ok) wholeFrame(reference, frame);
    for (const Static &s : m_statics)
        pendingTrack(n, s.name).rows.push_back({frame, s.x, s.y});
    m_notes.add(QStringLiteral("node %1 holds no animated track; its still values are read as one "
                               "row each at frame %2.")
                    .arg(n.name)
                    .arg(frame));
}

void ScriptReader::rootFormat(const Node &n)
{
    for (const char *knob : {"frame", "first_frame"}) {
        bool ok = false;
        const double f = n.knob(knob).begin ? fieldToDouble(n.knob(knob), &ok) : 0;
        if (ok && wholeFrame(f, m_scriptFrame)) break;
    }
    Field format = n.knob("format");
    if (!format.begin) return;
    if (*format.begin == '"') format = {format.begin + 1, format.end - 1};
    std::vector<Field> fields;
    splitTrimmed(format, fields);
    if (fields.size() < 2) return;
    bool okW = false, okH = false;
    int w = 0, h = 0;
    const double fw = fieldToDouble(fields[0], &okW), fh = fieldToDouble(fields[1], &okH);
    if (okW && okH && wholeFrame(fw, w) && wholeFrame(fh, h) && w > 0 && h > 0) {
        m_width = w;
        m_height = h;
    }
}

void ScriptReader::node(const Node &n)
{
    if (n.kind == NodeKind::Root) return rootFormat(n);
    const size_t before = m_pending.size();
    m_statics.clear();
    trackingNode(n);
    if (m_pending.size() == before && !m_statics.empty()) addStatics(n);
}

void ScriptReader::trackingNode(const Node &n)
{
    auto xy = [&](const char *knob) -> std::pair<Channel, Channel> {
        const std::vector<Field> e = elements(n.knob(knob));
        if (e.size() < 2) return {};
        return {channelOf(e[0]), channelOf(e[1])};
    };
    if (n.kind == NodeKind::Other || n.kind == NodeKind::Root) return;
    ++m_nodes;
    // Tracker4 and later hold their tracks in a table; earlier ones in knobs.
    if (n.kind == NodeKind::Tracker && n.knob("tracks").begin) return tracker4(n);
    if (n.kind == NodeKind::Tracker) {
        for (int t = 1; t <= 4; ++t) {
            const QByteArray knob = "track" + QByteArray::number(t);
            if (!n.knob(knob.constData()).begin) continue;
            // The first track is enabled unless said otherwise, the others when said.
            const Field enable = n.knob(("enable" + QByteArray::number(t)).constData());
            m_keepStatic = t == 1 ? !(enable.begin && enable.equals("false"))
                                  : enable.begin && enable.equals("true");
            auto [x, y] = xy(knob.constData());
            track(n, QLatin1String(knob), QLatin1String(knob), x, y);
        }
        m_keepStatic = true;
    } else if (n.kind == NodeKind::CornerPin) {
        for (const char *knob : {"to1", "to2", "to3", "to4"})
            if (n.knob(knob).begin) {
                auto [x, y] = xy(knob);
                track(n, QLatin1String(knob), QLatin1String(knob), x, y);
            }
    } else if (n.kind == NodeKind::Planar) {
        for (const char *knob :
             {"outputBottomLeft", "outputBottomRight", "outputTopRight", "outputTopLeft"})
            if (n.knob(knob).begin) {
                auto [x, y] = xy(knob);
                track(n, QLatin1String(knob), QLatin1String(knob), x, y);
            }
    } else if (n.kind == NodeKind::Reconcile) {
        if (n.knob("output").begin) {
            auto [x, y] = xy("output");
            track(n, QStringLiteral("output"), QStringLiteral("output"), x, y);
        }
    } else if (n.kind == NodeKind::Transform) {
        transform(n, xy("center"), xy("translate"));
    }
}

ReadResult ScriptReader::read()
{
    // Nodes start with "Class {" on a line of their own and hold knobs up to
    // their "}"; everything else between them (set, push, end_group) is skipped.
    LineScanner lines(m_begin, m_end);
    Field line;
    while (!m_rows.failed() && lines.next(line)) {
        const std::optional<Field> type = nodeClass(line);
        if (!type) continue;
        Node n;
        n.type = fieldToString(*type);
        n.kind = kindOf(*type);
        n.line = lines.number();
        Tokens tokens(lines.position(), m_end);
        Field name, value;
        bool closed = true;
        bool ended = false;
        while (tokens.next(name, closed)) {
            if (name.equals("}")) {
                ended = true;
                break;
            }
            if (!tokens.next(value, closed) || !closed) break;
            n.knobs.push_back({name.bytes(), value});
            if (name.equals("name")) n.name = fieldToString(value);
        }
        if (!ended) {
            // Named where the file stops, with the line the node began on.
            m_rows.fail(QStringLiteral("the file ends inside the %1 node of line %2: the node is "
                                       "not closed.")
                            .arg(n.type)
                            .arg(n.line),
                        lineAt(std::max(m_begin, m_end - 1)), ErrorKind::CutShort);
            break;
        }
        node(n);
        // Go on after the node: its knobs were read.
        lines = LineScanner(tokens.position(), m_end, lineAt(tokens.position()) - 1);
    }
    if (!m_rows.failed()) addPending();
    ReadResult result = m_rows.finish(
        m_nodes == 0 ? QStringLiteral("the script has no tracking node (Tracker3, Tracker4, "
                                      "CornerPin2D, Transform, PlanarTracker, Reconcile3D).")
                     : QStringLiteral("no tracking node of the script has an animated track."));
    if (!result.ok()) return result;
    m_notes.into(result);
    result.set.plateWidth = m_width;
    result.set.plateHeight = m_height;
    return result;
}

ReadResult readScript(const QByteArray &data, const QString &)
{
    return ScriptReader(data).read();
}

// A node of a tracking class, found as the reader finds its nodes (inside
// groups, indented or not, of any version).
bool looksLikeScript(const QByteArray &data)
{
    LineScanner lines(data);
    Field line;
    while (lines.next(line)) {
        const std::optional<Field> type = nodeClass(line);
        const NodeKind kind = type ? kindOf(*type) : NodeKind::Other;
        if (kind != NodeKind::Other && kind != NodeKind::Root) return true;
    }
    return false;
}

// The writer: a script of the plate's Root and one Tracker4 node, a row of
// its tracks table per table track, every key with its frame. The table's
// columns are those Nuke 8 writes.

const char *const columns[] = {"5 1 20 enable e",
                               "3 1 75 name name",
                               "2 1 58 track_x track_x",
                               "2 1 58 track_y track_y",
                               "2 1 63 offset_x offset_x",
                               "2 1 63 offset_y offset_y",
                               "4 1 27 T T",
                               "4 1 27 R R",
                               "4 1 27 S S",
                               "2 0 45 error error",
                               "1 1 0 error_min error_min",
                               "1 1 0 error_max error_max",
                               "1 1 0 pattern_x pattern_x",
                               "1 1 0 pattern_y pattern_y",
                               "1 1 0 pattern_r pattern_r",
                               "1 1 0 pattern_t pattern_t",
                               "1 1 0 search_x search_x",
                               "1 1 0 search_y search_y",
                               "1 1 0 search_r search_r",
                               "1 1 0 search_t search_t",
                               "2 1 0 key_track key_track",
                               "2 1 0 key_search_x key_search_x",
                               "2 1 0 key_search_y key_search_y",
                               "2 1 0 key_search_r key_search_r",
                               "2 1 0 key_search_t key_search_t",
                               "2 1 0 key_track_x key_track_x",
                               "2 1 0 key_track_y key_track_y",
                               "2 1 0 key_track_r key_track_r",
                               "2 1 0 key_track_t key_track_t",
                               "2 1 0 key_centre_offset_x key_centre_offset_x",
                               "2 1 0 key_centre_offset_y key_centre_offset_y"};

struct TrackKeys
{
    QString name;
    std::vector<int> frames;
    std::vector<double> x, y;
};

// A name in double quotes: what Tcl would read as a command, a variable or
// the string's end is escaped.
void appendQuoted(QByteArray &out, const QString &name)
{
    out += '"';
    for (char c : name.toUtf8()) {
        if (c == '"' || c == '\\' || c == '[' || c == ']' || c == '$' || c == '{' || c == '}')
            out += '\\';
        out += c;
    }
    out += '"';
}

void appendCurve(QByteArray &out, const std::vector<int> &frames, const std::vector<double> &values)
{
    out += "{curve";
    for (size_t i = 0; i < frames.size(); ++i) {
        out += " x";
        appendInt(out, frames[i]);
        out += ' ';
        appendDecimal6(out, values[i]);
    }
    out += '}';
}

void writeScript(WriteContext &ctx)
{
    std::vector<TrackKeys> tracks;
    for (int k = 0; k < ctx.exportRowCount(); ++k) {
        const ExportRow row = ctx.exportRow(k);
        if (tracks.empty() || tracks.back().name != row.name)
            tracks.push_back({row.name, {}, {}, {}});
        tracks.back().frames.push_back(row.frame);
        tracks.back().x.push_back(row.x());
        tracks.back().y.push_back(row.y());
    }
    QByteArray &out = ctx.out();
    const QByteArray w = QByteArray::number(ctx.windowWidth),
                     h = QByteArray::number(ctx.windowHeight);
    out += "version 8.0 v1\nRoot {\n inputs 0\n format \"" + w + ' ' + h + " 0 0 " + w + ' ' + h +
           " 1 \"\n}\nTracker4 {\n inputs 0\n tracks { { 1 31 " +
           QByteArray::number(qulonglong(tracks.size())) + " }\n{ ";
    for (const char *column : columns)
        out += QByteArray("{ ") + column + " 1 }\n";
    out += "}\n{\n";
    for (size_t i = 0; i < tracks.size(); ++i) {
        const TrackKeys &t = tracks[i];
        const QByteArray first = QByteArray::number(t.frames.front());
        out += " { {curve K x" + first + " 1} ";
        appendQuoted(out, t.name);
        out += ' ';
        appendCurve(out, t.frames, t.x);
        out += ' ';
        appendCurve(out, t.frames, t.y);
        out += " {curve K x" + first + " 0} {curve K x" + first +
               " 0} 1 1 1 {} 0 0 -32 -32 32 32 -22 -22 22 22 {} {} {} {} {} {} {} {} {} {} {} }\n";
        if (!ctx.mayFlush(double(i + 1) / double(tracks.size()))) return;
    }
    out += "}\n}\n name Tracker1\n}\n";
}

const WriterSteps writer{writeScript, nullptr, nullptr};

} // namespace

Formats nukeScriptFormats()
{
    Format f;
    f.id = "nuke-script";
    f.name = "Nuke Script";
    f.importFilter = f.treeExportFilter = "Nuke Script File (*.nk)";
    f.read = readScript;
    f.sniff = looksLikeScript;
    f.writer = &writer;
    f.source = SourceRule::Flip;
    f.target = TargetRule::Flip;
    f.statesPlate = true;
    f.maxLineLength = qsizetype(16) << 20; // a long curve is one line
    return {f};
}

} // namespace corvane
