// SPDX-License-Identifier: Apache-2.0
// The .uv files of mmSolver, Maya's matchmove solver: 2D tracks
// normalised to the plate, (0, 0) its lower-left corner and (1, 1) its
// upper-right one, with a weight per frame. Version 1 is text: the number
// of points, then per point its name, its number of frames and a line
// "frame u v weight" per frame. Versions 2 to 5 are JSON: "points", each
// with a "name" and "per_frame" entries of a "frame", the position on the
// plate as tracked ("pos_dist", from version 3; "pos" in version 2), the
// position without lens distortion ("pos") and a "weight". Written as
// version 4, the plate as the camera's resolution.
#include "formats/families.h"
#include "formats/kit/rowcollector.h"
#include "formats/kit/scripttext.h"
#include "table/namerule.h"
#include "table/numbers.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace corvane {

namespace {

int lineAtOffset(const QByteArray &data, qsizetype offset)
{
    return int(QByteArrayView(data.constData(), std::min(offset, data.size())).count('\n')) + 1;
}

// Weights: 0 is a frame the solver leaves out (the key is not read);
// other weights than 1 are not held by the table.
struct Weights
{
    int zero = 0, other = 0;
    void into(ReaderNotes &notes) const
    {
        if (zero)
            notes.leftOut(QStringLiteral("%1 keys of weight 0 (frames the solver leaves out) "
                                         "were left out.")
                              .arg(zero),
                          ReaderNotes::Keys, zero);
        if (other)
            notes.add(QStringLiteral("%1 keys have weights other than 1: Corvane keeps their "
                                     "positions, not their weights.")
                          .arg(other));
    }
};

ReadResult readVersion1(const QByteArray &data)
{
    RowCollector rows;
    LineScanner scanner(data);
    Field line;
    std::vector<Field> fields;
    Weights weights;
    auto nextLine = [&](const char *what) {
        while (scanner.next(line)) {
            splitTrimmed(line, fields);
            if (!fields.empty()) return true;
        }
        rows.fail(QStringLiteral("the file ends where %1 should follow: it is cut short.")
                      .arg(QLatin1String(what)),
                  scanner.number(), ErrorKind::CutShort);
        return false;
    };
    auto count = [&](const char *what, int &out) {
        bool ok = false;
        out = fields.size() == 1 ? fieldToInt(fields[0], &ok) : 0;
        if (!ok || out < 0)
            rows.fail(QStringLiteral("\"%1\" is not a number of %2.")
                          .arg(fieldToString(trimmed(line)), QLatin1String(what)),
                      scanner.number(), ErrorKind::BadNumber);
        return ok && out >= 0;
    };
    int points = 0;
    if (!nextLine("the number of points") || !count("points", points)) return rows.finish();
    for (int p = 0; p < points && !rows.failed(); ++p) {
        if (!nextLine("a point's name")) break;
        const QString name = applyNameRule(fieldToString(trimmed(line)));
        int frames = 0;
        if (!nextLine("the point's number of frames") || !count("frames", frames)) break;
        for (int f = 0; f < frames; ++f) {
            if (!nextLine("a frame line")) break;
            if (fields.size() != 4) {
                rows.fail(QStringLiteral("a frame line holds a frame, u, v and a weight."),
                          scanner.number());
                break;
            }
            int frame = 0;
            double u = 0, v = 0, weight = 0;
            if (!rows.frame(fields[0], scanner.number(), frame) ||
                !rows.coordinate(fields[1], "u", scanner.number(), u) ||
                !rows.coordinate(fields[2], "v", scanner.number(), v) ||
                !rows.coordinate(fields[3], "weight", scanner.number(), weight))
                break;
            if (weight == 0) {
                ++weights.zero;
                continue;
            }
            if (weight != 1) ++weights.other;
            rows.addValues(name, frame, u, v);
        }
    }
    while (!rows.failed() && scanner.next(line)) {
        splitTrimmed(line, fields);
        if (!fields.empty()) {
            rows.fail(QStringLiteral("the file goes on after its %1 points.").arg(points),
                      scanner.number());
        }
    }
    ReadResult result = rows.finish(QStringLiteral("the file holds no point with a frame."));
    ReaderNotes notes;
    weights.into(notes);
    notes.into(result);
    return result;
}

bool number(const QJsonValue &v, double &out)
{
    if (!v.isDouble()) return false;
    out = v.toDouble();
    return std::isfinite(out);
}

bool position(const QJsonValue &v, double &u, double &w)
{
    const QJsonArray a = v.toArray();
    return a.size() == 2 && number(a[0], u) && number(a[1], w);
}

ReadResult readJson(const QByteArray &data)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError)
        return ReadResult::failure(
            QStringLiteral("the file is not JSON: %1.").arg(error.errorString()),
            lineAtOffset(data, error.offset), ErrorKind::NotATrackFile);
    const QJsonObject root = doc.object();
    const int version = root.value(QLatin1String("version")).toInt();
    if (version < 2 || version > 5)
        return ReadResult::failure(
            QStringLiteral("the file is a .uv file of version %1; Corvane reads versions 1 to 5.")
                .arg(root.value(QLatin1String("version")).toVariant().toString()));
    const QJsonValue pointsValue = root.value(QLatin1String("points"));
    if (!pointsValue.isArray())
        return ReadResult::failure(QStringLiteral("the file has no list of \"points\"."));
    const QJsonArray points = pointsValue.toArray();
    const QJsonValue promised = root.value(QLatin1String("num_points"));
    RowCollector rows;
    Weights weights;
    int undistortedDiffer = 0;
    for (qsizetype p = 0; p < points.size() && !rows.failed(); ++p) {
        const QJsonObject point = points[p].toObject();
        const QString name = applyNameRule(point.value(QLatin1String("name")).toString());
        const QJsonValue perFrame = point.value(QLatin1String("per_frame"));
        if (name.isEmpty() || !perFrame.isArray()) {
            rows.fail(QStringLiteral("point %1 has no name or no \"per_frame\" list.").arg(p + 1),
                      0);
            break;
        }
        const QJsonArray keys = perFrame.toArray();
        for (const QJsonValue &keyValue : keys) {
            const QJsonObject key = keyValue.toObject();
            double frame = 0, u = 0, v = 0, weight = 1, uu = 0, uv = 0;
            const bool hasDist = key.contains(QLatin1String("pos_dist"));
            const QJsonValue pos = key.value(QLatin1String(hasDist ? "pos_dist" : "pos"));
            int whole = 0;
            if (!number(key.value(QLatin1String("frame")), frame) || !wholeFrame(frame, whole) ||
                !position(pos, u, v) ||
                (key.contains(QLatin1String("weight")) &&
                 !number(key.value(QLatin1String("weight")), weight))) {
                rows.fail(QStringLiteral("a frame of point \"%1\" lacks a whole frame number, a "
                                         "position [u, v] or a numeric weight.")
                              .arg(name),
                          0, ErrorKind::BadNumber);
                break;
            }
            if (hasDist && position(key.value(QLatin1String("pos")), uu, uv) &&
                (uu != u || uv != v))
                ++undistortedDiffer;
            if (weight == 0) {
                ++weights.zero;
                continue;
            }
            if (weight != 1) ++weights.other;
            rows.addValues(name, whole, u, v);
        }
    }
    if (!rows.failed() && promised.isDouble() && promised.toInt() != points.size())
        rows.cutShort(QStringLiteral("the file promises %1 points and holds %2.")
                          .arg(promised.toInt())
                          .arg(points.size()));
    ReadResult result = rows.finish(QStringLiteral("the file holds no point with a frame."));
    if (!result.ok()) return result;
    const QJsonArray resolution =
        root.value(QLatin1String("camera")).toObject().value(QLatin1String("resolution")).toArray();
    if (resolution.size() == 2 && resolution[0].toInt() > 0 && resolution[1].toInt() > 0) {
        result.set.plateWidth = resolution[0].toInt();
        result.set.plateHeight = resolution[1].toInt();
    }
    ReaderNotes notes;
    weights.into(notes);
    if (undistortedDiffer)
        notes.add(QStringLiteral("%1 keys were read where they are on the plate (\"pos_dist\"); "
                                 "their positions without lens distortion (\"pos\") were not.")
                      .arg(undistortedDiffer));
    notes.into(result);
    return result;
}

ReadResult readUvTrack(const QByteArray &data, const QString &)
{
    const QByteArray start = data.left(64).trimmed();
    return start.startsWith('{') ? readJson(data) : readVersion1(data);
}

bool looksLikeUvTrack(const QByteArray &data)
{
    const QByteArray head = headLines(data, 64 * 1024);
    const QByteArray start = head.left(256).trimmed();
    if (start.startsWith('{'))
        return head.contains("\"per_frame\"") && head.contains("\"points\"") &&
               head.contains("\"version\"");
    // Version 1: a count, a name, a count and a line of four numbers.
    LineScanner scanner(head);
    Field line;
    std::vector<Field> fields;
    std::vector<std::vector<Field>> lines;
    while (lines.size() < 4 && scanner.next(line)) {
        splitTrimmed(line, fields);
        if (!fields.empty()) lines.push_back(fields);
    }
    bool ok =
        lines.size() == 4 && lines[0].size() == 1 && lines[2].size() == 1 && lines[3].size() == 4;
    if (ok) {
        bool a = false, b = false;
        fieldToInt(lines[0][0], &a);
        fieldToInt(lines[2][0], &b);
        ok = a && b;
        for (const Field &f : lines[3])
            if (ok) fieldToDouble(f, &ok);
    }
    return ok;
}

void writeUvTrack(WriteContext &ctx)
{
    const std::vector<TrackRun> runs = trackRuns(ctx);
    ctx.write("{\n    \"version\": 4,\n    \"num_points\": ");
    ctx.writeInt(qsizetype(runs.size()));
    ctx.write(",\n    \"is_undistorted\": null,\n    \"points\": [");
    const double total = std::max(1, ctx.exportRowCount());
    for (size_t p = 0; p < runs.size(); ++p) {
        const TrackRun &run = runs[p];
        QByteArray &out = ctx.out();
        out +=
            p == 0 ? "\n        {\n            \"name\": " : ",\n        {\n            \"name\": ";
        appendQuoted(out, run.name, Literal::JavaScript);
        out += ",\n            \"id\": ";
        appendInt(out, qsizetype(p) + 1);
        out += ",\n            \"set_name\": \"markerSet\",\n            \"per_frame\": [";
        for (int i = 0; i < run.count; ++i) {
            const ExportRow row = ctx.exportRow(run.first + i);
            char pos[2 * MaxFixedExactLength + 8];
            int length = 0;
            pos[length++] = '[';
            length += formatFixedExact(pos + length, row.x());
            pos[length++] = ',';
            length += formatFixedExact(pos + length, row.y());
            pos[length++] = ']';
            QByteArray &keys = ctx.out();
            keys += i == 0 ? "\n                {\"frame\":" : ",\n                {\"frame\":";
            appendInt(keys, row.frame);
            keys += ",\"pos_dist\":";
            keys.append(pos, length);
            keys += ",\"pos\":";
            keys.append(pos, length);
            keys += ",\"weight\":1.0}";
            if ((i & 4095) == 4095 && !ctx.mayFlush((run.first + i) / total)) return;
        }
        ctx.write("\n            ],\n            \"3d\": {\"x\": null, \"y\": null, \"z\": null, "
                  "\"x_lock\": null, \"y_lock\": null, \"z_lock\": null}\n        }");
    }
    ctx.write("\n    ],\n    \"camera\": {\n        \"resolution\": [");
    ctx.writeInt(ctx.windowWidth);
    ctx.write(", ");
    ctx.writeInt(ctx.windowHeight);
    ctx.write("],\n        \"film_back_cm\": null,\n        \"lens_center_offset_cm\": null,\n"
              "        \"per_frame\": []\n    }\n}\n");
    if (!runs.empty())
        ctx.note(QStringLiteral("the .uv file holds each position twice, as tracked and without "
                                "lens distortion (\"pos\"): both are the table's, as Corvane "
                                "knows no lens."));
}

const WriterSteps writer{writeUvTrack, nullptr, nullptr};

} // namespace

Formats uvTrackFormats()
{
    Format f;
    f.id = "uvtrack";
    f.name = "mmSolver UV Track";
    f.importFilter = f.treeExportFilter = "mmSolver UV Track File (*.uv)";
    f.read = readUvTrack;
    f.sniff = looksLikeUvTrack;
    f.writer = &writer;
    f.source = SourceRule::AfterEffectsMask; // 0..1 from the lower-left
    f.target = TargetRule::AfterEffectsMask;
    f.statesPlate = true;
    return {f};
}

} // namespace corvane
