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
#include "uvjson.h"

#include <optional>
#include <utility>

namespace corvane {

namespace {

// Version 1 from its first line that is not blank (none: an empty file).
ReadResult readVersion1(LineSource &lines, std::optional<Field> first)
{
    RowCollector rows;
    Field line;
    std::vector<Field> fields;
    UvWeights weights;
    auto nextLine = [&](const char *what) {
        if (first) {
            line = *std::exchange(first, std::nullopt);
            splitTrimmed(line, fields);
            return true;
        }
        while (lines.next(line)) {
            splitTrimmed(line, fields);
            if (!fields.empty()) return true;
        }
        rows.fail(QStringLiteral("the file ends where %1 should follow: it is cut short.")
                      .arg(QLatin1String(what)),
                  lines.number(), ErrorKind::CutShort);
        return false;
    };
    auto count = [&](const char *what, int &out) {
        bool ok = false;
        out = fields.size() == 1 ? fieldToInt(fields[0], &ok) : 0;
        if (!ok || out < 0)
            rows.fail(QStringLiteral("\"%1\" is not a number of %2.")
                          .arg(fieldToString(trimmed(line)), QLatin1String(what)),
                      lines.number(), ErrorKind::BadNumber);
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
                          lines.number());
                break;
            }
            int frame = 0;
            double u = 0, v = 0, weight = 0;
            if (!rows.frame(fields[0], lines.number(), frame) ||
                !rows.coordinate(fields[1], "u", lines.number(), u) ||
                !rows.coordinate(fields[2], "v", lines.number(), v) ||
                !rows.coordinate(fields[3], "weight", lines.number(), weight))
                break;
            if (weight == 0) {
                ++weights.zero;
                continue;
            }
            if (weight != 1) ++weights.other;
            rows.addValues(name, frame, u, v);
        }
    }
    while (!rows.failed() && lines.next(line)) {
        splitTrimmed(line, fields);
        if (!fields.empty()) {
            rows.fail(QStringLiteral("the file goes on after its %1 points.").arg(points),
                      lines.number());
        }
    }
    ReadResult result = rows.finish(QStringLiteral("the file holds no point with a frame."));
    ReaderNotes notes;
    weights.into(notes);
    notes.into(result);
    return result;
}

// Version 1 or JSON, by the first line that holds something.
ReadResult readUvTrackLines(LineSource &lines, const QString &)
{
    Field line;
    while (lines.next(line)) {
        const Field start = trimmed(line);
        if (start.isEmpty()) continue;
        return *start.begin == '{' ? readUvJson(lines, start) : readVersion1(lines, line);
    }
    return readVersion1(lines, std::nullopt);
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
    f.read = readLinesOf<readUvTrackLines>;
    f.readLines = readUvTrackLines;
    f.sniff = looksLikeUvTrack;
    f.writer = &writer;
    f.source = SourceRule::AfterEffectsMask; // 0..1 from the lower-left
    f.target = TargetRule::AfterEffectsMask;
    f.statesPlate = true;
    return {f};
}

} // namespace corvane
