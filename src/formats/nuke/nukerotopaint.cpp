// SPDX-License-Identifier: Apache-2.0
// Nuke RotoPaint shapes in a Nuke script (.nk). A shape node ("NodeType: 3")
// holds a curve group whose first cubic curve is the shape (the second is
// its feather). The curve's line lists its control points, three per vertex
// (a tangent, the vertex, the other tangent), each as "0", an X and a Y
// animation curve, and "0". An animation curve is keyed, "L", its head, its
// key count and that many keys ("" frame value and six numbers more), then
// its value; or compact, "S", a flag, the frame when the flag is 1, and the
// value.
#include "nukerotopaint.h"

#include "formats/kit/byteappender.h"
#include "nukecurvetree.h"

#include "formats/kit/rowcollector.h"
#include "formats/kit/shapereading.h"
#include "formats/kit/shapes.h"
#include "table/numbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include <cstring>
#include <map>

namespace corvane {

namespace {

bool startsWith(Field f, const char *word)
{
    const size_t n = qstrlen(word);
    return size_t(f.end - f.begin) >= n && std::memcmp(f.begin, word, n) == 0;
}

struct Key
{
    int frame;
    double value;
};

class CurveReader
{
public:
    // Reads the curves of this line from its start.
    void start(Field line)
    {
        splitFields(line, m_tokens);
        m_pos = 0;
    }

    // The next animation curve's keys; false where the line breaks the grammar.
    bool curve(std::vector<Key> &keys)
    {
        keys.clear();
        while (m_pos < m_tokens.size() && !m_tokens[m_pos].equals("L") &&
               !m_tokens[m_pos].equals("S"))
            ++m_pos;
        if (m_pos >= m_tokens.size()) return false;
        return m_tokens[m_pos++].equals("L") ? keyed(keys) : compact(keys);
    }

private:
    bool number(size_t at, double &out) const
    {
        bool ok = false;
        out = at < m_tokens.size() ? fieldToDouble(m_tokens[at], &ok) : 0;
        return ok;
    }

    bool frame(size_t at, int &out) const
    {
        double value = 0;
        return number(at, value) && wholeFrame(value, out);
    }

    // The head up to its empty expression, one number, the key count, the keys, the value.
    bool keyed(std::vector<Key> &keys)
    {
        size_t quote = m_pos;
        while (quote < m_tokens.size() && quote < m_pos + 12 && !m_tokens[quote].equals("\"\""))
            ++quote;
        double count = 0;
        if (quote >= m_tokens.size() || !number(quote + 2, count) || !(count >= 0)) return false;
        m_pos = quote + 3;
        // Each key takes nine tokens: a count the line cannot hold is broken.
        if (count > double(m_tokens.size() - std::min(m_pos, m_tokens.size())) / 9) return false;
        const qint64 keyCount = qint64(count);
        keys.reserve(size_t(keyCount));
        for (qint64 k = 0; k < keyCount; ++k, m_pos += 9) {
            Key key{};
            if (m_pos + 9 > m_tokens.size() || !m_tokens[m_pos].equals("\"\"") ||
                !frame(m_pos + 1, key.frame) || !number(m_pos + 2, key.value))
                return false;
            keys.push_back(key);
        }
        ++m_pos; // the curve's value
        return true;
    }

    bool compact(std::vector<Key> &keys)
    {
        double flag = 0;
        if (!number(m_pos, flag) || !(std::abs(flag) <= 1e9)) return false;
        Key key{1, 0};
        if (qint64(flag) & 1) {
            if (!frame(m_pos + 1, key.frame)) return false;
            ++m_pos;
        }
        if (!number(m_pos + 1, key.value)) return false;
        m_pos += 2;
        keys.push_back(key);
        return true;
    }

    std::vector<Field> m_tokens;
    size_t m_pos = 0;
};

} // namespace

namespace {

// What one pass over the lines finds besides the older layout's shapes:
// the plate (the first "format" knob; the script's Root comes first) and
// whether the script holds curve trees, which are read from the whole text.
struct ScriptFacts
{
    int width = 0, height = 0;
    bool plate = false;
    bool treeStart = false, curveGroup = false;

    void see(Field text)
    {
        if (!plate && startsWith(text, "format \"")) readPlate(text);
        if (treeStart && curveGroup) return;
        // Both marks start with a brace: most lines are passed by one search.
        const char *brace =
            static_cast<const char *>(std::memchr(text.begin, '{', size_t(text.end - text.begin)));
        if (!brace) return;
        const Field rest{brace, text.end};
        treeStart = treeStart || rest.contains("{{v ");
        curveGroup = curveGroup || rest.contains("{curvegroup ") || rest.contains("{cubiccurve ");
    }
    void readPlate(Field text)
    {
        std::vector<Field> fields;
        splitTrimmed({text.begin + 8, text.end}, fields);
        if (fields.size() < 2) return;
        width = fieldToInt(fields[0]);
        height = fieldToInt(fields[1]);
        plate = true;
    }
};

// One vertex's keys as a curve line gives them.
struct VertexCurves
{
    std::vector<Key> x, y;
};

// The rows of one vertex: X and Y are keyed together; a Y without a key
// there keeps its last value, and of two Y keys of one frame the later counts.
void addVertexRows(RowCollector &rows, const QString &name, const std::vector<Key> &xs,
                   std::vector<Key> &ys)
{
    const double lastY = ys.empty() ? 0 : ys.back().value;
    std::stable_sort(ys.begin(), ys.end(),
                     [](const Key &a, const Key &b) { return a.frame < b.frame; });
    for (const Key &x : xs) {
        auto after = std::upper_bound(ys.begin(), ys.end(), x.frame,
                                      [](int frame, const Key &key) { return frame < key.frame; });
        const bool keyed = after != ys.begin() && (after - 1)->frame == x.frame;
        rows.addValues(name, x.frame, x.value, keyed ? (after - 1)->value : lastY);
    }
}

// The shapes of the layout Nuke wrote before version 7 (AnimTree).
void readAnimTrees(LineSource &scanner, RowCollector &rows, ReaderNotes &notes, int &shape,
                   ScriptFacts &facts)
{
    Field line;
    std::vector<Field> fields;
    int points = 0;
    bool wantShapeCurve = false, curveLineNext = false;
    QByteArray node;
    std::vector<VertexCurves> vertices; // kept from shape to shape, with their keys' room
    std::vector<Key> x, y;
    CurveReader reader;
    ScriptBraces braces;
    while (!rows.failed() && scanner.next(line)) {
        braces.see(line, scanner.number());
        Field text = trimmed(line);
        facts.see(text);
        if (curveLineNext) {
            curveLineNext = false;
            reader.start(text);
            size_t count = 0;
            bool ok = true;
            for (int p = 0; ok && p < points; ++p) {
                ok = reader.curve(x) && reader.curve(y);
                if (!ok || p % 3 != 1) continue;
                if (count == vertices.size()) vertices.emplace_back();
                std::swap(vertices[count].x, x);
                std::swap(vertices[count].y, y);
                ++count;
            }
            if (!ok) {
                notes.leftOut(
                    QStringLiteral("line %1: the shape \"%2\" has a curve Corvane cannot "
                                   "read; it was left out.")
                        .arg(scanner.number())
                        .arg(fieldToString({node.constData(), node.constData() + node.size()})),
                    ReaderNotes::Shapes, 1, scanner.number());
                continue;
            }
            for (size_t v = 0; v < count; ++v)
                addVertexRows(rows, shapeVertexName(shape, int(v) + 1), vertices[v].x,
                              vertices[v].y);
        } else if (startsWith(text, "NodeName:")) {
            const char *q = std::find(text.begin, text.end, '"');
            const char *e = q < text.end ? std::find(q + 1, text.end, '"') : text.end;
            // Kept as bytes: it is made a name only for a note.
            node.resize(0);
            if (q < text.end) node.append(q + 1, e - (q + 1));
        } else if (startsWith(text, "NodeType: 3")) {
            ++shape;
            wantShapeCurve = true;
        } else if (startsWith(text, "NumOfPoints:") && wantShapeCurve) {
            splitTrimmed(text, fields);
            bool ok = false;
            points = fields.size() >= 2 ? fieldToInt(fields[1], &ok) : 0;
            curveLineNext = ok && points >= 0;
            wantShapeCurve = false; // the second curve is the feather
        }
    }
    if (!rows.failed() && scanner.error().isEmpty() && !braces.unclosed().isEmpty())
        rows.fail(braces.unclosed(), scanner.number(), ErrorKind::CutShort);
}

} // namespace

namespace {

// Why a script gave no rows: what its roto nodes hold, and what the notes
// said of it.
QString nothingReadMessage(const ScriptFacts &facts, const CurveTreeContents &contents,
                           const ReaderNotes &notes)
{
    if (contents.shapes + contents.strokes > 0) {
        auto counted = [](int n, const char *one, const char *many) {
            return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
        };
        QString text = QStringLiteral("the roto nodes of the file hold %1 and %2, and none of them "
                                      "gives a keyed point")
                           .arg(counted(contents.shapes, "shape", "shapes"),
                                counted(contents.strokes, "paint stroke", "paint strokes"));
        const QStringList said = notes.list();
        if (!said.isEmpty()) text += QStringLiteral(": ") + said.first();
        return text.endsWith(QLatin1Char('.')) ? text : text + QLatin1Char('.');
    }
    if (facts.treeStart)
        return QStringLiteral("the roto nodes of the file hold no shape and no paint stroke.");
    return QStringLiteral("no node of the file holds a roto shape (Roto, RotoPaint, SplineWarp): "
                          "it is not a Nuke RotoPaint file.");
}

} // namespace

ReadResult readNukeRotoPaint(const QByteArray &data, const QString &fileName)
{
    return readLinesOf<readNukeRotoPaintLines>(data, fileName);
}

ReadResult readNukeRotoPaintLines(LineSource &lines, const QString &)
{
    RowCollector rows;
    ReaderNotes notes;
    ScriptFacts facts;
    int shape = 0;
    readAnimTrees(lines, rows, notes, shape, facts);
    CurveTreeContents contents;
    if (!rows.failed() && facts.treeStart && facts.curveGroup) {
        const QByteArray text = lines.whole();
        if (!lines.error().isEmpty())
            return ReadResult::failure(lines.error(), 0, ErrorKind::NotATrackFile);
        contents = readCurveTrees(text, rows, notes, shape);
    }
    ReadResult result = rows.finish(nothingReadMessage(facts, contents, notes));
    result.set.plateWidth = facts.width;
    result.set.plateHeight = facts.height;
    notes.into(result);
    return result;
}

bool looksLikeNukeRotoPaint(const QByteArray &data)
{
    return (data.contains("AnimTree") && data.contains("NodeType: 3")) || hasCurveTrees(data);
}

namespace {

// The draws of a process that never seeds its generator (glibc's random()
// from seed 1), so every save draws the same colours.
class UnseededRandom
{
public:
    UnseededRandom()
    {
        m_r[0] = 1;
        for (int i = 1; i < 31; ++i) {
            long long v = (16807LL * m_r[i - 1]) % 2147483647;
            m_r[i] = qint32(v < 0 ? v + 2147483647 : v);
        }
        for (int i = 31; i < 34; ++i)
            m_r[i] = m_r[i - 31];
        m_n = 34;
        for (int i = 0; i < 310; ++i)
            step();
    }
    // A whole number from low to high, as low + draw mod (high - low + 1).
    int bounded(int low, int high) { return low + int(step() % quint32(high - low + 1)); }

private:
    quint32 step()
    {
        quint32 v = quint32(m_r[(m_n - 31) % 344]) + quint32(m_r[(m_n - 3) % 344]);
        m_r[m_n % 344] = qint32(v);
        ++m_n;
        return v >> 1;
    }
    qint32 m_r[344] = {};
    int m_n = 0;
};

// A colour channel (a hundredth from 0 to 1) as "%g" writes it: made
// once for each of the 101 values, not per shape.
void appendColour(ByteAppender &out, float v)
{
    static const std::vector<QByteArray> texts = [] {
        std::vector<QByteArray> t;
        for (int i = 0; i <= 100; ++i)
            t.push_back(QByteArray::number(double(float(i) / 100.0f), 'g', 6));
        return t;
    }();
    const int hundredths = int(std::lround(double(v) * 100));
    if (hundredths >= 0 && hundredths <= 100 && float(hundredths) / 100.0f == v)
        out << texts[size_t(hundredths)];
    else
        out << QByteArray::number(double(v), 'g', 6);
}

// One shape's keys gathered per vertex (a vertex's keys in frame order),
// in buffers kept from shape to shape.
class VertexKeys
{
public:
    void gather(const SortedShapes &sorted, size_t shape)
    {
        const size_t vertices = size_t(sorted.vertexCounts[shape]);
        const size_t firstPoint = sorted.pointStarts[sorted.keyStarts[shape]];
        const size_t endPoint = sorted.pointStarts[sorted.keyStarts[shape + 1]];
        m_starts.assign(vertices + 1, 0);
        for (size_t p = firstPoint; p < endPoint; ++p)
            ++m_starts[size_t(sorted.pointVertices[p]) + 1];
        for (size_t v = 0; v < vertices; ++v)
            m_starts[v + 1] += m_starts[v];
        m_frames.resize(endPoint - firstPoint);
        m_x.resize(m_frames.size());
        m_y.resize(m_frames.size());
        m_fill.assign(m_starts.begin(), m_starts.end() - 1);
        for (size_t k = sorted.keyStarts[shape]; k < sorted.keyStarts[shape + 1]; ++k)
            for (size_t p = sorted.pointStarts[k]; p < sorted.pointStarts[k + 1]; ++p) {
                const size_t at = m_fill[size_t(sorted.pointVertices[p])]++;
                m_frames[at] = sorted.keyFrames[k];
                m_x[at] = sorted.pointX[p];
                m_y[at] = sorted.pointY[p];
            }
    }
    size_t vertexCount() const { return m_starts.size() - 1; }
    size_t begin(size_t vertex) const { return m_starts[vertex]; }
    size_t end(size_t vertex) const { return m_starts[vertex + 1]; }
    int frame(size_t key) const { return m_frames[key]; }
    const std::vector<double> &x() const { return m_x; }
    const std::vector<double> &y() const { return m_y; }

private:
    std::vector<size_t> m_starts, m_fill;
    std::vector<int> m_frames;
    std::vector<double> m_x, m_y;
};

const char head[] = "L 0 4096 0.5 2 0 0 \"\" 0 ";

// One keyed animation curve of a vertex: its head, keys and value (six
// decimals); a tangent's curves (values null) hold zeros.
void appendCurve(ByteAppender &out, const VertexKeys &keys, size_t vertex,
                 const std::vector<double> *values)
{
    const size_t begin = keys.begin(vertex), end = keys.end(vertex);
    out << head;
    out.appendInt(qint64(end - begin));
    out << ' ';
    for (size_t k = begin; k < end; ++k) {
        out << "\"\" ";
        out.appendInt(keys.frame(k));
        out << ' ';
        if (values)
            out.appendFixed6((*values)[k]);
        else
            out << "0.000";
        out << " 0 0 0 0 256 0 ";
    }
    if (values && end > begin)
        out.appendFixed6((*values)[begin]);
    else
        out << "0.000";
}

// Each vertex's tangent curve (its keys, every value zero), made once a
// shape: ten of a vertex's twelve curves are this text.
class TangentCurves
{
public:
    void make(const VertexKeys &keys)
    {
        m_text.resize(0);
        m_ends.clear();
        for (size_t v = 0; v < keys.vertexCount(); ++v) {
            {
                ByteAppender text(m_text);
                appendCurve(text, keys, v, nullptr);
            }
            m_ends.push_back(m_text.size());
        }
    }
    void append(ByteAppender &out, size_t vertex) const
    {
        const qsizetype begin = vertex == 0 ? 0 : m_ends[vertex - 1];
        out.append(m_text.constData() + begin, m_ends[vertex] - begin);
    }

private:
    QByteArray m_text;
    std::vector<qsizetype> m_ends;
};

// A control point: "0", its X and Y curves, "0".
void appendPoint(ByteAppender &out, const VertexKeys &keys, const TangentCurves &tangents,
                 size_t vertex, bool position)
{
    out << " 0 ";
    if (position)
        appendCurve(out, keys, vertex, &keys.x());
    else
        tangents.append(out, vertex);
    out << ' ';
    if (position)
        appendCurve(out, keys, vertex, &keys.y());
    else
        tangents.append(out, vertex);
    out << " 0";
}

void appendCurveLine(ByteAppender &out, const VertexKeys &keys, const TangentCurves &tangents,
                     bool feather)
{
    out << "      ";
    for (size_t v = 0; v < keys.vertexCount(); ++v) {
        appendPoint(out, keys, tangents, v, false);
        appendPoint(out, keys, tangents, v, !feather);
        appendPoint(out, keys, tangents, v, false);
    }
    out << ' ';
}

void header(WriteContext &ctx)
{
    const SortedShapes sorted = sortShapeRows(collectShapeRows(ctx));
    QByteArray &out = ctx.out();
    QByteArray w, h;
    appendInt(w, ctx.windowWidth);
    appendInt(h, ctx.windowHeight);
    out += "RotoPaint { \nformat \"" + w + ' ' + h + " 0 0 " + w + ' ' + h +
           " 1\"\n curves {AnimTree: \"\" {\n Version: 1.1\n RootNode: 1\n Node: {\n"
           "  NodeName: \"Root\" {\n   NodeType: 1\n   NumOfAttributes: 10\n"
           "   \"vis\" S 0 1 \"opc\" S 0 1 \"mbo\" S 0 1 \"mb\" S 0 1 \"mbs\" S 0 0.5 \"fo\" S 0 1 "
           "\"fx\" S 0 0 \"fy\" S 0 0 \"ff\" S 0 1 \"ft\" S 0 0\n  }\n  NumOfChildren: ";
    appendInt(out, qint64(sorted.shapeCount()));
    out += '\n';
    UnseededRandom random;
    VertexKeys vertices;
    TangentCurves tangents;
    for (size_t s = 0; s < sorted.shapeCount(); ++s) {
        if (!ctx.mayFlush(double(s) / double(sorted.shapeCount()))) return;
        vertices.gather(sorted, s);
        tangents.make(vertices);
        char points[24];
        const int pointsLength = int(
            std::to_chars(points, points + sizeof points, 3 * qint64(vertices.vertexCount())).ptr -
            points);
        ByteAppender text(out); // done before the next flush
        text << "   Node: {\n    NodeName: \"Shape_";
        text.appendInt(qint64(s) + 1);
        text << "\" {\n     NodeType: 3\n     CurveGroup: \"\" {\n      Flag: 0\n"
                "      NumOfCubicCurves: 2\n      CubicCurve: \"\" {\n       Type: 0 Dim: 2\n"
                "       NumOfPoints: ";
        text.append(points, pointsLength);
        text << '\n';
        appendCurveLine(text, vertices, tangents, false);
        text << "\n      }\n      CubicCurve: \"\" {\n       Type: 0 Dim: 2\n       NumOfPoints: ";
        text.append(points, pointsLength);
        text << '\n';
        appendCurveLine(text, vertices, tangents, true);
        const float g = float(random.bounded(0, 100)) / 100.0f;
        const float r = float(random.bounded(0, 100)) / 100.0f;
        text << "\n      }      \n      NumOfAttributes: 27\n      \"vis\" S 0 1 \"r\" S ";
        appendColour(text, r);
        text << " 1 \"g\" S 0 ";
        appendColour(text, g);
        text << " \"b\" S 0 1 \"a\" S 0 1 \"ro\" S 0 0 \"go\" S 0 0 \"bo\" S 0 0 \"ao\" S 0 1 "
                "\"opc\" S 0 1 \"bm\" S 0 5 \"inv\" S 0 0 \"mbo\" S 0 0 \"mb\" S 0 1 \"mbs\" S 0 "
                "0.5 \"mbsot\" S 0 0 \"mbso\" S 0 0 \"fo\" S 0 1 \"fx\" S 0 0 \"fy\" S 0 0 \"ff\" "
                "S 0 1 \"ft\" S 0 0 \"nv\" S 0 1 \"view1\" S 0 1 \"ltn\" S 0 1 \"ltm\" S 0 1 "
                "\"ltt\" S 0 0\n     }\n    }\n    NumOfChildren: 0\n   }\n";
    }
    noteShapeSave(ctx, sorted.pointRows, sorted.repeatedRows);
    // The RotoPaint layout written (AnimTree 1.1) has Beziers, no open splines.
    noteOpenShapesClosed(ctx, sorted.openPrefixes,
                         QStringLiteral("Nuke RotoPaint shapes are written as closed Beziers."));
}

void footer(WriteContext &ctx)
{
    ctx.write("}\n   }\n   }\n   }\n");
}

} // namespace

const WriterSteps nukeRotoPaintWriter{header, nullptr, footer};

} // namespace corvane
