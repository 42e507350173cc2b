// SPDX-License-Identifier: Apache-2.0
// Combustion GMask shapes (.GMask): a node database in which every shape is
// an axis node and a polygon-mask geometry node; each vertex's position is
// keyed in "Channel Spline/Vertex_N/position/x" and ".../y" channels, with
// coordinates from the plate's centre.
#include "combustiongmask.h"

#include "namerule.h"
#include "rowcollector.h"
#include "shapes.h"
#include "table/numbers.h"

#include <QHash>

#include <algorithm>
#include <cstring>

namespace corvane {

namespace {

QByteArrayView view(Field f)
{
    return QByteArrayView(f.begin, f.end - f.begin);
}

bool endsWith(Field f, const char *text)
{
    return view(f).endsWith(QByteArrayView(text));
}

} // namespace

ReadResult readCombustionGMask(const QByteArray &data, const QString &)
{
    RowCollector rows;
    LineScanner scanner(data);
    Field line;
    std::vector<Field> fields;
    int width = 0, height = 0, shape = 0, frame = 0;
    enum class Axis { None, X, Y } axis = Axis::None;
    bool haveFrame = false;
    double value = 0;
    QString vertex;
    int vertexId = 0;
    QHash<QString, int> vertexIds;
    QHash<qint64, int> rowOf; // vertex and frame: the row its X made
    auto keyOf = [](int id, int f) { return (qint64(id) << 32) | quint32(f); };
    rowOf.reserve(
        qsizetype(std::min<qint64>(data.size() / 256, 1 << 22))); // grown once, not step by step
    std::vector<bool> hasY;
    while (!rows.failed() && scanner.next(line)) {
        Field text = trimmed(line);
        splitTrimmed(text, fields);
        if (fields.empty()) continue;
        const QByteArrayView v = view(text);
        const int number = scanner.number();
        if (v.contains("FrameWidth") && fields.size() >= 2) {
            width = fieldToInt(fields[1]);
        } else if (v.contains("FrameHeight") && fields.size() >= 2) {
            height = fieldToInt(fields[1]);
        } else if (v.startsWith("Node Geom")) {
            ++shape;
        } else if (fields[0].equals("Channel")) {
            axis = Axis::None;
            haveFrame = false;
            if (fields.size() >= 2 &&
                (endsWith(text, "/position/x") || endsWith(text, "/position/y"))) {
                axis = endsWith(text, "/position/x") ? Axis::X : Axis::Y;
                // "Spline/Vertex_3/position/x": the vertex part, its number filled.
                const QByteArrayView path = view(fields[1]);
                const qsizetype first = path.indexOf('/');
                const qsizetype second = path.indexOf('/', first + 1);
                vertex = QStringLiteral("S%1_").arg(shape, 2, 10, QLatin1Char('0')) +
                         applyNameRule(fieldToString(
                             {fields[1].begin + first + 1, fields[1].begin + second}));
                // Keys are matched by number, not by text made per key.
                vertexId = vertexIds.insert(vertex, vertexIds.value(vertex, int(vertexIds.size())))
                               .value();
            }
        } else if (axis == Axis::None) {
            continue;
        } else if (fields[0].equals("Frame") && fields.size() >= 2) {
            if (!rows.frame(fields[1], number, frame)) break;
            haveFrame = true;
        } else if (fields[0].equals("Value") && fields.size() >= 2 && haveFrame) {
            if (!rows.coordinate(fields[1], axis == Axis::X ? "X" : "Y", number, value)) break;
        } else if (fields[0].equals("Interpolation") && haveFrame) {
            const qint64 key = keyOf(vertexId, frame);
            if (axis == Axis::X) {
                rowOf.insert(key, rows.count());
                rows.addValues(vertex, frame, value, 0);
                hasY.push_back(false);
            } else if (auto it = rowOf.constFind(key); it != rowOf.cend()) {
                rows.set().y[size_t(it.value())] = value;
                hasY[size_t(it.value())] = true;
            } else {
                rows.fail(QStringLiteral("%1 has a Y key at frame %2 but no X key.")
                              .arg(vertex)
                              .arg(frame),
                          number);
            }
            haveFrame = false;
        }
    }
    for (size_t i = 0; i < hasY.size() && !rows.failed(); ++i)
        if (!hasY[i])
            rows.fail(QStringLiteral("%1 has an X key at frame %2 but no Y key.")
                          .arg(rows.set().names.at(qsizetype(i)))
                          .arg(rows.set().frames[i]),
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

void shapeNodes(WriteContext &ctx, int k, int vertices)
{
    QByteArray n;
    appendInt(n, k);
    QByteArray &out = ctx.out();
    out +=
        "Node Axis\n\tName axis" + n +
        "\n\tNumber 2\n\tChild 3\n\tMotionPath no\n\tPosX 0\n\tPosY "
        "0\n\tSpecifics\n\t{ \n\t\tChannel position/x\n\t\t\tValue 0\n\t\t\tSize 1\n\t\t\tKey "
        "0\n\t\t\tFrame 1\n\t\t\t\tValue 0\n\t\t\t\tInterpolation linear\n\t\t\t\tEnd \n\t\t\tEnd "
        "\n\t\tChannel position/y\n\t\t\tValue 0\n\t\t\tSize 1\n\t\t\tKey 0\n\t\t\t\tFrame "
        "1\n\t\t\t\tValue 0\n\t\t\t\tInterpolation linear\n\t\t\t\tEnd \n\t\t\tEnd "
        "\n\t\tChannelEnd "
        "\n\t\tGlobal no\n\t} \nEnd\n";
    out +=
        "Node Geom\n\tName Polygon_Mask_(+)(" + n +
        ")\n\tNumber 3\n\tMotionPath yes\n\tPosX "
        "0\n\tPosY 0\n\tSpecifics \n\t{ \n\t\tType POLYLINE\n\t\tInterpolation BEZIER\n\t\tClosed "
        "yes\n\t\tOutside no\n\t\tConstant no\n\t\tShapeAnimation no\n\t\tLinearInterpolation "
        "yes\n\t\tRoiOutside no\n\t\tBorders yes\n\t\tPickers no\n\t\tCleanUp no\n\t\t"
        "CleanUpEffect 70\n\t\tTracerFlag no\n\t\tExtraTangentFlag no\n\t\tVertices ";
    appendInt(out, vertices);
    out += "\n\t\tChannel offset/x\n\t\t\tEnd \n\t\tChannel offset/y\n\t\t\tEnd \n\t\tChannel "
           "border_offset\n\t\t\tEnd \n\t\tChannel border_alpha\n\t\t\tEnd \n\t\tChannel "
           "color\n\t\t\tValue 100\n\t\t\tSize 1\n\t\t\tKey 0\n\t\t\t\tFrame 1\n\t\t\t\tValue "
           "100\n\t\t\t\tInterpolation linear\n\t\t\t\tEnd \n\t\t\tEnd \n\t\tChannel "
           "ROI_color\n\t\t\tEnd \n\t\tChannel opacity\n\t\t\tValue 100\n\t\t\tSize 1\n\t\t\tKey "
           "0\n\t\t\t\tFrame 1\n\t\t\t\tValue 100\n\t\t\t\tInterpolation linear\n\t\t\t\tEnd "
           "\n\t\t\tEnd \n\t\tChannel ROI_opacity\n\t\t\tEnd \n";
}

void channel(QByteArray &out, const QByteArray &vertex, char axis, double value, int size, int key,
             int frame)
{
    // Appended piece by piece (this runs twice a row); the value's text is
    // written once and copied for its second place.
    out += "\t\tChannel Spline/Vertex_";
    out += vertex;
    out += "/position/";
    out += axis;
    out += "\n\t\t\tValue ";
    const qsizetype start = out.size();
    appendDecimal6(out, value);
    char text[MaxFixed6Length + 1];
    const qsizetype length = std::min<qsizetype>(out.size() - start, MaxFixed6Length);
    std::memcpy(text, out.constData() + start, size_t(length));
    out += "\n\t\t\tSize ";
    appendInt(out, size);
    out += "\n\t\t\tKey ";
    appendInt(out, key);
    out += "\n\t\t\t\tFrame ";
    appendInt(out, frame);
    out += "\n\t\t\t\tValue ";
    out.append(text, length);
    out += "\n\t\t\t\tInterpolation linear\n\t\t\t\tEnd \n\t\t\tEnd \n";
}

// Rows are walked in export order: a shape's nodes at its first row, a
struct Run
{
    ExportRow first;
    int begin, length;
};

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

    // The runs of one name, shape rows only.
    std::vector<Run> runs;
    int pointRows = 0;
    for (int k = 0; k < ctx.exportRowCount(); ++k) {
        ExportRow r = ctx.exportRow(k);
        if (!isShapeTrack(r.name)) {
            ++pointRows;
            continue;
        }
        if (!runs.empty() && runs.back().first.name == r.name &&
            runs.back().begin + runs.back().length == k)
            ++runs.back().length;
        else
            runs.push_back({r, k, 1});
    }
    const int halfWidth = ctx.windowWidth / 2, halfHeight = ctx.windowHeight / 2;
    int shape = 0, vertex = 0;
    for (size_t i = 0; i < runs.size(); ++i) {
        ctx.mayFlush();
        const QString prefix = shapePrefix(runs[i].first.name);
        if (i == 0 || prefix != shapePrefix(runs[i - 1].first.name)) {
            int vertices = 0;
            for (size_t j = i; j < runs.size() && shapePrefix(runs[j].first.name) == prefix; ++j)
                ++vertices;
            shapeNodes(ctx, ++shape, vertices);
            vertex = 0;
        }
        QByteArray v;
        appendInt(v, ++vertex);
        QByteArray &out = ctx.out();
        out += "\t\tChannel Spline/Vertex_" + v +
               "/active\n\t\t\tValue 1\n\t\t\tSize 1\n\t\t\tKey "
               "0\n\t\t\t\tFrame 1\n\t\t\t\tValue 1\n\t\t\t\tInterpolation constant\n\t\t\t\tEnd "
               "\n\t\t\tEnd \n";
        for (int key = 0; key < runs[i].length; ++key) {
            ExportRow r = ctx.exportRow(runs[i].begin + key);
            channel(out, v, 'x', r.x() - halfWidth, runs[i].length, key, r.frame);
            channel(out, v, 'y', r.y() - halfHeight, runs[i].length, key, r.frame);
        }
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
