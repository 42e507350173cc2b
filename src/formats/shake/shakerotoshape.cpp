// SPDX-License-Identifier: Apache-2.0
// Shake RotoShape (.ssf): a header, then per shape its header lines and one
// key block per key frame ("key_time", centre, colour and "vertex_data"
// with twelve numbers per vertex: the position, its tangents and handles).
#include "shakerotoshape.h"

#include "formats/kit/byteappender.h"
#include "formats/kit/rowcollector.h"
#include "formats/kit/shapereading.h"
#include "formats/kit/shapes.h"
#include "table/numbers.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace corvane {

namespace {

bool startsWith(Field f, const char *word)
{
    const size_t n = qstrlen(word);
    return size_t(f.end - f.begin) >= n && std::memcmp(f.begin, word, n) == 0;
}

// The first word of a trimmed line is word.
bool firstWordIs(Field text, const char *word)
{
    const size_t n = qstrlen(word);
    if (!startsWith(text, word)) return false;
    if (size_t(text.end - text.begin) == n) return true;
    const char next = text.begin[n];
    return next == ' ' || (next >= '\t' && next <= '\r');
}

// A number after the first word of a line ("num_key_times 4").
bool countAfterWord(const std::vector<Field> &fields, int &count)
{
    bool ok = false;
    if (fields.size() >= 2) count = fieldToInt(fields[1], &ok);
    return ok && count >= 0;
}

} // namespace

ReadResult readShakeRotoShape(const QByteArray &data, const QString &fileName)
{
    return readLinesOf<readShakeRotoShapeLines>(data, fileName);
}

ReadResult readShakeRotoShapeLines(LineSource &scanner, const QString &)
{
    RowCollector rows;
    Field line;
    std::vector<Field> fields;
    std::vector<ShapePoint> read;
    int shape = 0, key = 0, frame = 0, keysPromised = -1;
    int keysOfShape = 0;
    bool haveFrame = false;
    auto endShape = [&] {
        if (shape > 0 && keysPromised > keysOfShape)
            rows.cutShort(QStringLiteral("shape %1 promises %2 key times, but holds %3.")
                              .arg(shape)
                              .arg(keysPromised)
                              .arg(keysOfShape));
    };
    auto split = [&fields](Field text) {
        splitFields(text, fields);
        return fields.size();
    };
    scanner.next(line); // "shake_shape_data 4.0"
    while (!rows.failed() && scanner.next(line)) {
        // Only the lines that give numbers are split into fields.
        Field text = trimmed(line);
        if (text.isEmpty()) continue;
        const int number = scanner.number();
        if (startsWith(text, "shape_name")) {
            endShape();
            ++shape;
            keysOfShape = 0;
            keysPromised = -1;
            haveFrame = false;
        } else if (startsWith(text, "num_key_times")) {
            split(text);
            countAfterWord(fields, keysPromised);
        } else if (startsWith(text, "key_time") && split(text) >= 2) {
            // "12.000000": a whole frame, written with decimals.
            bool ok = false;
            double value = fieldToDouble(fields[1], &ok);
            if (!ok || !wholeFrame(value, frame)) {
                rows.fail(QStringLiteral("the key time \"%1\" is not a whole frame.")
                              .arg(fieldToString(fields[1])),
                          number, ErrorKind::BadNumber);
                break;
            }
            haveFrame = true;
        } else if (firstWordIs(text, "vertex_data")) {
            split(text);
            if (!haveFrame || shape == 0) {
                rows.fail(QStringLiteral("vertex data comes before any key time."), number);
                break;
            }
            ++key;
            ++keysOfShape;
            // A key may list fewer vertices than the shape has: those without a
            // position at this frame.
            const int vertices = int((fields.size() - 1) / 12);
            if ((fields.size() - 1) % 12 != 0) {
                rows.fail(QStringLiteral("the vertex data holds a part of a vertex (each has 12 "
                                         "numbers): the line is cut."),
                          number, ErrorKind::CutShort);
                break;
            }
            for (int j = 0; j < vertices; ++j) {
                double x = 0, y = 0;
                if (!rows.coordinate(fields[size_t(1 + 12 * j)], "X", number, x) ||
                    !rows.coordinate(fields[size_t(2 + 12 * j)], "Y", number, y))
                    break;
                read.push_back({shape, j + 1, key, frame, x, y});
            }
        }
    }
    endShape();
    if (rows.failed()) return rows.finish();
    // Each vertex track whole, vertex after vertex, shape after shape.
    addShapePoints(read, rows, shapeVertexName);
    return rows.finish();
}

bool looksLikeShakeRotoShape(const QByteArray &data)
{
    return data.startsWith("shake_shape_data");
}

namespace {

// What every key of a save says between its time and its vertices: the
// plate's centre and the colour, made once.
QByteArray keyMiddle(int halfWidth, int halfHeight)
{
    QByteArray out = ".000000\ncenter_x ";
    appendInt(out, halfWidth);
    out += ".000000\ncenter_y ";
    appendInt(out, halfHeight);
    out += ".500000\ncolor_r 1.000000\ncolor_g 1.000000\ncolor_b 1.000000\n"
           "color_a 1.000000\nvertex_data ";
    return out;
}

void appendShape(ByteAppender &out, const SortedShapes &sorted, size_t s, const QByteArray &middle)
{
    out << "shape_name Shape";
    out.appendInt(qint64(s) + 1);
    out << "\nparent_name \nclosed 1\nvisible 1\nlocked 0\ntangents 1\nedge_shape 1\n"
           "num_vertices ";
    out.appendInt(sorted.vertexCounts[s]);
    out << "\nnum_key_times ";
    out.appendInt(qint64(sorted.keyCount(s)));
    out << '\n';
    for (size_t k = sorted.keyStarts[s]; k < sorted.keyStarts[s + 1]; ++k) {
        out << "key_time ";
        out.appendInt(sorted.keyFrames[k]);
        out << middle;
        for (size_t p = sorted.pointStarts[k]; p < sorted.pointStarts[k + 1]; ++p) {
            // The position, and five copies of it for the tangents and handles.
            char pair[2 * MaxFixed6Length + 2];
            int length = formatFixed6(pair, sorted.pointX[p]);
            pair[length++] = ' ';
            length += formatFixed6(pair + length, sorted.pointY[p]);
            pair[length++] = ' ';
            for (int copy = 0; copy < 6; ++copy)
                out.append(pair, length);
        }
        out << '\n';
    }
}

void header(WriteContext &ctx)
{
    const SortedShapes sorted = sortShapeRows(collectShapeRows(ctx));
    const QByteArray middle = keyMiddle(ctx.windowWidth / 2, ctx.windowHeight / 2);
    ctx.write("shake_shape_data 4.0\nmotion_blur 0.000000\nshutter_timing 0.000000\n"
              "shutter_offset 0.500000\nnum_shapes ");
    ctx.writeInt(qint64(sorted.shapeCount()));
    ctx.write("\n");
    for (size_t s = 0; s < sorted.shapeCount(); ++s) {
        if (!ctx.mayFlush(double(s) / double(sorted.shapeCount()))) return;
        ByteAppender text(ctx.out()); // done before the next flush
        appendShape(text, sorted, s, middle);
    }
    noteShapeSave(ctx, sorted.pointRows, sorted.repeatedRows);
    noteOpenShapesClosed(ctx, sorted.openPrefixes,
                         QStringLiteral("Shake RotoShape shapes are closed."));
}

void footer(WriteContext &ctx)
{
    ctx.write("\n");
}

} // namespace

const WriterSteps shakeRotoShapeWriter{header, nullptr, footer};

} // namespace corvane
