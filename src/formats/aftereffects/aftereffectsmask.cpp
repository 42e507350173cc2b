// SPDX-License-Identifier: Apache-2.0
// After Effects mask shapes in the layout of the mocha shape effect: per
// shape a "Shape data" parameter whose lines are "frame XSpline(Point(x,y,…)
// Point(…)…)", then the effect's other parameters.
#include "aftereffectsmask.h"
#include "formats/kit/byteappender.h"

#include "formats/kit/shapereading.h"
#include "formats/kit/shapes.h"
#include "table/numbers.h"

#include <algorithm>
#include <charconv>

namespace corvane {

namespace {

QByteArrayView view(Field f)
{
    return QByteArrayView(f.begin, f.end - f.begin);
}

// The points of a key line: each "Point(x,y,…)" gives its first two numbers.
bool readPoints(Field line, int number, RowCollector &rows,
                std::vector<std::pair<double, double>> &out)
{
    out.clear();
    const QByteArrayView text = view(line);
    for (qsizetype at = text.indexOf("Point("); at >= 0; at = text.indexOf("Point(", at + 6)) {
        const char *p = line.begin + at + 6;
        const char *comma = std::find(p, line.end, ',');
        const char *second = comma < line.end ? std::find(comma + 1, line.end, ',') : line.end;
        const char *close = std::find(comma < line.end ? comma + 1 : line.end, line.end, ')');
        if (close < second) second = close;
        double x = 0, y = 0;
        if (!rows.coordinate(trimmed({p, comma}), "X", number, x) ||
            !rows.coordinate(trimmed({comma < line.end ? comma + 1 : line.end, second}), "Y",
                             number, y))
            return false;
        out.push_back({x, y});
    }
    return true;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n';
}

// The first and the last word of a trimmed line.
Field firstWord(Field text)
{
    return {text.begin, std::find_if(text.begin, text.end, isBlank)};
}

Field lastWord(Field text)
{
    const char *p = text.end;
    while (p > text.begin && !isBlank(p[-1]))
        --p;
    return {p, text.end};
}

} // namespace

ReadResult readAfterEffectsMask(const QByteArray &data, const QString &fileName)
{
    return readLinesOf<readAfterEffectsMaskLines>(data, fileName);
}

ReadResult readAfterEffectsMaskLines(LineSource &scanner, const QString &)
{
    RowCollector rows;
    Field line;
    std::vector<ShapePoint> points;
    std::vector<std::pair<double, double>> keyPoints;
    int width = 0, height = 0, shape = -1, key = 0;
    bool inShapeData = false;
    bool ended = false; // the last line read closes the data
    while (!rows.failed() && scanner.next(line)) {
        const Field text = trimmed(line);
        if (text.isEmpty()) continue;
        const bool indented = *line.begin == ' ' || *line.begin == '\t';
        ended = !indented && text.contains("End of Keyframe Data");
        if (ended) continue;
        const QByteArrayView view(line.begin, line.end - line.begin);
        // A key line of a shape's data: "frame XSpline(Point(…)…)".
        if (indented && inShapeData && (line.contains("XSpline") || line.contains("Bezier"))) {
            const Field first = firstWord(text);
            int frame = 0;
            if (!rows.frame(first, scanner.number(), frame) ||
                !readPoints(line, scanner.number(), rows, keyPoints))
                break;
            ++key;
            for (size_t v = 0; v < keyPoints.size(); ++v)
                points.push_back(
                    {shape, int(v) + 1, key, frame, keyPoints[v].first, keyPoints[v].second});
        } else if (line.contains("Source Width")) {
            width = fieldToInt(lastWord(text));
        } else if (line.contains("Source Height")) {
            height = fieldToInt(lastWord(text));
        } else if (!indented) {
            // A parameter of an effect: only "Shape data" holds points.
            inShapeData = line.contains("Shape data");
            if (inShapeData) {
                const qsizetype hash = view.indexOf('#');
                Field number{hash < 0 ? line.end : line.begin + hash + 1, line.end};
                const char *end = number.begin;
                while (end < number.end && *end >= '0' && *end <= '9')
                    ++end;
                bool ok = false;
                shape = fieldToInt({number.begin, end}, &ok);
                if (!ok) {
                    rows.fail(QStringLiteral("the shape data names no shape number."),
                              scanner.number());
                    break;
                }
            }
        }
    }
    if (!rows.failed() && !ended && !points.empty())
        rows.fail(QStringLiteral("the file ends before \"End of Keyframe Data\": it is cut "
                                 "short."),
                  scanner.number(), ErrorKind::CutShort);
    if (!rows.failed()) addShapePoints(points, rows, shapeVertexName);
    ReadResult result = rows.finish();
    result.set.plateWidth = width;
    result.set.plateHeight = height;
    return result;
}

bool looksLikeAfterEffectsMask(const QByteArray &data)
{
    return data.contains("Keyframe Data") && data.contains("Shape data");
}

namespace {

// A shape's number as it heads each of its parameters, made once.
struct ShapeNumber
{
    explicit ShapeNumber(int k) : length(std::to_chars(text, text + sizeof text, k).ptr - text) {}
    char text[24];
    qsizetype length;
};

// One parameter of a shape's effect: its name, then what follows it (the
// texts are literals, so that their lengths are known where they are copied).
template <size_t N, size_t M>
void parameter(ByteAppender &text, const ShapeNumber &k, const char (&name)[N],
               const char (&rest)[M])
{
    text << "Effects\tmocha shape #";
    text.append(k.text, k.length);
    text << '\t';
    text << name;
    text << rest;
}

// Shape s's "Shape data" keys and the effect's other parameters.
void appendShape(ByteAppender &text, const SortedShapes &sorted, size_t s, const QByteArray &w,
                 const QByteArray &h)
{
    const ShapeNumber k(int(s) + 1);
    parameter(text, k, "Shape data", "\n\tFrame\n");
    for (size_t key = sorted.keyStarts[s]; key < sorted.keyStarts[s + 1]; ++key) {
        text << '\t';
        text.appendInt(sorted.keyFrames[key]);
        text << "\tXSpline(";
        appendKeyPoints(text, sorted, key, "Point(", ",", ",0,0.5,0)");
        text << ")\n";
    }
    text << '\n';
    parameter(text, k, "Translation X", "\n\tFrame\n\t0\t0\n\n");
    parameter(text, k, "Translation Y", "\n\tFrame\n\t0\t0\n\n");
    parameter(text, k, "Shear X", "\n\tFrame\n\t0\t0\n\n");
    parameter(text, k, "Shear Y", "\n\tFrame\n\t0\t1\n\n");
    parameter(text, k, "Perspective X", "\n\tFrame\n\t0\t0\n\n");
    parameter(text, k, "Perspective Y", "\n\tFrame\n\t0\t0\n\n");
    if (s == 0)
        parameter(text, k, "Blend mode", "\n\tFrame\n\t\t3\n\n");
    else
        parameter(text, k, "Blend mode", "\n\tFrame\n\t\t1\n\n");
    parameter(text, k, "Invert", "\n\tFrame\n\t\t0\n\n");
    parameter(text, k, "Opacity", "\n\tFrame\n\t\t100\n\n");
    parameter(text, k, "Layer name", "\n\tFrame\n\t\tShape ");
    text.append(k.text, k.length);
    text << "\n\n";
    parameter(text, k, "Film-back width", "\n\tFrame\n\t\t");
    text << w;
    text << "\n\n";
    parameter(text, k, "Film-back height", "\n\tFrame\n\t\t");
    text << h;
    text << "\n\n";
}

void header(WriteContext &ctx)
{
    const SortedShapes sorted = sortShapeRows(collectShapeRows(ctx));
    QByteArray w, h;
    appendInt(w, ctx.windowWidth);
    appendInt(h, ctx.windowHeight);
    const QByteArray aspect = general6(ctx.pixelAspect).toLatin1();
    QByteArray &out = ctx.out();
    out += "Adobe After Effects 8.0 Keyframe Data\n\n\tUnits Per Second\t24\n\tSource Width\t" + w +
           "\n\tSource Height\t" + h + "\n\tSource Pixel Aspect Ratio\t" + aspect +
           "\n\tComp Pixel Aspect Ratio\t" + aspect + "\n\n\n";
    for (size_t s = 0; s < sorted.shapeCount(); ++s) {
        if (!ctx.mayFlush(double(s) / double(sorted.shapeCount()))) return;
        ByteAppender text(out); // done before the next flush
        appendShape(text, sorted, s, w, h);
    }
    noteShapeSave(ctx, sorted.pointRows, sorted.repeatedRows);
    noteOpenShapesClosed(
        ctx, sorted.openPrefixes,
        QStringLiteral("After Effects mocha shape data holds closed shapes only."));
}

void footer(WriteContext &ctx)
{
    ctx.write("End of Keyframe Data\n");
}

} // namespace

const WriterSteps afterEffectsMaskWriter{header, nullptr, footer};

} // namespace corvane
