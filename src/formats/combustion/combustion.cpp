// SPDX-License-Identifier: Apache-2.0
// Combustion: point tracks (.ascii, one file per track: "frame.0 : +x, +y"
// lines) and GMask shapes.
#include "combustiongmask.h"
#include "formats/families.h"
#include "formats/kit/rowcollector.h"
#include "table/namerule.h"
#include "table/numbers.h"

#include <QFileInfo>

#include <algorithm>

namespace corvane {

namespace {

// "12.0": the frame before its ".0".
Field withoutPointZero(Field f)
{
    if (f.end - f.begin > 2 && f.end[-2] == '.' && f.end[-1] == '0') f.end -= 2;
    return f;
}

// A row's line, "12.0 : +x, +y": its frame without the ".0", X without the comma.
bool rowFields(const std::vector<Field> &fields, Field &frame, Field &x, Field &y)
{
    if (fields.size() != 4 || !fields[1].equals(":")) return false;
    frame = withoutPointZero(fields[0]);
    x = fields[2];
    if (x.end > x.begin && x.end[-1] == ',') --x.end;
    y = fields[3];
    return true;
}

ReadResult readCombustionTrack(const QByteArray &data, const QString &fileName)
{
    const QString name = applyNameRule(QFileInfo(fileName).completeBaseName());
    RowCollector rows;
    LineScanner scanner(data);
    Field line;
    std::vector<Field> fields;
    Field frame{}, x{}, y{};
    while (!rows.failed() && scanner.next(line)) {
        splitTrimmed(line, fields);
        if (rowFields(fields, frame, x, y)) rows.add(name, frame, x, y, scanner.number());
    }
    return refuseCutRow(rows.finish(), data);
}

// readCombustionTrack line by line.
Streamed streamCombustionTrack(LineSource &lines, const QString &fileName, RowStream &out)
{
    const QString name = applyNameRule(QFileInfo(fileName).completeBaseName());
    StreamedRows rows(out);
    std::vector<Field> fields;
    Field line;
    Field frame{}, x{}, y{};
    while (rows.nextLine(lines, line, fields)) {
        if (!rowFields(fields, frame, x, y)) continue;
        if (const Streamed added = rows.add(name, frame, x, y, lines.number());
            added != Streamed::Read)
            return added;
    }
    return rows.finish(lines);
}

bool looksLikeCombustionTrack(const QByteArray &data)
{
    LineScanner scanner(data);
    Field line;
    std::vector<Field> fields;
    if (!scanner.next(line)) return false;
    splitTrimmed(line, fields);
    return fields.size() == 4 && fields[1].equals(":") && fields[2].end[-1] == ',';
}

// Appends v as "+x" or "-x" after seven blanks, cut to the column's width
// from the left; blanks only are cut: a text too long for the column is
// written whole, still set off by one blank.
void appendSigned(QByteArray &out, double v, int width)
{
    QByteArray text = v < 0 ? QByteArray() : QByteArray("+");
    appendDecimal6(text, v);
    if (text == "+-0") text = "+0";
    out += QByteArray(std::clamp<qsizetype>(width - text.size(), 1, 7), ' ');
    out += text;
}

void trackRow(WriteContext &ctx, const ExportRow &r)
{
    if (!ctx.hasPreviousName || r.name != ctx.previousName) ctx.switchToTrackFile(r.name);
    QByteArray &out = ctx.out();
    QByteArray frame;
    appendInt(frame, r.frame);
    out += QByteArray(std::max<qsizetype>(0, 5 - frame.size()), ' ');
    out += frame;
    out += ".0 :";
    QByteArray x, y;
    r.appendX(x);
    r.appendY(y);
    appendSigned(out, x.toDouble(), 12);
    out += ", ";
    appendSigned(out, y.toDouble(), 11);
    out += '\n';
}

const WriterSteps trackWriter{nullptr, trackRow, nullptr};

} // namespace

Formats combustionFormats()
{
    Format track;
    track.id = "combustion-track";
    track.name = "Combustion Track";
    track.importFilter = track.treeExportFilter = "Combustion Track File (*.ascii)";
    track.recognition = {Recognition::Marker, ":", "This is not a Combustion File!"};
    track.read = readCombustionTrack;
    track.stream = streamCombustionTrack;
    track.sniff = looksLikeCombustionTrack;
    track.writer = &trackWriter;
    track.source = SourceRule::Flip;
    track.target = TargetRule::Flip;
    track.trackFileExtension = ".ascii";

    Format mask;
    mask.id = "combustion-gmask";
    mask.name = "Combustion GMask";
    mask.importFilter = mask.treeExportFilter = "Combustion GMask File (*.GMask)";
    mask.recognition = {Recognition::Marker, "GMask", "This is not a Combustion File!"};
    mask.read = readCombustionGMask;
    mask.readLines = readCombustionGMaskLines;
    mask.sniff = looksLikeCombustionGMask;
    mask.writer = &combustionGMaskWriter;
    mask.source = SourceRule::CombustionGMask;
    mask.target = TargetRule::Flip;
    mask.shapes = true;
    mask.statesPlate = true;
    mask.writesNames = false; // vertices are numbered in the file
    return {track, mask};
}

} // namespace corvane
