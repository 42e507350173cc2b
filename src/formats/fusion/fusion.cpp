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

// A motion path's lines after "DFMO": a size line shifts the later samples
// by half a pixel in X and half its last value in Y; a sample line is
// "x y 0 0 0 0 frame". Both readings take the lines through it.
class MotionPath
{
public:
    explicit MotionPath(RowCollector &checks) : m_checks(checks) {}
    // False when a number is not one (the checks keep why); a sample sets
    // isSample and its row.
    bool line(const std::vector<Field> &fields, int number, bool &isSample, int &frame, double &x,
              double &y)
    {
        isSample = false;
        if (fields.empty() || fields[0].equals("#")) return true;
        if (fields.size() == 5) {
            double half = 0;
            if (!m_checks.coordinate(fields[4], "Y", number, half)) return false;
            m_xOffset = 0.5;
            m_yOffset = half / 2;
        } else if (fields.size() == 7) {
            if (!m_checks.frame(wholeFrame(fields[6]), number, frame) ||
                !m_checks.coordinate(fields[0], "X", number, x) ||
                !m_checks.coordinate(fields[1], "Y", number, y))
                return false;
            x += m_xOffset;
            y += m_yOffset;
            isSample = true;
        }
        return true;
    }

private:
    RowCollector &m_checks;
    double m_xOffset = 0, m_yOffset = 0;
};

ReadResult readFusionTrack(const QByteArray &data, const QString &fileName)
{
    const QString name = applyNameRule(QFileInfo(fileName).completeBaseName());
    RowCollector rows;
    MotionPath path(rows);
    LineScanner scanner(data);
    Field line;
    std::vector<Field> fields;
    scanner.next(line); // "DFMO"
    bool sample = false;
    int frame = 0;
    double x = 0, y = 0;
    while (!rows.failed() && scanner.next(line)) {
        splitTrimmed(line, fields);
        if (!path.line(fields, scanner.number(), sample, frame, x, y)) break;
        if (sample) rows.addValues(name, frame, x, y);
    }
    return refuseCutRow(rows.finish(), data);
}

// readFusionTrack line by line.
Streamed streamFusionTrack(LineSource &lines, const QString &fileName, RowStream &out)
{
    const QString name = applyNameRule(QFileInfo(fileName).completeBaseName());
    StreamedRows rows(out);
    MotionPath path(rows.checks());
    Field line;
    std::vector<Field> fields;
    rows.nextLine(lines, line, fields); // "DFMO"
    bool sample = false;
    int frame = 0;
    double x = 0, y = 0;
    while (rows.nextLine(lines, line, fields)) {
        if (!path.line(fields, lines.number(), sample, frame, x, y)) return Streamed::Declined;
        if (!sample) continue;
        if (const Streamed added = rows.addValues(name, frame, x, y); added != Streamed::Read)
            return added;
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
