// SPDX-License-Identifier: Apache-2.0
// Fusion: motion paths (.dfmo, one file per track: "DFMO", then "x y 0 0 0 0
// frame" lines) and mask shapes in a composition (.comp).
#include "formats/families.h"
#include "formats/kit/rowcollector.h"
#include "fusionmask.h"
#include "table/namerule.h"
#include "table/numbers.h"

#include <QFileInfo>

namespace corvane {

namespace {

// A frame as the motion path writes it, "12.000000": the part before the point
// when only zeros follow it.
Field wholeFrame(Field f)
{
    for (const char *p = f.begin; p < f.end; ++p) {
        if (*p != '.') continue;
        const char *q = p + 1;
        while (q < f.end && *q == '0')
            ++q;
        if (q == f.end) f.end = p;
        break;
    }
    return f;
}

ReadResult readFusionTrack(const QByteArray &data, const QString &fileName)
{
    const QString name = applyNameRule(QFileInfo(fileName).completeBaseName());
    RowCollector rows;
    LineScanner scanner(data);
    Field line;
    std::vector<Field> fields;
    scanner.next(line); // "DFMO"
    double xOffset = 0, yOffset = 0;
    while (!rows.failed() && scanner.next(line)) {
        splitTrimmed(line, fields);
        if (fields.empty() || fields[0].equals("#")) continue;
        if (fields.size() == 5) {
            // A size line: later samples are shifted by half a pixel in X and
            // half its last value in Y.
            double half = 0;
            if (!rows.coordinate(fields[4], "Y", scanner.number(), half)) break;
            xOffset = 0.5;
            yOffset = half / 2;
        } else if (fields.size() == 7) {
            int frame = 0;
            double x = 0, y = 0;
            if (!rows.frame(wholeFrame(fields[6]), scanner.number(), frame) ||
                !rows.coordinate(fields[0], "X", scanner.number(), x) ||
                !rows.coordinate(fields[1], "Y", scanner.number(), y))
                break;
            rows.addValues(name, frame, x + xOffset, y + yOffset);
        }
    }
    return refuseCutRow(rows.finish(), data);
}

// readFusionTrack line by line.
Streamed streamFusionTrack(LineSource &lines, const QString &fileName, RowStream &out)
{
    const QString name = applyNameRule(QFileInfo(fileName).completeBaseName());
    StreamedRows rows(out);
    RowCollector &checks = rows.checks();
    Field line;
    std::vector<Field> fields;
    rows.nextLine(lines, line, fields); // "DFMO"
    double xOffset = 0, yOffset = 0;
    while (rows.nextLine(lines, line, fields)) {
        if (fields.empty() || fields[0].equals("#")) continue;
        if (fields.size() == 5) {
            double half = 0;
            if (!checks.coordinate(fields[4], "Y", lines.number(), half)) return Streamed::Declined;
            xOffset = 0.5;
            yOffset = half / 2;
        } else if (fields.size() == 7) {
            int frame = 0;
            double x = 0, y = 0;
            if (!checks.frame(wholeFrame(fields[6]), lines.number(), frame) ||
                !checks.coordinate(fields[0], "X", lines.number(), x) ||
                !checks.coordinate(fields[1], "Y", lines.number(), y))
                return Streamed::Declined;
            const Streamed added = rows.addValues(name, frame, x + xOffset, y + yOffset);
            if (added != Streamed::Read) return added;
        }
    }
    return rows.finish(lines);
}

bool looksLikeFusionTrack(const QByteArray &data)
{
    return data.startsWith("DFMO");
}

void trackRow(WriteContext &ctx, const ExportRow &r)
{
    if (!ctx.hasPreviousName || r.name != ctx.previousName) {
        ctx.switchToTrackFile(r.name);
        ++ctx.trackCounter;
        ctx.write("DFMO\n");
    }
    QByteArray &out = ctx.out();
    r.appendX(out);
    out += ' ';
    r.appendY(out);
    out += " 0.000000  0.000000  0.000000  0.000000 ";
    appendInt(out, r.frame);
    out += ".000000\n";
}

const WriterSteps trackWriter{nullptr, trackRow, nullptr};

} // namespace

Formats fusionFormats()
{
    Format track;
    track.id = "fusion-track";
    track.name = "Fusion Track";
    track.importFilter = track.treeExportFilter = "Fusion Track File (*.dfmo)";
    track.recognition = {Recognition::Marker, "DFMO", "This is not a Fusion File!"};
    track.read = readFusionTrack;
    track.stream = streamFusionTrack;
    track.sniff = looksLikeFusionTrack;
    track.writer = &trackWriter;
    track.source = SourceRule::FusionTrack;
    track.target = TargetRule::FusionTrack;
    track.trackFileExtension = ".dfmo";

    Format mask;
    mask.id = "fusion-mask";
    mask.name = "Fusion Mask";
    mask.importFilter = mask.treeExportFilter = "Fusion Mask File (*.comp)";
    mask.read = readFusionMask;
    mask.readLines = readFusionMaskLines;
    mask.sniff = looksLikeFusionMask;
    mask.writer = &fusionMaskWriter;
    mask.source = SourceRule::FusionMask;
    mask.target = TargetRule::FusionMask;
    mask.shapes = true;
    mask.writesNames = false;
    return {track, mask};
}

} // namespace corvane
