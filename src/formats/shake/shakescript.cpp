// SPDX-License-Identifier: Apache-2.0
// Shake scripts: the tracks of their Tracker, Stabilize and MatchMove nodes.
// A script is C-like statements ("Tracker1 = Tracker(In, …);"); a track's X
// and Y are arguments of its node, animated as curves in Shake's function
// syntax: Linear(0, 716.08@1, 715.85@2, …), Hermite(0, [v, in, out]@f, …),
// CSpline, JSpline and NSpline alike. Only keys are read, never values in
// between. Comments, variable definitions and all other nodes are skipped.
// Bottom-left pixels, as Shake's tracker files.
#include "formats/families.h"
#include "formats/kit/rowcollector.h"

#include <QHash>

#include <algorithm>
#include <cstring>

namespace corvane {

namespace {

bool isIdentifierStart(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool isIdentifierChar(char c)
{
    return isIdentifierStart(c) || (c >= '0' && c <= '9');
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// Past white space and comments.
const char *skipSpace(const char *p, const char *end)
{
    while (p < end) {
        if (isBlank(*p)) {
            ++p;
        } else if (*p == '/' && p + 1 < end && p[1] == '/') {
            p = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
            if (!p) return end;
        } else if (*p == '/' && p + 1 < end && p[1] == '*') {
            static constexpr char closing[] = "*/";
            const char *close = std::search(p + 2, end, closing, closing + 2);
            p = close == end ? end : close + 2;
        } else {
            break;
        }
    }
    return p;
}

// Past a string literal whose opening quote is at p.
const char *skipString(const char *p, const char *end)
{
    for (++p; p < end; ++p) {
        if (*p == '\\')
            ++p;
        else if (*p == '"')
            return p + 1;
    }
    return end;
}

// One argument of a call, its comments and white space cut off.
struct Argument
{
    Argument(const char *b, const char *e) : begin(b), end(e) {}
    const char *begin, *end;
    enum Kind { Number, Text, Curve, Expression } kind = Expression;
    QByteArray text;                 // a string literal's text
    const char *curveBody = nullptr; // after the curve's "("
};

// The next place of a character at or after a point, remembered: asked with
// points that only move forward, it reads the text once in all.
class NextOf
{
public:
    explicit NextOf(char c) : m_char(c) {}
    const char *from(const char *p, const char *end)
    {
        if (m_searched && (!m_at || m_at >= p)) return m_at;
        m_at = static_cast<const char *>(std::memchr(p, m_char, size_t(end - p)));
        m_searched = true;
        return m_at;
    }

private:
    char m_char;
    const char *m_at = nullptr;
    bool m_searched = false;
};

// The arguments of the call whose "(" is at open, split at its own commas;
// close is set to its ")". False when the call is not closed.
bool splitArguments(const char *open, const char *end, std::vector<Argument> &args,
                    const char *&close)
{
    args.clear();
    NextOf nextClose(')'), nextOpen('('), nextQuote('"'), nextSlash('/');
    int depth = 0;
    const char *start = open + 1;
    for (const char *p = open + 1; p < end;) {
        const char c = *p;
        if (c == '"') {
            p = skipString(p, end);
            continue;
        }
        if (c == '/' && p + 1 < end && (p[1] == '/' || p[1] == '*')) {
            p = skipSpace(p, end);
            continue;
        }
        if (c == '(') {
            // A call with no call, string or comment inside (a curve's keys)
            // is passed over at once.
            const char *shut = nextClose.from(p + 1, end);
            auto outside = [&](NextOf &next) {
                const char *at = next.from(p + 1, end);
                return !at || at > shut;
            };
            if (shut && outside(nextOpen) && outside(nextQuote) && outside(nextSlash)) {
                p = shut + 1;
                continue;
            }
            ++depth;
        } else if (c == '[' || c == '{') {
            ++depth;
        } else if (c == ')' || c == ']' || c == '}') {
            if (depth == 0) {
                if (c != ')') return false;
                args.push_back({start, p});
                close = p;
                return true;
            }
            --depth;
        } else if (c == ',' && depth == 0) {
            args.push_back({start, p});
            start = p + 1;
        }
        ++p;
    }
    return false;
}

bool isNumberText(const char *begin, const char *end)
{
    bool ok = false;
    fieldToDouble(trimmed(Field{begin, end}), &ok);
    return ok;
}

// Where the argument's own text ends: before trailing white space and comments.
const char *significantEnd(const char *p, const char *end)
{
    const char *last = p;
    while (p < end) {
        p = skipSpace(p, end);
        if (p >= end) break;
        p = *p == '"' ? skipString(p, end) : p + 1;
        last = p;
    }
    return last;
}

// What an argument is: a number, a string, an animation curve or some other expression.
void classify(Argument &a)
{
    a.begin = skipSpace(a.begin, a.end);
    const char *p = a.begin;
    if (p < a.end && isIdentifierStart(*p)) {
        static const char *const curves[] = {"Linear", "Hermite", "CSpline", "JSpline", "NSpline"};
        const char *q = p;
        while (q < a.end && isIdentifierChar(*q))
            ++q;
        const Field name{p, q};
        const char *open = skipSpace(q, a.end);
        for (const char *curve : curves)
            if (name.equals(curve) && open < a.end && *open == '(') {
                a.kind = Argument::Curve;
                a.curveBody = open + 1;
                return;
            }
    }
    a.end = significantEnd(p, a.end);
    if (p < a.end && *p == '"') {
        a.kind = Argument::Text;
        a.text = QByteArray(p + 1, int(std::max(a.end - p - 2, std::ptrdiff_t(0))));
        return;
    }
    a.kind = p < a.end && isNumberText(p, a.end) ? Argument::Number : Argument::Expression;
}

struct Key
{
    int frame;
    double value;
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
    // Reads a tracking node; returns where its call ends (null for other calls).
    const char *statement(Field node, Field function, const char *open);
    void trackerNode(const QString &node, const std::vector<Argument> &args);
    void pointNode(const QString &node, const std::vector<Argument> &args);
    void track(const QString &node, const QString &name, const Argument &x, const Argument &y);
    // The keys of a curve; false (with an error or a note) when it has none to read.
    bool keys(const Argument &curve, const QString &what, std::vector<Key> &out);
    void plateSize(Field function, const char *open);

    const char *m_begin, *m_end;
    LineCounter m_lines;
    int lineAt(const char *at) { return m_lines.lineAt(at); }
    RowCollector m_rows;
    ReaderNotes m_notes;
    std::vector<Argument> m_args;
    std::vector<Field> m_keyArgs;
    int m_width = 0, m_height = 0;
    int m_nodes = 0;
};

// The next argument of a curve from p: up to its comma or the curve's ")"
// at depth 0 (Hermite's brackets hold commas). Null when the curve is not closed.
const char *curveArgumentEnd(const char *p, const char *end)
{
    int depth = 0;
    for (; p < end; ++p) {
        const char c = *p;
        if (c == '[' || c == '(') {
            ++depth;
        } else if (c == ']' || c == ')') {
            if (depth == 0) return c == ')' ? p : nullptr;
            --depth;
        } else if (c == ',' && depth == 0) {
            return p;
        } else if (c == '"') {
            p = skipString(p, end) - 1;
        } else if (c == '/' && p + 1 < end && (p[1] == '/' || p[1] == '*')) {
            p = skipSpace(p, end) - 1;
        }
    }
    return nullptr;
}

bool ScriptReader::keys(const Argument &curve, const QString &what, std::vector<Key> &out)
{
    out.clear();
    m_keyArgs.clear();
    for (const char *p = curve.curveBody;;) {
        const char *stop = curveArgumentEnd(p, m_end);
        if (!stop) {
            m_rows.fail(QStringLiteral("%1: the curve is not closed.").arg(what),
                        lineAt(curve.begin));
            return false;
        }
        m_keyArgs.push_back({p, stop});
        if (*stop == ')') break;
        p = stop + 1;
    }
    // The first argument is the curve's cycle; keys follow as value@frame.
    for (size_t i = 1; i < m_keyArgs.size(); ++i) {
        const Field key = trimmed(m_keyArgs[i]);
        if (key.isEmpty()) continue;
        const char *at = nullptr;
        for (const char *p = key.end; p > key.begin; --p)
            if (p[-1] == '@') {
                at = p - 1;
                break;
            }
        if (!at) {
            m_rows.fail(QStringLiteral("%1: the key \"%2\" is not value@frame.")
                            .arg(what, fieldToString(key)),
                        lineAt(key.begin));
            return false;
        }
        Field value = trimmed(Field{key.begin, at});
        if (!value.isEmpty() && *value.begin == '[') { // Hermite: [value, slope in, slope out]
            const char *comma = std::find(value.begin, value.end, ',');
            value = trimmed(Field{value.begin + 1, comma == value.end ? value.end - 1 : comma});
        }
        bool valueOk = false, frameOk = false;
        const double v = fieldToDouble(value, &valueOk);
        const double f = fieldToDouble(trimmed(Field{at + 1, key.end}), &frameOk);
        if (!frameOk) {
            m_rows.fail(QStringLiteral("%1: the key \"%2\" has no frame number.")
                            .arg(what, fieldToString(key)),
                        lineAt(key.begin), ErrorKind::BadNumber);
            return false;
        }
        if (!valueOk && isNonFiniteNumber(value)) {
            m_rows.fail(QStringLiteral("%1: %2").arg(what, nonFiniteMessage(value)),
                        lineAt(value.begin), ErrorKind::BadNumber);
            return false;
        }
        if (!valueOk) {
            m_notes.leftOut(
                QStringLiteral("line %1: %2 is driven by an expression; it is left out.")
                    .arg(lineAt(key.begin))
                    .arg(what),
                ReaderNotes::Tracks, 1, lineAt(key.begin));
            return false;
        }
        int frame = 0;
        if (!wholeFrame(f, frame)) {
            m_notes.leftOut(QStringLiteral("line %1: %2 has a key at frame %3, which is not a "
                                           "whole frame; the key is left out.")
                                .arg(lineAt(key.begin))
                                .arg(what, fieldToString(trimmed(Field{at + 1, key.end}))),
                            ReaderNotes::Keys, 1, lineAt(key.begin));
            continue;
        }
        out.push_back({frame, v});
    }
    auto byFrame = [](const Key &a, const Key &b) { return a.frame < b.frame; };
    if (!std::is_sorted(out.begin(), out.end(), byFrame))
        std::stable_sort(out.begin(), out.end(), byFrame);
    return !out.empty();
}

// A track from its X and Y arguments: one row per key where either is a
// curve (the other a curve keyed at that frame too, or a number).
void ScriptReader::track(const QString &node, const QString &name, const Argument &x,
                         const Argument &y)
{
    const bool xCurve = x.kind == Argument::Curve, yCurve = y.kind == Argument::Curve;
    for (const Argument *a : {&x, &y}) {
        const Field text = trimmed(Field{a->begin, a->end});
        if (a->kind != Argument::Curve && isNonFiniteNumber(text)) {
            m_rows.fail(QStringLiteral("%1's %2: %3").arg(node, name, nonFiniteMessage(text)),
                        lineAt(text.begin), ErrorKind::BadNumber);
            return;
        }
    }
    if (!xCurve && !yCurve) {
        if (x.kind == Argument::Expression || y.kind == Argument::Expression) {
            // A track that follows another node's: its own values are not in the script.
            const bool follows = std::any_of(x.begin, x.end, [](char c) { return c == '.'; }) ||
                                 std::any_of(y.begin, y.end, [](char c) { return c == '.'; });
            if (follows)
                m_notes.leftOut(
                    QStringLiteral("line %1: %2's %3 follows an expression; it is left out.")
                        .arg(lineAt(x.begin))
                        .arg(node, name),
                    ReaderNotes::Tracks, 1, lineAt(x.begin));
        }
        return; // not animated
    }
    const QString trackName = node + QLatin1Char('_') + name;
    std::vector<Key> xs, ys;
    if (xCurve && !keys(x, trackName + QStringLiteral(" X"), xs)) return;
    if (yCurve && !keys(y, trackName + QStringLiteral(" Y"), ys)) return;
    auto fixed = [](const Argument &a, double &value) {
        bool ok = false;
        value = fieldToDouble(trimmed(Field{a.begin, a.end}), &ok);
        return ok;
    };
    double xValue = 0, yValue = 0;
    if ((!xCurve && !fixed(x, xValue)) || (!yCurve && !fixed(y, yValue))) {
        m_notes.leftOut(QStringLiteral("line %1: %2 has a coordinate driven by an expression; it "
                                       "is left out.")
                            .arg(lineAt(x.begin))
                            .arg(trackName),
                        ReaderNotes::Tracks, 1, lineAt(x.begin));
        return;
    }
    const std::vector<Key> &frames = xCurve ? xs : ys;
    int unmatched = 0;
    size_t other = 0;
    for (const Key &k : frames) {
        double xv = xCurve ? k.value : xValue, yv = yCurve ? k.value : yValue;
        if (xCurve && yCurve) {
            while (other < ys.size() && ys[other].frame < k.frame)
                ++other;
            if (other == ys.size() || ys[other].frame != k.frame) {
                ++unmatched;
                continue;
            }
            yv = ys[other].value;
        }
        m_rows.addValues(trackName, k.frame, xv, yv);
    }
    if (unmatched > 0)
        m_notes.leftOut(QStringLiteral("line %1: %2 has %3 X keys without a Y key at their frame; "
                                       "they are left out.")
                            .arg(lineAt(x.begin))
                            .arg(trackName)
                            .arg(unmatched),
                        ReaderNotes::Keys, unmatched, lineAt(x.begin));
}

// Tracker: after its settings, each track is its name, X, Y and more.
void ScriptReader::trackerNode(const QString &node, const std::vector<Argument> &args)
{
    for (size_t i = 0; i + 2 < args.size() && !m_rows.failed(); ++i) {
        if (args[i].kind != Argument::Text || args[i + 1].kind == Argument::Text ||
            args[i + 2].kind == Argument::Text)
            continue;
        track(node, QString::fromUtf8(args[i].text), args[i + 1], args[i + 2]);
        i += 2;
    }
}

// Stabilize and MatchMove: after the track type ("1 point", "4 point") come
// track1X, track1Y, two settings, track2X, track2Y, two settings, then
// track3 and track4; the tracks' names come later, each followed by the
// eight numbers of its boxes.
void ScriptReader::pointNode(const QString &node, const std::vector<Argument> &args)
{
    size_t type = 0;
    while (type < args.size() &&
           !(args[type].kind == Argument::Text && args[type].text.endsWith(" point")))
        ++type;
    if (type == args.size()) return;
    const size_t offsets[4] = {1, 5, 9, 11};
    QStringList names;
    for (size_t i = type + 13; i + 8 < args.size() + 1; ++i) {
        if (args[i].kind != Argument::Text) continue;
        bool boxes = i + 8 < args.size();
        for (size_t k = i + 1; boxes && k <= i + 8; ++k)
            boxes = args[k].kind != Argument::Text;
        if (boxes) names << QString::fromUtf8(args[i].text);
    }
    for (int t = 0; t < 4 && !m_rows.failed(); ++t) {
        const size_t at = type + offsets[t];
        if (at + 1 >= args.size()) break;
        const QString name = t < names.size() ? names.at(t) : QStringLiteral("track%1").arg(t + 1);
        track(node, name, args[at], args[at + 1]);
    }
}

void ScriptReader::plateSize(Field function, const char *open)
{
    // "SetDefaultWidth(1920)": a number and the ")" close by, or no size.
    const char *limit = std::min(m_end, open + 64);
    const char *close = std::find(open + 1, limit, ')');
    if (close == limit) return;
    bool ok = false;
    int value = 0;
    const double number = fieldToDouble(trimmed(Field{open + 1, close}), &ok);
    if (!ok || !wholeFrame(number, value) || value <= 0) return; // not a size: none stated
    (function.equals("SetDefaultWidth") ? m_width : m_height) = value;
}

const char *ScriptReader::statement(Field node, Field function, const char *open)
{
    const bool tracker = function.equals("Tracker");
    if (!tracker && !function.equals("Stabilize") && !function.equals("MatchMove")) return nullptr;
    const QString name = fieldToString(node);
    const char *close = nullptr;
    if (!splitArguments(open, m_end, m_args, close)) {
        m_rows.fail(
            QStringLiteral("the %1 node %2 is not closed.").arg(fieldToString(function), name),
            lineAt(open));
        return m_end;
    }
    ++m_nodes;
    for (Argument &a : m_args)
        classify(a);
    std::vector<Argument> args = std::move(m_args);
    if (tracker)
        trackerNode(name, args);
    else
        pointNode(name, args);
    m_args = std::move(args);
    return close + 1;
}

ReadResult ScriptReader::read()
{
    // Statements "node = Function(" at any depth; strings and comments skipped.
    Field previous{nullptr, nullptr}, last{nullptr, nullptr};
    bool assigned = false;
    const char *lastEnd = nullptr; // where the last thing read ends: a whole script at a ";"
    for (const char *p = m_begin; p < m_end && !m_rows.failed(); lastEnd = p) {
        p = skipSpace(p, m_end);
        if (p >= m_end) break;
        const char c = *p;
        if (c == '"') {
            p = skipString(p, m_end);
            last = {nullptr, nullptr};
            continue;
        }
        if (isIdentifierStart(c)) {
            const char *q = p;
            while (q < m_end && isIdentifierChar(*q))
                ++q;
            previous = assigned ? previous : last;
            last = {p, q};
            const char *open = skipSpace(q, m_end);
            if (open < m_end && *open == '(') {
                // A node read whole is not scanned again.
                const char *after =
                    assigned && previous.begin ? statement(previous, last, open) : nullptr;
                if (after) {
                    p = after;
                    assigned = false;
                    last = {nullptr, nullptr};
                    continue;
                }
                if (last.equals("SetDefaultWidth") || last.equals("SetDefaultHeight"))
                    plateSize(last, open);
            }
            assigned = false;
            p = q;
            continue;
        }
        if (c == '=' && !(p + 1 < m_end && p[1] == '=')) {
            assigned = last.begin != nullptr;
            previous = last;
        } else {
            assigned = false;
            last = {nullptr, nullptr};
        }
        ++p;
    }
    if (!m_rows.failed() && lastEnd && lastEnd > m_begin && lastEnd[-1] != ';' &&
        lastEnd[-1] != '}')
        m_rows.fail(QStringLiteral("the script ends inside a statement (no \";\" ends it): it is "
                                   "cut short."),
                    lineAt(std::min(lastEnd, m_end) - 1), ErrorKind::CutShort);
    ReadResult result = m_rows.finish(
        m_nodes == 0 ? QStringLiteral("the script has no Tracker, Stabilize or MatchMove node.")
                     : QStringLiteral("no Tracker, Stabilize or MatchMove node of the script has "
                                      "an animated track."));
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

// A tracking node assigned to a name: "X = Tracker(", "Stabilize (", "MatchMove(".
bool looksLikeScript(const QByteArray &data)
{
    for (const char *function : {"Tracker", "Stabilize", "MatchMove"}) {
        const QByteArray word(function);
        for (qsizetype at = data.indexOf(word); at >= 0; at = data.indexOf(word, at + 1)) {
            qsizetype before = at - 1;
            while (before >= 0 && isBlank(data.at(before)))
                --before;
            qsizetype after = at + word.size();
            while (after < data.size() && isBlank(data.at(after)))
                ++after;
            if (before >= 0 && data.at(before) == '=' && after < data.size() &&
                data.at(after) == '(')
                return true;
        }
    }
    return false;
}

} // namespace

Formats shakeScriptFormats()
{
    Format f;
    f.id = "shake-script";
    f.name = "Shake Script";
    f.importFilter = f.treeExportFilter = "Shake Script File (*.shk)";
    f.read = readScript;
    f.sniff = looksLikeScript;
    f.source = SourceRule::Flip;
    f.target = TargetRule::Flip;
    f.statesPlate = true;
    // Shake writes a curve's keys on one line: a long track makes a long line.
    f.maxLineLength = qsizetype(16) << 20;
    return {f};
}

} // namespace corvane
