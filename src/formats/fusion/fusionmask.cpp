// SPDX-License-Identifier: Apache-2.0
// Fusion mask shapes (.comp): a composition whose polygon masks each hold a
// BezierSpline of key frames, "[frame] = { frame, … Value = Polyline {", with
// one "{ Linear = true, X = x, Y = y, }" point per vertex; a closed
// polyline says "Closed = true", an open one says nothing.
#include "fusionmask.h"

#include "formats/kit/byteappender.h"
#include "formats/kit/shapereading.h"
#include "formats/kit/shapes.h"
#include "table/numbers.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace corvane {

namespace {

// The number after "name =" in a point line ("X = 0.25,"), up to its comma.
Field valueOf(Field line, const char *name)
{
    const QByteArrayView view(line.begin, line.end - line.begin);
    qsizetype at = -1;
    for (qsizetype from = 0; (at = view.indexOf(QByteArrayView(name), from)) >= 0; from = at + 1)
        if (at == 0 || line.begin[at - 1] == ' ' || line.begin[at - 1] == '{' ||
            line.begin[at - 1] == ',' || line.begin[at - 1] == '\t')
            break;
    if (at < 0) return {line.end, line.end};
    const char *p = line.begin + at + qstrlen(name);
    while (p < line.end && (*p == ' ' || *p == '='))
        ++p;
    const char *end = p;
    while (end < line.end && *end != ',' && *end != ' ' && *end != '}')
        ++end;
    return {p, end};
}

// "S3_Track_0002" (an open shape's "S3_Open_0002"): the shape's number as
// it is, the vertex's filled to four digits. Made by hand, once a vertex.
QString vertexName(int shape, int vertex, bool closed)
{
    const char *word = closed ? "Track_" : openVertexWord;
    if (vertex < 0)
        return QStringLiteral("S%1_%2%3")
            .arg(shape)
            .arg(QLatin1String(word))
            .arg(vertex, 4, 10, QLatin1Char('0'));
    char text[48] = "S";
    char *p = std::to_chars(text + 1, text + 13, shape).ptr;
    *p++ = '_';
    const size_t wordLength = std::strlen(word);
    std::memcpy(p, word, wordLength);
    p += wordLength;
    char digits[12];
    const char *end = std::to_chars(digits, digits + sizeof digits, vertex).ptr;
    for (qsizetype fill = end - digits; fill < 4; ++fill)
        *p++ = '0';
    std::memcpy(p, digits, size_t(end - digits));
    return QString::fromLatin1(text, p + (end - digits) - text);
}

} // namespace

ReadResult readFusionMask(const QByteArray &data, const QString &fileName)
{
    return readLinesOf<readFusionMaskLines>(data, fileName);
}

ReadResult readFusionMaskLines(LineSource &scanner, const QString &)
{
    RowCollector rows;
    Field line;
    std::vector<ShapePoint> points;
    int shape = 0, key = 0, vertex = 0, frame = 0;
    bool inKey = false;
    std::vector<char> closed{0}; // per shape from 1: a key's polyline said "Closed = true"
    ScriptBraces braces;         // a comp ends where its braces close
    while (!rows.failed() && scanner.next(line)) {
        braces.see(line, scanner.number());
        Field text = trimmed(line);
        if (text.contains("PolylineMask")) {
            ++shape;
            closed.push_back(0);
            inKey = false;
        } else if (text.begin < text.end && *text.begin == '[' &&
                   text.contains("Value = Polyline")) {
            // "[-12] = { -12, …": the signed frame between the brackets.
            const char *close = std::find(text.begin, text.end, ']');
            if (!rows.frame({text.begin + 1, close}, scanner.number(), frame)) break;
            ++key;
            vertex = 0;
            inKey = shape > 0;
        } else if (inKey && text.contains(" X = ") && text.contains("Y = ")) {
            double x = 0, y = 0;
            if (!rows.coordinate(valueOf(text, "X ="), "X", scanner.number(), x) ||
                !rows.coordinate(valueOf(text, "Y ="), "Y", scanner.number(), y))
                break;
            points.push_back({shape, ++vertex, key, frame, x, y});
        } else if (text.contains("KeyFrames") || text.contains("= Input")) {
            inKey = false;
        }
        // Fusion writes "Closed = true" in a closed polyline, nothing in an open one.
        if (inKey && text.contains("Closed = true")) closed[size_t(shape)] = 1;
    }
    if (!rows.failed() && scanner.error().isEmpty() && !braces.unclosed().isEmpty())
        rows.fail(braces.unclosed(), scanner.number(), ErrorKind::CutShort);
    if (rows.failed()) return rows.finish();
    addShapePoints(points, rows,
                   [&closed](int s, int v) { return vertexName(s, v, closed[size_t(s)] != 0); });
    return rows.finish();
}

bool looksLikeFusionMask(const QByteArray &data)
{
    return data.contains("PolylineMask") && data.contains("Polyline {");
}

namespace {

// A polygon mask's node, up to its spline's key frames; n is its number's text.
void appendMaskNode(ByteAppender &out, int k, const char *n, qsizetype nLength)
{
    out << "Polygon";
    out.append(n, nLength);
    out << " = PolylineMask {\n\tDrawMode = \"InsertAndModify\",\n\tDrawMode2 "
           "= \"InsertAndModify\",\n\tInputs = {\n\tPaintMode = Input {\n\tValue = FuID { "
           "\"Invert\", },\n\t},\n\tInvert = Input {\n\tValue = 0,\n\t},\n\tPolyline = Input "
           "{\n\tSourceOp = \"Polygon";
    out.append(n, nLength);
    out << "Polyline\",\n\tSource = \"Value\",\n\t},\n\tPolyline";
    out.append(n, nLength);
    out << " = Input {\n\tValue = Polyline {\n\tPoints = {\n\t},\n\t},\n\tDisabled = true,\n\t},";
    if (k > 1) {
        out << "\n\tEffectMask = Input {\n\tSourceOp = \"Polygon";
        out.appendInt(k - 1);
        out << "\",\n\tSource = \"Mask\",\n\t},";
    }
    out << "\n\t},\n\tViewInfo = OperatorInfo {\n\tPos = { ";
    out.appendInt(100 + 100 * k);
    out << ", 100, },\n\t},\n\t},\n\tPolygon";
    out.append(n, nLength);
    out << "Polyline = BezierSpline {\n\tSplineColor "
           "= { 0, 0, 0, },\n\tNameSet = true,\n\tKeyFrames = {\n\t";
}

// One polygon mask: its node, then its spline of key frames.
void appendShape(ByteAppender &out, const SortedShapes &sorted, size_t s)
{
    const int k = int(s) + 1;
    char n[24];
    appendMaskNode(out, k, n, std::to_chars(n, n + sizeof n, k).ptr - n);
    for (size_t key = sorted.keyStarts[s]; key < sorted.keyStarts[s + 1]; ++key) {
        char f[24];
        const qsizetype fLength = std::to_chars(f, f + sizeof f, sorted.keyFrames[key]).ptr - f;
        out << "[";
        out.append(f, fLength);
        out << "] = { ";
        out.append(f, fLength);
        // Fusion marks a closed polyline; an open one has no "Closed".
        out << ", Flags = { LockedY = true, }, Value = Polyline {\n\t";
        if (!sorted.isOpen(s)) out << "Closed = true,\n\t";
        out << "Points = {\n\t";
        appendKeyPoints(out, sorted, key, "{ Linear = true, X = ", ", Y = ", ", },\n\t");
        out << "},\n\t},\n\t},\n\t";
    }
    out << "},\n\t},\n\t";
}

void header(WriteContext &ctx)
{
    const SortedShapes sorted = sortShapeRows(collectShapeRows(ctx));
    ctx.write(
        "Composition {\n\tCurrentTime = 0,\n\tRenderRange = { 0, 200, },\n\tGlobalRange = { 0, "
        "1000, },\n\tVersion = \"Fusion 5.21 build 26\",\n\tOutputClips = {\n\t},\n\tTools "
        "= {\n\t\n");
    for (size_t s = 0; s < sorted.shapeCount(); ++s) {
        if (!ctx.mayFlush(double(s) / double(sorted.shapeCount()))) return;
        ByteAppender text(ctx.out()); // done before the next flush
        appendShape(text, sorted, s);
    }
    noteShapeSave(ctx, sorted.pointRows, sorted.repeatedRows);
}

void footer(WriteContext &ctx)
{
    ctx.write("},\n\t}\n");
}

} // namespace

const WriterSteps fusionMaskWriter{header, nullptr, footer};

} // namespace corvane
