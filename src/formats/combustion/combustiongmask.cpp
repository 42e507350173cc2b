// SPDX-License-Identifier: Apache-2.0
// Combustion GMask shapes (.GMask): a node database in which every shape is
// an axis node and a polygon-mask geometry node; each vertex's position is
// keyed in "Channel Spline/Vertex_N/position/x" and ".../y" channels, with
// coordinates from the plate's centre.
#include "combustiongmask.h"

#include "formats/kit/byteappender.h"
#include "formats/kit/rowcollector.h"
#include "formats/kit/shapes.h"
#include "table/namerule.h"
#include "table/numbers.h"

#include <QHash>

#include <algorithm>
#include <charconv>
#include <cstring>

namespace corvane {

namespace {

QByteArrayView view(Field f)
{
    return QByteArrayView(f.begin, f.end - f.begin);
}

enum class PositionAxis { None, X, Y };

// Whether a channel line ends in "/position/x" or "/position/y": told by
// its last character first, as most channels end otherwise.
PositionAxis positionAxisOf(Field text)
{
    constexpr qsizetype length = 11; // "/position/x"
    if (text.end - text.begin < length) return PositionAxis::None;
    const char axis = text.end[-1];
    if ((axis != 'x' && axis != 'y') || std::memcmp(text.end - length, "/position/", 10) != 0)
        return PositionAxis::None;
    return axis == 'x' ? PositionAxis::X : PositionAxis::Y;
}

// The trimmed line's first word is word.
bool startsWithWord(Field text, const char *word)
{
    const qsizetype length = qsizetype(std::strlen(word));
    return text.end - text.begin >= length && std::memcmp(text.begin, word, size_t(length)) == 0 &&
           (text.end - text.begin == length || text.begin[length] == ' ' ||
            text.begin[length] == '\t' || text.begin[length] == '\v' || text.begin[length] == '\f');
}

// The first two words of a trimmed line; how many there are (up to two).
int firstWords(Field text, Field &first, Field &second)
{
    auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; };
    if (text.isEmpty()) return 0;
    const char *p = std::find_if(text.begin, text.end, isBlank);
    first = {text.begin, p};
    p = std::find_if_not(p, text.end, isBlank);
    if (p == text.end) return 1;
    second = {p, std::find_if(p, text.end, isBlank)};
    return 2;
}

// "S07_": the shape's part of its vertices' track names.
QString shapePart(int shape)
{
    if (shape < 0) return QStringLiteral("S%1_").arg(shape, 2, 10, QLatin1Char('0'));
    char text[16] = "S0";
    char *p = std::to_chars(text + (shape < 10 ? 2 : 1), text + 14, shape).ptr;
    *p++ = '_';
    return QString::fromLatin1(text, p - text);
}

// The vertex tracks of the shapes read: each channel's vertex by its name
// within its shape (a shape's vertices are known only within its node).
// Most shapes have a few vertices, looked up in a row; a shape of many
// has a table of them.
class Vertices
{
public:
    void startShape(int shape)
    {
        m_part = shapePart(shape);
        m_shapeFirst = m_names.size();
        m_ids.clear();
        m_current = -1;
        m_started = true;
    }
    // The track of the channel path's vertex part ("Vertex_3"); made once
    // per vertex, however many channels it has.
    int idOf(Field raw)
    {
        if (m_current >= 0 && view(raw) == QByteArrayView(m_lastRaw)) return m_current;
        keep(m_lastRaw, raw);
        const QString name = m_part + ruledPart(raw);
        m_current = find(name);
        if (m_current < 0) {
            m_current = int(m_names.size());
            m_names.push_back(name);
            if (!m_ids.isEmpty() || m_names.size() - m_shapeFirst > manyVertices) index();
        }
        return m_current;
    }
    const QString &name(int id) const { return m_names[size_t(id)]; }
    void startShapeIfNone()
    {
        if (!m_started) startShape(0);
    }

private:
    static constexpr size_t manyVertices = 16;

    // raw's bytes into kept, in its room when it has enough.
    static void keep(QByteArray &kept, Field raw)
    {
        kept.resize(raw.end - raw.begin);
        std::memcpy(kept.data(), raw.begin, size_t(raw.end - raw.begin));
    }

    // The vertex part through the name rule: the same for most shapes'
    // vertices, so the last one is kept.
    const QString &ruledPart(Field raw)
    {
        if (!m_anyRuled || view(raw) != QByteArrayView(m_ruledRaw)) {
            keep(m_ruledRaw, raw);
            m_ruled = applyNameRule(fieldToString(raw));
            m_anyRuled = true;
        }
        return m_ruled;
    }
    int find(const QString &name) const
    {
        if (!m_ids.isEmpty()) return m_ids.value(name, -1);
        for (size_t id = m_shapeFirst; id < m_names.size(); ++id)
            if (m_names[id] == name) return int(id);
        return -1;
    }
    // The shape's vertices so far into its table (the newest last).
    void index()
    {
        if (m_ids.isEmpty())
            for (size_t id = m_shapeFirst; id < m_names.size(); ++id)
                m_ids.insert(m_names[id], int(id));
        else
            m_ids.insert(m_names.back(), int(m_names.size()) - 1);
    }

    bool m_started = false, m_anyRuled = false;
    int m_current = -1;
    size_t m_shapeFirst = 0;
    QString m_part, m_ruled;
    QByteArray m_lastRaw, m_ruledRaw;
    QHash<QString, int> m_ids; // of the shape at hand, when it has many vertices
    std::vector<QString> m_names;
};

// Where a Y key's row is: the row the vertex's X key of that frame made.
// Y channels follow their X channels, so the last X channel's keys are
// tried first; a table of every X key is made only for a file that
// needs it.
class XRows
{
public:
    void startChannel(int vertex, bool x)
    {
        if (x) {
            m_xVertex = vertex;
            m_xFirst = m_rowVertex.size();
        }
        m_yKeys = 0;
        m_yVertex = x ? -1 : vertex;
    }
    void addX(int vertex, int frame)
    {
        if (m_indexed) m_index.insert(key(vertex, frame), int(m_rowVertex.size()));
        m_rowVertex.push_back(vertex);
        m_hasY.push_back(false);
    }
    // The row of the Y key, or -1.
    int rowOfY(int frame, const std::vector<int> &frames)
    {
        const size_t guess = m_xFirst + m_yKeys++;
        int row = -1;
        if (m_yVertex == m_xVertex && guess < m_rowVertex.size() &&
            m_rowVertex[guess] == m_yVertex && frames[guess] == frame && !laterTwin(guess, frames))
            row = int(guess);
        else
            row = lookUp(m_yVertex, frame, frames);
        if (row >= 0) m_hasY[size_t(row)] = true;
        return row;
    }
    // The first row whose X key has no Y key, or -1.
    int firstWithoutY() const
    {
        auto it = std::find(m_hasY.begin(), m_hasY.end(), false);
        return it == m_hasY.end() ? -1 : int(it - m_hasY.begin());
    }

private:
    static qint64 key(int vertex, int frame) { return (qint64(vertex) << 32) | quint32(frame); }
    // Of two X keys of one vertex and frame the later holds the Y.
    bool laterTwin(size_t row, const std::vector<int> &frames) const
    {
        return row + 1 < m_rowVertex.size() && m_rowVertex[row + 1] == m_rowVertex[row] &&
               frames[row + 1] == frames[row];
    }
    int lookUp(int vertex, int frame, const std::vector<int> &frames)
    {
        if (!m_indexed) {
            m_indexed = true;
            m_index.reserve(qsizetype(m_rowVertex.size()));
            for (size_t r = 0; r < m_rowVertex.size(); ++r)
                m_index.insert(key(m_rowVertex[r], frames[r]), int(r));
        }
        return m_index.value(key(vertex, frame), -1);
    }

    std::vector<int> m_rowVertex; // per row read
    std::vector<bool> m_hasY;
    size_t m_xFirst = 0, m_yKeys = 0;
    int m_xVertex = -1, m_yVertex = -1;
    bool m_indexed = false;
    QHash<qint64, int> m_index;
};

// The file's blocks, each closed by an "End" line: the header ("Module"),
// every node, a node's channels and their keys; the node database runs from
// "ConcreteFileVersion" to "ConcreteEnd", a node's specifics sit in braces.
// A block left open where the file ends tells that it was cut. One left open
// when another of its kind starts is taken as closed: geometry nodes are
// written without their "End".
class Blocks
{
public:
    // text: the line from its first non-blank character.
    void see(Field text, int number)
    {
        switch (*text.begin) {
        case '{':
            if (m_braces++ == 0) m_brace = number;
            break;
        case '}':
            m_channel = m_key = 0;
            if (m_braces > 0 && --m_braces == 0) m_brace = 0;
            break;
        case 'E':
            if (startsWithWord(text, "End")) end();
            break;
        case 'K':
            if (startsWithWord(text, "Key")) m_key = number;
            break;
        case 'C':
            if (startsWithWord(text, "Channel")) {
                m_channel = number;
                m_key = 0;
            } else if (startsWithWord(text, "ConcreteFileVersion")) {
                m_database = number;
            } else if (startsWithWord(text, "ConcreteEnd")) {
                *this = Blocks();
            }
            break;
        case 'N':
            if (startsWithWord(text, "Node")) {
                closeNode();
                m_node = number;
            }
            break;
        case 'M':
            if (startsWithWord(text, "Module")) m_module = number;
            break;
        default:
            break;
        }
    }
    // The error of a file that ends inside a block; empty when none.
    QString unclosed() const
    {
        const auto inside = [](const char *what, int line) {
            return QStringLiteral("the file ends inside the %1 of line %2: it is cut short.")
                .arg(QLatin1String(what))
                .arg(line);
        };
        if (m_key) return inside("key", m_key);
        if (m_channel) return inside("channel", m_channel);
        if (m_node) return inside("node", m_node);
        if (m_braces) return inside("braces", m_brace);
        if (m_database) return inside("node database", m_database);
        if (m_module) return inside("header", m_module);
        return {};
    }

private:
    void end()
    {
        if (m_key)
            m_key = 0;
        else if (m_channel)
            m_channel = 0;
        else if (m_node)
            closeNode();
        else
            m_module = 0;
    }
    void closeNode()
    {
        m_node = m_channel = m_key = m_brace = 0;
        m_braces = 0;
    }

    // The lines that opened the blocks still open, 0 for none.
    int m_module = 0, m_database = 0, m_node = 0, m_channel = 0, m_key = 0, m_brace = 0;
    long long m_braces = 0;
};

} // namespace

ReadResult readCombustionGMask(const QByteArray &data, const QString &fileName)
{
    return readLinesOf<readCombustionGMaskLines>(data, fileName);
}

ReadResult readCombustionGMaskLines(LineSource &scanner, const QString &)
{
    RowCollector rows;
    Field line, first{}, second{};
    int width = 0, height = 0, shape = 0, frame = 0, vertex = -1;
    enum class Axis { None, X, Y } axis = Axis::None;
    bool haveFrame = false;
    double value = 0;
    Vertices vertices;
    XRows xRows;
    Blocks blocks;
    while (!rows.failed() && scanner.next(line)) {
        // Only lines of these words matter; the rest are passed at a glance,
        // by their first letters, before the line is trimmed.
        const char *start = line.begin;
        while (start < line.end && (*start == '\t' || *start == ' '))
            ++start;
        if (start == line.end) continue;
        blocks.see({start, line.end}, scanner.number());
        if (line.end - start < 4) continue;
        const char c0 = start[0], c1 = start[1];
        const bool channel = c0 == 'C' && c1 == 'h';
        const bool node = c0 == 'N' && c1 == 'o';
        const bool frameLine = c0 == 'F' && c1 == 'r';
        // A key's lines count only inside a vertex's channel and after its
        // frame; outside one, of the "Fr" lines only the plate's size does.
        const bool keyLine = axis != Axis::None && haveFrame &&
                             ((c0 == 'V' && c1 == 'a') || (c0 == 'I' && c1 == 'n'));
        const bool plateLine =
            frameLine && line.end - start > 5 && (start[5] == 'W' || start[5] == 'H');
        if (!channel && !node && !keyLine && !(frameLine && (axis != Axis::None || plateLine)))
            continue;
        if (node) {
            if (QByteArrayView(start, line.end - start).startsWith("Node Geom"))
                vertices.startShape(++shape);
            continue;
        }
        const Field text = trimmed({start, line.end});
        if (channel) {
            if (!startsWithWord(text, "Channel")) continue;
            axis = Axis::None;
            haveFrame = false;
            // "Channel Spline/Vertex_3/position/x": the vertex part of the
            // path, its number filled. Other channels are passed.
            const PositionAxis position = positionAxisOf(text);
            if (position == PositionAxis::None) continue;
            const bool x = position == PositionAxis::X;
            if (firstWords(text, first, second) < 2 || second.end != text.end) continue;
            const QByteArrayView path = view(second);
            const qsizetype slash = path.indexOf('/');
            const qsizetype next = slash < 0 ? -1 : path.indexOf('/', slash + 1);
            // The vertex part is a word of its own before "/position/x".
            const qsizetype suffix = path.size() - qsizetype(std::strlen("/position/x"));
            if (next < 0 || next > suffix || next == slash + 1) continue;
            axis = x ? Axis::X : Axis::Y;
            vertices.startShapeIfNone();
            vertex = vertices.idOf({second.begin + slash + 1, second.begin + next});
            xRows.startChannel(vertex, axis == Axis::X);
            continue;
        }
        const int words = firstWords(text, first, second);
        const int number = scanner.number();
        if (frameLine && first.equals("FrameWidth") && words == 2) {
            width = fieldToInt(second);
        } else if (frameLine && first.equals("FrameHeight") && words == 2) {
            height = fieldToInt(second);
        } else if (axis == Axis::None) {
            continue;
        } else if (first.equals("Frame") && words == 2) {
            if (!rows.frame(second, number, frame)) break;
            haveFrame = true;
        } else if (first.equals("Value") && words == 2 && haveFrame) {
            if (!rows.coordinate(second, axis == Axis::X ? "X" : "Y", number, value)) break;
        } else if (first.equals("Interpolation") && haveFrame) {
            if (axis == Axis::X) {
                xRows.addX(vertex, frame);
                rows.addValues(vertices.name(vertex), frame, value, 0);
            } else if (const int row = xRows.rowOfY(frame, rows.set().frames); row >= 0) {
                rows.set().y[size_t(row)] = value;
            } else {
                rows.fail(QStringLiteral("%1 has a Y key at frame %2 but no X key.")
                              .arg(vertices.name(vertex))
                              .arg(frame),
                          number);
            }
            haveFrame = false;
        }
    }
    if (const QString cut = blocks.unclosed();
        !cut.isEmpty() && !rows.failed() && scanner.error().isEmpty())
        rows.fail(cut, scanner.number(), ErrorKind::CutShort);
    if (const int row = rows.failed() ? -1 : xRows.firstWithoutY(); row >= 0)
        rows.fail(QStringLiteral("%1 has an X key at frame %2 but no Y key.")
                      .arg(rows.set().names.at(row))
                      .arg(rows.set().frames[size_t(row)]),
                  0);
    ReadResult result = rows.finish();
    result.set.plateWidth = width;
    result.set.plateHeight = height;
    return result;
}

bool looksLikeCombustionGMask(const QByteArray &data)
{
    return data.contains("Module GMask") ||
           (data.contains("Node Geom") && data.contains("Spline/Vertex_"));
}

namespace {

void shapeNodes(ByteAppender &out, int k, int vertices, bool open)
{
    char n[24];
    const qsizetype nLength = std::to_chars(n, n + sizeof n, k).ptr - n;
    out << "Node Axis\n\tName axis";
    out.append(n, nLength);
    out << "\n\tNumber 2\n\tChild 3\n\tMotionPath no\n\tPosX 0\n\tPosY "
           "0\n\tSpecifics\n\t{ \n\t\tChannel position/x\n\t\t\tValue 0\n\t\t\tSize 1\n\t\t\tKey "
           "0\n\t\t\tFrame 1\n\t\t\t\tValue 0\n\t\t\t\tInterpolation linear\n\t\t\t\tEnd "
           "\n\t\t\tEnd "
           "\n\t\tChannel position/y\n\t\t\tValue 0\n\t\t\tSize 1\n\t\t\tKey 0\n\t\t\t\tFrame "
           "1\n\t\t\t\tValue 0\n\t\t\t\tInterpolation linear\n\t\t\t\tEnd \n\t\t\tEnd "
           "\n\t\tChannelEnd "
           "\n\t\tGlobal no\n\t} \nEnd\n";
    out << "Node Geom\n\tName Polygon_Mask_(+)(";
    out.append(n, nLength);
    out << ")\n\tNumber 3\n\tMotionPath yes\n\tPosX "
           "0\n\tPosY 0\n\tSpecifics \n\t{ \n\t\tType POLYLINE\n\t\tInterpolation BEZIER\n\t\t"
           "Closed ";
    // An open spline: its last vertex does not join its first.
    if (open)
        out << "no";
    else
        out << "yes";
    out << "\n\t\tOutside no\n\t\tConstant no\n\t\tShapeAnimation no\n\t\tLinearInterpolation "
           "yes\n\t\tRoiOutside no\n\t\tBorders yes\n\t\tPickers no\n\t\tCleanUp no\n\t\t"
           "CleanUpEffect 70\n\t\tTracerFlag no\n\t\tExtraTangentFlag no\n\t\tVertices ";
    out.appendInt(vertices);
    out << "\n\t\tChannel offset/x\n\t\t\tEnd \n\t\tChannel offset/y\n\t\t\tEnd \n\t\tChannel "
           "border_offset\n\t\t\tEnd \n\t\tChannel border_alpha\n\t\t\tEnd \n\t\tChannel "
           "color\n\t\t\tValue 100\n\t\t\tSize 1\n\t\t\tKey 0\n\t\t\t\tFrame 1\n\t\t\t\tValue "
           "100\n\t\t\t\tInterpolation linear\n\t\t\t\tEnd \n\t\t\tEnd \n\t\tChannel "
           "ROI_color\n\t\t\tEnd \n\t\tChannel opacity\n\t\t\tValue 100\n\t\t\tSize 1\n\t\t\tKey "
           "0\n\t\t\t\tFrame 1\n\t\t\t\tValue 100\n\t\t\t\tInterpolation linear\n\t\t\t\tEnd "
           "\n\t\t\tEnd \n\t\tChannel ROI_opacity\n\t\t\tEnd \n";
}

// A vertex's number as its channels' paths give it.
struct VertexNumber
{
    char text[24];
    qsizetype length;
};

void channel(ByteAppender &out, const VertexNumber &vertex, char axis, double value, int size,
             int key, int frame)
{
    // The value's text is made once for its two places; the second takes
    // at most a fixed text's length of it.
    char text[MaxDecimal6Length];
    const qsizetype length = formatDecimal6(text, value);
    out << "\t\tChannel Spline/Vertex_";
    out.append(vertex.text, vertex.length);
    out << "/position/";
    out << axis;
    out << "\n\t\t\tValue ";
    out.append(text, length);
    out << "\n\t\t\tSize ";
    out.appendInt(size);
    out << "\n\t\t\tKey ";
    out.appendInt(key);
    out << "\n\t\t\t\tFrame ";
    out.appendInt(frame);
    out << "\n\t\t\t\tValue ";
    out.append(text, std::min<qsizetype>(length, MaxFixed6Length));
    out << "\n\t\t\t\tInterpolation linear\n\t\t\t\tEnd \n\t\t\tEnd \n";
}

// A run of rows of one vertex track, in export order; its shape's prefix
// and whether its name makes the shape open, found once.
struct Run
{
    ExportRow first;
    int begin, length;
    int prefixLength;
    bool open;

    QStringView prefix() const { return QStringView(first.name).left(prefixLength); }
};

// The runs of one name, shape rows only; pointRows counts the others.
std::vector<Run> shapeRuns(WriteContext &ctx, int &pointRows)
{
    std::vector<Run> runs;
    for (int k = 0; k < ctx.exportRowCount(); ++k) {
        ExportRow r = ctx.exportRow(k);
        if (!isShapeTrack(r.name)) {
            ++pointRows;
            continue;
        }
        if (!runs.empty() && runs.back().first.name == r.name &&
            runs.back().begin + runs.back().length == k) {
            ++runs.back().length;
            continue;
        }
        const qsizetype underscore = r.name.indexOf(QLatin1Char('_'));
        const int prefixLength = int(underscore < 0 ? r.name.size() : underscore);
        const bool open = isOpenShapeTrack(r.name);
        runs.push_back({std::move(r), k, 1, prefixLength, open});
    }
    return runs;
}

// A vertex's "active" channel, then X and Y of each of its rows.
void vertexChannels(ByteAppender &out, WriteContext &ctx, const Run &run, int vertex, int halfWidth,
                    int halfHeight)
{
    VertexNumber v;
    v.length = std::to_chars(v.text, v.text + sizeof v.text, vertex).ptr - v.text;
    out << "\t\tChannel Spline/Vertex_";
    out.append(v.text, v.length);
    out << "/active\n\t\t\tValue 1\n\t\t\tSize 1\n\t\t\tKey "
           "0\n\t\t\t\tFrame 1\n\t\t\t\tValue 1\n\t\t\t\tInterpolation constant\n\t\t\t\tEnd "
           "\n\t\t\tEnd \n";
    if (run.length == 1) { // the run's own row: no other row to look up
        channel(out, v, 'x', run.first.x() - halfWidth, 1, 0, run.first.frame);
        channel(out, v, 'y', run.first.y() - halfHeight, 1, 0, run.first.frame);
        return;
    }
    for (int key = 0; key < run.length; ++key) {
        ExportRow r = ctx.exportRow(run.begin + key);
        channel(out, v, 'x', r.x() - halfWidth, run.length, key, r.frame);
        channel(out, v, 'y', r.y() - halfHeight, run.length, key, r.frame);
    }
}

// Rows are walked in export order: a shape's nodes at its first row, a
// vertex's "active" channel at its first row, then X and Y of every row,
// each key in a channel of its own.
void header(WriteContext &ctx)
{
    ctx.write(
        "Module GMask\nProgram combustion\nVersion 2008.0.0.330\nFileVersion 1.3\nFrameWidth ");
    ctx.writeInt(ctx.windowWidth);
    ctx.write("\nFrameHeight ");
    ctx.writeInt(ctx.windowHeight);
    ctx.write("\nFrameAspectRatio 1.3333\nRoiOn no\nEnd \n\n# \n# node database \n# \n"
              "ConcreteFileVersion 1.1\n");

    int pointRows = 0;
    const std::vector<Run> runs = shapeRuns(ctx, pointRows);
    const int halfWidth = ctx.windowWidth / 2, halfHeight = ctx.windowHeight / 2;
    int shape = 0, vertex = 0;
    for (size_t i = 0; i < runs.size(); ++i) {
        if (!ctx.mayFlush(double(i) / double(runs.size()))) return;
        ByteAppender out(ctx.out()); // done before the next flush
        if (i == 0 || runs[i].prefix() != runs[i - 1].prefix()) {
            int vertices = 0;
            bool open = false;
            for (size_t j = i; j < runs.size() && runs[j].prefix() == runs[i].prefix(); ++j) {
                ++vertices;
                open = open || runs[j].open;
            }
            shapeNodes(out, ++shape, vertices, open);
            vertex = 0;
        }
        vertexChannels(out, ctx, runs[i], ++vertex, halfWidth, halfHeight);
    }
    noteShapeSave(ctx, pointRows, 0);
}

void footer(WriteContext &ctx)
{
    ctx.write("\nEnd \nConcreteEnd\t\n");
}

} // namespace

const WriterSteps combustionGMaskWriter{header, nullptr, footer};

} // namespace corvane
